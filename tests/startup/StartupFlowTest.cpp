#include "app/StartupFlow.h"
#include "shared/Registry.h"

#include "UpdateTestSupport.h"
#include "update-server/UpdateServerProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

namespace {

using namespace UpdateTest;
using UpdateServer::TServerSetup;
using UpdateServer::TUpdateServerProcess;
using TEvents = std::vector<std::wstring>;

const std::wstring Checking = L"ShowInfo|Pagekeep|Checking for new version...||Search|4294967295";
const std::wstring Actual = L"ChangeInfo|Pagekeep|Your version is actual|Actual";
const std::wstring Downloading = L"ShowInfo|Pagekeep|Downloading update: 0%||Download|4294967295";
const std::wstring Updated =
    L"ShowInfo|Pagekeep|Successfully updated|Current version of application is 1.0|Updated|10000";
const std::wstring Welcome =
    L"ShowInfo|Pagekeep|Successfully installed|Application is running in "
    L"background. To manage it, use the icon in the system tray|Hello|10000";
// The server offers the version of the signed newer build.
const std::wstring Newer = L"newer";
const std::wstring Balloon =
    L"Balloon|Pagekeep|Functions and shortcuts can be found in the context menu of this icon|10000";

// The main form as the flow sees it. Steps run one at a time, as on a main
// thread; every notifier call made outside a hand-over is marked.
class TFakeHost : public TStartupHost {
public:
  void HandOver(const std::function<void()> &aStep) override {
    if (Cancelled)
      throw EStartupCancelled();
    if (++fHandOvers == ThrowAtHandOver)
      throw std::runtime_error("a hand-over failed");
    {
      std::lock_guard lock(fEventsLock);
      fHandOverThreads.push_back(std::this_thread::get_id());
    }
    std::lock_guard step(fStepLock);
    fInHandOver = true;
    aStep();
    fInHandOver = false;
  }
  void ShowInfo(const TStartupMessage &aMessage) override {
    UIEvent(L"ShowInfo|" + aMessage.Caption + L"|" + aMessage.ShortDescription + L"|" +
            aMessage.DetailedDescription + L"|" + std::wstring(CardPictureName(aMessage.Picture)) +
            L"|" + std::to_wstring(aMessage.Time));
  }
  void ChangeInfo(const std::wstring &aCaption, const std::wstring &aShortDescription,
                  TCardPicture aPicture) override {
    UIEvent(L"ChangeInfo|" + aCaption + L"|" + aShortDescription + L"|" +
            std::wstring(CardPictureName(aPicture)));
  }
  void SetInfoComment(const std::wstring &aText) override { UIEvent(L"Comment|" + aText); }
  void HideInfo() override { UIEvent(L"HideInfo"); }
  void CompleteStartup() override {
    UIEvent(L"CompleteStartup");
    if (OnCompleteStartup)
      OnCompleteStartup();
  }
  void ShowTrayBalloon(const std::wstring &aTitle, const std::wstring &aText,
                       std::uint32_t aTimeout) override {
    UIEvent(L"Balloon|" + aTitle + L"|" + aText + L"|" + std::to_wstring(aTimeout));
  }
  bool OpenProgram(const std::wstring &aPath, const std::wstring &aParameters) override {
    Event(L"Open|" + aPath + L"|" + aParameters);
    return OpenSucceeds;
  }
  void EndProcess() override { Event(L"EndProcess"); }

  void Event(const std::wstring &aText) {
    std::lock_guard lock(fEventsLock);
    fEvents.push_back(aText);
  }
  TEvents Events() {
    std::lock_guard lock(fEventsLock);
    return fEvents;
  }
  void Clear() {
    std::lock_guard lock(fEventsLock);
    fEvents.clear();
  }
  // The events without the download progress lines, and those lines alone.
  TEvents Skeleton() {
    TEvents events = Events();
    events.erase(std::remove_if(events.begin(), events.end(),
                                [](const auto &e) { return e.rfind(L"Comment|", 0) == 0; }),
                 events.end());
    return events;
  }
  TEvents Comments() {
    TEvents events = Events(), comments;
    std::copy_if(events.begin(), events.end(), std::back_inserter(comments),
                 [](const auto &e) { return e.rfind(L"Comment|", 0) == 0; });
    return comments;
  }
  std::vector<std::thread::id> HandOverThreads() {
    std::lock_guard lock(fEventsLock);
    return fHandOverThreads;
  }

