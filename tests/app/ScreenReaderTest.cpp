// The cards a screen reader hears from the main form: the page and its
// content, no content in private mode, nothing once the user turns it off.
#include "AppTestSupport.h"
#include "app/ScreenReaderSetting.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace AppTest;

class ScreenReaderTest : public TStartedForm {
protected:
  void SetUp() override {
    TStartedForm::SetUp();
    fForm->Notifier().ScreenReader().ReplaceSystem(
        {[] { return true; },
         [this](IRawElementProviderSimple *, const std::wstring &aText) {
           fHeard.push_back(aText);
           return true;
         }});
  }
  std::wstring Last() const { return fHeard.empty() ? L"<nothing>" : fHeard.back(); }

  std::vector<std::wstring> fHeard;
};

TEST_F(ScreenReaderTest, HearsThePageAndItsContentButNoContentInPrivateMode) {
  Copy(L"words on page zero");
  Press(FKeyIndex(0));
  EXPECT_TRUE(Last().starts_with(L"Clipboard page 0")) << Last();
  EXPECT_TRUE(Last().ends_with(L"words on page zero")) << Last();

  Press(hkPrivateMode);
  Press(FKeyIndex(0));
  EXPECT_TRUE(Last().starts_with(L"Clipboard page 0")) << Last();
  EXPECT_EQ(std::wstring::npos, Last().find(L"words")) << Last();
  EXPECT_TRUE(Harness::ClipboardText() == L"words on page zero") << "the card had content to say";

  // Normal mode again empties the clipboard (a copy of its own).
  Press(hkPrivateMode);
  Copy(L"words after private mode");
  Press(FKeyIndex(0));
  EXPECT_TRUE(Last().ends_with(L"words after private mode")) << Last();
}

TEST_F(ScreenReaderTest, TheSettingTurnsItOffAndIsKept) {
  EXPECT_TRUE(ScreenReaderNoticesSetting(TestAppKey)) << "on until the user turns it off";
  fForm->SetScreenReaderNotices(false);
  EXPECT_FALSE(fForm->ScreenReaderNotices());
  EXPECT_FALSE(ScreenReaderNoticesSetting(TestAppKey));
  const std::size_t heard = fHeard.size();
  Press(FKeyIndex(1));
  EXPECT_EQ(heard, fHeard.size());

  fForm->SetScreenReaderNotices(true);
  EXPECT_TRUE(ScreenReaderNoticesSetting(TestAppKey));
  Press(FKeyIndex(1));
  EXPECT_TRUE(Last().starts_with(L"Clipboard page 1")) << Last();
}

TEST(ScreenReaderSetting, AFormStartsWithTheKeptChoice) {
  TMainFormOptions options = TestFormOptions(L"ScreenReaderOff");
  SetScreenReaderNoticesSetting(TestAppKey, false);
  {
    TMainForm form(::GetModuleHandleW(nullptr), options);
    EXPECT_FALSE(form.ScreenReaderNotices());
  }
  PumpPending();
  ::RegDeleteTreeW(HKEY_CURRENT_USER, TestAppKey.c_str());
}

} // namespace
