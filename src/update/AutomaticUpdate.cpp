#include "update/AutomaticUpdate.h"

#include "shared/Trace.h"

#include "shared/Paths.h"
#include "update/AutomaticUpdate.Registry.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <winsvc.h>

#include <cwchar>
#include <stdexcept>
#include <utility>

namespace {

constexpr const wchar_t *IdentifierValue = L"app.uid";

// CoCreateGuid needs no COM on the thread.
std::wstring NewIdentifier() {
  GUID guid;
  if (FAILED(::CoCreateGuid(&guid)))
    throw std::runtime_error("CoCreateGuid failed");
  wchar_t text[39];
  std::swprintf(text, 39, L"{%08lX-%04hX-%04hX-%02hhX%02hhX-%02hhX%02hhX%02hhX%02hhX%02hhX%02hhX}",
                guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
                guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

struct TFindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle aHandle) noexcept { ::FindClose(aHandle); }
};
using TFindHandle = TUniqueHandle<TFindHandleTraits>;

// Deletes a folder with everything in it, skipping what cannot be deleted.
// Links inside it are removed, never followed, so nothing outside is touched.
void DeleteTree(const std::wstring &aFolder) {
  DWORD attributes = ::GetFileAttributesW(aFolder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return;
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW entry;
    TFindHandle find(::FindFirstFileW((aFolder + L"\\*").c_str(), &entry));
    for (bool more = static_cast<bool>(find); more; more = ::FindNextFileW(find.Get(), &entry)) {
      std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..")
        continue;
      std::wstring path = aFolder + L"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(path);
        continue;
      }
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileW(path.c_str());
    }
  }
  ::RemoveDirectoryW(aFolder.c_str());
}

std::wstring WithoutTrailingSeparator(std::wstring aPath) {
  while (!aPath.empty() && (aPath.back() == L'\\' || aPath.back() == L'/'))
    aPath.pop_back();
  return aPath;
}

class TDownloadFileStream : public TDownloadStream {
public:
  explicit TDownloadFileStream(HANDLE aFile) : fFile(aFile) {}
  void Write(const void *aData, std::size_t aCount) override {
    DWORD written = 0;
    CheckWin32(::WriteFile(fFile, aData, static_cast<DWORD>(aCount), &written, nullptr) &&
                   written == aCount,
               "WriteFile");
  }

private:
  HANDLE fFile;
};

