#include "app/StartupFlow.h"
#include "app/StartupFlow.Parts.h"

#include "shared/Paths.h"
#include "shared/Registry.h"
#include "shared/Trace.h"

#include <shellapi.h>

#include <utility>

namespace {

using namespace StartupFlowParts;

constexpr const wchar_t *VersionValue = L"version";
constexpr DWORD GreetingTime = 10000;

// "version" as the completion step sees it: a value of another type counts
// as a stored version other than ours, so it is put right, not fatal.
struct TStoredVersion {
  bool Present = false;
  std::wstring Text;
};

TStoredVersion ReadVersion(HKEY aKey) {
  try {
    auto value = Registry::ReadString(aKey, VersionValue);
    return {value.has_value() && !value->empty(), value.value_or(L"")};
  } catch (const ERegistryTypeError &) {
    return {true, L"(not a string)"}; // handled: another version, put right
  }
}

// Writes "version"; a failed write leaves the state as it was and is
// noticed again at the next start.
void WriteOwnVersion(HKEY aKey) {
  const std::wstring version = TAutomaticUpdate::OwnVersion;
  ::RegSetValueExW(aKey, VersionValue, 0, REG_SZ, reinterpret_cast<const BYTE *>(version.c_str()),
                   static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t)));
}

} // namespace

bool TStartupHost::OpenProgram(const std::wstring &aPath, const std::wstring &aParameters) {
  const auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(nullptr, L"open", aPath.c_str(), aParameters.c_str(), L"", SW_SHOWNORMAL));
  return result > 32;
}

void TStartupHost::EndProcess() {
  ::TerminateProcess(::GetCurrentProcess(), 0);
}

std::wstring UpdateFileArgument(const std::vector<std::wstring> &aArguments) {
  return aArguments.size() >= 2 && aArguments.front() == L"-update" ? aArguments[1] : L"";
}

TStartupCourse StartupCourseFor(const std::vector<std::wstring> &aArguments) {
  if (aArguments.empty())
    return TStartupCourse::scCheck;
  return aArguments.front() == L"-update" ? TStartupCourse::scUpdate : TStartupCourse::scNone;
}

std::vector<std::wstring> ProgramArguments() {
  std::vector<std::wstring> arguments = CommandLineArguments(::GetCommandLineW());
  if (!arguments.empty())
    arguments.erase(arguments.begin());
  return arguments;
}

TInstallationState::TInstallationState(std::wstring aExePath, std::wstring aAppKey,
                                       std::wstring aRunKey)
    : fExePath(std::move(aExePath)), fAppKey(std::move(aAppKey)), fRunKey(std::move(aRunKey)) {}

std::wstring TInstallationState::AutorunName() const {
  std::wstring name = FileNameOf(fExePath);
  const size_t dot = name.find_last_of(L'.');
  return dot == std::wstring::npos ? name : name.substr(0, dot);
}

std::wstring TInstallationState::AutorunCommand() const {
  std::wstring command = L"\"";
  for (wchar_t c : fExePath)
    command += c == L'"' ? std::wstring(L"\"\"") : std::wstring(1, c);
  return command + L"\"";
}

void TInstallationState::SetAutorun(bool aEnable) const {
  TRegistryKey key = Registry::OpenCurrentUserKey(fRunKey, true, KEY_ALL_ACCESS | KEY_WOW64_32KEY);
  if (!key)
    return;
  const std::wstring name = AutorunName();
  if (aEnable) {
    const std::wstring command = AutorunCommand();
    ::RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE *>(command.c_str()),
                     static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  } else {
    ::RegDeleteValueW(key.Get(), name.c_str());
  }
}

bool TInstallationState::IsUpdated() const {
  TRegistryKey key = Registry::OpenCurrentUserKey(fAppKey, false);
  if (!key)
    return false;
  const TStoredVersion stored = ReadVersion(key.Get());
  if (!stored.Present || stored.Text == TAutomaticUpdate::OwnVersion)
    return false;
  WriteOwnVersion(key.Get());
  return true;
}

bool TInstallationState::IsFirstRun() const {
  TRegistryKey key = Registry::OpenCurrentUserKey(fAppKey, true);
  if (!key)
    return false;
  if (ReadVersion(key.Get()).Present)
    return false;
  WriteOwnVersion(key.Get());
  return true;
}

