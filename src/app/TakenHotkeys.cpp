#include "app/TakenHotkeys.h"

#include <windows.h>

namespace {

std::wstring KeyName(std::uint32_t aKey) {
  if (aKey >= VK_NUMPAD0 && aKey <= VK_NUMPAD9)
    return L"Num" + std::to_wstring(aKey - VK_NUMPAD0);
  if (aKey >= VK_F1 && aKey <= VK_F24)
    return L"F" + std::to_wstring(aKey - VK_F1 + 1);
  switch (aKey) {
  case VK_UP:
    return L"Up";
  case VK_DOWN:
    return L"Down";
  case VK_LEFT:
    return L"Left";
  case VK_RIGHT:
    return L"Right";
  default:
    break;
  }
  if ((aKey >= 'A' && aKey <= 'Z') || (aKey >= '0' && aKey <= '9'))
    return std::wstring(1, static_cast<wchar_t>(aKey));
  return L"Key" + std::to_wstring(aKey);
}

} // namespace

std::wstring HotkeyName(std::uint32_t aKey, std::uint32_t aModifiers) {
  std::wstring name;
  if (aModifiers & MOD_CONTROL)
    name += L"Ctrl+";
  if (aModifiers & MOD_ALT)
    name += L"Alt+";
  if (aModifiers & MOD_SHIFT)
    name += L"Shift+";
  if (aModifiers & MOD_WIN)
    name += L"Win+";
  return name + KeyName(aKey);
}

std::wstring TakenHotkeysMessage(const std::vector<std::wstring> &aNames) {
  if (aNames.empty())
    return {};
  std::wstring list;
  for (const std::wstring &name : aNames)
    list += (list.empty() ? L"" : L", ") + name;
  if (aNames.size() == 1)
    return L"1 hotkey is taken by another program: " + list + L". Use the tray menu for it.";
  return std::to_wstring(aNames.size()) + L" hotkeys are taken by another program: " + list +
         L". Use the tray menu for them.";
}

std::wstring MarkTakenInCaption(const std::wstring &aCaption, const std::wstring &aName) {
  const std::wstring tail = L"[" + aName + L"]";
  if (aCaption.size() < tail.size() ||
      aCaption.compare(aCaption.size() - tail.size(), tail.size(), tail) != 0)
    return aCaption;
  return aCaption.substr(0, aCaption.size() - 1) + L": taken]";
}
