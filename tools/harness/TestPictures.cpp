#include "harness/TestPictures.h"

#include <cstring>

namespace Harness {

BITMAPINFO TopDown32(int aWidth, int aHeight) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = aWidth;
  info.bmiHeader.biHeight = -aHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

std::vector<std::uint32_t> PatternPixels(int aWidth, int aHeight, std::uint32_t aSeed) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(aWidth) *
                                    static_cast<std::size_t>(aHeight));
  for (int y = 0; y < aHeight; ++y)
    for (int x = 0; x < aWidth; ++x)
      pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(aWidth) +
             static_cast<std::size_t>(x)] = (static_cast<std::uint32_t>(x) * 2654435761u ^
                                             static_cast<std::uint32_t>(y) * 40503u ^ aSeed) &
                                            0x00FFFFFF;
  return pixels;
}

TBitmapHandle MakePatternBitmap(TBitmapKind aKind, int aWidth, int aHeight, std::uint32_t aSeed) {
  const std::vector<std::uint32_t> pixels = PatternPixels(aWidth, aHeight, aSeed);
  BITMAPINFO info = TopDown32(aWidth, aHeight);
  TWindowDC screen(nullptr);
  if (aKind == TBitmapKind::bkDibSection) {
    void *bits = nullptr;
    TBitmapHandle dib(::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    CheckWin32(dib && bits, "CreateDIBSection");
    std::memcpy(bits, pixels.data(), pixels.size() * 4);
    ::GdiFlush();
    return dib;
  }
  TBitmapHandle bitmap(::CreateCompatibleBitmap(screen.Get(), aWidth, aHeight));
  CheckWin32(static_cast<bool>(bitmap), "CreateCompatibleBitmap");
  CheckWin32(::SetDIBits(screen.Get(), bitmap.Get(), 0, static_cast<UINT>(aHeight), pixels.data(),
                         &info, DIB_RGB_COLORS) == aHeight,
             "SetDIBits");
  return bitmap;
}

TPixels ReadPixels(HBITMAP aBitmap) {
  BITMAP header{};
  CheckWin32(::GetObjectW(aBitmap, sizeof header, &header) == sizeof header, "GetObjectW");
  TPixels picture;
  picture.Width = header.bmWidth;
  picture.Height = header.bmHeight;
  picture.Pixels.resize(static_cast<std::size_t>(picture.Width) *
                        static_cast<std::size_t>(picture.Height));
  BITMAPINFO info = TopDown32(picture.Width, picture.Height);
  TWindowDC screen(nullptr);
  CheckWin32(::GetDIBits(screen.Get(), aBitmap, 0, static_cast<UINT>(picture.Height),
                         picture.Pixels.data(), &info, DIB_RGB_COLORS) == picture.Height,
             "GetDIBits");
  for (std::uint32_t &pixel : picture.Pixels)
    pixel &= 0x00FFFFFF;
  return picture;
}

} // namespace Harness
