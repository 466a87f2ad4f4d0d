#include "app/PageSaver.h"

#include "shared/Registry.h"
#include "shared/Trace.h"

#include <stdexcept>

namespace {

std::uint64_t ContentId(const TClipboardState &aState) {
  return aState ? aState().ContentId() : 0;
}

constexpr const wchar_t *KeepPagesValue = L"KeepPages";

} // namespace

TPageSaver::TPageSaver(TTake aTake, std::wstring aPagesFile, std::wstring aHistoryFile,
                       bool aSavedAlready, TWndProcFilter &aWindow)
    : fTake(std::move(aTake)), fPagesFile(std::move(aPagesFile)),
      fHistoryFile(std::move(aHistoryFile)), fWindow(aWindow),
      fFilter(MakeMessageFilter([this](TMessage aMessage) {
        if (aMessage.Msg == WM_TIMER && aMessage.WParam == TimerID) {
          OnTimer();
        } else if (aMessage.Msg == WM_CLIPBOARDUPDATE) {
          fChecksLeft = ChecksAfterChange;
          if (!fArmed)
            Arm(CheckInterval);
        }
      })) {
  if (aSavedAlready)
    fSaved = ContentOf(fTake());
  fWindow.AddFilter(fFilter);
  if (!aSavedAlready)
    Arm(CheckInterval);
}

TPageSaver::~TPageSaver() {
  ::KillTimer(fWindow.Handle(), TimerID);
  fWindow.RemoveFilter(fFilter);
  Collect(true);
}

// A snapshot is never changed, so the same content ids mean the same
// content; only ids are kept, so that what was written is not held in
// memory (a page packed since would otherwise be kept twice).
TPageSaver::TWritten TPageSaver::ContentOf(const TSavedPages &aPages) {
  TWritten written;
  written.ActivePage = aPages.ActivePage;
  for (const TClipboardState &page : aPages.Pages)
    written.Pages.push_back(ContentId(page));
  for (const TClipboardState &entry : aPages.History)
    written.History.push_back(ContentId(entry));
  return written;
}

bool TPageSaver::Changed(const TSavedPages &aNow) const {
  return !fSaved || !(*fSaved == ContentOf(aNow));
}

void TPageSaver::Arm(DWORD aDelay) {
  CheckWin32(::SetTimer(fWindow.Handle(), TimerID, aDelay, nullptr) != 0, "SetTimer");
  fArmed = true;
}

// A save that runs is looked at again until it has ended; a change within
// the gap after the last save waits for its end.
void TPageSaver::OnTimer() {
  ::KillTimer(fWindow.Handle(), TimerID);
  fArmed = false;
  if (!Collect(false)) {
    Arm(CheckInterval);
    return;
  }
  const DWORD sinceStart = ::GetTickCount() - fLastStart;
  if (fStartedOnce && sinceStart < MinimumGap) {
    Arm(MinimumGap - sinceStart);
    return;
  }
  TSavedPages now = fTake();
  if (Changed(now)) {
    StartWorker(std::move(now));
    Arm(CheckInterval);
  } else if (fChecksLeft > 0) {
    --fChecksLeft;
    Arm(CheckInterval);
  }
}

void TPageSaver::StartWorker(TSavedPages aPages) {
  fWriting = aPages;
  fWorkerDone = false;
  fWorkerError = nullptr;
  fLastStart = ::GetTickCount();
  fStartedOnce = true;
  fWorker = std::thread([this, pages = std::move(aPages)]() mutable {
    try {
      PageStore::Save(pages, fPagesFile, fHistoryFile);
    } catch (...) {
      fWorkerError = std::current_exception();
    }
    // The handles go here, off the main thread: the last one of a page
    // that left the model frees its data.
    pages = TSavedPages();
    fWorkerDone.store(true, std::memory_order_release);
  });
}

bool TPageSaver::Collect(bool aWait) {
  if (!fWorker.joinable())
    return true;
  if (!aWait && !fWorkerDone.load(std::memory_order_acquire))
    return false;
  fWorker.join();
  if (fWorkerError) {
    try {
      std::rethrow_exception(fWorkerError);
    } catch (...) {
      // Tried again at the next change or at exit; the old files are whole.
      TraceDroppedError();
    }
  } else {
    fSaved = ContentOf(*fWriting);
    ++fSavesDone;
  }
  fWriting.reset();
  return true;
}

void TPageSaver::SaveNow() {
  Collect(true);
  TSavedPages now = fTake();
  if (!Changed(now))
    return;
  StartWorker(std::move(now));
  fWorker.join();
  const std::exception_ptr error = fWorkerError;
  if (!error) {
    fSaved = ContentOf(*fWriting);
    ++fSavesDone;
  }
  fWriting.reset();
  if (error)
    std::rethrow_exception(error);
}

bool KeepPagesSetting(const std::wstring &aAppKey) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  const LSTATUS status = ::RegGetValueW(HKEY_CURRENT_USER, aAppKey.c_str(), KeepPagesValue,
                                        RRF_RT_REG_DWORD, nullptr, &value, &size);
  return status == ERROR_SUCCESS && value != 0;
}

void SetKeepPagesSetting(const std::wstring &aAppKey, bool aValue) {
  TRegistryKey key = Registry::OpenCurrentUserKey(aAppKey, true);
  if (!key)
    throw std::runtime_error("Cannot open the registry key of the settings");
  const DWORD value = aValue ? 1 : 0;
  const LSTATUS status = ::RegSetValueExW(key.Get(), KeepPagesValue, 0, REG_DWORD,
                                          reinterpret_cast<const BYTE *>(&value), sizeof(value));
  if (status != ERROR_SUCCESS)
    throw std::runtime_error(LastErrorText("RegSetValueExW", static_cast<DWORD>(status)));
}
