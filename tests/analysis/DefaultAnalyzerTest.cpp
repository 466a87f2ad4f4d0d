#include "analysis/Format.Default.h"
#include "analysis/Shared.Utils.h"

#include "AnalysisTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace AnalysisTest;

const std::vector<std::uint8_t> TinyBmp = EncodeBmp(2, 1, {0xFF0000FF, 0xFF00FF00});

struct TDefaultCase {
  const char *fName;
  std::vector<TFormatSample> fFormats;
  std::wstring fShortDescription;
  std::wstring fLongDescription;
  TContentType fContentType;
  bool fPreview;
};

class DefaultAnalyzerCases : public testing::TestWithParam<TDefaultCase> {};

// From a program with an icon: the text and image rows take its icon and
// colour; the rarer rows never show an icon.
TEST_P(DefaultAnalyzerCases, FirstKnownFormatDecides) {
  const TDefaultCase &c = GetParam();
  auto description =
      TDefaultAnalyzer().Analyze(MakeSnapshot(c.fFormats, FixturePath(L"fixture_named")));
  ASSERT_TRUE(description);
  EXPECT_EQ(c.fShortDescription, description().ShortDescription());
  EXPECT_EQ(c.fLongDescription, description().LongDescription());
  EXPECT_EQ(c.fContentType, description().ContentType());
  EXPECT_EQ(c.fPreview, description().Image().has_value());
  EXPECT_FALSE(description().ParticularSupport());
  const bool withIcon = c.fShortDescription == L"Text" || c.fShortDescription == L"Image";
  EXPECT_EQ(withIcon, description().Icon().has_value());
  const TAlphaColor expected = withIcon
                                   ? DominantColor(description().Icon(), DefaultBackgroundColor)
                                   : DefaultBackgroundColor;
  EXPECT_EQ(expected, description().Color());
}

const TFormatSample Locale{CF_LOCALE, L"", {9, 4, 0, 0}};
const TFormatSample Registered{0xC020, L"Private", {1}};

INSTANTIATE_TEST_SUITE_P(
    Default, DefaultAnalyzerCases,
    testing::Values(
        TDefaultCase{"LocaleThenUnicode",
                     {Locale, {CF_UNICODETEXT, L"", UnicodeBytes(L"hi")}},
                     L"Text",
                     L"hi",
                     TContentType::ctText,
                     false},
        TDefaultCase{"OemTextOnly",
                     {{CF_OEMTEXT, L"", AnsiBytes("oem")}},
                     L"Text",
                     L"",
                     TContentType::ctText,
                     false},
        TDefaultCase{"DibThenBitmap",
                     {{CF_DIB, L"", {}}, {CF_BITMAP, L"", TinyBmp}},
                     L"Image",
                     L"",
                     TContentType::ctImage,
                     true},
        TDefaultCase{"DibAlone", {{CF_DIB, L"", {}}}, L"Image", L"", TContentType::ctText, false},
        TDefaultCase{"MetafilePictAlone",
                     {{CF_METAFILEPICT, L"", {}}},
                     L"Image",
                     L"",
                     TContentType::ctText,
                     false},
        TDefaultCase{"HDropOnly", {{CF_HDROP, L"", {0}}}, L"", L"", TContentType::ctText, false},
        TDefaultCase{"RegisteredOnly", {Registered}, L"", L"", TContentType::ctText, false},
        TDefaultCase{"PassedOverFormats",
                     {{CF_DIF, L"", {}}, {CF_PALETTE, L"", {}}, {CF_DIBV5, L"", {}}, Registered},
                     L"",
                     L"",
                     TContentType::ctText,
                     false},
        TDefaultCase{"SymbolicLink",
                     {{CF_SYLK, L"", {}}, {CF_TEXT, L"", AnsiBytes("x")}},
                     L"Symbolic link",
                     L"",
                     TContentType::ctText,
                     false},
        TDefaultCase{"Tiff",
                     {Registered, {CF_TIFF, L"", {}}},
                     L"TIFF-image",
                     L"",
                     TContentType::ctText,
                     false},
        TDefaultCase{"PenData",
                     {{CF_PENDATA, L"", {}}},
                     L"Pen data format",
                     L"",
                     TContentType::ctText,
                     false},
        TDefaultCase{"Riff", {{CF_RIFF, L"", {}}}, L"RIFF-audio", L"", TContentType::ctText, false},
        TDefaultCase{
            "Wave", {{CF_WAVE, L"", {}}}, L"WAVE-audio", L"", TContentType::ctText, false}),
    [](const auto &aInfo) { return TestName(aInfo.param.fName); });

TEST(Default, WindowsFolderEndsWithABackslash) {
  const std::wstring folder = TDefaultAnalyzer::GetWindowsFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(L'\\', folder.back());
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY,
            ::GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

struct TFallbackCase {
  const char *fName;
  std::vector<TFormatSample> fFormats;
  const wchar_t *fFallback;
  TAlphaColor fFixedColor;
};

class DefaultFallbackCases : public testing::TestWithParam<TFallbackCase> {};

// Without a source program icon the row's fallback program gives the icon,
// and the colour is the row's fixed one, not the icon's.
TEST_P(DefaultFallbackCases, FallbackIconComesWithTheFixedColour) {
  const TFallbackCase &c = GetParam();
  const std::wstring fallback = TDefaultAnalyzer::GetWindowsFolder() + c.fFallback;
  for (const std::wstring &source : {std::wstring(), std::wstring(L"C:\\nowhere\\gone.exe")}) {
    auto description = TDefaultAnalyzer().Analyze(MakeSnapshot(c.fFormats, source));
    if (!FileExists(fallback)) {
      EXPECT_FALSE(description().Icon());
      EXPECT_EQ(DefaultBackgroundColor, description().Color());
      GTEST_SKIP() << "This system has no " << std::string(fallback.begin(), fallback.end())
                   << ": only the no-icon path was checked";
    }
    ASSERT_TRUE(description().Icon());
    EXPECT_EQ(TBaseAnalyzer::GetFileIcon(fallback)->Pixels(), description().Icon()->Pixels());
    EXPECT_EQ(c.fFixedColor, description().Color());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Default, DefaultFallbackCases,
    testing::Values(
        TFallbackCase{
            "Text", {{CF_UNICODETEXT, L"", UnicodeBytes(L"t")}}, L"notepad.exe", 0xFF40ADC4},
        TFallbackCase{"Image", {{CF_BITMAP, L"", TinyBmp}}, L"system32\\mspaint.exe", 0xFF7BB7D6}),
    [](const auto &aInfo) { return TestName(aInfo.param.fName); });

TEST(Default, AnswersEverySnapshotInTheRegistry) {
  auto description = ClipboardAnalyzers().DescriptionForState(MakeSnapshot({Registered}));
  EXPECT_EQ(L"", description().ShortDescription());
  EXPECT_EQ(TContentType::ctText, description().ContentType());
  EXPECT_FALSE(description().Icon());
  EXPECT_EQ(DefaultBackgroundColor, description().Color());
  EXPECT_EQ(1, description().Size());
}

} // namespace
