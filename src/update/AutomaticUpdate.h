#pragma once

#include "Pagekeep.Version.h"
#include "shared/Handles.h"
#include "update/HTTPDownloader.h"
#include "update/UpdateSignature.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Starts a program as ShellExecuteExW would; false when it did not start
// (for example when the user refused the elevation prompt).
using TElevatedLauncher = std::function<bool(SHELLEXECUTEINFOW &aInfo)>;
// Asked before each rename of the swap; false makes that rename fail.
using TRenameFilter = std::function<bool(const std::wstring &aFrom, const std::wstring &aTo)>;

class TUpdateFile;

// Where the updater looks and what it uses. The program uses ForThisProgram();
// tests point it at a server, a folder and a registry key of their own.
struct TUpdateSettings {
  std::wstring BaseURL;                             // ends in "/"; both requests are appended to it
  std::wstring ExePath;                             // the executable to replace
  std::wstring RegistryKey = L"Software\\Pagekeep"; // under HKEY_CURRENT_USER
  TElevatedLauncher Launcher;                       // empty: ShellExecuteExW
  TRenameFilter RenameAllowed;                      // empty: every rename is tried
  TUpdateKey Key = BuildUpdateKey();                // what update.data must be signed by
  TTransferLimits DownloadLimits = ::DownloadLimits;

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
  // True when the server offers a version other than OwnVersion
  // (IsOfferedVersion).
  bool UpdateAvailable();
  // Check, signature, download and swap. False when there is no update, or
  // no new executable signed by the settings' key could be put in place;
  // the old one then still runs and no download is left behind.
  bool Update(const TProgressEvent &aCallback);

  static bool IsAdmin(const std::wstring &aHost);
  // With aProcess, the started process's handle comes back in it (empty
  // when the shell gives none).
  bool RunAsAdmin(HWND aWindow, const std::wstring &aFileName, const std::wstring &aParameters,
                  TKernelHandle *aProcess = nullptr);

  const TUpdateSettings &Settings() const noexcept { return fSettings; }
  std::wstring DownloadFolder() const;
  std::wstring BackupPath() const;

private:
  void RemoveLeftovers();
  void RemoveDownload();
  bool DownloadAndReplace(const TProgressEvent &aCallback);
  bool SwapIn(TUpdateFile &aDownloaded);
  bool RenameAllowed(const std::wstring &aFrom, const std::wstring &aTo) const;
  std::wstring DownloadTarget() const;

  TUpdateSettings fSettings;
  std::wstring fUID;
};

// The check request: base URL + "update.php?guid=" + the identifier, which
// goes out as it is except for characters that would break the request
// line (controls, space, '#', '%', non-ASCII), which are percent-encoded.
std::wstring UpdateCheckURL(const std::wstring &aBaseURL, const std::wstring &aIdentifier);

// The check's answer names an update when, without surrounding white space,
// it looks like a version (digits in groups separated by single dots, at
// most 32 characters) and is not OwnVersion. An error page, a text or
// nothing at all is no update.
bool IsOfferedVersion(const std::wstring &aAnswer);

// True for a complete Windows executable of machine type aMachine
// (IMAGE_FILE_MACHINE_I386 or _AMD64): PE headers of that kind, an exe and
// not a DLL, and every section's data inside the file.
bool IsCompleteExecutable(const std::vector<std::uint8_t> &aImage, WORD aMachine);

// The process-wide updater, created while the program loads.
extern TAutomaticUpdate AutomaticUpdate;
