#include "ProgramCopies.h"

#include "update-server/UpdateServerProcess.h"

#include <gtest/gtest.h>

#include <memory>
#include <regex>

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
  void SetUp() override { ResetInstallation(); }
  void TearDown() override {
    for (const std::wstring &exe : fStartedExes)
      EndProcessesOf(exe);
    ResetInstallation();
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

  std::vector<std::wstring> fStartedExes;
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

// The program's own answer to a newer version from a signed release: the
// elevated copy fetches the signature and the served build, checks and
// swaps it in and ends; the first process, with the user's own rights, then
// starts it with "-updated", which checks no more and greets the update.
TEST_F(UpdateFlow, SignedNewVersionIsSwappedInAndStartedByTheFirstProcess) {
  WriteStoredVersion(L"0.9");
  const std::wstring exe = fInstall.Path() + L"Pagekeep.exe";
  WriteFileBytes(exe, ReadFileBytes(BuildExe()));
  TServerSetup setup;
  setup.Version = L"1.1";
  setup.ReleaseFolder = ReleaseFolder();
  StartServer(setup);
  if (IsSkipped())
    return;

  Harness::TProcess first = Start(exe);
  // The elevated copy keeps its last progress text through its pause.
  EXPECT_TRUE(Harness::WaitUntil(
      [&] {
        for (DWORD id : ProcessesOf(exe))
          if (TProgramView(id).Announcement().ends_with(L"Downloading update: 100%"))
            return true;
        return false;
      },
      10s))
      << "no download progress up to 100% was shown";
  const auto updated = WaitForReadyProcessOf(exe, 20s);
  ASSERT_TRUE(updated.has_value()) << "no restarted program came up";
  // Under Wine nothing is elevated; what shows that the updated program
  // has the user's rights is who started it.
  EXPECT_EQ(first.Id(), ParentOf(*updated)) << "the updated program is the first process's child";
  EXPECT_EQ(std::optional<DWORD>(0), first.WaitForExit(10s));
  EXPECT_TRUE(ReadFileBytes(exe) == SecondBuild()) << "the exe on disk is the served build";
  EXPECT_EQ(L"1 Successfully updated",
            LastAnnouncementUntil(*updated, L"Successfully updated", 3s));
  EXPECT_EQ(std::optional<std::wstring>(L"1.0"), ReadValue(AppKey, L"version"));

  const auto requests = fServer->Requests();
  ASSERT_EQ(4u, requests.size()) << "check, check by the elevated copy, signature, download";
  EXPECT_EQ(0u, requests[0].rfind("POST /update.php?guid=", 0));
  EXPECT_EQ(requests[0], requests[1]);
  EXPECT_EQ("GET /update.sig", requests[2]);
  EXPECT_EQ("GET /update.data", requests[3]);
  EXPECT_FALSE(Exists(fInstall.Path() + L"Update")) << "the restarted program removed it at load";

  // The backup belongs to the first process, which may still run while the
  // restarted program loads; the next load removes it for certain.
  Harness::TProcess next = Start(exe, L"-again");
  EXPECT_TRUE(next.WaitForExit(10s).has_value()) << "a second instance ends by itself";
  EXPECT_FALSE(Exists(exe + L".old"));
  EXPECT_FALSE(Exists(fInstall.Path() + L"Update"));
}

// A hostile or broken server never replaces the program, never holds its
// start for long and leaves nothing on disk.
struct THostileRow {
  std::wstring Name;
  std::wstring Version; // the check's answer
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
  setup.Version = row.Version;
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
    ::testing::Values(THostileRow{L"Unsigned", L"1.1", L"nosig"},
                      THostileRow{L"WrongSignature", L"1.1", L"badsig"},
                      THostileRow{L"OtherFilesSignature", L"1.1", L"normal", true},
                      THostileRow{L"Truncated", L"1.1", L"truncated"},
                      THostileRow{L"TrickledCheck", L"1.1", L"trickle"},
                      THostileRow{L"EndlessBody", L"1.1", L"endless"},
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
