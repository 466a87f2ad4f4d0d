#include "ProgramCopies.h"

#include "shared/Paths.h"
#include "update-server/UpdateServerProcess.h"

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <set>

namespace {

using namespace ProgramCopies;
using UpdateServer::TServerSetup;
using UpdateServer::TUpdateServerProcess;
using TClock = std::chrono::steady_clock;

std::string Narrow(const std::wstring &aText) {
  return std::string(aText.begin(), aText.end());
}

std::string Name(const std::wstring &aText) {
  std::string name;
  for (wchar_t c : aText)
    if (std::iswalnum(c))
      name += static_cast<char>(c);
  return name.empty() ? "None" : name;
}

// The installation state is the test's business: it starts from none and
// leaves none behind.
class UpdateFlow : public ::testing::Test {
protected:
  void SetUp() override {
    ResetInstallation();
    RemoveUserDownloadFolder();
  }
  void TearDown() override {
    for (const std::wstring &exe : fStartedExes)
      EndProcessesOf(exe);
    ResetInstallation();
    RemoveUserDownloadFolder();
  }

  // A server on the port the program asks, as fServer. When another run on
  // this machine holds that port, its server would answer instead of ours:
  // the test is skipped.
  void StartServer(TServerSetup aSetup) {
    fServer = UpdateServer::StartOnProgramPort(aSetup);
    if (!fServer)
      GTEST_SKIP() << "the program's update port " << UpdateServer::ProgramPort()
                   << " is taken by another run on this machine";
  }
  Harness::TProcess Start(const std::wstring &aExe, const std::wstring &aArguments = L"") {
    fStartedExes.push_back(aExe);
    return Harness::TProcess(aExe, aArguments);
  }
  std::wstring BuildExe() const { return Harness::BesideThisExe(L"Pagekeep.exe"); }

  // Every distinct announcement a process shows, until one ends with aLast.
  std::vector<std::wstring> AnnouncementsUntil(DWORD aProcessId, const std::wstring &aLast,
                                               std::chrono::milliseconds aTimeout) {
    std::vector<std::wstring> seen;
    Harness::WaitUntil(
        [&] {
          const std::wstring text = TProgramView(aProcessId).Announcement();
          if (!text.empty() && (seen.empty() || seen.back() != text))
            seen.push_back(text);
          return !seen.empty() && seen.back().ends_with(aLast);
        },
        aTimeout);
    return seen;
  }
  // The last of them; a word that says so when none came.
  std::wstring LastAnnouncementUntil(DWORD aProcessId, const std::wstring &aLast,
                                     std::chrono::milliseconds aTimeout) {
    const auto seen = AnnouncementsUntil(aProcessId, aLast, aTimeout);
    return seen.empty() ? L"(no announcement)" : seen.back();
  }

  // Waits for a ready process of aExe and notes every process of it seen
  // meanwhile in fSeen.
  std::optional<DWORD> WaitForReady(const std::wstring &aExe, std::chrono::milliseconds aTimeout,
                                    DWORD aOtherThan = 0) {
    std::optional<DWORD> ready;
    Harness::WaitUntil(
        [&] {
          for (DWORD id : ProcessesOf(aExe)) {
            fSeen.insert(id);
            if (id != aOtherThan && TProgramView(id).Ready())
              ready = id;
          }
          return ready.has_value();
        },
        aTimeout);
    return ready;
  }

  // A second start while the program runs: it checks once, downloads
  // nothing, starts nothing, and ends at the single-instance step.
  void ExpectSecondStartOnlyChecks(const std::wstring &aExe) {
    const size_t before = fServer->Requests().size();
    Harness::TProcess second = Start(aExe);
    fSeen.insert(second.Id());
    EXPECT_EQ(std::optional<DWORD>(0), second.WaitForExit(15s)) << "it ends by itself";
    const auto requests = fServer->Requests();
    ASSERT_EQ(before + 1, requests.size()) << "one check, no download";
    EXPECT_EQ(0u, requests.back().rfind("POST /update.php?guid=", 0)) << requests.back();
  }

