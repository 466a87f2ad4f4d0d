// TMainForm, tray: the tray icon, its menu and the private-mode command.
#include "app/MainForm.h"

#include "app/TakenHotkeys.h"

#include <functional>

namespace {
// Positions other code relies on: the private-mode hotkey works on the first
// item, the page switch marks the items under the second.
constexpr std::size_t PrivateModePosition = 0;
constexpr std::size_t PageMenuPosition = 1;
} // namespace

void TMainForm::CreateTrayIcon() {
  fTray = std::make_unique<TTrayIcon>(L"Pagekeep");
  TTrayMenuItem &menu = fTray->Menu();
  auto run = [this](void (TMainForm::*aCommand)()) {
    return [this, aCommand](TTrayMenuItem &) { (this->*aCommand)(); };
  };
  menu.Add(CreateMenuItem(L"Private mode [Alt+Win+E]", 0,
                          [this](TTrayMenuItem &aItem) { PrivateModeClick(aItem); }))
      .SetAutoCheck(true);
  TTrayMenuItem &pages = menu.Add(CreateMenuItem(L"Select clipboard page", 0, nullptr));
  menu.Add(CreateMenuItem(L"-", 0, nullptr));
  menu.Add(CreateMenuItem(L"Previous history element [Alt+Win+Up]", 0,
                          run(&TMainForm::PreviousHistoryElement)));
  menu.Add(CreateMenuItem(L"Next history element [Alt+Win+Down]", 0,
                          run(&TMainForm::NextHistoryElement)));
  menu.Add(CreateMenuItem(L"Previous page [Alt+Win+Left]", 0, run(&TMainForm::PreviousPage)));
  menu.Add(CreateMenuItem(L"Next page [Alt+Win+Right]", 0, run(&TMainForm::NextPage)));
  menu.Add(CreateMenuItem(L"Current page information [Alt+Win+I]", 0,
                          run(&TMainForm::ShowCurrentPageInfo)));
  for (int page = 0; page < TPageModel::PageCount; ++page) {
    const std::wstring number = std::to_wstring(page);
    TTrayMenuItem &item =
        pages.Add(CreateMenuItem(L"Page " + number + L" [Alt+Win+Num" + number + L"]", page,
                                 [this](TTrayMenuItem &aItem) { SelectPageClick(aItem); }));
    item.SetRadioItem(true);
    if (page == 0)
      item.SetChecked(true);
  }
  menu.Add(CreateMenuItem(L"-", 0, nullptr));
  TTrayMenuItem &keepPages = menu.Add(CreateMenuItem(
      L"Keep pages after restart", 0, [this](TTrayMenuItem &aItem) { KeepPagesClick(aItem); }));
  keepPages.SetAutoCheck(true);
  keepPages.SetChecked(KeepPages());
  menu.Add(CreateMenuItem(L"Close", 0, run(&TMainForm::CloseClick)));
  fTray->SetOnClick([this] { ShowCurrentPageInfo(); });
  fTray->SetVisible(true);
}

// A caption that names a combination another program holds says so.
void TMainForm::MarkTakenHotkeysInMenu() {
  if (!fTray)
    return;
  const std::vector<std::wstring> taken = TakenHotkeyNames();
  const std::function<void(TTrayMenuItem &)> mark = [&](TTrayMenuItem &aParent) {
    for (std::size_t i = 0; i < aParent.Count(); ++i) {
      TTrayMenuItem &item = aParent.Items(i);
      for (const std::wstring &name : taken)
        item.SetCaption(MarkTakenInCaption(item.Caption(), name));
      mark(item);
    }
  };
  mark(fTray->Menu());
}

void TMainForm::CheckPageMenuItem(int aPage) {
  if (!fTray)
    throw std::logic_error("The tray menu does not exist yet");
  fTray->Menu().Items(PageMenuPosition).Items(static_cast<std::size_t>(aPage)).SetChecked(true);
}

// The item's mark has been inverted by the click (or by the hotkey) already:
// a set mark means private mode.
void TMainForm::PrivateModeClick(TTrayMenuItem &aItem) {
  fModel.SetListenerEnabled(!aItem.Checked());
}

void TMainForm::TogglePrivateMode() {
  if (!fTray)
    throw std::logic_error("The tray menu does not exist yet");
  TTrayMenuItem &item = fTray->Menu().Items(PrivateModePosition);
  item.SetChecked(!item.Checked());
  PrivateModeClick(item);
}
