#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>

// Whether a CanIncludeInClipboardHistory marker lets the copy be recorded:
// only a 4-byte non-zero value does. Any other length, and a marker that
// could not be read (null), is a refusal: a password is never kept.
bool HistoryMarkerAllows(const void *aData, std::size_t aSize) noexcept;

// Whether the clipboard, which the caller holds open, carries one of the
// markers by which password managers ask not to be recorded. aRead gets a
// format's data (GetClipboardData, through the caller's time keeping).
bool ClipboardHoldsSecret(const std::function<HANDLE(UINT)> &aRead);
