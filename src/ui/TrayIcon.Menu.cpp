// TTrayIcon, menu: running a command and showing the popup menu.
#include "ui/TrayIcon.h"

#include "shared/Trace.h"

namespace {
void AppendItems(HMENU aMenu, const TTrayMenuItem &aParent) {
  for (std::size_t i = 0; i < aParent.Count(); ++i) {
    const TTrayMenuItem &item = aParent.Items(i);
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_ID;
    info.wID = item.CommandID();
    if (item.IsSeparator()) {
      info.fType = MFT_SEPARATOR;
    } else {
      info.fMask |= MIIM_STRING | MIIM_STATE;
      info.fType = item.RadioItem() ? MFT_RADIOCHECK : MFT_STRING;
      info.fState = item.Checked() ? MFS_CHECKED : MFS_UNCHECKED;
      info.dwTypeData = const_cast<wchar_t *>(item.Caption().c_str());
    }
    TMenuHandle submenu;
    if (item.Count() > 0) {
      submenu.Reset(::CreatePopupMenu());
      CheckWin32(static_cast<bool>(submenu), "CreatePopupMenu");
      AppendItems(submenu.Get(), item);
      info.fMask |= MIIM_SUBMENU;
      info.hSubMenu = submenu.Get();
    }
    CheckWin32(::InsertMenuItemW(aMenu, static_cast<UINT>(i), TRUE, &info), "InsertMenuItemW");
    submenu.Detach(); // the parent menu destroys it now
  }
}
} // namespace

bool TTrayIcon::RunCommand(unsigned aCommandID) {
  TTrayMenuItem *item = fMenu.FindCommand(aCommandID);
  if (!item || item->IsSeparator() || item->Count() > 0)
    return false;
  try {
    item->Click();
  } catch (...) {
    // A failing command must not reach the system nor stop later commands.
    TraceDroppedError();
  }
  return true;
}

// The menu is built from the items when it opens and destroyed when it
// closes, so the items stay the one record of the check marks.
void TTrayIcon::ShowMenu(POINT aPosition) {
  TMenuHandle menu(::CreatePopupMenu());
  CheckWin32(static_cast<bool>(menu), "CreatePopupMenu");
  AppendItems(menu.Get(), fMenu);
  // Without the foreground the menu would not close when the user clicks
  // elsewhere; the WM_NULL lets the shell see that it has closed.
  ::SetForegroundWindow(fWindow.Get());
  const UINT chosen = static_cast<UINT>(
      ::TrackPopupMenuEx(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, aPosition.x,
                         aPosition.y, fWindow.Get(), nullptr));
  ::PostMessageW(fWindow.Get(), WM_NULL, 0, 0);
  menu.Reset();
  if (chosen != 0)
    RunCommand(chosen);
}
