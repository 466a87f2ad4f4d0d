// TAutomaticUpdate, answer: whether the update check's answer offers another version.
#include "update/AutomaticUpdate.h"

#include "update/UpdateVersion.h"

std::wstring TrimmedAnswer(const std::wstring &aAnswer) {
  const wchar_t *space = L" \t\r\n\v\f";
  const size_t first = aAnswer.find_first_not_of(space);
  if (first == std::wstring::npos)
    return {};
  return aAnswer.substr(first, aAnswer.find_last_not_of(space) - first + 1);
}

bool IsOfferedVersion(const std::wstring &aAnswer) {
  const std::wstring version = TrimmedAnswer(aAnswer);
  return LooksLikeVersion(version) && version != TAutomaticUpdate::OwnVersion;
}