  std::atomic<bool> Cancelled = false;
  int ThrowAtHandOver = 0; // the hand-over (counted from 1) that throws once
  bool OpenSucceeds = true;
  std::function<void()> OnCompleteStartup;

private:
  void UIEvent(const std::wstring &aText) { Event(fInHandOver ? aText : L"OUTSIDE " + aText); }

  static thread_local bool fInHandOver;
  std::atomic<int> fHandOvers = 0;
  std::mutex fStepLock;
  std::mutex fEventsLock;
  TEvents fEvents;
  std::vector<std::thread::id> fHandOverThreads;
};

thread_local bool TFakeHost::fInHandOver = false;

class StartupFlowFixture : public testing::Test {
protected:
  void SetUp() override {
    WriteFileBytes(ExePath(), ReadFileBytes(BuiltProgram(L"pagekeep-keepalive.exe")));
  }

  std::wstring ExePath() const { return fInstall.Path() + L"Pagekeep.exe"; }

  // Serves the signed newer build; Newer offers its version.
  void StartServer(const std::wstring &aVersion, const wchar_t *aMode = L"normal") {
    WriteFileBytes(fServed.Path() + L"Pagekeep.exe", NewerBuild());
    TServerSetup setup;
    setup.Version = aVersion == Newer ? NewerVersion() : aVersion;
    setup.Folder = fServed.Path();
    setup.Signature = Fixture(L"update.sig");
    setup.Mode = aMode;
    fServer = std::make_unique<TUpdateServerProcess>(setup);
  }
  std::wstring UserFolder() const { return fUser.Path() + L"Update\\"; }
  std::wstring FetchedPath() const { return UserFolder() + L"Pagekeep.exe"; }
  std::wstring ElevatedStart() const {
    return L"RunAsAdmin|runas|" + ExePath() + L"|-update \"" + FetchedPath() + L"\"";
  }

  // Runs one course to its end with the sleeps recorded, not slept.
  TEvents Run(TStartupCourse aCourse) {
    TUpdateSettings settings;
    settings.BaseURL = fServer ? fServer->BaseURL() : L"http://127.0.0.1:1/";
    settings.ExePath = ExePath();
    settings.RegistryKey = fKey.Path();
    settings.UserFolder = UserFolder();
    settings.FolderWritable = [this](const std::wstring &) { return fFolderWritable; };
    // The elevated updater is "started" as a process that has ended.
    settings.Launcher = [this](SHELLEXECUTEINFOW &aInfo) {
      fHost.Event(std::wstring(L"RunAsAdmin|") + aInfo.lpVerb + L"|" + aInfo.lpFile + L"|" +
                  aInfo.lpParameters);
      if (fElevationAccepted && (aInfo.fMask & SEE_MASK_NOCLOSEPROCESS))
        aInfo.hProcess = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
      return fElevationAccepted;
    };
    fUpdater = std::make_unique<TAutomaticUpdate>(settings);
    TStartupFlow flow(fHost, *fUpdater, TInstallationState(ExePath(), fKey.Path(), RunKey()));
    if (fCompleteWithInstallationSteps)
      fHost.OnCompleteStartup = [&flow] { flow.RunInstallationSteps(); };
    flow.SetSleep(
        [this](DWORD aMilliseconds) { fHost.Event(L"Sleep|" + std::to_wstring(aMilliseconds)); });
    flow.Start(aCourse, fUpdateFile);
    flow.Join();
    for (auto id : fHost.HandOverThreads())
      EXPECT_NE(std::this_thread::get_id(), id) << "a hand-over from the calling thread";
    return fHost.Skeleton();
  }

  std::wstring RunKey() const { return fKey.Path() + L"\\Run"; }

