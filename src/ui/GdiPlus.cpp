#include "ui/GdiPlus.h"

#include <cstring>
#include <string>

namespace GdiPlus {

TSession::TSession() {
  Gdiplus::GdiplusStartupInput input;
  Check(Gdiplus::GdiplusStartup(&fToken, &input, nullptr), "GdiplusStartup");
}

TSession::~TSession() {
  Gdiplus::GdiplusShutdown(fToken);
}

void Check(Gdiplus::Status aStatus, const char *aWhat) {
  if (aStatus != Gdiplus::Ok)
    throw std::runtime_error(std::string(aWhat) + " failed (GDI+ status " +
                             std::to_string(static_cast<int>(aStatus)) + ")");
}

std::unique_ptr<Gdiplus::FontFamily> SansSerifFamily() {
  for (const wchar_t *name : {L"Segoe UI", L"Tahoma"}) {
    auto family = std::make_unique<Gdiplus::FontFamily>(name);
    if (family->GetLastStatus() == Gdiplus::Ok && family->IsAvailable())
      return family;
  }
  const Gdiplus::FontFamily *generic = Gdiplus::FontFamily::GenericSansSerif();
  if (generic && generic->GetLastStatus() == Gdiplus::Ok && generic->IsAvailable())
    return std::unique_ptr<Gdiplus::FontFamily>(generic->Clone());
  return nullptr;
}

std::unique_ptr<Gdiplus::Bitmap> NewCanvas(int aWidth, int aHeight) {
  auto canvas = std::make_unique<Gdiplus::Bitmap>(aWidth, aHeight, PixelFormat32bppPARGB);
  Check(canvas->GetLastStatus(), "Bitmap");
  return canvas;
}

TPremultipliedImage ReadPremultiplied(Gdiplus::Bitmap &aCanvas) {
  TPremultipliedImage image;
  image.Width = static_cast<int>(aCanvas.GetWidth());
  image.Height = static_cast<int>(aCanvas.GetHeight());
  image.Pixels.resize(static_cast<std::size_t>(image.Width) *
                      static_cast<std::size_t>(image.Height));
  Gdiplus::Rect all(0, 0, image.Width, image.Height);
  Gdiplus::BitmapData data{};
  Check(aCanvas.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data),
        "LockBits");
  for (int y = 0; y < image.Height; ++y)
    std::memcpy(image.Pixels.data() +
                    static_cast<std::size_t>(y) * static_cast<std::size_t>(image.Width),
                static_cast<const std::uint8_t *>(data.Scan0) + y * data.Stride,
                static_cast<std::size_t>(image.Width) * 4);
  aCanvas.UnlockBits(&data);
  return image;
}

std::unique_ptr<Gdiplus::Bitmap> ToGdiPlusBitmap(const TBitmap &aBitmap) {
  auto result =
      std::make_unique<Gdiplus::Bitmap>(aBitmap.Width(), aBitmap.Height(), PixelFormat32bppARGB);
  Gdiplus::BitmapData data{};
  Gdiplus::Rect all(0, 0, aBitmap.Width(), aBitmap.Height());
  if (result->GetLastStatus() != Gdiplus::Ok ||
      result->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data) !=
          Gdiplus::Ok)
    throw std::runtime_error("Cannot create a GDI+ bitmap");
  for (int y = 0; y < aBitmap.Height(); ++y)
    std::memcpy(static_cast<BYTE *>(data.Scan0) + static_cast<std::ptrdiff_t>(y) * data.Stride,
                aBitmap.Pixels().data() +
                    static_cast<std::size_t>(y) * static_cast<std::size_t>(aBitmap.Width()),
                static_cast<std::size_t>(aBitmap.Width()) * 4);
  result->UnlockBits(&data);
  return result;
}

TBitmap FromGdiPlusBitmap(Gdiplus::Bitmap &aBitmap) {
  TBitmap result(static_cast<int>(aBitmap.GetWidth()), static_cast<int>(aBitmap.GetHeight()));
  Gdiplus::BitmapData data{};
  Gdiplus::Rect all(0, 0, result.Width(), result.Height());
  if (aBitmap.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) !=
      Gdiplus::Ok)
    throw std::runtime_error("Cannot read a GDI+ bitmap");
  for (int y = 0; y < result.Height(); ++y)
    std::memcpy(result.Pixels().data() +
                    static_cast<std::size_t>(y) * static_cast<std::size_t>(result.Width()),
                static_cast<const BYTE *>(data.Scan0) +
                    static_cast<std::ptrdiff_t>(y) * data.Stride,
                static_cast<std::size_t>(result.Width()) * 4);
  aBitmap.UnlockBits(&data);
  return result;
}

} // namespace GdiPlus
