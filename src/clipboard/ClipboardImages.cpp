#include "clipboard/ClipboardImages.h"

#include "shared/Com.h"

#include <initguid.h>

#include <objbase.h>
#include <wincodec.h>

#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

namespace {

void CreateFactory(TComPtr<IWICImagingFactory> &aFactory) {
  CheckHResult(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, aFactory.PutVoid()),
               "CoCreateInstance(WICImagingFactory)");
}

// Reads the bytes written into an HGLOBAL-backed stream.
std::vector<std::uint8_t> StreamBytes(IStream *aStream) {
  HGLOBAL memory = nullptr;
  CheckHResult(::GetHGlobalFromStream(aStream, &memory), "GetHGlobalFromStream");
  STATSTG stat{};
  CheckHResult(aStream->Stat(&stat, STATFLAG_NONAME), "IStream::Stat");
  TGlobalLock lock(memory);
  const auto *bytes = static_cast<const std::uint8_t *>(lock.Data());
  return std::vector<std::uint8_t>(bytes, bytes + stat.cbSize.QuadPart);
}

} // namespace

std::vector<std::uint8_t> EncodeBitmapAsBmp(HBITMAP aBitmap) {
  TComScope com;
  TComPtr<IWICImagingFactory> factory;
  CreateFactory(factory);
  TComPtr<IWICBitmap> source;
  CheckHResult(
      factory->CreateBitmapFromHBITMAP(aBitmap, nullptr, WICBitmapIgnoreAlpha, source.Put()),
      "CreateBitmapFromHBITMAP");
  TComPtr<IWICFormatConverter> converter;
  CheckHResult(factory->CreateFormatConverter(converter.Put()), "CreateFormatConverter");
  CheckHResult(converter->Initialize(source.Get(), GUID_WICPixelFormat32bppBGR,
                                     WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom),
               "IWICFormatConverter::Initialize");
  UINT width = 0, height = 0;
  CheckHResult(converter->GetSize(&width, &height), "GetSize");

  TComPtr<IStream> stream;
  CheckHResult(::CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), "CreateStreamOnHGlobal");
  TComPtr<IWICBitmapEncoder> encoder;
  CheckHResult(factory->CreateEncoder(GUID_ContainerFormatBmp, nullptr, encoder.Put()),
               "CreateEncoder");
  CheckHResult(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache),
               "IWICBitmapEncoder::Initialize");
  TComPtr<IWICBitmapFrameEncode> frame;
  CheckHResult(encoder->CreateNewFrame(frame.Put(), nullptr), "CreateNewFrame");
  CheckHResult(frame->Initialize(nullptr), "IWICBitmapFrameEncode::Initialize");
  CheckHResult(frame->SetSize(width, height), "SetSize");
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
  CheckHResult(frame->SetPixelFormat(&format), "SetPixelFormat");
  CheckHResult(frame->WriteSource(converter.Get(), nullptr), "WriteSource");
  CheckHResult(frame->Commit(), "IWICBitmapFrameEncode::Commit");
  CheckHResult(encoder->Commit(), "IWICBitmapEncoder::Commit");
  return StreamBytes(stream.Get());
}

TBitmapHandle DecodeBmpToDeviceBitmap(const std::vector<std::uint8_t> &aBmp) {
  if (aBmp.size() > std::numeric_limits<DWORD>::max())
    throw std::runtime_error("Bitmap too large");
  TComScope com;
  TComPtr<IWICImagingFactory> factory;
  CreateFactory(factory);
  TComPtr<IWICStream> stream;
  CheckHResult(factory->CreateStream(stream.Put()), "CreateStream");
  CheckHResult(stream->InitializeFromMemory(const_cast<BYTE *>(aBmp.data()),
                                            static_cast<DWORD>(aBmp.size())),
               "InitializeFromMemory");
  TComPtr<IWICBitmapDecoder> decoder;
  CheckHResult(factory->CreateDecoderFromStream(stream.Get(), nullptr,
                                                WICDecodeMetadataCacheOnDemand, decoder.Put()),
               "CreateDecoderFromStream");
  TComPtr<IWICBitmapFrameDecode> frame;
  CheckHResult(decoder->GetFrame(0, frame.Put()), "GetFrame");
  TComPtr<IWICFormatConverter> converter;
  CheckHResult(factory->CreateFormatConverter(converter.Put()), "CreateFormatConverter");
  CheckHResult(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR,
                                     WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom),
               "IWICFormatConverter::Initialize");
  UINT width = 0, height = 0;
  CheckHResult(converter->GetSize(&width, &height), "GetSize");
  if (width == 0 || height == 0 || width > 32768 || height > 32768)
    throw std::runtime_error("Invalid bitmap size");
  const UINT stride = width * 4;
  std::vector<BYTE> pixels(static_cast<std::size_t>(stride) * height);
  CheckHResult(
      converter->CopyPixels(nullptr, stride, static_cast<UINT>(pixels.size()), pixels.data()),
      "CopyPixels");

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = static_cast<LONG>(width);
  info.bmiHeader.biHeight = -static_cast<LONG>(height); // top row first, as WIC gives it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  TWindowDC screen(nullptr);
  TBitmapHandle bitmap(::CreateDIBitmap(screen.Get(), &info.bmiHeader, CBM_INIT, pixels.data(),
                                        &info, DIB_RGB_COLORS));
  CheckWin32(static_cast<bool>(bitmap), "CreateDIBitmap");
  return bitmap;
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
