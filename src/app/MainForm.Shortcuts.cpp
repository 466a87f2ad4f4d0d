// TMainForm, shortcut commands: the hotkey table and the commands that hotkeys and the tray share.
#include "app/MainForm.h"

#include "clipboard/ClipboardFormatState.h"

#include <cwchar>
#include <variant>

namespace {
constexpr TShiftModifiers AltWin{TShiftModifier::smAlt, TShiftModifier::smWin};
constexpr const wchar_t *FormatBoxTitle = L"Clipboard formats";

// A message box is a dialog of the system's class "#32770" with the title
// it was given.
BOOL CALLBACK MatchFormatBox(HWND aWindow, LPARAM aFound) {
  wchar_t className[16]{};
  wchar_t title[64]{};
  if (::GetClassNameW(aWindow, className, 16) && std::wcscmp(className, L"#32770") == 0 &&
      ::GetWindowTextW(aWindow, title, 64) && std::wcscmp(title, FormatBoxTitle) == 0) {
    *reinterpret_cast<HWND *>(aFound) = aWindow;
    return FALSE;
  }
  return TRUE;
}

// The format box of this thread, if it is open.
HWND FindFormatBox() {
  HWND found = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), &MatchFormatBox, reinterpret_cast<LPARAM>(&found));
  return found;
}
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
    add(static_cast<UINT>(VK_F3 + page), AltWin, selectPage)->SetUserData(page);
    add(static_cast<UINT>(VK_NUMPAD0 + page), AltWin, selectPage)->SetUserData(page);
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

// Steps count from where the commands queued before them leave the model.
void TMainForm::NextPage() {
  fModel.StepPage(1);
}

void TMainForm::PreviousPage() {
  fModel.StepPage(-1);
}

void TMainForm::PreviousHistoryElement() {
  fModel.StepHistory(-1);
}

void TMainForm::NextHistoryElement() {
  fModel.StepHistory(1);
}

void TMainForm::ShowCurrentPageInfo() {
  fModel.AnnounceShown();
}

// The box runs its own modal loop inside the hotkey's dispatch; the message
// window's nested dispatch keeps the other hotkeys working meanwhile. Alt+D
// pressed again (or held down) while the box is open brings that box to the
// front instead of opening one more inside it.
void TMainForm::ShowClipboardFormats() {
  if (fFormatBoxOpen) {
    // Windows may refuse the foreground to a program that has not had the
    // last input; it then flashes the box's button instead.
    if (const HWND box = FindFormatBox())
      ::SetForegroundWindow(box);
    return;
  }
  const std::wstring formats = ClipboardFormatList();
  fFormatBoxOpen = true;
  ::MessageBoxW(nullptr, formats.c_str(), FormatBoxTitle,
                MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
  fFormatBoxOpen = false;
}

void TMainForm::CloseClick() {
  Close();
}
