#include "app/capture/SystemPageClipboard.h"

#include "shared/Paths.h"
#include "shared/Trace.h"
#include "shared/WindowClass.h"

#include "app/capture/CaptureStreams.h"
#include "clipboard/ClipboardSession.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <new>
#include <stdexcept>

using namespace CaptureShared;

namespace {

constexpr const wchar_t *WindowClass = L"PagekeepCaptureClient";
constexpr UINT HelperDoneMessage = WM_APP + 1;
constexpr UINT HelperEndedMessage = WM_APP + 2;
constexpr UINT OwnerAnsweredMessage = WM_APP + 3;
constexpr UINT CollectedMessage = WM_APP + 4;
constexpr UINT_PTR TimeCheckTimer = 1;
constexpr UINT_PTR StartHelperTimer = 2;
constexpr UINT StartHelperDelay = 300;
// How often a capture's time is checked, and how long a read may last
// before its clipboard owner is pinged and, once a command waits behind it,
// may be cut short.
constexpr UINT TimeCheckPeriod = 15;
constexpr DWORD HurriedRenderGrace = 50;
// A clipboard owner that leaves a ping unanswered this long is stuck in a
// render; a busy machine can delay a working program's answer for a while.
constexpr DWORD OwnerStuckAfter = 200;
// A helper that has not even opened the clipboard by then is taken as hung.
constexpr DWORD RequestLimit = static_cast<DWORD>(HoldLimit.count()) + 2000;
// The page switch's wait for a clipboard another program holds; short,
// because the program's thread must not stall: the model tries again later.
constexpr std::chrono::milliseconds PutPatience{20};
// How long the clipboard's owner may take to answer before a page switch.
constexpr UINT OwnerAnswerTime = 50;
// A copy of this many bytes or more is taken over on a thread of its own:
// copying out of shared memory into fresh memory runs at about 100 MB/s
// under Wine, so half a MiB is already several milliseconds, and a copy
// of 50 MiB would stop the program's thread for half a second.
constexpr std::size_t CollectAsideFrom = 512 * 1024;

std::wstring FormatDisplayName(UINT aFormat) {
  std::wstring name = aFormat <= 0xFFFF
                          ? TClipboardFormatState::FormatName(static_cast<WORD>(aFormat))
                          : std::wstring();
  if (name.empty())
    name = StandardFormatName(aFormat);
  return name.empty() ? L"Format " + std::to_wstring(aFormat) : name;
}

// EmptyClipboard sends WM_DESTROYCLIPBOARD to the clipboard's owner and waits
// for the answer; an owner that does not answer (hung in a render, say) would
// stop this thread with it. Such an owner is taken as holding the clipboard.
bool ClipboardOwnerAnswers() {
  const HWND owner = ::GetClipboardOwner();
  // An owner gone with its program is not asked anything.
  if (!owner || !::IsWindow(owner))
    return true;
  DWORD processId = 0;
  ::GetWindowThreadProcessId(owner, &processId);
  if (processId == ::GetCurrentProcessId())
    return true;
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(owner, WM_NULL, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, OwnerAnswerTime,
                               &result) != 0;
}

// The clipboard owner's answer to a ping comes back on this thread; it is
// posted to the client's window, which may be gone by then.
void CALLBACK OwnerAnswered(HWND, UINT, ULONG_PTR aClientWindow, LRESULT) {
  ::PostMessageW(reinterpret_cast<HWND>(aClientWindow), OwnerAnsweredMessage, 0, 0);
}

} // namespace

// The mappings a capture's formats were written into, each opened and
// mapped once, when its first format is taken.
class TSystemPageClipboard::TSegmentReader {
public:
  TSegmentReader(std::wstring aBlockName, std::int32_t aRequest)
      : fBlockName(std::move(aBlockName)), fRequest(aRequest) {}

  struct TSpan {
    // False when the mapping is not there (nothing of it can be read).
    bool Exists = false;
    // Null when it could not be mapped: no room in the address space.
    std::uint8_t *Data = nullptr;
    std::size_t Size = 0;
  };
  TSpan Segment(std::int32_t aIndex);

private:
  struct TSegment {
    TKernelHandle Mapping;
    TMappedView View;
    std::size_t Size = 0;
  };

