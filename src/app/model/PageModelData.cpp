#include "app/model/PageModel.h"

namespace {

bool HasFormats(const TClipboardState &aState) {
  return aState && aState().Count() > 0;
}

} // namespace

TSavedPages TPageModel::SavedPages() const {
  TSavedPages saved;
  saved.Pages = fPages;
  saved.ActivePage = fActivePage;
  saved.History = fHistory;
  return saved;
}

void TPageModel::SaveData() const {
  PageStore::SaveDataFiles(SavedPages());
}

// The clipboard comes last: a busy clipboard fails the load with the model
// already whole.
void TPageModel::LoadData() {
  PageStore::TLoadedPages loaded = PageStore::LoadDataFiles();
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
  PageStore::TLoadedPages loaded = PageStore::LoadDataFiles();
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
