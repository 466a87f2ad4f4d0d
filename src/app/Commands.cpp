#include "app/Commands.h"

#include "app/TakenHotkeys.h"
#include "app/model/PageModel.h"

#include <windows.h>

namespace {

constexpr std::uint32_t AltWin = MOD_ALT | MOD_WIN;

TCommandRow Row(std::wstring aName, TCommandAction aAction, THotkeyCombination aHotkey,
                std::wstring aCaption = {}, TMenuPlace aPlace = TMenuPlace::None, int aOrder = 0,
                TMenuMark aMark = TMenuMark::None, int aPage = 0) {
  return TCommandRow{std::move(aName),    aAction, aPage,  aHotkey,
                     std::move(aCaption), aPlace,  aOrder, aMark};
}

// Top-level menu orders fall between the tray's own entries (the page
// submenu at 20, separators at 30 and 90).
std::vector<TCommandRow> BuildTable() {
  using enum TCommandAction;
  using enum TMenuPlace;
  std::vector<TCommandRow> rows;
  for (int page = 0; page < TPageModel::PageCount; ++page) {
    const std::wstring number = std::to_wstring(page);
    const auto offset = static_cast<std::uint32_t>(page);
    rows.push_back(Row(L"Page" + number, SelectPage, {VK_F3 + offset, AltWin}, {}, None, 0,
                       TMenuMark::None, page));
    rows.push_back(Row(L"Page" + number + L"Keypad", SelectPage, {VK_NUMPAD0 + offset, AltWin},
                       L"Page " + number, PageSubmenu, page, TMenuMark::Radio, page));
  }
  rows.push_back(Row(L"NextPage", NextPage, {VK_RIGHT, AltWin}, L"Next page", TopLevel, 43));
  rows.push_back(
      Row(L"PreviousPage", PreviousPage, {VK_LEFT, AltWin}, L"Previous page", TopLevel, 42));
  rows.push_back(Row(L"PreviousHistory", PreviousHistory, {VK_UP, AltWin},
                     L"Previous history element", TopLevel, 40));
  rows.push_back(
      Row(L"NextHistory", NextHistory, {VK_DOWN, AltWin}, L"Next history element", TopLevel, 41));
  rows.push_back(Row(L"PrivateMode", PrivateMode, {'E', AltWin}, L"Private mode", TopLevel, 10,
                     TMenuMark::Check));
  rows.push_back(Row(L"PageInformation", PageInformation, {'I', AltWin},
                     L"Current page information", TopLevel, 44));
  rows.push_back(Row(L"ClipboardFormats", ClipboardFormats, {'D', MOD_ALT}));
  rows.push_back(Row(L"KeepPages", KeepPages, {}, L"Keep pages after restart", TopLevel, 91,
                     TMenuMark::Check));
  rows.push_back(Row(L"Settings", Settings, {}, L"Settings\u2026", TopLevel, 92));
  rows.push_back(Row(L"Close", Close, {}, L"Close", TopLevel, 93));
  // After the others, so that their hotkey ids stay as they were.
  rows.push_back(Row(L"ShowPages", ShowPages, {'V', AltWin}, L"Show pages", TopLevel, 45));
  return rows;
}

} // namespace

const std::vector<TCommandRow> &CommandTable() {
  static const std::vector<TCommandRow> table = BuildTable();
  return table;
}

std::wstring CommandTitle(const TCommandRow &aRow) {
  switch (aRow.Action) {
  case TCommandAction::SelectPage:
    return L"Page " + std::to_wstring(aRow.Page) +
           (aRow.Place == TMenuPlace::PageSubmenu ? L" (second key)" : L"");
  case TCommandAction::ClipboardFormats:
    return L"Clipboard formats";
  default:
    return aRow.Caption;
  }
}

std::wstring MenuCaption(const TCommandRow &aRow, const THotkeyCombination &aHotkey) {
  if (aHotkey.Empty())
    return aRow.Caption;
  return aRow.Caption + L" [" + HotkeyName(aHotkey.Key, aHotkey.Modifiers) + L"]";
}
