#pragma once

// The start-up thread (update check, update install or neither), the
// installation state in the registry, the autorun entry and the two
// greetings. Everything it needs from the main form goes through
// TStartupHost, so the flow is tested with a fake form.

#include "shared/Handles.h"
#include "ui/CardRequest.h"
#include "update/AutomaticUpdate.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

// The flow's threads end when they meet this: the form is going away.
class EStartupCancelled : public std::runtime_error {
public:
  EStartupCancelled() : std::runtime_error("The start-up flow was cancelled") {}
};

// A message on the notifier card, in the text form without warning, with
// one of the card's own pictures.
struct TStartupMessage {
  std::wstring Caption;
  std::wstring ShortDescription;
  std::wstring DetailedDescription;
  TCardPicture Picture = TCardPicture::None;
  std::uint32_t Time = 0; // ms; 0xFFFFFFFF keeps the card up until HideInfo
};

// What the flow needs from the main form.
class TStartupHost {
public:
  virtual ~TStartupHost() = default;

  // Any thread: runs aStep on the main thread and returns once it has run,
  // raising the step's error. Throws EStartupCancelled when the main thread
  // no longer takes steps; the flow's thread then ends.
  virtual void HandOver(const std::function<void()> &aStep) = 0;

  // Main thread only, inside a handed-over step.
  virtual void ShowInfo(const TStartupMessage &aMessage) = 0;
  virtual void ChangeInfo(const std::wstring &aCaption, const std::wstring &aShortDescription,
                          TCardPicture aPicture) = 0;
  // Rewrites the card's short-description line (lblComment) alone.
  virtual void SetInfoComment(const std::wstring &aText) = 0;
  virtual void HideInfo() = 0;
  virtual void CompleteStartup() = 0;
  // A balloon on the tray icon with the information symbol.
  virtual void ShowTrayBalloon(const std::wstring &aTitle, const std::wstring &aText,
                               std::uint32_t aTimeout) = 0;

  // Any thread. Starts a program through the shell with the verb "open";
  // false when it did not start.
  virtual bool OpenProgram(const std::wstring &aPath, const std::wstring &aParameters);
  // Ends this process at once with exit code 0; no shutdown code runs.
  virtual void EndProcess();
};

enum class TStartupCourse {
  scCheck,  // no argument: ask the server; fetch and check an update, swap
            // it in here or through an elevated "-update <file>", then start
            // the program with "-updated"
  scUpdate, // exactly "-update": check the handed file again, swap, end
  scNone,   // anything else: straight to CompleteStartup
};

// Decided by the first argument alone (aArguments without the program).
TStartupCourse StartupCourseFor(const std::vector<std::wstring> &aArguments);
// The checked file handed to "-update"; empty when there is none.
std::wstring UpdateFileArgument(const std::vector<std::wstring> &aArguments);
// This process's arguments, without the program.
std::vector<std::wstring> ProgramArguments();

// The registry state of the installation: the autorun entry and "version".
class TInstallationState {
public:
  static constexpr const wchar_t *AppKey = L"Software\\Pagekeep";
  static constexpr const wchar_t *RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

  explicit TInstallationState(std::wstring aExePath, std::wstring aAppKey = AppKey,
                              std::wstring aRunKey = RunKey);

  // Writes (or removes) the Run value: the exe's name without extension,
  // holding its quoted path. Does nothing when the key cannot be opened.
  void SetAutorun(bool aEnable) const;
  // True once after a build with another version string ran here.
  bool IsUpdated() const;
  // True when no version was stored yet.
  bool IsFirstRun() const;

  std::wstring AutorunName() const;
  std::wstring AutorunCommand() const;

private:
  std::wstring fExePath;
  std::wstring fAppKey;
  std::wstring fRunKey;
};

// Runs the start-up thread and the greeting threads. The form creates it,
// calls Start at the end of FormCreate and RunInstallationSteps inside
// CompleteStartup. Destroying it stops the sleeps and joins its threads:
// cancel the host's hand-overs first, or a thread waiting in one would
// wait for ever.
class TStartupFlow {
public:
  using TSleep = std::function<void(DWORD aMilliseconds)>;

  TStartupFlow(TStartupHost &aHost, TAutomaticUpdate &aUpdater, TInstallationState aState);
  TStartupFlow(const TStartupFlow &) = delete;
  TStartupFlow &operator=(const TStartupFlow &) = delete;
  ~TStartupFlow();

  // Starts the start-up thread for the course; aUpdateFile is what
  // "-update" installs.
  void Start(TStartupCourse aCourse,
             std::wstring aUpdateFile = UpdateFileArgument(ProgramArguments()));
  // Steps 6 to 8 of CompleteStartup, on the main thread: autorun entry,
  // then at most one greeting.
  void RunInstallationSteps();
  // Each starts a short-lived thread and returns at once.
  void ShowUpdatedMessage();
  void ShowWelcome();

  // Ends every sleep at once; the threads end at their next step.
  void Stop();
  // Waits until every thread started so far has ended.
  void Join();
  // Replaces the waiting (tests); the default waits on the stop signal.
  void SetSleep(TSleep aSleep) { fSleep = std::move(aSleep); }

private:
  void Spawn(std::function<void()> aBody);
  void RunCourse(TStartupCourse aCourse);
  void GoOnAfterError(TStartupCourse aCourse);
  void CheckForUpdate();
  bool InstallOffered(const std::wstring &aOffered);
  bool FetchChecked(const std::wstring &aOffered);
  bool SwapHere();
  bool RunElevatedUpdater(const std::wstring &aOffered);
  void WaitForUpdater(HANDLE aUpdater);
  bool StartUpdatedProgram();
  bool WaitForProcess(HANDLE aProcess, DWORD aTimeLimit);
  void InstallUpdate();
  void UI(const std::function<void()> &aStep);
  void Sleep(DWORD aMilliseconds);

  TStartupHost &fHost;
  TAutomaticUpdate &fUpdater;
  TInstallationState fState;
  std::wstring fUpdateFile;
  TKernelHandle fStop;
  TSleep fSleep;
  std::mutex fThreadsLock;
  std::vector<std::thread> fThreads;
};