TStartupFlow::TStartupFlow(TStartupHost &aHost, TAutomaticUpdate &aUpdater,
                           TInstallationState aState)
    : fHost(aHost), fUpdater(aUpdater), fState(std::move(aState)),
      fStop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  CheckWin32(static_cast<bool>(fStop), "CreateEventW");
}

TStartupFlow::~TStartupFlow() {
  Stop();
  Join();
}

void TStartupFlow::Stop() {
  ::SetEvent(fStop.Get());
}

// A thread may start another (a greeting from a handed-over completion
// step), so this waits until no thread is left.
void TStartupFlow::Join() {
  for (;;) {
    std::vector<std::thread> threads;
    {
      std::lock_guard lock(fThreadsLock);
      threads.swap(fThreads);
    }
    if (threads.empty())
      return;
    for (auto &thread : threads)
      thread.join();
  }
}

// A thread of the flow ends quietly when the form goes away under it, and
// with a trace on any other error: an exception leaving a thread would end
// the whole process.
void TStartupFlow::Spawn(std::function<void()> aBody) {
  std::lock_guard lock(fThreadsLock);
  fThreads.emplace_back([body = std::move(aBody)] {
    try {
      body();
    } catch (const EStartupCancelled &) {
      // handled: the form went away, nothing is left to do
    } catch (...) {
      TraceDroppedError();
    }
  });
}

void TStartupFlow::UI(const std::function<void()> &aStep) {
  if (::WaitForSingleObject(fStop.Get(), 0) == WAIT_OBJECT_0)
    throw EStartupCancelled();
  fHost.HandOver(aStep);
}

void TStartupFlow::Sleep(DWORD aMilliseconds) {
  if (fSleep)
    fSleep(aMilliseconds);
  else
    ::WaitForSingleObject(fStop.Get(), aMilliseconds);
  if (::WaitForSingleObject(fStop.Get(), 0) == WAIT_OBJECT_0)
    throw EStartupCancelled();
}

void TStartupFlow::Start(TStartupCourse aCourse, std::wstring aUpdateFile) {
  fUpdateFile = std::move(aUpdateFile);
  Spawn([this, aCourse] {
    try {
      RunCourse(aCourse);
    } catch (const EStartupCancelled &) {
      throw;
    } catch (...) {
      TraceDroppedError();
      GoOnAfterError(aCourse);
    }
  });
}

void TStartupFlow::RunCourse(TStartupCourse aCourse) {
  switch (aCourse) {
  case TStartupCourse::scCheck:
    return CheckForUpdate();
  case TStartupCourse::scUpdate:
    return InstallUpdate();
  case TStartupCourse::scNone:
    return UI([this] { fHost.CompleteStartup(); });
  }
}

// Whatever failed, the program runs on as if there were no update: this
// process completes its start, except the elevated updater, which never
// runs the program; the process that started it does.
void TStartupFlow::GoOnAfterError(TStartupCourse aCourse) {
  if (aCourse == TStartupCourse::scUpdate)
    return fHost.EndProcess();
  UI([this] { fHost.CompleteStartup(); });
}

void TStartupFlow::RunInstallationSteps() {
  fState.SetAutorun(true);
  if (fState.IsUpdated())
    ShowUpdatedMessage();
  if (fState.IsFirstRun())
    ShowWelcome();
}

void TStartupFlow::ShowUpdatedMessage() {
  Spawn([this] {
    UI([this] {
      fHost.ShowInfo(Message(L"Successfully updated",
                             L"Current version of application is " +
                                 std::wstring(TAutomaticUpdate::OwnVersion),
                             TCardPicture::Updated, GreetingTime));
    });
  });
}

void TStartupFlow::ShowWelcome() {
  Spawn([this] {
    UI([this] {
      fHost.ShowInfo(Message(L"Successfully installed",
                             L"Application is running in background. To manage it, use the icon "
                             L"in the system tray",
                             TCardPicture::Hello, GreetingTime));
    });
    Sleep(GreetingTime);
    UI([this] {
      fHost.ShowTrayBalloon(
          Caption, L"Functions and shortcuts can be found in the context menu of this icon",
          GreetingTime);
    });
  });
}
