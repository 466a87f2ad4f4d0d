// Custom actions of the Pagekeep installer. Windows Installer calls them by
// their exported names (InstallerActions.def); each logs what it did and
// returns success, so a program that will not end never blocks an uninstall.

#include "shared/Handles.h"

#include <windows.h>

#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

namespace {

constexpr const wchar_t *ProgramFile = L"Pagekeep.exe";
// The main form's title: closing it runs the program's own shutdown, which
// takes its tray icon away.
constexpr const wchar_t *FormCaption = L"Stowage Notifier";
constexpr DWORD CloseWait = 5000;
constexpr DWORD TerminateWait = 5000;

struct TMsiHandleTraits {
  using Handle = MSIHANDLE;
  static Handle Invalid() noexcept { return 0; }
  static void Close(Handle aHandle) noexcept { ::MsiCloseHandle(aHandle); }
};
using TMsiHandle = TUniqueHandle<TMsiHandleTraits>;

void Log(MSIHANDLE aInstall, const std::wstring &aText) {
  TMsiHandle record(::MsiCreateRecord(1));
  if (!record)
    return;
  ::MsiRecordSetStringW(record.Get(), 0, (L"Pagekeep: " + aText).c_str());
  ::MsiProcessMessage(aInstall, INSTALLMESSAGE_INFO, record.Get());
}

std::wstring Property(MSIHANDLE aInstall, const wchar_t *aName) {
  DWORD size = 0;
  wchar_t empty[1] = L"";
  if (::MsiGetPropertyW(aInstall, aName, empty, &size) != ERROR_MORE_DATA)
    return L"";
  std::wstring value(size + 1, L'\0');
  size = static_cast<DWORD>(value.size());
  if (::MsiGetPropertyW(aInstall, aName, value.data(), &size) != ERROR_SUCCESS)
    return L"";
  value.resize(size);
  return value;
}

// The installation folder with its trailing separator, or "" when unknown.
std::wstring InstallFolder(MSIHANDLE aInstall) {
  std::wstring folder = Property(aInstall, L"INSTALLDIR");
  if (!folder.empty() && folder.back() != L'\\')
    folder += L'\\';
  return folder;
}

std::wstring ImagePath(HANDLE aProcess) {
  std::vector<wchar_t> path(32768);
  DWORD size = static_cast<DWORD>(path.size());
  if (!::QueryFullProcessImageNameW(aProcess, 0, path.data(), &size))
    return L"";
  return std::wstring(path.data(), size);
}

bool SamePath(const std::wstring &aLeft, const std::wstring &aRight) {
  return ::CompareStringOrdinal(aLeft.c_str(), static_cast<int>(aLeft.size()), aRight.c_str(),
                                static_cast<int>(aRight.size()), TRUE) == CSTR_EQUAL;
}

std::vector<DWORD> ProcessesRunning(const std::wstring &aExePath) {
  std::vector<DWORD> found;
  TFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot)
    return found;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
       more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (!SamePath(entry.szExeFile, ProgramFile))
      continue;
    TKernelHandle process(
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    if (process && SamePath(ImagePath(process.Get()), aExePath))
      found.push_back(entry.th32ProcessID);
  }
  return found;
}

struct TFormSearch {
  DWORD ProcessId;
  bool Posted = false;
};

BOOL CALLBACK CloseForm(HWND aWindow, LPARAM aSearch) {
  auto &search = *reinterpret_cast<TFormSearch *>(aSearch);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(aWindow, &owner);
  wchar_t title[64]{};
  if (owner == search.ProcessId && ::GetWindowTextW(aWindow, title, 64) > 0 &&
      std::wstring(title) == FormCaption)
    search.Posted = ::PostMessageW(aWindow, WM_CLOSE, 0, 0) || search.Posted;
  return TRUE;
}

