#pragma once

#include "clipboard/ClipboardFormatState.h"
#include "clipboard/ClipboardStream.File.h"
#include "clipboard/ClipboardStream.Packed.h"
#include "shared/AutoPtr.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The program that was in the foreground when a snapshot was taken.
struct TActiveApplication {
  std::wstring Path;
  std::wstring Caption;

  static TActiveApplication Make(std::wstring aPath, std::wstring aCaption) {
    return {std::move(aPath), std::move(aCaption)};
  }
  bool IsEmpty() const noexcept { return Path.empty() && Caption.empty(); }
  friend bool operator==(const TActiveApplication &, const TActiveApplication &) = default;
};

// Why a format of the clipboard is missing from a snapshot or from a restore.
enum class TLeftOutReason { lrTooLarge, lrNoMemory, lrRenderTimedOut, lrUnreadable };
struct TLeftOutFormat {
  std::wstring Name;
  TLeftOutReason Reason;
};

class TClipboardStateContainer;
using TClipboardState = TAuto<TClipboardStateContainer>;

// A snapshot's stream encoding, deflated: how a snapshot that is not on the
// clipboard is kept in memory. The data files never see it.
struct TPackedContent {
  std::vector<std::uint8_t> Deflated;
  std::size_t StreamSize = 0;
  int Count = 0;
};

// A snapshot of the whole clipboard: its formats in enumeration order and
// the source program. Built once (by capture, the loader or a test) and then
// shared read-only through TAuto handles.
//
// A packed snapshot (Pack) keeps only its deflated stream encoding; the
// first read of its formats unpacks them into the same object, once, on
// whichever thread asks, and they stay until the object goes.
class TClipboardStateContainer {
public:
  using TItems = std::vector<std::unique_ptr<TClipboardFormatState>>;

  // Walks the items as const references.
  class TIterator {
  public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = TClipboardFormatState;
    using difference_type = std::ptrdiff_t;
    using pointer = const TClipboardFormatState *;
    using reference = const TClipboardFormatState &;

    TIterator() = default;
    explicit TIterator(TItems::const_iterator aPos) : fPos(aPos) {}
    const TClipboardFormatState &operator*() const { return **fPos; }
    const TClipboardFormatState *operator->() const { return fPos->get(); }
    TIterator &operator++() {
      ++fPos;
      return *this;
    }
    TIterator operator++(int) {
      TIterator before = *this;
      ++fPos;
      return before;
    }
    friend bool operator==(const TIterator &, const TIterator &) = default;

  private:
    TItems::const_iterator fPos;
  };

  TClipboardStateContainer() = default;
  explicit TClipboardStateContainer(TActiveApplication aActiveApplication)
      : fActiveApplication(std::move(aActiveApplication)) {}
  TClipboardStateContainer(const TClipboardStateContainer &) = delete;
  TClipboardStateContainer &operator=(const TClipboardStateContainer &) = delete;

  // Building only: appends a format (which must not be null). A format whose
  // capture left its data out is also named in LeftOut().
  void Add(std::unique_ptr<TClipboardFormatState> aFormat);
  // Building only: names a format that the snapshot lacks. The list lives in
  // memory only; the stream format does not carry it.
  void AddLeftOut(TLeftOutFormat aFormat);
  const std::vector<TLeftOutFormat> &LeftOut() const noexcept;

  int Count() const noexcept { return fPacked ? fPacked->Count : static_cast<int>(fItems.size()); }
  // Throws std::out_of_range for a bad index.
  const TClipboardFormatState &operator[](int aIndex) const;
  TIterator begin() const { return TIterator(Items().begin()); }
  TIterator end() const { return TIterator(Items().end()); }
  const TActiveApplication &ActiveApplication() const noexcept { return fActiveApplication; }
  // The bytes of all formats' data (of the stream encoding when packed).
  std::size_t DataSize() const noexcept;

