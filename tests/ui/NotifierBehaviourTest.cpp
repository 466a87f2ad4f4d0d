// What the operations do to the card's state and timing.
#include "NotifierTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace NotifierTest;
using TSteadyClock = std::chrono::steady_clock;

class Notifier : public testing::Test {
protected:
  void SetUp() override { fNotifier = std::make_unique<TNotifier>(::GetModuleHandleW(nullptr)); }
  void TearDown() override {
    fNotifier.reset();
    PumpFor(30ms);
  }
  std::unique_ptr<TNotifier> fNotifier;
};

TEST_F(Notifier, ShowInfoDuringTheSlideOutStartsAgainFromZeroWidth) {
  fNotifier->ShowInfo(L"First", L"one", L"", nullptr, 10000);
  ASSERT_TRUE(WaitForStill(*fNotifier));
  EXPECT_EQ(255, fNotifier->ClientAreaWidth());
  EXPECT_EQ(1, fNotifier->ClientAreaOpacity());

  fNotifier->HideInfo();
  PumpFor(150ms);
  ASSERT_TRUE(fNotifier->IsAnimating());
  ASSERT_GT(fNotifier->ClientAreaWidth(), 0);
  ASSERT_LT(fNotifier->ClientAreaWidth(), 255);

  fNotifier->ShowInfo(L"Second", L"two", L"", fNotifier->ImageByName(L"Hello"), 10000);
  EXPECT_EQ(0, fNotifier->ClientAreaWidth());
  EXPECT_EQ(0, fNotifier->ClientAreaOpacity());
  EXPECT_TRUE(fNotifier->IsHideTimerRunning());
  double last = 0;
  bool grew = true;
  const bool done = PumpUntil([&] {
    grew = grew && fNotifier->ClientAreaWidth() >= last;
    last = fNotifier->ClientAreaWidth();
    return !fNotifier->IsAnimating();
  });
  ASSERT_TRUE(done);
  EXPECT_TRUE(grew) << "the old slide-out went on";
  EXPECT_EQ(330, fNotifier->ClientAreaWidth());
  EXPECT_EQ(1, fNotifier->ClientAreaOpacity());
}

TEST_F(Notifier, ChangeInfoKeepsTheRemainingTimeAndTheLook) {
  const auto shown = TSteadyClock::now();
  fNotifier->SetBackgroundColor(0xFF123456);
  fNotifier->ShowInfo(L"Pagekeep", L"Checking", L"", fNotifier->ImageByName(L"Search"), 1200);
  const TCardContent before = fNotifier->Content();
  PumpFor(600ms);

  fNotifier->ChangeInfo(L"Pagekeep!", L"Your version is actual", nullptr);
  const TCardContent &after = fNotifier->Content();
  EXPECT_EQ(L"Pagekeep!", after.Caption);
  EXPECT_EQ(L"Your version is actual", after.Comment);
  EXPECT_FALSE(after.Icon);
  EXPECT_TRUE(after.IconBoxVisible) << "the box stays, empty";
  EXPECT_EQ(before.CardWidth, after.CardWidth);
  EXPECT_EQ(before.FormHeight, after.FormHeight);
  EXPECT_EQ(before.Background, after.Background);
  EXPECT_EQ(before.FontColor, after.FontColor);
  EXPECT_TRUE(fNotifier->IsHideTimerRunning());

  // The slide-out begins 1.2 s after the ShowInfo, not 1.2 s after ChangeInfo.
  ASSERT_TRUE(PumpUntil([&] { return !fNotifier->IsHideTimerRunning(); }, 3000ms));
  const auto hiding = TSteadyClock::now() - shown;
  EXPECT_GE(hiding, 1150ms);
  EXPECT_LT(hiding, 1700ms);
}