// Asks the program to close as its tray menu's "Close" does; ends it when it
// does not within a few seconds (or has no window this session can reach).
void EndProcess(MSIHANDLE aInstall, DWORD aProcessId) {
  TKernelHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, aProcessId));
  if (!process) {
    Log(aInstall, L"cannot open process " + std::to_wstring(aProcessId) + L", error " +
                      std::to_wstring(::GetLastError()));
    return;
  }
  TFormSearch search{aProcessId};
  ::EnumWindows(&CloseForm, reinterpret_cast<LPARAM>(&search));
  if (search.Posted && ::WaitForSingleObject(process.Get(), CloseWait) == WAIT_OBJECT_0) {
    Log(aInstall, L"closed process " + std::to_wstring(aProcessId));
    return;
  }
  if (::TerminateProcess(process.Get(), 1) &&
      ::WaitForSingleObject(process.Get(), TerminateWait) == WAIT_OBJECT_0)
    Log(aInstall, L"ended process " + std::to_wstring(aProcessId));
  else
    Log(aInstall, L"could not end process " + std::to_wstring(aProcessId) + L", error " +
                      std::to_wstring(::GetLastError()));
}

// The user's roaming application data folder with its trailing separator,
// or "" when the shell does not name one.
std::wstring RoamingDataFolder() {
  wchar_t path[MAX_PATH]{};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
    return L"";
  return std::wstring(path) + L"\\";
}

// Deletes one file; one that is not there is no failure.
void DeleteLeftover(MSIHANDLE aInstall, const std::wstring &aPath) {
  if (::DeleteFileW(aPath.c_str()))
    Log(aInstall, L"removed " + aPath);
  else if (::GetLastError() != ERROR_FILE_NOT_FOUND && ::GetLastError() != ERROR_PATH_NOT_FOUND)
    Log(aInstall, L"cannot remove " + aPath + L", error " + std::to_wstring(::GetLastError()));
}

} // namespace

// Ends every Pagekeep that runs from the installation folder, so that its
// file can be replaced or removed now rather than at the next restart.
extern "C" UINT __stdcall EndRunningPagekeep(MSIHANDLE aInstall) {
  const std::wstring folder = InstallFolder(aInstall);
  if (folder.empty())
    return ERROR_SUCCESS;
  for (DWORD id : ProcessesRunning(folder + ProgramFile))
    EndProcess(aInstall, id);
  return ERROR_SUCCESS;
}

// Removes what a self-update leaves beside the program (the backup and the
// download folder with the downloaded program) and nothing else: a folder
// that still holds other files stays.
extern "C" UINT __stdcall RemoveUpdateLeftovers(MSIHANDLE aInstall) {
  const std::wstring folder = InstallFolder(aInstall);
  if (folder.empty())
    return ERROR_SUCCESS;
  DeleteLeftover(aInstall, folder + ProgramFile + L".old");
  DeleteLeftover(aInstall, folder + L"Update\\" + ProgramFile);
  if (::RemoveDirectoryW((folder + L"Update").c_str()))
    Log(aInstall, L"removed " + folder + L"Update");
  return ERROR_SUCCESS;
}

// Only when the uninstall is asked to (REMOVEUSERDATA=1): the data files of
// the user who uninstalls, their folder if nothing else is in it, and the
// program's settings under HKEY_CURRENT_USER.
extern "C" UINT __stdcall RemoveUserData(MSIHANDLE aInstall) {
  const std::wstring roaming = RoamingDataFolder();
  if (!roaming.empty()) {
    const std::wstring folder = roaming + L"Pagekeep\\";
    DeleteLeftover(aInstall, folder + L"ClipboardData.dat");
    DeleteLeftover(aInstall, folder + L"HistoryData.dat");
    if (::RemoveDirectoryW(folder.c_str()))
      Log(aInstall, L"removed " + folder);
  }
  const LSTATUS status = ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Pagekeep");
  if (status == ERROR_SUCCESS)
    Log(aInstall, L"removed HKEY_CURRENT_USER\\Software\\Pagekeep");
  else if (status != ERROR_FILE_NOT_FOUND)
    Log(aInstall,
        L"cannot remove HKEY_CURRENT_USER\\Software\\Pagekeep, error " + std::to_wstring(status));
  return ERROR_SUCCESS;
}
