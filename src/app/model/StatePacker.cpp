#include "app/model/StatePacker.h"

#include "shared/Handles.h"
#include "shared/Trace.h"
#include "shared/WindowClass.h"

#include <algorithm>

namespace {

constexpr const wchar_t *WindowClass = L"PagekeepStatePacker";
constexpr UINT PackedMessage = WM_APP + 1;

} // namespace

TStatePacker::TStatePacker(TPacked aPacked) : fPacked(std::move(aPacked)) {
  RegisterWindowClass(WindowClass, &TWindowBinding<TStatePacker>::WindowProc);
  CheckWin32(::CreateWindowExW(0, WindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               ::GetModuleHandleW(nullptr), this) != nullptr,
             "CreateWindowExW");
  fWorker = std::thread([this] { Work(); });
}

TStatePacker::~TStatePacker() {
  {
    const std::lock_guard<std::mutex> lock(fLock);
    fStop = true;
  }
  fWake.notify_one();
  fWorker.join();
}

void TStatePacker::Pack(const TClipboardState &aState) {
  if (!aState || Handed(aState))
    return;
  fHanded.push_back(aState.Get());
  {
    const std::lock_guard<std::mutex> lock(fLock);
    fQueue.push_back(aState);
  }
  fWake.notify_one();
}

void TStatePacker::Hold() {
  const std::lock_guard<std::mutex> lock(fLock);
  fHeld = true;
}

void TStatePacker::Release() {
  {
    const std::lock_guard<std::mutex> lock(fLock);
    fHeld = false;
  }
  fWake.notify_one();
}

// Worker: false when the packer stops.
bool TStatePacker::WaitWhileHeld() {
  std::unique_lock<std::mutex> lock(fLock);
  fWake.wait(lock, [this] { return fStop.load() || !fHeld; });
  return !fStop;
}

bool TStatePacker::Handed(const TClipboardState &aState) const {
  return std::find(fHanded.begin(), fHanded.end(), aState.Get()) != fHanded.end();
}

bool TStatePacker::TakeJob(TClipboardState &aJob) {
  std::unique_lock<std::mutex> lock(fLock);
  fWake.wait(lock, [this] { return fStop.load() || !fQueue.empty(); });
  if (fStop)
    return false;
  aJob = std::move(fQueue.front());
  fQueue.pop_front();
  return true;
}

void TStatePacker::Work() {
  try {
    // Packing must not take the processor from the program's own thread,
    // which answers the hotkeys.
    CheckWin32(::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL) != 0,
               "SetThreadPriority");
  } catch (const std::exception &) {
    // At normal priority the packing still works.
    TraceDroppedError();
  }
  TClipboardState job;
  while (TakeJob(job)) {
    TClipboardState packed;
    try {
      // Held by this job alone: its slot has moved on, so packing it is
      // wasted (a burst of page switches would otherwise queue up).
      if (WaitWhileHeld() && job.UseCount() > 1)
        packed = TClipboardStateContainer::Pack(job, [this] { return WaitWhileHeld(); });
    } catch (const std::exception &) {
      // That snapshot stays unpacked; it is still whole.
      TraceDroppedError();
    }
    {
      const std::lock_guard<std::mutex> lock(fLock);
      fResults.emplace_back(std::move(job), std::move(packed));
    }
    ++fFinished;
    // A post that fails (a full queue) only delays these results to the
    // next one's message, which hands back all that are waiting.
    ::PostMessageW(fWindow.Get(), PackedMessage, 0, 0);
  }
}

LRESULT TStatePacker::HandleMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  if (aMsg != PackedMessage)
    return ::DefWindowProcW(fWindow.Get(), aMsg, aWParam, aLParam);
  HandBack();
  return 0;
}

void TStatePacker::HandBack() {
  std::vector<std::pair<TClipboardState, TClipboardState>> results;
  {
    const std::lock_guard<std::mutex> lock(fLock);
    results.swap(fResults);
  }
  for (const auto &[original, packed] : results) {
    fHanded.erase(std::remove(fHanded.begin(), fHanded.end(), original.Get()), fHanded.end());
    fPacked(original, packed);
  }
}
