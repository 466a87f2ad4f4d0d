// A program that copies on request, as an editor would when the user
// presses Ctrl+C: it brings its window to the front and puts the content the
// request names on the clipboard. SOURCE_VARIANT tells the two apart.

#include "DayContent.h"

#include <windows.h>

namespace {

#if SOURCE_VARIANT == 1
constexpr wchar_t SourceName[] = L"Notes";
#else
constexpr wchar_t SourceName[] = L"Sketch";
#endif

LRESULT HandleCopyRequest(HWND aWindow, const COPYDATASTRUCT &aData) {
  if (aData.cbData != sizeof(DayContent::TRequest) || aData.dwData >= DayContent::ckKindCount)
    return 0;
  DayContent::TRequest request{};
  std::memcpy(&request, aData.lpData, sizeof(request));
  // The copying program is the foreground one, as when a user copies.
  ::SetForegroundWindow(aWindow);
  try {
    Harness::SetClipboard(
        DayContent::Make(static_cast<DayContent::TKind>(aData.dwData), request.Id, SourceName));
    return 1;
  } catch (const std::exception &) {
    return 0;
  }
}

LRESULT CALLBACK WindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
  switch (aMessage) {
  case WM_COPYDATA:
    return HandleCopyRequest(aWindow, *reinterpret_cast<const COPYDATASTRUCT *>(aLParam));
  case WM_DESTROY:
    ::PostQuitMessage(0);
    return 0;
  default:
    return ::DefWindowProcW(aWindow, aMessage, aWParam, aLParam);
  }
}

} // namespace

int main() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = DayContent::SourceWindowClass;
  if (!::RegisterClassW(&windowClass))
    return 1;
  TWindowHandle window(::CreateWindowExW(WS_EX_TOOLWINDOW, DayContent::SourceWindowClass,
                                         SourceName, WS_POPUP | WS_VISIBLE, 0, 0, 32, 32, nullptr,
                                         nullptr, windowClass.hInstance, nullptr));
  if (!window)
    return 2;
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  window.Detach(); // destroyed by WM_CLOSE already
  return 0;
}
