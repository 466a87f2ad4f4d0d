#include "analysis/Bitmap.Scale.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

constexpr TAlphaColor Red = 0xFFFF0000;
constexpr TAlphaColor Blue = 0xFF0000FF;
constexpr TAlphaColor Clear = 0x00000000;

// Left half red, right half blue.
TBitmap Halves(int aWidth, int aHeight) {
  TBitmap bitmap(aWidth, aHeight, Red);
  for (int y = 0; y < aHeight; ++y)
    for (int x = aWidth / 2; x < aWidth; ++x)
      bitmap.SetPixel(x, y, Blue);
  return bitmap;
}

struct TFitCase {
  const char *Name;
  int Width;
  int Height;
  int Side;
  // Where the picture lands in the square.
  int Left, Top, Right, Bottom;
};

class FitInSquare_ : public testing::TestWithParam<TFitCase> {};

// The aspect is kept, the picture centred, the rest transparent, and the
// halves stay where they were.
TEST_P(FitInSquare_, KeepsTheAspectCentredOnTransparency) {
  const TFitCase &c = GetParam();
  const TBitmap fitted = FitInSquare(Halves(c.Width, c.Height), c.Side);
  ASSERT_EQ(c.Side, fitted.Width());
  ASSERT_EQ(c.Side, fitted.Height());
  for (int y = 0; y < c.Side; ++y)
    for (int x = 0; x < c.Side; ++x) {
      const bool inside = x >= c.Left && x < c.Right && y >= c.Top && y < c.Bottom;
      if (!inside) {
        EXPECT_EQ(Clear, fitted.Pixel(x, y)) << x << "," << y;
        continue;
      }
      EXPECT_EQ(0xFFu, fitted.Pixel(x, y) >> 24) << x << "," << y;
    }
  EXPECT_EQ(Red, fitted.Pixel(c.Left, (c.Top + c.Bottom) / 2));
  EXPECT_EQ(Blue, fitted.Pixel(c.Right - 1, (c.Top + c.Bottom) / 2));
}

INSTANTIATE_TEST_SUITE_P(Cases, FitInSquare_,
                         testing::Values(TFitCase{"Screenshot", 1920, 1080, 64, 0, 14, 64, 50},
                                         TFitCase{"Tall", 100, 400, 32, 12, 0, 20, 32},
                                         TFitCase{"Square", 32, 32, 32, 0, 0, 32, 32},
                                         TFitCase{"Enlarged", 4, 4, 16, 0, 0, 16, 16},
                                         TFitCase{"OnePixelHigh", 300, 1, 30, 0, 14, 30, 15}),
                         [](const auto &aInfo) { return std::string(aInfo.param.Name); });

// Averages the area a pixel covers; transparent pixels do not darken it.
TEST(FitInSquare, AveragesTheAreaWeightedByAlpha) {
  TBitmap checker(2, 2, 0xFF000000);
  checker.SetPixel(0, 0, 0xFFFFFFFF);
  checker.SetPixel(1, 1, 0xFFFFFFFF);
  EXPECT_EQ(0xFF808080u, FitInSquare(checker, 1).Pixel(0, 0));

  TBitmap halfClear(2, 1, Clear);
  halfClear.SetPixel(0, 0, Red);
  EXPECT_EQ(0x80FF0000u, FitInSquare(halfClear, 1).Pixel(0, 0));
}

TEST(FitInSquare, RefusesAnEmptySquare) {
  EXPECT_THROW(FitInSquare(TBitmap(4, 4), 0), std::invalid_argument);
}

} // namespace