  std::wstring fBlockName;
  std::int32_t fRequest;
  std::map<std::int32_t, TSegment> fSegments;
};

TSystemPageClipboard::TSegmentReader::TSpan
TSystemPageClipboard::TSegmentReader::Segment(std::int32_t aIndex) {
  auto found = fSegments.find(aIndex);
  if (found == fSegments.end()) {
    TKernelHandle mapping(::OpenFileMappingW(
        FILE_MAP_READ, FALSE, SegmentMappingName(fBlockName, fRequest, aIndex).c_str()));
    if (!mapping)
      return {};
    found = fSegments.emplace(aIndex, TSegment{std::move(mapping), {}, 0}).first;
  }
  TSegment &segment = found->second;
  if (!segment.View) {
    segment.View.Reset(::MapViewOfFile(segment.Mapping.Get(), FILE_MAP_READ, 0, 0, 0));
    MEMORY_BASIC_INFORMATION region{};
    if (segment.View &&
        ::VirtualQuery(segment.View.Get(), &region, sizeof(region)) == sizeof(region))
      segment.Size = region.RegionSize;
    else
      segment.View.Reset();
  }
  return {true, static_cast<std::uint8_t *>(segment.View.Get()), segment.Size};
}

// One capture's formats taken over from the helper's mappings. The slots
// are copied out of the block and every mapping they name is opened here
// first, so that the taking needs neither the block nor the helper any
// more: a mapping stays while a view of it is open.
struct TSystemPageClipboard::TCollection {
  struct TEntry {
    UINT Format = 0;
    std::int32_t State = ssPending;
    std::int32_t LeftOut = 0;
    std::int32_t Segment = 0;
    std::size_t Offset = 0;
    std::size_t Size = 0;
    std::unique_ptr<TClipboardFormatState> Taken;
    TLeftOutReason Reason = TLeftOutReason::lrUnreadable;
    // No room for the view or the data: taken again on the program's
    // thread once the history has given memory back.
    bool NeedsMemory = false;
  };

  TCollection(std::wstring aBlockName, std::int32_t aRequest, bool aCut)
      : Segments(std::move(aBlockName), aRequest), Cut(aCut) {}

  TSegmentReader Segments;
  std::vector<TEntry> Entries;
  bool Cut;
  std::size_t Bytes = 0;
  std::atomic<bool> Done{false};

  static void TakeEntry(TEntry &aEntry, TSegmentReader &aSegments);
};

// Any thread, one at a time per reader.
void TSystemPageClipboard::TCollection::TakeEntry(TEntry &aEntry, TSegmentReader &aSegments) {
  aEntry.NeedsMemory = false;
  aEntry.Reason = TLeftOutReason::lrUnreadable;
  try {
    const TSegmentReader::TSpan segment = aSegments.Segment(aEntry.Segment);
    if (!segment.Exists)
      return;
    if (!segment.Data) {
      aEntry.NeedsMemory = true;
      return;
    }
    if (aEntry.Offset > segment.Size || aEntry.Size > segment.Size - aEntry.Offset)
      return;
    TSpanStream stream(segment.Data + aEntry.Offset, aEntry.Size);
    aEntry.Taken = TClipboardStateContainer::LoadFormatFromStream(stream);
  } catch (const std::bad_alloc &) {
    // No room for the data: the history gives some back, and the format is
    // read again.
    TraceDroppedError();
    aEntry.NeedsMemory = true;
  } catch (const std::exception &) {
    TraceDroppedError();
  }
}

// A wait of the thread pool that posts a message to the client's window;
// unregistered (waiting for a callback that runs) when it goes.
class TSystemPageClipboard::TRegisteredWait {
public:
  TRegisteredWait(HANDLE aObject, HWND aWindow, UINT aMessage, unsigned aGeneration, ULONG aFlags)
      : fWindow(aWindow), fMessage(aMessage), fGeneration(aGeneration) {
    CheckWin32(::RegisterWaitForSingleObject(&fWait, aObject, Signalled, this, INFINITE, aFlags) !=
                   FALSE,
               "RegisterWaitForSingleObject");
  }
  TRegisteredWait(const TRegisteredWait &) = delete;
  TRegisteredWait &operator=(const TRegisteredWait &) = delete;
  ~TRegisteredWait() { ::UnregisterWaitEx(fWait, INVALID_HANDLE_VALUE); }

private:
  static void CALLBACK Signalled(void *aContext, BOOLEAN) {
    const auto *self = static_cast<TRegisteredWait *>(aContext);
    ::PostMessageW(self->fWindow, self->fMessage, self->fGeneration, 0);
  }

