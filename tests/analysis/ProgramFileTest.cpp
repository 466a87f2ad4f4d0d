#include "analysis/Bitmap.Convert.h"
#include "analysis/Format.Universal.h"
#include "analysis/Shared.Utils.h"

#include "AnalysisTestSupport.h"

#include <gtest/gtest.h>

#include <shellapi.h>

namespace {

using namespace AnalysisTest;

// The fixture icon: an opaque orange disc on transparent corners.
constexpr TAlphaColor FixtureOrange = 0xFFE6781E;

struct TNameCase {
  const char *fFixture;
  std::wstring fExpected;
};

class ProgramNameCases : public testing::TestWithParam<TNameCase> {};

TEST_P(ProgramNameCases, NameComesFromTheVersionInformation) {
  EXPECT_EQ(GetParam().fExpected,
            TUniversalAnalyzer::GetProgramName(FixturePath(std::wstring(
                GetParam().fFixture, GetParam().fFixture + strlen(GetParam().fFixture)))));
}

INSTANTIATE_TEST_SUITE_P(
    Universal, ProgramNameCases,
    testing::Values(TNameCase{"fixture_named", L"Pagekeep Fixture Product"},
                    TNameCase{"fixture_internal", L"Fixture Internal Name"},
                    TNameCase{"fixture_windows", L"Fixture Windows Tool"},
                    TNameCase{"fixture_windows_nodesc", L""},
                    TNameCase{"fixture_marker_lowercase",
                              L"microsoft\u00AE windows\u00AE Operating System"},
                    TNameCase{"fixture_marker_nosigns", L"Microsoft Windows Operating System"},
                    TNameCase{"fixture_plain", L""}, TNameCase{"fixture_missing", L""}),
    [](const auto &aInfo) { return TestName(aInfo.param.fFixture); });

TEST(Universal, ReadVersionDataReadsTheFirstTranslationsStrings) {
  const TEXEVersionData data = TUniversalAnalyzer::ReadVersionData(FixturePath(L"fixture_named"));
  EXPECT_EQ(L"Pagekeep Tests", data.CompanyName);
  EXPECT_EQ(L"Fixture file description", data.FileDescription);
  EXPECT_EQ(L"1.2.3.4", data.FileVersion);
  EXPECT_EQ(L"FixtureInternal", data.InternalName);
  EXPECT_EQ(L"Pagekeep Fixture Product", data.ProductName);
  EXPECT_EQ(L"", data.Comments);
  const TEXEVersionData none = TUniversalAnalyzer::ReadVersionData(FixturePath(L"fixture_plain"));
  EXPECT_EQ(L"", none.ProductName);
  EXPECT_EQ(L"", none.InternalName);
}

TEST(Universal, TextFromANamedProgramHasItsNameIconAndColour) {
  auto description = ClipboardAnalyzers().DescriptionForState(MakeSnapshot(
      {{CF_LOCALE, L"", {9, 4, 0, 0}}, {CF_UNICODETEXT, L"", UnicodeBytes(L"Hello there")}},
      FixturePath(L"fixture_named"), L"Some window"));
  EXPECT_EQ(L"Pagekeep Fixture Product", description().ShortDescription());
  EXPECT_EQ(L"Hello there", description().LongDescription());
  EXPECT_EQ(TContentType::ctText, description().ContentType());
  ASSERT_TRUE(description().Icon());
  // The orange disc averages to (230, 120, 30), whose brightness 90 is capped.
  EXPECT_EQ(HSBToColor(27, 87, 85), description().Color());
  EXPECT_FALSE(description().ParticularSupport());
}

TEST(Universal, RegisteredFormatsFromANamedProgramAreUnknownFormat) {
  auto description = ClipboardAnalyzers().DescriptionForState(
      MakeSnapshot({{0xC010, L"Private", {1, 2}}}, FixturePath(L"fixture_internal")));
  EXPECT_EQ(L"Unknown format", description().ShortDescription());
  EXPECT_EQ(DefaultBackgroundColor, description().Color());
  EXPECT_FALSE(description().Icon());
  EXPECT_EQ(2, description().Size());
}

TEST(Universal, UnnamedProgramsAreLeftToTheDefaultAnalyzer) {
  for (const wchar_t *fixture : {L"fixture_windows_nodesc", L"fixture_plain"}) {
    auto state = MakeSnapshot({{CF_UNICODETEXT, L"", UnicodeBytes(L"x")}}, FixturePath(fixture));
    EXPECT_FALSE(TUniversalAnalyzer().Analyze(state));
    EXPECT_EQ(L"Text", ClipboardAnalyzers().DescriptionForState(state)().ShortDescription());
  }
  auto noSource = MakeSnapshot({{CF_UNICODETEXT, L"", UnicodeBytes(L"x")}});
  EXPECT_FALSE(TUniversalAnalyzer().Analyze(noSource));
}

TEST(FileIcon, ProgramsOwnIconIs32By32WithTransparentCorners) {
  const std::optional<TBitmap> icon = TBaseAnalyzer::GetFileIcon(FixturePath(L"fixture_named"));
  ASSERT_TRUE(icon);
  ASSERT_EQ(::GetSystemMetrics(SM_CXICON), icon->Width());
  ASSERT_EQ(32, icon->Width());
  ASSERT_EQ(32, icon->Height());
  for (const auto &[x, y] : std::vector<std::pair<int, int>>{{0, 0}, {31, 0}, {0, 31}, {31, 31}})
    EXPECT_EQ(0u, icon->Pixel(x, y) >> 24) << x << "," << y;
  EXPECT_EQ(FixtureOrange, icon->Pixel(16, 16));
  EXPECT_EQ(FixtureOrange, icon->Pixel(1, 16));
}

// A program without an icon of its own shows the shell's icon for it: on
// Windows the generic program icon. Wine's shell gives its generic icon too.
TEST(FileIcon, ProgramWithoutIconGetsTheShellsIcon) {
  const std::wstring plain = FixturePath(L"fixture_plain");
  SHFILEINFOW information{};
  ASSERT_NE(0u, ::SHGetFileInfoW(plain.c_str(), 0, &information, sizeof(information), SHGFI_ICON));
  const TIconHandle shellIcon(information.hIcon);
  const std::optional<TBitmap> icon = TBaseAnalyzer::GetFileIcon(plain);
  ASSERT_TRUE(icon);
  EXPECT_EQ(BitmapFromIcon(shellIcon.Get()).Pixels(), icon->Pixels());
  EXPECT_NE(FixtureOrange, icon->Pixel(16, 16));
}

TEST(FileIcon, NoFileNoIcon) {
  const TTempFolder folder(L"pagekeep-analysis-icons");
  for (const std::wstring &name :
       {std::wstring(), folder.File(L"missing.exe"), folder.Path().wstring()})
    EXPECT_FALSE(TBaseAnalyzer::GetFileIcon(name)) << std::string(name.begin(), name.end());
}

} // namespace
