#include "ProgramCopies.h"

#include "shared/Handles.h"

#include <shlobj.h>
#include <tlhelp32.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <stdexcept>

namespace ProgramCopies {

namespace {

constexpr const wchar_t *FormCaption = L"Stowage Notifier";
constexpr const wchar_t *TrayClass = L"PagekeepTrayWindow";

std::wstring Lower(std::wstring aText) {
  std::transform(aText.begin(), aText.end(), aText.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  return aText;
}

struct TWindowSearch {
  const wchar_t *Class;
  const wchar_t *Title;
  std::vector<HWND> Found;
};

BOOL CALLBACK CollectWindow(HWND aWindow, LPARAM aSearch) {
  auto &search = *reinterpret_cast<TWindowSearch *>(aSearch);
  wchar_t text[256]{};
  if (search.Class) {
    ::GetClassNameW(aWindow, text, 256);
    if (std::wstring(text) != search.Class)
      return TRUE;
  }
  if (search.Title) {
    ::GetWindowTextW(aWindow, text, 256);
    if (std::wstring(text) != search.Title)
      return TRUE;
  }
  search.Found.push_back(aWindow);
  return TRUE;
}

std::vector<HWND> TopLevelWindows(const wchar_t *aClass, const wchar_t *aTitle) {
  TWindowSearch search{aClass, aTitle, {}};
  ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

HWND WindowOfProcess(DWORD aProcessId, const wchar_t *aClass, const wchar_t *aTitle) {
  for (HWND window : TopLevelWindows(aClass, aTitle)) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == aProcessId)
      return window;
  }
  return nullptr;
}

} // namespace

void ResetInstallation() {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, AppKey);
  HKEY run = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, RunKey, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, &run) ==
      ERROR_SUCCESS) {
    TRegistryKey key(run);
    ::RegDeleteValueW(key.Get(), L"Pagekeep");
  }
}