  HANDLE fWait = nullptr;
  HWND fWindow;
  UINT fMessage;
  unsigned fGeneration;
};

TSystemPageClipboard::TSystemPageClipboard(std::wstring aHelperPath)
    : fHelperPath(aHelperPath.empty() ? ModulePath() : std::move(aHelperPath)) {
  CreateMessageWindow();
  // Started a moment later, once the program's thread is idle (at
  // start-up, in the pause after the update check), so that the first copy
  // does not wait for it: starting a process takes the program's thread
  // 40-60 ms under Wine, which would otherwise delay the start-up card and
  // the tray icon. A capture before then starts it itself.
  CheckWin32(::SetTimer(fWindow.Get(), StartHelperTimer, StartHelperDelay, nullptr) != 0,
             "SetTimer");
}

void TSystemPageClipboard::StartHelperSoon() {
  ::KillTimer(fWindow.Get(), StartHelperTimer);
  if (fProcess || fInFlight)
    return;
  try {
    StartHelper();
  } catch (const std::exception &) {
    // Tried again by the first copy, which reports what stops it.
    TraceDroppedError();
    StopHelper();
  }
}

TSystemPageClipboard::~TSystemPageClipboard() {
  fListener = nullptr;
  StopHelper();
  if (fCollector.joinable())
    fCollector.join();
}

void TSystemPageClipboard::CreateMessageWindow() {
  RegisterWindowClass(WindowClass, &TWindowBinding<TSystemPageClipboard>::WindowProc);
  CheckWin32(::CreateWindowExW(0, WindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               ::GetModuleHandleW(nullptr), this) != nullptr,
             "CreateWindowExW");
}

LRESULT TSystemPageClipboard::HandleMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  try {
    if (aMsg == HelperDoneMessage && aWParam == fGeneration) {
      HelperDone();
      return 0;
    }
    if (aMsg == HelperEndedMessage && aWParam == fGeneration) {
      HelperEnded();
      return 0;
    }
    if (aMsg == CollectedMessage) {
      CollectionTaken();
      return 0;
    }
    if (aMsg == OwnerAnsweredMessage) {
      OwnerAnsweredPing();
      return 0;
    }
    if (aMsg == WM_TIMER && aWParam == StartHelperTimer) {
      StartHelperSoon();
      return 0;
    }
    if (aMsg == WM_TIMER && aWParam == TimeCheckTimer) {
      CheckTime();
      return 0;
    }
  } catch (...) {
    // The model's own errors stay in the program; the next copy starts over.
    TraceDroppedError();
    return 0;
  }
  return ::DefWindowProcW(fWindow.Get(), aMsg, aWParam, aLParam);
}

// Helper lifetime

void TSystemPageClipboard::StartHelper() {
  // Numbered across the process: each helper has a hand-over of its own.
  static std::atomic<unsigned> helpers{0};
  fGeneration = ++helpers;
  fBlockName = L"Local\\PagekeepCapture." + std::to_wstring(::GetCurrentProcessId()) + L"." +
               std::to_wstring(fGeneration);
  fMapping.Reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(TBlock), fBlockName.c_str()));
  CheckWin32(static_cast<bool>(fMapping), "CreateFileMappingW");
  fView.Reset(::MapViewOfFile(fMapping.Get(), FILE_MAP_WRITE, 0, 0, sizeof(TBlock)));
  CheckWin32(static_cast<bool>(fView), "MapViewOfFile");
  fBlock = new (fView.Get()) TBlock{};
  fBlock->ParentId.store(::GetCurrentProcessId());
  fWake.Reset(::CreateEventW(nullptr, FALSE, FALSE, WakeEventName(fBlockName).c_str()));
  fDone.Reset(::CreateEventW(nullptr, FALSE, FALSE, DoneEventName(fBlockName).c_str()));
  CheckWin32(fWake && fDone, "CreateEventW");
  std::wstring commandLine =
      L"\"" + fHelperPath + L"\" " + HelperArgument + L" \"" + fBlockName + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  CheckWin32(::CreateProcessW(fHelperPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                              nullptr, nullptr, &startup, &process) != FALSE,
             "CreateProcessW");
  ::CloseHandle(process.hThread);
  fProcess.Reset(process.hProcess);
  fProcessId = process.dwProcessId;
  fDoneWait = std::make_unique<TRegisteredWait>(fDone.Get(), fWindow.Get(), HelperDoneMessage,
                                                fGeneration, WT_EXECUTEDEFAULT);
  fExitWait = std::make_unique<TRegisteredWait>(fProcess.Get(), fWindow.Get(), HelperEndedMessage,
                                                fGeneration, WT_EXECUTEONLYONCE);
}

