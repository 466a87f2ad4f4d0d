#include "app/MainForm.h"

#include "app/ScreenReaderSetting.h"
#include "shared/Trace.h"

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
  ::KillTimer(Handle(), static_cast<UINT_PTR>(TTimerID::CaptureRetry));
  fSettings.reset();
  fPagesWindow.reset();
  UnregisterClipboardListener();
  DetachMessageListeners();
  ReleaseShortcuts();
  fCommandItems.clear();
  fTray.reset();
  // Destroyed here, while the members still exist. The notifier stops
  // passing messages on first, so the window's last messages go to the
  // default procedure and a form that goes without being closed does not
  // end the message loop.
  fNotifier.reset();
}

// The form's window is the notifier card's: a layered, topmost tool window
// that is never activated, so the card cannot take the focus from the
// program the user is pasting into.
void TMainForm::CreateFormWindow() {
  fNotifier = std::make_unique<TNotifier>(
      fInstance,
      [this](UINT aMsg, WPARAM aWParam, LPARAM aLParam) -> std::optional<LRESULT> {
        try {
          return HandleMessage(aMsg, aWParam, aLParam);
        } catch (...) {
          // Errors of the form's own commands never reach the system.
          TraceDroppedError();
          return 0;
        }
      },
      WindowClassName);
  fNotifier->ScreenReader().SetEnabled(ScreenReaderNoticesSetting(fOptions.AppKey));
  CreateAnnouncementRecord();
}

std::optional<LRESULT> TMainForm::HandleMessage(UINT aMsg, WPARAM aWParam, LPARAM) {
  switch (aMsg) {
  case WM_TIMER:
    if (aWParam == static_cast<UINT_PTR>(TTimerID::CaptureRetry)) {
      ::KillTimer(Handle(), aWParam);
      fModel.RetryCapture();
      return 0;
    }
    if (aWParam == static_cast<UINT_PTR>(TTimerID::Paste)) {
      ContinuePaste();
      return 0;
    }
    break;
  case PreparePagesWindowMessage:
    PreparePagesWindow();
    return 0;
  case WM_CLOSE:
    FormCloseQuery();
    ::DestroyWindow(Handle());
    return 0;
  case WM_DESTROY:
    ReleaseShortcuts();
    ::PostQuitMessage(0);
    return 0;
  default:
    break;
  }
  return std::nullopt;
}

void TMainForm::ScheduleCaptureRetry(std::chrono::milliseconds aDelay) {
  CheckWin32(::SetTimer(Handle(), static_cast<UINT_PTR>(TTimerID::CaptureRetry),
                        static_cast<UINT>(aDelay.count()), nullptr) != 0,
             "SetTimer");
}

void TMainForm::Close() {
  CheckWin32(::PostMessageW(Handle(), WM_CLOSE, 0, 0), "PostMessageW");
}

int RunMessageLoop() {
  MSG msg;
  BOOL result;
  while ((result = ::GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (result == -1)
      throw std::runtime_error(LastErrorText("GetMessageW"));
    // Tab, arrows and Esc move through the settings window's controls.
    if (TSettingsWindow::HandleDialogKeys(msg) || TPagesWindow::HandleKeys(msg))
      continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