std::vector<std::uint8_t> ReadWholeFile(const std::wstring &aPath) {
  TFileHandle file(::CreateFileW(aPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  CheckWin32(static_cast<bool>(file), "CreateFileW");
  LARGE_INTEGER size;
  CheckWin32(::GetFileSizeEx(file.Get(), &size), "GetFileSizeEx");
  if (size.QuadPart > 512ll * 1024 * 1024)
    throw std::runtime_error("update file too large");
  std::vector<std::uint8_t> bytes(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  CheckWin32(
      ::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
          read == bytes.size(),
      "ReadFile");
  return bytes;
}

bool IsCompleteI386ExecutableFile(const std::wstring &aPath) {
  try {
    return IsCompleteI386Executable(ReadWholeFile(aPath));
  } catch (const std::exception &) {
    TraceDroppedError();
    return false;
  }
}

} // namespace

std::wstring TAutomaticUpdate::DefaultBaseURL() {
  return L"" PAGEKEEP_DEFAULT_UPDATE_URL;
}

TUpdateSettings TUpdateSettings::ForThisProgram() {
  TUpdateSettings settings;
  settings.BaseURL = TAutomaticUpdate::DefaultBaseURL();
  settings.ExePath = ModulePath();
  return settings;
}

TAutomaticUpdate::TAutomaticUpdate(TUpdateSettings aSettings) : fSettings(std::move(aSettings)) {
  RemoveLeftovers();
}

std::wstring TAutomaticUpdate::DownloadFolder() const {
  return FolderOf(fSettings.ExePath) + L"Update\\";
}

std::wstring TAutomaticUpdate::BackupPath() const {
  return fSettings.ExePath + L".old";
}

std::wstring TAutomaticUpdate::AppGUID() {
  if (!fUID.empty())
    return fUID;
  TRegistryKey key = Registry::OpenCurrentUserKey(fSettings.RegistryKey, true);
  if (!key)
    return {};
  std::wstring identifier = Registry::ReadString(key.Get(), IdentifierValue).value_or(L"");
  if (identifier.empty()) {
    identifier = NewIdentifier();
    Registry::WriteString(key.Get(), IdentifierValue, identifier);
  }
  fUID = identifier;
  return fUID;
}

bool TAutomaticUpdate::UpdateAvailable() {
  const std::wstring answer =
      THTTPDownloader::Download(UpdateCheckURL(fSettings.BaseURL, AppGUID()));
  return !answer.empty() && answer != OwnVersion;
}

bool TAutomaticUpdate::Update(const TProgressEvent &aCallback) {
  if (!UpdateAvailable())
    return false;
  return DownloadAndReplace(aCallback);
}

bool TAutomaticUpdate::DownloadAndReplace(const TProgressEvent &aCallback) {
  ::SHCreateDirectoryExW(nullptr, WithoutTrailingSeparator(DownloadFolder()).c_str(), nullptr);
  const std::wstring target = DownloadFolder() + FileNameOf(fSettings.ExePath);
  bool downloaded = false;
  {
    TFileHandle file(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      const DWORD error = ::GetLastError();
      RemoveLeftovers();
      throw std::runtime_error(LastErrorText("CreateFileW (update file)", error));
    }
    TDownloadFileStream stream(file.Get());
    downloaded = THTTPDownloader::Download(fSettings.BaseURL + L"update.data", stream, aCallback);
  }
  // An error page served with 200 or a body cut short must never replace
  // the program.
  if (!downloaded || !IsCompleteI386ExecutableFile(target)) {
    RemoveLeftovers();
    return false;
  }
  return SwapIn(target);
}

// Both renames are checked: when the second fails the first is undone, so
// the program's own path always holds a runnable executable.
bool TAutomaticUpdate::SwapIn(const std::wstring &aDownloaded) {
  const std::wstring &exe = fSettings.ExePath;
  const std::wstring backup = BackupPath();
  // A backup that survived the last load (its program was still running)
  // would block the first rename.
  ::DeleteFileW(backup.c_str());
  bool swapped = false;
  if (Move(exe, backup)) {
    swapped = Move(aDownloaded, exe);
    if (!swapped && !Move(backup, exe))
      ::CopyFileW(backup.c_str(), exe.c_str(), TRUE);
  }
  if (!swapped)
    DeleteTree(WithoutTrailingSeparator(DownloadFolder()));
  return swapped;
}

bool TAutomaticUpdate::Move(const std::wstring &aFrom, const std::wstring &aTo) const {
  if (fSettings.Move)
    return fSettings.Move(aFrom, aTo);
  return ::MoveFileExW(aFrom.c_str(), aTo.c_str(), 0) != FALSE;
}

void TAutomaticUpdate::RemoveLeftovers() {
  DeleteTree(WithoutTrailingSeparator(DownloadFolder()));
  ::DeleteFileW(BackupPath().c_str());
}

// Every supported Windows is of the NT family, so the administrator test is
// the service control manager alone.
bool TAutomaticUpdate::IsAdmin(const std::wstring &aHost) {
  SC_HANDLE manager =
      ::OpenSCManagerW(aHost.empty() ? nullptr : aHost.c_str(), nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager)
    return false;
  ::CloseServiceHandle(manager);
  return true;
}

bool TAutomaticUpdate::RunAsAdmin(HWND aWindow, const std::wstring &aFileName,
                                  const std::wstring &aParameters) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.hwnd = aWindow;
  info.lpVerb = L"runas";
  info.lpFile = aFileName.c_str();
  info.lpParameters = aParameters.empty() ? nullptr : aParameters.c_str();
  info.lpDirectory = nullptr;
  info.nShow = SW_SHOWNORMAL;
  if (fSettings.Launcher)
    return fSettings.Launcher(info);
  return ::ShellExecuteExW(&info) != FALSE;
}

std::wstring UpdateCheckURL(const std::wstring &aBaseURL, const std::wstring &aIdentifier) {
  std::wstring url = aBaseURL + L"update.php?guid=";
  for (size_t i = 0; i < aIdentifier.size(); ++i) {
    const wchar_t c = aIdentifier[i];
    if (c > L' ' && c < 0x7F && c != L'#' && c != L'%') {
      url += c;
      continue;
    }
    const int units =
        IS_HIGH_SURROGATE(c) && i + 1 < aIdentifier.size() && IS_LOW_SURROGATE(aIdentifier[i + 1])
            ? 2
            : 1;
    char utf8[4];
    int count = ::WideCharToMultiByte(CP_UTF8, 0, &aIdentifier[i], units, utf8, sizeof utf8,
                                      nullptr, nullptr);
    i += static_cast<size_t>(units - 1);
    for (int byte = 0; byte < count; ++byte) {
      wchar_t escaped[4];
      std::swprintf(escaped, 4, L"%%%02X", static_cast<unsigned char>(utf8[byte]));
      url += escaped;
    }
  }
  return url;
}
