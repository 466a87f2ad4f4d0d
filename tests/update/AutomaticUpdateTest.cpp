#include "update/AutomaticUpdate.h"
#include "shared/Architecture.h"
#include "shared/Paths.h"
#include "shared/Registry.h"
#include "update/UpdateFolders.h"

#include "UpdateTestSupport.h"
#include "update-server/UpdateServerProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <regex>

namespace {

using namespace UpdateTest;
using UpdateServer::TServerSetup;
using UpdateServer::TUpdateServerProcess;

const wchar_t *OldProgram = L"pagekeep-keepalive.exe";
// Any program that ends at once on an unknown option.
const wchar_t *OtherProgram = L"pagekeep-update-server.exe";

std::string Narrow(const std::wstring &aText) {
  std::string result;
  for (wchar_t c : aText)
    result += static_cast<char>(c);
  return result;
}

// Patches a 16-bit field of the PE file header of an image.
TBytes WithFileHeaderField(TBytes aImage, size_t aFieldOffset, WORD aValue) {
  LONG ntOffset;
  std::memcpy(&ntOffset, aImage.data() + offsetof(IMAGE_DOS_HEADER, e_lfanew), sizeof ntOffset);
  std::memcpy(aImage.data() + ntOffset + 4 + aFieldOffset, &aValue, sizeof aValue);
  return aImage;
}

// The other build's machine type in this build's headers.
TBytes ForOtherMachine(const TBytes &aImage) {
  return WithFileHeaderField(aImage, offsetof(IMAGE_FILE_HEADER, Machine),
                             Architecture::OtherMachineType);
}

TBytes AsDll(const TBytes &aImage) {
  return WithFileHeaderField(aImage, offsetof(IMAGE_FILE_HEADER, Characteristics),
                             IMAGE_FILE_EXECUTABLE_IMAGE | IMAGE_FILE_DLL);
}

TBytes FirstHalf(const TBytes &aImage) {
  return TBytes(aImage.begin(), aImage.begin() + static_cast<std::ptrdiff_t>(aImage.size() / 2));
}

TBytes WithoutLastByte(const TBytes &aImage) {
  return TBytes(aImage.begin(), aImage.end() - 1);
}

TBytes Text(const char *aText) {
  return TBytes(aText, aText + std::strlen(aText));
}

// An installed program in a folder of its own, an identifier key of its own
// and a server that offers aVersion and serves aServed.
class AutomaticUpdateFixture : public testing::Test {
protected:
  void SetUp() override {
    fOriginal = ReadFileBytes(BuiltProgram(OldProgram));
    WriteFileBytes(ExePath(), fOriginal);
  }

  std::wstring ExePath() const { return fInstall.Path() + L"Pagekeep.exe"; }

  // Serves aServed with the signature of the signed newer build, which is
  // right only when aServed is that build.
  void StartServer(const std::wstring &aVersion, const TBytes &aServed,
                   const wchar_t *aMode = L"normal") {
    WriteFileBytes(fServed.Path() + L"Pagekeep.exe", aServed);
    TServerSetup setup;
    setup.Version = aVersion;
    setup.Folder = fServed.Path();
    setup.Signature = Fixture(L"update.sig");
    setup.Mode = aMode;
    fServer = std::make_unique<TUpdateServerProcess>(setup);
  }

  TUpdateSettings Settings() const {
    TUpdateSettings settings;
    settings.BaseURL = fServer ? fServer->BaseURL() : L"http://127.0.0.1:1/";
    settings.ExePath = ExePath();
    settings.RegistryKey = fKey.Path();
    settings.UserFolder = UserFolder();
    return settings;
  }
  std::wstring UserFolder() const { return fUser.Path() + L"Update\\"; }

  void ExpectUntouched() {
    EXPECT_EQ(fOriginal, ReadFileBytes(ExePath()));
    EXPECT_FALSE(Exists(fInstall.Path() + L"Update"));
    EXPECT_FALSE(Exists(ExePath() + L".old"));
  }

