#include "app/HotkeyNames.h"

#include <windows.h>

#include <array>
#include <cwctype>
#include <vector>

namespace {

struct TNamedKey {
  std::uint32_t Key;
  const wchar_t *Name;
};

constexpr std::array<TNamedKey, 11> NamedKeys{{{VK_UP, L"Up"},
                                               {VK_DOWN, L"Down"},
                                               {VK_LEFT, L"Left"},
                                               {VK_RIGHT, L"Right"},
                                               {VK_HOME, L"Home"},
                                               {VK_END, L"End"},
                                               {VK_PRIOR, L"PageUp"},
                                               {VK_NEXT, L"PageDown"},
                                               {VK_INSERT, L"Insert"},
                                               {VK_DELETE, L"Delete"},
                                               {VK_SPACE, L"Space"}}};

struct TNamedModifier {
  std::uint32_t Flag;
  const wchar_t *Name;
};

// In the order names are written.
constexpr std::array<TNamedModifier, 4> Modifiers{
    {{MOD_CONTROL, L"Ctrl"}, {MOD_ALT, L"Alt"}, {MOD_SHIFT, L"Shift"}, {MOD_WIN, L"Win"}}};

std::wstring KeyName(std::uint32_t aKey) {
  if (aKey >= VK_NUMPAD0 && aKey <= VK_NUMPAD9)
    return L"Num" + std::to_wstring(aKey - VK_NUMPAD0);
  if (aKey >= VK_F1 && aKey <= VK_F24)
    return L"F" + std::to_wstring(aKey - VK_F1 + 1);
  for (const TNamedKey &named : NamedKeys)
    if (named.Key == aKey)
      return named.Name;
  if ((aKey >= 'A' && aKey <= 'Z') || (aKey >= '0' && aKey <= '9'))
    return std::wstring(1, static_cast<wchar_t>(aKey));
  return L"Key" + std::to_wstring(aKey);
}

std::wstring Upper(std::wstring_view aText) {
  std::wstring result;
  for (wchar_t c : aText)
    result += static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return result;
}

std::wstring_view Trimmed(std::wstring_view aText) {
  while (!aText.empty() && aText.front() == L' ')
    aText.remove_prefix(1);
  while (!aText.empty() && aText.back() == L' ')
    aText.remove_suffix(1);
  return aText;
}

// The number after aPrefix, when the rest is 1 to 3 digits.
std::optional<std::uint32_t> NumberAfter(const std::wstring &aText, const std::wstring &aPrefix) {
  if (aText.size() <= aPrefix.size() || aText.size() > aPrefix.size() + 3 ||
      aText.compare(0, aPrefix.size(), aPrefix) != 0)
    return std::nullopt;
  std::uint32_t number = 0;
  for (std::size_t i = aPrefix.size(); i < aText.size(); ++i) {
    if (aText[i] < L'0' || aText[i] > L'9')
      return std::nullopt;
    number = number * 10 + static_cast<std::uint32_t>(aText[i] - L'0');
  }
  return number;
}

bool IsModifierKey(std::uint32_t aKey) {
  switch (aKey) {
  case VK_SHIFT:
  case VK_CONTROL:
  case VK_MENU:
  case VK_LWIN:
  case VK_RWIN:
  case VK_LSHIFT:
  case VK_RSHIFT:
  case VK_LCONTROL:
  case VK_RCONTROL:
  case VK_LMENU:
  case VK_RMENU:
    return true;
  default:
    return false;
  }
}

std::optional<std::uint32_t> ParseKey(const std::wstring &aName) {
  if (aName.size() == 1 &&
      ((aName[0] >= L'A' && aName[0] <= L'Z') || (aName[0] >= L'0' && aName[0] <= L'9')))
    return static_cast<std::uint32_t>(aName[0]);
  for (const TNamedKey &named : NamedKeys)
    if (Upper(named.Name) == aName)
      return named.Key;
  if (auto number = NumberAfter(aName, L"NUM"); number && *number <= 9)
    return VK_NUMPAD0 + *number;
  if (auto number = NumberAfter(aName, L"F"); number && *number >= 1 && *number <= 24)
    return VK_F1 + *number - 1;
  if (auto number = NumberAfter(aName, L"KEY");
      number && *number >= 1 && *number <= 254 && !IsModifierKey(*number))
    return *number;
  return std::nullopt;
}

std::optional<std::uint32_t> ParseModifier(const std::wstring &aName) {
  for (const TNamedModifier &modifier : Modifiers)
    if (Upper(modifier.Name) == aName)
      return modifier.Flag;
  if (aName == L"CONTROL")
    return MOD_CONTROL;
  return std::nullopt;
}

std::vector<std::wstring> Parts(std::wstring_view aName) {
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t plus = aName.find(L'+', start);
    parts.push_back(Upper(Trimmed(aName.substr(start, plus - start))));
    if (plus == std::wstring_view::npos)
      return parts;
    start = plus + 1;
  }
}

} // namespace

std::wstring HotkeyName(std::uint32_t aKey, std::uint32_t aModifiers) {
  std::wstring name;
  for (const TNamedModifier &modifier : Modifiers)
    if (aModifiers & modifier.Flag)
      name += std::wstring(modifier.Name) + L"+";
  return name + KeyName(aKey);
}

std::wstring HotkeyName(const THotkeyCombination &aHotkey) {
  return HotkeyName(aHotkey.Key, aHotkey.Modifiers);
}

std::optional<THotkeyCombination> ParseHotkeyName(std::wstring_view aName) {
  const std::vector<std::wstring> parts = Parts(aName);
  if (parts.size() < 2)
    return std::nullopt;
  THotkeyCombination hotkey;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    const std::optional<std::uint32_t> flag = ParseModifier(parts[i]);
    if (!flag || (hotkey.Modifiers & *flag))
      return std::nullopt;
    hotkey.Modifiers |= *flag;
  }
  const std::optional<std::uint32_t> key = ParseKey(parts.back());
  if (!key)
    return std::nullopt;
  hotkey.Key = *key;
  return hotkey;
}