  std::vector<std::wstring> fStartedExes;
  std::set<DWORD> fSeen;
  // Members, so that they go after TearDown has ended the programs in them.
  TTemporaryFolder fInstall{L"install"};
  TTemporaryFolder fServed{L"served"};
  std::unique_ptr<TUpdateServerProcess> fServer;
};

// The first start in a fresh profile checks once, installs its state and
// greets; ten seconds later the tray balloon follows.
TEST_F(UpdateFlow, FirstStartChecksOnceWritesTheStateAndGreets) {
  TServerSetup setup;
  setup.Version = L"1.0";
  setup.Delay = 400; // "Checking..." stays long enough to be seen
  StartServer(setup);
  if (IsSkipped())
    return;
  Harness::TProcess program = Start(BuildExe());

  const auto seen = AnnouncementsUntil(program.Id(), L"Successfully installed", 10s);
  const auto welcomed = TClock::now();
  EXPECT_EQ((std::vector<std::wstring>{L"1 Checking for new version...",
                                       L"2 Your version is actual", L"3 Successfully installed"}),
            seen);
  ASSERT_TRUE(Harness::WaitUntil([&] { return TProgramView(program.Id()).Ready(); }));

  EXPECT_EQ(std::optional<std::wstring>(L"1.0"), ReadValue(AppKey, L"version"));
  EXPECT_EQ(std::optional<std::wstring>(L"\"" + BuildExe() + L"\""),
            ReadValue(RunKey, L"Pagekeep"));
  const std::wstring uid = ReadValue(AppKey, L"app.uid").value_or(L"");
  EXPECT_TRUE(std::regex_match(
      Narrow(uid),
      std::regex("\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}")))
      << Narrow(uid);
  EXPECT_EQ(std::vector<std::string>{"POST /update.php?guid=" + Narrow(uid)}, fServer->Requests());

  const std::wstring balloon =
      L"Functions and shortcuts can be found in the context menu of this icon";
  ASSERT_TRUE(Harness::WaitUntil([&] { return BalloonShown(balloon); }, 13s))
      << "no balloon with the hint";
  EXPECT_GE(TClock::now() - welcomed, 9s) << "the balloon follows the greeting's ten seconds";
}

// A second start checks as every start does, then ends by itself at the
// single-instance step; the first instance goes on.
TEST_F(UpdateFlow, SecondStartChecksThenEndsSilently) {
  TServerSetup setup;
  setup.Version = L"1.0";
  StartServer(setup);
  if (IsSkipped())
    return;
  Harness::TProcess first = Start(BuildExe(), L"-updated");
  ASSERT_TRUE(Harness::WaitUntil([&] { return TProgramView(first.Id()).Ready(); }, 10s));
  EXPECT_TRUE(fServer->Requests().empty());

  Harness::TProcess second = Start(BuildExe());
  EXPECT_EQ(std::optional<DWORD>(0), second.WaitForExit(10s));
  ASSERT_EQ(1u, fServer->Requests().size());
  EXPECT_EQ(0u, fServer->Requests()[0].rfind("POST /update.php?guid=", 0));
  EXPECT_TRUE(TProgramView(first.Id()).Ready()) << "the first instance goes on";
}

// A signed newer build, offered as what it is, in a folder the user can
// write (an unpacked zip): the first process fetches and checks it, swaps it
// in itself with no elevated copy, and starts it with "-updated", which
// checks no more and greets the update.
TEST_F(UpdateFlow, SignedNewerBuildIsSwappedInWithoutElevation) {
  WriteStoredVersion(L"1.0");
  const std::wstring exe = fInstall.Path() + L"Pagekeep.exe";
  WriteFileBytes(exe, ReadFileBytes(BuildExe()));
  TServerSetup setup;
  setup.Version = NewerVersion();
  setup.ReleaseFolder = ReleaseFolder();
  StartServer(setup);
  if (IsSkipped())
    return;

  Harness::TProcess first = Start(exe);
  fSeen.insert(first.Id());
  EXPECT_TRUE(Harness::WaitUntil(
      [&] {
        return TProgramView(first.Id()).Announcement().ends_with(L"Downloading update: 100%");
      },
      10s))
      << "no download progress up to 100% was shown";
  const auto updated = WaitForReady(exe, 20s, first.Id());
  ASSERT_TRUE(updated.has_value()) << "no restarted program came up";
  EXPECT_EQ(first.Id(), ParentOf(*updated)) << "the updated program is the first process's child";
  EXPECT_EQ(std::optional<DWORD>(0), first.WaitForExit(10s));
  EXPECT_EQ((std::set<DWORD>{first.Id(), *updated}), fSeen) << "no elevated copy ran";
  EXPECT_TRUE(ReadFileBytes(exe) == SecondBuild()) << "the exe on disk is the served build";
  EXPECT_EQ(L"1 Successfully updated",
            LastAnnouncementUntil(*updated, L"Successfully updated", 3s));
  EXPECT_EQ(std::optional<std::wstring>(NewerVersion()), ReadValue(AppKey, L"version"))
      << "the new build runs";

  const auto requests = fServer->Requests();
  ASSERT_EQ(3u, requests.size()) << "check, signature, download";
  EXPECT_EQ(0u, requests[0].rfind("POST /update.php?guid=", 0));
  EXPECT_EQ("GET /update.sig", requests[1]);
  EXPECT_EQ("GET /update.data", requests[2]);
  EXPECT_FALSE(Exists(fInstall.Path() + L"Update"));
  EXPECT_FALSE(Exists(UserDownloadFolder())) << "no download left";

  // The new build is what the server offers: a second start finds it actual.
  ExpectSecondStartOnlyChecks(exe);
  EXPECT_FALSE(Exists(exe + L".old")) << "the next load removed the backup";
}

// Signed files that are not the offered newer build of this program are
// refused before anything is asked: the exe stays, the program comes up,
// nothing is left, and for a day the same offer is not fetched again.
struct TRefusedRow {
  std::wstring Name;
  std::wstring File;      // in the release folder; "*" the build's own exe, "server" the server's
  std::wstring Signature; // in the release folder
  std::wstring Offered;   // empty: the newer build's version
  bool PlantLink = false; // a link where the download goes
};

class RefusedUpdate : public UpdateFlow, public ::testing::WithParamInterface<TRefusedRow> {};

TEST_P(RefusedUpdate, IsNotInstalledNotAskedForAndNotFetchedAgain) {
  const TRefusedRow &row = GetParam();
  const std::wstring exe = fInstall.Path() + L"Pagekeep.exe";
  const TBytes original = ReadFileBytes(BuildExe());
  WriteFileBytes(exe, original);
  TServerSetup setup;
  setup.Version = row.Offered.empty() ? NewerVersion() : row.Offered;
  setup.Folder = ReleaseFolder();
  setup.File = row.File;
  if (row.File == L"*" || row.File == L"server") {
    setup.Folder = Harness::BesideThisExe(L"");
    setup.File = row.File == L"*" ? L"Pagekeep.exe" : L"pagekeep-update-server.exe";
  }
  setup.Signature = ReleaseFolder() + row.Signature;
  TTemporaryFolder elsewhere{L"elsewhere"};
  if (row.PlantLink) {
    ::CreateDirectoryW(FolderOf(UserDownloadFolder()).c_str(), nullptr);
    if (!PlantFolderLink(UserDownloadFolder(), elsewhere.Path()))
      GTEST_SKIP() << "this system makes neither junctions nor directory links";
  }
  StartServer(setup);
  if (IsSkipped())
    return;

  const auto started = TClock::now();
  Harness::TProcess first = Start(exe);
  fSeen.insert(first.Id());
  const auto ready = WaitForReady(exe, 20s);
  ASSERT_TRUE(ready.has_value()) << "the program did not come up";
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - started);
  EXPECT_LT(took, 10s) << "the program took " << took.count() << " ms";
  EXPECT_EQ(first.Id(), *ready) << "the first process goes on";
  EXPECT_EQ(std::set<DWORD>{first.Id()}, fSeen) << "no other program, elevated or not, ran";
  EXPECT_TRUE(ReadFileBytes(exe) == original) << "the exe is byte-identical";
  EXPECT_FALSE(Exists(fInstall.Path() + L"Update"));
  EXPECT_FALSE(Exists(exe + L".old"));
  if (row.PlantLink)
    EXPECT_TRUE(FilesIn(elsewhere.Path()).empty()) << "nothing was written through the link";
  else
    EXPECT_FALSE(Exists(UserDownloadFolder())) << "no download left";
  EXPECT_EQ(std::optional<std::wstring>(setup.Version), ReadValue(AppKey, L"update.refused"));

