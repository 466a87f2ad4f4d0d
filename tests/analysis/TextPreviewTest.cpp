#include "analysis/Format.Base.h"

#include "AnalysisTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace AnalysisTest;

std::wstring Repeat(wchar_t aChar, std::size_t aCount) {
  return std::wstring(aCount, aChar);
}

// aLength letters with aBreak at the 1-based positions given.
std::wstring TextWith(std::size_t aLength, std::vector<std::pair<std::size_t, wchar_t>> aBreaks) {
  std::wstring text = Repeat(L'x', aLength);
  for (const auto &[position, c] : aBreaks)
    text[position - 1] = c;
  return text;
}

struct TCutCase {
  const char *fName;
  std::wstring fText;
  std::wstring fExpected;
};

class CutTextPreviewCases : public testing::TestWithParam<TCutCase> {};

TEST_P(CutTextPreviewCases, CutsLongTextsBeforeTheirLastBreak) {
  EXPECT_EQ(GetParam().fExpected, CutTextPreview(GetParam().fText));
}

INSTANTIATE_TEST_SUITE_P(
    TextPreview, CutTextPreviewCases,
    testing::Values(
        TCutCase{"Empty", L"", L""},
        TCutCase{"Exactly150IsKept", Repeat(L'a', 150), Repeat(L'a', 150)},
        TCutCase{"WithoutBreakKeeps147", Repeat(L'a', 200), Repeat(L'a', 147) + L"..."},
        TCutCase{"SpaceAt100", TextWith(151, {{100, L' '}}), Repeat(L'x', 99) + L"..."},
        TCutCase{"LastOfSeveralBreaksCounts", TextWith(200, {{10, L','}, {50, L'!'}, {120, L'?'}}),
                 TextWith(119, {{10, L','}, {50, L'!'}}) + L"..."},
        TCutCase{"BreakAt147IsTheLastKept", TextWith(151, {{147, L';'}}),
                 Repeat(L'x', 146) + L"..."},
        TCutCase{"BreakAt148IsBeyondTheCut", TextWith(151, {{148, L'.'}}),
                 Repeat(L'x', 147) + L"..."},
        TCutCase{"BreakAt1LeavesOnlyTheEllipsis", TextWith(151, {{1, L':'}}), L"..."},
        TCutCase{
            "LineBreaksAreNotBreakChars",
            TextWith(151, {{20, L'\r'}, {21, L'\n'}}),
            TextWith(147, {{20, L'\r'}, {21, L'\n'}}) + L"...",
        },
        TCutCase{
            "EveryBreakChar",
            TextWith(160, {{30, L'.'}, {31, L','}, {32, L':'}, {33, L';'}, {34, L'?'}, {35, L'!'}}),
            TextWith(34, {{30, L'.'}, {31, L','}, {32, L':'}, {33, L';'}, {34, L'?'}}) + L"..."}),
    [](const auto &aInfo) { return TestName(aInfo.param.fName); });

struct TDecodeCase {
  const char *fName;
  std::vector<std::uint8_t> fBytes;
  std::wstring fAnsi;
  std::wstring fUnicode;
};

class DecodeCases : public testing::TestWithParam<TDecodeCase> {};

// Each block ends right before an inaccessible page: a read past the
// captured bytes would fault.
TEST_P(DecodeCases, StopAtTheFirstZeroOrTheEndOfTheBytes) {
  const TGuardedBytes bytes(GetParam().fBytes);
  EXPECT_EQ(GetParam().fAnsi, DecodeAnsiText(bytes.Span()));
  EXPECT_EQ(GetParam().fUnicode, DecodeUnicodeText(bytes.Span()));
}

INSTANTIATE_TEST_SUITE_P(
    TextPreview, DecodeCases,
    testing::Values(TDecodeCase{"Empty", {}, L"", L""},
                    TDecodeCase{"Terminated", {'A', 0, 'B', 0, 0, 0}, L"A", L"AB"},
                    TDecodeCase{"NoTerminator", {'A', 0, 'B', 0}, L"A", L"AB"},
                    TDecodeCase{"NoZeroAtAll", {'H', 'i', '!'}, L"Hi!", L"\u6948"},
                    TDecodeCase{"OddLengthIgnoresTheLastByte", {'A', 0, 'B'}, L"A", L"A"},
                    TDecodeCase{"ZeroFirst", {0, 'A'}, L"", L"\u4100"}),
    [](const auto &aInfo) { return TestName(aInfo.param.fName); });

