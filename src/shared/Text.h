#pragma once

#include <optional>
#include <string>
#include <string_view>

// Conversions between the program's UTF-16 strings and byte strings. The
// header needs no <windows.h>, so the units that only convert text build
// anywhere; the conversions themselves are the system's.

// UTF-8 of aText; a lone surrogate becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view aText);
// UTF-8 of aText, or nothing when aText holds a lone surrogate that UTF-8
// cannot carry.
std::optional<std::string> StrictUtf8FromWide(std::wstring_view aText);
// Text of UTF-8 bytes; an invalid sequence becomes U+FFFD.
std::wstring WideFromUtf8(std::string_view aBytes);
// Text of bytes in the system's ANSI code page.
std::wstring WideFromAnsi(std::string_view aBytes);
// The text of an error message (std::exception::what()): our own messages
// and the system's are UTF-8; a message that is not valid UTF-8 came from
// code that speaks the ANSI code page.
std::wstring WideFromErrorText(std::string_view aText);

// One argument of a command line, quoted so that CommandLineToArgvW gives it
// back unchanged: backslashes before a quote doubled, the quote escaped.
std::wstring QuotedArgument(std::wstring_view aArgument);