  ExpectSecondStartOnlyChecks(exe);
  EXPECT_TRUE(ReadFileBytes(exe) == original);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RefusedUpdate,
    ::testing::Values(
        TRefusedRow{L"OlderBuildOfferedAsNewer", L"older.exe", L"older.exe.sig", L""},
        TRefusedRow{L"RunningBuildOfferedAsNewer", L"*", L"other.sig", L""},
        TRefusedRow{L"NewerBuildNotTheOffer", L"update.data", L"update.sig", L"99.0"},
        TRefusedRow{L"OtherMachineType", L"other-machine.exe", L"other-machine.exe.sig", L""},
        TRefusedRow{L"OtherSignedProgram", L"server", L"server.sig", L""},
        TRefusedRow{L"LinkWhereTheDownloadGoes", L"update.data", L"update.sig", L"", true}),
    [](const auto &aInfo) { return Name(aInfo.param.Name); });

// The elevated copy as the first process starts it: "-update" with the
// checked file. It trusts nothing of that file: only a signed newer build of
// this program, read as a regular file, is installed; it asks no server and
// starts nothing.
struct THandedRow {
  std::wstring Name;
  std::wstring File;      // in the release folder
  std::wstring Signature; // in the release folder
  bool AsLink = false;    // handed a link to the file instead of the file
  bool Installed = false;
};

