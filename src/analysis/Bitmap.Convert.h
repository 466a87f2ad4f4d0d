#pragma once

#include "analysis/TBitmap.h"
#include "shared/Handles.h"

#include <cstddef>
#include <memory>
#include <span>

// Where TBitmap meets GDI, WIC and the shell's icons (GDI+ is the card's:
// ui/GdiPlus.h).
// Every function throws std::runtime_error when the platform refuses.

// The icon's colours with its transparency: the alpha channel when the icon
// has one, its mask otherwise.
TBitmap BitmapFromIcon(HICON aIcon);

// Any GDI bitmap, read as 32-bit pixels; fully opaque unless aKeepAlpha.
TBitmap BitmapFromHBitmap(HBITMAP aBitmap, bool aKeepAlpha = false);

// A BMP file (as captured from CF_BITMAP) decoded with the imaging component.
TBitmap DecodeBmp(std::span<const std::byte> aData);

// An EMF file drawn at its own size in pixels over opaque white.
TBitmap RenderEnhMetaFile(std::span<const std::byte> aData);

// A top-down 32-bit DIB section with premultiplied alpha, as AlphaBlend and
// UpdateLayeredWindow expect.
TBitmapHandle ToPremultipliedDib(const TBitmap &aBitmap);

// An icon of the bitmap's size and transparency, for windows and the tray.
TIconHandle ToIcon(const TBitmap &aBitmap);
