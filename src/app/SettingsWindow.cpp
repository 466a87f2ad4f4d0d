#include "app/SettingsWindow.h"

#include "app/Commands.h"
#include "app/HotkeySettings.h"
#include "app/WindowTheme.h"
#include "shared/Text.h"
#include "shared/Trace.h"
#include "shared/WindowClass.h"

#include <commctrl.h>

namespace {

// The layout at 96 dpi; rows run down two columns.
constexpr int Margin = 12;
constexpr int RowHeight = 26;
constexpr int LabelWidth = 170;
constexpr int HotkeyWidth = 150;
constexpr int WinBoxWidth = 50;
constexpr int StatusWidth = 150;
constexpr int ColumnWidth = LabelWidth + HotkeyWidth + WinBoxWidth + StatusWidth + Margin;
constexpr int ButtonWidth = 130;
constexpr int ButtonHeight = 26;
constexpr int MessageHeight = 36;
constexpr int CheckBoxHeight = 26;

std::size_t RowsPerColumn() {
  return (CommandTable().size() + 1) / 2;
}

// The hotkey control keeps HOTKEYF_* flags; the system's hotkeys MOD_* ones.
std::uint32_t ModifiersFromControl(BYTE aFlags) {
  std::uint32_t modifiers = 0;
  if (aFlags & HOTKEYF_SHIFT)
    modifiers |= MOD_SHIFT;
  if (aFlags & HOTKEYF_CONTROL)
    modifiers |= MOD_CONTROL;
  if (aFlags & HOTKEYF_ALT)
    modifiers |= MOD_ALT;
  return modifiers;
}

// The keys that sit apart from the keypad (arrows and the block above
// them); without the extended flag the control names them as keypad keys.
bool IsExtendedKey(std::uint32_t aKey) {
  return (aKey >= VK_PRIOR && aKey <= VK_DOWN) || aKey == VK_INSERT || aKey == VK_DELETE ||
         aKey == VK_DIVIDE || aKey == VK_NUMLOCK;
}

BYTE ControlFlags(const THotkeyCombination &aHotkey) {
  BYTE flags = 0;
  if (aHotkey.Modifiers & MOD_SHIFT)
    flags |= HOTKEYF_SHIFT;
  if (aHotkey.Modifiers & MOD_CONTROL)
    flags |= HOTKEYF_CONTROL;
  if (aHotkey.Modifiers & MOD_ALT)
    flags |= HOTKEYF_ALT;
  if (IsExtendedKey(aHotkey.Key))
    flags |= HOTKEYF_EXT;
  return flags;
}

int ScreenDpi() {
  const TWindowDC screen(nullptr);
  const int dpi = ::GetDeviceCaps(screen.Get(), LOGPIXELSY);
  return dpi > 0 ? dpi : 96;
}

} // namespace

TSettingsWindow::TSettingsWindow(THotkeyEditor &aEditor) : fEditor(aEditor), fDpi(ScreenDpi()) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_HOTKEY_CLASS | ICC_STANDARD_CLASSES};
  CheckWin32(::InitCommonControlsEx(&controls) != FALSE, "InitCommonControlsEx");
  RegisterWindowClass(WindowClassName, &TWindowBinding<TSettingsWindow>::WindowProc);
  fFont = MessageFont(fDpi);
  const int rows = static_cast<int>(RowsPerColumn());
  RECT frame{0, 0, Scaled(2 * ColumnWidth + Margin),
             Scaled(Margin + rows * RowHeight + MessageHeight + CheckBoxHeight + ButtonHeight +
                    2 * Margin)};
  constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  CheckWin32(::AdjustWindowRectEx(&frame, style, FALSE, 0) != FALSE, "AdjustWindowRectEx");
  const HWND window = ::CreateWindowExW(
      0, WindowClassName, Title, style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
      frame.bottom - frame.top, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
  CheckWin32(window != nullptr, "CreateWindowExW");
  sOpenWindow = window;
  CreateControls();
  ShowAllRows();
}

TSettingsWindow::~TSettingsWindow() {
  fWindow.Reset();
}

void TSettingsWindow::Show() {
  ::ShowWindow(fWindow.Get(), SW_SHOWNORMAL);
  // A window of a background program may only ask for the foreground; the
  // taskbar flashes where it is refused.
  ::SetForegroundWindow(fWindow.Get());
}

bool TSettingsWindow::HandleDialogKeys(MSG &aMessage) {
  return sOpenWindow && ::IsDialogMessageW(sOpenWindow, &aMessage);
}