class ElevatedCopy : public UpdateFlow, public ::testing::WithParamInterface<THandedRow> {};

TEST_P(ElevatedCopy, InstallsOnlyWhatItChecksAgain) {
  const THandedRow &row = GetParam();
  const std::wstring exe = fInstall.Path() + L"Pagekeep.exe";
  const TBytes original = ReadFileBytes(BuildExe());
  WriteFileBytes(exe, original);
  TTemporaryFolder checked{L"checked"};
  const std::wstring handed = checked.Path() + L"Pagekeep.exe";
  WriteFileBytes(checked.Path() + L"update.sig", ReadFileBytes(ReleaseFolder() + row.Signature));
  if (row.AsLink) {
    if (!::CreateSymbolicLinkW(handed.c_str(), (ReleaseFolder() + row.File).c_str(), 0))
      GTEST_SKIP() << "no file links here (error " << ::GetLastError() << ")";
  } else {
    WriteFileBytes(handed, ReadFileBytes(ReleaseFolder() + row.File));
  }
  TServerSetup setup;
  setup.Version = NewerVersion();
  StartServer(setup);
  if (IsSkipped())
    return;

  Harness::TProcess updater = Start(exe, L"-update \"" + handed + L"\"");
  EXPECT_EQ(std::optional<DWORD>(0), updater.WaitForExit(15s)) << "it ends by itself";
  EXPECT_TRUE(ProcessesOf(exe).empty()) << "it starts nothing";
  EXPECT_TRUE(fServer->Requests().empty()) << "it asks no server";
  const TBytes expected = row.Installed ? SecondBuild() : original;
  EXPECT_TRUE(ReadFileBytes(exe) == expected) << (row.Installed ? "installed" : "untouched");
  EXPECT_FALSE(Exists(fInstall.Path() + L"Update"));
  ::DeleteFileW(handed.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Files, ElevatedCopy,
    ::testing::Values(THandedRow{L"NewerBuild", L"update.data", L"update.sig", false, true},
                      THandedRow{L"OlderBuild", L"older.exe", L"older.exe.sig"},
                      THandedRow{L"AnotherFilesSignature", L"update.data", L"older.exe.sig"},
                      THandedRow{L"LinkToTheNewerBuild", L"update.data", L"update.sig", true}),
    [](const auto &aInfo) { return Name(aInfo.param.Name); });

// A hostile or broken server never replaces the program, never holds its
// start for long and leaves nothing on disk.
struct THostileRow {
  std::wstring Name;
  std::wstring Version; // the check's answer; empty: the newer build's version
  std::wstring Mode;    // the server's
  bool OtherFilesSignature = false;
};

class HostileServer : public UpdateFlow, public ::testing::WithParamInterface<THostileRow> {};

TEST_P(HostileServer, LeavesTheExeUntouchedAndTheProgramComesUpSoon) {
  const THostileRow &row = GetParam();
  const std::wstring exe = fInstall.Path() + L"Pagekeep.exe";
  const TBytes original = ReadFileBytes(BuildExe());
  WriteFileBytes(exe, original);
  WriteFileBytes(fServed.Path() + L"Pagekeep.exe", SecondBuild());
  TServerSetup setup;
  setup.Version = row.Version.empty() ? NewerVersion() : row.Version;
  setup.Folder = fServed.Path();
  setup.Signature = ReleaseFolder() + (row.OtherFilesSignature ? L"other.sig" : L"update.sig");
  setup.Mode = row.Mode;
  StartServer(setup);
  if (IsSkipped())
    return;

  const auto started = TClock::now();
  Harness::TProcess first = Start(exe);
  const auto ready = WaitForReadyProcessOf(exe, 20s);
  ASSERT_TRUE(ready.has_value()) << "the program did not come up";
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - started);
  // The 3 s bound of the check and the start's pauses, with room for Wine.
  EXPECT_LT(took, 10s) << "the program took " << took.count() << " ms";
  EXPECT_TRUE(ReadFileBytes(exe) == original) << "the exe is byte-identical";
  EXPECT_FALSE(Exists(fInstall.Path() + L"Update"));
  EXPECT_FALSE(Exists(exe + L".old"));
}

