#pragma once

#include "shared/Handles.h"
#include "shared/Trace.h"

// The one way a window is bound to the object that owns it. The owner passes
// `this` as the creation parameter and keeps its HWND in a TWindowHandle
// field named fWindow; it declares `friend struct TWindowBinding<TOwner>`
// and offers LRESULT HandleMessage(UINT, WPARAM, LPARAM).
// - At WM_NCCREATE the owner takes the handle, so messages sent during
//   creation already reach it.
// - At WM_NCDESTROY the binding is cleared and the owner lets the handle go
//   without destroying the window a second time.
// - No exception of any kind may unwind through the system's frames that
//   called us: a message whose handling failed gets the default handling
//   instead, and the error a trace line.
template <class TOwner> struct TWindowBinding {
  static LRESULT CALLBACK WindowProc(HWND aWindow, UINT aMsg, WPARAM aWParam,
                                     LPARAM aLParam) noexcept {
    if (aMsg == WM_NCCREATE) {
      auto *create = reinterpret_cast<CREATESTRUCTW *>(aLParam);
      auto *owner = static_cast<TOwner *>(create->lpCreateParams);
      owner->fWindow.Reset(aWindow);
      ::SetWindowLongPtrW(aWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    }
    auto *owner = reinterpret_cast<TOwner *>(::GetWindowLongPtrW(aWindow, GWLP_USERDATA));
    if (aMsg == WM_NCDESTROY && owner) {
      ::SetWindowLongPtrW(aWindow, GWLP_USERDATA, 0);
      owner->fWindow.Detach();
      owner = nullptr;
    }
    if (!owner)
      return ::DefWindowProcW(aWindow, aMsg, aWParam, aLParam);
    try {
      return owner->HandleMessage(aMsg, aWParam, aLParam);
    } catch (...) {
      TraceDroppedError();
      return ::DefWindowProcW(aWindow, aMsg, aWParam, aLParam);
    }
  }
};
