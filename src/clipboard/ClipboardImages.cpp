#include "clipboard/ClipboardImages.h"

#include "shared/Com.h"

#include <initguid.h>

#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstring>
#include <limits>
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
  ComPtr<IWICImagingFactory> factory;
  CreateFactory(factory);
  ComPtr<IWICBitmap> source;
  CheckHResult(factory->CreateBitmapFromHBITMAP(aBitmap, nullptr, WICBitmapIgnoreAlpha,
                                                source.GetAddressOf()),
               "CreateBitmapFromHBITMAP");
  const ComPtr<IWICFormatConverter> converter = To32BitsBGR(factory.Get(), source.Get());
  UINT width = 0, height = 0;
  CheckHResult(converter->GetSize(&width, &height), "GetSize");

  ComPtr<IStream> stream;
  CheckHResult(::CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf()),
               "CreateStreamOnHGlobal");
  ComPtr<IWICBitmapEncoder> encoder;
  CheckHResult(factory->CreateEncoder(GUID_ContainerFormatBmp, nullptr, encoder.GetAddressOf()),
               "CreateEncoder");
  CheckHResult(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache),
               "IWICBitmapEncoder::Initialize");
  ComPtr<IWICBitmapFrameEncode> frame;
  CheckHResult(encoder->CreateNewFrame(frame.GetAddressOf(), nullptr), "CreateNewFrame");
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
