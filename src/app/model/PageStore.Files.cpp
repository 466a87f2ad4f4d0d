// Where the two data files live, and loading them as the program does.
#include "app/model/PageStore.h"

#include <shlobj.h>

namespace PageStore {

std::wstring GetSpecialFolderPath(int aCSIDL) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, aCSIDL, nullptr, SHGFP_TYPE_CURRENT, path)))
    return {};
  return path;
}

std::wstring ClipboardDataFileName() {
  return GetSpecialFolderPath(CSIDL_APPDATA) + L"\\Pagekeep\\ClipboardData.dat";
}

std::wstring HistoryDataFileName() {
  return GetSpecialFolderPath(CSIDL_APPDATA) + L"\\Pagekeep\\HistoryData.dat";
}

void SaveDataFiles(const TSavedPages &aPages) {
  Save(aPages, ClipboardDataFileName(), HistoryDataFileName());
}

// When one file is damaged neither is loaded, so both are put aside before
// the error goes on: the next save would otherwise overwrite what may still
// be rescued, the whole file of the pair too.
TLoadedPages LoadDataFiles() {
  const std::wstring pagesFile = ClipboardDataFileName();
  const std::wstring historyFile = HistoryDataFileName();
  try {
    return Load(pagesFile, historyFile);
  } catch (const EDamagedDataFile &e) {
    PutAside(e.FileName());
    const std::wstring &partner = e.FileName() == pagesFile ? historyFile : pagesFile;
    if (::GetFileAttributesW(partner.c_str()) != INVALID_FILE_ATTRIBUTES)
      PutAside(partner);
    throw;
  }
}

void DeleteDataFiles() {
  Delete(ClipboardDataFileName(), HistoryDataFileName());
}

} // namespace PageStore
