#include "app/capture/CaptureHelper.h"

#include "shared/Trace.h"

#include "app/capture/CaptureRules.h"
#include "app/capture/CaptureShared.h"
#include "app/capture/CaptureStreams.h"
#include "clipboard/ClipboardStateContainer.h"
#include "shared/Handles.h"
#include "shared/Paths.h"

#include <shellapi.h>

#include <memory>
#include <new>
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

// A view of a mapping, unmapped when it goes.
class TView {
public:
  TView(HANDLE aMapping, DWORD aAccess, std::size_t aSize)
      : fData(::MapViewOfFile(aMapping, aAccess, 0, 0, aSize)) {}
  TView(const TView &) = delete;
  TView &operator=(const TView &) = delete;
  ~TView() {
    if (fData)
      ::UnmapViewOfFile(fData);
  }
  void *Data() const noexcept { return fData; }

private:
  void *fData;
};

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
  void Publish(int aIndex, const TClipboardFormatState &aFormat);

  std::wstring fBlockName;
  // Opens the clipboard, so that other programs can see who holds it.
  TWindowHandle fWindow;
  TKernelHandle fMapping;
  std::unique_ptr<TView> fView;
  TBlock *fBlock = nullptr;
  TKernelHandle fWake;
  TKernelHandle fDone;
  TKernelHandle fParent;
  // The mappings of the last capture, until the program has taken them.
  std::vector<TKernelHandle> fPublished;
};

TCaptureHelper::TCaptureHelper(const std::wstring &aBlockName) : fBlockName(aBlockName) {
  fWindow.Reset(::CreateWindowExW(0, L"Static", L"Pagekeep capture", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, ::GetModuleHandleW(nullptr), nullptr));
  CheckWin32(static_cast<bool>(fWindow), "CreateWindowExW");
  fMapping.Reset(::OpenFileMappingW(FILE_MAP_WRITE, FALSE, aBlockName.c_str()));
  CheckWin32(static_cast<bool>(fMapping), "OpenFileMappingW");
  fView = std::make_unique<TView>(fMapping.Get(), FILE_MAP_WRITE, sizeof(TBlock));
  CheckWin32(fView->Data() != nullptr, "MapViewOfFile");
  fBlock = static_cast<TBlock *>(fView->Data());
  fWake.Reset(::OpenEventW(SYNCHRONIZE, FALSE, WakeEventName(aBlockName).c_str()));
  fDone.Reset(::OpenEventW(EVENT_MODIFY_STATE, FALSE, DoneEventName(aBlockName).c_str()));
  fParent.Reset(::OpenProcess(SYNCHRONIZE, FALSE, fBlock->ParentId.load()));
  CheckWin32(fWake && fDone && fParent, "OpenEventW");
}

// Ends with the program that started it.
int TCaptureHelper::Run() {
  const HANDLE waits[] = {fWake.Get(), fParent.Get()};
  while (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
    fPublished.clear();
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
  const DWORD start = ::GetTickCount();
  fBlock->RenderStartTick.store(start);
  fBlock->InRender.store(1);
  const HANDLE handle = ::GetClipboardData(aFormat);
  fBlock->InRender.store(0);
  fBlock->RenderSpent.fetch_add(::GetTickCount() - start);
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
  if (!OpenClipboardWithin(OpenPatience))
    return;
  struct TCloser {
    ~TCloser() { ::CloseClipboard(); }
  } closer;
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
    // Rendered once: the second GetClipboardData inside takes what is there.
    const auto state = handle ? std::make_unique<TClipboardFormatState>(format)
                              : std::make_unique<TClipboardFormatState>(
                                    format, TClipboardFormatState::FormatName(format),
                                    std::vector<std::uint8_t>());
    if (handle && state->Data().empty() && format != CF_BITMAP && format != CF_ENHMETAFILE &&
        ::GlobalSize(static_cast<HGLOBAL>(handle)) > MaxCapturedFormatSize)
      slot.LeftOut.store(Reason(TLeftOutReason::lrTooLarge));
    fBlock->Sequence.store(::GetClipboardSequenceNumber());
    Publish(aIndex, *state);
  } catch (const std::bad_alloc &) {
    leaveOut(TLeftOutReason::lrNoMemory); // handled: the snapshot says it was left out
  } catch (const std::exception &) {
    TraceDroppedError();
    leaveOut(TLeftOutReason::lrUnreadable);
  }
}

// The format's record goes into a mapping of its own at once, so that what
// was read survives a later render that hangs.
void TCaptureHelper::Publish(int aIndex, const TClipboardFormatState &aFormat) {
  TCountingStream counter;
  TClipboardStateContainer::SaveFormatToStream(aFormat, counter);
  const auto size = static_cast<DWORD>(counter.Size());
  const std::wstring name = FormatMappingName(fBlockName, fBlock->Request.load(), aIndex);
  TKernelHandle mapping(
      ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name.c_str()));
  if (!mapping)
    throw std::bad_alloc();
  {
    TView view(mapping.Get(), FILE_MAP_WRITE, size);
    if (!view.Data())
      throw std::bad_alloc();
    TSpanStream stream(view.Data(), size);
    TClipboardStateContainer::SaveFormatToStream(aFormat, stream);
  }
  fPublished.push_back(std::move(mapping));
  TSlot &slot = fBlock->Slots[aIndex];
  slot.Size.store(size);
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
