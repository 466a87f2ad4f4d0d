// The text conversions of shared/Text.h for the host build only. The
// program converts with the system (MultiByteToWideChar and friends); the
// host units need the same results for the texts their tests use: UTF-8
// to and from UTF-16 code units (one per wchar_t, as on Windows), and an
// ANSI code page of Latin-1, which agrees with Windows-1252 on the letters
// the tests use.
#include "shared/Text.h"

namespace {

constexpr char32_t Replacement = 0xFFFD;

bool IsHighSurrogate(char32_t aUnit) {
  return aUnit >= 0xD800 && aUnit <= 0xDBFF;
}
bool IsLowSurrogate(char32_t aUnit) {
  return aUnit >= 0xDC00 && aUnit <= 0xDFFF;
}

void AppendUtf8(std::string &aOut, char32_t aCode) {
  if (aCode < 0x80) {
    aOut += static_cast<char>(aCode);
  } else if (aCode < 0x800) {
    aOut += static_cast<char>(0xC0 | (aCode >> 6));
    aOut += static_cast<char>(0x80 | (aCode & 0x3F));
  } else if (aCode < 0x10000) {
    aOut += static_cast<char>(0xE0 | (aCode >> 12));
    aOut += static_cast<char>(0x80 | ((aCode >> 6) & 0x3F));
    aOut += static_cast<char>(0x80 | (aCode & 0x3F));
  } else {
    aOut += static_cast<char>(0xF0 | (aCode >> 18));
    aOut += static_cast<char>(0x80 | ((aCode >> 12) & 0x3F));
    aOut += static_cast<char>(0x80 | ((aCode >> 6) & 0x3F));
    aOut += static_cast<char>(0x80 | (aCode & 0x3F));
  }
}

std::optional<std::string> ToUtf8(std::wstring_view aText, bool aStrict) {
  std::string out;
  for (std::size_t i = 0; i < aText.size(); ++i) {
    char32_t unit = static_cast<char16_t>(aText[i]);
    if (IsHighSurrogate(unit) && i + 1 < aText.size() &&
        IsLowSurrogate(static_cast<char16_t>(aText[i + 1]))) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (static_cast<char16_t>(aText[++i]) - 0xDC00);
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      if (aStrict)
        return std::nullopt;
      unit = Replacement;
    }
    AppendUtf8(out, unit);
  }
  return out;
}

std::optional<std::wstring> FromUtf8(std::string_view aBytes, bool aStrict) {
  std::wstring out;
  for (std::size_t i = 0; i < aBytes.size();) {
    const auto lead = static_cast<unsigned char>(aBytes[i]);
    const std::size_t length = lead < 0x80                   ? 1
                               : lead >= 0xF0 && lead < 0xF5 ? 4
                               : lead >= 0xE0                ? 3
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                                                             : 0;
    char32_t code = length == 1   ? lead
                    : length == 2 ? lead & 0x1F
                    : length == 3 ? lead & 0x0F
                                  : lead & 0x07;
    bool valid = length > 0 && i + length <= aBytes.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(aBytes[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    valid = valid && !(length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) &&
            !(length == 4 && (code < 0x10000 || code > 0x10FFFF));
    if (!valid) {
      if (aStrict)
        return std::nullopt;
      out += static_cast<wchar_t>(Replacement);
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      out += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
      out += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      out += static_cast<wchar_t>(code);
    }
    i += length;
  }
  return out;
}

} // namespace

std::string Utf8FromWide(std::wstring_view aText) {
  return *ToUtf8(aText, false);
}

std::optional<std::string> StrictUtf8FromWide(std::wstring_view aText) {
  return ToUtf8(aText, true);
}

std::wstring WideFromUtf8(std::string_view aBytes) {
  return *FromUtf8(aBytes, false);
}

std::wstring WideFromAnsi(std::string_view aBytes) {
  std::wstring out;
  for (char c : aBytes)
    out += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return out;
}

std::wstring WideFromErrorText(std::string_view aText) {
  if (auto utf8 = FromUtf8(aText, true))
    return *utf8;
  return WideFromAnsi(aText);
}
