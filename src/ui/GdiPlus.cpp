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

} // namespace GdiPlus
