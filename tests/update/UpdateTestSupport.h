#pragma once

#include "harness/Harness.h"

// Folders, files and registry keys of a test's own, removed again.

#include "shared/Handles.h"

#include <cstdint>
#include <string>
#include <vector>

namespace UpdateTest {

using TBytes = std::vector<std::uint8_t>;

using Harness::TTemporaryFolder;

// A key under HKEY_CURRENT_USER\Software\PagekeepTests, deleted at set-up
// and at the end.
class TTestRegistryKey {
public:
  explicit TTestRegistryKey(const std::wstring &aName);
  TTestRegistryKey(const TTestRegistryKey &) = delete;
  TTestRegistryKey &operator=(const TTestRegistryKey &) = delete;
  ~TTestRegistryKey();
  const std::wstring &Path() const noexcept { return fPath; }

private:
  std::wstring fPath;
};

// Suite and test name, for keys and folders of the test's own.
std::wstring CurrentTestName();

using Harness::Exists;
using Harness::ReadFileBytes;
using Harness::WriteFileBytes;
// A program of this build, beside the test exe.
std::wstring BuiltProgram(const std::wstring &aFileName);

// The signed builds made at build time for the update tests (bin\e2e-update):
// the build's own program claiming other versions, each with its signature.
std::wstring Fixture(const std::wstring &aFileName);
// update.data: the newer build, signed in update.sig.
TBytes NewerBuild();
// The version it claims.
std::wstring NewerVersion();

} // namespace UpdateTest
