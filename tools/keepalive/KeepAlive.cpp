// Holds one window on the Wine desktop for the length of a test run. Wine
// closes the desktop about a second after its last window goes, and every
// GUI test would pay to bring it back.
#include <windows.h>

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
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
    ::DispatchMessageW(&msg);
  return 0;
}
