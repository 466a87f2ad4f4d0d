#include "analysis/Format.Text.h"

#include "shared/Text.h"

#include <algorithm>

// A character of an ANSI code page takes at most this many bytes (UTF-8 can
// be the ANSI code page).
constexpr std::size_t MaxBytesPerAnsiChar = 4;

std::wstring DecodeAnsiText(std::span<const std::uint8_t> aData, std::size_t aMaxLength) {
  // One character more than asked for: a character cut by the byte limit is
  // always beyond the ones returned.
  if (aMaxLength < aData.size() / MaxBytesPerAnsiChar)
    aData = aData.first((aMaxLength + 1) * MaxBytesPerAnsiChar);
  const auto end = std::find(aData.begin(), aData.end(), std::uint8_t{0});
  std::wstring text = WideFromAnsi(std::string_view(reinterpret_cast<const char *>(aData.data()),
                                                    static_cast<std::size_t>(end - aData.begin())));
  if (text.size() > aMaxLength)
    text.resize(aMaxLength);
  return text;
}

std::wstring DecodeUnicodeText(std::span<const std::uint8_t> aData, std::size_t aMaxLength) {
  const std::size_t units = std::min(aData.size() / 2, aMaxLength);
  std::wstring text;
  text.reserve(std::min<std::size_t>(units, 4096));
  for (std::size_t i = 0; i < units; ++i) {
    const auto unit = static_cast<wchar_t>(aData[2 * i] | (aData[2 * i + 1] << 8));
    if (unit == L'\0')
      break;
    text += unit;
  }
  return text;
}

std::wstring CutTextPreview(std::wstring aText) {
  if (aText.size() <= MaxTextPreviewLength)
    return aText;
  aText.resize(MaxTextPreviewLength - TextEllipsis.size());
  const std::size_t lastBreak = aText.find_last_of(TextBreakChars);
  if (lastBreak != std::wstring::npos)
    aText.resize(lastBreak);
  return aText.append(TextEllipsis);
}
