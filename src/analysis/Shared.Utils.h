#pragma once

#include "analysis/TBitmap.h"

#include <cstdint>
#include <optional>

// Colour maths for the notifier's background: RGB and hue-saturation-
// brightness conversions and the dominant colour of a program icon.

struct TPixel {
  std::uint8_t fR = 0;
  std::uint8_t fG = 0;
  std::uint8_t fB = 0;
  static TPixel Create(std::uint8_t aR, std::uint8_t aG, std::uint8_t aB) { return {aR, aG, aB}; }
};

// Hue 0..359 (RGBToHSB can yield 360), saturation and brightness in percent.
struct THSB {
  std::uint16_t fHue = 0;
  std::uint8_t fSaturation = 0;
  std::uint8_t fBrightness = 0;
  friend bool operator==(const THSB &, const THSB &) = default;
};

// As THSB, with a value 0..255 in place of the brightness.
struct THSV {
  std::uint16_t fHue = 0;
  std::uint8_t fSaturation = 0;
  std::uint8_t fValue = 0;
  friend bool operator==(const THSV &, const THSV &) = default;
};

// Nearest integer, an exact half away from zero.
std::int64_t RoundHalfAway(double aValue);

TAlphaColor RGBToColor(std::uint8_t aR, std::uint8_t aG, std::uint8_t aB);
THSB RGBToHSB(std::uint8_t aR, std::uint8_t aG, std::uint8_t aB);
THSV RGBToHSV(std::uint8_t aR, std::uint8_t aG, std::uint8_t aB);

// Throws std::out_of_range for a hue above 359, a saturation or brightness
// above 100.
TAlphaColor HSBToColor(std::uint16_t aHue, std::uint8_t aSaturation, std::uint8_t aBrightness);

// The average colour of the best-populated hue sector of the bitmap's opaque,
// saturated pixels, its brightness capped at 85 percent; aDefault when there
// is no bitmap or no such pixel.
TAlphaColor DominantColor(const std::optional<TBitmap> &aBitmap, TAlphaColor aDefault);
