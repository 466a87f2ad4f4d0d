#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

// 0xAARRGGBB; 0xFF in the top byte is opaque.
using TAlphaColor = std::uint32_t;

// The notifier's neutral background, the colour of descriptions without one
// of their own, and the marker that asks for a colour taken from an icon.
constexpr TAlphaColor DefaultBackgroundColor = 0xFF4F8BC1;

// The program's image: a 32-bit ARGB raster, top row first, straight (not
// premultiplied) alpha. It holds no GDI handle, so analyzers and colour code
// work on plain pixels; conversions to and from GDI live in one module.
class TBitmap {
public:
  TBitmap(int aWidth, int aHeight, TAlphaColor aFill = 0)
      : fWidth(aWidth), fHeight(aHeight), fPixels(CheckedArea(aWidth, aHeight), aFill) {}

  int Width() const noexcept { return fWidth; }
  int Height() const noexcept { return fHeight; }
  TAlphaColor Pixel(int aX, int aY) const { return fPixels.at(Index(aX, aY)); }
  void SetPixel(int aX, int aY, TAlphaColor aColor) { fPixels.at(Index(aX, aY)) = aColor; }
  const std::vector<TAlphaColor> &Pixels() const noexcept { return fPixels; }
  std::vector<TAlphaColor> &Pixels() noexcept { return fPixels; }

private:
  static std::size_t CheckedArea(int aWidth, int aHeight) {
    if (aWidth <= 0 || aHeight <= 0 || aWidth > 32768 || aHeight > 32768)
      throw std::invalid_argument("Invalid bitmap size");
    return static_cast<std::size_t>(aWidth) * static_cast<std::size_t>(aHeight);
  }
  std::size_t Index(int aX, int aY) const {
    if (aX < 0 || aY < 0 || aX >= fWidth || aY >= fHeight)
      throw std::out_of_range("Pixel outside the bitmap");
    return static_cast<std::size_t>(aY) * static_cast<std::size_t>(fWidth) +
           static_cast<std::size_t>(aX);
  }

  int fWidth;
  int fHeight;
  std::vector<TAlphaColor> fPixels;
};
