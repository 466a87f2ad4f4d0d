#include "analysis/Format.Firefox.h"
#include "analysis/Format.InternetExplorer.h"
#include "analysis/Format.LibreOffice.h"
#include "analysis/Shared.Utils.h"

#include "AnalysisTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

using namespace AnalysisTest;
using TPattern = TCustomAnalyzer::TPattern;

// A custom analyzer with a record given by the test.
class TRecordAnalyzer : public TCustomAnalyzer {
public:
  explicit TRecordAnalyzer(TAnalyzerData aData) : fData(std::move(aData)) {}
  TAnalyzerData GetAnalyzerData() const override { return fData; }

private:
  TAnalyzerData fData;
};

struct TMatchCase {
  const char *fName;
  std::vector<TFormatSample> fFormats;
  TPattern fPattern;
  bool fExpected;
};

class MatchesPatternCases : public testing::TestWithParam<TMatchCase> {};

TEST_P(MatchesPatternCases, ComparesAPrefixOfTheFormatNames) {
  const TRecordAnalyzer analyzer(TCustomAnalyzer::TAnalyzerData::Create(L"App", L"app.exe", {}));
  EXPECT_EQ(GetParam().fExpected,
            analyzer.MatchesPattern(MakeSnapshot(GetParam().fFormats), GetParam().fPattern));
}

const TFormatSample DataObject{0xC001, L"DATAOBJECT", {}};
const TFormatSample Html{0xC002, L"HTML Format", {}};
const TFormatSample Unicode{CF_UNICODETEXT, L"", {}};

INSTANTIATE_TEST_SUITE_P(
    Pattern, MatchesPatternCases,
    testing::Values(
        TMatchCase{"EqualNames", {DataObject, Html}, {L"DATAOBJECT", L"HTML Format"}, true},
        TMatchCase{"CaseIgnored", {DataObject, Html}, {L"dataobject", L"html format"}, true},
        TMatchCase{"LaterFormatsNotLookedAt", {DataObject, Html, Unicode}, {L"DataObject"}, true},
        TMatchCase{"LongerPatternNeverMatches",
                   {DataObject, Html},
                   {L"DataObject", L"HTML Format", L""},
                   false},
        TMatchCase{"PredefinedSlotTakesAPredefinedFormat",
                   {DataObject, Unicode},
                   {L"DataObject", L""},
                   true},
        TMatchCase{"PredefinedSlotRefusesARegisteredFormat",
                   {DataObject, Html},
                   {L"DataObject", L""},
                   false},
        TMatchCase{"NameRefusesAPredefinedFormat", {Unicode}, {L"DataObject"}, false},
        TMatchCase{"OrderCounts", {Html, DataObject}, {L"DataObject", L"HTML Format"}, false},
        TMatchCase{"EmptyPatternMatchesAll", {DataObject}, {}, true},
        TMatchCase{"EmptyPatternMatchesNothingToo", {}, {}, true},
        TMatchCase{"NoPrefixMatch", {DataObject}, {L"DataObjectX"}, false}),
    [](const auto &aInfo) { return TestName(aInfo.param.fName); });

// The browser and office analyzers' records as the design's tables give them;
// L"" is a predefined format.
struct TRecordCase {
  const char *fName;
  std::shared_ptr<TCustomAnalyzer> fAnalyzer;
  std::wstring fShortDescription;
  std::wstring fFileName;
  TAlphaColor fColor;
  bool fParticularSupport;
  std::vector<TPattern> fPatterns;
};

