#include "AppTestSupport.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using namespace AppTest;

struct TGreetingRow {
  const wchar_t *Name;
  std::optional<std::wstring> StoredVersion; // nothing: a fresh profile
  std::wstring Greeting;                     // empty: none
};

class InstallationSteps : public ::testing::TestWithParam<TGreetingRow> {};

std::optional<std::wstring> ReadValue(const std::wstring &aKey, const std::wstring &aName) {
  TRegistryKey key = Registry::OpenCurrentUserKey(aKey, false);
  return key ? Registry::ReadString(key.Get(), aName) : std::nullopt;
}

// The completion step of the real form writes the autorun entry and the
// version, and greets through the start-up flow's own thread.
TEST_P(InstallationSteps, CompletionWritesAutorunAndVersionAndGreetsAtMostOnce) {
  const TGreetingRow &row = GetParam();
  TMainFormOptions options = TestFormOptions(row.Name, false);
  if (row.StoredVersion) {
    TRegistryKey key = Registry::OpenCurrentUserKey(TestAppKey, true);
    Registry::WriteString(key.Get(), L"version", *row.StoredVersion);
  }
  auto form = std::make_unique<TMainForm>(::GetModuleHandleW(nullptr), options);
  ASSERT_TRUE(Harness::WaitUntil([&] { return form->StartupCompleted(); }));
  // The greeting comes from a thread of its own through a hand-over.
  Harness::WaitUntil([&] { return !form->LastAnnouncement().empty(); }, 1500ms);
  PumpPending();
  EXPECT_EQ(row.Greeting.empty() ? L"" : L"1 " + row.Greeting, form->LastAnnouncement())
      << "at most one greeting";

  EXPECT_EQ(std::optional<std::wstring>(TAutomaticUpdate::OwnVersion),
            ReadValue(TestAppKey, L"version"));
  const std::wstring exe = AutomaticUpdate.Settings().ExePath;
  const std::wstring name = exe.substr(exe.find_last_of(L'\\') + 1);
  EXPECT_EQ(std::optional<std::wstring>(L"\"" + exe + L"\""),
            ReadValue(TestRunKey, name.substr(0, name.find_last_of(L'.'))));
  form.reset();
  PumpPending();
  ::RegDeleteTreeW(HKEY_CURRENT_USER, TestAppKey.c_str());
}

INSTANTIATE_TEST_SUITE_P(StoredVersions, InstallationSteps,
                         ::testing::Values(TGreetingRow{L"Fresh", std::nullopt,
                                                        L"Successfully installed"},
                                           TGreetingRow{L"Empty", L"", L"Successfully installed"},
                                           TGreetingRow{L"Same", L"1.0", L""},
                                           TGreetingRow{L"Older", L"0.9", L"Successfully updated"}),
                         [](const auto &aInfo) {
                           const std::wstring name = aInfo.param.Name;
                           return std::string(name.begin(), name.end());
                         });

} // namespace
