#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>
#include <utility>

// One move-only owner for every kind of Win32 handle. A traits type names
// the handle type, its closer and its invalid value; copying is deleted so a
// handle can never be closed twice.
template <class TTraits> class TUniqueHandle {
public:
  using Handle = typename TTraits::Handle;

  TUniqueHandle() noexcept = default;
  explicit TUniqueHandle(Handle aHandle) noexcept : fHandle(aHandle) {}
  TUniqueHandle(const TUniqueHandle &) = delete;
  TUniqueHandle &operator=(const TUniqueHandle &) = delete;
  TUniqueHandle(TUniqueHandle &&aOther) noexcept : fHandle(aOther.Detach()) {}
  TUniqueHandle &operator=(TUniqueHandle &&aOther) noexcept {
    if (this != &aOther)
      Reset(aOther.Detach());
    return *this;
  }
  ~TUniqueHandle() { Reset(); }

  Handle Get() const noexcept { return fHandle; }
  explicit operator bool() const noexcept { return fHandle != TTraits::Invalid(); }
  Handle Detach() noexcept { return std::exchange(fHandle, TTraits::Invalid()); }
  void Reset(Handle aHandle = TTraits::Invalid()) noexcept {
    Handle old = std::exchange(fHandle, aHandle);
    if (old != TTraits::Invalid())
      TTraits::Close(old);
  }
  // For APIs that fill in a handle through an out parameter.
  Handle *Put() noexcept {
    Reset();
    return &fHandle;
  }

private:
  Handle fHandle = TTraits::Invalid();
};

template <class H, class TCloser> struct TNullHandleTraits {
  using Handle = H;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle aHandle) noexcept { TCloser{}(aHandle); }
};

namespace HandleClosers {
struct Kernel {
  void operator()(HANDLE h) const noexcept { ::CloseHandle(h); }
};
struct Window {
  void operator()(HWND h) const noexcept { ::DestroyWindow(h); }
};
struct Icon {
  void operator()(HICON h) const noexcept { ::DestroyIcon(h); }
};
struct Menu {
  void operator()(HMENU h) const noexcept { ::DestroyMenu(h); }
};
struct GdiObject {
  void operator()(HGDIOBJ h) const noexcept { ::DeleteObject(h); }
};
struct MemoryDC {
  void operator()(HDC h) const noexcept { ::DeleteDC(h); }
};
struct RegistryKey {
  void operator()(HKEY h) const noexcept { ::RegCloseKey(h); }
};
struct Global {
  void operator()(HGLOBAL h) const noexcept { ::GlobalFree(h); }
};
struct EnhMetaFile {
  void operator()(HENHMETAFILE h) const noexcept { ::DeleteEnhMetaFile(h); }
};
struct Local {
  void operator()(HLOCAL h) const noexcept { ::LocalFree(h); }
};
struct MappedView {
  void operator()(void *h) const noexcept { ::UnmapViewOfFile(h); }
};
} // namespace HandleClosers

struct TFileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle aHandle) noexcept { ::CloseHandle(aHandle); }
};

using TKernelHandle = TUniqueHandle<TNullHandleTraits<HANDLE, HandleClosers::Kernel>>;
using TFileHandle = TUniqueHandle<TFileHandleTraits>;
using TWindowHandle = TUniqueHandle<TNullHandleTraits<HWND, HandleClosers::Window>>;
using TIconHandle = TUniqueHandle<TNullHandleTraits<HICON, HandleClosers::Icon>>;
using TMenuHandle = TUniqueHandle<TNullHandleTraits<HMENU, HandleClosers::Menu>>;
using TBitmapHandle = TUniqueHandle<TNullHandleTraits<HBITMAP, HandleClosers::GdiObject>>;
using TGdiObjectHandle = TUniqueHandle<TNullHandleTraits<HGDIOBJ, HandleClosers::GdiObject>>;
using TMemoryDCHandle = TUniqueHandle<TNullHandleTraits<HDC, HandleClosers::MemoryDC>>;
using TRegistryKey = TUniqueHandle<TNullHandleTraits<HKEY, HandleClosers::RegistryKey>>;
using TGlobalHandle = TUniqueHandle<TNullHandleTraits<HGLOBAL, HandleClosers::Global>>;
using TEnhMetaFileHandle =
    TUniqueHandle<TNullHandleTraits<HENHMETAFILE, HandleClosers::EnhMetaFile>>;
// Memory the system allocated for us with LocalAlloc (FormatMessageW,
// CommandLineToArgvW).
using TLocalMemory = TUniqueHandle<TNullHandleTraits<HLOCAL, HandleClosers::Local>>;
// A view of a file mapping, from MapViewOfFile: Get() is its first byte.
using TMappedView = TUniqueHandle<TNullHandleTraits<void *, HandleClosers::MappedView>>;

// A window DC obtained with GetDC, released with ReleaseDC.
class TWindowDC {
public:
  explicit TWindowDC(HWND aWindow) : fWindow(aWindow), fDC(::GetDC(aWindow)) {
    if (!fDC)
      throw std::runtime_error("GetDC failed");
  }
  TWindowDC(const TWindowDC &) = delete;
  TWindowDC &operator=(const TWindowDC &) = delete;
  ~TWindowDC() { ::ReleaseDC(fWindow, fDC); }
  HDC Get() const noexcept { return fDC; }

private:
  HWND fWindow;
  HDC fDC;
};

// A GlobalLock held for the lifetime of the object. Throws when the block
// cannot be locked (a discarded or invalid block).
class TGlobalLock {
public:
  explicit TGlobalLock(HGLOBAL aBlock) : fBlock(aBlock), fData(::GlobalLock(aBlock)) {
    if (!fData)
      throw std::runtime_error("GlobalLock failed");
  }
  TGlobalLock(const TGlobalLock &) = delete;
  TGlobalLock &operator=(const TGlobalLock &) = delete;
  ~TGlobalLock() { ::GlobalUnlock(fBlock); }
  void *Data() const noexcept { return fData; }
  SIZE_T Size() const noexcept { return ::GlobalSize(fBlock); }

private:
  HGLOBAL fBlock;
  void *fData;
};

// The system's message text for a Win32 error code (FormatMessageW), in
// UTF-8 as every exception message is, without the trailing line break.
std::string SystemErrorMessage(DWORD aError);

// The text of the calling thread's last error, for exception messages.
std::string LastErrorText(const char *aWhat, DWORD aError = ::GetLastError());

// Throws std::runtime_error with the last error when aOk is false.
inline void CheckWin32(bool aOk, const char *aWhat) {
  if (!aOk)
    throw std::runtime_error(LastErrorText(aWhat));
}