  TTemporaryFolder fInstall{L"update-install"};
  TTemporaryFolder fServed{L"update-served"};
  TTemporaryFolder fUser{L"update-user"};
  TTestRegistryKey fKey{CurrentTestName()};
  std::unique_ptr<TUpdateServerProcess> fServer;
  std::unique_ptr<TAutomaticUpdate> fUpdater;
  TFakeHost fHost;
  bool fElevationAccepted = true;
  bool fFolderWritable = false;
  std::wstring fUpdateFile; // what "-update" is handed
  bool fCompleteWithInstallationSteps = false;
};

using StartupCheck = StartupFlowFixture;

TEST_F(StartupCheck, UpToDateShowsActualThenCompletesAfterOneRequest) {
  StartServer(L"1.0");
  EXPECT_EQ((TEvents{Checking, Actual, L"Sleep|1000", L"HideInfo", L"CompleteStartup"}),
            Run(TStartupCourse::scCheck));
  ASSERT_EQ(1u, fServer->Requests().size());
  EXPECT_EQ(0u, fServer->Requests()[0].rfind("POST /update.php?guid={", 0));
}

TEST_F(StartupCheck, FirstStartGreetsAndKeepsTheInstallationState) {
  StartServer(L"1.0");
  fCompleteWithInstallationSteps = true;
  EXPECT_EQ((TEvents{Checking, Actual, L"Sleep|1000", L"HideInfo", L"CompleteStartup", Welcome,
                     L"Sleep|10000", Balloon}),
            Run(TStartupCourse::scCheck));
  TRegistryKey app = Registry::OpenCurrentUserKey(fKey.Path(), false);
  ASSERT_TRUE(app);
  EXPECT_EQ(std::optional<std::wstring>(L"1.0"), Registry::ReadString(app.Get(), L"version"));
  const auto identifier = Registry::ReadString(app.Get(), L"app.uid");
  ASSERT_TRUE(identifier);
  EXPECT_EQ((std::vector<std::string>{"POST /update.php?guid=" +
                                      std::string(identifier->begin(), identifier->end())}),
            fServer->Requests());
  TRegistryKey run = Registry::OpenCurrentUserKey(RunKey(), false);
  ASSERT_TRUE(run);
  EXPECT_EQ(L"\"" + ExePath() + L"\"", Registry::ReadString(run.Get(), L"Pagekeep"));
}

TEST_F(StartupCheck, ServerDownCountsAsUpToDate) {
  EXPECT_EQ((TEvents{Checking, Actual, L"Sleep|1000", L"HideInfo", L"CompleteStartup"}),
            Run(TStartupCourse::scCheck));
}

// Fetched and checked first, with the user's rights; then, where the
// program's folder is not the user's, the elevated copy installs the checked
// file, and this process waits for it and starts the program itself (which
// must not run with the updater's rights).
TEST_F(StartupCheck, AnUpdateIsFetchedCheckedThenInstalledByTheElevatedCopy) {
  StartServer(Newer);
  EXPECT_EQ((TEvents{Checking, L"Sleep|1000", L"HideInfo", Downloading, L"HideInfo", L"Sleep|1000",
                     ElevatedStart(), L"Open|" + ExePath() + L"|-updated", L"EndProcess"}),
            Run(TStartupCourse::scCheck));
  const TEvents comments = fHost.Comments();
  ASSERT_GE(comments.size(), 2u);
  EXPECT_EQ(L"Comment|Downloading update: 0%", comments.front());
  EXPECT_EQ(L"Comment|Downloading update: 100%", comments.back());
  EXPECT_EQ(3u, fServer->Requests().size()) << "check, signature, download";
  EXPECT_FALSE(Exists(UserFolder())) << "the fetched file goes once the updater has ended";
}

TEST_F(StartupCheck, AFolderOfTheUsersOwnIsUpdatedWithoutElevation) {
  StartServer(Newer);
  fFolderWritable = true;
  EXPECT_EQ((TEvents{Checking, L"Sleep|1000", L"HideInfo", Downloading, L"HideInfo",
                     L"Open|" + ExePath() + L"|-updated", L"EndProcess"}),
            Run(TStartupCourse::scCheck));
  EXPECT_EQ(NewerBuild(), ReadFileBytes(ExePath()));
  EXPECT_FALSE(Exists(UserFolder()));
  EXPECT_FALSE(Exists(fInstall.Path() + L"Update"));
}

TEST_F(StartupCheck, ARestartThatFailsCompletesThisProcessInstead) {
  StartServer(Newer);
  fHost.OpenSucceeds = false;
  EXPECT_EQ((TEvents{Checking, L"Sleep|1000", L"HideInfo", Downloading, L"HideInfo", L"Sleep|1000",
                     ElevatedStart(), L"Open|" + ExePath() + L"|-updated", L"CompleteStartup"}),
            Run(TStartupCourse::scCheck));
}

// A refused prompt goes on with this process and is not asked again for
// the same version within the day.
TEST_F(StartupCheck, RefusedElevationGoesOnAndIsNotAskedAgain) {
  StartServer(Newer);
  fElevationAccepted = false;
  EXPECT_EQ((TEvents{Checking, L"Sleep|1000", L"HideInfo", Downloading, L"HideInfo", L"Sleep|1000",
                     ElevatedStart(), L"CompleteStartup"}),
            Run(TStartupCourse::scCheck));
  EXPECT_FALSE(Exists(UserFolder()));
  TRegistryKey app = Registry::OpenCurrentUserKey(fKey.Path(), false);
  ASSERT_TRUE(app);
  EXPECT_EQ(NewerVersion(), Registry::ReadString(app.Get(), L"update.refused"));
  EXPECT_EQ(L"elevation", Registry::ReadString(app.Get(), L"update.refused.reason"));

  fHost.Clear();
  EXPECT_EQ((TEvents{Checking, Actual, L"Sleep|1000", L"HideInfo", L"CompleteStartup"}),
            Run(TStartupCourse::scCheck));
  EXPECT_EQ(4u, fServer->Requests().size()) << "the second start only checks";
}

TEST_F(StartupCheck, AnUnreadableIdentifierStillCompletes) {
  StartServer(Newer);
  TRegistryKey key = Registry::OpenCurrentUserKey(fKey.Path(), true);
  DWORD number = 1;
  ::RegSetValueExW(key.Get(), L"app.uid", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number),
                   sizeof number);
  EXPECT_EQ((TEvents{Checking, Actual, L"Sleep|1000", L"HideInfo", L"CompleteStartup"}),
            Run(TStartupCourse::scCheck));
  EXPECT_TRUE(fServer->Requests().empty());
}

