#include "analysis/ClipboardAnalyzer.Service.h"

#include "AnalysisTestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace AnalysisTest;

std::wstring WithUserSeparator(std::wstring aText) {
  wchar_t separator[8] = {};
  if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) > 1)
    if (const auto dot = aText.find(L'.'); dot != std::wstring::npos)
      aText.replace(dot, 1, separator);
  return aText;
}

struct TSizeCase {
  const char *fName;
  std::int64_t fSize;
  const wchar_t *fExpected;
};

class FormatSizeCases : public testing::TestWithParam<TSizeCase> {};

TEST_P(FormatSizeCases, UsesPowersOf1024AndThreeDecimalsTiesToEven) {
  EXPECT_EQ(WithUserSeparator(GetParam().fExpected), TDescription::FormatSize(GetParam().fSize));
}

INSTANTIATE_TEST_SUITE_P(
    Description, FormatSizeCases,
    testing::Values(TSizeCase{"Zero", 0, L"0 B"}, TSizeCase{"Negative", -5, L"-5 B"},
                    TSizeCase{"JustBelowAKilobyte", 1023, L"1023 B"},
                    TSizeCase{"OneKilobyte", 1024, L"1 KB"},
                    TSizeCase{"OneAndAHalfKilobytes", 1536, L"1.5 KB"},
                    TSizeCase{"HalfTiesDownToEven", 1088, L"1.062 KB"},
                    TSizeCase{"HalfTiesUpToEven", 1216, L"1.188 KB"},
                    TSizeCase{"JustBelowAMegabyte", 1048575, L"1023.999 KB"},
                    TSizeCase{"OneMegabyte", 1048576, L"1 MB"},
                    TSizeCase{"JustBelowAGigabyteRoundsUp", 1073741823, L"1024 MB"},
                    TSizeCase{"OneGigabyte", 1073741824, L"1 GB"},
                    TSizeCase{"ThreeGigabytes", 3LL * 1073741824, L"3 GB"},
                    TSizeCase{"ManyGigabytes", 1099511627776LL, L"1024 GB"}),
    [](const auto &aInfo) { return TestName(aInfo.param.fName); });

TEST(Description, FactoriesSetTheirFieldsAndLeaveTheFlagFalse) {
  const TDescription untouched;
  EXPECT_EQ(L"", untouched.ShortDescription());
  EXPECT_EQ(0u, untouched.Color());
  EXPECT_EQ(0, untouched.Size());
  EXPECT_EQ(TContentType::ctUnknown, untouched.ContentType());
  EXPECT_FALSE(untouched.Image() || untouched.Icon() || untouched.ParticularSupport());

  auto text = TDescription::CreateTextDescription(L"Short", L"Long", 42, TBitmap(2, 3), 0xFF010203);
  EXPECT_EQ(L"Short", text().ShortDescription());
  EXPECT_EQ(L"Long", text().LongDescription());
  EXPECT_EQ(42, text().Size());
  ASSERT_TRUE(text().Icon());
  EXPECT_EQ(3, text().Icon()->Height());
  EXPECT_FALSE(text().Image());
  EXPECT_EQ(0xFF010203u, text().Color());
  EXPECT_EQ(TContentType::ctText, text().ContentType());
  EXPECT_FALSE(text().ParticularSupport());

  auto image = TDescription::CreateImageDescription(L"S", L"L", TBitmap(4, 5), 7, std::nullopt,
                                                    DefaultBackgroundColor);
  ASSERT_TRUE(image().Image());
  EXPECT_EQ(4, image().Image()->Width());
  EXPECT_FALSE(image().Icon());
  EXPECT_EQ(TContentType::ctImage, image().ContentType());
  image().SetParticularSupport(true);
  EXPECT_TRUE(image().ParticularSupport());
}

TEST(Description, UnknownDescriptionAndSizeCountCapturedBytesOnly) {
  auto empty = MakeSnapshot({});
  EXPECT_EQ(0, TDescription::CalculateSize(empty));
  auto state = MakeSnapshot({{CF_UNICODETEXT, L"", UnicodeBytes(L"abc")}, // 8 bytes
                             {CF_DIB, L"", {}},                           // not captured
                             {0xC123, L"Custom", std::vector<std::uint8_t>(1000)}});
  EXPECT_EQ(1008, TDescription::CalculateSize(state));
  auto unknown = TDescription::CreateUnknownDescription(state);
  EXPECT_EQ(L"Unknown format", unknown().ShortDescription());
  EXPECT_EQ(L"", unknown().LongDescription());
  EXPECT_EQ(1008, unknown().Size());
  EXPECT_EQ(DefaultBackgroundColor, unknown().Color());
  EXPECT_EQ(TContentType::ctUnknown, unknown().ContentType());
  EXPECT_FALSE(unknown().Image() || unknown().Icon() || unknown().ParticularSupport());
}