TEST_F(Notifier, HideTimerFiresOnceAndAForeverMessageHasNone) {
  fNotifier->ShowInfo(L"Pagekeep", L"Downloading update: 0%", L"",
                      fNotifier->ImageByName(L"Download"), TNotifier::Forever);
  EXPECT_FALSE(fNotifier->IsHideTimerRunning());
  fNotifier->SetCommentText(L"Downloading update: 42%");
  EXPECT_EQ(L"Downloading update: 42%", fNotifier->Content().Comment);
  ASSERT_TRUE(WaitForStill(*fNotifier));
  EXPECT_EQ(330, fNotifier->ClientAreaWidth());

  fNotifier->ShowInfo(L"Short", L"", L"", nullptr, 100);
  ASSERT_TRUE(PumpUntil([&] { return !fNotifier->IsHideTimerRunning(); }, 2000ms));
  ASSERT_TRUE(WaitForStill(*fNotifier));
  EXPECT_EQ(0, fNotifier->ClientAreaWidth());
  EXPECT_EQ(0, fNotifier->ClientAreaOpacity());
}

TEST_F(Notifier, NoTimerMessagesWhileNothingMoves) {
  fNotifier->ShowInfo(L"Pagekeep", L"Checking for new version...", L"",
                      fNotifier->ImageByName(L"Search"), TNotifier::Forever);
  EXPECT_GT(PumpFor(200ms), 0) << "frames while sliding in";
  ASSERT_TRUE(WaitForStill(*fNotifier));
  EXPECT_EQ(0, PumpFor(2000ms)) << "on display";
  fNotifier->HideInfo();
  ASSERT_TRUE(WaitForStill(*fNotifier));
  EXPECT_EQ(0, PumpFor(2000ms)) << "hidden";
}

TEST_F(Notifier, TheWindowIsShownOnlyWhileACardIsOnTheScreen) {
  const HWND window = fNotifier->Handle();
  EXPECT_FALSE(::IsWindowVisible(window)) << "nothing to show yet";
  fNotifier->HideInfo();
  ASSERT_TRUE(WaitForStill(*fNotifier));
  EXPECT_FALSE(::IsWindowVisible(window)) << "hiding nothing shows nothing";

  fNotifier->ShowInfo(L"Pagekeep", L"shown", L"", nullptr, 300);
  ASSERT_TRUE(PumpUntil([&] { return fNotifier->ClientAreaWidth() > 0; }));
  EXPECT_TRUE(::IsWindowVisible(window)) << "sliding in";
  EXPECT_TRUE(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  ASSERT_TRUE(PumpUntil([&] { return !fNotifier->IsHideTimerRunning(); }));
  EXPECT_TRUE(::IsWindowVisible(window)) << "sliding out";
  ASSERT_TRUE(WaitForStill(*fNotifier));
  EXPECT_FALSE(::IsWindowVisible(window)) << "the slide-out has ended";
}

// SPI_SET* settings take their value in the pointer parameter; the system's
// IntToPtr macro does the same with a C cast.
void *SettingValue(BOOL aValue) {
  return reinterpret_cast<void *>(static_cast<INT_PTR>(aValue));
}

// Restores the user's animation setting when it goes.
class TClientAreaAnimation {
public:
  TClientAreaAnimation() {
    fRead = ::SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &fSaved, 0);
  }
  ~TClientAreaAnimation() {
    if (fRead)
      ::SystemParametersInfoW(SPI_SETCLIENTAREAANIMATION, 0, SettingValue(fSaved), 0);
  }
  bool Set(bool aOn) {
    BOOL now = !aOn;
    return fRead &&
           ::SystemParametersInfoW(SPI_SETCLIENTAREAANIMATION, 0, SettingValue(aOn ? TRUE : FALSE),
                                   0) &&
           ::SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &now, 0) && !now == !aOn;
  }

private:
  BOOL fSaved = TRUE;
  bool fRead = false;
};

TEST_F(Notifier, WithoutClientAreaAnimationsTheCardAppearsAndGoesAtOnce) {
  TClientAreaAnimation setting;
  if (!setting.Set(false))
    GTEST_SKIP() << "the client-area animation setting cannot be changed here";
  fNotifier->ShowInfo(L"Normal mode", L"", L"", fNotifier->ImageByName(L"Enabled"), 4000);
  EXPECT_FALSE(fNotifier->IsAnimating());
  EXPECT_EQ(330, fNotifier->ClientAreaWidth());
  EXPECT_EQ(1, fNotifier->ClientAreaOpacity());
  EXPECT_EQ(0, PumpFor(300ms)) << "no frames to draw";
  fNotifier->HideInfo();
  EXPECT_FALSE(fNotifier->IsAnimating());
  EXPECT_EQ(0, fNotifier->ClientAreaWidth());
}