TEST_F(StartupCheck, OtherCoursesMakeNoRequest) {
  StartServer(Newer);
  EXPECT_EQ((TEvents{L"CompleteStartup"}), Run(TStartupCourse::scNone));
  EXPECT_TRUE(fServer->Requests().empty());
}

using StartupUpdate = StartupFlowFixture;

// The elevated copy is handed the checked file; it downloads nothing,
// installs that file once it has checked it again, and starts nothing.
TEST_F(StartupUpdate, TheElevatedCopyInstallsTheHandedFileAndEnds) {
  ASSERT_TRUE(::CreateDirectoryW(UserFolder().c_str(), nullptr));
  WriteFileBytes(FetchedPath(), NewerBuild());
  WriteFileBytes(UserFolder() + L"update.sig", ReadFileBytes(Fixture(L"update.sig")));
  fUpdateFile = FetchedPath();
  EXPECT_EQ((TEvents{L"EndProcess"}), Run(TStartupCourse::scUpdate));
  EXPECT_EQ(NewerBuild(), ReadFileBytes(ExePath()));
  EXPECT_FALSE(Exists(fInstall.Path() + L"Update"));
}

// What it is handed is checked again: an older signed build, a file whose
// signature is another's, or nothing at all installs nothing.
struct THandedFileCase {
  const char *Name;
  const wchar_t *Image;     // in the fixtures; empty: no file
  const wchar_t *Signature; // in the fixtures
};

class StartupHandedFile : public StartupFlowFixture,
                          public testing::WithParamInterface<THandedFileCase> {};

