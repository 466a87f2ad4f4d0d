#pragma once

// Hotkey combinations and their names, as the menu, the cards and the saved
// settings write them ("Alt+Win+F3"). Pure text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A key with the system's MOD_* flags; Key 0 means no hotkey.
struct THotkeyCombination {
  std::uint32_t Key = 0;
  std::uint32_t Modifiers = 0;
  bool Empty() const noexcept { return Key == 0; }
  bool operator==(const THotkeyCombination &) const = default;
};

// "Alt+Win+Num3", "Alt+Win+F6", "Alt+Win+Up", "Alt+D": aModifiers are the
// system's MOD_* flags, aKey a virtual-key code.
std::wstring HotkeyName(std::uint32_t aKey, std::uint32_t aModifiers);
std::wstring HotkeyName(const THotkeyCombination &aHotkey);

// The combination a name stands for, case and spaces around the parts
// ignored; nothing for a name that is not one: an unknown key or modifier,
// a modifier given twice, a key alone or a modifier key as the key. A global
// hotkey without a modifier would take the key from every program.
std::optional<THotkeyCombination> ParseHotkeyName(std::wstring_view aName);
