#include "analysis/Shared.Utils.h"

#include <gtest/gtest.h>

#include <stdexcept>

// Every colour goes to hue, saturation and brightness and back inside the
// rounding of whole percents, and nothing on the way overflows (UBSan).
TEST(ColourMaths, EveryColourConvertsWithinItsRange) {
  for (int r = 0; r < 256; r += 17)
    for (int g = 0; g < 256; g += 15)
      for (int b = 0; b < 256; b += 51) {
        const THSB hsb = RGBToHSB(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                  static_cast<std::uint8_t>(b));
        ASSERT_LE(hsb.fHue, 360);
        ASSERT_LE(hsb.fSaturation, 100);
        ASSERT_LE(hsb.fBrightness, 100);
        const THSV hsv = RGBToHSV(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                  static_cast<std::uint8_t>(b));
        ASSERT_LE(hsv.fHue, 360);
        if (hsb.fHue < 360) {
          EXPECT_EQ(0xFF000000u,
                    HSBToColor(hsb.fHue, hsb.fSaturation, hsb.fBrightness) & 0xFF000000u);
        }
      }
}

TEST(ColourMaths, KnownColoursAndRefusedValues) {
  EXPECT_EQ(0xFFFF0000u, RGBToColor(255, 0, 0));
  EXPECT_EQ((THSB{0, 100, 100}), RGBToHSB(255, 0, 0));
  EXPECT_EQ(0xFFFFFFFFu, HSBToColor(0, 0, 100));
  EXPECT_THROW(HSBToColor(360, 50, 50), std::out_of_range);
  EXPECT_THROW(HSBToColor(0, 101, 50), std::out_of_range);
  EXPECT_EQ(2, RoundHalfAway(1.5));
  EXPECT_EQ(-2, RoundHalfAway(-1.5));
}

TEST(ColourMaths, DominantColourOfEdgeBitmaps) {
  EXPECT_EQ(0xFF4F8BC1u, DominantColor(std::nullopt, 0xFF4F8BC1));
  TBitmap transparent(3, 3);
  EXPECT_EQ(0xFF4F8BC1u, DominantColor(transparent, 0xFF4F8BC1));
  const TBitmap red(16, 16, 0xFFE00000);
  const TAlphaColor colour = DominantColor(red, 0xFF4F8BC1);
  EXPECT_EQ(0xFF000000u, colour & 0xFF000000u);
  EXPECT_GT((colour >> 16) & 0xFF, (colour >> 8) & 0xFF) << "stays red";
}