std::vector<TRecordCase> DesignRecords() {
  return {
      {"Firefox",
       std::make_shared<TFirefoxAnalyzer>(),
       L"Web Browser Firefox",
       L"firefox.exe",
       0xFFD34B25,
       false,
       {{L"DataObject", L"text/html", L"HTML Format", L"text/_moz_htmlcontext",
         L"text/_moz_htmlinfo", L"", L"", L"text/x-moz-url-priv", L"Ole Private Data", L"", L""},
        {L"DataObject", L"text/html", L"HTML Format", L"text/_moz_htmlinfo",
         L"text/_moz_htmlcontext", L"application/x-moz-nativeimage", L"", L"", L"Ole Private Data",
         L""},
        {L"DataObject", L"text/html", L"HTML Format", L"text/_moz_htmlinfo", L"", L"", L"", L"",
         L"", L"Ole Private Data", L""}}},
      {"InternetExplorer",
       std::make_shared<TInternetExplorerAnalyzer>(),
       L"Web Browser Internet Explorer",
       L"iexplore.exe",
       0xFF61D5F8,
       false,
       {{L"DataObject", L"FileContents", L"FileGroupDescriptorW", L"FileGroupDescriptor",
         L"UniformResourceLocatorW", L"", L"UniformResourceLocator", L"", L"Ole Private Data", L"",
         L""},
        {L"DataObject", L"", L"", L"HTML Format", L"Rich Text Format", L"msSourceUrl",
         L"Ole Private Data", L"", L""},
        {L"DataObject", L"UntrustedDragDrop", L"msSourceUrl", L"UniformResourceLocatorW", L"",
         L"HTML Format", L"", L"", L"Ole Private Data", L"", L"", L"", L""}}},
      {"Writer",
       std::make_shared<TLibreOfficeWriterAnalyzer>(),
       L"LibreOffice Writer",
       L"swriter.exe",
       0xFF03669E,
       true,
       {{L"DataObject", L"Star Embed Source (XML)", L"Rich Text Format",
         L"HTML (HyperText Markup Language)", L"HTML Format", L"", L"", L"Link",
         L"Ole Private Data", L"", L""},
        {L"DataObject", L"SVXB (StarView Bitmap/Animation)", L"GDIMetaFile", L"", L"", L"PNG",
         L"Windows Bitmap"}}},
      {"Calc",
       std::make_shared<TLibreOfficeCalcAnalyzer>(),
       L"LibreOffice Calc",
       L"scalc.exe",
       0xFF18A003,
       true,
       {{L"DataObject", L"Star Embed Source (XML)", L"Star Embed Descriptor (XML)", L"GDIMetaFile",
         L"", L"", L"PNG", L"Windows Bitmap", L"HTML (HyperText Markup Language)", L"HTML Format",
         L"", L"Link", L"", L"", L""},
        {L"DataObject", L"Star Embed Source (XML)", L"Star Object Descriptor (XML)", L"GDIMetaFile",
         L"", L"", L"PNG", L"", L"Windows Bitmap", L"HTML (HyperText Markup Language)",
         L"HTML Format", L"", L"Link", L"", L"", L""}}},
      {"Impress",
       std::make_shared<TLibreOfficeImpressAnalyzer>(),
       L"LibreOffice Impress",
       L"simpress.exe",
       0xFF9E3C03,
       true,
       {{L"DataObject", L"Star Embed Descriptor (XML)", L"Star Embed Source (XML)",
         L"Drawing Format", L"GDIMetaFile", L"", L"", L"PNG", L"", L"Windows Bitmap",
         L"Ole Private Data"}}},
      {"Base",
       std::make_shared<TLibreOfficeBaseAnalyzer>(),
       L"LibreOffice Base",
       L"sbase.exe",
       0xFF8A039E,
       true,
       {{L"DataObject", L"Rich Text Format", L"HTML (HyperText Markup Language)", L"HTML Format",
         L"Data source Table", L"SBA-DATAFORMAT", L"Ole Private Data"}}},
      {"Draw",
       std::make_shared<TLibreOfficeDrawAnalyzer>(),
       L"LibreOffice Draw",
       L"sdraw.exe",
       0xFFC59900,
       true,
       {{L"DataObject", L"Star Object Descriptor (XML)", L"Star Embed Source (XML)",
         L"Drawing Format", L"GDIMetaFile", L"", L"", L"PNG", L"", L"Windows Bitmap",
         L"Ole Private Data", L"", L""}}},
      {"Common",
       std::make_shared<TLibreOfficeCommonAnalyzer>(),
       L"LibreOffice",
       L"soffice.exe",
       0xFF626262,
       true,
       {{L"DataObject", L"EditEngineFormat", L"", L"", L"Rich Text Format", L"Ole Private Data",
         L"", L""}}},
  };
}

class ApplicationRecords : public testing::TestWithParam<TRecordCase> {};

TEST_P(ApplicationRecords, HoldTheDesignsRecord) {
  const TRecordCase &c = GetParam();
  const TCustomAnalyzer::TAnalyzerData data = c.fAnalyzer->GetAnalyzerData();
  EXPECT_EQ(c.fShortDescription, data.fShortDescription);
  EXPECT_EQ(c.fFileName, data.fFileName);
  EXPECT_EQ(c.fColor, data.fBackgroundColor);
  EXPECT_EQ(c.fPatterns, data.fPatterns);
  EXPECT_EQ(c.fParticularSupport, c.fAnalyzer->HasParticularSupport());
}

