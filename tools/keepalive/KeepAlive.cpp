// Holds one window and one tray icon on the Wine desktop for the length of
// a test run.
// - Wine closes the desktop about a second after its last window goes, and
//   every GUI test would pay to bring it back.
// - Wine's tray hides itself when its last icon goes, and under Xvfb (no
//   window manager) that hide waits 2 s for a withdrawn state that never
//   comes; with an icon of ours always there, removing a program's icon is
//   immediate.
#include <windows.h>

#include <shellapi.h>

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
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
    ::DispatchMessageW(&msg);
  return 0;
}
