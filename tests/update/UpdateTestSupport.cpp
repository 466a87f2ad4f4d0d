#include "UpdateTestSupport.h"

#include "harness/Harness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>

namespace UpdateTest {

TTemporaryFolder::TTemporaryFolder() {
  static std::atomic<int> counter = 0;
  wchar_t temp[MAX_PATH + 1];
  CheckWin32(::GetTempPathW(MAX_PATH + 1, temp) != 0, "GetTempPathW");
  fPath = std::wstring(temp) + L"pk-update-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
          std::to_wstring(++counter) + L"\\";
  std::filesystem::remove_all(fPath);
  std::filesystem::create_directories(fPath);
}

TTemporaryFolder::~TTemporaryFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(fPath, ignored);
}

TTestRegistryKey::TTestRegistryKey(const std::wstring &aName)
    : fPath(L"Software\\PagekeepTests\\" + aName) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, fPath.c_str());
}

TTestRegistryKey::~TTestRegistryKey() {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, fPath.c_str());
}

std::wstring CurrentTestName() {
  const auto *info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  return std::wstring(name.begin(), name.end());
}

bool Exists(const std::wstring &aPath) {
  return ::GetFileAttributesW(aPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring BuiltProgram(const std::wstring &aFileName) {
  return Harness::BesideThisExe(aFileName);
}

} // namespace UpdateTest
