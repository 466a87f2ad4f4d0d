// Holds one window and one tray icon on the Wine desktop for the length of
// a test run.
// - Wine closes the desktop about a second after its last window goes, and
//   every GUI test would pay to bring it back.
// - Wine's tray hides itself when its last icon goes, and under Xvfb (no
//   window manager) that hide waits 2 s for a withdrawn state that never
//   comes; with an icon of ours always there, removing a program's icon is
//   immediate.
// With a file name as its argument it creates that file once the tray shows
// the icon: the tray window appears at the screen's top left, and a test
// that compares screenshots there must not see it arrive.
#include <windows.h>

#include <shellapi.h>

#include <chrono>

namespace {

using TClock = std::chrono::steady_clock;

void PumpMessagesFor(std::chrono::milliseconds aTime) {
  const auto deadline = TClock::now() + aTime;
  for (auto now = TClock::now(); now < deadline; now = TClock::now()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()) + 1,
                                QS_ALLINPUT);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      ::DispatchMessageW(&msg);
  }
}

// Without a window manager Wine shows the icons in a window of its X11
// driver's own; with one (or in a virtual desktop) in the taskbar.
bool TrayShown() {
  for (const wchar_t *windowClass : {L"__winex11_standalone_tray", L"Shell_TrayWnd"}) {
    const HWND tray = ::FindWindowW(windowClass, nullptr);
    if (tray && ::IsWindowVisible(tray))
      return true;
  }
  return false;
}

// Waits (at most 5 s) for the tray to show, lets the display catch up, then
// creates aReadyFile.
void SignalReadyWhenTrayShows(const wchar_t *aReadyFile) {
  const auto deadline = TClock::now() + std::chrono::seconds(5);
  while (!TrayShown() && TClock::now() < deadline)
    PumpMessagesFor(std::chrono::milliseconds(20));
  PumpMessagesFor(std::chrono::milliseconds(300));
  const HANDLE file = ::CreateFileW(aReadyFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE)
    ::CloseHandle(file);
}

} // namespace

int WINAPI wWinMain(HINSTANCE aInstance, HINSTANCE, PWSTR, int) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = aInstance;
  wc.lpszClassName = L"PagekeepKeepAlive";
  if (!::RegisterClassW(&wc))
    return 1;
  HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"Pagekeep test keep-alive",
                                  WS_POPUP, -10, -10, 1, 1, nullptr, nullptr, aInstance, nullptr);
  if (!window)
    return 1;
  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof(icon);
  icon.hWnd = window;
  icon.uID = 1;
  icon.uFlags = NIF_ICON | NIF_TIP;
  icon.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
  ::lstrcpynW(icon.szTip, L"Pagekeep test keep-alive", ARRAYSIZE(icon.szTip));
  ::Shell_NotifyIconW(NIM_ADD, &icon); // only a speed-up: tests work without it
  int count = 0;
  if (wchar_t **arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    if (count > 1)
      SignalReadyWhenTrayShows(arguments[1]);
    ::LocalFree(arguments);
  }
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
    ::DispatchMessageW(&msg);
  return 0;
}
