#pragma once

#include "shared/Handles.h"

// The program's controller and the notifier's window. Hidden until the
// notifier shows a card; it never takes the keyboard focus.
class TMainForm {
public:
  static constexpr const wchar_t *WindowClassName = L"PagekeepMainForm";
  static constexpr const wchar_t *WindowCaption = L"Stowage Notifier";

  explicit TMainForm(HINSTANCE aInstance);
  TMainForm(const TMainForm &) = delete;
  TMainForm &operator=(const TMainForm &) = delete;
  ~TMainForm();

  HWND Handle() const noexcept { return fWindow.Get(); }

private:
  static LRESULT CALLBACK WindowProc(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam);
  LRESULT HandleMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam);

  HINSTANCE fInstance;
  TWindowHandle fWindow;
};

// Runs the message loop until WM_QUIT; returns its exit code.
int RunMessageLoop();
