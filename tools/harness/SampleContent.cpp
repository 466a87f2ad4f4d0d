#include "harness/SampleContent.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>

namespace Harness {

std::wstring VariedText(std::size_t aCharacters, std::uint32_t aSeed) {
  static constexpr std::array<const wchar_t *, 40> Words = {
      L"clipboard", L"page",    L"history",   L"memory",   L"window", L"the",     L"of",
      L"and",       L"packed",  L"snapshot",  L"format",   L"thread", L"picture", L"desktop",
      L"number",    L"quick",   L"brown",     L"fox",      L"jumps",  L"over",    L"lazy",
      L"dog",       L"alpha",   L"beta",      L"gamma",    L"river",  L"summit",  L"yesterday",
      L"tomorrow",  L"system",  L"program",   L"engineer", L"value",  L"letter",  L"Ångström",
      L"naïve",     L"reports", L"quarterly", L"2026",     L"invoice"};
  std::mt19937 random(aSeed);
  std::wstring text;
  text.reserve(aCharacters + 16);
  while (text.size() < aCharacters) {
    text += Words[random() % Words.size()];
    text += random() % 12 == 0 ? L"\r\n" : L" ";
  }
  text.resize(aCharacters);
  return text;
}

namespace {

class TCanvas {
public:
  TCanvas(int aWidth, int aHeight) : fWidth(aWidth), fHeight(aHeight) {
    fPixels.resize(static_cast<std::size_t>(aWidth) * static_cast<std::size_t>(aHeight));
  }
  void Set(int aX, int aY, std::uint32_t aColour) {
    if (aX >= 0 && aY >= 0 && aX < fWidth && aY < fHeight)
      fPixels[static_cast<std::size_t>(aY) * static_cast<std::size_t>(fWidth) +
              static_cast<std::size_t>(aX)] = aColour;
  }
  const std::vector<std::uint32_t> &Pixels() const noexcept { return fPixels; }

private:
  int fWidth, fHeight;
  std::vector<std::uint32_t> fPixels;
};

std::uint32_t Gradient(int aX, int aY, int aWidth, int aHeight) {
  const auto red = static_cast<std::uint32_t>(20 + aY * 80 / aHeight);
  const auto green = static_cast<std::uint32_t>(60 + aX * 60 / aWidth);
  const auto blue = static_cast<std::uint32_t>(120 + (aX + aY) * 100 / (aWidth + aHeight));
  return 0xFF000000u | red << 16 | green << 8 | blue;
}

// A window: title bar, light client area, and lines of "text" (dark pixels
// in a random pattern).
void DrawWindow(TCanvas &aCanvas, std::mt19937 &aRandom, int aLeft, int aTop, int aWidth,
                int aHeight) {
  for (int y = aTop; y < aTop + aHeight; ++y)
    for (int x = aLeft; x < aLeft + aWidth; ++x) {
      std::uint32_t colour = y < aTop + 30 ? 0xFF2B5797u : 0xFFF0F0F0u;
      const bool textLine = y > aTop + 40 && (y - aTop) % 18 < 11;
      if (textLine && x > aLeft + 10 && x < aLeft + aWidth - 10 && aRandom() % 3 == 0)
        colour = 0xFF202020u + (aRandom() % 0x40) * 0x010101u;
      aCanvas.Set(x, y, colour);
    }
}

// A random number from 0 to below aLimit; 0 for a limit of 0 or less (a
// picture too small for windows).
int Below(std::mt19937 &aRandom, int aLimit) {
  return aLimit > 0 ? static_cast<int>(aRandom() % static_cast<unsigned>(aLimit)) : 0;
}

} // namespace

std::vector<std::uint8_t> DesktopPictureDib(int aWidth, int aHeight, std::uint32_t aSeed) {
  TCanvas canvas(aWidth, aHeight);
  for (int y = 0; y < aHeight; ++y)
    for (int x = 0; x < aWidth; ++x)
      canvas.Set(x, y, Gradient(x, y, aWidth, aHeight));
  std::mt19937 random(aSeed);
  for (int window = 0; window < 6; ++window) {
    const int width = aWidth / 5 + Below(random, aWidth / 4);
    const int height = aHeight / 4 + Below(random, aHeight / 3);
    DrawWindow(canvas, random, Below(random, aWidth - width), Below(random, aHeight - height),
               width, height);
  }
  for (int y = aHeight - aHeight / 27; y < aHeight; ++y)
    for (int x = 0; x < aWidth; ++x)
      canvas.Set(x, y, 0xFF1F1F1Fu);

  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = aWidth;
  header.biHeight = aHeight;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  std::vector<std::uint8_t> dib(sizeof(header) + canvas.Pixels().size() * 4);
  std::memcpy(dib.data(), &header, sizeof(header));
  // Bottom row first, as a DIB with a positive height stores it.
  const std::size_t rowBytes = static_cast<std::size_t>(aWidth) * 4;
  for (int y = 0; y < aHeight; ++y)
    std::memcpy(dib.data() + sizeof(header) + static_cast<std::size_t>(aHeight - 1 - y) * rowBytes,
                canvas.Pixels().data() +
                    static_cast<std::size_t>(y) * static_cast<std::size_t>(aWidth),
                rowBytes);
  return dib;
}

std::vector<std::uint8_t> RandomBytes(std::size_t aCount, std::uint32_t aSeed) {
  std::mt19937 random(aSeed);
  std::vector<std::uint8_t> bytes(aCount);
  std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<std::uint8_t>(random()); });
  return bytes;
}

} // namespace Harness
