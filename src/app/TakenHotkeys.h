#pragma once

// Names of hotkey combinations as the tray menu and the card show them, and
// the card's report of the combinations another program holds. Pure text.

#include <cstdint>
#include <string>
#include <vector>

// "Alt+Win+Num3", "Alt+Win+F6", "Alt+Win+Up", "Alt+D": aModifiers are the
// system's MOD_* flags, aKey a virtual-key code.
std::wstring HotkeyName(std::uint32_t aKey, std::uint32_t aModifiers);

// "2 hotkeys are taken by another program: Alt+Win+Up, Alt+Win+Down. Use the
// tray menu for them." (the singular for one); empty for none.
std::wstring TakenHotkeysMessage(const std::vector<std::wstring> &aNames);

// A menu caption that ends with "[<aName>]" gets ": taken" inside the
// brackets; any other caption comes back unchanged.
std::wstring MarkTakenInCaption(const std::wstring &aCaption, const std::wstring &aName);
