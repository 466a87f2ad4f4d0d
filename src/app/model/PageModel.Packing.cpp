// TPageModel: packing the pages and history entries that are not on the
// clipboard.
#include "app/model/PageModel.h"

#include <algorithm>

namespace {

bool Holds(const std::vector<TClipboardState> &aStates, const TClipboardState &aState) {
  return std::find(aStates.begin(), aStates.end(), aState) != aStates.end();
}

} // namespace

bool TPageModel::IsShown(const TClipboardState &aSlot) const {
  return &aSlot == &ShownState();
}

// Runs after every change of the slots: what left the clipboard is handed to
// the packer, and a packed snapshot that was read (its card) drops the
// formats that reading unpacked.
void TPageModel::PackIdleSlots() {
  for (TClipboardState &page : fPages)
    PackSlot(page);
  for (TClipboardState &entry : fHistory)
    PackSlot(entry);
  std::erase_if(fNotWorthPacking, [this](const TClipboardState &aState) {
    return !Holds(fHistory, aState) &&
           std::find(fPages.begin(), fPages.end(), aState) == fPages.end();
  });
  fView.SlotsChanged();
}

void TPageModel::PackSlot(TClipboardState &aSlot) {
  if (!aSlot || IsShown(aSlot))
    return;
  const TClipboardStateContainer &state = aSlot();
  if (state.IsPacked()) {
    aSlot = TClipboardStateContainer::Repack(aSlot);
    return;
  }
  // An unpacked copy of a packed snapshot still has its deflated bytes: no
  // trip to the worker.
  if (state.PacksAtOnce()) {
    aSlot = TClipboardStateContainer::Pack(aSlot);
    return;
  }
  if (state.DataSize() < TClipboardStateContainer::MinimumPackedSize ||
      Holds(fNotWorthPacking, aSlot))
    return;
  fPacker.Pack(aSlot);
}

// The packed copy takes the place of every slot that still holds the very
// snapshot that was packed and is not on the clipboard now; a slot changed
// meanwhile keeps its new content.
void TPageModel::Packed(const TClipboardState &aOriginal, const TClipboardState &aPacked) {
  if (!aPacked) {
    fNotWorthPacking.push_back(aOriginal);
    return;
  }
  auto replace = [&](TClipboardState &aSlot) {
    if (aSlot == aOriginal && !IsShown(aSlot))
      aSlot = aPacked;
  };
  std::for_each(fPages.begin(), fPages.end(), replace);
  std::for_each(fHistory.begin(), fHistory.end(), replace);
}
