// TMainForm, shortcut commands: the hotkey table and the commands that hotkeys and the tray share.
#include "app/MainForm.h"

#include "clipboard/ClipboardFormatState.h"

#include <cwchar>
#include <variant>

namespace {
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

// Registered in the command table's order, so the ids run 1 to 28 as the
// table gives them: per page its F-key (F3 for page 0) then its keypad key;
// then the arrows, E, I, Alt+D and V. A combination the system refuses stays
// dead.
void TMainForm::RegisterShortcuts() {
  if (!fHotkeys.empty())
    return;
  const std::vector<TCommandRow> &table = CommandTable();
  for (std::size_t row = 0; row < table.size(); ++row) {
    const THotkeyCombination hotkey = HotkeyInForce(row);
    if (hotkey.Empty())
      continue;
    fHotkeys.push_back(MakeHotkey(row, hotkey));
    fHotkeyRows.push_back(row);
  }
}

// Registered at once; Registered() says whether the system agreed.
std::unique_ptr<TGlobalHotkey> TMainForm::MakeHotkey(std::size_t aRow, THotkeyCombination aHotkey) {
  const TCommandRow &command = CommandTable().at(aRow);
  auto hotkey = std::make_unique<TGlobalHotkey>(
      aHotkey.Key, aHotkey.Modifiers,
      [this, &command](TGlobalHotkey &, std::uintptr_t) { RunCommand(command); });
  if (command.Action == TCommandAction::SelectPage)
    hotkey->SetUserData(std::int32_t{command.Page});
  return hotkey;
}

void TMainForm::ReleaseShortcuts() {
  fHotkeys.clear();
  fHotkeyRows.clear();
}

// The hotkey object of a row, or null for a row without one.
const TGlobalHotkey *TMainForm::HotkeyOfRow(std::size_t aRow) const {
  for (std::size_t i = 0; i < fHotkeyRows.size(); ++i)
    if (fHotkeyRows[i] == aRow)
      return fHotkeys[i].get();
  return nullptr;
}

void TMainForm::RunCommand(const TCommandRow &aCommand) {
  switch (aCommand.Action) {
  case TCommandAction::SelectPage:
    SelectPage(aCommand.Page);
    break;
  case TCommandAction::NextPage:
    NextPage();
    break;
  case TCommandAction::PreviousPage:
    PreviousPage();
    break;
  case TCommandAction::PreviousHistory:
    PreviousHistoryElement();
    break;
  case TCommandAction::NextHistory:
    NextHistoryElement();
    break;
  case TCommandAction::PrivateMode:
    TogglePrivateMode();
    break;
  case TCommandAction::PageInformation:
    ShowCurrentPageInfo();
    break;
  case TCommandAction::ClipboardFormats:
    ShowClipboardFormats();
    break;
  case TCommandAction::KeepPages:
    // Its item's mark is the setting as shown; the click keeps both in step.
    if (TTrayMenuItem *item = CommandItem(aCommand))
      item->Click();
    break;
  case TCommandAction::ShowPages:
    ShowPagesWindow();
    break;
  case TCommandAction::Settings:
    ShowSettings();
    break;
  case TCommandAction::Close:
    CloseClick();
    break;
  }
}

void TMainForm::SelectPage(int aPage) {
  fModel.SetActivePage(aPage);
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