void TSystemPageClipboard::StopHelper() {
  ::KillTimer(fWindow.Get(), TimeCheckTimer);
  fDoneWait.reset();
  fExitWait.reset();
  if (fProcess)
    ::TerminateProcess(fProcess.Get(), 1);
  fProcess.Reset();
  fProcessId = 0;
  fWake.Reset();
  fDone.Reset();
  fBlock = nullptr;
  fView.Reset();
  fMapping.Reset();
}

// Captures

void TSystemPageClipboard::BeginCapture(bool aDetectApplication) {
  if (fInFlight)
    throw std::logic_error("A capture is already running");
  if (!fProcess)
    StartHelper();
  fApplication = aDetectApplication ? GetActiveApplication() : TActiveApplication();
  fBlock->FormatCount.store(-1);
  fBlock->Opened.store(0);
  fBlock->InRender.store(0);
  fBlock->Status.store(stBusy);
  fBlock->Request.store(++fRequest);
  fBlock->Command.store(cmCapture);
  fInFlight = true;
  fHurried = false;
  fOwnerPingOutstanding = false;
  fRequestTick = ::GetTickCount();
  CheckWin32(::SetEvent(fWake.Get()) != FALSE, "SetEvent");
  CheckWin32(::SetTimer(fWindow.Get(), TimeCheckTimer, TimeCheckPeriod, nullptr) != 0, "SetTimer");
}

void TSystemPageClipboard::HurryCapture() {
  if (!fInFlight)
    return;
  fHurried = true;
  CheckTime();
}

void TSystemPageClipboard::HelperDone() {
  if (!fInFlight || fCutResult || fCollection || fBlock->Done.load() != fRequest)
    return;
  TCaptureResult result;
  result.Status = static_cast<TCaptureStatus>(fBlock->Status.load());
  result.Sequence = fBlock->Sequence.load();
  std::unique_ptr<TCollection> collection;
  if (result.Status == TCaptureStatus::csCaptured)
    collection = BeginCollection(false);
  // The helper frees its mappings: those of this copy stay open here.
  fBlock->Command.store(cmRelease);
  ::SetEvent(fWake.Get());
  if (collection && collection->Bytes >= CollectAsideFrom) {
    // The time check stays on: it also sees the collection done should
    // the posted message be lost.
    fCollection = std::move(collection);
    fCollectedResult = std::move(result);
    fCollector = std::thread([collection = fCollection.get(), window = fWindow.Get()] {
      TakeFormats(*collection);
      collection->Done.store(true);
      ::PostMessageW(window, CollectedMessage, 0, 0);
    });
    return;
  }
  ::KillTimer(fWindow.Get(), TimeCheckTimer);
  if (collection) {
    TakeFormats(*collection);
    result.State = FinishCollection(*collection);
  }
  fInFlight = false;
  Deliver(std::move(result));
}

void TSystemPageClipboard::CollectionTaken() {
  if (!fCollection || !fCollection->Done.load())
    return;
  fCollector.join();
  ::KillTimer(fWindow.Get(), TimeCheckTimer);
  const std::unique_ptr<TCollection> collection = std::move(fCollection);
  TCaptureResult result = std::move(*fCollectedResult);
  fCollectedResult.reset();
  fInFlight = false;
  result.State = FinishCollection(*collection);
  Deliver(std::move(result));
}

