#include "analysis/Format.Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Each block is a vector of exactly its bytes: AddressSanitizer stops a read
// past them.
TEST(TextPreview, DecodersStopAtTheFirstZeroOrTheEndOfTheBytes) {
  struct TCase {
    std::vector<std::uint8_t> Bytes;
    std::wstring Ansi;
    std::wstring Unicode;
  };
  for (const TCase &c :
       {TCase{{}, L"", L""}, TCase{{'A', 0, 'B', 0, 0, 0}, L"A", L"AB"},
        TCase{{'A', 0, 'B', 0}, L"A", L"AB"}, TCase{{'H', 'i', '!'}, L"Hi!", L"\u6948"},
        TCase{{'A', 0, 'B'}, L"A", L"A"}, TCase{{0, 'A'}, L"", L"\u4100"},
        TCase{{'c', 'a', 'f', 0xE9}, L"caf\u00e9", L"\u6163\uE966"}}) {
    const std::vector<std::uint8_t> bytes = c.Bytes;
    EXPECT_EQ(c.Ansi, DecodeAnsiText(bytes));
    EXPECT_EQ(c.Unicode, DecodeUnicodeText(bytes));
  }
}

TEST(TextPreview, DecodersStopAtTheirLimit) {
  const std::vector<std::uint8_t> ansi{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'};
  EXPECT_EQ(L"", DecodeAnsiText(ansi, 0));
  EXPECT_EQ(L"ab", DecodeAnsiText(ansi, 2));
  EXPECT_EQ(L"abcdefghi", DecodeAnsiText(ansi, 50));
  const std::vector<std::uint8_t> wide{'a', 0, 'b', 0, 'c', 0, 'd', 0};
  EXPECT_EQ(L"", DecodeUnicodeText(wide, 0));
  EXPECT_EQ(L"abc", DecodeUnicodeText(wide, 3));
}

TEST(TextPreview, LongTextIsCutAfterItsLastBreak) {
  EXPECT_EQ(L"short", CutTextPreview(L"short"));
  EXPECT_EQ(std::wstring(150, L'a'), CutTextPreview(std::wstring(150, L'a')));
  EXPECT_EQ(std::wstring(147, L'a') + L"...", CutTextPreview(std::wstring(151, L'a')));
  EXPECT_EQ(L"one two...", CutTextPreview(L"one two " + std::wstring(200, L'x')));
}
