// What a screen reader hears of a card, and the card window's element.
#include "ui/ScreenReaderNotice.h"

#include <gtest/gtest.h>

#include <oleauto.h>
#include <uiautomationcore.h>

#include <string>
#include <vector>

namespace {

struct TSpokenCase {
  const char *Name;
  std::wstring Caption, Comment, Detail;
  bool IsPicture, WithContent;
  std::wstring Spoken;
};

class SpokenCardText_ : public testing::TestWithParam<TSpokenCase> {};

TEST_P(SpokenCardText_, SaysTheCardAndItsContentOnlyOutsidePrivateMode) {
  const TSpokenCase &c = GetParam();
  EXPECT_EQ(c.Spoken, SpokenCardText(c.Caption, c.Comment, c.Detail, c.IsPicture, c.WithContent));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpokenCardText_,
    testing::Values(TSpokenCase{"Text", L"Clipboard page 3", L"Notepad", L"one\r\ntwo", false, true,
                                L"Clipboard page 3. Notepad. one  two"},
                    TSpokenCase{"PrivateMode", L"Clipboard page 3", L"Notepad", L"secret", false,
                                false, L"Clipboard page 3. Notepad"},
                    TSpokenCase{"Picture", L"Clipboard page 1", L"Paint", L"", true, true,
                                L"Clipboard page 1. Paint. Picture"},
                    TSpokenCase{"PictureInPrivateMode", L"Clipboard page 1", L"Paint", L"", true,
                                false, L"Clipboard page 1. Paint"},
                    TSpokenCase{"NoComment", L"Private mode", L"", L"Copies are not recorded",
                                false, true, L"Private mode. Copies are not recorded"},
                    TSpokenCase{"LongText", L"Page", L"", std::wstring(1000, L'x'), false, true,
                                L"Page. " + std::wstring(300, L'x')}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

struct TFakeReader {
  bool Running = true;
  std::vector<std::wstring> Heard;
  IRawElementProviderSimple *From = nullptr;

  TScreenReaderSystem System() {
    return {[this] { return Running; },
            [this](IRawElementProviderSimple *aProvider, const std::wstring &aText) {
              From = aProvider;
              Heard.push_back(aText);
              return true;
            }};
  }
};

TEST(ScreenReaderNotice, SpeaksOnlyWhenAReaderRunsAndTheUserWantsIt) {
  TFakeReader reader;
  TScreenReaderNotice notice(nullptr, reader.System());
  EXPECT_TRUE(notice.Say(L"Clipboard page 2", L"Notepad", L"hello", false));
  ASSERT_EQ(1u, reader.Heard.size());
  EXPECT_EQ(L"Clipboard page 2. Notepad. hello", reader.Heard.back());
  EXPECT_EQ(notice.Provider(), reader.From);

  notice.SetSpeaksContent(false);
  notice.Say(L"Clipboard page 2", L"Notepad", L"hello", false);
  EXPECT_EQ(L"Clipboard page 2. Notepad", reader.Heard.back());

  notice.SetEnabled(false);
  EXPECT_FALSE(notice.Say(L"Clipboard page 4", L"", L"", false));
  notice.SetEnabled(true);
  reader.Running = false;
  EXPECT_FALSE(notice.Say(L"Clipboard page 5", L"", L"", false));
  EXPECT_EQ(2u, reader.Heard.size());
}

// The element a notification comes from: a window named for the program,
// which never takes the keyboard focus, with the window pattern that a
// popup window must offer.
TEST(ScreenReaderNotice, TheCardsElementIsAWindowThatTakesNoFocus) {
  TScreenReaderNotice notice(nullptr, TFakeReader().System());
  IRawElementProviderSimple *provider = notice.Provider();
  VARIANT name;
  ASSERT_EQ(S_OK, provider->GetPropertyValue(30005, &name));
  ASSERT_EQ(VT_BSTR, name.vt);
  EXPECT_EQ(std::wstring(L"Pagekeep"), name.bstrVal);
  ::VariantClear(&name);
  VARIANT focusable;
  ASSERT_EQ(S_OK, provider->GetPropertyValue(30009, &focusable));
  EXPECT_EQ(VT_BOOL, focusable.vt);
  EXPECT_EQ(VARIANT_FALSE, focusable.boolVal);
  IUnknown *pattern = nullptr;
  ASSERT_EQ(S_OK, provider->GetPatternProvider(10009, &pattern));
  ASSERT_NE(nullptr, pattern);
  pattern->Release();
  ASSERT_EQ(S_OK, provider->GetPatternProvider(10000, &pattern));
  EXPECT_EQ(nullptr, pattern) << "no other pattern";
  ProviderOptions options{};
  ASSERT_EQ(S_OK, provider->get_ProviderOptions(&options));
  EXPECT_EQ(ProviderOptions_ServerSideProvider, options);
}

} // namespace
