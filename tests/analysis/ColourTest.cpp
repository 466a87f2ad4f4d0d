#include "analysis/Shared.Utils.h"

#include "AnalysisTestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using AnalysisTest::TestName;

TEST(Colour, RoundHalfAwayRoundsExactHalvesAwayFromZero) {
  const std::vector<std::pair<double, std::int64_t>> cases{
      {2.5, 3}, {-2.5, -3}, {-2.4, -2}, {0.5, 1}, {1.4999, 1}, {0, 0}, {359.5, 360}};
  for (const auto &[value, expected] : cases)
    EXPECT_EQ(expected, RoundHalfAway(value)) << value;
}

struct THsbCase {
  const char *fName;
  std::uint8_t fR, fG, fB;
  THSB fExpected;
};

class RGBToHSBCases : public testing::TestWithParam<THsbCase> {};

TEST_P(RGBToHSBCases, GivesHueSaturationAndBrightness) {
  const THsbCase &c = GetParam();
  const THSB actual = RGBToHSB(c.fR, c.fG, c.fB);
  EXPECT_EQ(c.fExpected.fHue, actual.fHue);
  EXPECT_EQ(c.fExpected.fSaturation, actual.fSaturation);
  EXPECT_EQ(c.fExpected.fBrightness, actual.fBrightness);
}

INSTANTIATE_TEST_SUITE_P(
    Colour, RGBToHSBCases,
    testing::Values(
        THsbCase{"Black", 0, 0, 0, {0, 0, 0}}, THsbCase{"Grey", 128, 128, 128, {0, 0, 50}},
        THsbCase{"RedWithBlueAboveGreenGivesHue360", 255, 0, 2, {360, 100, 100}},
        THsbCase{"Hue359", 255, 0, 4, {359, 100, 100}}, THsbCase{"Red", 255, 0, 0, {0, 100, 100}},
        THsbCase{"Green", 0, 255, 0, {120, 100, 100}}, THsbCase{"Blue", 0, 0, 255, {240, 100, 100}},
        THsbCase{"RedAndGreenTieUsesTheRedFormula", 255, 255, 0, {60, 100, 100}},
        THsbCase{"GreenAndBlueTieUsesTheGreenFormula", 0, 200, 200, {180, 100, 78}},
        THsbCase{"Orange", 230, 120, 30, {27, 87, 90}}),
    [](const auto &aInfo) { return TestName(aInfo.param.fName); });

TEST(Colour, RGBToHSVScalesTheBrightnessTo255) {
  EXPECT_EQ((THSV{0, 100, 255}), RGBToHSV(255, 0, 0));
  EXPECT_EQ((THSV{0, 0, 128}), RGBToHSV(128, 128, 128)); // 50 % gives 127.5, rounded up
  EXPECT_EQ((THSV{0, 0, 0}), RGBToHSV(1, 1, 1));
}

struct TToColorCase {
  const char *fName;
  std::uint16_t fHue;
  std::uint8_t fSaturation, fBrightness;
  TAlphaColor fExpected;
};

class HSBToColorCases : public testing::TestWithParam<TToColorCase> {};

TEST_P(HSBToColorCases, GivesTheOpaqueColour) {
  const TToColorCase &c = GetParam();
  EXPECT_EQ(c.fExpected, HSBToColor(c.fHue, c.fSaturation, c.fBrightness));
}

INSTANTIATE_TEST_SUITE_P(Colour, HSBToColorCases,
                         testing::Values(TToColorCase{"White", 0, 0, 100, 0xFFFFFFFF},
                                         TToColorCase{"Black", 0, 0, 0, 0xFF000000},
                                         TToColorCase{"GreyRoundsHalfUp", 0, 0, 50, 0xFF808080},
                                         TToColorCase{"SoftGreen", 120, 50, 85, 0xFF6CD96C},
                                         TToColorCase{"CappedRed", 0, 100, 85, 0xFFD90000},
                                         TToColorCase{"Sector1", 60, 100, 100, 0xFFFFFF00},
                                         TToColorCase{"Sector3", 180, 100, 100, 0xFF00FFFF},
                                         TToColorCase{"Sector4", 240, 100, 100, 0xFF0000FF},
                                         TToColorCase{"Sector5", 300, 100, 100, 0xFFFF00FF},
                                         TToColorCase{"Hue359", 359, 100, 100, 0xFFFF0004}),
                         [](const auto &aInfo) { return TestName(aInfo.param.fName); });

