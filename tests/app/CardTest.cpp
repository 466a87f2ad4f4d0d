// The commands announce on the notifier card: what the card holds after each
// kind of announcement, and that a failing description costs no command.
#include "AppTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>

namespace {

using namespace AppTest;

constexpr TAlphaColor White = 0xFFFFFFFF;
constexpr TAlphaColor LightGrey = 0xFFEAEAEA;

class CardAnnouncement;

struct TCardCase {
  const char *Name;
  std::function<void(CardAnnouncement &)> Act;
  std::wstring Caption;
  std::wstring Comment;        // empty: not checked
  std::wstring DetailContains; // empty: not checked
  std::wstring Picture;        // the icon's picture by name; empty: not checked
  std::optional<TAlphaColor> Background;
  TAlphaColor FontColor;
};

class CardAnnouncement : public TStartedForm, public testing::WithParamInterface<TCardCase> {
public:
  using TStartedForm::Copy;
  using TStartedForm::Press;
};

TEST_P(CardAnnouncement, ShowsTheCommandsCard) {
  const TCardCase &row = GetParam();
  row.Act(*this);
  TNotifier &notifier = fForm->Notifier();
  const TCardContent &card = notifier.Content();
  EXPECT_EQ(row.Caption, card.Caption);
  if (!row.Comment.empty()) {
    EXPECT_EQ(row.Comment, card.Comment);
  }
  if (!row.DetailContains.empty()) {
    EXPECT_NE(std::wstring::npos, card.Detail.find(row.DetailContains)) << card.Detail;
  }
  if (!row.Picture.empty()) {
    ASSERT_TRUE(card.Icon.has_value());
    EXPECT_EQ(notifier.ImageByName(row.Picture)->Pixels(), card.Icon->Pixels());
  }
  if (row.Background) {
    EXPECT_EQ(*row.Background, card.Background);
  }
  EXPECT_EQ(row.FontColor, card.FontColor);
  EXPECT_TRUE(notifier.IsHideTimerRunning());
  EXPECT_TRUE(Harness::WaitUntil([&] { return ::IsWindowVisible(fForm->Handle()) != FALSE; }))
      << "the card's window shows";
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CardAnnouncement,
    testing::Values(
        TCardCase{"EmptyPage", [](CardAnnouncement &aTest) { aTest.Press(NumpadIndex(4)); },
                  L"Clipboard page 4", L"Empty", L"", L"Empty", 0xFF4F8BC1, White},
        TCardCase{"TextPage",
                  [](CardAnnouncement &aTest) {
                    aTest.Copy(L"a line of page text");
                    aTest.Press(hkInfo);
                  },
                  L"Clipboard page 0", L"", L"a line of page text", L"", std::nullopt, White},
        TCardCase{"HistoryEntry",
                  [](CardAnnouncement &aTest) {
                    aTest.Copy(L"the older copy");
                    aTest.Copy(L"the newer copy");
                    aTest.Press(hkUp);
                  },
                  L"Clipboard history -1", L"", L"the older copy", L"", std::nullopt, LightGrey},
        TCardCase{"PrivateMode", [](CardAnnouncement &aTest) { aTest.Press(hkPrivateMode); },
                  L"Private mode", L"Alt+Win+E to disable", L"", L"Private", 0xFFED3B45, White}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

class CardFailure : public TStartedForm {};

// A device-independent bitmap whose header promises far more pixels than
// it carries.
Harness::TBytes BrokenDib() {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = 20000;
  header.biHeight = 20000;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  Harness::TBytes data(sizeof(header) + 16, 0x5A);
  std::memcpy(data.data(), &header, sizeof(header));
  return data;
}

Harness::TBytes Utf16(const std::wstring &aText) {
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(aText.c_str());
  return Harness::TBytes(bytes, bytes + (aText.size() + 1) * sizeof(wchar_t));
}

TEST_F(CardFailure, AnUndecodablePictureStillAnnouncesThePageAndLaterCommandsWork) {
  Harness::SetClipboard(
      {{CF_DIB, BrokenDib()}, {CF_UNICODETEXT, Utf16(L"text beside a broken picture")}});
  Settle();
  ASSERT_GT(fForm->Model().Page(0)().Count(), 0) << "the copy was recorded";

  Press(hkInfo);
  const TCardContent &card = fForm->Notifier().Content();
  EXPECT_EQ(L"Clipboard page 0", card.Caption);
  EXPECT_TRUE(fForm->Notifier().IsHideTimerRunning()) << "the card is on its way";
  EXPECT_NE(std::wstring::npos, fForm->LastAnnouncement().find(L"Page 0"));

  Press(NumpadIndex(1));
  EXPECT_EQ(1, fForm->Model().ActivePage());
  EXPECT_EQ(L"Clipboard page 1", card.Caption);
  Press(NumpadIndex(0));
  EXPECT_EQ(L"Clipboard page 0", card.Caption) << "the broken page is announced again";
  EXPECT_EQ(L"text beside a broken picture", Harness::ClipboardText())
      << "and its content is back on the clipboard";
}

} // namespace
