#include "update/UpdateVersion.h"

#include <algorithm>
#include <vector>

namespace {

bool IsDigit(wchar_t aChar) {
  return aChar >= L'0' && aChar <= L'9';
}

// The parts without their leading zeros, so that parts of any length
// compare as numbers: first by length, then digit by digit.
std::vector<std::wstring> PartsOf(const std::wstring &aVersion) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  for (;;) {
    const size_t dot = aVersion.find(L'.', start);
    std::wstring part = aVersion.substr(start, dot - start);
    part.erase(0, std::min(part.find_first_not_of(L'0'), part.size()));
    parts.push_back(part);
    if (dot == std::wstring::npos)
      return parts;
    start = dot + 1;
  }
}

int ComparePart(const std::wstring &aLeft, const std::wstring &aRight) {
  if (aLeft.size() != aRight.size())
    return aLeft.size() < aRight.size() ? -1 : 1;
  const int order = aLeft.compare(aRight);
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

} // namespace

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

std::optional<int> CompareVersions(const std::wstring &aLeft, const std::wstring &aRight) {
  if (!LooksLikeVersion(aLeft) || !LooksLikeVersion(aRight))
    return std::nullopt;
  std::vector<std::wstring> left = PartsOf(aLeft);
  std::vector<std::wstring> right = PartsOf(aRight);
  const size_t count = std::max(left.size(), right.size());
  left.resize(count);
  right.resize(count);
  for (size_t i = 0; i < count; ++i)
    if (const int order = ComparePart(left[i], right[i]); order != 0)
      return order;
  return 0;
}

std::optional<std::array<std::uint16_t, 4>> FixedVersionParts(const std::wstring &aVersion) {
  if (!LooksLikeVersion(aVersion))
    return std::nullopt;
  const std::vector<std::wstring> parts = PartsOf(aVersion);
  if (parts.size() > 4)
    return std::nullopt;
  std::array<std::uint16_t, 4> fixed{};
  for (size_t i = 0; i < parts.size(); ++i) {
    if (parts[i].size() > 5)
      return std::nullopt;
    const unsigned long value = parts[i].empty() ? 0 : std::stoul(parts[i]);
    if (value > 0xFFFF)
      return std::nullopt;
    fixed[i] = static_cast<std::uint16_t>(value);
  }
  return fixed;
}
