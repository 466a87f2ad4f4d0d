#include "PagekeepDriver.h"

#include <gtest/gtest.h>

namespace {

using namespace PagekeepDriver;

TEST(SingleInstance, ASecondStartEndsOnItsOwnAndTheFirstKeepsItsPages) {
  TPagekeep first;
  ASSERT_TRUE(first.WaitReady());
  Copy(L"first zero");
  first.Press(VK_NUMPAD1);
  Copy(L"first one");

  TProcess second = StartPagekeep(L"-updated");
  bool secondHadTray = false;
  std::optional<DWORD> exitCode;
  WaitUntil(
      [&] {
        if (WaitForWindow(second.Id(), L"PagekeepTrayWindow", L"", 0ms))
          secondHadTray = true;
        exitCode = second.WaitForExit(0ms);
        return exitCode.has_value();
      },
      15000ms);
  ASSERT_TRUE(exitCode.has_value()) << "the second instance kept running";
  EXPECT_EQ(0u, *exitCode);
  EXPECT_FALSE(secondHadTray) << "the second instance made a tray icon";

  EXPECT_EQ(L"Page 0", first.Press(VK_NUMPAD0));
  EXPECT_EQ(L"first zero", ClipboardOrNone());
  EXPECT_EQ(L"Page 1", first.Press(VK_F4));
  EXPECT_EQ(L"first one", ClipboardOrNone());
}

TEST(SessionEnd, QueryEndSessionEndsTheProcessAtOnceWithZero) {
  TPagekeep app;
  ASSERT_TRUE(app.WaitReady());
  ASSERT_TRUE(::PostMessageW(app.MessageWindow(), WM_QUERYENDSESSION, 0,
                             static_cast<LPARAM>(ENDSESSION_LOGOFF)));
  const auto exitCode = app.Process().WaitForExit(5000ms);
  ASSERT_TRUE(exitCode.has_value()) << "the program did not end";
  EXPECT_EQ(0u, *exitCode);
}

TEST(Close, TheTrayCloseEndsTheProgramWithZeroAndFreesItsHotkeys) {
  TPagekeep app;
  ASSERT_TRUE(app.WaitReady());
  EXPECT_FALSE(::RegisterHotKey(nullptr, 1, MOD_ALT | MOD_WIN, VK_F3)) << "Pagekeep holds it";
  ASSERT_TRUE(::PostMessageW(app.Tray(), WM_COMMAND, tcClose, 0));
  const auto exitCode = app.Process().WaitForExit(5000ms);
  ASSERT_TRUE(exitCode.has_value()) << "the program did not end after Close";
  EXPECT_EQ(0u, *exitCode);
  EXPECT_TRUE(::RegisterHotKey(nullptr, 1, MOD_ALT | MOD_WIN, VK_F3));
  ::UnregisterHotKey(nullptr, 1);
}

// The harness's own holder of a combination: a window that counts the
// presses it receives.
class THotkeyHolder {
public:
  THotkeyHolder(UINT aModifiers, UINT aKey) {
    WNDCLASSW description{};
    description.lpfnWndProc = &Count;
    description.hInstance = ::GetModuleHandleW(nullptr);
    description.lpszClassName = L"PagekeepTestHotkeyHolder";
    ::RegisterClassW(&description);
    fWindow.Reset(::CreateWindowExW(0, description.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, description.hInstance, nullptr));
    fRegistered = ::RegisterHotKey(fWindow.Get(), 1, aModifiers, aKey) != FALSE;
    sPresses = 0;
  }
  ~THotkeyHolder() { ::UnregisterHotKey(fWindow.Get(), 1); }
  bool Registered() const noexcept { return fRegistered; }
  static int Presses() noexcept { return sPresses; }

private:
  static LRESULT CALLBACK Count(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
    if (aMsg == WM_HOTKEY)
      ++sPresses;
    return ::DefWindowProcW(aWindow, aMsg, aWParam, aLParam);
  }
  static inline int sPresses = 0;
  TWindowHandle fWindow;
  bool fRegistered = false;
};

// A combination another program holds stays dead in Pagekeep; the rest,
// including the other key of the same page, works.
TEST(TakenHotkey, LeavesThatHotkeyDeadAndEverythingElseWorking) {
  THotkeyHolder holder(MOD_ALT | MOD_WIN, VK_NUMPAD5);
  ASSERT_TRUE(holder.Registered());
  TPagekeep app;
  ASSERT_TRUE(app.WaitReady());
  Copy(L"zero");
  EXPECT_EQ(L"", app.PressExpectingNothing(VK_NUMPAD5)) << "the taken combination reached Pagekeep";
  EXPECT_EQ(1, THotkeyHolder::Presses()) << "the holder did not get its hotkey";
  EXPECT_EQ(L"Page 5", app.Press(VK_F8));
  Copy(L"five");
  EXPECT_EQ(L"Page 6", app.Press(VK_RIGHT));
  EXPECT_EQ(L"Page 0", app.Press(VK_NUMPAD0));
  EXPECT_EQ(L"zero", ClipboardOrNone());
}

} // namespace