// Every pattern, followed by a text format, through the program's own
// registry: the right analyzer answers, with its name, colour and flag.
TEST_P(ApplicationRecords, RecogniseEachOfTheirPatternsInTheRegistry) {
  const TRecordCase &c = GetParam();
  for (std::size_t i = 0; i < c.fPatterns.size(); ++i) {
    TPattern names = c.fPatterns[i];
    names.push_back(L"");
    auto description = ClipboardAnalyzers().DescriptionForState(SnapshotOfNames(names));
    EXPECT_EQ(c.fShortDescription, description().ShortDescription()) << "pattern " << i + 1;
    EXPECT_EQ(c.fColor, description().Color()) << "pattern " << i + 1;
    EXPECT_EQ(c.fParticularSupport, description().ParticularSupport());
    EXPECT_EQ(TContentType::ctText, description().ContentType());
    EXPECT_EQ(L"copied text", description().LongDescription());
    EXPECT_FALSE(description().Icon()); // no source program, so no icon file
  }
}

// A registered name where a pattern wants a predefined format breaks it, as
// does another name in a named slot.
TEST_P(ApplicationRecords, RefuseARegisteredNameInAPredefinedSlot) {
  const TRecordCase &c = GetParam();
  for (const TPattern &pattern : c.fPatterns) {
    TPattern names = pattern;
    const auto predefined = std::find(names.begin(), names.end(), L"");
    *(predefined != names.end() ? predefined : names.end() - 1) = L"Intruder";
    const bool matched =
        std::any_of(c.fPatterns.begin(), c.fPatterns.end(), [&](const TPattern &p) {
          return c.fAnalyzer->MatchesPattern(SnapshotOfNames(names), p);
        });
    EXPECT_FALSE(matched);
  }
}

INSTANTIATE_TEST_SUITE_P(Pattern, ApplicationRecords, testing::ValuesIn(DesignRecords()),
                         [](const auto &aInfo) { return TestName(aInfo.param.fName); });

TEST(Pattern, CalcPatternsDifferInTheirThirdEntry) {
  const TLibreOfficeCalcAnalyzer calc;
  const auto patterns = calc.GetAnalyzerData().fPatterns;
  EXPECT_TRUE(calc.MatchesPattern(SnapshotOfNames(patterns[1]), patterns[1]));
  EXPECT_FALSE(calc.MatchesPattern(SnapshotOfNames(patterns[1]), patterns[0]));
  EXPECT_FALSE(calc.MatchesPattern(SnapshotOfNames(patterns[0]), patterns[1]));
}

const TPattern ImpressFormats = DesignRecords()[4].fPatterns[0];
const TPattern WriterSecondFormats = DesignRecords()[2].fPatterns[1];
const TPattern CalcFormats = DesignRecords()[3].fPatterns[0];
const TPattern DrawFormats = DesignRecords()[6].fPatterns[0];
const TPattern Unrecognised{L"DataObject", L"text/html", L"HTML Format", L""};

struct TTitleCase {
  const char *fName;
  TPattern fFormats;
  std::wstring fCaption;
  std::wstring fExpected;
};

class TitleCases : public testing::TestWithParam<TTitleCase> {};

TEST_P(TitleCases, FirstAnalyzerThatRecognisesByPatternOrTitleWins) {
  const TTitleCase &c = GetParam();
  auto description =
      ClipboardAnalyzers().DescriptionForState(SnapshotOfNames(c.fFormats, L"", c.fCaption));
  EXPECT_EQ(c.fExpected, description().ShortDescription());
}

INSTANTIATE_TEST_SUITE_P(
    Pattern, TitleCases,
    testing::Values(
        TTitleCase{"ThreeBrowserFormatsAreNotEnough", Unrecognised, L"Page", L"Text"},
        TTitleCase{"FirefoxByTitle", Unrecognised, L"Page - Web Browser Firefox",
                   L"Web Browser Firefox"},
        TTitleCase{"InternetExplorerByTitle", Unrecognised, L"Web Browser Internet Explorer",
                   L"Web Browser Internet Explorer"},
        TTitleCase{"TitleIsCaseSensitive", Unrecognised, L"web browser firefox", L"Text"},
        TTitleCase{"CalcByTitle", Unrecognised, L"Budget.ods - LibreOffice Calc",
                   L"LibreOffice Calc"},
        TTitleCase{"CommonByTitle", Unrecognised, L"Start Center - LibreOffice", L"LibreOffice"},
        TTitleCase{"LowerCaseSuiteNameIsNoTitleMatch", Unrecognised, L"x - libreoffice calc",
                   L"Text"},
        TTitleCase{"EarlierPatternBeatsLaterTitle", ImpressFormats, L"Drawing - LibreOffice Draw",
                   L"LibreOffice Impress"},
        TTitleCase{"WriterPatternBeatsAnyTitle", WriterSecondFormats, L"Budget - LibreOffice Calc",
                   L"LibreOffice Writer"},
        TTitleCase{"EarlierTitleBeatsLaterPattern", DrawFormats, L"Letter - LibreOffice Writer",
                   L"LibreOffice Writer"},
        TTitleCase{"BrowserTitleBeatsOfficePattern", CalcFormats, L"Web Browser Firefox",
                   L"Web Browser Firefox"},
        TTitleCase{"PatternWithoutTitle", CalcFormats, L"", L"LibreOffice Calc"}),
    [](const auto &aInfo) { return TestName(aInfo.param.fName); });

