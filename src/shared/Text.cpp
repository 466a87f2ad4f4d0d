#include "shared/Text.h"

#include <windows.h>

#include <limits>
#include <stdexcept>

namespace {

int CheckedLength(std::size_t aLength) {
  if (aLength > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    throw std::length_error("Text too long to convert");
  return static_cast<int>(aLength);
}

std::optional<std::string> ToUtf8(std::wstring_view aText, DWORD aFlags) {
  if (aText.empty())
    return std::string();
  const int length = CheckedLength(aText.size());
  const int bytes =
      ::WideCharToMultiByte(CP_UTF8, aFlags, aText.data(), length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0)
    return std::nullopt;
  std::string result(static_cast<std::size_t>(bytes), '\0');
  if (::WideCharToMultiByte(CP_UTF8, aFlags, aText.data(), length, result.data(), bytes, nullptr,
                            nullptr) != bytes)
    return std::nullopt;
  return result;
}

std::optional<std::wstring> ToWide(UINT aCodePage, DWORD aFlags, std::string_view aBytes) {
  if (aBytes.empty())
    return std::wstring();
  const int count = CheckedLength(aBytes.size());
  const int chars = ::MultiByteToWideChar(aCodePage, aFlags, aBytes.data(), count, nullptr, 0);
  if (chars <= 0)
    return std::nullopt;
  std::wstring text(static_cast<std::size_t>(chars), L'\0');
  if (::MultiByteToWideChar(aCodePage, aFlags, aBytes.data(), count, text.data(), chars) != chars)
    return std::nullopt;
  return text;
}

} // namespace

std::string Utf8FromWide(std::wstring_view aText) {
  return ToUtf8(aText, 0).value_or(std::string());
}

std::optional<std::string> StrictUtf8FromWide(std::wstring_view aText) {
  return ToUtf8(aText, WC_ERR_INVALID_CHARS);
}

std::wstring WideFromUtf8(std::string_view aBytes) {
  return ToWide(CP_UTF8, 0, aBytes).value_or(std::wstring());
}

std::wstring WideFromAnsi(std::string_view aBytes) {
  return ToWide(CP_ACP, 0, aBytes).value_or(std::wstring());
}

std::wstring WideFromErrorText(std::string_view aText) {
  if (auto utf8 = ToWide(CP_UTF8, MB_ERR_INVALID_CHARS, aText))
    return *utf8;
  return WideFromAnsi(aText);
}

std::wstring QuotedArgument(std::wstring_view aArgument) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : aArgument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  return quoted.append(2 * backslashes, L'\\').append(L"\"");
}
