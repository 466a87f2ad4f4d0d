#include "shared/Text.h"
#include "shared/Handles.h"
#include "shared/Paths.h"

#include <gtest/gtest.h>

#include <string>

// Error messages are UTF-8; the error boxes and traces show them widened
// from UTF-8, not byte by byte.
TEST(Text, AnErrorTextInUtf8IsWidenedAsUtf8) {
  EXPECT_EQ(L"Zugriff verweigert \u00e4\u20ac",
            WideFromErrorText("Zugriff verweigert \xc3\xa4\xe2\x82\xac"));
  EXPECT_EQ(L"", WideFromErrorText(""));
}

TEST(Text, AnErrorTextThatIsNotUtf8IsReadInTheAnsiCodePage) {
  const char ansi[] = "Fehler \xe4";
  EXPECT_EQ(WideFromAnsi(ansi), WideFromErrorText(ansi));
  EXPECT_EQ(8u, WideFromErrorText(ansi).size());
}

// The system's own message, through the exception text and back, is the
// message the system gives: nothing is garbled on the way.
TEST(Text, ASystemErrorMessageSurvivesTheWayToTheErrorBox) {
  for (DWORD error : std::initializer_list<DWORD>{ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND,
                                                  ERROR_CLASS_ALREADY_EXISTS}) {
    wchar_t *text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    ASSERT_NE(0u, length);
    std::wstring expected(text, length);
    ::LocalFree(text);
    const std::wstring shown = WideFromErrorText(SystemErrorMessage(error));
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(0u, expected.find(shown)) << "error " << error;
  }
}

TEST(Text, Utf8RoundTripsAndALoneSurrogateIsRefusedOnlyWhenStrict) {
  const std::wstring text = L"Caf\u00e9 \u65e5\u672c \U0001F600";
  EXPECT_EQ(text, WideFromUtf8(Utf8FromWide(text)));
  EXPECT_EQ(Utf8FromWide(text), StrictUtf8FromWide(text).value_or(""));
  const std::wstring lone = std::wstring(L"a") + static_cast<wchar_t>(0xD800) + L"b";
  EXPECT_FALSE(StrictUtf8FromWide(lone).has_value());
  EXPECT_EQ("a\xef\xbf\xbd"
            "b",
            Utf8FromWide(lone));
}

// What the elevated updater and the test servers are handed comes back as
// it was, whatever backslashes, quotes and spaces it holds.
TEST(Text, AQuotedArgumentComesBackFromTheCommandLineUnchanged) {
  for (const std::wstring argument :
       {L"", L"plain", L"C:\\Program Files\\Pagekeep\\", L"a \"quoted\" word", L"ends\\\\",
        L"\\\\server\\share\\x.exe", L"tab\tand space", L"\\\"", L"\"\"\""}) {
    const std::wstring line = L"program.exe " + QuotedArgument(argument) + L" next";
    const std::vector<std::wstring> arguments = CommandLineArguments(line.c_str());
    ASSERT_EQ(3u, arguments.size()) << QuotedArgument(argument).size();
    EXPECT_EQ(argument, arguments[1]);
    EXPECT_EQ(L"next", arguments[2]);
  }
}
