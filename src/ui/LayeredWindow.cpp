#include "ui/LayeredWindow.h"

#include "shared/WindowClass.h"

#include <cstring>
#include <exception>
#include <stdexcept>

namespace {

constexpr DWORD LayeredStyles =
    WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;

} // namespace

TLayeredWindow::TLayeredWindow(HINSTANCE aInstance, const wchar_t *aClassName,
                               const wchar_t *aCaption, THandler aHandler)
    : fInstance(aInstance), fClassName(aClassName), fHandler(std::move(aHandler)) {
  RegisterWindowClass(fClassName, &TWindowBinding<TLayeredWindow>::WindowProc, fInstance);
  const HWND window = ::CreateWindowExW(LayeredStyles, fClassName, aCaption, WS_POPUP, 0, 0, 0, 0,
                                        nullptr, nullptr, fInstance, this);
  CheckWin32(window != nullptr, "CreateWindowExW");
  TWindowDC screen(nullptr);
  fSurfaceDC.Reset(::CreateCompatibleDC(screen.Get()));
  CheckWin32(static_cast<bool>(fSurfaceDC), "CreateCompatibleDC");
}

TLayeredWindow::~TLayeredWindow() {
  // The owner is going away: no more messages for it while the window dies.
  fHandler = nullptr;
  fWindow.Reset();
  if (fOriginalBitmap)
    ::SelectObject(fSurfaceDC.Get(), fOriginalBitmap);
}

double TLayeredWindow::Scale() const {
  const UINT dpi = ::GetDpiForWindow(fWindow.Get());
  return dpi ? dpi / 96.0 : 1.0;
}

void TLayeredWindow::EnsureSurface(int aWidth, int aHeight) {
  if (fSurface && fSurfaceSize.cx == aWidth && fSurfaceSize.cy == aHeight)
    return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = aWidth;
  info.bmiHeader.biHeight = -aHeight; // top row first, as our images
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void *bits = nullptr;
  TBitmapHandle surface(
      ::CreateDIBSection(fSurfaceDC.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  CheckWin32(surface && bits, "CreateDIBSection");
  const HGDIOBJ previous = ::SelectObject(fSurfaceDC.Get(), surface.Get());
  // HGDI_ERROR is (HGDIOBJ)-1; compared as a number, since the macro's
  // unsigned constant trips the sign-conversion warning on 64-bit.
  CheckWin32(previous != nullptr && reinterpret_cast<INT_PTR>(previous) != -1, "SelectObject");
  if (!fOriginalBitmap)
    fOriginalBitmap = previous;
  fSurface = std::move(surface); // the old surface is no longer selected
  fSurfaceBits = bits;
  fSurfaceSize = {aWidth, aHeight};
}

void TLayeredWindow::Present(const GdiPlus::TPremultipliedImage &aImage, POINT aPosition,
                             BYTE aOpacity) {
  EnsureSurface(aImage.Width, aImage.Height);
  ::GdiFlush();
  std::memcpy(fSurfaceBits, aImage.Pixels.data(), aImage.Pixels.size() * 4);
  POINT origin{0, 0};
  SIZE size{aImage.Width, aImage.Height};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, aOpacity, AC_SRC_ALPHA};
  CheckWin32(::UpdateLayeredWindow(fWindow.Get(), nullptr, &aPosition, &size, fSurfaceDC.Get(),
                                   &origin, 0, &blend, ULW_ALPHA),
             "UpdateLayeredWindow");
}

void TLayeredWindow::StartTimer(UINT_PTR aId, UINT aMilliseconds) {
  CheckWin32(::SetTimer(fWindow.Get(), aId, aMilliseconds, nullptr) != 0, "SetTimer");
}

void TLayeredWindow::StopTimer(UINT_PTR aId) {
  // Fails only when the timer is not running, which is what we want.
  ::KillTimer(fWindow.Get(), aId);
}

LRESULT TLayeredWindow::HandleMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  const HWND window = fWindow.Get();
  if (aMsg == WM_MOUSEACTIVATE)
    return MA_NOACTIVATE;
  if (aMsg == WM_NCHITTEST)
    return HTTRANSPARENT;
  if (fHandler)
    if (const auto handled = fHandler(aMsg, aWParam, aLParam))
      return *handled;
  return ::DefWindowProcW(window, aMsg, aWParam, aLParam);
}