TEST(Pattern, TitleMatchOfAnEmptySnapshotIsUnknownFormatWithTheFlag) {
  auto description =
      ClipboardAnalyzers().DescriptionForState(MakeSnapshot({}, L"", L"Base - LibreOffice Base"));
  EXPECT_EQ(L"Unknown format", description().ShortDescription());
  EXPECT_EQ(DefaultBackgroundColor, description().Color());
  EXPECT_TRUE(description().ParticularSupport());
}

// The icon is a file of the record's name next to the source program.
TEST(Pattern, IconComesFromTheRecordsFileBesideTheSourceProgram) {
  const TTempFolder folder(L"pagekeep-analysis-browser");
  const std::wstring source = folder.File(L"launcher.exe");
  std::filesystem::copy_file(FixturePath(L"fixture_named"), source);
  const TPattern ieFormats = DesignRecords()[1].fPatterns[1];

  auto withoutIcon = TInternetExplorerAnalyzer().Analyze(SnapshotOfNames(ieFormats, source));
  ASSERT_TRUE(withoutIcon);
  EXPECT_FALSE(withoutIcon().Icon());
  EXPECT_EQ(0xFF61D5F8u, withoutIcon().Color());

  std::filesystem::copy_file(FixturePath(L"fixture_named"), folder.File(L"iexplore.exe"));
  auto withIcon = TInternetExplorerAnalyzer().Analyze(SnapshotOfNames(ieFormats, source));
  ASSERT_TRUE(withIcon().Icon());
  EXPECT_EQ(0xFF61D5F8u, withIcon().Color()); // a fixed colour stays

  // DefaultBackgroundColor in the record asks for the icon's own colour.
  TRecordAnalyzer iconColoured(
      TCustomAnalyzer::TAnalyzerData::Create(L"Icon App", L"iexplore.exe", {ieFormats}));
  auto coloured = iconColoured.Analyze(SnapshotOfNames(ieFormats, source));
  ASSERT_TRUE(coloured().Icon());
  EXPECT_EQ(DominantColor(coloured().Icon(), DefaultBackgroundColor), coloured().Color());
  EXPECT_NE(DefaultBackgroundColor, coloured().Color());
}

} // namespace

namespace {

// The program's registry asks Firefox, the file drop, Internet Explorer and
// the office analyzers in this order, all before the universal analyzer.
TEST(Pattern, ProgramRegistryAsksTheCustomAnalyzersInTheirFixedOrder) {
  const std::wstring named = FixturePath(L"fixture_named");
  auto withDrop = [&](TPattern aNames) {
    auto state = SnapshotOfNames(aNames, named);
    std::vector<TFormatSample> formats;
    for (const TClipboardFormatState &format : state())
      formats.push_back({format.Format(), format.Name(), format.Data()});
    formats.push_back({CF_HDROP, L"", {}});
    return MakeSnapshot(formats, named);
  };
  const auto records = DesignRecords();
  EXPECT_EQ(L"Web Browser Firefox", ClipboardAnalyzers()
                                        .DescriptionForState(withDrop(records[0].fPatterns[0]))()
                                        .ShortDescription());
  EXPECT_EQ(L"File operation (0 items)",
            ClipboardAnalyzers()
                .DescriptionForState(withDrop(records[1].fPatterns[0]))()
                .ShortDescription());
  EXPECT_EQ(L"File operation (0 items)",
            ClipboardAnalyzers()
                .DescriptionForState(withDrop(records[7].fPatterns[0]))()
                .ShortDescription());
  EXPECT_EQ(L"LibreOffice",
            ClipboardAnalyzers()
                .DescriptionForState(SnapshotOfNames(records[7].fPatterns[0], named))()
                .ShortDescription());
  EXPECT_EQ(
      L"Pagekeep Fixture Product",
      ClipboardAnalyzers().DescriptionForState(SnapshotOfNames({L""}, named))().ShortDescription());
}

} // namespace