TEST(Colour, HSBToColorRejectsValuesOutOfRangeInOrder) {
  const std::vector<std::tuple<std::uint16_t, std::uint8_t, std::uint8_t, std::string>> cases{
      {360, 0, 0, "Hue must be 0..359"},           {120, 101, 50, "Saturation must be 0..100"},
      {120, 50, 101, "Brightness must be 0..100"}, {400, 101, 101, "Hue must be 0..359"},
      {0, 101, 101, "Saturation must be 0..100"},
  };
  for (const auto &[hue, saturation, brightness, message] : cases) {
    try {
      HSBToColor(hue, saturation, brightness);
      ADD_FAILURE() << "no error for " << hue;
    } catch (const std::out_of_range &e) {
      EXPECT_EQ(message, e.what());
    }
  }
}

// Pixels are 0xAARRGGBB; a bitmap one pixel high holds them left to right.
TBitmap Row(const std::vector<TAlphaColor> &aPixels) {
  TBitmap bitmap(static_cast<int>(aPixels.size()), 1);
  bitmap.Pixels() = aPixels;
  return bitmap;
}

constexpr TAlphaColor Fallback = 0xFF123456;

struct TDominantCase {
  const char *fName;
  std::vector<TAlphaColor> fPixels;
  TAlphaColor fExpected;
};

class DominantColorCases : public testing::TestWithParam<TDominantCase> {};

TEST_P(DominantColorCases, PicksTheBestPopulatedHueSector) {
  EXPECT_EQ(GetParam().fExpected, DominantColor(Row(GetParam().fPixels), Fallback));
}

INSTANTIATE_TEST_SUITE_P(
    Colour, DominantColorCases,
    testing::Values(
        TDominantCase{"FullyTransparent", {0x00FF0000, 0x00FF0000}, Fallback},
        TDominantCase{"OnlyGreys", {0xFF808080, 0xFFF0F0F0}, Fallback},
        TDominantCase{"OpaqueRedIsCappedAt85Percent", {0xFFFF0000}, 0xFFD90000},
        TDominantCase{"OpaqueBlackCountsDespiteItsSaturation", {0xFF000000}, 0xFF000000},
        TDominantCase{"DarkColourKeepsItsValue", {0xFFC80000}, 0xFFC80000},
        TDominantCase{
            "HalfTransparentPixelsNeverCount", {0xFE0000FF, 0xFE0000FF, 0xFF00C800}, 0xFF00C800},
        TDominantCase{"TieBetweenSectors2And5GoesTo2", {0xFF0000C8, 0xFF00C800}, 0xFF00C800},
        // Hues 44 (green 187) and 45 (green 191) lie in sectors 0 and 1.
        TDominantCase{"Hue44IsSector0", {0xFFFFBB00, 0xFFFFBB00, 0xFFFFBF00}, 0xFFD99F00},
        TDominantCase{"Hue45IsSector1", {0xFFFFBB00, 0xFFFFBF00, 0xFFFFBF00}, 0xFFD9A300},
        TDominantCase{"Hue359IsSector7", {0xFFC80004, 0xFFC80004, 0xFF00C800}, 0xFFC80004},
        TDominantCase{"Hue360IsInNoSector", {0xFFFF0002, 0xFFFF0002, 0xFF00C800}, 0xFF00C800},
        // Each pixel has hue 359; their average (241, 0, 2) has hue 360.
        TDominantCase{
            "AverageAtHue360IsRed", {0xFFFF0003, 0xFFEC0002, 0xFFEC0002, 0xFFEC0002}, 0xFFD90000},
        TDominantCase{"AverageHalfGoesToEvenDown", {0xFF640000, 0xFF650000}, 0xFF640000},
        TDominantCase{"AverageHalfGoesToEvenUp", {0xFF650000, 0xFF660000}, 0xFF660000}),
    [](const auto &aInfo) { return TestName(aInfo.param.fName); });

TEST(Colour, DominantColorOfNoBitmapIsTheDefault) {
  EXPECT_EQ(Fallback, DominantColor(std::nullopt, Fallback));
}

} // namespace
