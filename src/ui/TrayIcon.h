#pragma once

#include "shared/Handles.h"
#include "shared/WindowBinding.h"
#include "ui/TrayMenu.h"

#include <functional>
#include <string>

#include <shellapi.h>

// The notification-area icon with its context menu. It owns a hidden window
// that receives the icon's mouse events, the menu's commands and the
// shell's "TaskbarCreated" broadcast (after which the icon is added again).
// A left click runs OnClick; a right click opens the menu at the mouse.
// Errors raised by the click handler or a menu command stay inside.
class TTrayIcon {
public:
  static constexpr const wchar_t *WindowClassName = L"PagekeepTrayWindow";
  // Asked by SendMessage with a command id in WParam (0 for the icon
  // itself), the window answers 0 when there is no such item, else
  // ItemExists plus ItemChecked when the mark is set (for the icon: when it
  // is in the notification area). Lets another process observe the menu.
  static constexpr const wchar_t *ItemStateMessageName = L"Pagekeep.TrayItemState";
  static constexpr LRESULT ItemExists = 1;
  static constexpr LRESULT ItemChecked = 2;
  // Asked by SendMessage with a command id in WParam, the window writes that
  // item's caption into its child window of class "Static" (read it with
  // GetWindowTextW) and answers 1; 0 when there is no such item.
  static constexpr const wchar_t *ItemCaptionMessageName = L"Pagekeep.TrayItemCaption";

  explicit TTrayIcon(std::wstring aHint);
  TTrayIcon(const TTrayIcon &) = delete;
  TTrayIcon &operator=(const TTrayIcon &) = delete;
  ~TTrayIcon();

  TTrayMenuItem &Menu() noexcept { return fMenu; }
  void SetOnClick(std::function<void()> aOnClick) { fOnClick = std::move(aOnClick); }
  // A double-click runs the click first (the shell reports both).
  void SetOnDoubleClick(std::function<void()> aOnDoubleClick) {
    fOnDoubleClick = std::move(aOnDoubleClick);
  }

  // Adds the icon to the notification area or removes it. When the shell is
  // not there yet, the icon comes with its "TaskbarCreated" message.
  void SetVisible(bool aVisible);
  bool Visible() const noexcept { return fVisible; }
  bool InNotificationArea() const noexcept { return fAdded; }

  // A balloon tip with the information symbol; false when the shell refused.
  bool ShowBalloon(const std::wstring &aTitle, const std::wstring &aText, unsigned aTimeout);

  // Runs the menu command as a click on its item would; false when no item
  // has that id.
  bool RunCommand(unsigned aCommandID);
  // Opens the context menu at aPosition (screen coordinates) and runs the
  // chosen command.
  void ShowMenu(POINT aPosition);

  HWND Handle() const noexcept { return fWindow.Get(); }

private:
  friend struct TWindowBinding<TTrayIcon>;
  LRESULT HandleMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam);
  void HandleIconEvent(WPARAM aWParam, LPARAM aLParam);
  void Click();
  void Run(const std::function<void()> &aHandler);
  LRESULT ItemState(unsigned aCommandID);
  LRESULT ItemCaption(unsigned aCommandID);
  NOTIFYICONDATAW IconData(UINT aFlags) const;
  bool AddToNotificationArea();

  std::wstring fHint;
  TTrayMenuItem fMenu{L"", 0, nullptr};
  std::function<void()> fOnClick;
  std::function<void()> fOnDoubleClick;
  TIconHandle fIcon;
  TWindowHandle fWindow;
  UINT fTaskbarCreated = 0;
  UINT fItemStateMessage = 0;
  UINT fItemCaptionMessage = 0;
  HWND fCaptionRecord = nullptr; // a child: goes with the window
  bool fVisible = false;
  bool fAdded = false;
  bool fVersion4 = false;
};