  TTemporaryFolder fInstall{L"update-install"};
  TTemporaryFolder fServed{L"update-served"};
  TTemporaryFolder fUser{L"update-user"};
  TTestRegistryKey fKey{CurrentTestName()};
  TBytes fOriginal;
  std::unique_ptr<TUpdateServerProcess> fServer;
};

TEST(AutomaticUpdateInstance, ThisProgramAsksTheBuildsServerAboutItsOwnFile) {
  EXPECT_EQ(TAutomaticUpdate::DefaultBaseURL(), AutomaticUpdate.Settings().BaseURL);
  EXPECT_EQ(L'/', TAutomaticUpdate::DefaultBaseURL().back());
  EXPECT_EQ(BuiltProgram(L"test_update.exe"), AutomaticUpdate.Settings().ExePath);
  EXPECT_EQ(BuiltProgram(L"Update\\"), AutomaticUpdate.DownloadFolder());
  EXPECT_EQ(BuiltProgram(L"test_update.exe.old"), AutomaticUpdate.BackupPath());
  EXPECT_EQ(L"Software\\Pagekeep", AutomaticUpdate.Settings().RegistryKey);
}

using AutomaticUpdateIdentifier = AutomaticUpdateFixture;

TEST_F(AutomaticUpdateIdentifier, IsMadeOnceStoredAndReadBackByTheNextInstance) {
  TAutomaticUpdate updater(Settings());
  const std::wstring identifier = updater.AppGUID();
  EXPECT_TRUE(std::regex_match(
      Narrow(identifier),
      std::regex(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})")))
      << Narrow(identifier);
  TRegistryKey key = Registry::OpenCurrentUserKey(fKey.Path(), false);
  ASSERT_TRUE(key);
  EXPECT_EQ(identifier, Registry::ReadString(key.Get(), L"app.uid"));
  key.Reset();

  // Kept in the instance: the registry is not read (or re-created) again.
  ::RegDeleteTreeW(HKEY_CURRENT_USER, fKey.Path().c_str());
  EXPECT_EQ(identifier, updater.AppGUID());
  EXPECT_FALSE(Registry::OpenCurrentUserKey(fKey.Path(), false));

  TRegistryKey recreated = Registry::OpenCurrentUserKey(fKey.Path(), true);
  Registry::WriteString(recreated.Get(), L"app.uid", identifier);
  EXPECT_EQ(identifier, TAutomaticUpdate(Settings()).AppGUID());
}

TEST_F(AutomaticUpdateIdentifier, AStoredValueOfAnyFormIsSentAsItIs) {
  TRegistryKey key = Registry::OpenCurrentUserKey(fKey.Path(), true);
  Registry::WriteString(key.Get(), L"app.uid", L"not-a-guid");
  StartServer(L"1.0", fOriginal);
  TAutomaticUpdate updater(Settings());
  EXPECT_FALSE(updater.UpdateAvailable());
  EXPECT_EQ((std::vector<std::string>{"POST /update.php?guid=not-a-guid"}), fServer->Requests());
}

TEST_F(AutomaticUpdateIdentifier, ANonStringValueRaisesARegistryError) {
  TRegistryKey key = Registry::OpenCurrentUserKey(fKey.Path(), true);
  DWORD number = 7;
  ASSERT_EQ(ERROR_SUCCESS,
            ::RegSetValueExW(key.Get(), L"app.uid", 0, REG_DWORD,
                             reinterpret_cast<const BYTE *>(&number), sizeof number));
  TAutomaticUpdate updater(Settings());
  EXPECT_THROW(updater.AppGUID(), ERegistryTypeError);
  EXPECT_THROW(updater.Update(nullptr), ERegistryTypeError);
}

struct TURLCase {
  const char *Name;
  std::wstring Identifier;
  std::wstring Expected;
};

class UpdateCheckAddress : public testing::TestWithParam<TURLCase> {};

TEST_P(UpdateCheckAddress, KeepsTheIdentifierButEscapesWhatWouldBreakTheRequest) {
  EXPECT_EQ(L"http://h/update.php?guid=" + GetParam().Expected,
            UpdateCheckURL(L"http://h/", GetParam().Identifier));
}

INSTANTIATE_TEST_SUITE_P(
    Identifiers, UpdateCheckAddress,
    testing::Values(TURLCase{"Guid", L"{0A1B2C3D-0000-4000-8000-00000000ABCD}",
                             L"{0A1B2C3D-0000-4000-8000-00000000ABCD}"},
                    TURLCase{"Empty", L"", L""},
                    TURLCase{"OtherForm", L"not-a-guid", L"not-a-guid"},
                    TURLCase{"SpaceHashPercent", L"a b#c%d", L"a%20b%23c%25d"},
                    TURLCase{"HeaderInjection", L"x\r\nInjected: 1", L"x%0D%0AInjected:%201"},
                    TURLCase{"NonAscii", L"\u00E9\U0001F600", L"%C3%A9%F0%9F%98%80"}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

// The answer rule alone: what the server's text must look like to offer
// an update.
struct TAnswerRuleCase {
  const char *Name;
  std::wstring Answer;
  bool Offered;
};

class UpdateAnswerRule : public testing::TestWithParam<TAnswerRuleCase> {};

TEST_P(UpdateAnswerRule, OnlyAnotherVersionNumberIsAnUpdate) {
  EXPECT_EQ(GetParam().Offered, IsOfferedVersion(GetParam().Answer));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, UpdateAnswerRule,
    testing::Values(
        TAnswerRuleCase{"Same", L"1.0", false}, TAnswerRuleCase{"Newer", L"1.1", true},
        TAnswerRuleCase{"Older", L"0.9", true}, TAnswerRuleCase{"ThreeParts", L"2.10.3", true},
        TAnswerRuleCase{"SameWithLineBreak", L"1.0\n", false},
        TAnswerRuleCase{"SameWithSpaces", L" \t1.0 \r\n", false},
        TAnswerRuleCase{"NewerWithLineBreak", L"1.1\r\n", true},
        TAnswerRuleCase{"Empty", L"", false}, TAnswerRuleCase{"WhiteSpaceOnly", L" \n", false},
        TAnswerRuleCase{"HtmlPage", L"<html><body>Sign in</body></html>", false},
        TAnswerRuleCase{"ErrorText", L"Internal Server Error", false},
        TAnswerRuleCase{"Prefixed", L"v1.1", false}, TAnswerRuleCase{"InnerSpace", L"1. 1", false},
        TAnswerRuleCase{"TwoLines", L"1.1\n1.2", false}, TAnswerRuleCase{"DotsOnly", L"..", false},
        TAnswerRuleCase{"DoubleDot", L"1..1", false},
        TAnswerRuleCase{"TrailingDot", L"1.1.", false},
        TAnswerRuleCase{"ThirtyTwoCharacters", std::wstring(31, L'1') + L"2", true},
        TAnswerRuleCase{"ThirtyThreeCharacters", std::wstring(33, L'1'), false},
        TAnswerRuleCase{"ArabicIndicDigits", L"\u0661.\u0662", false}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

// The rule applied to a real server's answer, which is sent once per check.
struct TAnswerCase {
  const char *Name;
  std::wstring Answer;
  bool Available;
};

class AutomaticUpdateAnswer : public AutomaticUpdateFixture,
                              public testing::WithParamInterface<TAnswerCase> {};

TEST_P(AutomaticUpdateAnswer, IsReadOnceAndJudgedByTheRule) {
  StartServer(GetParam().Answer, fOriginal);
  TAutomaticUpdate updater(Settings());
  EXPECT_EQ(GetParam().Available, updater.UpdateAvailable());
  EXPECT_EQ((std::vector<std::string>{"POST /update.php?guid=" + Narrow(updater.AppGUID())}),
            fServer->Requests());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AutomaticUpdateAnswer,
    testing::Values(TAnswerCase{"Same", L"1.0", false}, TAnswerCase{"Newer", L"1.1", true},
                    TAnswerCase{"SameWithLineBreak", L"1.0\n", false},
                    TAnswerCase{"NewerWithLineBreak", L"1.1\n", true},
                    TAnswerCase{"HtmlPage", L"<html><body>Sign in</body></html>", false},
                    TAnswerCase{"Empty", L"", false}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

using AutomaticUpdateSwap = AutomaticUpdateFixture;

TEST_F(AutomaticUpdateSwap, NoServerMeansNoUpdate) {
  TAutomaticUpdate updater(Settings());
  EXPECT_FALSE(updater.UpdateAvailable());
  EXPECT_FALSE(updater.Update(nullptr));
  ExpectUntouched();
}

TEST_F(AutomaticUpdateSwap, NoUpdateTouchesNoFile) {
  StartServer(L"1.0", NewerBuild());
  EXPECT_FALSE(TAutomaticUpdate(Settings()).Update(nullptr));
  ExpectUntouched();
  EXPECT_EQ(1u, fServer->Requests().size());
}

TEST_F(AutomaticUpdateSwap, ReplacesTheExecutableAndTheNextLoadRemovesTheLeftovers) {
  const TBytes served = NewerBuild();
  StartServer(NewerVersion(), served);
  std::vector<int> percents;
  TAutomaticUpdate updater(Settings());
  EXPECT_TRUE(updater.Update([&](const std::wstring &, std::uint8_t aPercent, std::uint8_t) {
    percents.push_back(aPercent);
  }));
  EXPECT_EQ(served, ReadFileBytes(ExePath()));
  EXPECT_EQ(fOriginal, ReadFileBytes(ExePath() + L".old"));
  ASSERT_FALSE(percents.empty());
  EXPECT_EQ(0, percents.front());
  EXPECT_EQ(100, percents.back());
  EXPECT_EQ((std::vector<std::string>{"POST /update.php?guid=" + Narrow(updater.AppGUID()),
                                      "GET /update.sig", "GET /update.data"}),
            fServer->Requests());

  TAutomaticUpdate(Settings()).RemoveLeftovers();
  EXPECT_FALSE(Exists(ExePath() + L".old"));
  EXPECT_FALSE(Exists(fInstall.Path() + L"Update"));
  EXPECT_EQ(served, ReadFileBytes(ExePath()));
}

// Windows lets a running program's file be renamed; the elevated copy
// relies on that to move itself aside.
TEST_F(AutomaticUpdateSwap, ReplacesTheExecutableWhileItRuns) {
  const TBytes served = NewerBuild();
  StartServer(NewerVersion(), served);
  Harness::TProcess running(ExePath());
  EXPECT_TRUE(TAutomaticUpdate(Settings()).Update(nullptr));
  EXPECT_TRUE(running.IsRunning());
  EXPECT_EQ(served, ReadFileBytes(ExePath()));
  EXPECT_EQ(fOriginal, ReadFileBytes(ExePath() + L".old"));
  running.Terminate();
}

struct TBadBodyCase {
  const char *Name;
  const wchar_t *Mode;
  std::function<TBytes(const TBytes &)> Served;
};

class AutomaticUpdateBadBody : public AutomaticUpdateFixture,
                               public testing::WithParamInterface<TBadBodyCase> {};

TEST_P(AutomaticUpdateBadBody, NeverSwapsInAnythingButASignedCompleteExecutableOfItsOwnKind) {
  StartServer(NewerVersion(), GetParam().Served(NewerBuild()), GetParam().Mode);
  EXPECT_FALSE(TAutomaticUpdate(Settings()).Update(nullptr));
  ExpectUntouched();
}

TBytes Same(const TBytes &aImage) {
  return aImage;
}

// Another complete executable that runs the same: one letter of its DOS
// stub changed. The served signature is then another file's.
TBytes WithChangedStub(const TBytes &aImage) {
  const std::string stub = "This program cannot be run in DOS mode";
  TBytes changed = aImage;
  const auto at = std::search(changed.begin(), changed.end(), stub.begin(), stub.end());
  if (at == changed.end())
    throw std::runtime_error("no DOS stub text to change");
  at[0] = 't';
  return changed;
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, AutomaticUpdateBadBody,
    testing::Values(TBadBodyCase{"HtmlPageWith200", L"html", Same},
                    TBadBodyCase{"ShorterThanAnnounced", L"truncated", Same},
                    TBadBodyCase{"ConnectionReset", L"cut", Same},
                    TBadBodyCase{"TruncatedFileWithoutLength", L"nolength", FirstHalf},
                    TBadBodyCase{"LastByteMissing", L"normal", WithoutLastByte},
                    TBadBodyCase{"OtherMachineImage", L"normal", ForOtherMachine},
                    TBadBodyCase{"Dll", L"normal", AsDll},
                    TBadBodyCase{"NotFound", L"notfound", Same},
                    TBadBodyCase{"Unsigned", L"nosig", Same},
                    TBadBodyCase{"WrongSignature", L"badsig", Same},
                    TBadBodyCase{"OtherFilesSignature", L"normal", WithChangedStub}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

TEST_F(AutomaticUpdateSwap, FailedFirstRenameIsReportedAndLeavesTheProgram) {
  StartServer(NewerVersion(), NewerBuild());
  WriteFileBytes(ExePath() + L".old", Text("an old program that still runs"));
  // Held open without delete sharing, as a still running old program would be.
  TFileHandle running(::CreateFileW((ExePath() + L".old").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(running);
  TUpdateSettings settings = Settings();
  TAutomaticUpdate updater(settings);
  EXPECT_FALSE(updater.Update(nullptr));
  EXPECT_EQ(fOriginal, ReadFileBytes(ExePath()));
  EXPECT_FALSE(Exists(fInstall.Path() + L"Update"));
}

TEST_F(AutomaticUpdateSwap, FailedSecondRenameIsUndone) {
  StartServer(NewerVersion(), NewerBuild());
  TUpdateSettings settings = Settings();
  int moves = 0;
  settings.RenameAllowed = [&](const std::wstring &, const std::wstring &) { return ++moves != 2; };
  EXPECT_FALSE(TAutomaticUpdate(settings).Update(nullptr));
  EXPECT_EQ(3, moves);
  ExpectUntouched();
}

TEST_F(AutomaticUpdateSwap, NoFolderForTheCopyLeavesTheProgram) {
  StartServer(NewerVersion(), NewerBuild());
  WriteFileBytes(fInstall.Path() + L"Update", Text("a file where the folder should be"));
  EXPECT_FALSE(TAutomaticUpdate(Settings()).Update(nullptr));
  EXPECT_EQ(fOriginal, ReadFileBytes(ExePath()));
  EXPECT_FALSE(Exists(ExePath() + L".old"));
}

// A file that is larger than the download cap is refused on its announced
// length, and nothing of it stays on disk.
TEST_F(AutomaticUpdateSwap, ADownloadPastTheSizeCapIsRefusedAndRemoved) {
  StartServer(NewerVersion(), NewerBuild());
  TUpdateSettings settings = Settings();
  settings.DownloadLimits.MaxBytes = 64 * 1024;
  EXPECT_FALSE(TAutomaticUpdate(settings).Update(nullptr));
  ExpectUntouched();
}

// Between the download, the signature check and the rename, no other
// program can open the downloaded file for writing.
TEST_F(AutomaticUpdateSwap, TheDownloadCannotBeWrittenByOthersOnItsWay) {
  StartServer(NewerVersion(), NewerBuild());
  const std::wstring download = UserFolder() + L"Pagekeep.exe";
  bool tried = false;
  DWORD openError = 0;
  EXPECT_TRUE(
      TAutomaticUpdate(Settings()).Update([&](const std::wstring &, std::uint8_t, std::uint8_t) {
        if (tried)
          return;
        tried = true;
        TFileHandle other(::CreateFileW(download.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        openError = other ? 0 : ::GetLastError();
      }));
  EXPECT_TRUE(tried);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), openError);
  EXPECT_EQ(NewerBuild(), ReadFileBytes(ExePath()));
}

using AutomaticUpdateLeftovers = AutomaticUpdateFixture;

TEST_F(AutomaticUpdateLeftovers, LoadRemovesTheDownloadItsFolderAndTheBackup) {
  const std::wstring folder = fInstall.Path() + L"Update\\";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  WriteFileBytes(folder + L"Pagekeep.exe", Text("partial"));
  WriteFileBytes(ExePath() + L".old", fOriginal);
  WriteFileBytes(fInstall.Path() + L"keep.txt", Text("not ours"));
  ASSERT_TRUE(::CreateDirectoryW(UserFolder().c_str(), nullptr));
  WriteFileBytes(UserFolder() + L"Pagekeep.exe", Text("checked"));
  WriteFileBytes(UserFolder() + L"update.sig", Text("signature"));

  TAutomaticUpdate updater(Settings());
  EXPECT_TRUE(Exists(folder)) << "making the object removes nothing";
  updater.RemoveLeftovers();
  EXPECT_FALSE(Exists(folder));
  EXPECT_FALSE(Exists(UserFolder()));
  EXPECT_FALSE(Exists(ExePath() + L".old"));
  EXPECT_TRUE(Exists(fInstall.Path() + L"keep.txt"));
  EXPECT_EQ(fOriginal, ReadFileBytes(ExePath()));
}

// An exe kept in the user's Downloads folder may sit beside a folder of the
// user's own named "Update": only the updater's file in it goes.
TEST_F(AutomaticUpdateLeftovers, AUsersUpdateFolderKeepsEverythingElse) {
  const std::wstring folder = fInstall.Path() + L"Update\\";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW((folder + L"sub").c_str(), nullptr));
  WriteFileBytes(folder + L"Pagekeep.exe", Text("partial"));
  WriteFileBytes(folder + L"notes.txt", Text("mine"));
  WriteFileBytes(folder + L"sub\\deep.txt", Text("mine too"));

  TAutomaticUpdate(Settings()).RemoveLeftovers();
  EXPECT_FALSE(Exists(folder + L"Pagekeep.exe"));
  EXPECT_EQ(Text("mine"), ReadFileBytes(folder + L"notes.txt"));
  EXPECT_EQ(Text("mine too"), ReadFileBytes(folder + L"sub\\deep.txt"));
}

TEST_F(AutomaticUpdateLeftovers, ADownloadInUseIsSkippedAndGoesAtTheNextLoad) {
  const std::wstring folder = fInstall.Path() + L"Update\\";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  WriteFileBytes(folder + L"Pagekeep.exe", Text("busy"));
  {
    TFileHandle busy(::CreateFileW((folder + L"Pagekeep.exe").c_str(), GENERIC_READ,
                                   FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                   nullptr));
    ASSERT_TRUE(busy);
    TAutomaticUpdate(Settings()).RemoveLeftovers();
    EXPECT_TRUE(Exists(folder + L"Pagekeep.exe"));
  }
  TAutomaticUpdate(Settings()).RemoveLeftovers();
  EXPECT_FALSE(Exists(folder));
}

TEST_F(AutomaticUpdateLeftovers, NothingToRemoveChangesNothing) {
  TAutomaticUpdate(Settings()).RemoveLeftovers();
  EXPECT_EQ(fOriginal, ReadFileBytes(ExePath()));
  ExpectUntouched();
}

TEST(AutomaticUpdateElevation, RunAsAdminAsksTheShellForTheRunasVerb) {
  SHELLEXECUTEINFOW seen{};
  std::wstring file, parameters;
  bool parametersGiven = false;
  TUpdateSettings settings;
  settings.ExePath = L"C:\\nowhere\\Pagekeep.exe";
  settings.RegistryKey = L"Software\\PagekeepTests\\Elevation";
  settings.Launcher = [&](SHELLEXECUTEINFOW &aInfo) {
    seen = aInfo;
    file = aInfo.lpFile;
    parametersGiven = aInfo.lpParameters != nullptr;
    parameters = parametersGiven ? aInfo.lpParameters : L"";
    return false; // the user refused
  };
  TAutomaticUpdate updater(settings);
  HWND owner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1234));
  EXPECT_FALSE(updater.RunAsAdmin(owner, L"C:\\p\\Pagekeep.exe", L"-update"));
  EXPECT_EQ(sizeof(SHELLEXECUTEINFOW), seen.cbSize);
  EXPECT_EQ(0x500u, seen.fMask);
  EXPECT_EQ(owner, seen.hwnd);
  EXPECT_STREQ(L"runas", seen.lpVerb);
  EXPECT_EQ(L"C:\\p\\Pagekeep.exe", file);
  EXPECT_EQ(L"-update", parameters);
  EXPECT_EQ(nullptr, seen.lpDirectory);
  EXPECT_EQ(SW_SHOWNORMAL, seen.nShow);

  updater.RunAsAdmin(nullptr, L"C:\\p\\Pagekeep.exe", L"");
  EXPECT_FALSE(parametersGiven);
}

TEST(AutomaticUpdateElevation, RunAsAdminStartsTheProgramThroughTheShell) {
  TUpdateSettings settings;
  settings.ExePath = L"C:\\nowhere\\Pagekeep.exe";
  TAutomaticUpdate updater(settings);
  // The server exits at once on an unknown option.
  EXPECT_TRUE(updater.RunAsAdmin(nullptr, BuiltProgram(OtherProgram), L"--no-such-option"));
  EXPECT_FALSE(updater.RunAsAdmin(nullptr, BuiltProgram(L"no-such-program.exe"), L""));
  // Asked for, the started process comes back to be waited for.
  TKernelHandle process;
  EXPECT_TRUE(
      updater.RunAsAdmin(nullptr, BuiltProgram(OtherProgram), L"--no-such-option", &process));
  ASSERT_TRUE(process);
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.Get(), 10000));
  DWORD code = 0;
  EXPECT_TRUE(::GetExitCodeProcess(process.Get(), &code));
  EXPECT_EQ(2u, code) << "the server's exit code for bad options";
}

TEST(AutomaticUpdateElevation, IsAdminMatchesTheTokenElevation) {
  HANDLE token = nullptr;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
  TKernelHandle owned(token);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  ASSERT_TRUE(::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size));
  const bool admin = TAutomaticUpdate::IsAdmin(L"");
  if (admin != (elevation.TokenIsElevated != 0))
    GTEST_SKIP() << "the service manager and the token disagree here (admin " << admin
                 << ", elevated " << elevation.TokenIsElevated << ")";
  EXPECT_EQ(elevation.TokenIsElevated != 0, admin);
}

struct TImageCase {
  const char *Name;
  std::function<TBytes(const TBytes &)> Make;
  bool Complete;
};

class ExecutableImage : public testing::TestWithParam<TImageCase> {};

TEST_P(ExecutableImage, OnlyACompleteExeOfTheOwnMachineTypeCounts) {
  const TBytes image = NewerBuild();
  EXPECT_EQ(GetParam().Complete,
            IsCompleteExecutable(GetParam().Make(image), Architecture::OwnMachineType));
}

INSTANTIATE_TEST_SUITE_P(
    Images, ExecutableImage,
    testing::Values(TImageCase{"Whole", Same, true}, TImageCase{"FirstHalf", FirstHalf, false},
                    TImageCase{"LastByteMissing", WithoutLastByte, false},
                    TImageCase{"OtherMachine", ForOtherMachine, false},
                    TImageCase{"Dll", AsDll, false},
                    TImageCase{"Html", [](const TBytes &) { return Text("<html>MZ</html>"); },
                               false},
                    TImageCase{"Empty", [](const TBytes &) { return TBytes{}; }, false},
                    TImageCase{"HeadersOnly",
                               [](const TBytes &aImage) {
                                 return TBytes(aImage.begin(), aImage.begin() + 1024);
                               },
                               false},
                    TImageCase{"PeOffsetOutside",
                               [](const TBytes &aImage) {
                                 TBytes broken = aImage;
                                 LONG outside = 0x7FFFFFF0;
                                 std::memcpy(broken.data() + offsetof(IMAGE_DOS_HEADER, e_lfanew),
                                             &outside, sizeof outside);
                                 return broken;
                               },
                               false}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

using AutomaticUpdateRefusal = AutomaticUpdateFixture;

// A refused offer (here a file the signature does not cover) is not fetched
// again for a day; another offer is, and so is the same one a day later.
TEST_F(AutomaticUpdateRefusal, ARefusedOfferIsNotFetchedAgainForADay) {
  StartServer(NewerVersion(), WithChangedStub(NewerBuild()));
  EXPECT_FALSE(TAutomaticUpdate(Settings()).Update(nullptr));
  EXPECT_EQ(3u, fServer->Requests().size()) << "check, signature, download";
  TRegistryKey key = Registry::OpenCurrentUserKey(fKey.Path(), false);
  ASSERT_TRUE(key);
  EXPECT_EQ(NewerVersion(), Registry::ReadString(key.Get(), L"update.refused"));
  EXPECT_EQ(L"signature", Registry::ReadString(key.Get(), L"update.refused.reason"));
  ExpectUntouched();
  EXPECT_FALSE(Exists(UserFolder())) << "the refused download is removed";

  TAutomaticUpdate again(Settings());
  EXPECT_FALSE(again.UpdateAvailable());
  EXPECT_TRUE(again.RecentlyRefused(NewerVersion()));
  EXPECT_FALSE(again.RecentlyRefused(L"99.0")) << "another offer is fetched";
  EXPECT_EQ(4u, fServer->Requests().size()) << "only the check";

  const auto refusedAt = Registry::ReadQword(key.Get(), L"update.refused.time");
  ASSERT_TRUE(refusedAt.has_value());
  for (const std::uint64_t other : {*refusedAt - TAutomaticUpdate::RefusalMemory - 1,
                                    *refusedAt + 2 * TAutomaticUpdate::RefusalMemory}) {
    Registry::WriteQword(key.Get(), L"update.refused.time", other);
    EXPECT_FALSE(TAutomaticUpdate(Settings()).RecentlyRefused(NewerVersion()))
        << "a day ago, or a clock put back by two";
  }
}

// The first process fetches into a folder of the user's own; a link planted
// there leads the download nowhere.
TEST_F(AutomaticUpdateRefusal, ALinkWhereTheDownloadGoesIsRefused) {
  StartServer(NewerVersion(), NewerBuild());
  TTemporaryFolder elsewhere{L"update-elsewhere"};
  const std::wstring link = WithoutTrailingSeparator(UserFolder());
  if (!::CreateSymbolicLinkW(link.c_str(), elsewhere.Path().c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY))
    GTEST_SKIP() << "no directory links here (error " << ::GetLastError() << ")";
  const DWORD attributes = ::GetFileAttributesW(link.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    ::RemoveDirectoryW(link.c_str());
    GTEST_SKIP() << "this system shows the directory link as a plain folder (Wine does)";
  }
  TAutomaticUpdate updater(Settings());
  EXPECT_EQ(std::optional(TUpdateVerdict::uvUnsafeLocation),
            updater.Fetch(NewerVersion(), nullptr));
  EXPECT_FALSE(Exists(elsewhere.Path() + L"Pagekeep.exe"));
  EXPECT_FALSE(Exists(elsewhere.Path() + L"update.sig"));
  ::RemoveDirectoryW(link.c_str());
  ExpectUntouched();
}

} // namespace
