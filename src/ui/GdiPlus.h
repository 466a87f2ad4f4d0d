#pragma once

#include "analysis/TBitmap.h"

#include <windows.h>

#include <algorithm>
#include <objidl.h> // the lean windows.h leaves out what GDI+ needs

// GDI+'s headers use min and max unqualified; NOMINMAX removes the macros.
namespace Gdiplus {
using std::max;
using std::min;
} // namespace Gdiplus
#include <gdiplus.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

// GDI+ for the notifier: the library's lifetime, fonts that exist on both
// Windows and Wine, and the canvas the card is painted on.
namespace GdiPlus {

// Holds GDI+ started for as long as it lives. Sessions may nest.
class TSession {
public:
  TSession();
  TSession(const TSession &) = delete;
  TSession &operator=(const TSession &) = delete;
  ~TSession();

private:
  ULONG_PTR fToken = 0;
};

// Throws std::runtime_error naming aWhat when a GDI+ call did not succeed.
void Check(Gdiplus::Status aStatus, const char *aWhat);

// The card's font family: Segoe UI, else Tahoma, else the generic sans-serif
// face. Wine's GDI+ knows no Segoe UI, and none at all until fonts are
// installed in the prefix; then there is no family and text is not drawn.
std::unique_ptr<Gdiplus::FontFamily> SansSerifFamily();

// A raster of premultiplied 0xAARRGGBB pixels, top row first: what a
// layered window takes.
struct TPremultipliedImage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Pixels;
};

// A 32-bit premultiplied GDI+ bitmap of the given size, cleared to
// transparent.
std::unique_ptr<Gdiplus::Bitmap> NewCanvas(int aWidth, int aHeight);

// The pixels of a canvas made by NewCanvas.
TPremultipliedImage ReadPremultiplied(Gdiplus::Bitmap &aCanvas);

// Straight-alpha bitmaps to and from GDI+; GDI+ must have been started.
std::unique_ptr<Gdiplus::Bitmap> ToGdiPlusBitmap(const TBitmap &aBitmap);
TBitmap FromGdiPlusBitmap(Gdiplus::Bitmap &aBitmap);

} // namespace GdiPlus