void TSystemPageClipboard::CheckTime() {
  if (fCollection) {
    CollectionTaken();
    return;
  }
  if (!fInFlight || fCutResult)
    return;
  if (fBlock->InRender.load() &&
      ::GetTickCount() - fBlock->RenderStartTick.load() >= HurriedRenderGrace)
    PingClipboardOwner();
  if (TimeIsUp())
    CutShort();
}

// Whether a read that takes a while is a program stuck in rendering or the
// system copying data (a large picture takes a while to reach another
// process under Wine) is told by the clipboard's owner: only it can be
// rendering, and while it renders it answers nothing. It is asked again and
// again while the read lasts, without waiting; the answer comes as a
// message.
void TSystemPageClipboard::PingClipboardOwner() {
  if (fOwnerPingOutstanding)
    return;
  const HWND owner = ::GetClipboardOwner();
  if (!owner)
    return;
  const DWORD tick = ::GetTickCount();
  if (::SendMessageCallbackW(owner, WM_NULL, 0, 0, OwnerAnswered,
                             reinterpret_cast<ULONG_PTR>(fWindow.Get()))) {
    fOwnerPingOutstanding = true;
    fOwnerPingTick = tick;
    fOwnerPingRender = fBlock->RenderNumber.load();
  }
}

// An owner that answered was not rendering when the ping came: the read it
// came during counts against the budget only from then on.
void TSystemPageClipboard::OwnerAnsweredPing() {
  fOwnerPingOutstanding = false;
  if (!fInFlight || !fBlock->InRender.load() || fBlock->RenderNumber.load() != fOwnerPingRender)
    return;
  fBlock->AnsweredPingTick.store(fOwnerPingTick);
  fBlock->AnsweredRender.store(fOwnerPingRender);
}

bool TSystemPageClipboard::TimeIsUp() const {
  const DWORD now = ::GetTickCount();
  if (now - fRequestTick >= RequestLimit)
    return true;
  if (fBlock->Opened.load() &&
      now - fBlock->OpenedTick.load() >= static_cast<DWORD>(HoldLimit.count()))
    return true;
  if (!fBlock->InRender.load())
    return false;
  const DWORD start = fBlock->RenderStartTick.load();
  const DWORD rendering = now - start;
  // Without an owner, or with one that answers, nothing is stuck in a
  // render: the read goes on within the budget.
  if (fHurried && rendering >= HurriedRenderGrace && fOwnerPingOutstanding &&
      now - fOwnerPingTick >= OwnerStuckAfter)
    return true;
  const DWORD counted = CountedRenderTime(*fBlock, fBlock->RenderNumber.load(), start, now,
                                          ::GetClipboardOwner() != nullptr);
  return fBlock->RenderSpent.load() + counted >= static_cast<DWORD>(RenderBudget.count());
}

// What was read is taken while the helper still holds it; then the helper is
// ended, and its end frees the clipboard.
void TSystemPageClipboard::CutShort() {
  ::KillTimer(fWindow.Get(), TimeCheckTimer);
  TCaptureResult result;
  result.Sequence = fBlock->Sequence.load();
  if (!fBlock->Opened.load())
    result.Status = TCaptureStatus::csBusy;
  else if (fBlock->FormatCount.load() < 0)
    // Hung on the do-not-record marker: a marker that cannot be read refuses.
    result.Status = TCaptureStatus::csSecret;
  else {
    result.Status = TCaptureStatus::csCaptured;
    const std::unique_ptr<TCollection> collection = BeginCollection(true);
    TakeFormats(*collection);
    result.State = FinishCollection(*collection);
  }
  fCutResult = std::move(result);
  ::TerminateProcess(fProcess.Get(), 1);
}

void TSystemPageClipboard::HelperEnded() {
  // What the helper wrote is open here: its end does not stop the taking.
  if (fCollection) {
    StopHelper();
    CheckWin32(::SetTimer(fWindow.Get(), TimeCheckTimer, TimeCheckPeriod, nullptr) != 0,
               "SetTimer");
    return;
  }
  std::optional<TCaptureResult> result = std::move(fCutResult);
  fCutResult.reset();
  const bool wasInFlight = fInFlight;
  if (wasInFlight && !result) {
    // The helper died on its own: what it had read went with it.
    result = TCaptureResult{};
    result->Status = TCaptureStatus::csBusy;
  }
  StopHelper();
  fInFlight = false;
  if (result)
    Deliver(std::move(*result));
}

