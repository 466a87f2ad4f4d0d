#include "app/model/PageModel.h"

#include "shared/Trace.h"

#include "clipboard/ClipboardSession.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr std::uint32_t WarningTime = 4000;
// wkMode's value that asks for the other mode.
constexpr int ToggleMode = -1;
constexpr std::uint32_t ModeCardTime = 4000;

TClipboardState EmptyState() {
  return TAutoPtr::Make(std::make_unique<TClipboardStateContainer>());
}

bool HasFormats(const TClipboardState &aState) {
  return aState && aState().Count() > 0;
}

std::wstring ReasonText(TLeftOutReason aReason) {
  switch (aReason) {
  case TLeftOutReason::lrTooLarge:
    return L"too large";
  case TLeftOutReason::lrNoMemory:
    return L"no memory";
  case TLeftOutReason::lrRenderTimedOut:
    return L"not rendered in time";
  case TLeftOutReason::lrUnreadable:
    break;
  }
  return L"unreadable";
}

} // namespace

TPageModel::TPageModel(TPageModelView &aView, TPageModelClipboard &aClipboard)
    : fView(aView), fClipboard(aClipboard),
      fPacker([this](const TClipboardState &aOriginal, const TClipboardState &aPacked) {
        Packed(aOriginal, aPacked);
      }) {
  fClipboard.SetListener(this);
}

TPageModel::~TPageModel() {
  fClipboard.SetListener(nullptr);
}

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

// Commands

void TPageModel::SetActivePage(int aValue) {
  Page(aValue);
  Enqueue({TWorkKind::wkPage, aValue});
}

void TPageModel::StepPage(int aDelta) {
  Enqueue({TWorkKind::wkStepPage, aDelta});
}

void TPageModel::SetActiveHistoryPage(int aValue) {
  Enqueue({TWorkKind::wkHistory, aValue});
}

void TPageModel::StepHistory(int aDelta) {
  Enqueue({TWorkKind::wkStepHistory, aDelta});
}

// Info needs no clipboard: it waits for a copy being read, but not for work
// that waits for a busy clipboard, which may take a minute.
void TPageModel::AnnounceShown() {
  if (fRetryScheduled) {
    RunCommand({TWorkKind::wkInfo});
    return;
  }
  Enqueue({TWorkKind::wkInfo});
}

void TPageModel::SetListenerEnabled(bool aValue) {
  Enqueue({TWorkKind::wkMode, aValue ? 1 : 0});
}

void TPageModel::TogglePrivateMode() {
  Enqueue({TWorkKind::wkMode, ToggleMode});
}

void TPageModel::PutShownTextAlone() {
  Enqueue({TWorkKind::wkTextAlone});
}

void TPageModel::CaptureInitialClipboard() {
  Enqueue({TWorkKind::wkInitial});
}

void TPageModel::ClipboardChanged() {
  const DWORD sequence = fClipboard.SequenceNumber();
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
  if (!fListenerEnabled && fWork.empty())
    return;
  // A newer change: a capture already waiting reads it and starts its
  // patience afresh; the clipboard has just been closed, so try at once.
  const bool copyWaiting = !fWork.empty() && fWork.back().Kind == TWorkKind::wkCopy &&
                           !(fCaptureInFlight && fWork.size() == 1);
  if (!copyWaiting)
    fWork.push_back({TWorkKind::wkCopy});
  ResetBusyWait();
  fRetryScheduled = false;
  if (fCaptureInFlight)
    return;
  Pump();
}

void TPageModel::RetryCapture() {
  fRetryScheduled = false;
  Pump();
}

// The queue

void TPageModel::Enqueue(TWork aWork) {
  fWork.push_back(aWork);
  if (fCaptureInFlight)
    fClipboard.HurryCapture();
  Pump();
}

// Runs the queued work in order until it is empty or waits for a capture or
// for the clipboard. Re-entered from a capture that finishes at once, it
// leaves the work to the outer run.
void TPageModel::Pump() {
  if (fPumping)
    return;
  fPumping = true;
  try {
    while (!fCaptureInFlight && !fRetryScheduled && !fWork.empty())
      if (!RunFirstWork())
        break;
  } catch (...) {
    fPumping = false;
    throw;
  }
  fPumping = false;
  PackIdleSlots();
}

bool TPageModel::UnrecordedChange() {
  const DWORD sequence = fClipboard.SequenceNumber();
  return fListenerEnabled && sequence != 0 && sequence != fLastHandledSequence;
}

