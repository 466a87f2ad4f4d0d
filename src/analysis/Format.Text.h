#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Text previews of clipboard text formats: pure functions over the captured
// bytes.

constexpr std::size_t MaxTextPreviewLength = 150;
constexpr std::wstring_view TextEllipsis = L"...";
constexpr std::wstring_view TextBreakChars = L".,:;?! ";

// No limit on the units a decoder returns.
constexpr std::size_t WholeText = static_cast<std::size_t>(-1);

// Text of a CF_TEXT block in the system's ANSI code page, up to its first zero
// byte and never beyond the captured bytes; at most aMaxLength units, read
// from no more bytes than those need.
std::wstring DecodeAnsiText(std::span<const std::uint8_t> aData,
                            std::size_t aMaxLength = WholeText);
// Text of a CF_UNICODETEXT block, up to its first zero unit and never beyond
// the captured bytes (an odd last byte is ignored); at most aMaxLength units.
std::wstring DecodeUnicodeText(std::span<const std::uint8_t> aData,
                               std::size_t aMaxLength = WholeText);
// A text of more than MaxTextPreviewLength units cut after its last break
// character among the first 147, followed by TextEllipsis.
std::wstring CutTextPreview(std::wstring aText);
