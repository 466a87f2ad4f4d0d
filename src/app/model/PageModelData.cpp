#include "app/model/PageModel.h"

#include <shlobj.h>

#include <cstring>

namespace {

bool HasFormats(const TClipboardState &aState) {
  return aState && aState().Count() > 0;
}

// Reads both files; a damaged one is put aside before the error goes on, so
// that the next save cannot overwrite what may still be rescued.
PageStore::TLoadedPages LoadFiles() {
  try {
    return PageStore::Load(TPageModel::ClipboardDataFileName(), TPageModel::HistoryDataFileName());
  } catch (const EDamagedDataFile &e) {
    PageStore::PutAside(e.FileName());
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

void TPageModel::LoadData() {
  PageStore::TLoadedPages loaded = LoadFiles();
  if (!loaded.Pages) {
    CreatePages();
    if (loaded.PagesFileEmpty)
      return;
  } else {
    fPages = std::move(*loaded.Pages);
    fActivePage = loaded.ActivePage;
    if (HasFormats(fPages[static_cast<std::size_t>(fActivePage)]))
      RestoreClipboardState(fPages[static_cast<std::size_t>(fActivePage)]);
  }
  if (loaded.History)
    fHistory.insert(fHistory.end(), loaded.History->begin(), loaded.History->end());
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
  return true;
}