void WriteStoredVersion(const std::wstring &aVersion) {
  HKEY created = nullptr;
  CheckWin32(::RegCreateKeyExW(HKEY_CURRENT_USER, AppKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                               &created, nullptr) == ERROR_SUCCESS,
             "RegCreateKeyExW");
  TRegistryKey key(created);
  CheckWin32(::RegSetValueExW(
                 key.Get(), L"version", 0, REG_SZ, reinterpret_cast<const BYTE *>(aVersion.c_str()),
                 static_cast<DWORD>((aVersion.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS,
             "RegSetValueExW");
}

std::optional<std::wstring> ReadValue(const std::wstring &aKey, const std::wstring &aName) {
  wchar_t buffer[1024];
  DWORD size = sizeof buffer;
  if (::RegGetValueW(HKEY_CURRENT_USER, aKey.c_str(), aName.c_str(),
                     RRF_RT_REG_SZ | RRF_SUBKEY_WOW6432KEY, nullptr, buffer,
                     &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(buffer);
}

std::wstring ReleaseFolder() {
  return Harness::BesideThisExe(L"e2e-update\\");
}

TBytes SecondBuild() {
  return ReadFileBytes(ReleaseFolder() + L"update.data");
}

std::wstring NewerVersion() {
  const TBytes text = ReadFileBytes(ReleaseFolder() + L"update.data.version");
  return std::wstring(text.begin(), text.end());
}

std::wstring UserDownloadFolder() {
  wchar_t path[MAX_PATH];
  CheckWin32(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                                          path)),
             "SHGetFolderPathW");
  return std::wstring(path) + L"\\Pagekeep\\Update";
}

void RemoveUserDownloadFolder() {
  const std::wstring folder = UserDownloadFolder();
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return;
  // A link goes as a link, its target's files stay.
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    for (const std::wstring &name : FilesIn(folder))
      ::DeleteFileW((folder + L"\\" + name).c_str());
  ::RemoveDirectoryW(folder.c_str());
}

namespace {

// A mount point's reparse data: substitute name, then print name, each
// NUL-terminated, in one buffer.
bool MakeJunction(const std::wstring &aLink, const std::wstring &aTarget) {
  if (!::CreateDirectoryW(aLink.c_str(), nullptr))
    return false;
  TFileHandle link(::CreateFileW(aLink.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                 nullptr));
  const std::wstring substitute = L"\\??\\" + aTarget;
  const size_t substituteBytes = substitute.size() * sizeof(wchar_t);
  const size_t printBytes = aTarget.size() * sizeof(wchar_t);
  std::vector<std::uint8_t> buffer(8 + 8 + substituteBytes + printBytes + 4, 0);
  // Little-endian by bytes: GCC sees a possibly null data() in memcpy.
  const auto put16 = [&](size_t aAt, size_t aValue) {
    buffer.at(aAt) = static_cast<std::uint8_t>(aValue & 0xFF);
    buffer.at(aAt + 1) = static_cast<std::uint8_t>((aValue >> 8) & 0xFF);
  };
  const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
  put16(0, tag & 0xFFFF);
  put16(2, tag >> 16);
  put16(4, buffer.size() - 8);
  put16(8, 0);
  put16(10, substituteBytes);
  put16(12, substituteBytes + 2);
  put16(14, printBytes);
  std::memcpy(buffer.data() + 16, substitute.c_str(), substituteBytes);
  std::memcpy(buffer.data() + 16 + substituteBytes + 2, aTarget.c_str(), printBytes);
  DWORD returned = 0;
  if (link && ::DeviceIoControl(link.Get(), FSCTL_SET_REPARSE_POINT, buffer.data(),
                                static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr))
    return true;
  link.Reset();
  ::RemoveDirectoryW(aLink.c_str());
  return false;
}

bool IsLink(const std::wstring &aPath) {
  const DWORD attributes = ::GetFileAttributesW(aPath.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

} // namespace

bool PlantFolderLink(const std::wstring &aLink, const std::wstring &aTarget) {
  const std::wstring target =
      aTarget.ends_with(L"\\") ? aTarget.substr(0, aTarget.size() - 1) : aTarget;
  if (MakeJunction(aLink, target) && IsLink(aLink))
    return true;
  return ::CreateSymbolicLinkW(aLink.c_str(), target.c_str(),
                               SYMBOLIC_LINK_FLAG_DIRECTORY |
                                   SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
         IsLink(aLink);
}

std::vector<std::wstring> FilesIn(const std::wstring &aFolder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW((aFolder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..")
      names.push_back(name);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

DWORD ParentOf(DWORD aProcessId) {
  TFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  CheckWin32(static_cast<bool>(snapshot), "CreateToolhelp32Snapshot");
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
       more = ::Process32NextW(snapshot.Get(), &entry))
    if (entry.th32ProcessID == aProcessId)
      return entry.th32ParentProcessID;
  return 0;
}

std::wstring TProgramView::Announcement() const {
  HWND form = WindowOfProcess(fProcessId, nullptr, FormCaption);
  HWND text = form ? ::FindWindowExW(form, nullptr, L"Static", nullptr) : nullptr;
  wchar_t buffer[256]{};
  if (text)
    ::GetWindowTextW(text, buffer, 256);
  return buffer;
}

bool TProgramView::Ready() const {
  HWND tray = WindowOfProcess(fProcessId, TrayClass, nullptr);
  if (!tray)
    return false;
  DWORD_PTR state = 0;
  // Asks for the "Close" item: the menu is complete once it answers.
  ::SendMessageTimeoutW(tray, ::RegisterWindowMessageW(L"Pagekeep.TrayItemState"), 10, 0,
                        SMTO_NORMAL, 2000, &state);
  return state & 1;
}

bool BalloonShown(const std::wstring &aText) {
  for (HWND tip : TopLevelWindows(L"tooltips_class32", nullptr)) {
    // GetWindowTextW does not ask a window of another process for its text.
    wchar_t text[512]{};
    DWORD_PTR length = 0;
    ::SendMessageTimeoutW(tip, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 1000,
                          &length);
    if (::IsWindowVisible(tip) && std::wstring(text).find(aText) != std::wstring::npos)
      return true;
  }
  return false;
}

std::wstring ImagePath(DWORD aProcessId) {
  TKernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, aProcessId));
  if (!process)
    return L"";
  wchar_t path[MAX_PATH * 2];
  DWORD size = MAX_PATH * 2;
  if (!::QueryFullProcessImageNameW(process.Get(), 0, path, &size))
    return L"";
  return std::wstring(path, size);
}

std::vector<DWORD> ProcessesOf(const std::wstring &aExePath) {
  std::vector<DWORD> result;
  for (HWND form : TopLevelWindows(nullptr, FormCaption)) {
    DWORD id = 0;
    ::GetWindowThreadProcessId(form, &id);
    if (Lower(ImagePath(id)) == Lower(aExePath) &&
        std::find(result.begin(), result.end(), id) == result.end())
      result.push_back(id);
  }
  return result;
}

std::optional<DWORD> WaitForReadyProcessOf(const std::wstring &aExePath,
                                           std::chrono::milliseconds aTimeout) {
  std::optional<DWORD> ready;
  Harness::WaitUntil(
      [&] {
        for (DWORD id : ProcessesOf(aExePath))
          if (TProgramView(id).Ready())
            ready = id;
        return ready.has_value();
      },
      aTimeout);
  return ready;
}

void EndProcessesOf(const std::wstring &aExePath) {
  for (DWORD id : ProcessesOf(aExePath)) {
    TKernelHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id));
    if (!process)
      continue;
    if (HWND form = WindowOfProcess(id, nullptr, FormCaption))
      ::PostMessageW(form, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(process.Get(), 3000) != WAIT_OBJECT_0) {
      ::TerminateProcess(process.Get(), 1);
      ::WaitForSingleObject(process.Get(), 3000);
    }
  }
}

} // namespace ProgramCopies
