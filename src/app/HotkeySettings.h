#pragma once

// The hotkeys the user chose, kept under "<app key>\Hotkeys" in
// HKEY_CURRENT_USER: one string value per command, named as the command
// ("NextPage" = "Ctrl+Alt+Right"); an empty string means no hotkey. A
// command without a value has its default.

#include "app/HotkeyNames.h"

#include "shared/Text.h"

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

// A hotkey the user asked for that cannot be put in force; Text() says why,
// in words for the user.
class EHotkeyRefused : public std::runtime_error {
public:
  explicit EHotkeyRefused(std::wstring aText)
      : std::runtime_error(Utf8FromWide(aText)), fText(std::move(aText)) {}
  const std::wstring &Text() const noexcept { return fText; }

private:
  std::wstring fText;
};

struct TUnreadableHotkey {
  std::wstring Command;
  // What the value holds, or why it could not be read at all.
  std::wstring Text;
};

struct THotkeyChoices {
  // By command name; an empty combination is the choice of none.
  std::map<std::wstring, THotkeyCombination> Chosen;
  // Values that are there but name no combination; their commands keep
  // their defaults.
  std::vector<TUnreadableHotkey> Unreadable;
};

// The choices for the commands of the command table; a missing key is no
// choice at all.
THotkeyChoices ReadHotkeyChoices(const std::wstring &aAppKey);
// Throws std::runtime_error when the value cannot be written.
void WriteHotkeyChoice(const std::wstring &aAppKey, const std::wstring &aCommand,
                       const THotkeyCombination &aHotkey);
// Removes every choice ("Restore defaults"); throws when the key stays.
void ClearHotkeyChoices(const std::wstring &aAppKey);
