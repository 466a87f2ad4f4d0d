// TAutomaticUpdate, answer: whether the update check's answer offers another version.
#include "update/AutomaticUpdate.h"

namespace {

bool IsDigit(wchar_t aChar) {
  return aChar >= L'0' && aChar <= L'9';
}

bool LooksLikeVersion(const std::wstring &aText) {
  if (aText.empty() || aText.size() > 32 || !IsDigit(aText.front()) || !IsDigit(aText.back()))
    return false;
  for (size_t i = 0; i < aText.size(); ++i) {
    if (IsDigit(aText[i]))
      continue;
    if (aText[i] != L'.' || aText[i + 1] == L'.')
      return false;
  }
  return true;
}

} // namespace

bool IsOfferedVersion(const std::wstring &aAnswer) {
  const wchar_t *space = L" \t\r\n\v\f";
  const size_t first = aAnswer.find_first_not_of(space);
  if (first == std::wstring::npos)
    return false;
  const std::wstring version = aAnswer.substr(first, aAnswer.find_last_not_of(space) - first + 1);
  return LooksLikeVersion(version) && version != TAutomaticUpdate::OwnVersion;
}
