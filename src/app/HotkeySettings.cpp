#include "app/HotkeySettings.h"

#include "app/Commands.h"
#include "shared/Registry.h"

#include <stdexcept>

namespace {

std::wstring HotkeysKey(const std::wstring &aAppKey) {
  return aAppKey + L"\\Hotkeys";
}

} // namespace

THotkeyChoices ReadHotkeyChoices(const std::wstring &aAppKey) {
  THotkeyChoices choices;
  const TRegistryKey key = Registry::OpenCurrentUserKey(HotkeysKey(aAppKey), false, KEY_READ);
  if (!key)
    return choices;
  for (const TCommandRow &row : CommandTable()) {
    std::optional<std::wstring> text;
    try {
      text = Registry::ReadString(key.Get(), row.Name);
    } catch (const ERegistryTypeError &) {
      // handled: reported to the user with the other unreadable values
      choices.Unreadable.push_back({row.Name, L"not a text"});
      continue;
    }
    if (!text)
      continue;
    if (text->empty()) {
      choices.Chosen[row.Name] = {};
      continue;
    }
    if (const std::optional<THotkeyCombination> hotkey = ParseHotkeyName(*text))
      choices.Chosen[row.Name] = *hotkey;
    else
      choices.Unreadable.push_back({row.Name, *text});
  }
  return choices;
}

void WriteHotkeyChoice(const std::wstring &aAppKey, const std::wstring &aCommand,
                       const THotkeyCombination &aHotkey) {
  const TRegistryKey key = Registry::OpenCurrentUserKey(HotkeysKey(aAppKey), true);
  if (!key)
    throw std::runtime_error("Cannot open the registry key of the hotkeys");
  Registry::WriteString(key.Get(), aCommand, aHotkey.Empty() ? L"" : HotkeyName(aHotkey));
}

void ClearHotkeyChoices(const std::wstring &aAppKey) {
  const LSTATUS status = ::RegDeleteTreeW(HKEY_CURRENT_USER, HotkeysKey(aAppKey).c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
    throw std::runtime_error(LastErrorText("RegDeleteTreeW", static_cast<DWORD>(status)));
}
