#pragma once

// The hand-over between the program and its capture helper: a small block of
// shared memory with the request and the progress, and the mappings the
// formats are written into, each as its record of the stream format. A copy
// takes one mapping as long as its formats fit (SegmentSize); a format
// larger than what is left starts another.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace CaptureShared {

// Rendering (the source program's time in GetClipboardData) allowed for one
// copy, and the longest the helper may hold the clipboard open.
constexpr std::chrono::milliseconds RenderBudget{2000};
constexpr std::chrono::milliseconds HoldLimit{5000};
// How long the helper tries to open a clipboard another program holds
// before it reports it busy.
constexpr std::chrono::milliseconds OpenPatience{100};
constexpr int MaxFormats = 1024;
// The size of a copy's mapping; a larger format gets one of its own size.
// Pages never written take no memory, only address space while mapped.
constexpr std::size_t SegmentSize = 4 * 1024 * 1024;

enum TCommand : std::int32_t { cmNone, cmCapture, cmRelease };
enum TStatus : std::int32_t { stCaptured, stBusy, stSecret };
// A slot's state: waiting, read (its mapping holds it), or left out.
enum TSlotState : std::int32_t { ssPending, ssRead, ssLeftOut };

struct TSlot {
  std::atomic<std::uint32_t> Format;
  std::atomic<std::int32_t> State;
  // TLeftOutReason + 1 when the format is left out (a read format may be
  // left out with empty data, as one that is too large).
  std::atomic<std::int32_t> LeftOut;
  // Where the format's record is: which mapping of the copy, at which
  // offset, and its bytes.
  std::atomic<std::int32_t> Segment;
  std::atomic<std::uint32_t> Offset;
  std::atomic<std::uint32_t> Size;
};

struct TBlock {
  std::atomic<std::uint32_t> ParentId;
  std::atomic<std::int32_t> Command;
  std::atomic<std::int32_t> Request;
  std::atomic<std::int32_t> Done;
  std::atomic<std::int32_t> Status;
  std::atomic<std::uint32_t> Sequence;
  // -1 until the formats are listed.
  std::atomic<std::int32_t> FormatCount;
  // GetTickCount values: when the clipboard was opened, and when the
  // GetClipboardData in progress began; the flags say whether they hold.
  std::atomic<std::int32_t> Opened;
  std::atomic<std::uint32_t> OpenedTick;
  std::atomic<std::int32_t> InRender;
  std::atomic<std::uint32_t> RenderStartTick;
  // Counts the GetClipboardData calls, so that an answer of the clipboard's
  // owner is told to the read it came during (see CountedRenderTime).
  std::atomic<std::uint32_t> RenderNumber;
  // Set by the program: the read during which the owner last answered a
  // ping, and when that ping was sent.
  std::atomic<std::uint32_t> AnsweredRender;
  std::atomic<std::uint32_t> AnsweredPingTick;
  // Milliseconds of finished GetClipboardData calls of this copy that count
  // against the render budget.
  std::atomic<std::uint32_t> RenderSpent;
  TSlot Slots[MaxFormats];
};

inline std::wstring WakeEventName(const std::wstring &aBlockName) {
  return aBlockName + L".Wake";
}
inline std::wstring DoneEventName(const std::wstring &aBlockName) {
  return aBlockName + L".Done";
}
inline std::wstring SegmentMappingName(const std::wstring &aBlockName, std::int32_t aRequest,
                                       std::int32_t aSegment) {
  return aBlockName + L".R" + std::to_wstring(aRequest) + L".S" + std::to_wstring(aSegment);
}

// The part of read aRender (begun at aStart, lasting until aNow) that counts
// against the render budget. Only the clipboard's owner can render, and while
// it renders it answers nothing; the rest of a read's time is the system
// bringing the data over (under Wine, a 48 MB picture takes a second or more
// to reach another process on a busy machine). So without an owner nothing
// counts, and with one only the time since the last ping it answered during
// this read. The hold limit still bounds the whole copy.
inline DWORD CountedRenderTime(const TBlock &aBlock, std::uint32_t aRender, DWORD aStart,
                               DWORD aNow, bool aHasOwner) {
  if (!aHasOwner)
    return 0;
  DWORD from = aStart;
  if (aBlock.AnsweredRender.load() == aRender) {
    const DWORD answered = aBlock.AnsweredPingTick.load();
    // Tick differences, so that the count's wrap after 49 days does no harm.
    if (answered - aStart <= aNow - aStart)
      from = answered;
  }
  return aNow - from;
}

// The helper's command line argument, followed by the block's name.
constexpr const wchar_t *HelperArgument = L"-capture";

} // namespace CaptureShared
