#include "clipboard/ClipboardFormatState.h"

#include "shared/Trace.h"

#include "clipboard/ClipboardImages.h"
#include "clipboard/ClipboardSession.h"
#include "clipboard/ClipboardStateContainer.h"
#include "shared/Handles.h"

#include <atomic>
#include <cstring>
#include <iterator>
#include <new>
#include <optional>
#include <stdexcept>

namespace {

std::atomic<TGlobalAllocator> gGlobalAllocator{&::GlobalAlloc};

// Formats the system synthesises from others, so a copy of them is not kept.
// CF_TIFF is not among them: nothing makes it again, so it is kept as a block.
bool IsSynthesisedFormat(WORD aFormat) {
  return aFormat == CF_METAFILEPICT || aFormat == CF_DIB || aFormat == CF_DIBV5;
}

// Hands a handle to the clipboard; the clipboard owns it only on success. The
// clipboard is open and the data checked, so a refusal means the system had
// no memory for it.
template <class THandle> void SetClipboardHandle(UINT aFormat, THandle &aHandle) {
  if (!::SetClipboardData(aFormat, aHandle.Get()))
    throw std::bad_alloc();
  aHandle.Detach();
}

// Why a format's data could not be taken or put back, from the exception
// being handled.
TLeftOutReason CaughtReason() {
  try {
    throw;
  } catch (const std::bad_alloc &) {
    return TLeftOutReason::lrNoMemory; // handled: each error is its reason
  } catch (const EFormatTooLarge &) {
    return TLeftOutReason::lrTooLarge; // handled: likewise
  } catch (const std::exception &) {
    return TLeftOutReason::lrUnreadable; // handled: likewise
  }
}

} // namespace

TGlobalAllocator SetGlobalAllocator(TGlobalAllocator aAllocator) noexcept {
  return gGlobalAllocator.exchange(aAllocator ? aAllocator : &::GlobalAlloc);
}

TClipboardFormatState::TClipboardFormatState(WORD aFormat) : fFormat(aFormat) {
  const HANDLE handle = IsSynthesisedFormat(aFormat) ? nullptr : ::GetClipboardData(aFormat);
  fName = FormatName(aFormat);
  if (!handle)
    return;
  try {
    if (aFormat == CF_BITMAP)
      CaptureBitmap(handle);
    else if (aFormat == CF_ENHMETAFILE)
      CaptureEnhMetaFile(handle);
    else
      CaptureGlobalBlock(handle);
  } catch (const std::exception &) {
    // A format that cannot be converted or copied stays listed, without data,
    // and says why.
    TraceDroppedError();
    fData = {};
    fLeftOutReason = CaughtReason();
  }
}

void TClipboardFormatState::CaptureBitmap(HANDLE aHandle) {
  fData = EncodeBitmapAsBmp(static_cast<HBITMAP>(aHandle));
}

void TClipboardFormatState::CaptureEnhMetaFile(HANDLE aHandle) {
  fData = EnhMetaFileBits(static_cast<HENHMETAFILE>(aHandle));
}

void TClipboardFormatState::CaptureGlobalBlock(HANDLE aHandle) {
  const HGLOBAL block = static_cast<HGLOBAL>(aHandle);
  if (::GlobalFlags(block) == GMEM_INVALID_HANDLE)
    return;
  const SIZE_T size = ::GlobalSize(block);
  if (size > MaxCapturedFormatSize)
    throw EFormatTooLarge("Clipboard block too large");
  if (size == 0)
    return;
  TGlobalLock lock(block);
  const auto *bytes = static_cast<const std::uint8_t *>(lock.Data());
  fData.assign(bytes, bytes + size);
}