INSTANTIATE_TEST_SUITE_P(
    Servers, HostileServer,
    ::testing::Values(THostileRow{L"Unsigned", L"", L"nosig"},
                      THostileRow{L"WrongSignature", L"", L"badsig"},
                      THostileRow{L"OtherFilesSignature", L"", L"normal", true},
                      THostileRow{L"Truncated", L"", L"truncated"},
                      THostileRow{L"TrickledCheck", L"", L"trickle"},
                      THostileRow{L"EndlessBody", L"", L"endless"},
                      THostileRow{L"HtmlAnswer", L"<html><body>Log in</body></html>", L"normal"},
                      THostileRow{L"SameVersionWithLineBreak", L"1.0\n", L"normal"}),
    [](const auto &aInfo) { return Name(aInfo.param.Name); });

// With no server to answer (nothing listening, or a peer that never
// replies) the check gives up within its time-outs and start-up completes.
class ServerDown : public UpdateFlow, public ::testing::WithParamInterface<std::wstring> {};

TEST_P(ServerDown, StartUpReachesTheTrayWithinTheTimeOutsAndThePause) {
  TServerSetup setup;
  setup.Version = L"1.1";
  setup.Mode = L"silent";
  StartServer(setup);
  if (IsSkipped())
    return;
  // A server that starts proves the port free; ended, nothing listens there.
  if (GetParam() == L"nothing")
    fServer.reset();
  const auto started = TClock::now();
  Harness::TProcess program = Start(BuildExe());
  ASSERT_TRUE(Harness::WaitUntil([&] { return TProgramView(program.Id()).Ready(); }, 10s));
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - started);
  // About 2 s of time-outs plus the 1 s pause, and the process start under Wine.
  EXPECT_LT(took, 4500ms) << "start-up took " << took.count() << " ms";
  EXPECT_EQ(L"3 Successfully installed",
            LastAnnouncementUntil(program.Id(), L"Successfully installed", 2s));
}

INSTANTIATE_TEST_SUITE_P(Kinds, ServerDown, ::testing::Values(L"nothing", L"silent"),
                         [](const auto &aInfo) { return Name(aInfo.param); });

// Only no argument checks and only exactly "-update" installs: every other
// first argument goes straight to the completion step.
struct TArgumentRow {
  std::wstring Arguments;
  std::optional<std::wstring> StoredVersion;
  std::wstring Greeting;
};

class OtherArguments : public UpdateFlow, public ::testing::WithParamInterface<TArgumentRow> {};

TEST_P(OtherArguments, MakeNoRequestAndCompleteTheStart) {
  const TArgumentRow &row = GetParam();
  if (row.StoredVersion)
    WriteStoredVersion(*row.StoredVersion);
  WriteFileBytes(fServed.Path() + L"Pagekeep.exe", SecondBuild());
  TServerSetup setup;
  setup.Version = L"1.1";
  setup.Folder = fServed.Path();
  StartServer(setup);
  if (IsSkipped())
    return;

  // From a copy: were an argument taken for "-update", the build's own exe
  // would be replaced.
  const std::wstring exe = fInstall.Path() + L"Pagekeep.exe";
  WriteFileBytes(exe, ReadFileBytes(BuildExe()));
  Harness::TProcess program = Start(exe, row.Arguments);
  ASSERT_TRUE(Harness::WaitUntil([&] { return TProgramView(program.Id()).Ready(); }, 10s));
  EXPECT_EQ(L"1 " + row.Greeting, LastAnnouncementUntil(program.Id(), row.Greeting, 2s));
  EXPECT_EQ(std::optional<std::wstring>(L"1.0"), ReadValue(AppKey, L"version"));
  EXPECT_TRUE(fServer->Requests().empty()) << fServer->Requests().front();
}

INSTANTIATE_TEST_SUITE_P(
    FirstArguments, OtherArguments,
    ::testing::Values(TArgumentRow{L"-updated", L"0.9", L"Successfully updated"},
                      TArgumentRow{L"-UPDATE", std::nullopt, L"Successfully installed"},
                      TArgumentRow{L"/update", L"1.0a", L"Successfully updated"}),
    [](const auto &aInfo) { return Name(aInfo.param.Arguments); });

} // namespace
