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

TBytes ReadFileBytes(const std::wstring &aPath) {
  TFileHandle file(::CreateFileW(aPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  CheckWin32(static_cast<bool>(file), "CreateFileW (read)");
  TBytes bytes;
  std::uint8_t buffer[65536];
  DWORD read = 0;
  while (::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
    bytes.insert(bytes.end(), buffer, buffer + read);
  return bytes;
}

void WriteFileBytes(const std::wstring &aPath, const TBytes &aBytes) {
  TFileHandle file(::CreateFileW(aPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  CheckWin32(static_cast<bool>(file), "CreateFileW (write)");
  DWORD written = 0;
  CheckWin32(
      ::WriteFile(file.Get(), aBytes.data(), static_cast<DWORD>(aBytes.size()), &written, nullptr),
      "WriteFile");
}

bool Exists(const std::wstring &aPath) {
  return ::GetFileAttributesW(aPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring BuiltProgram(const std::wstring &aFileName) {
  return Harness::BesideThisExe(aFileName);
}

} // namespace UpdateTest