std::wstring TClipboardFormatState::FormatName(WORD aFormat) {
  wchar_t buffer[256] = {};
  const int length = ::GetClipboardFormatNameW(aFormat, buffer, 256);
  return std::wstring(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

bool TClipboardFormatState::IsKeptAsBlock(WORD aFormat) noexcept {
  return aFormat != CF_BITMAP && aFormat != CF_ENHMETAFILE && !IsSynthesisedFormat(aFormat);
}

std::optional<TLeftOutReason> TClipboardFormatState::Restore() const {
  if (fData.empty() || IsSynthesisedFormat(fFormat))
    return std::nullopt;
  try {
    RestoreData();
  } catch (const std::exception &) {
    return CaughtReason(); // handled: the caller records why it was left out
  }
  return std::nullopt;
}

void TClipboardFormatState::RestoreData() const {
  if (fFormat == CF_BITMAP)
    RestoreBitmap();
  else if (fFormat == CF_ENHMETAFILE)
    RestoreEnhMetaFile();
  else if (RestoreBlock(fFormat, fData.size(),
                        [this](void *aTo) { std::memcpy(aTo, fData.data(), fData.size()); }))
    throw std::bad_alloc(); // the only reason RestoreBlock gives
}

void TClipboardFormatState::RestoreBitmap() const {
  TBitmapHandle bitmap = DecodeBmpToDeviceBitmap(fData);
  SetClipboardHandle(CF_BITMAP, bitmap);
}

void TClipboardFormatState::RestoreEnhMetaFile() const {
  TEnhMetaFileHandle metaFile = EnhMetaFileFromBits(fData);
  SetClipboardHandle(CF_ENHMETAFILE, metaFile);
}

// A block that cannot be allocated or locked (a discarded block), or that the
// clipboard refuses, is the system being out of memory.
std::optional<TLeftOutReason>
TClipboardFormatState::RestoreBlock(WORD aFormat, std::size_t aSize,
                                    const std::function<void(void *)> &aFill) {
  TGlobalHandle block(gGlobalAllocator.load()(GMEM_MOVEABLE | GMEM_DDESHARE, aSize));
  if (!block)
    return TLeftOutReason::lrNoMemory;
  {
    std::optional<TGlobalLock> lock;
    try {
      lock.emplace(block.Get());
    } catch (const std::runtime_error &) {
      return TLeftOutReason::lrNoMemory; // handled: the reason says it
    }
    aFill(lock->Data());
  }
  if (!::SetClipboardData(aFormat, block.Get()))
    return TLeftOutReason::lrNoMemory;
  block.Detach();
  return std::nullopt;
}

std::wstring TClipboardFormatState::ToString() const {
  std::wstring text = L"Format: " + std::to_wstring(fFormat);
  text += fName.empty() ? L"\r\n" : L" (" + fName + L")\r\n";
  return text + L"Size: " + std::to_wstring(fData.size());
}

std::wstring FormatDisplayName(UINT aFormat, const std::wstring &aName) {
  if (!aName.empty())
    return aName;
  std::wstring name = StandardFormatName(aFormat);
  return name.empty() ? std::to_wstring(aFormat) : name;
}

std::wstring StandardFormatName(UINT aFormat) {
  static const wchar_t *const names[] = {
      L"",           L"CF_TEXT",   L"CF_BITMAP",  L"CF_METAFILEPICT", L"CF_SYLK",
      L"CF_DIF",     L"CF_TIFF",   L"CF_OEMTEXT", L"CF_DIB",          L"CF_PALETTE",
      L"CF_PENDATA", L"CF_RIFF",   L"CF_WAVE",    L"CF_UNICODETEXT",  L"CF_ENHMETAFILE",
      L"CF_HDROP",   L"CF_LOCALE", L"CF_DIBV5",   L"CF_MAX_XP"};
  return aFormat < std::size(names) ? names[aFormat] : L"";
}

std::wstring ClipboardFormatList() {
  TClipboardSession session;
  std::wstring text;
  UINT format = 0;
  while ((format = ::EnumClipboardFormats(format)) != 0) {
    std::wstring name = format <= 0xFFFF
                            ? TClipboardFormatState::FormatName(static_cast<WORD>(format))
                            : std::wstring();
    if (name.empty())
      name = StandardFormatName(format);
    text += std::to_wstring(format);
    if (!name.empty())
      text += L" (" + name + L")";
    text += L"\r\n";
  }
  return text;
}
