#include "app/TakenHotkeys.h"

std::wstring TakenHotkeysMessage(const std::vector<std::wstring> &aNames) {
  if (aNames.empty())
    return {};
  std::wstring list;
  for (const std::wstring &name : aNames)
    list += (list.empty() ? L"" : L", ") + name;
  if (aNames.size() == 1)
    return L"1 hotkey is taken by another program: " + list + L". Choose another key in Settings.";
  return std::to_wstring(aNames.size()) + L" hotkeys are taken by another program: " + list +
         L". Choose other keys in Settings.";
}

std::wstring MarkTakenInCaption(const std::wstring &aCaption, const std::wstring &aName) {
  const std::wstring tail = L"[" + aName + L"]";
  if (aCaption.size() < tail.size() ||
      aCaption.compare(aCaption.size() - tail.size(), tail.size(), tail) != 0)
    return aCaption;
  return aCaption.substr(0, aCaption.size() - 1) + L": taken]";
}
