#pragma once

// Pictures for tests that copy bitmaps: a pattern in which no two
// neighbouring pixels are equal, so a picture cut short, shifted or flipped
// shows, made as a device bitmap or a DIB section, and read back.

#include "shared/Handles.h"

#include <cstdint>
#include <vector>

namespace Harness {

enum class TBitmapKind {
  bkScreenCompatible, // CreateCompatibleBitmap of the screen: a device bitmap
  bkDibSection,       // CreateDIBSection: pixels the copying program can touch
};

// 32 bits per pixel, top row first.
BITMAPINFO TopDown32(int aWidth, int aHeight);

// aWidth x aHeight pixels of the pattern for aSeed, top row first, colour
// bits only (0x00RRGGBB).
std::vector<std::uint32_t> PatternPixels(int aWidth, int aHeight, std::uint32_t aSeed);

TBitmapHandle MakePatternBitmap(TBitmapKind aKind, int aWidth, int aHeight, std::uint32_t aSeed);

// A bitmap's size and pixels (top row first, colour bits only).
struct TPixels {
  int Width = 0, Height = 0;
  std::vector<std::uint32_t> Pixels;
};
TPixels ReadPixels(HBITMAP aBitmap);

} // namespace Harness