struct TTextFormCase {
  const char *Name;
  const wchar_t *Picture; // null: no icon
  std::wstring Detailed;
  bool Warning;
  double Width;
  bool Taller;
};

void PrintTo(const TTextFormCase &aCase, std::ostream *aOut) {
  *aOut << aCase.Name;
}

class NotifierTextForm : public Notifier, public testing::WithParamInterface<TTextFormCase> {};

TEST_P(NotifierTextForm, IconDecidesTheWidthAndTextTheHeight) {
  const TTextFormCase &c = GetParam();
  // A history card before must not leave its grey behind.
  fNotifier->SetFontColor(0xFFEAEAEA);
  fNotifier->SetBackgroundColor(0xFFED3B45);
  const TBitmap *icon = c.Picture ? fNotifier->ImageByName(c.Picture) : nullptr;
  fNotifier->ShowInfo(L"Private mode", L"Alt+Win+E to disable", c.Detailed, c.Warning, icon, 4000);
  const TCardContent &card = fNotifier->Content();
  EXPECT_EQ(0xFFFFFFFFu, card.FontColor);
  EXPECT_EQ(0xFFED3B45u, card.Background) << "ShowInfo keeps the caller's colour";
  EXPECT_EQ(c.Width, card.CardWidth);
  EXPECT_EQ(icon != nullptr, card.IconBoxVisible);
  EXPECT_EQ(c.Warning, card.WarningVisible);
  EXPECT_FALSE(card.ImageVisible);
  EXPECT_EQ(c.Detailed, card.Detail);
  if (c.Taller)
    EXPECT_GT(card.FormHeight, 90);
  else
    EXPECT_EQ(75, card.FormHeight);
  if (icon) {
    ASSERT_TRUE(card.Icon);
    EXPECT_NE(icon, &*card.Icon) << "the card keeps a copy";
    EXPECT_EQ(icon->Pixels(), card.Icon->Pixels());
  }
  EXPECT_EQ(4000u, TNotifier::AnnounceTime * 2);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NotifierTextForm,
    testing::Values(TTextFormCase{"PrivateMode", L"Private", L"", false, 330, false},
                    TTextFormCase{"UnknownPictureIsNarrow", L"NoSuchPicture", L"", false, 255,
                                  false},
                    TTextFormCase{"WithDetail", L"Hello",
                                  L"Application is running in background. To manage it, use "
                                  L"the icon in the system tray",
                                  false, 330, true},
                    TTextFormCase{"WarningWithoutIcon", nullptr, L"x", true, 255, true}),
    [](const testing::TestParamInfo<TTextFormCase> &aInfo) {
      return std::string(aInfo.param.Name);
    });

struct TAnnounceFailureCase {
  const char *Name;
  bool RecoversWithoutPictures;
  std::wstring Expected;
};

void PrintTo(const TAnnounceFailureCase &aCase, std::ostream *aOut) {
  *aOut << aCase.Name;
}

class NotifierAnnounceFailure : public Notifier,
                                public testing::WithParamInterface<TAnnounceFailureCase> {};

