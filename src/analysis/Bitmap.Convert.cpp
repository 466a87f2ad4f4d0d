#include "analysis/Bitmap.Convert.h"

#include "shared/Com.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>
#include <wincodec.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {

BITMAPINFO TopDown32BitInfo(int aWidth, int aHeight) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = aWidth;
  info.bmiHeader.biHeight = -aHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

BITMAP ObjectOf(HBITMAP aBitmap) {
  BITMAP bitmap{};
  if (!::GetObjectW(aBitmap, sizeof(bitmap), &bitmap))
    throw std::runtime_error("Cannot read the bitmap's size");
  return bitmap;
}

// Rows of aBitmap (or of its rows aFirstRow.. when it is taller, as a
// monochrome icon's mask is) as 32-bit BGRA words, top row first.
std::vector<DWORD> ReadRows(HBITMAP aBitmap, int aWidth, int aHeight, int aFirstRow = 0) {
  const BITMAP source = ObjectOf(aBitmap);
  BITMAPINFO info = TopDown32BitInfo(aWidth, source.bmHeight);
  std::vector<DWORD> all(static_cast<std::size_t>(aWidth) *
                         static_cast<std::size_t>(source.bmHeight));
  TMemoryDCHandle dc(::CreateCompatibleDC(nullptr));
  CheckWin32(dc.operator bool(), "CreateCompatibleDC");
  if (::GetDIBits(dc.Get(), aBitmap, 0, static_cast<UINT>(source.bmHeight), all.data(), &info,
                  DIB_RGB_COLORS) != source.bmHeight)
    throw std::runtime_error("Cannot read the bitmap's pixels");
  const auto begin = all.begin() + static_cast<std::ptrdiff_t>(aFirstRow) * aWidth;
  return {begin, begin + static_cast<std::ptrdiff_t>(aWidth) * aHeight};
}

bool HasAnyAlpha(const std::vector<DWORD> &aPixels) {
  return std::any_of(aPixels.begin(), aPixels.end(), [](DWORD p) { return (p >> 24) != 0; });
}

// A metafile claiming a larger picture is treated as broken rather than
// drawn into gigabytes of memory.
constexpr int MaxMetafilePreviewSide = 8192;

// One side of the picture's frame (in 0.01 mm) in pixels of the device it
// was made for. The header is another program's bytes: the sums are made in
// 64 bits, where no value of the 32-bit fields can overflow.
int MetafilePreviewSide(LONG aFrameFrom, LONG aFrameTo, LONG aDevicePixels,
                        LONG aDeviceMillimeters) {
  const std::int64_t frame = std::int64_t{aFrameTo} - aFrameFrom;
  const std::int64_t hundredths = std::int64_t{aDeviceMillimeters} * 100;
  if (hundredths == 0)
    throw std::runtime_error("Cannot decode the metafile");
  const double side = static_cast<double>(frame) * aDevicePixels / static_cast<double>(hundredths);
  if (!(side >= 0.5 && side < MaxMetafilePreviewSide + 0.5))
    throw std::runtime_error("Cannot decode the metafile");
  return static_cast<int>(std::lround(side));
}

void CheckHr(HRESULT aResult, const char *aWhat) {
  if (FAILED(aResult))
    throw std::runtime_error(aWhat);
}

std::uint8_t Premultiply(std::uint32_t aChannel, std::uint32_t aAlpha) {
  return static_cast<std::uint8_t>((aChannel * aAlpha + 127) / 255);
}

} // namespace

TBitmap BitmapFromHBitmap(HBITMAP aBitmap, bool aKeepAlpha) {
  const BITMAP source = ObjectOf(aBitmap);
  TBitmap result(source.bmWidth, std::abs(source.bmHeight));
  const std::vector<DWORD> rows = ReadRows(aBitmap, result.Width(), result.Height());
  std::transform(rows.begin(), rows.end(), result.Pixels().begin(),
                 [aKeepAlpha](DWORD p) { return aKeepAlpha ? p : (p | 0xFF000000u); });
  return result;
}

TBitmap BitmapFromIcon(HICON aIcon) {
  ICONINFO parts{};
  CheckWin32(::GetIconInfo(aIcon, &parts) != FALSE, "GetIconInfo");
  TBitmapHandle color(parts.hbmColor);
  TBitmapHandle mask(parts.hbmMask);
  const BITMAP maskInfo = ObjectOf(mask.Get());
  const int width = maskInfo.bmWidth;
  // A monochrome icon keeps its AND mask and its XOR image in one bitmap of
  // double height.
  const int height = color ? ObjectOf(color.Get()).bmHeight : maskInfo.bmHeight / 2;
  TBitmap result(width, height);
  const std::vector<DWORD> andMask = ReadRows(mask.Get(), width, height);
  const std::vector<DWORD> image =
      color ? ReadRows(color.Get(), width, height) : ReadRows(mask.Get(), width, height, height);
  const bool alphaChannel = color && HasAnyAlpha(image);
  for (std::size_t i = 0; i < image.size(); ++i) {
    const bool transparent = (andMask[i] & 0x00FFFFFFu) != 0;
    if (alphaChannel)
      result.Pixels()[i] = image[i];
    else
      result.Pixels()[i] = transparent ? 0u : (image[i] | 0xFF000000u);
  }
  return result;
}