// False when the work has to wait.
bool TPageModel::RunFirstWork() {
  const TWork work = fWork.front();
  if (work.Kind == TWorkKind::wkCopy || work.Kind == TWorkKind::wkInitial) {
    if (work.Kind == TWorkKind::wkCopy && !UnrecordedChange()) {
      fWork.pop_front();
      return true;
    }
    fCaptureInFlight = true;
    fView.CaptureUnderWay(true);
    fPacker.Hold();
    try {
      fClipboard.BeginCapture(work.Kind == TWorkKind::wkCopy);
    } catch (const std::exception &) {
      // No helper to read with: tried again as a busy clipboard is.
      TraceDroppedError();
      fCaptureInFlight = false;
      fView.CaptureUnderWay(false);
      fPacker.Release();
      WaitForClipboard();
      return false;
    }
    return true;
  }
  // A copy that another program made before this command, and that its hold
  // on the clipboard kept us from reading, is recorded first.
  if (work.Kind != TWorkKind::wkMode && work.Kind != TWorkKind::wkInfo && UnrecordedChange()) {
    fWork.push_front({TWorkKind::wkCopy});
    return true;
  }
  try {
    RunCommand(work);
  } catch (const EClipboardOpenError &) {
    // handled: another program holds the clipboard; the work is tried again
    WaitForClipboard();
    return false;
  }
  fWork.pop_front();
  ResetBusyWait();
  return true;
}

void TPageModel::RunCommand(const TWork &aWork) {
  switch (aWork.Kind) {
  case TWorkKind::wkPage:
    SwitchPage(aWork.Value);
    break;
  case TWorkKind::wkStepPage:
    SwitchPage(((fActivePage + aWork.Value) % PageCount + PageCount) % PageCount);
    break;
  case TWorkKind::wkHistory:
    StepToHistory(aWork.Value);
    break;
  case TWorkKind::wkStepHistory:
    StepToHistory(fActiveHistoryPage + aWork.Value);
    break;
  case TWorkKind::wkMode:
    SwitchMode(aWork.Value == ToggleMode ? !fListenerEnabled : aWork.Value != 0);
    break;
  case TWorkKind::wkInfo:
    if (fActiveHistoryPage < 0)
      fView.ShowHistoryPageAnnounce();
    else
      fView.ShowPageAnnounce();
    break;
  case TWorkKind::wkTextAlone:
    PutTextAlone();
    break;
  case TWorkKind::wkCopy:
  case TWorkKind::wkInitial:
    break;
  }
}

// Busy clipboard: the first work waits, for a time that grows with each try.
void TPageModel::WaitForClipboard() {
  if (fBusyWaited >= BusyPatience) {
    GiveUpBusyWork();
    return;
  }
  fRetryScheduled = true;
  fView.ScheduleCaptureRetry(fNextRetryDelay);
  fBusyWaited += fNextRetryDelay;
  fNextRetryDelay = std::min(fNextRetryDelay * 2, LongestRetryDelay);
}

// Everything that waited is dropped, and the card says so: the clipboard has
// been out of reach for a minute, so later commands would only wait as long.
void TPageModel::GiveUpBusyWork() {
  const bool copyLost = std::any_of(fWork.begin(), fWork.end(), [](const TWork &aWork) {
    return aWork.Kind == TWorkKind::wkCopy || aWork.Kind == TWorkKind::wkInitial;
  });
  fWork.clear();
  ResetBusyWait();
  fView.ShowInfo(MakeCard(copyLost ? BusyCopyText : BusySwitchText, L"", TCardPicture::Empty,
                          TCardTone::Warning, WarningTime));
}

void TPageModel::ResetBusyWait() {
  fBusyWaited = std::chrono::milliseconds(0);
  fNextRetryDelay = FirstRetryDelay;
}

// Captures

void TPageModel::CaptureFinished(TCaptureResult aResult) {
  fCaptureInFlight = false;
  fView.CaptureUnderWay(false);
  fPacker.Release();
  if (fWork.empty())
    return;
  const bool copy = fWork.front().Kind == TWorkKind::wkCopy;
  if (aResult.Status == TCaptureStatus::csBusy) {
    WaitForClipboard();
  } else {
    fWork.pop_front();
    ResetBusyWait();
    fLastHandledSequence = aResult.Sequence;
    if (aResult.Status == TCaptureStatus::csCaptured && aResult.State) {
      Record(aResult.State, copy);
      ShowLeftOut(aResult.State);
    }
  }
  Pump();
}