int TSettingsWindow::Scaled(int aPixels) const {
  return ::MulDiv(aPixels, fDpi, 96);
}

HWND TSettingsWindow::AddControl(const wchar_t *aClass, const wchar_t *aText, DWORD aStyle, int aId,
                                 RECT aPlace) {
  const HWND control = ::CreateWindowExW(
      0, aClass, aText, WS_CHILD | WS_VISIBLE | aStyle, Scaled(aPlace.left), Scaled(aPlace.top),
      Scaled(aPlace.right - aPlace.left), Scaled(aPlace.bottom - aPlace.top), fWindow.Get(),
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(aId)), ::GetModuleHandleW(nullptr), nullptr);
  CheckWin32(control != nullptr, "CreateWindowExW");
  ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fFont.Get()), FALSE);
  return control;
}

void TSettingsWindow::CreateControls() {
  const std::vector<TCommandRow> &table = CommandTable();
  const std::size_t perColumn = RowsPerColumn();
  for (std::size_t row = 0; row < table.size(); ++row) {
    const int left = Margin + static_cast<int>(row / perColumn) * ColumnWidth;
    const int top = Margin + static_cast<int>(row % perColumn) * RowHeight;
    const int id = static_cast<int>(row);
    int x = left;
    AddControl(L"Static", CommandTitle(table[row]).c_str(), SS_CENTERIMAGE, -1,
               {x, top, x + LabelWidth, top + RowHeight - 4});
    x += LabelWidth;
    AddControl(HOTKEY_CLASSW, L"", WS_TABSTOP | WS_BORDER, FirstHotkeyId + id,
               {x, top, x + HotkeyWidth - 8, top + RowHeight - 4});
    x += HotkeyWidth;
    AddControl(L"Button", L"Win", WS_TABSTOP | BS_AUTOCHECKBOX, FirstWinBoxId + id,
               {x, top, x + WinBoxWidth, top + RowHeight - 4});
    x += WinBoxWidth;
    AddControl(L"Static", L"", SS_CENTERIMAGE, FirstStatusId + id,
               {x, top, x + StatusWidth, top + RowHeight - 4});
  }
  const int bottom = Margin + static_cast<int>(perColumn) * RowHeight;
  AddControl(L"Static", L"Choose a combination in a field: it works at once.", 0, MessageId,
             {Margin, bottom + 4, 2 * ColumnWidth, bottom + MessageHeight});
  const int boxTop = bottom + MessageHeight;
  AddControl(L"Button", L"Tell screen readers what each card says", WS_TABSTOP | BS_AUTOCHECKBOX,
             ScreenReaderBoxId, {Margin, boxTop, 2 * ColumnWidth, boxTop + CheckBoxHeight - 4});
  ::CheckDlgButton(fWindow.Get(), ScreenReaderBoxId,
                   fEditor.ScreenReaderNotices() ? BST_CHECKED : BST_UNCHECKED);
  const int buttonsTop = boxTop + CheckBoxHeight + Margin / 2;
  AddControl(L"Button", L"Restore defaults", WS_TABSTOP | BS_PUSHBUTTON, RestoreDefaultsId,
             {Margin, buttonsTop, Margin + ButtonWidth, buttonsTop + ButtonHeight});
  AddControl(
      L"Button", L"Close", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL,
      {2 * ColumnWidth - ButtonWidth, buttonsTop, 2 * ColumnWidth, buttonsTop + ButtonHeight});
}

void TSettingsWindow::ShowRow(std::size_t aRow) {
  const int id = static_cast<int>(aRow);
  const THotkeyCombination hotkey = fEditor.HotkeyInForce(aRow);
  fShowing = true;
  ::SendDlgItemMessageW(fWindow.Get(), FirstHotkeyId + id, HKM_SETHOTKEY,
                        MAKEWORD(static_cast<BYTE>(hotkey.Key), ControlFlags(hotkey)), 0);
  ::CheckDlgButton(fWindow.Get(), FirstWinBoxId + id,
                   (hotkey.Modifiers & MOD_WIN) ? BST_CHECKED : BST_UNCHECKED);
  fShowing = false;
  ::SetDlgItemTextW(fWindow.Get(), FirstStatusId + id,
                    fEditor.HotkeyTaken(aRow) ? L"taken by another program" : L"");
}

void TSettingsWindow::ShowAllRows() {
  for (std::size_t row = 0; row < CommandTable().size(); ++row)
    ShowRow(row);
}