// Fake analyzers that record being asked and answer with their own name.
struct TChainCase {
  const char *fName;
  std::vector<std::string> fAnswering; // names of the analyzers that answer
  bool fWithUniversal;
  std::wstring fExpected;
  std::vector<std::string> fAsked;
};

class RegistryOrderCases : public testing::TestWithParam<TChainCase> {};

TEST_P(RegistryOrderCases, AsksCustomThenUniversalThenDefaultAndStopsAtTheFirstAnswer) {
  const TChainCase &c = GetParam();
  std::vector<std::string> asked;
  auto fake = [&](std::string aName) -> TClipboardAnalyzer {
    return [&, aName](const TAuto<TClipboardStateContainer> &) {
      asked.push_back(aName);
      const bool answers =
          std::find(c.fAnswering.begin(), c.fAnswering.end(), aName) != c.fAnswering.end();
      return answers ? TDescription::CreateTextDescription(std::wstring(aName.begin(), aName.end()),
                                                           L"", 0, std::nullopt, 0)
                     : TAuto<TDescription>();
    };
  };
  TClipboardAnalyzers registry;
  registry.RegisterDefaultAnalyzer(fake("default1"));
  registry.RegisterCustomAnalyzer(fake("custom1"));
  registry.RegisterCustomAnalyzer(fake("custom2"));
  registry.RegisterDefaultAnalyzer(fake("default2"));
  if (c.fWithUniversal)
    registry.SetUniversalAnalyzer(fake("universal"));
  auto result = registry.DescriptionForState(MakeSnapshot({{CF_TEXT, L"", {0}}}));
  ASSERT_TRUE(result);
  EXPECT_EQ(c.fExpected, result().ShortDescription());
  EXPECT_EQ(c.fAsked, asked);
}

INSTANTIATE_TEST_SUITE_P(
    Registry, RegistryOrderCases,
    testing::Values(
        TChainCase{
            "FirstCustomWins", {"custom1", "custom2", "universal"}, true, L"custom1", {"custom1"}},
        TChainCase{
            "SecondCustom", {"custom2", "universal"}, true, L"custom2", {"custom1", "custom2"}},
        TChainCase{"UniversalBeforeDefault",
                   {"universal", "default1"},
                   true,
                   L"universal",
                   {"custom1", "custom2", "universal"}},
        TChainCase{"DefaultsInOrder",
                   {"default1", "default2"},
                   true,
                   L"default1",
                   {"custom1", "custom2", "universal", "default1"}},
        TChainCase{"SecondDefault",
                   {"default2"},
                   true,
                   L"default2",
                   {"custom1", "custom2", "universal", "default1", "default2"}},
        TChainCase{"WithoutUniversal",
                   {"default1"},
                   false,
                   L"default1",
                   {"custom1", "custom2", "default1"}},
        TChainCase{"NobodyAnswers",
                   {},
                   true,
                   L"Unknown format",
                   {"custom1", "custom2", "universal", "default1", "default2"}}),
    [](const auto &aInfo) { return TestName(aInfo.param.fName); });

TEST(Registry, EmptyRegistryGivesUnknownFormatWithTheSnapshotSize) {
  const TClipboardAnalyzers registry;
  auto result = registry.DescriptionForState(MakeSnapshot({{CF_TEXT, L"", AnsiBytes("hello")}}));
  EXPECT_EQ(L"Unknown format", result().ShortDescription());
  EXPECT_EQ(6, result().Size());
  EXPECT_EQ(DefaultBackgroundColor, result().Color());
  EXPECT_THROW(registry.DescriptionForState({}), std::invalid_argument);
}

TEST(Registry, AnAnalyzersErrorReachesTheCaller) {
  TClipboardAnalyzers registry;
  registry.RegisterCustomAnalyzer(
      [](const TAuto<TClipboardStateContainer> &) -> TAuto<TDescription> {
        throw std::runtime_error("Cannot decode the bitmap");
      });
  EXPECT_THROW(registry.DescriptionForState(MakeSnapshot({})), std::runtime_error);
}

TEST(Registry, ProcessWideRegistryIsOneObject) {
  EXPECT_EQ(&ClipboardAnalyzers(), &ClipboardAnalyzers());
  EXPECT_TRUE(ClipboardAnalyzers().UniversalAnalyzer());
}

} // namespace
