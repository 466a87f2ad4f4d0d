#pragma once

#include "shared/Handles.h"

#include <cstdint>
#include <vector>

// The two clipboard formats that are handles to GDI objects are kept as files:
// bitmaps as 32-bit BMP (written by the system imaging component), enhanced
// metafiles as EMF. These convert between the handles and the files.

// Throws std::runtime_error when the bitmap cannot be read or encoded.
std::vector<std::uint8_t> EncodeBitmapAsBmp(HBITMAP aBitmap);
// A device-dependent bitmap for the screen from a BMP file; throws on data
// that does not decode.
TBitmapHandle DecodeBmpToDeviceBitmap(const std::vector<std::uint8_t> &aBmp);

// The EMF file of a copy of aMetaFile; throws on failure.
std::vector<std::uint8_t> EnhMetaFileBits(HENHMETAFILE aMetaFile);
// A metafile handle from EMF file bytes; throws on data that does not load.
TEnhMetaFileHandle EnhMetaFileFromBits(const std::vector<std::uint8_t> &aBits);
