#pragma once

#include "app/Commands.h"
#include "app/HotkeySettings.h"
#include "app/MainThread.h"
#include "app/PageSaver.h"
#include "app/PagesWindow.h"
#include "app/RowDescriptions.h"
#include "app/SettingsWindow.h"
#include "app/StartupCards.h"
#include "app/StartupFlow.h"
#include "app/capture/SystemPageClipboard.h"
#include "app/model/PageModel.h"
#include "hotkey/GlobalHotkey.Core.h"
#include "shared/Handles.h"
#include "ui/Notifier.h"
#include "ui/TrayIcon.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// What a form needs to know about its environment; tests change it.
struct TMainFormOptions {
  // The single-instance mutex.
  std::wstring MutexName = L"Pagekeep";
  // Whether the start-up thread runs; without it the caller runs
  // CompleteStartup itself.
  bool StartStartupThread = true;
  // The start-up thread's course; empty: decided by the command line.
  std::optional<TStartupCourse> Course;
  // Where the installation state ("version") and the autorun entry live,
  // under HKEY_CURRENT_USER.
  std::wstring AppKey = TInstallationState::AppKey;
  std::wstring RunKey = TInstallationState::RunKey;
  // The executable that reads the clipboard as the capture helper; empty for
  // this one (tests, which are other executables, name Pagekeep.exe).
  std::wstring CaptureHelper;
};

// The program's controller and the notifier's window ("Stowage Notifier").
// It owns the notifier card, the pages model, the tray icon and the hotkeys.
// The window is the card's: hidden until a card shows, and it never takes
// the keyboard focus. Main thread only.
class TMainForm : public TPageModelView, public THotkeyEditor, public TPagesHost {
public:
  static constexpr const wchar_t *WindowClassName = L"PagekeepMainForm";
  static constexpr const wchar_t *WindowCaption = L"Stowage Notifier";
  static constexpr const wchar_t *AnnouncementClassName = L"Static";
  static constexpr int ShortcutCount = 28;

  explicit TMainForm(HINSTANCE aInstance, TMainFormOptions aOptions = {});
  TMainForm(const TMainForm &) = delete;
  TMainForm &operator=(const TMainForm &) = delete;
  ~TMainForm() override;

  // Null once the window is gone (after Close).
  HWND Handle() const noexcept { return fNotifier->Handle(); }
  TNotifier &Notifier() noexcept { return *fNotifier; }
  TPageModel &Model() noexcept { return fModel; }
  // Null until CompleteStartup has made the icon.
  TTrayIcon *Tray() const noexcept { return fTray.get(); }
  const std::vector<std::unique_ptr<TGlobalHotkey>> &Hotkeys() const noexcept { return fHotkeys; }

  // The combination of a command-table row: the user's choice, else the
  // default; empty for none.
  THotkeyCombination HotkeyInForce(std::size_t aRow) const override;
  bool HotkeyTaken(std::size_t aRow) const override;
  // Puts aHotkey in force for the row and keeps it in the settings. Throws
  // EHotkeyRefused (the old one stays) when another row has it or another
  // program holds it; an empty combination removes the row's hotkey.
  void ChangeHotkey(std::size_t aRow, THotkeyCombination aHotkey) override;
  // Every row back to its default; the choices are removed.
  void RestoreDefaultHotkeys() override;
  bool ScreenReaderNotices() const override;
  void SetScreenReaderNotices(bool aOn) override;
  // Opens the settings window, or brings it to the front.
  void ShowSettings();
  // Opens the pages window over the window in front, or brings it back.
  void ShowPagesWindow();
  // Null until the pages window is opened.
  TPagesWindow *PagesWindow() const noexcept { return fPagesWindow.get(); }

  // TPagesHost
  std::vector<TPagesRow> PagesRows() override;
  bool InPrivateMode() const override;
  void ChoosePagesRow(const TPagesRow &aRow, TPagesChoice aChoice, HWND aPrevious) override;
  void PagesWindowClosed() override;
  // Null until the settings window is opened.
  TSettingsWindow *Settings() const noexcept { return fSettings.get(); }
  bool StartupCompleted() const noexcept { return fStartupCompleted; }

  // The second half of start-up, on the main thread, once.
  void CompleteStartup();
  // CompleteStartup for the start-up thread's hand-over: a failure is shown
  // to the user and closes the program instead of leaving it half started.
  void CompleteStartupOrClose();
  // Asks the form to close, as the tray's "Close" does.
  void Close();

  // The newest announcement as "<number> <text>" (numbered from 1), kept
  // beside the card for other processes to read.
  const std::wstring &LastAnnouncement() const noexcept { return fLastAnnouncement; }

  // TPageModelView
  void ShowPageAnnounce() override;
  void ShowHistoryPageAnnounce() override;
  void ShowInfo(const TCardRequest &aRequest) override;
  void PrivateModeChanged(bool aPrivate) override;
  void CheckPageMenuItem(int aPage) override;
  void ScheduleCaptureRetry(std::chrono::milliseconds aDelay) override;
  void SlotsChanged() override;
  void CaptureUnderWay(bool aUnderWay) override;

private:
  enum class TTimerID : UINT_PTR { CaptureRetry = 1, Paste = 2 };

