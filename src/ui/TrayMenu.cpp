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

TTrayMenuItem &TTrayMenuItem::Root() noexcept {
  TTrayMenuItem *item = this;
  while (item->fParent)
    item = item->fParent;
  return *item;
}

// An id fixed by position would collide as soon as children were added to
// an item before it joined the menu; one counter per menu cannot.
void TTrayMenuItem::Number(TTrayMenuItem &aRoot) noexcept {
  fCommandID = ++aRoot.fLastCommandID;
  for (const auto &child : fItems)
    child->Number(aRoot);
}

TTrayMenuItem &TTrayMenuItem::Add(std::unique_ptr<TTrayMenuItem> aItem) {
  if (!aItem)
    throw std::invalid_argument("A menu item is needed");
  aItem->fParent = this;
  aItem->Number(Root());
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
