// The card as the X server shows it: pixels read back from the screen.
#include "NotifierTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

namespace {

using namespace NotifierTest;

constexpr std::uint32_t White = 0xFFFFFFFF;
constexpr std::uint32_t LightGrey = 0xFFEAEAEA;
constexpr std::uint32_t Blue = 0xFF4F8BC1;
constexpr std::uint32_t PictureGrey = 0xFF929292;
constexpr std::uint32_t BadgeYellow = 0xFFFFC928;
constexpr int Top = 30;

class NotifierScreen : public testing::Test {
protected:
  void SetUp() override {
    fBefore = std::make_unique<TScreenShot>(TScreenShot::OfCardArea());
    fNotifier = std::make_unique<TNotifier>(::GetModuleHandleW(nullptr));
  }
  void TearDown() override {
    fNotifier.reset();
    PumpFor(30ms);
  }
  // The card's outline: its corners in the font colour, the points just
  // outside it as they were before.
  void ExpectCardAt(const TScreenShot &aShot, int aWidth, int aHeight, std::uint32_t aOutline) {
    const int right = aWidth - 1;
    const int bottom = Top + aHeight - 1;
    EXPECT_EQ(aOutline, aShot.At(0, Top));
    EXPECT_EQ(aOutline, aShot.At(right, Top));
    EXPECT_EQ(aOutline, aShot.At(0, bottom));
    EXPECT_EQ(aOutline, aShot.At(right, bottom));
    EXPECT_EQ(fBefore->At(aWidth, Top + 10), aShot.At(aWidth, Top + 10));
    EXPECT_EQ(fBefore->At(10, bottom + 1), aShot.At(10, bottom + 1));
    EXPECT_EQ(fBefore->At(10, Top - 1), aShot.At(10, Top - 1));
  }