// Records a snapshot into the active page; a copy moves the page's old
// content to the history.
void TPageModel::Record(const TClipboardState &aCaptured, bool aCopy) {
  TClipboardState &page = fPages[static_cast<std::size_t>(fActivePage)];
  if (aCopy && HasFormats(page))
    fHistory.push_back(page);
  page = aCaptured;
  while (fHistory.size() > static_cast<std::size_t>(HistoryLimit))
    fHistory.erase(fHistory.begin());
  fActiveHistoryPage = std::max(fActiveHistoryPage, -static_cast<int>(fHistory.size()));
}

// A copy is recorded silently, unless something of it could not be kept.
void TPageModel::ShowLeftOut(const TClipboardState &aCaptured) {
  const auto &leftOut = aCaptured().LeftOut();
  if (leftOut.empty())
    return;
  std::wstring names;
  for (const TLeftOutFormat &format : leftOut)
    names += (names.empty() ? L"" : L", ") + format.Name + L" (" + ReasonText(format.Reason) + L")";
  fView.ShowInfo(
      MakeCard(LeftOutText, names, TCardPicture::Search, TCardTone::Warning, WarningTime));
}

// The oldest entries go first; the newest copy is never given up for them.
bool TPageModel::ReleaseMemory() {
  if (fHistory.empty())
    return false;
  fHistory.erase(fHistory.begin());
  fActiveHistoryPage = std::max(fActiveHistoryPage, -static_cast<int>(fHistory.size()));
  return true;
}

// Clipboard writes

// The ignore flag swallows only the notification of this change: the
// sequence number, read while the clipboard was still ours, tells it apart
// from a later copy.
void TPageModel::PutOnClipboard(const TClipboardState &aState) {
  const DWORD sequence = fClipboard.Put(aState);
  fHistoryIgnoreChange = true;
  fOwnChangeSequence = sequence;
  fLastHandledSequence = sequence;
}

void TPageModel::PutTextAlone() {
  const TClipboardState &shown = ShownState();
  if (!shown)
    return;
  auto text = std::make_unique<TClipboardStateContainer>(shown().ActiveApplication());
  for (const TClipboardFormatState &format : shown())
    if (format.Format() == CF_UNICODETEXT)
      text->Add(
          std::make_unique<TClipboardFormatState>(format.Format(), format.Name(), format.Data()));
  if (text->Count() > 0)
    PutOnClipboard(TAutoPtr::Make(std::move(text)));
}

void TPageModel::SwitchPage(int aValue) {
  // A packed page goes on the clipboard from its packed bytes and stays
  // packed (its card reads it in place).
  PutOnClipboard(fPages.at(static_cast<std::size_t>(aValue)));
  if (fActiveHistoryPage < 0)
    fActiveHistoryPage = 0;
  fActivePage = aValue;
  try {
    fView.CheckPageMenuItem(aValue);
  } catch (const std::exception &) {
    // The tray's check mark is cosmetic; the switch has happened.
    TraceDroppedError();
  }
  fView.ShowPageAnnounce();
}

void TPageModel::StepToHistory(int aValue) {
  if (aValue > 0 || aValue < -static_cast<int>(fHistory.size()))
    return;
  TClipboardState &shown = aValue == 0
                               ? fPages[static_cast<std::size_t>(fActivePage)]
                               : fHistory[fHistory.size() - static_cast<std::size_t>(-aValue)];
  PutOnClipboard(shown);
  if (aValue == 0) {
    fActiveHistoryPage = 0;
    fView.ShowPageAnnounce();
    return;
  }
  fActiveHistoryPage = aValue;
  fView.ShowHistoryPageAnnounce();
}

// Returning to normal mode empties the clipboard as another program's change
// would be: it is recorded like any copy. The marks end up showing the mode
// in force, whatever a click made them show.
void TPageModel::SwitchMode(bool aValue) {
  if (aValue == fListenerEnabled) {
    fView.PrivateModeChanged(!fListenerEnabled);
    return;
  }
  if (!aValue) {
    fListenerEnabled = false;
    fView.PrivateModeChanged(true);
    fView.ShowInfo(MakeCard(L"Private mode", L"Alt+Win+E to disable", TCardPicture::Private,
                            TCardTone::PrivateMode, ModeCardTime));
    return;
  }
  try {
    fClipboard.Put(EmptyState());
  } catch (...) {
    fView.PrivateModeChanged(true);
    throw;
  }
  fListenerEnabled = true;
  fView.PrivateModeChanged(false);
  fView.ShowInfo(MakeCard(L"Normal mode", L"Alt+Win+E to enable private mode",
                          TCardPicture::Enabled, TCardTone::NormalMode, ModeCardTime));
}
