#include "update/AutomaticUpdate.h"

#include "shared/Trace.h"

#include "shared/Architecture.h"
#include "shared/Paths.h"
#include "shared/Registry.h"
#include "update/UpdateVersion.h"

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

} // namespace

std::wstring TAutomaticUpdate::DefaultBaseURL() {
  return L"" PAGEKEEP_DEFAULT_UPDATE_URL;
}

TUpdateSettings TUpdateSettings::ForThisProgram() {
  TUpdateSettings settings;
  settings.BaseURL = TAutomaticUpdate::DefaultBaseURL();
  settings.ExePath = ModulePath();
  settings.UserFolder = TAutomaticUpdate::DefaultUserFolder();
  return settings;
}

std::wstring TAutomaticUpdate::DefaultUserFolder() {
  wchar_t path[MAX_PATH];
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
    return {};
  return std::wstring(path) + L"\\Pagekeep\\Update\\";
}

TAutomaticUpdate::TAutomaticUpdate(TUpdateSettings aSettings) : fSettings(std::move(aSettings)) {}

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

std::optional<std::wstring> TAutomaticUpdate::OfferedUpdate() {
  const std::wstring answer =
      THTTPDownloader::Download(UpdateCheckURL(fSettings.BaseURL, AppGUID()));
  if (!IsOfferedVersion(answer))
    return std::nullopt;
  const std::wstring offered = TrimmedAnswer(answer);
  // An older offer is never fetched: it could only be refused.
  if (CompareVersions(offered, OwnVersion).value_or(0) <= 0 || RecentlyRefused(offered))
    return std::nullopt;
  return offered;
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