void TSystemPageClipboard::Deliver(TCaptureResult aResult) {
  if (fListener)
    fListener->CaptureFinished(std::move(aResult));
}

// Main thread: the slots as the helper left them, every mapping they name
// opened and mapped.
std::unique_ptr<TSystemPageClipboard::TCollection>
TSystemPageClipboard::BeginCollection(bool aCut) {
  auto collection = std::make_unique<TCollection>(fBlockName, fRequest, aCut);
  const int count = fBlock->FormatCount.load();
  collection->Entries.resize(static_cast<std::size_t>(std::max(count, 0)));
  for (int i = 0; i < count; ++i) {
    const TSlot &slot = fBlock->Slots[i];
    TCollection::TEntry &entry = collection->Entries[static_cast<std::size_t>(i)];
    entry.Format = slot.Format.load();
    entry.State = slot.State.load();
    entry.LeftOut = slot.LeftOut.load();
    if (entry.State != ssRead)
      continue;
    entry.Segment = slot.Segment.load();
    entry.Offset = slot.Offset.load();
    entry.Size = slot.Size.load();
    collection->Bytes += entry.Size;
    collection->Segments.Segment(entry.Segment);
  }
  return collection;
}

// Any thread: copies each format read out of its mapping.
void TSystemPageClipboard::TakeFormats(TCollection &aCollection) {
  for (TCollection::TEntry &entry : aCollection.Entries)
    if (entry.State == ssRead)
      TCollection::TakeEntry(entry, aCollection.Segments);
}

// Main thread: the snapshot, in the clipboard's order. A format that found
// no memory is read again after the history has given some back, oldest
// entries first, never this copy.
TClipboardState TSystemPageClipboard::FinishCollection(TCollection &aCollection) {
  auto container = std::make_unique<TClipboardStateContainer>(fApplication);
  for (TCollection::TEntry &entry : aCollection.Entries) {
    if (entry.State == ssRead) {
      while (entry.NeedsMemory) {
        if (!fListener || !fListener->ReleaseMemory()) {
          entry.NeedsMemory = false;
          entry.Reason = TLeftOutReason::lrNoMemory;
          break;
        }
        TCollection::TakeEntry(entry, aCollection.Segments);
      }
      if (entry.Taken)
        container->Add(std::move(entry.Taken));
      else
        container->AddLeftOut({FormatDisplayName(entry.Format), entry.Reason});
    }
    if (entry.LeftOut > 0)
      container->AddLeftOut(
          {FormatDisplayName(entry.Format), static_cast<TLeftOutReason>(entry.LeftOut - 1)});
    else if (entry.State == ssPending && aCollection.Cut)
      container->AddLeftOut({FormatDisplayName(entry.Format), TLeftOutReason::lrRenderTimedOut});
  }
  return TAutoPtr::Make(std::move(container));
}

// Clipboard writes

DWORD TSystemPageClipboard::Put(const TClipboardState &aState) {
  if (!ClipboardOwnerAnswers())
    throw EClipboardOpenError("Cannot open clipboard: its owner does not answer");
  DWORD held = 0;
  HWND ours = nullptr;
  {
    TClipboardSession session(PutPatience);
    try {
      if (aState && aState().Count() > 0)
        RestoreClipboardState(aState);
      else
        CheckWin32(::EmptyClipboard() != FALSE, "EmptyClipboard");
    } catch (const EClipboardOpenError &) {
      throw;
    } catch (const std::exception &) {
      // A format that could not be put back is missing from the clipboard;
      // the switch still happens with the others.
      TraceDroppedError();
    }
    // Read while the clipboard is still ours: a copy by another program
    // right after our change must not be taken for it.
    held = ::GetClipboardSequenceNumber();
    ours = ::GetOpenClipboardWindow();
  }
  // Wine counts the formats it synthesises on closing as one more change.
  // While we still own the clipboard, no other program has copied since,
  // so that number is ours too.
  const DWORD closed = ::GetClipboardSequenceNumber();
  return ours && ::GetClipboardOwner() == ours ? closed : held;
}
