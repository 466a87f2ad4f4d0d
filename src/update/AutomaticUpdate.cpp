#include "update/AutomaticUpdate.h"

#include "shared/Trace.h"

#include "shared/Architecture.h"
#include "shared/Paths.h"
#include "update/AutomaticUpdate.Registry.h"
#include "update/UpdateFile.h"

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

std::wstring WithoutTrailingSeparator(std::wstring aPath) {
  while (!aPath.empty() && (aPath.back() == L'\\' || aPath.back() == L'/'))
    aPath.pop_back();
  return aPath;
}

bool IsFolderOfItsOwn(const std::wstring &aPath) {
  const DWORD attributes = ::GetFileAttributesW(aPath.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool MoveDurably(const std::wstring &aFrom, const std::wstring &aTo) {
  return ::MoveFileExW(aFrom.c_str(), aTo.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
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
  return IsOfferedVersion(THTTPDownloader::Download(UpdateCheckURL(fSettings.BaseURL, AppGUID())));
}

bool TAutomaticUpdate::Update(const TProgressEvent &aCallback) {
  if (!UpdateAvailable())
    return false;
  return DownloadAndReplace(aCallback);
}

std::wstring TAutomaticUpdate::DownloadTarget() const {
  return DownloadFolder() + FileNameOf(fSettings.ExePath);
}

// The signature comes first: without one there is nothing worth fetching.
// The file is checked as it lies on disk, through the handle that renames
// it, so what was checked is what runs.
bool TAutomaticUpdate::DownloadAndReplace(const TProgressEvent &aCallback) {
  TDownloadMemoryStream signature;
  if (!THTTPDownloader::Download(fSettings.BaseURL + L"update.sig", signature, nullptr,
                                 SignatureLimits) ||
      signature.Bytes().size() != UpdateSignatureSize)
    return false;
  ::SHCreateDirectoryExW(nullptr, WithoutTrailingSeparator(DownloadFolder()).c_str(), nullptr);
  bool verified = false;
  bool swapped = false;
  try {
    TUpdateFile file(DownloadTarget());
    if (THTTPDownloader::Download(fSettings.BaseURL + L"update.data", file, aCallback,
                                  fSettings.DownloadLimits)) {
      file.Flush();
      const std::vector<std::uint8_t> image = file.ReadAll();
      verified = IsCompleteExecutable(image, Architecture::OwnMachineType) &&
                 IsSignedBy(image, signature.Bytes(), fSettings.Key);
      swapped = verified && SwapIn(file);
    }
  } catch (const std::exception &) {
    RemoveLeftovers();
    throw;
  }
  // After a swap the backup is the program that runs this; after a failed
  // one it may be all that is left of it.
  if (verified)
    RemoveDownload();
  else
    RemoveLeftovers();
  return swapped;
}

// Both renames are checked: when the second fails the first is undone, so
// the program's own path always holds a runnable executable.
bool TAutomaticUpdate::SwapIn(TUpdateFile &aDownloaded) {
  const std::wstring &exe = fSettings.ExePath;
  const std::wstring backup = BackupPath();
  // A backup that survived the last load (its program was still running)
  // would block the first rename.
  ::DeleteFileW(backup.c_str());
  if (!RenameAllowed(exe, backup) || !MoveDurably(exe, backup))
    return false;
  if (RenameAllowed(DownloadTarget(), exe) && aDownloaded.RenameTo(exe))
    return true;
  if (!RenameAllowed(backup, exe) || !MoveDurably(backup, exe))
    ::CopyFileW(backup.c_str(), exe.c_str(), TRUE);
  return false;
}

bool TAutomaticUpdate::RenameAllowed(const std::wstring &aFrom, const std::wstring &aTo) const {
  return !fSettings.RenameAllowed || fSettings.RenameAllowed(aFrom, aTo);
}

// Only what the updater itself makes: its download, its folder once empty
// (a user's folder of the same name keeps everything else) and the backup.
// A folder that is a link to elsewhere is left alone.
void TAutomaticUpdate::RemoveLeftovers() {
  RemoveDownload();
  ::DeleteFileW(BackupPath().c_str());
}

void TAutomaticUpdate::RemoveDownload() {
  const std::wstring folder = WithoutTrailingSeparator(DownloadFolder());
  if (!IsFolderOfItsOwn(folder))
    return;
  ::DeleteFileW(DownloadTarget().c_str());
  ::RemoveDirectoryW(folder.c_str());
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
                                  const std::wstring &aParameters, TKernelHandle *aProcess) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | (aProcess ? SEE_MASK_NOCLOSEPROCESS : 0);
  info.hwnd = aWindow;
  info.lpVerb = L"runas";
  info.lpFile = aFileName.c_str();
  info.lpParameters = aParameters.empty() ? nullptr : aParameters.c_str();
  info.lpDirectory = nullptr;
  info.nShow = SW_SHOWNORMAL;
  const bool started = fSettings.Launcher ? fSettings.Launcher(info) : ::ShellExecuteExW(&info);
  if (aProcess)
    aProcess->Reset(started ? info.hProcess : nullptr);
  else if (info.hProcess)
    ::CloseHandle(info.hProcess);
  return started;
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
    for (int unit = 0; unit < count; ++unit) {
      wchar_t escaped[4];
      std::swprintf(escaped, 4, L"%%%02X", static_cast<unsigned char>(utf8[unit]));
      url += escaped;
    }
  }
  return url;
}
