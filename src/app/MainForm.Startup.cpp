#include "app/MainForm.h"

#include "clipboard/ClipboardStateContainer.h"

// First half of start-up: the model in memory, no taskbar button, and the
// start-up thread that hands the second half over to this thread.
void TMainForm::FormCreate() {
  InitializeState();
  fModel.CreatePages();
  HideFromTaskbar();
  StartStartupThread();
}

// The model starts in normal mode with an empty history on page 0 by its own
// construction; the form only makes sure that no card is showing.
void TMainForm::InitializeState() {
  ::ShowWindow(fWindow.Get(), SW_HIDE);
}

void TMainForm::HideFromTaskbar() {
  ::ShowWindow(fWindow.Get(), SW_HIDE);
  const LONG_PTR style = ::GetWindowLongPtrW(fWindow.Get(), GWL_EXSTYLE);
  ::SetWindowLongPtrW(fWindow.Get(), GWL_EXSTYLE, (style & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW);
}

void TMainForm::StartStartupThread() {
  if (fOptions.StartStartupThread)
    fStartupThread = std::thread([this] { RunStartupThread(*this, fHandOver); });
}

// The mutex is held, never waited on, until the form (and with it the
// process) goes. A mutex that cannot be made for another reason leaves this
// process the first instance.
bool TMainForm::IsAlreadyRunning() {
  const HANDLE mutex = ::CreateMutexW(nullptr, TRUE, fOptions.MutexName.c_str());
  const DWORD error = ::GetLastError();
  fInstanceMutex.Reset(mutex);
  return mutex != nullptr && error == ERROR_ALREADY_EXISTS;
}

void TMainForm::CompleteStartup() {
  if (fStartupCompleted)
    return;
  fStartupCompleted = true;
  if (IsAlreadyRunning()) {
    ::TerminateProcess(::GetCurrentProcess(), 0);
    return;
  }
  CreateTrayIcon();
  RegisterShortcuts();
  RegisterClipboardListener();
  RegisterTerminationHandler();
  // Autorun and the greetings come with the update flow.
  // Page 0 takes what the clipboard holds now; the page is empty, so
  // nothing goes to the history and nothing is announced.
  fModel.ClipboardChanged();
}

void TMainForm::CompleteStartupOrClose() {
  try {
    CompleteStartup();
  } catch (const std::exception &e) {
    const std::string what = e.what();
    const std::wstring text =
        L"Pagekeep could not start: " + std::wstring(what.begin(), what.end());
    ::MessageBoxW(nullptr, text.c_str(), L"Pagekeep", MB_OK | MB_ICONERROR);
    Close();
  }
}

void TMainForm::RegisterClipboardListener() {
  if (!fClipboardListenerAttached) {
    WndProcFilter().AddEventListener(
        WM_CLIPBOARDUPDATE, MakeMessageFilter([this](TMessage) { fModel.ClipboardChanged(); }));
    fClipboardListenerAttached = true;
  }
  CheckWin32(::AddClipboardFormatListener(WndProcFilter().Handle()), "AddClipboardFormatListener");
  fClipboardFormatListening = true;
}

// The message listener stays: with the window off the system's list no
// clipboard notification reaches it any more.
void TMainForm::UnregisterClipboardListener() {
  if (!fClipboardFormatListening)
    return;
  ::RemoveClipboardFormatListener(WndProcFilter().Handle());
  fClipboardFormatListening = false;
}

// At the end of the Windows session the process ends at once; nothing is
// saved, so there is nothing to wait for.
void TMainForm::RegisterTerminationHandler() {
  WndProcFilter().AddEventListener(WM_QUERYENDSESSION, MakeMessageFilter([](TMessage) {
                                     ::TerminateProcess(::GetCurrentProcess(), 0);
                                   }));
  fTerminationHandlerAttached = true;
}

void TMainForm::DetachMessageListeners() {
  if (fClipboardListenerAttached)
    WndProcFilter().RemoveEventListener(WM_CLIPBOARDUPDATE);
  if (fTerminationHandlerAttached)
    WndProcFilter().RemoveEventListener(WM_QUERYENDSESSION);
  fClipboardListenerAttached = fTerminationHandlerAttached = false;
}

// Closing leaves nothing behind in the system: no icon, no clipboard
// listener; the hotkeys go with the window.
void TMainForm::FormCloseQuery() {
  if (fTray)
    fTray->SetVisible(false);
  UnregisterClipboardListener();
}