TBitmap DecodeBmp(std::span<const std::byte> aData) {
  if (aData.empty() || aData.size() > MAXDWORD)
    throw std::runtime_error("Cannot decode the bitmap");
  TComScope com;
  ComPtr<IWICImagingFactory> factory;
  CheckHr(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(&factory)),
          "Cannot create the imaging factory");
  ComPtr<IWICStream> stream;
  CheckHr(factory->CreateStream(&stream), "Cannot create an imaging stream");
  // The stream only reads; the cast drops a const that WIC's signature lacks.
  CheckHr(
      stream->InitializeFromMemory(reinterpret_cast<BYTE *>(const_cast<std::byte *>(aData.data())),
                                   static_cast<DWORD>(aData.size())),
      "Cannot decode the bitmap");
  // The BMP decoder itself: letting WIC pick a decoder by the bytes would
  // have any installed codec parse another program's data as its format.
  ComPtr<IWICBitmapDecoder> decoder;
  CheckHr(factory->CreateDecoder(GUID_ContainerFormatBmp, nullptr, &decoder),
          "Cannot create the bitmap decoder");
  CheckHr(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand),
          "Cannot decode the bitmap");
  ComPtr<IWICBitmapFrameDecode> frame;
  CheckHr(decoder->GetFrame(0, &frame), "Cannot decode the bitmap");
  ComPtr<IWICFormatConverter> converter;
  CheckHr(factory->CreateFormatConverter(&converter), "Cannot create a pixel converter");
  CheckHr(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                nullptr, 0, WICBitmapPaletteTypeCustom),
          "Cannot decode the bitmap");
  UINT width = 0, height = 0;
  CheckHr(converter->GetSize(&width, &height), "Cannot decode the bitmap");
  TBitmap result(static_cast<int>(width), static_cast<int>(height));
  CheckHr(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(result.Pixels().size() * 4),
                                reinterpret_cast<BYTE *>(result.Pixels().data())),
          "Cannot decode the bitmap");
  return result;
}

TBitmap RenderEnhMetaFile(std::span<const std::byte> aData) {
  if (aData.empty() || aData.size() > MAXDWORD)
    throw std::runtime_error("Cannot decode the metafile");
  TEnhMetaFileHandle metafile(::SetEnhMetaFileBits(static_cast<UINT>(aData.size()),
                                                   reinterpret_cast<const BYTE *>(aData.data())));
  if (!metafile)
    throw std::runtime_error("Cannot decode the metafile");
  ENHMETAHEADER header{};
  if (!::GetEnhMetaFileHeader(metafile.Get(), sizeof(header), &header))
    throw std::runtime_error("Cannot decode the metafile");
  const int width = MetafilePreviewSide(header.rclFrame.left, header.rclFrame.right,
                                        header.szlDevice.cx, header.szlMillimeters.cx);
  const int height = MetafilePreviewSide(header.rclFrame.top, header.rclFrame.bottom,
                                         header.szlDevice.cy, header.szlMillimeters.cy);
  TBitmap result(width, height);
  BITMAPINFO info = TopDown32BitInfo(width, height);
  void *bits = nullptr;
  TBitmapHandle dib(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  CheckWin32(dib.operator bool(), "CreateDIBSection");
  TMemoryDCHandle dc(::CreateCompatibleDC(nullptr));
  CheckWin32(dc.operator bool(), "CreateCompatibleDC");
  const HGDIOBJ previous = ::SelectObject(dc.Get(), dib.Get());
  std::fill_n(static_cast<DWORD *>(bits), result.Pixels().size(), 0x00FFFFFFu);
  const RECT frame{0, 0, width, height};
  const BOOL played = ::PlayEnhMetaFile(dc.Get(), metafile.Get(), &frame);
  ::GdiFlush();
  ::SelectObject(dc.Get(), previous);
  if (!played)
    throw std::runtime_error("Cannot draw the metafile");
  // GDI leaves the fourth byte undefined; the preview is opaque.
  const DWORD *source = static_cast<const DWORD *>(bits);
  std::transform(source, source + result.Pixels().size(), result.Pixels().begin(),
                 [](DWORD p) { return p | 0xFF000000u; });
  return result;
}

TBitmapHandle ToPremultipliedDib(const TBitmap &aBitmap) {
  BITMAPINFO info = TopDown32BitInfo(aBitmap.Width(), aBitmap.Height());
  void *bits = nullptr;
  TBitmapHandle dib(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  CheckWin32(dib.operator bool(), "CreateDIBSection");
  std::transform(aBitmap.Pixels().begin(), aBitmap.Pixels().end(), static_cast<DWORD *>(bits),
                 [](TAlphaColor p) -> DWORD {
                   const std::uint32_t a = p >> 24;
                   return (a << 24) | (DWORD{Premultiply((p >> 16) & 0xFF, a)} << 16) |
                          (DWORD{Premultiply((p >> 8) & 0xFF, a)} << 8) | Premultiply(p & 0xFF, a);
                 });
  return dib;
}

TIconHandle ToIcon(const TBitmap &aBitmap) {
  // Icons take straight alpha; the mask only matters to devices without it.
  BITMAPINFO info = TopDown32BitInfo(aBitmap.Width(), aBitmap.Height());
  void *bits = nullptr;
  TBitmapHandle color(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  CheckWin32(color.operator bool(), "CreateDIBSection");
  std::copy(aBitmap.Pixels().begin(), aBitmap.Pixels().end(), static_cast<DWORD *>(bits));
  TBitmapHandle mask(::CreateBitmap(aBitmap.Width(), aBitmap.Height(), 1, 1, nullptr));
  CheckWin32(mask.operator bool(), "CreateBitmap");
  ICONINFO parts{};
  parts.fIcon = TRUE;
  parts.hbmColor = color.Get();
  parts.hbmMask = mask.Get();
  TIconHandle icon(::CreateIconIndirect(&parts));
  CheckWin32(icon.operator bool(), "CreateIconIndirect");
  return icon;
}