  // The card's window messages that the notifier leaves to the form.
  std::optional<LRESULT> HandleMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam);
  void CreateFormWindow();

  // Start-up and shutdown
  void FormCreate();
  void InitializeState();
  void HideFromTaskbar();
  bool IsAlreadyRunning();
  void RegisterClipboardListener();
  void UnregisterClipboardListener();
  void RegisterTerminationHandler();
  void DetachMessageListeners();
  void FormCloseQuery();
  void StartStartupThread();
  class TFormStartupHost;

  // Tray
  void CreateTrayIcon();
  void AddCommandItem(TTrayMenuItem &aParent, const TCommandRow &aRow);
  void MenuClick(const TCommandRow &aRow, TTrayMenuItem &aItem);
  bool CommandChecked(const TCommandRow &aRow) const;
  TTrayMenuItem *CommandItem(const TCommandRow &aRow) const;
  static std::size_t RowIndex(const TCommandRow &aRow);

  // Shortcuts and commands
  void RegisterShortcuts();
  void ReleaseShortcuts();
  std::unique_ptr<TGlobalHotkey> MakeHotkey(std::size_t aRow, THotkeyCombination aHotkey);
  void PutHotkeyOfRow(std::size_t aRow, std::unique_ptr<TGlobalHotkey> aHotkey);
  void LoadHotkeyChoices();
  const TGlobalHotkey *HotkeyOfRow(std::size_t aRow) const;
  void RunCommand(const TCommandRow &aCommand);
  void SelectPage(int aPage);
  void NextPage();
  void PreviousPage();
  void PreviousHistoryElement();
  void NextHistoryElement();
  void ShowCurrentPageInfo();
  void TogglePrivateMode();
  void ShowClipboardFormats();
  void CloseClick();

  // Hotkeys that another program holds: marked in the menu, reported on a
  // card after the start-up messages.
  std::vector<std::wstring> TakenHotkeyNames() const;
  void MarkTakenHotkeysInMenu();
  void ReportTakenHotkeys();
  void ShowWarningCard(const std::wstring &aCaption, const std::wstring &aText);

  // "Keep pages after restart"
  bool KeepPages() const;
  bool RestoreSavedPages();
  void CaptureStartClipboard(bool aPagesRestored);
  void StartKeepingPages(bool aSavedAlready);
  void KeepPagesClick(TTrayMenuItem &aItem);
  void SavePagesBeforeExit();

  // Announcements
  void CreateAnnouncementRecord();
  void Announce(const std::wstring &aText);
  const TClipboardState &HistoryEntry(int aActiveHistoryPage) const;

  // Pages window
  TPagesRow DescribeRow(const TClipboardState &aState);
  void ContinuePaste();
  void PreparePagesWindow();
  // Posted to the form's window when the pages window has closed.
  static constexpr UINT PreparePagesWindowMessage = WM_APP + 0x50;
  // Messages of the start-up flow: the text form of the card, in the card's
  // present colour.
  void ShowStartupMessage(const std::wstring &aCaption, const std::wstring &aShortDescription,
                          const std::wstring &aDetailedDescription, TCardPicture aPicture,
                          std::uint32_t aTime);
  void ChangeStartupMessage(const std::wstring &aCaption, const std::wstring &aShortDescription,
                            TCardPicture aPicture);
  void SetStartupMessageComment(const std::wstring &aText);
  void HideStartupMessage();

  HINSTANCE fInstance;
  TMainFormOptions fOptions;
  // First: its window goes last, after everything that uses it.
  std::unique_ptr<TNotifier> fNotifier;
  TAfterStartupCards fStartupCards;
  TSystemPageClipboard fPageClipboard{fOptions.CaptureHelper};
  // Before the model, which tells it of every change of the pages.
  TRowDescriptions fRowDescriptions{&TNotifier::Describe};
  TPageModel fModel{*this, fPageClipboard};
  // After the model: it reads the model until it goes.
  std::unique_ptr<TPageSaver> fPageSaver;
  std::unique_ptr<TTrayIcon> fTray;
  THotkeyChoices fHotkeyChoices;
  // In the table's order, one per row with a hotkey in force.
  std::vector<std::unique_ptr<TGlobalHotkey>> fHotkeys;
  // The command-table row of each of fHotkeys.
  std::vector<std::size_t> fHotkeyRows;
  // The tray items of the commands; they live as long as fTray.
  std::vector<std::pair<const TCommandRow *, TTrayMenuItem *>> fCommandItems;
  // It changes the hotkeys, so it goes before them.
  std::unique_ptr<TSettingsWindow> fSettings;
  std::unique_ptr<TPagesWindow> fPagesWindow;
  // The window a paste goes to, while one waits; and until when it waits.
  HWND fPasteTarget = nullptr;
  ULONGLONG fPasteDeadline = 0;
  TKernelHandle fInstanceMutex;
  TMainThreadHandOver fHandOver;
  bool fStartupCompleted = false;
  bool fClipboardListenerAttached = false;
  bool fClipboardFormatListening = false;
  bool fTerminationHandlerAttached = false;
  bool fFormatBoxOpen = false;
  HWND fAnnouncement = nullptr;
  unsigned fAnnouncementCount = 0;
  std::wstring fLastAnnouncement;
  // Last: its threads hand steps over to the members above, so it goes
  // first (after the destructor has cancelled the hand-overs).
  std::unique_ptr<TStartupHost> fStartupHost;
  std::unique_ptr<TStartupFlow> fStartupFlow;
};

// Runs the message loop until WM_QUIT; returns its exit code.
int RunMessageLoop();
