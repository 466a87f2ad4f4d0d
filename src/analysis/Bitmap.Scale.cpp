#include "analysis/Bitmap.Scale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// The source columns (or rows) that destination pixel aIndex covers out of
// aCount, at least one.
struct TSpan {
  int First;
  int End;
};

TSpan SourceSpan(int aIndex, int aCount, int aSourceCount) {
  const auto scaled = [&](int aAt) {
    return static_cast<int>(static_cast<std::int64_t>(aAt) * aSourceCount / aCount);
  };
  const int first = std::min(scaled(aIndex), aSourceCount - 1);
  return {first, std::max(first + 1, scaled(aIndex + 1))};
}

TAlphaColor AreaAverage(const TBitmap &aSource, TSpan aColumns, TSpan aRows) {
  std::uint64_t alpha = 0;
  std::uint64_t red = 0;
  std::uint64_t green = 0;
  std::uint64_t blue = 0;
  const std::vector<TAlphaColor> &pixels = aSource.Pixels();
  for (int y = aRows.First; y < aRows.End; ++y) {
    const TAlphaColor *row =
        pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(aSource.Width());
    for (int x = aColumns.First; x < aColumns.End; ++x) {
      const TAlphaColor pixel = row[x];
      const std::uint64_t a = pixel >> 24;
      alpha += a;
      red += a * ((pixel >> 16) & 0xFF);
      green += a * ((pixel >> 8) & 0xFF);
      blue += a * (pixel & 0xFF);
    }
  }
  if (alpha == 0)
    return 0;
  const std::uint64_t count = static_cast<std::uint64_t>(aColumns.End - aColumns.First) *
                              static_cast<std::uint64_t>(aRows.End - aRows.First);
  const auto channel = [&](std::uint64_t aSum) {
    return static_cast<TAlphaColor>((aSum + alpha / 2) / alpha);
  };
  return static_cast<TAlphaColor>((alpha + count / 2) / count) << 24 | channel(red) << 16 |
         channel(green) << 8 | channel(blue);
}

} // namespace

TBitmap FitInSquare(const TBitmap &aSource, int aSide) {
  if (aSide < 1)
    throw std::invalid_argument("A square needs a side of at least one pixel");
  const bool wide = aSource.Width() >= aSource.Height();
  const auto shorter = [&](int aLong, int aShort) {
    return std::max(1, static_cast<int>(std::lround(static_cast<double>(aSide) * aShort / aLong)));
  };
  const int width = wide ? aSide : shorter(aSource.Height(), aSource.Width());
  const int height = wide ? shorter(aSource.Width(), aSource.Height()) : aSide;
  const int left = (aSide - width) / 2;
  const int top = (aSide - height) / 2;
  TBitmap result(aSide, aSide);
  for (int y = 0; y < height; ++y) {
    const TSpan rows = SourceSpan(y, height, aSource.Height());
    for (int x = 0; x < width; ++x)
      result.SetPixel(left + x, top + y,
                      AreaAverage(aSource, SourceSpan(x, width, aSource.Width()), rows));
  }
  return result;
}
