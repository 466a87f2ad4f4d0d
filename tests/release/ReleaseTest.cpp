// The release packages for real: silent install, the installed program,
// upgrade, uninstall and the self-update of an installed program to a
// served release. scripts/test-release makes two releases and names their
// folders in PAGEKEEP_OLD_RELEASE and PAGEKEEP_NEW_RELEASE; without them
// every test is skipped.

#include "ProgramCopies.h"
#include "shared/Architecture.h"
#include "shared/Com.h"
#include "update-server/UpdateServerProcess.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace ProgramCopies;
using Microsoft::WRL::ComPtr;
using UpdateServer::TServerSetup;
using UpdateServer::TUpdateServerProcess;

constexpr const wchar_t *UninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The release's files for the architecture of this test exe: the 64-bit
// package and update folder sit beside the 32-bit ones.
const bool Is64Bit = std::wstring(Architecture::Name) == L"x64";
const std::wstring PackageSuffix = Is64Bit ? L"-x64" : L"";
const std::wstring UpdateSubfolder = Is64Bit ? L"x64\\" : L"";
const std::wstring ProductName = Is64Bit ? L"Pagekeep (64-bit)" : L"Pagekeep";

// A folder that scripts/release wrote.
struct TRelease {
  std::wstring Folder; // with its trailing backslash
  std::wstring Version;

  std::wstring Package() const { return Folder + L"Pagekeep-" + Version + PackageSuffix + L".msi"; }
  // Where update.data, update.sig and update.php of this architecture are.
  std::wstring UpdateFolder() const { return Folder + UpdateSubfolder; }
  std::wstring Program() const { return UpdateFolder() + L"update.data"; }
};

