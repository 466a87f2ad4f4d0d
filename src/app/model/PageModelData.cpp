#include "app/model/PageModel.h"
#include "shared/Paths.h"

#include <shlobj.h>

namespace {

bool HasFormats(const TClipboardState &aState) {
  return aState && aState().Count() > 0;
}

// Reads both files. When one is damaged neither is loaded, so both are put
// aside before the error goes on: the next save would otherwise overwrite
// what may still be rescued, the whole file of the pair too.
PageStore::TLoadedPages LoadFiles() {
  const std::wstring pagesFile = TPageModel::ClipboardDataFileName();
  const std::wstring historyFile = TPageModel::HistoryDataFileName();
  try {
    return PageStore::Load(pagesFile, historyFile);
  } catch (const EDamagedDataFile &e) {
    PageStore::PutAside(e.FileName());
    const std::wstring &partner = e.FileName() == pagesFile ? historyFile : pagesFile;
    if (::GetFileAttributesW(partner.c_str()) != INVALID_FILE_ATTRIBUTES)
      PageStore::PutAside(partner);
    throw;
  }
}

} // namespace

std::wstring TPageModel::GetSpecialFolderPath(int aCSIDL) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, aCSIDL, nullptr, SHGFP_TYPE_CURRENT, path)))
    return {};
  return path;
}

std::wstring TPageModel::ClipboardDataFileName() {
  return GetSpecialFolderPath(CSIDL_APPDATA) + L"\\Pagekeep\\ClipboardData.dat";
}

std::wstring TPageModel::HistoryDataFileName() {
  return GetSpecialFolderPath(CSIDL_APPDATA) + L"\\Pagekeep\\HistoryData.dat";
}

TSavedPages TPageModel::SavedPages() const {
  TSavedPages saved;
  saved.Pages = fPages;
  saved.ActivePage = fActivePage;
  saved.History = fHistory;
  return saved;
}

void TPageModel::SaveData() const {
  PageStore::Save(SavedPages(), ClipboardDataFileName(), HistoryDataFileName());
}

// The clipboard comes last: a busy clipboard fails the load with the model
// already whole.
void TPageModel::LoadData() {
  PageStore::TLoadedPages loaded = LoadFiles();
  if (!loaded.Pages) {
    CreatePages();
    if (loaded.PagesFileEmpty)
      return;
  } else {
    fPages = std::move(*loaded.Pages);
    fActivePage = loaded.ActivePage;
  }
  if (loaded.History)
    fHistory.insert(fHistory.end(), loaded.History->begin(), loaded.History->end());
  const TClipboardState &active = fPages[static_cast<std::size_t>(fActivePage)];
  if (loaded.Pages && HasFormats(active))
    RestoreClipboardState(active);
  PackIdleSlots();
}

bool TPageModel::RestoreSavedPages() {
  PageStore::TLoadedPages loaded = LoadFiles();
  if (!loaded.Pages)
    return false;
  fPages = std::move(*loaded.Pages);
  fActivePage = loaded.ActivePage;
  fActiveHistoryPage = 0;
  if (loaded.History)
    fHistory = std::move(*loaded.History);
  while (fHistory.size() > static_cast<std::size_t>(HistoryLimit))
    fHistory.erase(fHistory.begin());
  const TClipboardState &active = fPages[static_cast<std::size_t>(fActivePage)];
  if (HasFormats(active) && ::CountClipboardFormats() == 0)
    PutOnClipboard(active);
  PackIdleSlots();
  return true;
}
