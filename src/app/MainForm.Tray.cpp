// TMainForm, tray: the tray icon, its menu built from the command table, and the marks.
#include "app/MainForm.h"

#include "app/TakenHotkeys.h"

#include <algorithm>

namespace {
// The tray's own entries between the commands' items, by menu order.
constexpr int PageSubmenuOrder = 20;
constexpr int FirstSeparatorOrder = 30;
constexpr int LastSeparatorOrder = 90;
} // namespace

void TMainForm::CreateTrayIcon() {
  fTray = std::make_unique<TTrayIcon>(L"Pagekeep");
  fCommandItems.clear();
  struct TEntry {
    int Order;
    const TCommandRow *Row;
    const wchar_t *Caption;
  };
  std::vector<TEntry> entries{{PageSubmenuOrder, nullptr, L"Select clipboard page"},
                              {FirstSeparatorOrder, nullptr, L"-"},
                              {LastSeparatorOrder, nullptr, L"-"}};
  std::vector<const TCommandRow *> pageRows;
  for (const TCommandRow &row : CommandTable()) {
    if (row.Place == TMenuPlace::TopLevel)
      entries.push_back({row.MenuOrder, &row, nullptr});
    else if (row.Place == TMenuPlace::PageSubmenu)
      pageRows.push_back(&row);
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const TEntry &a, const TEntry &b) { return a.Order < b.Order; });
  std::stable_sort(pageRows.begin(), pageRows.end(),
                   [](const TCommandRow *a, const TCommandRow *b) { return a->Page < b->Page; });

  TTrayMenuItem &menu = fTray->Menu();
  TTrayMenuItem *pages = nullptr;
  for (const TEntry &entry : entries) {
    if (entry.Row)
      AddCommandItem(menu, *entry.Row);
    else if (entry.Order == PageSubmenuOrder)
      pages = &menu.Add(CreateMenuItem(entry.Caption, 0, nullptr));
    else
      menu.Add(CreateMenuItem(entry.Caption, 0, nullptr));
  }
  for (const TCommandRow *row : pageRows)
    AddCommandItem(*pages, *row);
  fTray->SetOnClick([this] { ShowCurrentPageInfo(); });
  fTray->SetOnDoubleClick([this] { ShowPagesWindow(); });
  fTray->SetVisible(true);
}

// The item's click runs the command; an item with a check mark has it
// inverted by the click already, and sets the state the mark now shows.
void TMainForm::AddCommandItem(TTrayMenuItem &aParent, const TCommandRow &aRow) {
  TTrayMenuItem &item =
      aParent.Add(CreateMenuItem(MenuCaption(aRow, HotkeyInForce(RowIndex(aRow))), aRow.Page,
                                 [this, &aRow](TTrayMenuItem &aItem) { MenuClick(aRow, aItem); }));
  item.SetAutoCheck(aRow.Mark == TMenuMark::Check);
  item.SetRadioItem(aRow.Mark == TMenuMark::Radio);
  if (aRow.Mark != TMenuMark::None)
    item.SetChecked(CommandChecked(aRow));
  fCommandItems.push_back({&aRow, &item});
}

void TMainForm::MenuClick(const TCommandRow &aRow, TTrayMenuItem &aItem) {
  switch (aRow.Action) {
  case TCommandAction::PrivateMode:
    fModel.SetListenerEnabled(!aItem.Checked());
    break;
  case TCommandAction::KeepPages:
    KeepPagesClick(aItem);
    break;
  default:
    RunCommand(aRow);
    break;
  }
}

// What the model and the settings hold, not what a mark last showed.
bool TMainForm::CommandChecked(const TCommandRow &aRow) const {
  switch (aRow.Action) {
  case TCommandAction::PrivateMode:
    return !fModel.ListenerEnabled();
  case TCommandAction::KeepPages:
    return KeepPages();
  case TCommandAction::SelectPage:
    return aRow.Page == fModel.ActivePage();
  default:
    return false;
  }
}

TTrayMenuItem *TMainForm::CommandItem(const TCommandRow &aRow) const {
  for (const auto &[row, item] : fCommandItems)
    if (row == &aRow)
      return item;
  return nullptr;
}

std::size_t TMainForm::RowIndex(const TCommandRow &aRow) {
  return static_cast<std::size_t>(&aRow - CommandTable().data());
}

// Captions show the keys in force; one whose combination another program
// holds says so.
void TMainForm::MarkTakenHotkeysInMenu() {
  for (const auto &[row, item] : fCommandItems) {
    const std::size_t index = RowIndex(*row);
    const THotkeyCombination hotkey = HotkeyInForce(index);
    std::wstring caption = MenuCaption(*row, hotkey);
    const TGlobalHotkey *registered = HotkeyOfRow(index);
    if (registered && !registered->Registered())
      caption = MarkTakenInCaption(caption, HotkeyName(hotkey.Key, hotkey.Modifiers));
    item->SetCaption(std::move(caption));
  }
}

void TMainForm::CheckPageMenuItem(int aPage) {
  if (!fTray)
    throw std::logic_error("The tray menu does not exist yet");
  for (const auto &[row, item] : fCommandItems)
    if (row->Action == TCommandAction::SelectPage && row->Page == aPage)
      item->SetChecked(true);
}

// The screen reader hears no content in private mode.
void TMainForm::PrivateModeChanged(bool aPrivate) {
  fNotifier->ScreenReader().SetSpeaksContent(!aPrivate);
  for (const auto &[row, item] : fCommandItems)
    if (row->Action == TCommandAction::PrivateMode)
      item->SetChecked(aPrivate);
}

// Held by the model: works before the tray exists, and presses queued
// behind each other add up.
void TMainForm::TogglePrivateMode() {
  fModel.TogglePrivateMode();
}
