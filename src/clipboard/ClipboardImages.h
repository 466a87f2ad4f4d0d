#pragma once

#include "shared/Handles.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

// The two clipboard formats that are handles to GDI objects are kept as files:
// bitmaps as 32-bit BMP, enhanced metafiles as EMF. These convert between the
// handles and the files.

// The most pixel bytes (at 32 bits per pixel) of a picture that is captured
// and restored; capture and restore share it, so whatever was recorded can be
// put back. A 8192 x 8192 picture fits.
constexpr std::uint64_t MaxBitmapPixelBytes = 268435456;

// Raised for data over a size limit.
class EFormatTooLarge : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// A bottom-up 32-bit BMP file of aBitmap, its pixels read straight into the
// file's buffer (the one copy of them the snapshot keeps). Throws
// EFormatTooLarge above MaxBitmapPixelBytes, std::bad_alloc when the buffer
// cannot be had, std::runtime_error when the bitmap cannot be read.
std::vector<std::uint8_t> EncodeBitmapAsBmp(HBITMAP aBitmap);
// A device-dependent bitmap for the screen from a BMP file. Throws
// EFormatTooLarge above MaxBitmapPixelBytes and std::runtime_error on data
// that does not decode.
TBitmapHandle DecodeBmpToDeviceBitmap(const std::vector<std::uint8_t> &aBmp);

// The EMF file of a copy of aMetaFile; throws on failure.
std::vector<std::uint8_t> EnhMetaFileBits(HENHMETAFILE aMetaFile);
// A metafile handle from EMF file bytes; throws on data that does not load.
TEnhMetaFileHandle EnhMetaFileFromBits(const std::vector<std::uint8_t> &aBits);
