// TTrayIcon, window: its hidden window, icon messages and the notification-area icon.
#include "ui/TrayIcon.h"

#include "shared/Trace.h"

#include "shared/WindowClass.h"

#include <windowsx.h>

#include <iterator>

namespace {
constexpr UINT IconCallbackMessage = WM_APP + 1;

HINSTANCE ModuleInstance() {
  return ::GetModuleHandleW(nullptr);
}

// The program's main icon at the small-icon size; the stock application
// icon where the module has none (test programs).
TIconHandle LoadTrayIcon() {
  const int size = ::GetSystemMetrics(SM_CXSMICON);
  if (auto icon = static_cast<HICON>(
          ::LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0)))
    return TIconHandle(icon);
  TIconHandle stock(::CopyIcon(::LoadIconW(nullptr, IDI_APPLICATION)));
  CheckWin32(static_cast<bool>(stock), "CopyIcon");
  return stock;
}
} // namespace

TTrayIcon::TTrayIcon(std::wstring aHint) : fHint(std::move(aHint)), fIcon(LoadTrayIcon()) {
  fTaskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
  fItemStateMessage = ::RegisterWindowMessageW(ItemStateMessageName);
  fItemCaptionMessage = ::RegisterWindowMessageW(ItemCaptionMessageName);
  CheckWin32(fTaskbarCreated != 0 && fItemStateMessage != 0 && fItemCaptionMessage != 0,
             "RegisterWindowMessageW");
  RegisterWindowClass(WindowClassName, &TWindowBinding<TTrayIcon>::WindowProc);
  // Top-level (not message-only) so that the shell's broadcast reaches it;
  // never shown.
  const HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW, WindowClassName, fHint.c_str(), WS_POPUP,
                                        0, 0, 0, 0, nullptr, nullptr, ModuleInstance(), this);
  CheckWin32(window != nullptr, "CreateWindowExW");
  // Since Windows 7 a program must let the broadcast through the message
  // filter explicitly when it runs elevated (the updater does).
  ::ChangeWindowMessageFilterEx(window, fTaskbarCreated, MSGFLT_ALLOW, nullptr);
}

TTrayIcon::~TTrayIcon() {
  SetVisible(false);
  fWindow.Reset();
}

LRESULT TTrayIcon::HandleMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  if (aMsg == IconCallbackMessage) {
    try {
      HandleIconEvent(aWParam, aLParam);
    } catch (...) {
      // A menu that cannot be built must not reach the shell's message.
      TraceDroppedError();
    }
    return 0;
  }
  if (aMsg == WM_COMMAND && HIWORD(aWParam) == 0) {
    RunCommand(LOWORD(aWParam));
    return 0;
  }
  if (aMsg == fTaskbarCreated) {
    if (fVisible)
      fAdded = AddToNotificationArea();
    return 0;
  }
  if (aMsg == fItemStateMessage)
    return ItemState(static_cast<unsigned>(aWParam));
  if (aMsg == fItemCaptionMessage)
    return ItemCaption(static_cast<unsigned>(aWParam));
  return ::DefWindowProcW(fWindow.Get(), aMsg, aWParam, aLParam);
}

// With version 4 the shell sends NIN_SELECT for a click and WM_CONTEXTMENU
// with the position for the menu; older shells send the bare mouse events.
void TTrayIcon::HandleIconEvent(WPARAM aWParam, LPARAM aLParam) {
  const UINT event = fVersion4 ? LOWORD(aLParam) : static_cast<UINT>(aLParam);
  if (fVersion4) {
    if (event == NIN_SELECT || event == NIN_KEYSELECT)
      Click();
    else if (event == WM_LBUTTONDBLCLK)
      Run(fOnDoubleClick);
    else if (event == WM_CONTEXTMENU)
      ShowMenu(POINT{GET_X_LPARAM(aWParam), GET_Y_LPARAM(aWParam)});
    return;
  }
  if (event == WM_LBUTTONUP) {
    Click();
  } else if (event == WM_LBUTTONDBLCLK) {
    Run(fOnDoubleClick);
  } else if (event == WM_RBUTTONUP) {
    POINT cursor{};
    ::GetCursorPos(&cursor);
    ShowMenu(cursor);
  }
}

void TTrayIcon::Click() {
  Run(fOnClick);
}

void TTrayIcon::Run(const std::function<void()> &aHandler) {
  try {
    if (aHandler)
      aHandler();
  } catch (...) {
    // A failing command must not reach the shell's message nor stop the icon.
    TraceDroppedError();
  }
}

LRESULT TTrayIcon::ItemState(unsigned aCommandID) {
  if (aCommandID == 0)
    return ItemExists | (fAdded ? ItemChecked : 0);
  const TTrayMenuItem *item = fMenu.FindCommand(aCommandID);
  if (!item)
    return 0;
  return ItemExists | (item->Checked() ? ItemChecked : 0);
}

// A text cannot travel back in a message's answer between processes; a
// child window's text can (WM_GETTEXT is carried across by the system).
LRESULT TTrayIcon::ItemCaption(unsigned aCommandID) {
  const TTrayMenuItem *item = fMenu.FindCommand(aCommandID);
  if (!item)
    return 0;
  if (!fCaptionRecord)
    fCaptionRecord = ::CreateWindowExW(0, L"Static", L"", WS_CHILD, 0, 0, 0, 0, fWindow.Get(),
                                       nullptr, ModuleInstance(), nullptr);
  return fCaptionRecord && ::SetWindowTextW(fCaptionRecord, item->Caption().c_str()) ? 1 : 0;
}

NOTIFYICONDATAW TTrayIcon::IconData(UINT aFlags) const {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = fWindow.Get();
  data.uID = 1;
  data.uFlags = aFlags;
  data.uCallbackMessage = IconCallbackMessage;
  data.hIcon = fIcon.Get();
  fHint.copy(data.szTip, std::size(data.szTip) - 1);
  return data;
}

bool TTrayIcon::AddToNotificationArea() {
  NOTIFYICONDATAW data = IconData(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP);
  if (!::Shell_NotifyIconW(NIM_ADD, &data))
    return false;
  data.uVersion = NOTIFYICON_VERSION_4;
  fVersion4 = ::Shell_NotifyIconW(NIM_SETVERSION, &data) != FALSE;
  return true;
}

void TTrayIcon::SetVisible(bool aVisible) {
  fVisible = aVisible;
  if (aVisible && !fAdded) {
    fAdded = AddToNotificationArea();
  } else if (!aVisible && fAdded) {
    NOTIFYICONDATAW data = IconData(0);
    ::Shell_NotifyIconW(NIM_DELETE, &data);
    // Gone either way: a refused removal means the shell has no such icon.
    fAdded = false;
  }
}

bool TTrayIcon::ShowBalloon(const std::wstring &aTitle, const std::wstring &aText,
                            unsigned aTimeout) {
  if (!fAdded)
    return false;
  NOTIFYICONDATAW data = IconData(NIF_INFO);
  aTitle.copy(data.szInfoTitle, std::size(data.szInfoTitle) - 1);
  aText.copy(data.szInfo, std::size(data.szInfo) - 1);
  data.uTimeout = aTimeout;
  data.dwInfoFlags = NIIF_INFO;
  return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}