  std::unique_ptr<TScreenShot> fBefore;
  std::unique_ptr<TNotifier> fNotifier;
};

TEST_F(NotifierScreen, EmptyPageShowsTheEmptyCardForTwoSeconds) {
  const auto shown = std::chrono::steady_clock::now();
  fNotifier->ShowPageAnnounce(4, TClipboardState{});
  const TCardContent &card = fNotifier->Content();
  EXPECT_EQ(L"Clipboard page 4", card.Caption);
  EXPECT_EQ(L"Empty", card.Comment);
  EXPECT_EQ(L"", card.Detail);
  ASSERT_TRUE(card.Icon);
  EXPECT_EQ(fNotifier->ImageByName(L"Empty")->Pixels(), card.Icon->Pixels());
  EXPECT_FALSE(card.WarningVisible);

  ASSERT_TRUE(WaitForStill(*fNotifier));
  const TScreenShot shot = TScreenShot::OfCardArea();
  ExpectCardAt(shot, 330, 75, White);
  for (POINT p : {POINT{3, 33}, POINT{5, 100}, POINT{250, 101}, POINT{160, 102}})
    EXPECT_EQ(Blue, shot.At(p.x, p.y)) << p.x << "," << p.y;
  // The white icon box with the sheet's left edge in it.
  EXPECT_EQ(White, shot.At(258, 33));
  EXPECT_EQ(White, shot.At(327, 102));
  EXPECT_EQ(PictureGrey, shot.At(276, 70));
  // Caption and short description are drawn in white.
  EXPECT_GT(shot.CountColor({10, Top, 245, Top + 41}, White), 30);
  EXPECT_GT(shot.CountColor({20, Top + 41, 245, Top + 60}, White), 10);

  // On display for the whole two seconds, then it slides out.
  ASSERT_TRUE(PumpUntil([&] { return !fNotifier->IsHideTimerRunning(); }, 4000ms));
  const auto displayed = std::chrono::steady_clock::now() - shown;
  EXPECT_GE(displayed, 1950ms);
  EXPECT_LT(displayed, 2600ms);
  ASSERT_TRUE(
      PumpUntil([&] { return std::chrono::steady_clock::now() >= shown + 3000ms; }, 4000ms));
  EXPECT_EQ(0, fNotifier->ClientAreaWidth());
  EXPECT_EQ(0, TScreenShot::OfCardArea().CountChanged(*fBefore, {0, 0, 400, 360}));
}

struct TContentCase {
  const char *Name;
  bool Icon;
  bool Preview;
  std::wstring LongText;
  int Width;
  int MinHeight; // a text's height depends on the font; the range is by lines
  int MaxHeight;
};

void PrintTo(const TContentCase &aCase, std::ostream *aOut) {
  *aOut << aCase.Name;
}

class NotifierContentCards : public NotifierScreen,
                             public testing::WithParamInterface<TContentCase> {};

TEST_P(NotifierContentCards, SizeFollowsTheContent) {
  const TContentCase &c = GetParam();
  constexpr TAlphaColor iconColor = 0xFFD02020;
  constexpr TAlphaColor previewColor = 0xFF20C040;
  std::optional<TBitmap> icon;
  if (c.Icon)
    icon = Filled(32, 32, iconColor);
  const auto description =
      c.Preview ? TDescription::CreateImageDescription(
                      L"Image", c.LongText, Filled(600, 400, previewColor), 10, icon, 0xFF404080)
                : TDescription::CreateTextDescription(L"Text", c.LongText, 10, icon, 0xFF404080);
  fNotifier->ShowPageAnnounce(1, SnapshotDescribedAs(description));
  const TCardContent &card = fNotifier->Content();
  EXPECT_EQ(0xFF404080u, card.Background);
  EXPECT_EQ(c.Width, card.CardWidth);
  EXPECT_GE(card.FormHeight, c.MinHeight);
  EXPECT_LE(card.FormHeight, c.MaxHeight);
  const int height = static_cast<int>(card.FormHeight);
  EXPECT_EQ(height, card.FormHeight) << "a whole number of units";

  ASSERT_TRUE(WaitForStill(*fNotifier));
  const TScreenShot shot = TScreenShot::OfCardArea();
  ExpectCardAt(shot, c.Width, height, White);
  if (c.Icon) { // a 32 x 32 icon at its own size in the middle of the box
    EXPECT_EQ(0xFF000000 | iconColor, shot.At(292, Top + 37));
  }
  if (c.Preview) { // reduced to fit below the line, centred
    EXPECT_EQ(0xFF000000 | previewColor, shot.At(20 + (c.Width - 30) / 2, Top + 175));
    if (c.Width == 255) { // 600 x 400 became 225 x 150, 19.5 below the area's top
      EXPECT_EQ(0xFF000000 | previewColor, shot.At(22, Top + 102));
      EXPECT_EQ(0xFF404080u, shot.At(22, Top + 98));
    } else { // 283.5 x 189, 8.25 right of the area's left
      EXPECT_EQ(0xFF000000 | previewColor, shot.At(30, Top + 82));
      EXPECT_EQ(0xFF404080u, shot.At(26, Top + 82));
    }
  }
  if (!c.LongText.empty() && !c.Preview) {
    EXPECT_GT(shot.CountColor({20, Top + 81, c.Width - 10, Top + height - 9}, White), 20);
  }
}

const std::wstring LongText =
    L"Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor incididunt "
    L"ut labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud.";

INSTANTIATE_TEST_SUITE_P(
    Table, NotifierContentCards,
    testing::Values(TContentCase{"NothingToShow", false, false, L"", 255, 75, 75},
                    TContentCase{"OneLineOfText", false, false, L"Hello", 255, 90 + 12, 90 + 22},
                    TContentCase{"WrappedText", false, false, LongText, 255, 90 + 5 * 12,
                                 90 + 9 * 22},
                    TContentCase{"LinesOfAList", false, false, L"a.txt\r\nb.txt\r\nc.txt", 255,
                                 90 + 3 * 12, 90 + 3 * 22},
                    TContentCase{"TextWithIcon", true, false, L"Hello", 330, 90 + 12, 90 + 22},
                    TContentCase{"Preview", false, true, L"", 255, 280, 280},
                    TContentCase{"PreviewWithIconAndText", true, true, L"Hello", 330, 280, 280}),
    [](const testing::TestParamInfo<TContentCase> &aInfo) {
      return std::string(aInfo.param.Name);
    });

struct TColourCase {
  const char *Name;
  bool History;
  std::uint32_t FontColor;
  std::uint32_t Other; // the font colour of the other kind, never seen here
};

void PrintTo(const TColourCase &aCase, std::ostream *aOut) {
  *aOut << aCase.Name;
}

class NotifierColours : public NotifierScreen, public testing::WithParamInterface<TColourCase> {};

TEST_P(NotifierColours, TextIconBoxAndOutlineTakeTheFontColour) {
  const TColourCase &c = GetParam();
  const auto description = TDescription::CreateTextDescription(
      L"Program", L"Some text", 9, Filled(16, 16, 0xFF102030), 0xFF336699);
  const TClipboardState entry = SnapshotDescribedAs(description);
  if (c.History)
    fNotifier->ShowHistoryPageAnnounce(-3, entry);
  else
    fNotifier->ShowPageAnnounce(7, entry);
  EXPECT_EQ(c.History ? L"Clipboard history -3" : L"Clipboard page 7",
            fNotifier->Content().Caption);
  EXPECT_EQ(c.FontColor, fNotifier->FontColor());
  EXPECT_EQ(0xFF336699u, fNotifier->BackgroundColor());

  ASSERT_TRUE(WaitForStill(*fNotifier));
  const TScreenShot shot = TScreenShot::OfCardArea();
  const int height = static_cast<int>(fNotifier->Content().FormHeight);
  ExpectCardAt(shot, 330, height, c.FontColor);
  EXPECT_EQ(0xFF336699u, shot.At(4, Top + 4));
  EXPECT_EQ(c.FontColor, shot.At(258, Top + 3));
  for (RECT texts : {RECT{10, Top, 255, Top + 75}, RECT{20, Top + 81, 320, Top + height - 9}}) {
    EXPECT_GT(shot.CountColor(texts, c.FontColor), 20);
    EXPECT_EQ(0, shot.CountColor(texts, c.Other));
  }
  // The line under the short description stays white.
  EXPECT_EQ(White, shot.At(100, Top + 75));
}

INSTANTIATE_TEST_SUITE_P(Table, NotifierColours,
                         testing::Values(TColourCase{"Page", false, White, LightGrey},
                                         TColourCase{"History", true, LightGrey, White}),
                         [](const testing::TestParamInfo<TColourCase> &aInfo) {
                           return std::string(aInfo.param.Name);
                         });

// A switch paints its new card once: the colours set on the way to it
// never show on the card it replaces.
TEST_F(NotifierScreen, ASwitchPaintsOnlyItsNewCard) {
  fNotifier->ShowInfo(L"Old card", L"old", L"", nullptr, 10000);
  ASSERT_TRUE(WaitForStill(*fNotifier));
  const unsigned before = fNotifier->CardPaints();
  const auto description = TDescription::CreateTextDescription(L"New", L"", 1, {}, 0xFF336699);
  fNotifier->ShowPageAnnounce(1, SnapshotDescribedAs(description));
  EXPECT_EQ(before, fNotifier->CardPaints()) << "the old card was painted in the new colours";
  ASSERT_TRUE(WaitForStill(*fNotifier));
  EXPECT_EQ(before + 1, fNotifier->CardPaints());
  EXPECT_EQ(0xFF336699u, TScreenShot::OfCardArea().At(5, Top + 70));
}

// A card on display that is only recoloured is painted once, at the next
// frame, with all of its new look.
TEST_F(NotifierScreen, RecolouringACardOnDisplayRepaintsItOnce) {
  fNotifier->ShowInfo(L"Card", L"", L"", nullptr, 10000);
  ASSERT_TRUE(WaitForStill(*fNotifier));
  const unsigned before = fNotifier->CardPaints();
  fNotifier->SetBackgroundColor(0xFF123456);
  fNotifier->SetFontColor(LightGrey);
  fNotifier->SetShowWarning(true);
  EXPECT_EQ(before, fNotifier->CardPaints()) << "painted at once";
  PumpFor(100ms);
  EXPECT_EQ(before + 1, fNotifier->CardPaints());
  const TScreenShot shot = TScreenShot::OfCardArea();
  EXPECT_EQ(0xFF123456u, shot.At(5, Top + 60));
  ExpectCardAt(shot, 255, 75, LightGrey);
  EXPECT_EQ(0, PumpFor(200ms)) << "the frame timer stopped";
}

TEST_F(NotifierScreen, HistoryAtOrAfterTheEndShowsNothing) {
  const auto description = TDescription::CreateTextDescription(L"P", L"", 1, {}, 0xFF336699);
  fNotifier->ShowHistoryPageAnnounce(0, SnapshotDescribedAs(description));
  EXPECT_EQ(0xFF656565u, fNotifier->BackgroundColor());
  EXPECT_FALSE(fNotifier->IsHideTimerRunning());
  PumpFor(100ms);
  EXPECT_EQ(0, TScreenShot::OfCardArea().CountChanged(*fBefore, {0, 0, 400, 360}));
}

struct TBadgeCase {
  const char *Name;
  bool Icon;
  int Width;
};

void PrintTo(const TBadgeCase &aCase, std::ostream *aOut) {
  *aOut << aCase.Name;
}

class NotifierBadge : public NotifierScreen, public testing::WithParamInterface<TBadgeCase> {};

TEST_P(NotifierBadge, StaysThreeFromTheTopRight) {
  const TBadgeCase &c = GetParam();
  std::optional<TBitmap> icon;
  if (c.Icon)
    icon = Filled(48, 48, 0xFF808080);
  auto description = TDescription::CreateTextDescription(L"Office", L"Cells", 5, icon, 0xFF2060A0);
  description().SetParticularSupport(true);
  fNotifier->ShowPageAnnounce(2, SnapshotDescribedAs(description));
  EXPECT_TRUE(fNotifier->ShowWarning());
  EXPECT_EQ(c.Width, fNotifier->Content().CardWidth);

  ASSERT_TRUE(WaitForStill(*fNotifier));
  const TScreenShot shot = TScreenShot::OfCardArea();
  const int left = c.Width - 3 - 32;
  const RECT badge{left, Top + 3, c.Width - 3, Top + 35};
  // Two points inside the triangle, beside the exclamation mark.
  EXPECT_EQ(BadgeYellow, shot.At(left + 10, Top + 3 + 24));
  EXPECT_EQ(BadgeYellow, shot.At(left + 22, Top + 3 + 24));
  const int yellow = shot.CountColor({0, 0, 400, 360}, BadgeYellow);
  EXPECT_GT(yellow, 150);
  EXPECT_EQ(yellow, shot.CountColor(badge, BadgeYellow)) << "all of it in the anchored box";

  fNotifier->SetShowWarning(false);
  PumpFor(50ms);
  EXPECT_EQ(0, TScreenShot::OfCardArea().CountColor({0, 0, 400, 360}, BadgeYellow));
}

INSTANTIATE_TEST_SUITE_P(Table, NotifierBadge,
                         testing::Values(TBadgeCase{"Wide", true, 330},
                                         TBadgeCase{"Narrow", false, 255}),
                         [](const testing::TestParamInfo<TBadgeCase> &aInfo) {
                           return std::string(aInfo.param.Name);
                         });

TEST_F(NotifierScreen, HideInfoWithNothingShownLeavesNothingVisible) {
  fNotifier->HideInfo();
  EXPECT_EQ(0, fNotifier->ClientAreaWidth());
  EXPECT_EQ(0, fNotifier->ClientAreaOpacity());
  ASSERT_TRUE(WaitForStill(*fNotifier));
  EXPECT_EQ(0, fNotifier->ClientAreaWidth());
  EXPECT_EQ(0, TScreenShot::OfCardArea().CountChanged(*fBefore, {0, 0, 400, 360}));
}

TEST_F(NotifierScreen, TheCardNeverTakesTheFocus) {
  TUserWindow user;
  PumpFor(100ms);
  const HWND foreground = ::GetForegroundWindow();
  const HWND focus = ::GetFocus();
  ASSERT_EQ(user.Handle(), foreground);
  ASSERT_EQ(user.Edit(), focus);

  const LONG_PTR styles = ::GetWindowLongPtrW(fNotifier->Handle(), GWL_EXSTYLE);
  for (LONG_PTR style : {LONG_PTR{WS_EX_NOACTIVATE}, LONG_PTR{WS_EX_TOOLWINDOW},
                         LONG_PTR{WS_EX_TOPMOST}, LONG_PTR{WS_EX_LAYERED}})
    EXPECT_EQ(style, styles & style);
  wchar_t title[64]{};
  ::GetWindowTextW(fNotifier->Handle(), title, 64);
  EXPECT_STREQ(L"Stowage Notifier", title);

  fNotifier->ShowPageAnnounce(5, TClipboardState{});
  ASSERT_TRUE(WaitForStill(*fNotifier));
  EXPECT_EQ(foreground, ::GetForegroundWindow());
  EXPECT_EQ(focus, ::GetFocus());
  fNotifier->HideInfo();
  ASSERT_TRUE(WaitForStill(*fNotifier));
  EXPECT_EQ(foreground, ::GetForegroundWindow());
  EXPECT_EQ(focus, ::GetFocus());
}

} // namespace
