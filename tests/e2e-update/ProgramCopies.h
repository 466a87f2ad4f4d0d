#pragma once

// What the update e2e tests need around the real program: the registry state
// it keeps, a copy of it in a folder of the test's own (so the build's exe
// is never replaced), and the processes the program starts by itself, found
// through their windows.

#include "harness/Harness.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace ProgramCopies {

using namespace std::chrono_literals;
using TBytes = std::vector<std::uint8_t>;

constexpr const wchar_t *AppKey = L"Software\\Pagekeep";
constexpr const wchar_t *RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Removes "Software\Pagekeep" and the "Pagekeep" autorun value.
void ResetInstallation();
void WriteStoredVersion(const std::wstring &aVersion);
std::optional<std::wstring> ReadValue(const std::wstring &aKey, const std::wstring &aName);

using Harness::Exists;
using Harness::ReadFileBytes;
using Harness::TTemporaryFolder;
using Harness::WriteFileBytes;

// A release made at build time in bin\e2e-update: update.data, the build's
// Pagekeep.exe with one letter of its DOS stub changed (another executable
// that runs the same and is told apart by its bytes), its signature
// update.sig, and other.sig, the signature of the build's own exe.
std::wstring ReleaseFolder();
TBytes SecondBuild();

// The process that started aProcessId; 0 when it is not found.
DWORD ParentOf(DWORD aProcessId);

// A running program as other processes see it.
class TProgramView {
public:
  explicit TProgramView(DWORD aProcessId) : fProcessId(aProcessId) {}
  DWORD Id() const noexcept { return fProcessId; }
  // The newest announcement, "<number> <text>"; "" when none yet.
  std::wstring Announcement() const;
  // True once the completion step has made the tray icon and its menu.
  bool Ready() const;

private:
  DWORD fProcessId;
};

// True while the shell shows a balloon tip with aText (a tooltip window of
// the notification area, whose text is the tip's).
bool BalloonShown(const std::wstring &aText);

// The image path of a running process; "" when it cannot be read.
std::wstring ImagePath(DWORD aProcessId);
// Processes with a main window of the program whose image is aExePath.
std::vector<DWORD> ProcessesOf(const std::wstring &aExePath);
// Waits for a process of aExePath with its tray icon ready.
std::optional<DWORD> WaitForReadyProcessOf(const std::wstring &aExePath,
                                           std::chrono::milliseconds aTimeout);
// Ends every process of aExePath (they were started by the test's programs):
// Close first, then by process id.
void EndProcessesOf(const std::wstring &aExePath);

} // namespace ProgramCopies