std::optional<TRelease> ReleaseNamedBy(const wchar_t *aVariable) {
  wchar_t folder[MAX_PATH]{};
  const DWORD length = ::GetEnvironmentVariableW(aVariable, folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return std::nullopt;
  TRelease release{std::wstring(folder) + L"\\", L""};
  WIN32_FIND_DATAW found{};
  // "Pagekeep-<version>.msi", the 32-bit package, names the version.
  HANDLE search = ::FindFirstFileW((release.Folder + L"Pagekeep-*.msi").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return std::nullopt;
  do {
    const std::wstring name = found.cFileName;
    if (!name.ends_with(L"-x64.msi"))
      release.Version = name.substr(9, name.size() - 9 - 4);
  } while (release.Version.empty() && ::FindNextFileW(search, &found));
  ::FindClose(search);
  if (release.Version.empty())
    return std::nullopt;
  return release;
}

std::wstring KnownFolder(int aFolder) {
  wchar_t path[MAX_PATH]{};
  CheckWin32(SUCCEEDED(::SHGetFolderPathW(nullptr, aFolder, nullptr, 0, path)), "SHGetFolderPathW");
  return path;
}

std::wstring InstallFolder() {
  return KnownFolder(CSIDL_PROGRAM_FILES) + L"\\Pagekeep\\";
}
std::wstring InstalledExe() {
  return InstallFolder() + L"Pagekeep.exe";
}
bool UnderWine() {
  return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// A per-machine package puts its shortcut in the Start menu of all users.
// Wine 8's Windows Installer resolves ProgramMenuFolder to the installing
// user's Start menu even then, so there it is looked for in that one.
std::wstring StartMenuShortcut() {
  static const bool wine = [] {
    if (UnderWine())
      std::cout << "Note: under Wine the shortcut of a per-machine package goes to the "
                   "installing user's Start menu, not all users'\n";
    return UnderWine();
  }();
  return KnownFolder(wine ? CSIDL_PROGRAMS : CSIDL_COMMON_PROGRAMS) + L"\\Pagekeep.lnk";
}

std::wstring UserDataFolder() {
  return KnownFolder(CSIDL_APPDATA) + L"\\Pagekeep\\";
}
std::wstring UserDataFile() {
  return UserDataFolder() + L"ClipboardData.dat";
}

// msiexec with the arguments, to its end: its exit code.
DWORD Msiexec(const std::wstring &aArguments) {
  wchar_t system[MAX_PATH]{};
  CheckWin32(::GetSystemDirectoryW(system, MAX_PATH) != 0, "GetSystemDirectoryW");
  Harness::TProcess installer(std::wstring(system) + L"\\msiexec.exe", aArguments);
  const auto code = installer.WaitForExit(120s);
  if (!code)
    throw std::runtime_error("msiexec did not end within 2 minutes");
  return *code;
}

std::wstring Quoted(const std::wstring &aPath) {
  return L"\"" + aPath + L"\"";
}

std::optional<std::wstring> MachineValue(const std::wstring &aKey, const std::wstring &aName) {
  wchar_t buffer[1024];
  DWORD size = sizeof buffer;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, aKey.c_str(), aName.c_str(), RRF_RT_REG_SZ, nullptr,
                     buffer, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(buffer);
}

// The "Apps & features" entries named Pagekeep: their key names (the
// product codes).
std::vector<std::wstring> UninstallEntries() {
  std::vector<std::wstring> entries;
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKey, 0, KEY_READ, &opened) != ERROR_SUCCESS)
    return entries;
  TRegistryKey key(opened);
  wchar_t name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = 256;
    if (::RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    const std::wstring entry = std::wstring(UninstallKey) + L"\\" + name;
    if (MachineValue(entry, L"DisplayName") == ProductName)
      entries.push_back(entry);
  }
  return entries;
}

std::wstring ShortcutTarget(const std::wstring &aShortcut) {
  TComScope com;
  ComPtr<IShellLinkW> link;
  CheckHResult(
      ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)),
      "CoCreateInstance(ShellLink)");
  ComPtr<IPersistFile> file;
  CheckHResult(link.As(&file), "QueryInterface(IPersistFile)");
  CheckHResult(file->Load(aShortcut.c_str(), STGM_READ), "IPersistFile::Load");
  wchar_t target[MAX_PATH]{};
  CheckHResult(link->GetPath(target, MAX_PATH, nullptr, 0), "IShellLinkW::GetPath");
  return target;
}

std::wstring ProductVersionOf(const std::wstring &aExe) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(aExe.c_str(), &ignored);
  std::vector<std::uint8_t> info(size);
  wchar_t *text = nullptr;
  UINT length = 0;
  if (size == 0 || !::GetFileVersionInfoW(aExe.c_str(), 0, size, info.data()) ||
      !::VerQueryValueW(info.data(), L"\\StringFileInfo\\040904B0\\ProductVersion",
                        reinterpret_cast<void **>(&text), &length))
    return L"";
  return text;
}

// Each test starts with nothing installed and no installation state, and
// leaves it so.
class Release : public ::testing::Test {
protected:
  void SetUp() override {
    fOld = ReleaseNamedBy(L"PAGEKEEP_OLD_RELEASE");
    fNew = ReleaseNamedBy(L"PAGEKEEP_NEW_RELEASE");
    if (!fOld || !fNew)
      GTEST_SKIP() << "scripts/test-release runs these with the packages it makes "
                      "(PAGEKEEP_OLD_RELEASE, PAGEKEEP_NEW_RELEASE)";
    UninstallEverything();
  }
  void TearDown() override {
    if (!fOld || !fNew)
      return;
    EndProcessesOf(InstalledExe());
    fServer.reset();
    UninstallEverything();
    std::error_code ignored;
    std::filesystem::remove_all(UserDataFolder(), ignored);
  }

  static void UninstallEverything() {
    for (const std::wstring &entry : UninstallEntries())
      Msiexec(L"/x " + entry.substr(entry.find_last_of(L'\\') + 1) + L" /qn");
    ResetInstallation();
  }

