#pragma once

// The "Settings" window: every command of the command table with its hotkey
// in the system's hotkey control (and a Win check box, which that control
// cannot show), the combinations another program holds, "Restore
// defaults", and whether screen readers hear the cards. A change is applied as soon as it is made.
// Unlike the card, it is an ordinary window that takes the focus. Main thread only.

#include "app/HotkeyNames.h"
#include "shared/Handles.h"
#include "shared/WindowBinding.h"

#include <windows.h>

#include <cstddef>
#include <string>

// What the window changes; the main form.
class THotkeyEditor {
public:
  virtual ~THotkeyEditor() = default;
  virtual THotkeyCombination HotkeyInForce(std::size_t aRow) const = 0;
  // Another program holds the row's combination.
  virtual bool HotkeyTaken(std::size_t aRow) const = 0;
  // Throws EHotkeyRefused with the reason for the user.
  virtual void ChangeHotkey(std::size_t aRow, THotkeyCombination aHotkey) = 0;
  virtual void RestoreDefaultHotkeys() = 0;
  // Whether the cards are told to a running screen reader; the setter
  // keeps the choice and throws when it cannot.
  virtual bool ScreenReaderNotices() const = 0;
  virtual void SetScreenReaderNotices(bool aOn) = 0;
};

class TSettingsWindow {
public:
  static constexpr const wchar_t *WindowClassName = L"PagekeepSettings";
  static constexpr const wchar_t *Title = L"Pagekeep settings";
  // Control ids other programs (and the tests) address: the hotkey control
  // of row r is FirstHotkeyId + r, its Win box FirstWinBoxId + r and its
  // status text FirstStatusId + r.
  static constexpr int FirstHotkeyId = 1000;
  static constexpr int FirstWinBoxId = 2000;
  static constexpr int FirstStatusId = 3000;
  static constexpr int MessageId = 100;
  static constexpr int RestoreDefaultsId = 101;
  static constexpr int ScreenReaderBoxId = 102;

  explicit TSettingsWindow(THotkeyEditor &aEditor);
  TSettingsWindow(const TSettingsWindow &) = delete;
  TSettingsWindow &operator=(const TSettingsWindow &) = delete;
  ~TSettingsWindow();

  // Brings the window to the front with the keyboard focus.
  void Show();
  // Null once the user has closed it.
  HWND Handle() const noexcept { return fWindow.Get(); }

  // For the message loop: true when the message was a key that moves
  // through the open settings window's controls (Tab, arrows, Esc) and has
  // been handled.
  static bool HandleDialogKeys(MSG &aMessage);

private:
  friend struct TWindowBinding<TSettingsWindow>;
  LRESULT HandleMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam);

  void CreateControls();
  HWND AddControl(const wchar_t *aClass, const wchar_t *aText, DWORD aStyle, int aId, RECT aPlace);
  void ShowRow(std::size_t aRow);
  void ShowAllRows();
  void ApplyRow(std::size_t aRow);
  void ApplyScreenReaderBox();
  void SetMessage(const std::wstring &aText);
  int Scaled(int aPixels) const;

  // The window that is open, for the message loop; main thread only.
  static inline HWND sOpenWindow = nullptr;

  THotkeyEditor &fEditor;
  TWindowHandle fWindow;
  TGdiObjectHandle fFont;
  int fDpi = 96;
  // While the window itself sets a control, its change notes are not the user's.
  bool fShowing = false;
};
