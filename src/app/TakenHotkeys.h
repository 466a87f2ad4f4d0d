#pragma once

// The card's report of the combinations another program holds. Pure text.

#include "app/HotkeyNames.h"

#include <cstdint>
#include <string>
#include <vector>

// "2 hotkeys are taken by another program: Alt+Win+Up, Alt+Win+Down. Use the
// tray menu for them." (the singular for one); empty for none.
std::wstring TakenHotkeysMessage(const std::vector<std::wstring> &aNames);

// A menu caption that ends with "[<aName>]" gets ": taken" inside the
// brackets; any other caption comes back unchanged.
std::wstring MarkTakenInCaption(const std::wstring &aCaption, const std::wstring &aName);
