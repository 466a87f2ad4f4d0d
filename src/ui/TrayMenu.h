#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TTrayMenuItem;
using TMenuClickHandler = std::function<void(TTrayMenuItem &aItem)>;

// One item of the tray's context menu: caption, tag, click handler and the
// check states. The native menu is built from these items each time it
// opens, so they are the one record of the check marks.
class TTrayMenuItem {
public:
  // "-" as caption makes a separator line.
  TTrayMenuItem(std::wstring aCaption, int aTag, TMenuClickHandler aOnClick);
  TTrayMenuItem(const TTrayMenuItem &) = delete;
  TTrayMenuItem &operator=(const TTrayMenuItem &) = delete;

  const std::wstring &Caption() const noexcept { return fCaption; }
  void SetCaption(std::wstring aCaption) { fCaption = std::move(aCaption); }
  int Tag() const noexcept { return fTag; }
  bool IsSeparator() const noexcept { return fCaption == L"-"; }
  // The id of the item's menu command. Ids come from one counter for the
  // whole menu, 1, 2, 3, ... in the order items join it (an item that joins
  // with children of its own is numbered anew with them), so no two items of
  // one menu share an id and none is 0, which means "nothing chosen".
  unsigned CommandID() const noexcept { return fCommandID; }

  bool AutoCheck() const noexcept { return fAutoCheck; }
  void SetAutoCheck(bool aValue) noexcept { fAutoCheck = aValue; }
  bool RadioItem() const noexcept { return fRadioItem; }
  void SetRadioItem(bool aValue) noexcept { fRadioItem = aValue; }
  bool Checked() const noexcept { return fChecked; }
  // Setting the mark of a radio item clears the other radio items of its
  // parent.
  void SetChecked(bool aValue);

  TTrayMenuItem &Add(std::unique_ptr<TTrayMenuItem> aItem);
  std::size_t Count() const noexcept { return fItems.size(); }
  // Throws std::out_of_range for an index that does not exist.
  TTrayMenuItem &Items(std::size_t aIndex) const;
  // The item with that command id in this item's subtree, or null.
  TTrayMenuItem *FindCommand(unsigned aCommandID);

  // What a user's click does: invert the mark of an automatic-check item,
  // then run the handler.
  void Click();

private:
  TTrayMenuItem &Root() noexcept;
  void Number(TTrayMenuItem &aRoot) noexcept;

  std::wstring fCaption;
  int fTag;
  TMenuClickHandler fOnClick;
  bool fAutoCheck = false;
  bool fRadioItem = false;
  bool fChecked = false;
  TTrayMenuItem *fParent = nullptr;
  unsigned fCommandID = 0;
  // Used on the menu's root only: the last id handed out.
  unsigned fLastCommandID = 0;
  std::vector<std::unique_ptr<TTrayMenuItem>> fItems;
};

// One item with no owner yet; the caller appends it to a menu or a parent.
std::unique_ptr<TTrayMenuItem> CreateMenuItem(const std::wstring &aCaption, int aTag,
                                              TMenuClickHandler aOnClick);