// A field holding only modifiers is a combination still being typed; an
// empty field and no Win mean no hotkey.
void TSettingsWindow::ApplyRow(std::size_t aRow) {
  const int id = static_cast<int>(aRow);
  const auto value = static_cast<WORD>(
      ::SendDlgItemMessageW(fWindow.Get(), FirstHotkeyId + id, HKM_GETHOTKEY, 0, 0));
  const bool win = ::IsDlgButtonChecked(fWindow.Get(), FirstWinBoxId + id) == BST_CHECKED;
  THotkeyCombination hotkey{LOBYTE(value), ModifiersFromControl(HIBYTE(value))};
  if (win)
    hotkey.Modifiers |= MOD_WIN;
  if (hotkey.Key == 0 && (hotkey.Modifiers != 0))
    return;
  const std::wstring title = CommandTitle(CommandTable().at(aRow));
  if (hotkey.Key != 0 && hotkey.Modifiers == 0) {
    SetMessage(L"A hotkey needs Ctrl, Alt, Shift or Win with its key.");
    ShowRow(aRow);
    return;
  }
  try {
    fEditor.ChangeHotkey(aRow, hotkey);
    SetMessage(hotkey.Empty() ? title + L" has no hotkey now."
                              : title + L": " + HotkeyName(hotkey) + L" works now.");
  } catch (const EHotkeyRefused &e) {
    SetMessage(e.Text()); // handled: the user reads why, the old key stays
  } catch (const std::exception &e) {
    // The settings could not be written: the old key stays in force.
    TraceDroppedError();
    SetMessage(L"The hotkey could not be saved: " + WideFromErrorText(e.what()));
  }
  ShowRow(aRow);
}

// Kept as the box shows it; a setting that cannot be saved says so and the
// box shows what is in force.
void TSettingsWindow::ApplyScreenReaderBox() {
  const bool checked = ::IsDlgButtonChecked(fWindow.Get(), ScreenReaderBoxId) == BST_CHECKED;
  try {
    fEditor.SetScreenReaderNotices(checked);
    SetMessage(checked ? L"Screen readers hear what each card says."
                       : L"Screen readers no longer hear the cards.");
  } catch (const std::exception &aError) {
    TraceDroppedError();
    ::CheckDlgButton(fWindow.Get(), ScreenReaderBoxId, checked ? BST_UNCHECKED : BST_CHECKED);
    SetMessage(L"The setting could not be saved: " + WideFromErrorText(aError.what()));
  }
}

void TSettingsWindow::SetMessage(const std::wstring &aText) {
  ::SetDlgItemTextW(fWindow.Get(), MessageId, aText.c_str());
}

LRESULT TSettingsWindow::HandleMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  if (aMsg == WM_COMMAND) {
    const int id = LOWORD(aWParam);
    const int note = HIWORD(aWParam);
    const auto rows = static_cast<int>(CommandTable().size());
    if (id == IDCANCEL) {
      ::DestroyWindow(fWindow.Get());
    } else if (id == RestoreDefaultsId && note == BN_CLICKED) {
      fEditor.RestoreDefaultHotkeys();
      ShowAllRows();
      SetMessage(L"Every command has its default hotkey again.");
    } else if (id == ScreenReaderBoxId && note == BN_CLICKED) {
      ApplyScreenReaderBox();
    } else if (!fShowing && id >= FirstHotkeyId && id < FirstHotkeyId + rows && note == EN_CHANGE) {
      ApplyRow(static_cast<std::size_t>(id - FirstHotkeyId));
    } else if (!fShowing && id >= FirstWinBoxId && id < FirstWinBoxId + rows &&
               note == BN_CLICKED) {
      ApplyRow(static_cast<std::size_t>(id - FirstWinBoxId));
    }
    return 0;
  }
  if (aMsg == WM_DESTROY && sOpenWindow == fWindow.Get())
    sOpenWindow = nullptr;
  if (aMsg == WM_ERASEBKGND) {
    // The class has no brush of its own: the dialog face colour follows the
    // system's scheme, high contrast included.
    RECT all{};
    ::GetClientRect(fWindow.Get(), &all);
    ::FillRect(reinterpret_cast<HDC>(aWParam), &all, ::GetSysColorBrush(COLOR_BTNFACE));
    return 1;
  }
  if (aMsg == WM_CTLCOLORSTATIC || aMsg == WM_CTLCOLORBTN) {
    ::SetBkColor(reinterpret_cast<HDC>(aWParam), ::GetSysColor(COLOR_BTNFACE));
    ::SetTextColor(reinterpret_cast<HDC>(aWParam), ::GetSysColor(COLOR_BTNTEXT));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
  }
  return ::DefWindowProcW(fWindow.Get(), aMsg, aWParam, aLParam);
}
