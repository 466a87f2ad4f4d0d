#include "PagekeepDriver.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace PagekeepDriver;

BOOL CALLBACK CollectFormatBox(HWND aWindow, LPARAM aBoxes) {
  wchar_t title[64]{};
  ::GetWindowTextW(aWindow, title, 64);
  if (std::wstring(title) == L"Clipboard formats" && ::IsWindowVisible(aWindow))
    reinterpret_cast<std::vector<HWND> *>(aBoxes)->push_back(aWindow);
  return TRUE;
}

// The program's open format boxes.
std::vector<HWND> FormatBoxes(DWORD aProcessId) {
  std::vector<HWND> boxes;
  ::EnumWindows(&CollectFormatBox, reinterpret_cast<LPARAM>(&boxes));
  std::erase_if(boxes, [&](HWND aBox) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(aBox, &owner);
    return owner != aProcessId;
  });
  return boxes;
}

// A visible window of the test's own that takes the foreground.
class TOtherWindow {
public:
  TOtherWindow()
      : fWindow(::CreateWindowExW(0, L"STATIC", L"Another program", WS_VISIBLE | WS_POPUP, 500, 400,
                                  120, 60, nullptr, nullptr, nullptr, nullptr)) {}
  HWND Get() const noexcept { return fWindow.Get(); }

private:
  TWindowHandle fWindow;
};

class FormatBoxTest : public TStartedPagekeepTest {};

// Holding Alt+D repeats the hotkey; the program shows one box, and a press
// while it is open brings that box back to the front.
TEST_F(FormatBoxTest, AltDPressedAgainShowsTheOpenBoxInsteadOfAnother) {
  PressKeys({VK_MENU, 'D'});
  const HWND box = WaitForWindow(fApp().Id(), L"", L"Clipboard formats");
  ASSERT_NE(nullptr, box) << "no format list appeared";

  TOtherWindow other;
  ASSERT_NE(nullptr, other.Get());
  ::SetForegroundWindow(other.Get());
  for (int i = 0; i < 5; ++i)
    PressKeys({VK_MENU, 'D'});
  // Hotkeys run in order: once this page switch is announced, the presses
  // before it have been handled.
  EXPECT_EQ(L"Page 2", fApp().Press(VK_NUMPAD2));
  EXPECT_EQ(std::vector<HWND>{box}, FormatBoxes(fApp().Id()));
  EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == box; }, 2000ms))
      << "the open box was not brought to the front";

  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
  PressKeys({VK_MENU, 'D'});
  const HWND next = WaitForWindow(fApp().Id(), L"", L"Clipboard formats");
  EXPECT_NE(nullptr, next) << "a closed box leaves Alt+D working";
  EXPECT_TRUE(WaitUntil([&] { return FormatBoxes(fApp().Id()).size() == 1; }));
  if (next)
    ::PostMessageW(next, WM_COMMAND, IDOK, 0);
}

// Closing from the tray while the box is open ends the program with 0 once
// the box is gone: the Alt+D hotkey is released under its running handler.
TEST_F(FormatBoxTest, CloseWhileTheBoxIsOpenEndsTheProgramCleanly) {
  PressKeys({VK_MENU, 'D'});
  const HWND box = WaitForWindow(fApp().Id(), L"", L"Clipboard formats");
  ASSERT_NE(nullptr, box) << "no format list appeared";
  ::PostMessageW(fApp().Tray(), WM_COMMAND, tcClose, 0);
  const auto exitCode = fApp().Process().WaitForExit(10s);
  ASSERT_TRUE(exitCode.has_value()) << "the program did not end";
  EXPECT_EQ(0u, *exitCode);
}

} // namespace
