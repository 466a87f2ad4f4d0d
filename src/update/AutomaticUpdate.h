#pragma once

#include "Pagekeep.Version.h"
#include "update/HTTPDownloader.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Starts a program as ShellExecuteExW would; false when it did not start
// (for example when the user refused the elevation prompt).
using TElevatedLauncher = std::function<bool(SHELLEXECUTEINFOW &aInfo)>;
// Renames a file without overwriting; false when it failed.
using TFileMover = std::function<bool(const std::wstring &aFrom, const std::wstring &aTo)>;

// Where the updater looks and what it uses. The program uses ForThisProgram();
// tests point it at a server, a folder and a registry key of their own.
struct TUpdateSettings {
  std::wstring BaseURL;                             // ends in "/"; both requests are appended to it
  std::wstring ExePath;                             // the executable to replace
  std::wstring RegistryKey = L"Software\\Pagekeep"; // under HKEY_CURRENT_USER
  TElevatedLauncher Launcher;                       // empty: ShellExecuteExW
  TFileMover Move;                                  // empty: MoveFileExW

  static TUpdateSettings ForThisProgram();
};

// Installation identifier, update check, download and swap of the
// executable, and the two elevation helpers.
class TAutomaticUpdate {
public:
  static constexpr const wchar_t *OwnVersion = PagekeepVersion;
  // The build's update server (the PAGEKEEP_UPDATE_URL build option).
  static std::wstring DefaultBaseURL();

  // Removes what an earlier update left behind.
  explicit TAutomaticUpdate(TUpdateSettings aSettings = TUpdateSettings::ForThisProgram());
  TAutomaticUpdate(const TAutomaticUpdate &) = delete;
  TAutomaticUpdate &operator=(const TAutomaticUpdate &) = delete;

  // The 38-character GUID kept in "app.uid", made on first use. Empty when
  // the key cannot be opened; throws ERegistryTypeError for a non-string value.
  std::wstring AppGUID();
  // True when the server offers a version other than OwnVersion.
  bool UpdateAvailable();
  // Check, download and swap. False when there is no update or the new
  // executable could not be put in place; the old one then still runs.
  bool Update(const TProgressEvent &aCallback);

  static bool IsAdmin(const std::wstring &aHost);
  bool RunAsAdmin(HWND aWindow, const std::wstring &aFileName, const std::wstring &aParameters);

  const TUpdateSettings &Settings() const noexcept { return fSettings; }
  std::wstring DownloadFolder() const;
  std::wstring BackupPath() const;

private:
  void RemoveLeftovers();
  bool DownloadAndReplace(const TProgressEvent &aCallback);
  bool SwapIn(const std::wstring &aDownloaded);
  bool Move(const std::wstring &aFrom, const std::wstring &aTo) const;

  TUpdateSettings fSettings;
  std::wstring fUID;
};

// The check request: base URL + "update.php?guid=" + the identifier, which
// goes out as it is except for characters that would break the request
// line (controls, space, '#', '%', non-ASCII), which are percent-encoded.
std::wstring UpdateCheckURL(const std::wstring &aBaseURL, const std::wstring &aIdentifier);

// True for a complete 32-bit (i386) Windows executable: PE headers, an exe
// and not a DLL, and every section's data inside the file.
bool IsCompleteI386Executable(const std::vector<std::uint8_t> &aImage);

// The process-wide updater, created while the program loads.
extern TAutomaticUpdate AutomaticUpdate;
