// The build's version (PAGEKEEP_VERSION) wherever the program names or
// compares it: the version resource, the update check, the registry value
// "version" and the greeting after an update. scripts/test-release runs
// this from a build of another version and names that version in
// PAGEKEEP_EXPECTED_VERSION, so a place that keeps a fixed version fails.

#include "app/StartupFlow.h"
#include "harness/Harness.h"
#include "shared/Registry.h"
#include "update-server/UpdateServerProcess.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace {

std::wstring ExpectedVersion() {
  wchar_t buffer[64]{};
  const DWORD length = ::GetEnvironmentVariableW(L"PAGEKEEP_EXPECTED_VERSION", buffer, 64);
  if (length > 0 && length < 64)
    return buffer;
  return PAGEKEEP_CONFIGURED_VERSION;
}

// major.minor[.build] as the four 16-bit words of a fixed file version.
std::vector<WORD> VersionWords(const std::wstring &aVersion) {
  std::vector<WORD> words;
  size_t start = 0;
  while (start <= aVersion.size()) {
    const size_t dot = aVersion.find(L'.', start);
    words.push_back(static_cast<WORD>(std::stoul(aVersion.substr(start, dot - start))));
    if (dot == std::wstring::npos)
      break;
    start = dot + 1;
  }
  words.resize(4, 0);
  return words;
}

// A key under HKEY_CURRENT_USER of this test's own, gone before and after.
class TOwnKey {
public:
  explicit TOwnKey(const std::wstring &aName) : fPath(L"Software\\PagekeepTests\\" + aName) {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, fPath.c_str());
  }
  TOwnKey(const TOwnKey &) = delete;
  TOwnKey &operator=(const TOwnKey &) = delete;
  ~TOwnKey() { ::RegDeleteTreeW(HKEY_CURRENT_USER, fPath.c_str()); }
  const std::wstring &Path() const noexcept { return fPath; }

private:
  std::wstring fPath;
};

TEST(Version, TheProgramsVersionResourceNamesIt) {
  const std::wstring exe = Harness::BesideThisExe(L"Pagekeep.exe");
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &ignored);
  ASSERT_GT(size, 0u) << "no version resource in Pagekeep.exe";
  std::vector<std::uint8_t> info(size);
  ASSERT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));

  for (const wchar_t *name : {L"FileVersion", L"ProductVersion"}) {
    wchar_t *text = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    ASSERT_TRUE(
        ::VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void **>(&text), &length));
    EXPECT_EQ(ExpectedVersion(), std::wstring(text)) << query;
  }
  VS_FIXEDFILEINFO *fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void **>(&fixed), &length));
  const auto words = VersionWords(ExpectedVersion());
  EXPECT_EQ(MAKELONG(words[1], words[0]), fixed->dwFileVersionMS);
  EXPECT_EQ(MAKELONG(words[3], words[2]), fixed->dwFileVersionLS);
  EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
  EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
}

TEST(Version, TheUpdateCheckTakesItForUpToDate) {
  EXPECT_EQ(ExpectedVersion(), TAutomaticUpdate::OwnVersion);
  Harness::TTemporaryFolder folder(L"version-check");
  TOwnKey key(L"VersionCheck");
  struct TRow {
    std::wstring Answer;
    bool Update;
  };
  // Only a newer offer is an update: "<version>.1" is newer, "0.<version>"
  // older, whatever the version.
  for (const TRow &row : {TRow{ExpectedVersion(), false}, TRow{ExpectedVersion() + L".1", true},
                          TRow{L"0." + ExpectedVersion(), false}}) {
    UpdateServer::TServerSetup setup;
    setup.Version = row.Answer;
    UpdateServer::TUpdateServerProcess server(setup);
    TUpdateSettings settings;
    settings.BaseURL = server.BaseURL();
    settings.ExePath = folder.Path() + L"Pagekeep.exe";
    settings.RegistryKey = key.Path();
    TAutomaticUpdate updater(settings);
    EXPECT_EQ(row.Update, updater.UpdateAvailable())
        << "server answers " << row.Answer.size() << " characters";
  }
}

// The main form as far as the greeting goes: steps run at once, messages kept.
class TGreetingHost : public TStartupHost {
public:
  void HandOver(const std::function<void()> &aStep) override {
    std::lock_guard lock(fLock);
    aStep();
  }
  void ShowInfo(const TStartupMessage &aMessage) override { Shown.push_back(aMessage); }
  void ChangeInfo(const std::wstring &, const std::wstring &, TCardPicture) override {}
  void SetInfoComment(const std::wstring &) override {}
  void HideInfo() override {}
  void CompleteStartup() override {}
  void ShowTrayBalloon(const std::wstring &, const std::wstring &, std::uint32_t) override {}

  std::vector<TStartupMessage> Shown;

private:
  std::mutex fLock;
};

TEST(Version, TheRegistryValueAndTheUpdateGreetingNameIt) {
  Harness::TTemporaryFolder folder(L"version-state");
  TOwnKey app(L"VersionApp");
  TOwnKey run(L"VersionRun");
  {
    TRegistryKey key = Registry::OpenCurrentUserKey(app.Path(), true);
    ASSERT_TRUE(key);
    Registry::WriteString(key.Get(), L"version", L"0.9");
  }
  TUpdateSettings settings;
  settings.BaseURL = L"http://127.0.0.1:1/";
  settings.ExePath = folder.Path() + L"Pagekeep.exe";
  settings.RegistryKey = app.Path();
  TAutomaticUpdate updater(settings);
  TGreetingHost host;
  {
    TStartupFlow flow(host, updater, TInstallationState(settings.ExePath, app.Path(), run.Path()));
    flow.RunInstallationSteps();
    flow.Join();
  }

  TRegistryKey key = Registry::OpenCurrentUserKey(app.Path(), false);
  ASSERT_TRUE(key);
  EXPECT_EQ(std::optional<std::wstring>(ExpectedVersion()),
            Registry::ReadString(key.Get(), L"version"));
  ASSERT_EQ(1u, host.Shown.size());
  EXPECT_EQ(L"Successfully updated", host.Shown[0].ShortDescription);
  EXPECT_EQ(L"Current version of application is " + ExpectedVersion(),
            host.Shown[0].DetailedDescription);
}

} // namespace