  // Packing saves memory only from this size of data on: below it a trip to
  // the packing thread costs more than it saves.
  static constexpr std::size_t MinimumPackedSize = 16384;
  // A packed copy of aState (formats, source program, left-out list), or an
  // empty handle when aState is packed already, smaller than
  // MinimumPackedSize, or deflates to more than three quarters of its
  // stream encoding. A snapshot that was unpacked gets its deflated bytes
  // back without deflating. Any thread; aGate is asked before each piece
  // of the deflate and may wait there, or give up (empty handle).
  static TClipboardState Pack(const TClipboardState &aState, const TPackGate &aGate = {});
  // aState when it is not packed, else a new unpacked snapshot of it, which
  // keeps the deflated bytes it came from so that packing it again costs
  // nothing (PacksAtOnce).
  static TClipboardState Unpack(const TClipboardState &aState);
  bool PacksAtOnce() const noexcept { return fPackedOrigin != nullptr; }
  // A packed snapshot that has been read holds its unpacked formats too;
  // this gives a new packed one sharing the deflated bytes without them
  // (aState itself when there is nothing to drop).
  static TClipboardState Repack(const TClipboardState &aState);
  bool IsPacked() const noexcept { return fPacked != nullptr; }
  // Names the content: a packed or unpacked copy has the id of the snapshot
  // it was made from, any other snapshot an id of its own.
  std::uint64_t ContentId() const noexcept { return fContentId; }
  bool HoldsUnpackedFormats() const noexcept { return !fPacked || fUnpacked.load(); }

  // Appends the container at the stream's position; write errors propagate.
  void SaveToStream(TStream &aStream) const;
  // Reads one container from the stream's position and leaves the stream on
  // the first byte after it. Throws EStreamReadError or
  // EInvalidPropertyValue; never allocates more than the stream still holds.
  static std::unique_ptr<TClipboardStateContainer> LoadFromStream(TStream &aStream);
  // One format's record, as a container writes each of its formats: a
  // snapshot travels format by format this way. Errors as above.
  static void SaveFormatToStream(const TClipboardFormatState &aFormat, TStream &aStream);
  static std::unique_ptr<TClipboardFormatState> LoadFormatFromStream(TStream &aStream);
  // The bytes of a format's record before its data (id, name, data size),
  // so that a writer can put the data behind them from wherever it is.
  static std::vector<std::uint8_t> FormatRecordHead(WORD aFormat, const std::wstring &aName,
                                                    std::size_t aDataSize);

  // Puts a packed snapshot's formats on the clipboard, which the caller
  // holds open and has emptied, straight from its deflated bytes; returns
  // the formats that could not be put back. A damaged stream throws.
  std::vector<TLeftOutFormat> RestorePackedFormats() const;

private:
  const TItems &Items() const;
  void UnpackItems() const;
  static std::unique_ptr<TClipboardStateContainer>
  MakePacked(const TClipboardStateContainer &aFrom, std::shared_ptr<const TPackedContent> aPacked);

  // Filled once from fPacked when a packed snapshot is first read.
  mutable TItems fItems;
  TActiveApplication fActiveApplication;
  std::vector<TLeftOutFormat> fLeftOut;
  std::shared_ptr<const TPackedContent> fPacked;
  // An unpacked snapshot's deflated bytes, when it was unpacked from them.
  std::shared_ptr<const TPackedContent> fPackedOrigin;
  mutable std::once_flag fUnpackOnce;
  mutable std::atomic<bool> fUnpacked{false};
  std::uint64_t fContentId = NextContentId();
  static std::uint64_t NextContentId() noexcept;
};

// The foreground window's program and title; empty when that is this program.
TActiveApplication GetActiveApplication();
// The ids of the formats on the clipboard, which the caller holds open, in
// enumeration order: aCount of them (CountClipboardFormats) as aNext
// (EnumClipboardFormats) walks them. A step of the walk that fails leaves
// out that one format; the next starts the walk again from the beginning.
std::vector<UINT> ClipboardFormatIds(int aCount,
                                     UINT(WINAPI *aNext)(UINT) = ::EnumClipboardFormats);
// Snapshot of the clipboard now; an empty container when the clipboard stays
// busy. Unreadable formats are left out.
TClipboardState CaptureClipboardState(bool aDetectApplication);
// Replaces the clipboard's content with aState; throws EClipboardOpenError
// (clipboard unchanged) when it cannot be opened. A format that cannot be put
// back is skipped and the others are restored; the skipped ones are returned.
std::vector<TLeftOutFormat> RestoreClipboardState(const TClipboardState &aState);
