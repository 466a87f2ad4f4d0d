#include "clipboard/ClipboardSession.h"

#include "clipboard/ClipboardStream.h"
#include "shared/WindowClass.h"

namespace {

constexpr const wchar_t *OwnerWindowClass = L"PagekeepClipboardOwner";

} // namespace

HWND TClipboard::OwnerWindow() {
  if (!fOwner) {
    RegisterWindowClass(OwnerWindowClass, &::DefWindowProcW);
    fOwner.Reset(::CreateWindowExW(0, OwnerWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr));
    CheckWin32(static_cast<bool>(fOwner), "CreateWindowExW");
  }
  return fOwner.Get();
}

bool TClipboard::TryOpen(std::chrono::milliseconds aPatience) {
  if (fOpenCount > 0) {
    ++fOpenCount;
    return true;
  }
  const HWND owner = OwnerWindow();
  const auto deadline = std::chrono::steady_clock::now() + aPatience;
  // Another program holds the clipboard only briefly as a rule; retry at
  // once instead of sleeping on the main thread.
  while (!::OpenClipboard(owner)) {
    fLastOpenError = ::GetLastError();
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    ::SwitchToThread();
  }
  fOpenCount = 1;
  return true;
}

void TClipboard::Open(std::chrono::milliseconds aPatience) {
  if (!TryOpen(aPatience)) {
    throw EClipboardOpenError("Cannot open clipboard: " + SystemErrorMessage(fLastOpenError));
  }
}

void TClipboard::Close() {
  if (fOpenCount == 0)
    return;
  if (--fOpenCount == 0)
    ::CloseClipboard();
}

TClipboard &Clipboard() {
  static TClipboard clipboard;
  return clipboard;
}
