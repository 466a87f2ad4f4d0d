#include "clipboard/ClipboardImages.h"

#include "shared/Com.h"

#include <initguid.h>

#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

using Microsoft::WRL::ComPtr;

namespace {

void CreateFactory(ComPtr<IWICImagingFactory> &aFactory) {
  CheckHResult(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory,
                                  reinterpret_cast<void **>(aFactory.GetAddressOf())),
               "CoCreateInstance(WICImagingFactory)");
}

// aSource as 32 bits per pixel: blue, green, red and a byte that carries no
// colour.
ComPtr<IWICFormatConverter> To32BitsBGR(IWICImagingFactory *aFactory, IWICBitmapSource *aSource) {
  ComPtr<IWICFormatConverter> converter;
  CheckHResult(aFactory->CreateFormatConverter(converter.GetAddressOf()), "CreateFormatConverter");
  CheckHResult(converter->Initialize(aSource, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone,
                                     nullptr, 0.0, WICBitmapPaletteTypeCustom),
               "IWICFormatConverter::Initialize");
  return converter;
}

constexpr std::size_t FileHeaderSize = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);

// Pixel bytes of a aWidth x aHeight picture at 32 bits per pixel; throws
// EFormatTooLarge above the limit that capture and restore share.
std::size_t PixelBytes(std::uint64_t aWidth, std::uint64_t aHeight) {
  if (aWidth == 0 || aHeight == 0)
    throw std::runtime_error("Invalid bitmap size");
  if (aWidth > MaxBitmapPixelBytes / 4 / aHeight)
    throw EFormatTooLarge("Picture too large");
  return static_cast<std::size_t>(aWidth * aHeight * 4);
}

std::uint64_t Magnitude(LONG aValue) {
  return static_cast<std::uint64_t>(aValue < 0 ? -static_cast<std::int64_t>(aValue) : aValue);
}

// A BITMAPINFO with room for the largest colour table.
struct TBitmapInfo {
  BITMAPINFOHEADER Header;
  RGBQUAD Colours[256];

  const BITMAPINFO *Get() const noexcept { return reinterpret_cast<const BITMAPINFO *>(this); }
  BITMAPINFO *Get() noexcept { return reinterpret_cast<BITMAPINFO *>(this); }
};

// An uncompressed BMP with a plain BITMAPINFOHEADER whose header, colour
// table and rows all lie inside the file: GDI can read it in place.
struct TPlainBmp {
  TBitmapInfo Info{};
  const std::uint8_t *Bits = nullptr;
};

std::size_t ColourTableBytes(const BITMAPINFOHEADER &aHeader) {
  if (aHeader.biCompression == BI_BITFIELDS)
    return 3 * sizeof(DWORD);
  if (aHeader.biBitCount > 8)
    return 0;
  return (aHeader.biClrUsed ? aHeader.biClrUsed : 1u << aHeader.biBitCount) * sizeof(RGBQUAD);
}

bool IsPlainLayout(const BITMAPINFOHEADER &aHeader) {
  const WORD bits = aHeader.biBitCount;
  if (aHeader.biSize != sizeof(BITMAPINFOHEADER) || aHeader.biPlanes != 1 || aHeader.biWidth <= 0 ||
      aHeader.biHeight == 0)
    return false;
  if (aHeader.biCompression == BI_BITFIELDS)
    return bits == 16 || bits == 32;
  if (aHeader.biCompression != BI_RGB)
    return false;
  if (bits <= 8 && aHeader.biClrUsed > (1u << bits))
    return false;
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

std::optional<TPlainBmp> PlainBmp(const std::vector<std::uint8_t> &aBmp) {
  if (aBmp.size() < FileHeaderSize || aBmp[0] != 'B' || aBmp[1] != 'M')
    return std::nullopt;
  BITMAPFILEHEADER file{};
  std::memcpy(&file, aBmp.data(), sizeof(file));
  TPlainBmp bmp;
  BITMAPINFOHEADER &header = bmp.Info.Header;
  std::memcpy(&header, aBmp.data() + sizeof(file), sizeof(header));
  if (!IsPlainLayout(header))
    return std::nullopt;
  PixelBytes(Magnitude(header.biWidth), Magnitude(header.biHeight));
  const std::size_t tableBytes = ColourTableBytes(header);
  if (aBmp.size() - FileHeaderSize < tableBytes)
    return std::nullopt;
  std::memcpy(bmp.Info.Colours, aBmp.data() + FileHeaderSize, tableBytes);
  if (header.biBitCount > 8)
    header.biClrUsed = 0; // only an optimisation hint there; nothing of it is read
  const std::uint64_t stride =
      (static_cast<std::uint64_t>(header.biWidth) * header.biBitCount + 31) / 32 * 4;
  const std::uint64_t rowBytes = stride * Magnitude(header.biHeight);
  if (file.bfOffBits < FileHeaderSize || file.bfOffBits > aBmp.size() ||
      rowBytes > aBmp.size() - file.bfOffBits)
    return std::nullopt;
  bmp.Bits = aBmp.data() + file.bfOffBits;
  return bmp;
}

TBitmapHandle DeviceBitmap(const BITMAPINFO *aInfo, const void *aBits) {
  TWindowDC screen(nullptr);
  TBitmapHandle bitmap(
      ::CreateDIBitmap(screen.Get(), &aInfo->bmiHeader, CBM_INIT, aBits, aInfo, DIB_RGB_COLORS));
  // The picture was checked before, so a failure here is the system running
  // out of memory for it.
  if (!bitmap)
    throw std::bad_alloc();
  return bitmap;
}

// Any other BMP (compressed, other headers) goes through the imaging
// component, which checks it as it decodes.
TBitmapHandle DecodeWithImagingComponent(const std::vector<std::uint8_t> &aBmp) {
  if (aBmp.size() > std::numeric_limits<DWORD>::max())
    throw EFormatTooLarge("Bitmap too large");
  TComScope com;
  ComPtr<IWICImagingFactory> factory;
  CreateFactory(factory);
  ComPtr<IWICStream> stream;
  CheckHResult(factory->CreateStream(stream.GetAddressOf()), "CreateStream");
  CheckHResult(stream->InitializeFromMemory(const_cast<BYTE *>(aBmp.data()),
                                            static_cast<DWORD>(aBmp.size())),
               "InitializeFromMemory");
  ComPtr<IWICBitmapDecoder> decoder;
  CheckHResult(factory->CreateDecoderFromStream(
                   stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.GetAddressOf()),
               "CreateDecoderFromStream");
  ComPtr<IWICBitmapFrameDecode> frame;
  CheckHResult(decoder->GetFrame(0, frame.GetAddressOf()), "GetFrame");
  const ComPtr<IWICFormatConverter> converter = To32BitsBGR(factory.Get(), frame.Get());
  UINT width = 0, height = 0;
  CheckHResult(converter->GetSize(&width, &height), "GetSize");
  std::vector<BYTE> pixels(PixelBytes(width, height));
  CheckHResult(
      converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()), pixels.data()),
      "CopyPixels");

  TBitmapInfo info{};
  info.Header.biSize = sizeof(info.Header);
  info.Header.biWidth = static_cast<LONG>(width);
  info.Header.biHeight = -static_cast<LONG>(height); // top row first, as WIC gives it
  info.Header.biPlanes = 1;
  info.Header.biBitCount = 32;
  info.Header.biCompression = BI_RGB;
  return DeviceBitmap(info.Get(), pixels.data());
}

} // namespace

