// TMainForm, shortcut commands: the hotkey table and the commands that hotkeys and the tray share.
#include "app/MainForm.h"

#include "clipboard/ClipboardFormatState.h"

#include <variant>

namespace {
constexpr TShiftModifiers AltWin{TShiftModifier::smAlt, TShiftModifier::smWin};
} // namespace

// Registered in a fixed order, so the ids run 1 to 27 as the table gives
// them: per page its F-key (F3 for page 0) then its keypad key; then the
// arrows, E, I, and Alt+D. A combination the system refuses stays dead.
void TMainForm::RegisterShortcuts() {
  if (!fHotkeys.empty())
    return;
  auto add = [this](UINT aKey, TShiftModifiers aModifiers, THotkeyHandler aHandler) {
    return fHotkeys
        .emplace_back(std::make_unique<TGlobalHotkey>(aKey, aModifiers, std::move(aHandler)))
        .get();
  };
  auto run = [this](void (TMainForm::*aCommand)()) {
    return [this, aCommand](TGlobalHotkey &, std::uintptr_t) { (this->*aCommand)(); };
  };
  const THotkeyHandler selectPage = [this](TGlobalHotkey &aHotkey, std::uintptr_t) {
    SelectPage(std::get<std::int32_t>(aHotkey.UserData()));
  };
  for (std::int32_t page = 0; page < TPageModel::PageCount; ++page) {
    add(VK_F3 + page, AltWin, selectPage)->SetUserData(page);
    add(VK_NUMPAD0 + page, AltWin, selectPage)->SetUserData(page);
  }
  add(VK_RIGHT, AltWin, run(&TMainForm::NextPage));
  add(VK_LEFT, AltWin, run(&TMainForm::PreviousPage));
  add(VK_UP, AltWin, run(&TMainForm::PreviousHistoryElement));
  add(VK_DOWN, AltWin, run(&TMainForm::NextHistoryElement));
  add('E', AltWin, run(&TMainForm::TogglePrivateMode));
  add('I', AltWin, run(&TMainForm::ShowCurrentPageInfo));
  add('D', TShiftModifiers{TShiftModifier::smAlt}, run(&TMainForm::ShowClipboardFormats));
}

void TMainForm::ReleaseShortcuts() {
  fHotkeys.clear();
}

void TMainForm::SelectPage(int aPage) {
  fModel.SetActivePage(aPage);
}

void TMainForm::SelectPageClick(TTrayMenuItem &aItem) {
  SelectPage(aItem.Tag());
}

void TMainForm::NextPage() {
  const int next = fModel.ActivePage() + 1;
  SelectPage(next > TPageModel::PageCount - 1 ? 0 : next);
}

void TMainForm::PreviousPage() {
  const int previous = fModel.ActivePage() - 1;
  SelectPage(previous < 0 ? TPageModel::PageCount - 1 : previous);
}

void TMainForm::PreviousHistoryElement() {
  fModel.SetActiveHistoryPage(fModel.ActiveHistoryPage() - 1);
}

void TMainForm::NextHistoryElement() {
  fModel.SetActiveHistoryPage(fModel.ActiveHistoryPage() + 1);
}

void TMainForm::ShowCurrentPageInfo() {
  if (fModel.ActiveHistoryPage() < 0)
    ShowHistoryPageAnnounce();
  else
    ShowPageAnnounce();
}

// The box runs its own modal loop inside the hotkey's dispatch; the message
// window's nested dispatch keeps the other hotkeys working meanwhile.
void TMainForm::ShowClipboardFormats() {
  const std::wstring formats = ClipboardFormatList();
  ::MessageBoxW(nullptr, formats.c_str(), L"Clipboard formats",
                MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

void TMainForm::CloseClick() {
  Close();
}
