#pragma once

// The hand-over between the program and its capture helper: a small block of
// shared memory with the request and the progress, and one mapping per
// captured format holding that format in the stream format.

#include <windows.h>

#include <atomic>
#include <chrono>
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
  // Bytes of the format's stream in its mapping.
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
  // Milliseconds spent in finished GetClipboardData calls of this copy.
  std::atomic<std::uint32_t> RenderSpent;
  TSlot Slots[MaxFormats];
};

inline std::wstring WakeEventName(const std::wstring &aBlockName) {
  return aBlockName + L".Wake";
}
inline std::wstring DoneEventName(const std::wstring &aBlockName) {
  return aBlockName + L".Done";
}
inline std::wstring FormatMappingName(const std::wstring &aBlockName, std::int32_t aRequest,
                                      int aIndex) {
  return aBlockName + L".R" + std::to_wstring(aRequest) + L".F" + std::to_wstring(aIndex);
}

// The helper's command line argument, followed by the block's name.
constexpr const wchar_t *HelperArgument = L"-capture";

} // namespace CaptureShared
