#include "app/model/PageModel.h"

#include "shared/Trace.h"

#include "clipboard/ClipboardSession.h"

#include <cstring>
#include <stdexcept>

namespace {

TClipboardState EmptyState() {
  return TAutoPtr::Make(std::make_unique<TClipboardStateContainer>());
}

bool HasFormats(const TClipboardState &aState) {
  return aState && aState().Count() > 0;
}

void EmptySystemClipboard() {
  TClipboardSession session;
  CheckWin32(::EmptyClipboard() != FALSE, "EmptyClipboard");
}

UINT RegisteredFormat(const wchar_t *aName) {
  return ::RegisterClipboardFormatW(aName);
}

// Password managers mark what must not be kept with these formats; the
// clipboard must be open.
bool ClipboardHoldsSecret() {
  static const UINT exclude = RegisteredFormat(L"ExcludeClipboardContentFromMonitorProcessing");
  static const UINT viewerIgnore = RegisteredFormat(L"Clipboard Viewer Ignore");
  static const UINT history = RegisteredFormat(L"CanIncludeInClipboardHistory");
  if ((exclude && ::IsClipboardFormatAvailable(exclude)) ||
      (viewerIgnore && ::IsClipboardFormatAvailable(viewerIgnore)))
    return true;
  if (!history || !::IsClipboardFormatAvailable(history))
    return false;
  const HANDLE handle = ::GetClipboardData(history);
  if (!handle || ::GlobalSize(handle) < sizeof(DWORD))
    return false;
  // A marker that cannot be read is taken as a refusal: never keep a password.
  try {
    TGlobalLock lock(handle);
    DWORD allowed = 1;
    std::memcpy(&allowed, lock.Data(), sizeof(allowed));
    return allowed == 0;
  } catch (const std::runtime_error &) {
    TraceDroppedError();
    return true;
  }
}

} // namespace

TPageModel::TPageModel(TPageModelView &aView) : fView(aView) {}

void TPageModel::CreatePages() {
  for (TClipboardState &page : fPages)
    page = EmptyState();
}

const TClipboardState &TPageModel::Page(int aIndex) const {
  if (aIndex < 0 || aIndex >= PageCount)
    throw std::out_of_range("Page index out of range");
  return fPages[static_cast<std::size_t>(aIndex)];
}

const TClipboardState &TPageModel::ShownState() const {
  if (fActiveHistoryPage < 0)
    return fHistory.at(fHistory.size() - static_cast<std::size_t>(-fActiveHistoryPage));
  return Page(fActivePage);
}

// The ignore flag swallows only the notification of this change: the
// sequence number tells it apart from a later copy, and from the case where
// the change never happened because the clipboard could not be opened.
void TPageModel::PutOnClipboard(const TClipboardState &aState) {
  // A copy still waiting for a busy clipboard is overwritten by this change,
  // so its retry must not record our own content as a copy.
  fRetriesLeft = 0;
  fHistoryIgnoreChange = true;
  fOwnChangeSequence = ::GetClipboardSequenceNumber();
  try {
    if (HasFormats(aState))
      RestoreClipboardState(aState);
    else
      EmptySystemClipboard();
  } catch (const EClipboardOpenError &) {
    throw;
  } catch (...) {
    // The clipboard was changed part way; that change is still our own.
    fOwnChangeSequence = ::GetClipboardSequenceNumber();
    throw;
  }
  fOwnChangeSequence = ::GetClipboardSequenceNumber();
}

void TPageModel::SetActivePage(int aValue) {
  const TClipboardState &page = Page(aValue);
  if (fActiveHistoryPage < 0)
    fActiveHistoryPage = 0;
  PutOnClipboard(page);
  fActivePage = aValue;
  try {
    fView.CheckPageMenuItem(aValue);
  } catch (const std::exception &) {
    // The tray's check mark is cosmetic; the switch has happened.
    TraceDroppedError();
  }
  fView.ShowPageAnnounce();
}

void TPageModel::SetActiveHistoryPage(int aValue) {
  if (aValue > 0 || aValue < -static_cast<int>(fHistory.size()))
    return;
  fActiveHistoryPage = aValue;
  if (aValue == 0) {
    PutOnClipboard(Page(fActivePage));
    fView.ShowPageAnnounce();
    return;
  }
  PutOnClipboard(fHistory[fHistory.size() - static_cast<std::size_t>(-aValue)]);
  fView.ShowHistoryPageAnnounce();
}

void TPageModel::SetListenerEnabled(bool aValue) {
  if (aValue == fListenerEnabled)
    return;
  fListenerEnabled = aValue;
  if (!aValue) {
    fRetriesLeft = 0;
    fView.ShowInfo(L"Private mode", L"Alt+Win+E to disable", L"", L"Private", 0xFFED3B45, 4000);
    return;
  }
  EmptySystemClipboard();
  fView.ShowInfo(L"Normal mode", L"Alt+Win+E to enable private mode", L"", L"Enabled", 0xFF2DC022,
                 4000);
}

void TPageModel::ClipboardChanged() {
  const DWORD sequence = ::GetClipboardSequenceNumber();
  if (fHistoryIgnoreChange) {
    fHistoryIgnoreChange = false;
    if (sequence == fOwnChangeSequence) {
      fLastHandledSequence = sequence;
      return;
    }
  }
  // A second notification of a state already handled (our own change seen
  // late, after a copy that was recorded first) records nothing.
  if (sequence != 0 && sequence == fLastHandledSequence)
    return;
  if (!fListenerEnabled) {
    fRetriesLeft = 0;
    return;
  }
  StartCapture(TCaptureKind::ckCopy);
}

void TPageModel::CaptureInitialClipboard() {
  StartCapture(TCaptureKind::ckInitial);
}

// A newer capture replaces one still waiting for a busy clipboard.
void TPageModel::StartCapture(TCaptureKind aKind) {
  fPendingCapture = aKind;
  fRetriesLeft = CaptureRetryLimit;
  RecordClipboard();
}

void TPageModel::RetryCapture() {
  if (fRetriesLeft <= 0 || !fListenerEnabled) {
    fRetriesLeft = 0;
    return;
  }
  RecordClipboard();
}

// Records the clipboard into the active page; a copy moves the page's old
// content to the history. A busy clipboard leaves page and history alone and
// asks for a retry; secrets are never recorded.
void TPageModel::RecordClipboard() {
  if (!Clipboard().TryOpen(ClipboardOpenPatience)) {
    if (--fRetriesLeft > 0)
      fView.ScheduleCaptureRetry(CaptureRetryDelay);
    return;
  }
  fRetriesLeft = 0;
  struct TCloser {
    ~TCloser() { Clipboard().Close(); }
  } closer;
  fLastHandledSequence = ::GetClipboardSequenceNumber();
  if (ClipboardHoldsSecret())
    return;
  TClipboardState &page = fPages[static_cast<std::size_t>(fActivePage)];
  const bool copy = fPendingCapture == TCaptureKind::ckCopy;
  TClipboardState captured = CaptureClipboardState(copy);
  if (copy && HasFormats(page))
    fHistory.push_back(page);
  page = std::move(captured);
  while (fHistory.size() > static_cast<std::size_t>(HistoryLimit))
    fHistory.erase(fHistory.begin());
}
