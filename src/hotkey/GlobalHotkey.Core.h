#pragma once

#include "hotkey/GlobalHotkey.WndProcFilter.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <variant>

enum class TShiftModifier : std::uint8_t { smAlt = 0, smShift = 1, smCtrl = 2, smWin = 3 };

// A set of modifiers; member i is bit i. The bits are not the system's MOD_*
// flags (Shift and Ctrl are swapped there): use SystemModifiers to translate.
class TShiftModifiers {
public:
  constexpr TShiftModifiers() noexcept = default;
  constexpr TShiftModifiers(std::initializer_list<TShiftModifier> aMembers) noexcept {
    for (TShiftModifier member : aMembers)
      fBits |= Bit(member);
  }
  constexpr bool Contains(TShiftModifier aMember) const noexcept { return fBits & Bit(aMember); }
  constexpr std::uint8_t Bits() const noexcept { return fBits; }

private:
  static constexpr std::uint8_t Bit(TShiftModifier aMember) noexcept {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(aMember));
  }
  std::uint8_t fBits = 0;
};

// The MOD_* flags for a set, member by member; MOD_NOREPEAT is never added.
std::uint32_t SystemModifiers(TShiftModifiers aModifiers) noexcept;

class TGlobalHotkey;
using THotkeyHandler = std::function<void(TGlobalHotkey &aHotkey, std::uintptr_t aID)>;
// Free data for the hotkey's owner: nothing, or a page number.
using THotkeyUserData = std::variant<std::monostate, std::int32_t>;

// One system-wide key combination, registered against the message window
// for as long as the object lives. A combination the system refuses leaves
// the object in place with Registered() false; its handler then never runs.
// Create and destroy hotkeys on the thread that owns the message window.
// A handler may destroy its own hotkey (closing the program from a modal
// box that the handler opened does): the handler itself is released only
// after it has returned.
class TGlobalHotkey {
public:
  TGlobalHotkey(std::uint32_t aKey, std::uint32_t aModifiers, THotkeyHandler aHandler,
                TWndProcFilter &aWindow = WndProcFilter());
  TGlobalHotkey(std::uint32_t aKey, TShiftModifiers aModifiers, THotkeyHandler aHandler,
                TWndProcFilter &aWindow = WndProcFilter());
  TGlobalHotkey(const TGlobalHotkey &) = delete;
  TGlobalHotkey &operator=(const TGlobalHotkey &) = delete;
  ~TGlobalHotkey();

  std::uintptr_t ID() const noexcept { return fID; }
  std::uint32_t Key() const noexcept { return fKey; }
  std::uint32_t Modifiers() const noexcept { return fModifiers; }
  const THotkeyHandler &Handler() const noexcept { return *fHandler; }
  bool Registered() const noexcept { return fRegistered; }
  const THotkeyUserData &UserData() const noexcept { return fUserData; }
  void SetUserData(THotkeyUserData aUserData) { fUserData = std::move(aUserData); }

private:
  void HandleMessage(const TMessage &aMessage);

  TWndProcFilter &fWindow;
  std::uintptr_t fID;
  std::uint32_t fKey;
  std::uint32_t fModifiers;
  // Shared with a running call of it, which keeps it alive.
  std::shared_ptr<const THotkeyHandler> fHandler;
  bool fRegistered = false;
  THotkeyUserData fUserData;
  TMessageFilter fFilter;
};