// A limit shorter than the block stops the reading there; one beyond the
// end or the zero changes nothing. The guarded page shows a read past the
// bytes.
TEST(TextPreview, DecodersStopAtTheirLimit) {
  const TGuardedBytes ansi(std::vector<std::uint8_t>{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'});
  EXPECT_EQ(L"", DecodeAnsiText(ansi.Span(), 0));
  EXPECT_EQ(L"ab", DecodeAnsiText(ansi.Span(), 2));
  EXPECT_EQ(L"abcdefghi", DecodeAnsiText(ansi.Span(), 9));
  EXPECT_EQ(L"abcdefghi", DecodeAnsiText(ansi.Span(), 50));
  const TGuardedBytes wide(UnicodeBytes(L"abcd"));
  EXPECT_EQ(L"", DecodeUnicodeText(wide.Span(), 0));
  EXPECT_EQ(L"abc", DecodeUnicodeText(wide.Span(), 3));
  EXPECT_EQ(L"abcd", DecodeUnicodeText(wide.Span(), 5));
}

TEST(TextPreview, TakesTheFirstTextFormatInCaptureOrder) {
  auto unicodeFirst = MakeSnapshot({{CF_LOCALE, L"", {9, 4, 0, 0}},
                                    {CF_UNICODETEXT, L"", UnicodeBytes(L"wide \u00E9")},
                                    {CF_TEXT, L"", AnsiBytes("narrow")}});
  EXPECT_EQ(L"wide \u00E9", TBaseAnalyzer::GetTextPreview(unicodeFirst));
  auto ansiFirst = MakeSnapshot(
      {{CF_TEXT, L"", AnsiBytes("narrow", false)}, {CF_UNICODETEXT, L"", UnicodeBytes(L"wide")}});
  EXPECT_EQ(L"narrow", TBaseAnalyzer::GetTextPreview(ansiFirst));
  auto oemOnly = MakeSnapshot({{CF_OEMTEXT, L"", AnsiBytes("oem")}});
  EXPECT_EQ(L"", TBaseAnalyzer::GetTextPreview(oemOnly));
  auto notCaptured = MakeSnapshot({{CF_UNICODETEXT, L"", {}}});
  EXPECT_EQ(L"", TBaseAnalyzer::GetTextPreview(notCaptured));
  auto longText = MakeSnapshot({{CF_UNICODETEXT, L"", UnicodeBytes(Repeat(L'a', 200))}});
  EXPECT_EQ(Repeat(L'a', 147) + L"...", TBaseAnalyzer::GetTextPreview(longText));
}

struct TContentCase {
  const char *fName;
  std::vector<WORD> fFormats;
  TContentType fExpected;
};

class ContentTypeCases : public testing::TestWithParam<TContentCase> {};

TEST_P(ContentTypeCases, TheFirstTextOrImageFormatDecides) {
  std::vector<TFormatSample> formats;
  for (WORD format : GetParam().fFormats)
    formats.push_back({format, format >= 0xC000 ? L"Registered" : L"", {1}});
  EXPECT_EQ(GetParam().fExpected, TBaseAnalyzer::GetContentType(MakeSnapshot(formats)));
}

INSTANTIATE_TEST_SUITE_P(
    TextPreview, ContentTypeCases,
    testing::Values(
        TContentCase{"Nothing", {}, TContentType::ctUnknown},
        TContentCase{"OemTextOnly", {CF_OEMTEXT}, TContentType::ctUnknown},
        TContentCase{"RegisteredOnly", {0xC001}, TContentType::ctUnknown},
        TContentCase{"DibOnly", {CF_DIB}, TContentType::ctUnknown},
        TContentCase{"Text", {CF_LOCALE, CF_TEXT}, TContentType::ctText},
        TContentCase{"UnicodeBeforeBitmap", {CF_UNICODETEXT, CF_BITMAP}, TContentType::ctText},
        TContentCase{
            "MetafileBeforeText", {0xC001, CF_ENHMETAFILE, CF_TEXT}, TContentType::ctImage},
        TContentCase{"Bitmap", {CF_BITMAP}, TContentType::ctImage}),
    [](const auto &aInfo) { return TestName(aInfo.param.fName); });

TEST(TextPreview, EmptyHandleHasNoContent) {
  EXPECT_EQ(TContentType::ctUnknown, TBaseAnalyzer::GetContentType({}));
  EXPECT_FALSE(TBaseAnalyzer::HasText({}));
  EXPECT_FALSE(TBaseAnalyzer::HasImage({}));
}

} // namespace
