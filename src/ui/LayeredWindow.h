#pragma once

#include "shared/Handles.h"
#include "shared/WindowBinding.h"
#include "ui/GdiPlus.h"

#include <functional>
#include <optional>

// A borderless, topmost, click-through tool window whose pixels come from
// a premultiplied image through UpdateLayeredWindow. It never activates:
// the card must not take the focus from the program the user works in.
class TLayeredWindow {
public:
  // Answers a message, or leaves it to the default handling.
  using THandler = std::function<std::optional<LRESULT>(UINT, WPARAM, LPARAM)>;

  TLayeredWindow(HINSTANCE aInstance, const wchar_t *aClassName, const wchar_t *aCaption,
                 THandler aHandler);
  TLayeredWindow(const TLayeredWindow &) = delete;
  TLayeredWindow &operator=(const TLayeredWindow &) = delete;
  ~TLayeredWindow();

  HWND Handle() const noexcept { return fWindow.Get(); }
  // Pixels per device-independent unit.
  double Scale() const;

  // Shows aImage with its top left corner at aPosition (screen pixels),
  // faded by aOpacity (0 to 255).
  void Present(const GdiPlus::TPremultipliedImage &aImage, POINT aPosition, BYTE aOpacity);

  void StartTimer(UINT_PTR aId, UINT aMilliseconds);
  void StopTimer(UINT_PTR aId);

private:
  friend struct TWindowBinding<TLayeredWindow>;
  LRESULT HandleMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam);
  void EnsureSurface(int aWidth, int aHeight);

  HINSTANCE fInstance;
  const wchar_t *fClassName;
  THandler fHandler;
  TWindowHandle fWindow;
  // The DIB section that UpdateLayeredWindow reads, selected into fSurfaceDC.
  TMemoryDCHandle fSurfaceDC;
  TBitmapHandle fSurface;
  HGDIOBJ fOriginalBitmap = nullptr;
  void *fSurfaceBits = nullptr;
  SIZE fSurfaceSize{};
};
