#include "analysis/Shared.Utils.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace {

constexpr int HueSectorCount = 8;
constexpr int HueSectorWidth = 360 / HueSectorCount;
constexpr int MinimumSaturation = 20;
constexpr int MaximumBrightness = 85;

std::uint8_t ChannelFromUnit(double aValue) {
  return static_cast<std::uint8_t>(RoundHalfAway(aValue * 255));
}

// Integer mean with an exact half going to the even neighbour.
std::uint8_t MeanHalfEven(std::uint64_t aSum, std::uint64_t aCount) {
  std::uint64_t quotient = aSum / aCount;
  const std::uint64_t twiceRemainder = 2 * (aSum % aCount);
  if (twiceRemainder > aCount || (twiceRemainder == aCount && quotient % 2 == 1))
    ++quotient;
  return static_cast<std::uint8_t>(quotient);
}

TPixel Average(const std::vector<TPixel> &aPixels) {
  std::uint64_t r = 0, g = 0, b = 0;
  for (const TPixel &pixel : aPixels) {
    r += pixel.fR;
    g += pixel.fG;
    b += pixel.fB;
  }
  const std::uint64_t count = aPixels.size();
  return TPixel::Create(MeanHalfEven(r, count), MeanHalfEven(g, count), MeanHalfEven(b, count));
}

} // namespace

std::int64_t RoundHalfAway(double aValue) {
  return static_cast<std::int64_t>(std::round(aValue));
}

TAlphaColor RGBToColor(std::uint8_t aR, std::uint8_t aG, std::uint8_t aB) {
  return 0xFF000000u | (TAlphaColor{aR} << 16) | (TAlphaColor{aG} << 8) | TAlphaColor{aB};
}

THSB RGBToHSB(std::uint8_t aR, std::uint8_t aG, std::uint8_t aB) {
  const int r = aR, g = aG, b = aB;
  const int max = std::max({r, g, b});
  const int min = std::min({r, g, b});
  const double d = max - min;
  std::int64_t hue = 0;
  if (d == 0)
    hue = 0;
  else if (max == r)
    hue = RoundHalfAway((g - b) * 60 / d) + (g < b ? 360 : 0);
  else if (max == g)
    hue = RoundHalfAway((b - r) * 60 / d) + 120;
  else
    hue = RoundHalfAway((r - g) * 60 / d) + 240;
  const std::int64_t saturation =
      max == 0 ? 0 : RoundHalfAway((1 - static_cast<double>(min) / max) * 100);
  const std::int64_t brightness = RoundHalfAway(max * 100 / 255.0);
  return {static_cast<std::uint16_t>(hue), static_cast<std::uint8_t>(saturation),
          static_cast<std::uint8_t>(brightness)};
}

THSV RGBToHSV(std::uint8_t aR, std::uint8_t aG, std::uint8_t aB) {
  const THSB hsb = RGBToHSB(aR, aG, aB);
  return {hsb.fHue, hsb.fSaturation,
          static_cast<std::uint8_t>(RoundHalfAway(hsb.fBrightness * 255 / 100.0))};
}

TAlphaColor HSBToColor(std::uint16_t aHue, std::uint8_t aSaturation, std::uint8_t aBrightness) {
  if (aHue > 359)
    throw std::out_of_range("Hue must be 0..359");
  if (aSaturation > 100)
    throw std::out_of_range("Saturation must be 0..100");
  if (aBrightness > 100)
    throw std::out_of_range("Brightness must be 0..100");
  if (aSaturation == 0) {
    const auto v = static_cast<std::uint8_t>(RoundHalfAway(aBrightness * 255 / 100.0));
    return RGBToColor(v, v, v);
  }
  const double h = (aHue % 360) / 60.0;
  const int i = static_cast<int>(h);
  const double f = h - i;
  const double v = aBrightness / 100.0;
  const double s = aSaturation / 100.0;
  const double p = v * (1 - s);
  const double q = v * (1 - s * f);
  const double t = v * (1 - s * (1 - f));
  const std::array<std::array<double, 3>, 6> bySector{{
      {v, t, p},
      {q, v, p},
      {p, v, t},
      {p, q, v},
      {t, p, v},
      {v, p, q},
  }};
  const auto &rgb = bySector[static_cast<std::size_t>(i)];
  return RGBToColor(ChannelFromUnit(rgb[0]), ChannelFromUnit(rgb[1]), ChannelFromUnit(rgb[2]));
}

TAlphaColor DominantColor(const std::optional<TBitmap> &aBitmap, TAlphaColor aDefault) {
  if (!aBitmap)
    return aDefault;
  std::array<std::vector<TPixel>, HueSectorCount> sectors;
  for (const TAlphaColor color : aBitmap->Pixels()) { // rows top to bottom, left to right
    if ((color >> 24) != 0xFF)
      continue;
    const TPixel pixel =
        TPixel::Create(static_cast<std::uint8_t>(color >> 16),
                       static_cast<std::uint8_t>(color >> 8), static_cast<std::uint8_t>(color));
    const THSV hsv = RGBToHSV(pixel.fR, pixel.fG, pixel.fB);
    if (hsv.fValue != 0 && (hsv.fSaturation < MinimumSaturation || hsv.fSaturation > 100))
      continue;
    const int sector = hsv.fHue / HueSectorWidth;
    if (sector >= HueSectorCount) // hue 360 belongs to no sector
      continue;
    sectors[static_cast<std::size_t>(sector)].push_back(pixel);
  }
  const auto winner =
      std::max_element(sectors.begin(), sectors.end(), [](const auto &aLeft, const auto &aRight) {
        return aLeft.size() < aRight.size();
      });
  if (winner->empty())
    return aDefault;
  const TPixel average = Average(*winner);
  const THSB hsb = RGBToHSB(average.fR, average.fG, average.fB);
  if (hsb.fBrightness <= MaximumBrightness)
    return RGBToColor(average.fR, average.fG, average.fB);
  // An average just below pure red can come out at hue 360, which is red.
  return HSBToColor(hsb.fHue % 360, hsb.fSaturation, MaximumBrightness);
}
