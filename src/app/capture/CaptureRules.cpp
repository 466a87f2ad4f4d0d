#include "app/capture/CaptureRules.h"

#include "shared/Trace.h"

#include "shared/Handles.h"

#include <cstring>
#include <stdexcept>

bool HistoryMarkerAllows(const void *aData, std::size_t aSize) noexcept {
  if (!aData || aSize != sizeof(DWORD))
    return false;
  DWORD allowed = 0;
  std::memcpy(&allowed, aData, sizeof(allowed));
  return allowed != 0;
}

bool ClipboardHoldsSecret(const std::function<HANDLE(UINT)> &aRead) {
  static const UINT exclude =
      ::RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing");
  static const UINT viewerIgnore = ::RegisterClipboardFormatW(L"Clipboard Viewer Ignore");
  static const UINT history = ::RegisterClipboardFormatW(L"CanIncludeInClipboardHistory");
  if ((exclude && ::IsClipboardFormatAvailable(exclude)) ||
      (viewerIgnore && ::IsClipboardFormatAvailable(viewerIgnore)))
    return true;
  if (!history || !::IsClipboardFormatAvailable(history))
    return false;
  const HANDLE handle = aRead(history);
  if (!handle)
    return true;
  try {
    TGlobalLock lock(static_cast<HGLOBAL>(handle));
    return !HistoryMarkerAllows(lock.Data(), lock.Size());
  } catch (const std::runtime_error &) {
    // A marker that cannot be read is taken as a refusal.
    TraceDroppedError();
    return true;
  }
}
