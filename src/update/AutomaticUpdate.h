#pragma once

#include "Pagekeep.Version.h"
#include "shared/Handles.h"
#include "update/HTTPDownloader.h"
#include "update/UpdateSignature.h"
#include "update/UpdateVerdict.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <optional>
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
  // Where the normal-rights process downloads and checks an update: a
  // folder of the user's own; ends in "\".
  std::wstring UserFolder;
  // Whether this process can swap the exe itself; empty: tried in the exe's
  // folder. Where it cannot, the elevated copy does.
  std::function<bool(const std::wstring &aFolder)> FolderWritable;

  static TUpdateSettings ForThisProgram();
};

// Installation identifier, update check, download and checks, swap of the
// executable, the memory of refused versions, and the two elevation helpers.
class TAutomaticUpdate {
public:
  static constexpr const wchar_t *OwnVersion = PagekeepVersion;
  // A refused version is not fetched again for this long (100 ns units).
  static constexpr std::uint64_t RefusalMemory = 24ull * 60 * 60 * 10'000'000;
  // The build's update server (the PAGEKEEP_UPDATE_URL build option).
  static std::wstring DefaultBaseURL();
  // %LOCALAPPDATA%\Pagekeep\Update\ of the user running this.
  static std::wstring DefaultUserFolder();

  // Does nothing else: the program's start removes leftovers itself
  // (RemoveLeftovers), and other processes of the exe leave them alone.
  explicit TAutomaticUpdate(TUpdateSettings aSettings = TUpdateSettings::ForThisProgram());
  TAutomaticUpdate(const TAutomaticUpdate &) = delete;
  TAutomaticUpdate &operator=(const TAutomaticUpdate &) = delete;

  // The 38-character GUID kept in "app.uid", made on first use. Empty when
  // the key cannot be opened; throws ERegistryTypeError for a non-string value.
  std::wstring AppGUID();
  // The version the server offers when it is one to fetch: it looks like
  // a version (IsOfferedVersion), is newer than OwnVersion, and was not
  // refused within RefusalMemory.
  std::optional<std::wstring> OfferedUpdate();
  bool UpdateAvailable() { return OfferedUpdate().has_value(); }

  // Downloads update.sig and update.data into UserFolder and judges them
  // against aOffered. Nothing when the download failed (as when the server
  // is down); a refusal is remembered and its files are removed. After
  // uvAccepted both stay in UserFolder for InstallFrom.
  std::optional<TUpdateVerdict> Fetch(const std::wstring &aOffered,
                                      const TProgressEvent &aCallback);
  // Where Fetch leaves the checked executable; its signature lies beside it
  // as "update.sig".
  std::wstring FetchedPath() const;
  void RemoveFetched();

  // True when this process can swap the executable itself (its folder is
  // the user's own), so no elevation is needed.
  bool CanSwapWithoutElevation() const;
  // Installs the checked executable at aFetchedPath, trusting nothing of it:
  // opened as a regular file with no write sharing, judged again (signature,
  // kind, product, a version newer than OwnVersion) from that handle, copied
  // into DownloadFolder() through handles that refuse links, then swapped.
  // True once swapped.
  bool InstallFrom(const std::wstring &aFetchedPath);

  // Check, download, checks and swap in one process. False when there is
  // no update, or none that passed could be put in place; the old one then
  // still runs and no download is left behind.
  bool Update(const TProgressEvent &aCallback);

  // Remembers aVersion with the time (and why, for whoever looks), so that
  // OfferedUpdate passes it over for RefusalMemory.
  void RememberRefusal(const std::wstring &aVersion, const std::wstring &aReason);
  bool RecentlyRefused(const std::wstring &aVersion);

  // What an earlier update left behind: the program folder's download and
  // backup, and the download in UserFolder.
  void RemoveLeftovers();

  static bool IsAdmin(const std::wstring &aHost);
  // With aProcess, the started process's handle comes back in it (empty
  // when the shell gives none).
  bool RunAsAdmin(HWND aWindow, const std::wstring &aFileName, const std::wstring &aParameters,
                  TKernelHandle *aProcess = nullptr);

  const TUpdateSettings &Settings() const noexcept { return fSettings; }
  std::wstring DownloadFolder() const;
  std::wstring BackupPath() const;

private:
  void RemoveDownload();
  std::optional<TUpdateVerdict> DownloadInto(const std::wstring &aOffered,
                                             const TProgressEvent &aCallback);
  bool CopyAndSwap(const std::vector<std::uint8_t> &aImage);
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
// The answer without surrounding white space.
std::wstring TrimmedAnswer(const std::wstring &aAnswer);

// True for a complete Windows executable of machine type aMachine
// (IMAGE_FILE_MACHINE_I386 or _AMD64): PE headers of that kind, an exe and
// not a DLL, and every section's data inside the file.
bool IsCompleteExecutable(const std::vector<std::uint8_t> &aImage, WORD aMachine);

// The process-wide updater, created while the program loads; it acts only
// when called.
extern TAutomaticUpdate AutomaticUpdate;