TEST_P(NotifierAnnounceFailure, AFailingAnalyzerStillAnnouncesThePage) {
  const TAnnounceFailureCase &c = GetParam();
  const TClipboardState state =
      c.RecoversWithoutPictures ? SnapshotFailingWithPictures(TDescription::CreateTextDescription(
                                      L"Recovered", L"the text", 3, {}, 0xFF113355))
                                : SnapshotAlwaysFailing();
  ASSERT_THROW(ClipboardAnalyzers().DescriptionForState(state), std::runtime_error);

  fNotifier->ShowPageAnnounce(8, state);
  const TCardContent &card = fNotifier->Content();
  EXPECT_EQ(L"Clipboard page 8", card.Caption);
  EXPECT_EQ(c.Expected, card.Comment);
  EXPECT_TRUE(fNotifier->IsHideTimerRunning());
  ASSERT_TRUE(WaitForStill(*fNotifier));
  EXPECT_EQ(255, fNotifier->ClientAreaWidth());

  fNotifier->ShowHistoryPageAnnounce(-1, state);
  EXPECT_EQ(L"Clipboard history -1", fNotifier->Content().Caption);
  EXPECT_EQ(c.Expected, fNotifier->Content().Comment);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NotifierAnnounceFailure,
    testing::Values(TAnnounceFailureCase{"UndecodablePicture", true, L"Recovered"},
                    TAnnounceFailureCase{"NothingDescribable", false, L"Unknown format"}),
    [](const testing::TestParamInfo<TAnnounceFailureCase> &aInfo) {
      return std::string(aInfo.param.Name);
    });

TEST(NotifierWindow, TheOwnerGetsTheMessagesTheNotifierLeaves) {
  std::vector<UINT> seen;
  TNotifier notifier(
      ::GetModuleHandleW(nullptr),
      [&](UINT aMsg, WPARAM aWParam, LPARAM) -> std::optional<LRESULT> {
        if (aMsg == WM_APP + 1 || aMsg == WM_TIMER)
          seen.push_back(aMsg == WM_TIMER ? static_cast<UINT>(aWParam) : aMsg);
        if (aMsg == WM_APP + 1)
          return 42;
        return std::nullopt;
      },
      L"PagekeepUiTestOwnedNotifier");
  wchar_t className[64]{};
  ::GetClassNameW(notifier.Handle(), className, 64);
  EXPECT_STREQ(L"PagekeepUiTestOwnedNotifier", className);
  EXPECT_EQ(42, ::SendMessageW(notifier.Handle(), WM_APP + 1, 0, 0));
  ASSERT_NE(0u, ::SetTimer(notifier.Handle(), 1, 10, nullptr));
  notifier.ShowInfo(L"Caption", L"", L"", nullptr, 100);
  PumpFor(200ms);
  ::KillTimer(notifier.Handle(), 1);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(WM_APP + 1, seen.front());
  for (std::size_t i = 1; i < seen.size(); ++i)
    EXPECT_EQ(1u, seen[i]) << "the notifier's own timers stay with it";
  EXPECT_THROW(TNotifier(::GetModuleHandleW(nullptr), {}, L"Button"), std::logic_error)
      << "a class of someone else's";
}

// No error of any kind may unwind through the system's frames that called
// the window procedure: the message gets the default handling instead.
TEST(LayeredWindow, AnyErrorOfTheHandlerGetsTheDefaultHandling) {
  constexpr UINT ThrowsAnInteger = WM_APP + 5;
  constexpr UINT ThrowsAnError = WM_APP + 6;
  TLayeredWindow window(::GetModuleHandleW(nullptr), L"PagekeepUiTestThrowing", L"Throwing",
                        [](UINT aMsg, WPARAM, LPARAM) -> std::optional<LRESULT> {
                          if (aMsg == ThrowsAnInteger)
                            throw 42;
                          if (aMsg == ThrowsAnError)
                            throw std::runtime_error("handler failed");
                          return std::nullopt;
                        });
  EXPECT_EQ(0, ::SendMessageW(window.Handle(), ThrowsAnInteger, 0, 0));
  EXPECT_EQ(0, ::SendMessageW(window.Handle(), ThrowsAnError, 0, 0));
  EXPECT_TRUE(::IsWindow(window.Handle()));
}

TEST_F(Notifier, APageWithoutFormatsIsEmpty) {
  fNotifier->SetBackgroundColor(0xFF000000);
  fNotifier->ShowPageAnnounce(0, TAutoPtr::Make(new TClipboardStateContainer()));
  EXPECT_EQ(L"Empty", fNotifier->Content().Comment);
  EXPECT_EQ(0xFF4F8BC1u, fNotifier->BackgroundColor());
  EXPECT_EQ(330, fNotifier->Content().CardWidth);
  EXPECT_EQ(75, fNotifier->Content().FormHeight);
}

} // namespace
