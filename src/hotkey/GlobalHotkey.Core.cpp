#include "hotkey/GlobalHotkey.Core.h"

#include "hotkey/GlobalHotkey.UniqueID.h"

#include <stdexcept>

std::uint32_t SystemModifiers(TShiftModifiers aModifiers) noexcept {
  std::uint32_t flags = 0;
  if (aModifiers.Contains(TShiftModifier::smAlt))
    flags |= MOD_ALT;
  if (aModifiers.Contains(TShiftModifier::smShift))
    flags |= MOD_SHIFT;
  if (aModifiers.Contains(TShiftModifier::smCtrl))
    flags |= MOD_CONTROL;
  if (aModifiers.Contains(TShiftModifier::smWin))
    flags |= MOD_WIN;
  return flags;
}

TGlobalHotkey::TGlobalHotkey(std::uint32_t aKey, std::uint32_t aModifiers, THotkeyHandler aHandler,
                             TWndProcFilter &aWindow)
    : fWindow(aWindow), fID(static_cast<std::uintptr_t>(UniqueID().GetUniqueID())), fKey(aKey),
      fModifiers(aModifiers) {
  if (!aHandler)
    throw std::invalid_argument("A hotkey needs a handler");
  fHandler = std::make_shared<const THotkeyHandler>(std::move(aHandler));
  fFilter = MakeMessageFilter([this](TMessage aMessage) { HandleMessage(aMessage); });
  fWindow.AddFilter(fFilter);
  // Last, after everything that can fail: a failed construction runs no
  // destructor, and the combination would stay registered for good.
  fRegistered = ::RegisterHotKey(fWindow.Handle(), static_cast<int>(fID), fModifiers, fKey) != 0;
}

TGlobalHotkey::TGlobalHotkey(std::uint32_t aKey, TShiftModifiers aModifiers,
                             THotkeyHandler aHandler, TWndProcFilter &aWindow)
    : TGlobalHotkey(aKey, SystemModifiers(aModifiers), std::move(aHandler), aWindow) {}

TGlobalHotkey::~TGlobalHotkey() {
  // Also when the registration failed: the id is ours, and a failed
  // unregistration has nothing left to undo.
  ::UnregisterHotKey(fWindow.Handle(), static_cast<int>(fID));
  fWindow.RemoveFilter(fFilter);
}

// The handler may destroy this hotkey: it runs from a reference of its own,
// and nothing of the object is touched once it has returned.
void TGlobalHotkey::HandleMessage(const TMessage &aMessage) {
  if (aMessage.Msg != WM_HOTKEY || aMessage.WParam != fID)
    return;
  const std::shared_ptr<const THotkeyHandler> handler = fHandler;
  (*handler)(*this, aMessage.WParam);
}
