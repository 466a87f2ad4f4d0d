#include "app/MainForm.h"

namespace {
void RegisterMainFormClass(HINSTANCE aInstance, WNDPROC aProc) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (::GetClassInfoExW(aInstance, TMainForm::WindowClassName, &existing))
    return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = aProc;
  wc.hInstance = aInstance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = ::LoadIconW(aInstance, MAKEINTRESOURCEW(1));
  wc.lpszClassName = TMainForm::WindowClassName;
  CheckWin32(::RegisterClassExW(&wc) != 0, "RegisterClassExW");
}
} // namespace

TMainForm::TMainForm(HINSTANCE aInstance, TMainFormOptions aOptions)
    : fInstance(aInstance), fOptions(std::move(aOptions)) {
  CreateFormWindow();
  FormCreate();
}

TMainForm::~TMainForm() {
  // Cancelled first: a start-up or greeting thread waiting in a hand-over
  // is released and ends instead of waiting for ever.
  fHandOver.Cancel();
  if (fStartupFlow) {
    fStartupFlow->Stop();
    fStartupFlow->Join();
  }
  ::KillTimer(fWindow.Get(), static_cast<UINT_PTR>(TTimerID::CaptureRetry));
  UnregisterClipboardListener();
  DetachMessageListeners();
  ReleaseShortcuts();
  fTray.reset();
  // Destroyed here, while the members still exist. The handle is let go
  // first, so the window's last messages go to the default procedure and a
  // form that goes without being closed does not end the message loop.
  fWindow.Reset();
}

void TMainForm::CreateFormWindow() {
  RegisterMainFormClass(fInstance, &TMainForm::WindowProc);
  // A layered, topmost tool window that is never activated: the card must
  // not take the focus from the program the user is pasting into.
  const HWND window = ::CreateWindowExW(
      WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, WindowClassName,
      WindowCaption, WS_POPUP, 0, 30, 330, 75, nullptr, nullptr, fInstance, this);
  CheckWin32(window != nullptr, "CreateWindowExW");
  CreateAnnouncementPlaceholder();
}

LRESULT CALLBACK TMainForm::WindowProc(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  if (aMsg == WM_NCCREATE) {
    auto *create = reinterpret_cast<CREATESTRUCTW *>(aLParam);
    auto *form = static_cast<TMainForm *>(create->lpCreateParams);
    form->fWindow.Reset(aWindow);
    ::SetWindowLongPtrW(aWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto *self = reinterpret_cast<TMainForm *>(::GetWindowLongPtrW(aWindow, GWLP_USERDATA));
  if (aMsg == WM_NCDESTROY) {
    ::SetWindowLongPtrW(aWindow, GWLP_USERDATA, 0);
    if (self)
      self->fWindow.Detach();
  }
  if (!self || self->fWindow.Get() != aWindow)
    return ::DefWindowProcW(aWindow, aMsg, aWParam, aLParam);
  try {
    return self->HandleMessage(aMsg, aWParam, aLParam);
  } catch (...) {
    // Errors of the form's own commands never reach the system.
    return 0;
  }
}

LRESULT TMainForm::HandleMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  switch (aMsg) {
  case WM_MOUSEACTIVATE:
    return MA_NOACTIVATE;
  case WM_TIMER:
    if (aWParam == static_cast<UINT_PTR>(TTimerID::CaptureRetry)) {
      ::KillTimer(fWindow.Get(), aWParam);
      fModel.RetryCapture();
      return 0;
    }
    break;
  case WM_CLOSE:
    FormCloseQuery();
    ::DestroyWindow(fWindow.Get());
    return 0;
  case WM_DESTROY:
    ReleaseShortcuts();
    ::PostQuitMessage(0);
    return 0;
  default:
    break;
  }
  return ::DefWindowProcW(fWindow.Get(), aMsg, aWParam, aLParam);
}

void TMainForm::ScheduleCaptureRetry(std::chrono::milliseconds aDelay) {
  CheckWin32(::SetTimer(fWindow.Get(), static_cast<UINT_PTR>(TTimerID::CaptureRetry),
                        static_cast<UINT>(aDelay.count()), nullptr) != 0,
             "SetTimer");
}

void TMainForm::Close() {
  CheckWin32(::PostMessageW(fWindow.Get(), WM_CLOSE, 0, 0), "PostMessageW");
}

int RunMessageLoop() {
  MSG msg;
  BOOL result;
  while ((result = ::GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (result == -1)
      throw std::runtime_error(LastErrorText("GetMessageW"));
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
