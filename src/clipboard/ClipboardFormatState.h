#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Defined with the snapshot container, which keeps the list of left-out
// formats.
enum class TLeftOutReason;

// The largest clipboard block that is captured; larger ones are left empty.
constexpr std::size_t MaxCapturedFormatSize = 104857600;

// One clipboard format captured from the clipboard: id, registered name and a
// private copy of its data. Bitmaps are kept as 32-bit BMP files, enhanced
// metafiles as EMF files, other formats as their raw global memory block.
class TClipboardFormatState {
public:
  // An empty snapshot (id 0, no name, no data).
  TClipboardFormatState() = default;
  // A snapshot built from known parts, as the stream loader and tests do.
  TClipboardFormatState(WORD aFormat, std::wstring aName, std::vector<std::uint8_t> aData)
      : fFormat(aFormat), fName(std::move(aName)), fData(std::move(aData)) {}
  // Captures aFormat from the clipboard, which the caller holds open.
  // Throws only when the clipboard data handle cannot be obtained at all;
  // conversion and copy failures leave the data empty and say why in
  // LeftOutReason(). The formats the system synthesises are not even asked
  // for: asking makes the system render them, a copy of a picture each.
  explicit TClipboardFormatState(WORD aFormat);

  WORD Format() const noexcept { return fFormat; }
  const std::wstring &Name() const noexcept { return fName; }
  const std::vector<std::uint8_t> &Data() const noexcept { return fData; }
  // Why capture left the data out (over a size limit, no memory, unreadable);
  // empty when it was taken or there was nothing to take.
  std::optional<TLeftOutReason> LeftOutReason() const noexcept { return fLeftOutReason; }

  // Registered name of a format; empty for predefined formats.
  static std::wstring FormatName(WORD aFormat);
  // Whether a format is kept as its raw global memory block (not a picture,
  // a metafile or a format the system synthesises).
  static bool IsKeptAsBlock(WORD aFormat) noexcept;

  // Puts the data back on the clipboard, which the caller holds open and has
  // emptied. Empty data and the formats the system synthesises are skipped.
  // Returns why the data could not be put back (too large, no memory, data
  // that does not decode), or nothing when it was put back or skipped.
  std::optional<TLeftOutReason> Restore() const;
  // Puts aSize bytes back as block format aFormat, written by aFill straight
  // into the memory handed to the clipboard. aFill is not called when the
  // memory cannot be had (the reason is returned); its own errors propagate.
  static std::optional<TLeftOutReason> RestoreBlock(WORD aFormat, std::size_t aSize,
                                                    const std::function<void(void *)> &aFill);

  // "Format: <id> (<name>)\r\nSize: <bytes>".
  std::wstring ToString() const;

private:
  void CaptureBitmap(HANDLE aHandle);
  void CaptureEnhMetaFile(HANDLE aHandle);
  void CaptureGlobalBlock(HANDLE aHandle);
  void RestoreData() const;
  void RestoreBitmap() const;
  void RestoreEnhMetaFile() const;

  WORD fFormat = 0;
  std::wstring fName;
  std::vector<std::uint8_t> fData;
  std::optional<TLeftOutReason> fLeftOutReason;
};

// Allocates the global blocks that Restore hands to the clipboard. Replaceable
// so that tests can make allocation fail; returns the previous allocator.
using TGlobalAllocator = HGLOBAL(WINAPI *)(UINT aFlags, SIZE_T aBytes);
TGlobalAllocator SetGlobalAllocator(TGlobalAllocator aAllocator) noexcept;

// A name to show for a format: its registered name (aName when given), else
// its constant name, else its decimal id.
std::wstring FormatDisplayName(UINT aFormat, const std::wstring &aName);

// The constant name of a predefined format ("CF_TEXT" for 1 ...
// "CF_MAX_XP" for 18); empty for 0 and every id above 18.
std::wstring StandardFormatName(UINT aFormat);

// One line per format now on the clipboard, in enumeration order: the id,
// then " (name)" when a registered or standard name is known, then CR LF.
std::wstring ClipboardFormatList();
