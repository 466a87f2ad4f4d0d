#include "app/capture/CaptureHelper.h"

#include "shared/Trace.h"

#include "app/capture/CaptureRules.h"
#include "app/capture/CaptureShared.h"
#include "clipboard/ClipboardSession.h"
#include "clipboard/ClipboardStateContainer.h"
#include "shared/Handles.h"
#include "shared/Paths.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <vector>

using namespace CaptureShared;

std::wstring CaptureHelperBlockName(const wchar_t *aCommandLine) {
  try {
    const std::vector<std::wstring> arguments = CommandLineArguments(aCommandLine);
    return arguments.size() == 3 && arguments[1] == HelperArgument ? arguments[2] : L"";
  } catch (const std::runtime_error &) {
    return {}; // handled: a line the system cannot split names no helper
  }
}

namespace {

std::int32_t Reason(TLeftOutReason aReason) {
  return static_cast<std::int32_t>(aReason) + 1;
}

// The mappings one capture's records go into (see SegmentSize), kept until
// the program has taken them.
class TSegmentWriter {
public:
  struct TPlace {
    std::uint8_t *Data;
    std::int32_t Segment;
    std::uint32_t Offset;
  };

  explicit TSegmentWriter(std::wstring aBlockName) : fBlockName(std::move(aBlockName)) {}
  // Forgets the mappings of the last capture; new ones are named for aRequest.
  void Begin(std::int32_t aRequest) {
    Clear();
    fRequest = aRequest;
  }
  void Clear() {
    fView.Reset();
    fMappings.clear();
    fCapacity = fUsed = 0;
  }
  // Room for aSize bytes; std::bad_alloc when no mapping can be had.
  TPlace Reserve(std::size_t aSize);

private:
  std::wstring fBlockName;
  std::int32_t fRequest = 0;
  std::vector<TKernelHandle> fMappings;
  // The view of the newest mapping, which is being filled.
  TMappedView fView;
  std::size_t fCapacity = 0;
  std::size_t fUsed = 0;
};

TSegmentWriter::TPlace TSegmentWriter::Reserve(std::size_t aSize) {
  if (!fView || aSize > fCapacity - fUsed) {
    const std::size_t capacity = std::max(SegmentSize, aSize);
    if (capacity > MAXDWORD)
      throw std::bad_alloc();
    const auto segment = static_cast<std::int32_t>(fMappings.size());
    const std::wstring name = SegmentMappingName(fBlockName, fRequest, segment);
    TKernelHandle mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                               static_cast<DWORD>(capacity), name.c_str()));
    if (!mapping)
      throw std::bad_alloc();
    TMappedView view(::MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, capacity));
    if (!view)
      throw std::bad_alloc();
    fMappings.push_back(std::move(mapping));
    fView = std::move(view);
    fCapacity = capacity;
    fUsed = 0;
  }
  const TPlace place{static_cast<std::uint8_t *>(fView.Get()) + fUsed,
                     static_cast<std::int32_t>(fMappings.size()) - 1,
                     static_cast<std::uint32_t>(fUsed)};
  fUsed += aSize;
  return place;
}

class TCaptureHelper {
public:
  explicit TCaptureHelper(const std::wstring &aBlockName);
  int Run();

private:
  void Capture();
  bool OpenClipboardWithin(std::chrono::milliseconds aPatience);
  HANDLE Render(UINT aFormat);
  bool TimeIsUp() const;
  void CaptureSlot(int aIndex, UINT aFormat);
  bool PublishBlock(int aIndex, WORD aFormat, HANDLE aHandle);
  void Publish(int aIndex, const std::vector<std::uint8_t> &aHead, const void *aData,
               std::size_t aSize);

  // Opens the clipboard, so that other programs can see who holds it.
  TWindowHandle fWindow;
  TKernelHandle fMapping;
  TMappedView fView;
  TBlock *fBlock = nullptr;
  TKernelHandle fWake;
  TKernelHandle fDone;
  TKernelHandle fParent;
  TSegmentWriter fSegments;
};

