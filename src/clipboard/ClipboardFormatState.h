#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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
  // conversion and copy failures leave the data empty.
  explicit TClipboardFormatState(WORD aFormat);

  WORD Format() const noexcept { return fFormat; }
  const std::wstring &Name() const noexcept { return fName; }
  const std::vector<std::uint8_t> &Data() const noexcept { return fData; }

  // Registered name of a format; empty for predefined formats.
  static std::wstring FormatName(WORD aFormat);

  // Puts the data back on the clipboard, which the caller holds open and has
  // emptied. Empty data and the formats the system synthesises are skipped; a
  // block that cannot be allocated or locked is skipped too. Image decoder
  // errors propagate.
  void Restore() const;

  // "Format: <id> (<name>)\r\nSize: <bytes>".
  std::wstring ToString() const;

private:
  void CaptureBitmap(HANDLE aHandle);
  void CaptureEnhMetaFile(HANDLE aHandle);
  void CaptureGlobalBlock(HANDLE aHandle);
  void RestoreBitmap() const;
  void RestoreEnhMetaFile() const;
  void RestoreGlobalBlock() const;

  WORD fFormat = 0;
  std::wstring fName;
  std::vector<std::uint8_t> fData;
};

// Allocates the global blocks that Restore hands to the clipboard. Replaceable
// so that tests can make allocation fail; returns the previous allocator.
using TGlobalAllocator = HGLOBAL(WINAPI *)(UINT aFlags, SIZE_T aBytes);
TGlobalAllocator SetGlobalAllocator(TGlobalAllocator aAllocator) noexcept;

// The constant name of a predefined format ("CF_TEXT" for 1 ...
// "CF_MAX_XP" for 18); empty for 0 and every id above 18.
std::wstring StandardFormatName(UINT aFormat);

// One line per format now on the clipboard, in enumeration order: the id,
// then " (name)" when a registered or standard name is known, then CR LF.
std::wstring ClipboardFormatList();
