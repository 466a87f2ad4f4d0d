// TMainForm, start-up: form creation, the start-up thread's host and CompleteStartup.
#include "app/MainForm.h"

#include "clipboard/ClipboardStateContainer.h"
#include "shared/Text.h"

// What the start-up flow sees of the form. A helper of its own rather than a
// base of the form: the form's CompleteStartup raises its errors, while the
// flow's must not (a failed start is shown and closes the program), and the
// form's ShowInfo is the pages model's.
class TMainForm::TFormStartupHost : public TStartupHost {
public:
  explicit TFormStartupHost(TMainForm &aForm) : fForm(aForm) {}

  void HandOver(const std::function<void()> &aStep) override {
    try {
      fForm.fHandOver.Run(aStep);
    } catch (const EHandOverCancelled &) {
      throw EStartupCancelled();
    }
  }
  // The messages go to the notifier card and to the form's record of
  // announcements; their caption is always the program's name, so the
  // record keeps the short description, which tells them apart.
  void ShowInfo(const TStartupMessage &aMessage) override {
    fForm.ShowStartupMessage(aMessage.Caption, aMessage.ShortDescription,
                             aMessage.DetailedDescription, aMessage.Picture, aMessage.Time);
  }
  void ChangeInfo(const std::wstring &aCaption, const std::wstring &aShortDescription,
                  TCardPicture aPicture) override {
    fForm.ChangeStartupMessage(aCaption, aShortDescription, aPicture);
  }
  void SetInfoComment(const std::wstring &aText) override { fForm.SetStartupMessageComment(aText); }
  void HideInfo() override { fForm.HideStartupMessage(); }
  void CompleteStartup() override { fForm.CompleteStartupOrClose(); }
  void ShowTrayBalloon(const std::wstring &aTitle, const std::wstring &aText,
                       std::uint32_t aTimeout) override {
    if (fForm.fTray)
      fForm.fTray->ShowBalloon(aTitle, aText, aTimeout);
  }

private:
  TMainForm &fForm;
};

// First half of start-up: the model in memory, no taskbar button, and the
// start-up thread that hands the second half over to this thread.
void TMainForm::FormCreate() {
  fStartupHost = std::make_unique<TFormStartupHost>(*this);
  fStartupFlow = std::make_unique<TStartupFlow>(
      *fStartupHost, AutomaticUpdate,
      TInstallationState(AutomaticUpdate.Settings().ExePath, fOptions.AppKey, fOptions.RunKey));
  InitializeState();
  fModel.CreatePages();
  HideFromTaskbar();
  StartStartupThread();
}

// The model starts in normal mode with an empty history on page 0, and the
// notifier with no card (zero width, transparent, its window hidden), each
// by its own construction; the form only makes sure that no card is showing.
void TMainForm::InitializeState() {
  ::ShowWindow(Handle(), SW_HIDE);
}

void TMainForm::HideFromTaskbar() {
  ::ShowWindow(Handle(), SW_HIDE);
  const LONG_PTR style = ::GetWindowLongPtrW(Handle(), GWL_EXSTYLE);
  ::SetWindowLongPtrW(Handle(), GWL_EXSTYLE, (style & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW);
}

void TMainForm::StartStartupThread() {
  if (fOptions.StartStartupThread)
    fStartupFlow->Start(fOptions.Course.value_or(StartupCourseFor(ProgramArguments())));
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
  LoadHotkeyChoices();
  CreateTrayIcon();
  RegisterShortcuts();
  MarkTakenHotkeysInMenu();
  // Before the listener: no copy is recorded into pages about to be loaded.
  const bool pagesRestored = RestoreSavedPages();
  RegisterClipboardListener();
  RegisterTerminationHandler();
  fStartupFlow->RunInstallationSteps();
  CaptureStartClipboard(pagesRestored);
  ReportTakenHotkeys();
}

void TMainForm::CompleteStartupOrClose() {
  try {
    CompleteStartup();
  } catch (const std::exception &e) {
    const std::wstring text = L"Pagekeep could not start: " + WideFromErrorText(e.what());
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

// At the end of the Windows session the process ends at once, once the
// pages are saved when the user keeps them.
void TMainForm::RegisterTerminationHandler() {
  WndProcFilter().AddEventListener(WM_QUERYENDSESSION, MakeMessageFilter([this](TMessage) {
                                     SavePagesBeforeExit();
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
  SavePagesBeforeExit();
}