std::vector<std::uint8_t> EncodeBitmapAsBmp(HBITMAP aBitmap) {
  BITMAP bitmap{};
  CheckWin32(::GetObjectW(aBitmap, sizeof(bitmap), &bitmap) == sizeof(bitmap), "GetObjectW");
  const std::uint64_t width = Magnitude(bitmap.bmWidth), height = Magnitude(bitmap.bmHeight);
  const std::size_t pixelBytes = PixelBytes(width, height);
  std::vector<std::uint8_t> file(FileHeaderSize + pixelBytes);

  TBitmapInfo info{};
  info.Header.biSize = sizeof(info.Header);
  info.Header.biWidth = static_cast<LONG>(width);
  info.Header.biHeight = static_cast<LONG>(height); // bottom-up, the usual BMP order
  info.Header.biPlanes = 1;
  info.Header.biBitCount = 32;
  info.Header.biCompression = BI_RGB;
  info.Header.biSizeImage = static_cast<DWORD>(pixelBytes);
  const BITMAPINFOHEADER header = info.Header; // GetDIBits may rewrite its copy
  {
    TWindowDC screen(nullptr);
    const int rows = ::GetDIBits(screen.Get(), aBitmap, 0, static_cast<UINT>(height),
                                 file.data() + FileHeaderSize, info.Get(), DIB_RGB_COLORS);
    CheckWin32(rows == static_cast<int>(height), "GetDIBits");
  }
  BITMAPFILEHEADER fileHeader{};
  fileHeader.bfType = 0x4D42; // "BM"
  fileHeader.bfSize = static_cast<DWORD>(file.size());
  fileHeader.bfOffBits = static_cast<DWORD>(FileHeaderSize);
  std::memcpy(file.data(), &fileHeader, sizeof(fileHeader));
  std::memcpy(file.data() + sizeof(fileHeader), &header, sizeof(header));
  return file;
}

TBitmapHandle DecodeBmpToDeviceBitmap(const std::vector<std::uint8_t> &aBmp) {
  if (const std::optional<TPlainBmp> bmp = PlainBmp(aBmp))
    return DeviceBitmap(bmp->Info.Get(), bmp->Bits);
  return DecodeWithImagingComponent(aBmp);
}

std::vector<std::uint8_t> EnhMetaFileBits(HENHMETAFILE aMetaFile) {
  TEnhMetaFileHandle copy(::CopyEnhMetaFileW(aMetaFile, nullptr));
  CheckWin32(static_cast<bool>(copy), "CopyEnhMetaFileW");
  const UINT size = ::GetEnhMetaFileBits(copy.Get(), 0, nullptr);
  CheckWin32(size > 0, "GetEnhMetaFileBits");
  std::vector<std::uint8_t> bits(size);
  CheckWin32(::GetEnhMetaFileBits(copy.Get(), size, bits.data()) == size, "GetEnhMetaFileBits");
  return bits;
}

TEnhMetaFileHandle EnhMetaFileFromBits(const std::vector<std::uint8_t> &aBits) {
  if (aBits.size() > std::numeric_limits<UINT>::max())
    throw std::runtime_error("Metafile too large");
  TEnhMetaFileHandle metaFile(::SetEnhMetaFileBits(static_cast<UINT>(aBits.size()), aBits.data()));
  CheckWin32(static_cast<bool>(metaFile), "SetEnhMetaFileBits");
  return metaFile;
}