TEST_P(StartupHandedFile, IsCheckedAgainAndNotInstalled) {
  const TBytes before = ReadFileBytes(ExePath());
  ASSERT_TRUE(::CreateDirectoryW(UserFolder().c_str(), nullptr));
  if (*GetParam().Image) {
    WriteFileBytes(FetchedPath(), ReadFileBytes(Fixture(GetParam().Image)));
    WriteFileBytes(UserFolder() + L"update.sig", ReadFileBytes(Fixture(GetParam().Signature)));
  }
  fUpdateFile = FetchedPath();
  EXPECT_EQ((TEvents{L"EndProcess"}), Run(TStartupCourse::scUpdate));
  EXPECT_EQ(before, ReadFileBytes(ExePath()));
  EXPECT_FALSE(Exists(ExePath() + L".old"));
  EXPECT_FALSE(Exists(fInstall.Path() + L"Update"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, StartupHandedFile,
    testing::Values(THandedFileCase{"OlderBuild", L"older.exe", L"older.exe.sig"},
                    THandedFileCase{"AnotherFilesSignature", L"update.data", L"older.exe.sig"},
                    THandedFileCase{"OtherMachineType", L"other-machine.exe",
                                    L"other-machine.exe.sig"},
                    THandedFileCase{"NoFile", L"", L""}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

// A fetch that fails or is refused asks nothing and leaves nothing: the
// program goes on as it is.
struct TFailedUpdateCase {
  const char *Name;
  const wchar_t *Mode;
  bool UserFolderIsAFile;
};

class StartupFailedUpdate : public StartupFlowFixture,
                            public testing::WithParamInterface<TFailedUpdateCase> {};

TEST_P(StartupFailedUpdate, AsksNothingAndLeavesTheProgramUntouched) {
  StartServer(Newer, GetParam().Mode);
  if (GetParam().UserFolderIsAFile)
    WriteFileBytes(fUser.Path() + L"Update", TBytes{'x'});
  const TBytes before = ReadFileBytes(ExePath());
  EXPECT_EQ(
      (TEvents{Checking, L"Sleep|1000", L"HideInfo", Downloading, L"HideInfo", L"CompleteStartup"}),
      Run(TStartupCourse::scCheck));
  EXPECT_EQ(before, ReadFileBytes(ExePath()));
  EXPECT_FALSE(Exists(ExePath() + L".old"));
  if (!GetParam().UserFolderIsAFile) {
    EXPECT_FALSE(Exists(UserFolder()));
  }
}

INSTANTIATE_TEST_SUITE_P(Failures, StartupFailedUpdate,
                         testing::Values(TFailedUpdateCase{"HtmlPage", L"html", false},
                                         TFailedUpdateCase{"Truncated", L"truncated", false},
                                         TFailedUpdateCase{"CutOff", L"cut", false},
                                         TFailedUpdateCase{"Unsigned", L"nosig", false},
                                         TFailedUpdateCase{"WrongSignature", L"badsig", false},
                                         TFailedUpdateCase{"FileCannotBeCreated", L"normal", true}),
                         [](const auto &aInfo) { return std::string(aInfo.param.Name); });

// An error on a flow thread never ends the process: start-up completes as
// if there were no update, and the elevated updater just ends.
struct TThrowingHandOverCase {
  const char *Name;
  TStartupCourse Course;
  std::wstring Version;
  int ThrowAt;
  TEvents Expected;
};

class StartupHandOverError : public StartupFlowFixture,
                             public testing::WithParamInterface<TThrowingHandOverCase> {};

TEST_P(StartupHandOverError, EndsAsIfThereWereNoUpdate) {
  StartServer(GetParam().Version);
  fHost.ThrowAtHandOver = GetParam().ThrowAt;
  EXPECT_EQ(GetParam().Expected, Run(GetParam().Course));
}

INSTANTIATE_TEST_SUITE_P(
    HandOvers, StartupHandOverError,
    testing::Values(
        TThrowingHandOverCase{
            "CheckingMessage", TStartupCourse::scCheck, L"1.0", 1, {L"CompleteStartup"}},
        TThrowingHandOverCase{"HideBeforeTheUpdate",
                              TStartupCourse::scCheck,
                              Newer,
                              2,
                              {Checking, L"Sleep|1000", L"CompleteStartup"}},
        TThrowingHandOverCase{"CompleteStartupItself",
                              TStartupCourse::scCheck,
                              L"1.0",
                              4,
                              {Checking, Actual, L"Sleep|1000", L"HideInfo", L"CompleteStartup"}},
        TThrowingHandOverCase{"NoCourse", TStartupCourse::scNone, L"1.0", 1, {L"CompleteStartup"}},
        TThrowingHandOverCase{"DownloadMessage",
                              TStartupCourse::scCheck,
                              Newer,
                              3,
                              {Checking, L"Sleep|1000", L"HideInfo", L"CompleteStartup"}}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

TEST(StartupFlowThreads, AGreetingWhoseHandOverFailsEndsQuietly) {
  TFakeHost host;
  host.ThrowAtHandOver = 1;
  TUpdateSettings settings;
  settings.ExePath = L"C:\\nowhere\\Pagekeep.exe";
  settings.RegistryKey = L"Software\\PagekeepTests\\AGreetingWhoseHandOverFailsEndsQuietly";
  TAutomaticUpdate updater(settings);
  TStartupFlow flow(host, updater, TInstallationState(settings.ExePath, settings.RegistryKey));
  flow.SetSleep(
      [&](DWORD aMilliseconds) { host.Event(L"Sleep|" + std::to_wstring(aMilliseconds)); });
  flow.ShowUpdatedMessage();
  flow.ShowWelcome();
  flow.Join();
  // One of the two greetings lost its first step; the other went on.
  const TEvents events = host.Events();
  EXPECT_TRUE(events == (TEvents{Welcome, L"Sleep|10000", Balloon}) || events == TEvents{Updated})
      << events.size();
}

TEST_F(StartupUpdate, ACancelledHandOverEndsTheThreadQuietly) {
  StartServer(L"1.0");
  fHost.Cancelled = true;
  EXPECT_EQ(TEvents{}, Run(TStartupCourse::scCheck));
  EXPECT_TRUE(fServer->Requests().empty());
}

struct TCourseCase {
  const char *Name;
  std::vector<std::wstring> Arguments;
  TStartupCourse Course;
};

class StartupCourse : public testing::TestWithParam<TCourseCase> {};

TEST_P(StartupCourse, OnlyTheFirstArgumentDecides) {
  EXPECT_EQ(GetParam().Course, StartupCourseFor(GetParam().Arguments));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, StartupCourse,
    testing::Values(TCourseCase{"None", {}, TStartupCourse::scCheck},
                    TCourseCase{"Update", {L"-update"}, TStartupCourse::scUpdate},
                    TCourseCase{"UpdateThenMore", {L"-update", L"x"}, TStartupCourse::scUpdate},
                    TCourseCase{"Updated", {L"-updated"}, TStartupCourse::scNone},
                    TCourseCase{"UpperCase", {L"-UPDATE"}, TStartupCourse::scNone},
                    TCourseCase{"UpdateSecond", {L"x", L"-update"}, TStartupCourse::scNone},
                    TCourseCase{"EmptyFirst", {L""}, TStartupCourse::scNone}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

// What "version" holds before a start: nothing (no key or no value), a
// string, or a value of another type.
struct TVersionCase {
  const char *Name;
  bool KeyExists;
  std::optional<std::wstring> Version;
  bool NotAString;
  bool Updated;
  bool FirstRun;
  TEvents Greeting;
};

class InstallationState : public testing::TestWithParam<TVersionCase> {
protected:
  void Store() {
    const auto &c = GetParam();
    if (!c.KeyExists)
      return;
    TRegistryKey key = Registry::OpenCurrentUserKey(fKey.Path(), true);
    if (c.Version)
      Registry::WriteString(key.Get(), L"version", *c.Version);
    if (c.NotAString) {
      DWORD number = 9;
      ::RegSetValueExW(key.Get(), L"version", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number),
                       sizeof number);
    }
  }
  std::optional<std::wstring> StoredVersion() {
    TRegistryKey key = Registry::OpenCurrentUserKey(fKey.Path(), false);
    return key ? Registry::ReadString(key.Get(), L"version") : std::nullopt;
  }

  TTestRegistryKey fKey{CurrentTestName()};
};

TEST_P(InstallationState, IsUpdatedThenIsFirstRunDecideOneGreeting) {
  Store();
  TInstallationState state(L"C:\\Pagekeep.exe", fKey.Path());
  EXPECT_EQ(GetParam().Updated, state.IsUpdated());
  EXPECT_EQ(GetParam().FirstRun, state.IsFirstRun());
  EXPECT_EQ(std::optional<std::wstring>(L"1.0"), StoredVersion());
}

TEST_P(InstallationState, CompletionStepsShowThatGreeting) {
  Store();
  TFakeHost host;
  TUpdateSettings settings;
  settings.ExePath = L"C:\\nowhere\\PagekeepStepsProbe.exe";
  settings.RegistryKey = fKey.Path();
  TAutomaticUpdate updater(settings);
  TInstallationState state(settings.ExePath, fKey.Path());
  {
    TStartupFlow flow(host, updater, state);
    flow.SetSleep(
        [&](DWORD aMilliseconds) { host.Event(L"Sleep|" + std::to_wstring(aMilliseconds)); });
    host.HandOver([&] { flow.RunInstallationSteps(); });
    flow.Join();
  }
  EXPECT_EQ(GetParam().Greeting, host.Events());
  state.SetAutorun(false);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, InstallationState,
    testing::Values(
        TVersionCase{
            "NoKey", false, std::nullopt, false, false, true, {Welcome, L"Sleep|10000", Balloon}},
        TVersionCase{
            "NoValue", true, std::nullopt, false, false, true, {Welcome, L"Sleep|10000", Balloon}},
        TVersionCase{"Empty", true, L"", false, false, true, {Welcome, L"Sleep|10000", Balloon}},
        TVersionCase{"Same", true, L"1.0", false, false, false, {}},
        TVersionCase{"Other", true, L"0.9", false, true, false, {Updated}},
        TVersionCase{"NotAString", true, std::nullopt, true, true, false, {Updated}}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

TEST(Autorun, WritesTheQuotedPathUnderTheProgramNameAndRemovesIt) {
  const std::wstring exe = L"C:\\Program Files\\Some \"Odd\" Dir\\PagekeepAutorun.Probe.exe";
  TInstallationState state(exe);
  EXPECT_EQ(L"PagekeepAutorun.Probe", state.AutorunName());
  TRegistryKey run = Registry::OpenCurrentUserKey(TInstallationState::RunKey, true);
  ASSERT_TRUE(run);
  ::RegDeleteValueW(run.Get(), L"PagekeepAutorun.Probe");

  state.SetAutorun(true);
  EXPECT_EQ(L"\"C:\\Program Files\\Some \"\"Odd\"\" Dir\\PagekeepAutorun.Probe.exe\"",
            Registry::ReadString(run.Get(), L"PagekeepAutorun.Probe"));
  state.SetAutorun(true); // written again at every start, unchanged
  EXPECT_TRUE(Registry::ReadString(run.Get(), L"PagekeepAutorun.Probe"));
  state.SetAutorun(false);
  EXPECT_EQ(std::nullopt, Registry::ReadString(run.Get(), L"PagekeepAutorun.Probe"));
  EXPECT_NO_THROW(state.SetAutorun(false));
}

TEST(StartupFlowThreads, StoppingEndsAGreetingWaitAtOnce) {
  TFakeHost host;
  TUpdateSettings settings;
  settings.ExePath = L"C:\\nowhere\\Pagekeep.exe";
  settings.RegistryKey = L"Software\\PagekeepTests\\StoppingEndsAGreetingWaitAtOnce";
  TAutomaticUpdate updater(settings);
  TStartupFlow flow(host, updater, TInstallationState(settings.ExePath, settings.RegistryKey));
  flow.ShowWelcome();
  ASSERT_TRUE(Harness::WaitUntil([&] { return !host.Events().empty(); }));
  const auto start = std::chrono::steady_clock::now();
  flow.Stop();
  flow.Join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(TEvents{Welcome}, host.Events());
}

} // namespace
