#include "ui/TrayMenu.h"

#include <stdexcept>

TTrayMenuItem::TTrayMenuItem(std::wstring aCaption, int aTag, TMenuClickHandler aOnClick)
    : fCaption(std::move(aCaption)), fTag(aTag), fOnClick(std::move(aOnClick)) {}

void TTrayMenuItem::SetChecked(bool aValue) {
  fChecked = aValue;
  if (!aValue || !fRadioItem || !fParent)
    return;
  for (const auto &sibling : fParent->fItems)
    if (sibling.get() != this && sibling->fRadioItem)
      sibling->fChecked = false;
}

unsigned TTrayMenuItem::ChildCommandID(std::size_t aPosition) const noexcept {
  const auto position = static_cast<unsigned>(aPosition);
  // The root has no parent and no id of its own.
  if (!fParent)
    return position + 1;
  return fCommandID * 100 + position;
}

TTrayMenuItem &TTrayMenuItem::Add(std::unique_ptr<TTrayMenuItem> aItem) {
  if (!aItem)
    throw std::invalid_argument("A menu item is needed");
  aItem->fParent = this;
  aItem->fCommandID = ChildCommandID(fItems.size());
  fItems.push_back(std::move(aItem));
  return *fItems.back();
}

TTrayMenuItem &TTrayMenuItem::Items(std::size_t aIndex) const {
  if (aIndex >= fItems.size())
    throw std::out_of_range("Menu item index out of bounds (" + std::to_string(aIndex) + ")");
  return *fItems[aIndex];
}

TTrayMenuItem *TTrayMenuItem::FindCommand(unsigned aCommandID) {
  for (const auto &item : fItems) {
    if (item->fCommandID == aCommandID)
      return item.get();
    if (TTrayMenuItem *found = item->FindCommand(aCommandID))
      return found;
  }
  return nullptr;
}

void TTrayMenuItem::Click() {
  if (fAutoCheck)
    SetChecked(!fChecked);
  if (fOnClick)
    fOnClick(*this);
}

std::unique_ptr<TTrayMenuItem> CreateMenuItem(const std::wstring &aCaption, int aTag,
                                              TMenuClickHandler aOnClick) {
  return std::make_unique<TTrayMenuItem>(aCaption, aTag, std::move(aOnClick));
}