TCaptureHelper::TCaptureHelper(const std::wstring &aBlockName) : fSegments(aBlockName) {
  fWindow.Reset(::CreateWindowExW(0, L"Static", L"Pagekeep capture", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, ::GetModuleHandleW(nullptr), nullptr));
  CheckWin32(static_cast<bool>(fWindow), "CreateWindowExW");
  fMapping.Reset(::OpenFileMappingW(FILE_MAP_WRITE, FALSE, aBlockName.c_str()));
  CheckWin32(static_cast<bool>(fMapping), "OpenFileMappingW");
  fView.Reset(::MapViewOfFile(fMapping.Get(), FILE_MAP_WRITE, 0, 0, sizeof(TBlock)));
  CheckWin32(static_cast<bool>(fView), "MapViewOfFile");
  fBlock = static_cast<TBlock *>(fView.Get());
  fWake.Reset(::OpenEventW(SYNCHRONIZE, FALSE, WakeEventName(aBlockName).c_str()));
  fDone.Reset(::OpenEventW(EVENT_MODIFY_STATE, FALSE, DoneEventName(aBlockName).c_str()));
  fParent.Reset(::OpenProcess(SYNCHRONIZE, FALSE, fBlock->ParentId.load()));
  CheckWin32(fWake && fDone && fParent, "OpenEventW");
}

// Ends with the program that started it.
int TCaptureHelper::Run() {
  const HANDLE waits[] = {fWake.Get(), fParent.Get()};
  while (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
    fSegments.Clear();
    if (fBlock->Command.load() != cmCapture)
      continue;
    Capture();
    fBlock->Done.store(fBlock->Request.load());
    CheckWin32(::SetEvent(fDone.Get()) != FALSE, "SetEvent");
  }
  return 0;
}

bool TCaptureHelper::OpenClipboardWithin(std::chrono::milliseconds aPatience) {
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(aPatience.count());
  while (!::OpenClipboard(fWindow.Get())) {
    if (::GetTickCount64() >= deadline)
      return false;
    ::Sleep(5);
  }
  return true;
}

// The source program renders a delayed format inside GetClipboardData; the
// time it takes is published, so the program can end a render that hangs.
//
// Nobody else can change the clipboard while we hold it, yet Wine counts a
// format it synthesises for our read as a change: the sequence number is
// taken again after each read, so that the program does not take it for
// another copy.
HANDLE TCaptureHelper::Render(UINT aFormat) {
  const std::uint32_t render = fBlock->RenderNumber.load() + 1;
  const DWORD start = ::GetTickCount();
  fBlock->RenderStartTick.store(start);
  fBlock->RenderNumber.store(render);
  fBlock->InRender.store(1);
  const HANDLE handle = ::GetClipboardData(aFormat);
  fBlock->InRender.store(0);
  // The owner cannot change while the clipboard is held open.
  const bool hasOwner = ::GetClipboardOwner() != nullptr;
  fBlock->RenderSpent.fetch_add(
      CountedRenderTime(*fBlock, render, start, ::GetTickCount(), hasOwner));
  fBlock->Sequence.store(::GetClipboardSequenceNumber());
  return handle;
}

bool TCaptureHelper::TimeIsUp() const {
  const DWORD held = ::GetTickCount() - fBlock->OpenedTick.load();
  return fBlock->RenderSpent.load() >= static_cast<DWORD>(RenderBudget.count()) ||
         held >= static_cast<DWORD>(HoldLimit.count());
}

void TCaptureHelper::Capture() {
  fBlock->Status.store(stBusy);
  fBlock->FormatCount.store(-1);
  fBlock->Opened.store(0);
  fBlock->InRender.store(0);
  fBlock->RenderSpent.store(0);
  fSegments.Begin(fBlock->Request.load());
  if (!OpenClipboardWithin(OpenPatience))
    return;
  const TClipboardSession session(std::adopt_lock);
  fBlock->OpenedTick.store(::GetTickCount());
  fBlock->Opened.store(1);
  fBlock->Sequence.store(::GetClipboardSequenceNumber());
  if (ClipboardHoldsSecret([this](UINT aFormat) { return Render(aFormat); })) {
    fBlock->Status.store(stSecret);
    return;
  }
  std::vector<UINT> formats = ClipboardFormatIds(::CountClipboardFormats());
  if (formats.size() > static_cast<std::size_t>(MaxFormats))
    formats.resize(static_cast<std::size_t>(MaxFormats));
  const int count = static_cast<int>(formats.size());
  for (int i = 0; i < count; ++i) {
    TSlot &slot = fBlock->Slots[i];
    slot.Format.store(formats[static_cast<std::size_t>(i)]);
    slot.State.store(ssPending);
    slot.LeftOut.store(0);
    slot.Segment.store(0);
    slot.Offset.store(0);
    slot.Size.store(0);
  }
  fBlock->FormatCount.store(count);
  for (int i = 0; i < count; ++i)
    CaptureSlot(i, formats[static_cast<std::size_t>(i)]);
  fBlock->Status.store(stCaptured);
}

