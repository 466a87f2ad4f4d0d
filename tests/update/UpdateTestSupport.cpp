#include "UpdateTestSupport.h"

#include "harness/Harness.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace UpdateTest {

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

std::wstring BuiltProgram(const std::wstring &aFileName) {
  return Harness::BesideThisExe(aFileName);
}

std::wstring Fixture(const std::wstring &aFileName) {
  return BuiltProgram(L"e2e-update\\" + aFileName);
}

TBytes NewerBuild() {
  return ReadFileBytes(Fixture(L"update.data"));
}

std::wstring NewerVersion() {
  const TBytes text = ReadFileBytes(Fixture(L"update.data.version"));
  return std::wstring(text.begin(), text.end());
}

} // namespace UpdateTest