  // A server on the port the released programs ask; skipped when another
  // run holds that port.
  bool StartServer(TServerSetup aSetup) {
    fServer = UpdateServer::StartOnProgramPort(aSetup);
    return fServer != nullptr;
  }
  bool StartServerAnswering(const std::wstring &aVersion) {
    TServerSetup setup;
    setup.Version = aVersion;
    return StartServer(setup);
  }

  // Every distinct announcement a process shows, until one ends with aLast.
  static std::vector<std::wstring> AnnouncementsUntil(DWORD aProcessId, const std::wstring &aLast,
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
  static std::wstring LastAnnouncementUntil(DWORD aProcessId, const std::wstring &aLast,
                                            std::chrono::milliseconds aTimeout) {
    const auto seen = AnnouncementsUntil(aProcessId, aLast, aTimeout);
    return seen.empty() ? L"(no announcement)" : seen.back();
  }

  std::optional<TRelease> fOld;
  std::optional<TRelease> fNew;
  std::unique_ptr<TUpdateServerProcess> fServer;
};

std::string PortTaken() {
  return "the released programs' update port " + std::to_string(UpdateServer::ProgramPort()) +
         " is taken by another run on this machine";
}

TEST_F(Release, InstallsRunsFromProgramFilesAndUninstallsAllButTheUsersData) {
  ASSERT_EQ(0u, Msiexec(L"/i " + Quoted(fOld->Package()) + L" /qn"));

  EXPECT_TRUE(ReadFileBytes(InstalledExe()) == ReadFileBytes(fOld->Program()))
      << "the installed program is the released one";
  ASSERT_TRUE(Exists(StartMenuShortcut()));
  EXPECT_EQ(InstalledExe(), ShortcutTarget(StartMenuShortcut()));
  const auto entries = UninstallEntries();
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(fOld->Version, MachineValue(entries[0], L"DisplayVersion"));
  EXPECT_EQ(L"Pagekeep", MachineValue(entries[0], L"Publisher"));
  EXPECT_TRUE(MachineValue(entries[0], L"UninstallString").has_value());

  // The program writes its autorun value itself, naming where it runs from.
  ResetInstallation();
  if (!StartServerAnswering(fOld->Version))
    GTEST_SKIP() << PortTaken();
  Harness::TProcess program(InstalledExe());
  // The record is polled, so a quick first message may be passed over; the
  // numbers still show the order.
  const auto seen = AnnouncementsUntil(program.Id(), L"Successfully installed", 15s);
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ((std::vector<std::wstring>{L"2 Your version is actual", L"3 Successfully installed"}),
            std::vector<std::wstring>(seen.end() - 2, seen.end()));
  ASSERT_TRUE(Harness::WaitUntil([&] { return TProgramView(program.Id()).Ready(); }, 10s))
      << "no tray icon";
  EXPECT_EQ(Quoted(InstalledExe()), ReadValue(RunKey, L"Pagekeep"));
  EXPECT_EQ(fOld->Version, ReadValue(AppKey, L"version"));
  EXPECT_EQ(1u, fServer->Requests().size());

  std::filesystem::create_directories(UserDataFolder());
  Harness::WriteFileBytes(UserDataFile(), {1, 2, 3});
  // Uninstalling ends the running program the way its "Close" does.
  ASSERT_EQ(0u, Msiexec(L"/x " + Quoted(fOld->Package()) + L" /qn"));
  EXPECT_EQ(std::optional<DWORD>(0), program.WaitForExit(10s));
  EXPECT_FALSE(Exists(InstallFolder())) << "the program's folder is gone";
  EXPECT_FALSE(Exists(StartMenuShortcut()));
  EXPECT_TRUE(UninstallEntries().empty());
  EXPECT_FALSE(ReadValue(RunKey, L"Pagekeep").has_value()) << "the autorun value is gone";
  EXPECT_TRUE(ReadFileBytes(UserDataFile()) == Harness::TBytes({1, 2, 3}))
      << "the user's data stays";
  EXPECT_TRUE(ReadValue(AppKey, L"app.uid").has_value()) << "the user's installation state stays";
}

// Asked to, the uninstall also takes the user's data files and settings,
// and nothing else of that folder.
TEST_F(Release, UninstallTakesTheUsersDataOnlyWhenAsked) {
  ASSERT_EQ(0u, Msiexec(L"/i " + Quoted(fOld->Package()) + L" /qn"));
  WriteStoredVersion(fOld->Version);
  std::filesystem::create_directories(UserDataFolder());
  for (const wchar_t *name : {L"ClipboardData.dat", L"HistoryData.dat", L"notes.txt"})
    Harness::WriteFileBytes(UserDataFolder() + name, {1, 2, 3});

  ASSERT_EQ(0u, Msiexec(L"/x " + Quoted(fOld->Package()) + L" /qn REMOVEUSERDATA=1"));
  EXPECT_FALSE(Exists(UserDataFolder() + L"ClipboardData.dat"));
  EXPECT_FALSE(Exists(UserDataFolder() + L"HistoryData.dat"));
  EXPECT_TRUE(Exists(UserDataFolder() + L"notes.txt")) << "a file of the user's own stays";
  EXPECT_FALSE(ReadValue(AppKey, L"version").has_value()) << "the settings are gone";
  EXPECT_FALSE(Exists(InstallFolder()));
}

TEST_F(Release, AHigherVersionReplacesARunningOlderOneAndNeverTheReverse) {
  ASSERT_EQ(0u, Msiexec(L"/i " + Quoted(fOld->Package()) + L" /qn"));
  if (!StartServerAnswering(fOld->Version))
    GTEST_SKIP() << PortTaken();
  Harness::TProcess older(InstalledExe());
  ASSERT_TRUE(Harness::WaitUntil([&] { return TProgramView(older.Id()).Ready(); }, 15s));
  fServer.reset();

  ASSERT_EQ(0u, Msiexec(L"/i " + Quoted(fNew->Package()) + L" /qn"));
  EXPECT_TRUE(older.WaitForExit(10s).has_value()) << "the running older program was ended";
  EXPECT_TRUE(ReadFileBytes(InstalledExe()) == ReadFileBytes(fNew->Program()));
  EXPECT_EQ(fNew->Version, ProductVersionOf(InstalledExe()));
  auto entries = UninstallEntries();
  ASSERT_EQ(1u, entries.size()) << "the older entry made way";
  EXPECT_EQ(fNew->Version, MachineValue(entries[0], L"DisplayVersion"));
  EXPECT_EQ(InstalledExe(), ShortcutTarget(StartMenuShortcut()));

  // Started from the Start menu, its own version is no update to it, and
  // it greets the update from the older one (after two other messages).
  if (!StartServerAnswering(fNew->Version))
    GTEST_SKIP() << PortTaken();
  const std::wstring shortcut = StartMenuShortcut();
  SHELLEXECUTEINFOW open{};
  open.cbSize = sizeof open;
  open.fMask = SEE_MASK_NOASYNC;
  open.lpVerb = L"open";
  open.lpFile = shortcut.c_str();
  open.nShow = SW_SHOWNORMAL;
  ASSERT_TRUE(::ShellExecuteExW(&open));
  const auto newer = WaitForReadyProcessOf(InstalledExe(), 15s);
  ASSERT_TRUE(newer.has_value()) << "the shortcut started no program";
  EXPECT_EQ(L"3 Successfully updated", LastAnnouncementUntil(*newer, L"Successfully updated", 5s));
  EXPECT_EQ(fNew->Version, ReadValue(AppKey, L"version"));
  EXPECT_EQ(1u, fServer->Requests().size()) << "a check and no download";

  EXPECT_NE(0u, Msiexec(L"/i " + Quoted(fOld->Package()) + L" /qn")) << "no downgrade";
  EXPECT_TRUE(ReadFileBytes(InstalledExe()) == ReadFileBytes(fNew->Program()));
  entries = UninstallEntries();
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(fNew->Version, MachineValue(entries[0], L"DisplayVersion"));
}

// An installed older version, offered the newer release by the project's
// server from the release's own folder, updates itself in Program Files;
// served with the signature of another file, it keeps its own program.
struct TServedRelease {
  std::string Name;
  bool OwnSignature;
};

class SelfUpdate : public Release, public ::testing::WithParamInterface<TServedRelease> {};

TEST_P(SelfUpdate, AnInstalledOlderVersionTakesOnlyAReleaseItsSignatureProves) {
  const bool genuine = GetParam().OwnSignature;
  ASSERT_EQ(0u, Msiexec(L"/i " + Quoted(fOld->Package()) + L" /qn"));
  WriteStoredVersion(fOld->Version);
  Harness::TTemporaryFolder forged(L"forged-release");
  WriteFileBytes(forged.Path() + L"update.data", ReadFileBytes(fNew->Program()));
  WriteFileBytes(forged.Path() + L"update.sig",
                 ReadFileBytes(fOld->UpdateFolder() + L"update.sig"));
  const std::wstring served = genuine ? fNew->UpdateFolder() : forged.Path();
  TServerSetup setup;
  setup.Version = fNew->Version;
  setup.ReleaseFolder = served.substr(0, served.size() - 1);
  if (!StartServer(setup))
    GTEST_SKIP() << PortTaken();

  Harness::TProcess first(InstalledExe());
  if (genuine) {
    EXPECT_TRUE(first.WaitForExit(15s).has_value()) << "the checking program handed over";
  }
  const auto back = WaitForReadyProcessOf(InstalledExe(), 30s);
  ASSERT_TRUE(back.has_value()) << "no program came (back) up";
  if (!genuine) {
    EXPECT_EQ(first.Id(), *back) << "refused before anything was asked: the first program goes on";
  }
  const TRelease &expected = genuine ? *fNew : *fOld;
  EXPECT_TRUE(ReadFileBytes(InstalledExe()) == ReadFileBytes(expected.Program()));
  EXPECT_EQ(expected.Version, ProductVersionOf(InstalledExe()));
  const auto requests = fServer->Requests();
  std::string asked;
  for (const std::string &request : requests)
    asked += "\n  " + request;
  EXPECT_NE(requests.end(), std::find(requests.begin(), requests.end(), "GET /update.data"))
      << "the server was asked:" << asked;
  EXPECT_NE(requests.end(), std::find(requests.begin(), requests.end(), "GET /update.sig"))
      << "the server was asked:" << asked;
  if (genuine) {
    EXPECT_EQ(L"1 Successfully updated", LastAnnouncementUntil(*back, L"Successfully updated", 5s));
    EXPECT_EQ(fNew->Version, ReadValue(AppKey, L"version"));
  } else {
    EXPECT_EQ(fOld->Version, ReadValue(AppKey, L"version"));
    EXPECT_EQ(fNew->Version, ReadValue(AppKey, L"update.refused")) << "not fetched again today";
  }
  EXPECT_FALSE(Exists(InstallFolder() + L"Update\\Pagekeep.exe")) << "no download is left";

  // The uninstall takes what the update left beside the program with it.
  ASSERT_EQ(0u, Msiexec(L"/x " + Quoted(fOld->Package()) + L" /qn"));
  EXPECT_FALSE(Exists(InstallFolder()));
}

INSTANTIATE_TEST_SUITE_P(Served, SelfUpdate,
                         ::testing::Values(TServedRelease{"AsPublished", true},
                                           TServedRelease{"WithAnotherFilesSignature", false}),
                         [](const auto &aInfo) { return aInfo.param.Name; });

} // namespace