void TCaptureHelper::CaptureSlot(int aIndex, UINT aFormat) {
  TSlot &slot = fBlock->Slots[aIndex];
  auto leaveOut = [&](TLeftOutReason aReason) {
    slot.LeftOut.store(Reason(aReason));
    slot.State.store(ssLeftOut);
  };
  if (aFormat > 0xFFFF)
    return leaveOut(TLeftOutReason::lrUnreadable);
  if (TimeIsUp())
    return leaveOut(TLeftOutReason::lrRenderTimedOut);
  const WORD format = static_cast<WORD>(aFormat);
  try {
    const HANDLE handle = Render(format);
    if (handle && PublishBlock(aIndex, format, handle)) {
      fBlock->Sequence.store(::GetClipboardSequenceNumber());
      return;
    }
    // Rendered once: the second GetClipboardData inside takes what is there.
    const auto state = handle ? std::make_unique<TClipboardFormatState>(format)
                              : std::make_unique<TClipboardFormatState>(
                                    format, TClipboardFormatState::FormatName(format),
                                    std::vector<std::uint8_t>());
    if (handle && state->Data().empty() && format != CF_BITMAP && format != CF_ENHMETAFILE &&
        ::GlobalSize(static_cast<HGLOBAL>(handle)) > MaxCapturedFormatSize)
      slot.LeftOut.store(Reason(TLeftOutReason::lrTooLarge));
    fBlock->Sequence.store(::GetClipboardSequenceNumber());
    const std::vector<std::uint8_t> &data = state->Data();
    Publish(aIndex, TClipboardStateContainer::FormatRecordHead(format, state->Name(), data.size()),
            data.data(), data.size());
  } catch (const std::bad_alloc &) {
    leaveOut(TLeftOutReason::lrNoMemory); // handled: the snapshot says it was left out
  } catch (const std::exception &) {
    TraceDroppedError();
    leaveOut(TLeftOutReason::lrUnreadable);
  }
}

// A plain memory block goes from the clipboard's block straight into its
// mapping, behind its record's head: one pass over its bytes. False for
// what is not such a block (pictures, metafiles, synthesised formats, a
// handle that is no memory block, an empty or too large one), which then
// goes through TClipboardFormatState and says why it was left out.
bool TCaptureHelper::PublishBlock(int aIndex, WORD aFormat, HANDLE aHandle) {
  if (!TClipboardFormatState::IsKeptAsBlock(aFormat))
    return false;
  const auto block = static_cast<HGLOBAL>(aHandle);
  if (::GlobalFlags(block) == GMEM_INVALID_HANDLE)
    return false;
  const SIZE_T size = ::GlobalSize(block);
  if (size == 0 || size > MaxCapturedFormatSize)
    return false;
  std::optional<TGlobalLock> lock;
  try {
    lock.emplace(block);
  } catch (const std::runtime_error &) {
    // A block that cannot be locked (discarded) is left out by the other
    // path, which says why.
    TraceDroppedError();
    return false;
  }
  Publish(aIndex,
          TClipboardStateContainer::FormatRecordHead(
              aFormat, TClipboardFormatState::FormatName(aFormat), size),
          lock->Data(), size);
  return true;
}

// The format's record goes into shared memory at once, so that what was
// read survives a later render that hangs.
void TCaptureHelper::Publish(int aIndex, const std::vector<std::uint8_t> &aHead, const void *aData,
                             std::size_t aSize) {
  const std::size_t size = aHead.size() + aSize;
  if (size > MAXDWORD)
    throw std::bad_alloc();
  const TSegmentWriter::TPlace place = fSegments.Reserve(size);
  std::memcpy(place.Data, aHead.data(), aHead.size());
  if (aSize > 0)
    std::memcpy(place.Data + aHead.size(), aData, aSize);
  TSlot &slot = fBlock->Slots[aIndex];
  slot.Segment.store(place.Segment);
  slot.Offset.store(place.Offset);
  slot.Size.store(static_cast<std::uint32_t>(size));
  slot.State.store(ssRead);
}

} // namespace

int RunCaptureHelper(const std::wstring &aBlockName) {
  try {
    return TCaptureHelper(aBlockName).Run();
  } catch (const std::exception &) {
    // The program sees the helper end and starts another when it needs one.
    TraceDroppedError();
    return 1;
  }
}
