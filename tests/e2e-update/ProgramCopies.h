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

// Releases made at build time in bin\e2e-update, each the build's
// Pagekeep.exe claiming another version (second-build.py) with its
// signature: update.data (newer, signed in update.sig), older.exe and
// other-machine.exe (newer, of the other machine type), each with a .sig;
// other.sig and server.sig sign the build's own exe and the update server's.
std::wstring ReleaseFolder();
TBytes SecondBuild();
// The version update.data claims.
std::wstring NewerVersion();

// Where the program downloads an update: the user's own
// %LOCALAPPDATA%\Pagekeep\Update, without its separator.
std::wstring UserDownloadFolder();
// Removes that folder (or the link planted there) with the files in it.
void RemoveUserDownloadFolder();
// Makes aLink a link to the folder aTarget: a junction, or a directory
// symbolic link where the system has no junctions. False when it has
// neither.
bool PlantFolderLink(const std::wstring &aLink, const std::wstring &aTarget);
// The files in a folder, without "." and "..".
std::vector<std::wstring> FilesIn(const std::wstring &aFolder);

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
