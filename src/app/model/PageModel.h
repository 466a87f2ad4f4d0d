#pragma once

#include "app/model/PageClipboard.h"
#include "app/model/PageStore.h"
#include "app/model/StatePacker.h"
#include "clipboard/ClipboardStateContainer.h"
#include "ui/CardRequest.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// What the pages model asks of the main form. Tests implement it with a
// recorder.
class TPageModelView {
public:
  virtual ~TPageModelView() = default;
  // Announce the active page, or the shown history entry.
  virtual void ShowPageAnnounce() = 0;
  virtual void ShowHistoryPageAnnounce() = 0;
  // Show a card with free texts; the card's tone chooses its colour.
  virtual void ShowInfo(const TCardRequest &aRequest) = 0;
  // The mode has just switched (private when aPrivate): marks that show it
  // follow the model.
  virtual void PrivateModeChanged(bool aPrivate) = 0;
  // Check radio item aPage in the tray's page submenu; may throw (ignored).
  virtual void CheckPageMenuItem(int aPage) = 0;
  // Call TPageModel::RetryCapture on the main thread after aDelay. A new
  // request replaces an earlier one that has not run yet.
  virtual void ScheduleCaptureRetry(std::chrono::milliseconds aDelay) = 0;
  // The pages or the history have changed (content, packing or order).
  virtual void SlotsChanged() {}
  // A copy is being read / is over: background work keeps out of its way.
  virtual void CaptureUnderWay(bool /*aUnderWay*/) {}
};

// Ten clipboard pages, the history of earlier page contents, the private
// mode, and the listener that records clipboard changes. Main thread only.
//
// Pages and history entries that are not on the clipboard are packed in the
// background (TStatePacker) when that saves a quarter of their size; a page
// is unpacked when it goes back on the clipboard, and reading a packed one
// (its card, the data files) gives the same formats and bytes.
//
// Copies and commands are carried out one after another in the order they
// came: a command that arrives while a copy is being read, or while another
// program holds the clipboard, waits in a queue and runs as soon as the
// clipboard can be had. A busy clipboard is tried again after growing waits
// for about a minute; then the card says what could not be done.
class TPageModel : private TPageModelClipboard::TListener {
public:
  static constexpr int PageCount = 10;
  static constexpr int HistoryLimit = 10;
  // The waits between tries of a busy clipboard double from the first to
  // the longest; after the patience in all, the work is given up.
  static constexpr std::chrono::milliseconds FirstRetryDelay{100};
  static constexpr std::chrono::milliseconds LongestRetryDelay{2000};
  static constexpr std::chrono::milliseconds BusyPatience{60000};
  static constexpr const wchar_t *BusyCopyText =
      L"The copy could not be read: the clipboard stayed busy";
  static constexpr const wchar_t *BusySwitchText =
      L"The page could not be put on the clipboard: the clipboard stayed busy";
  static constexpr const wchar_t *LeftOutText = L"Part of the copy was left out";

  TPageModel(TPageModelView &aView, TPageModelClipboard &aClipboard);
  ~TPageModel();
  TPageModel(const TPageModel &) = delete;
  TPageModel &operator=(const TPageModel &) = delete;

  // Ten fresh empty pages.
  void CreatePages();

  int ActivePage() const noexcept { return fActivePage; }
  // Page switch: restores page aValue (0..9) to the clipboard, checks its menu
  // item and announces it; std::out_of_range for another value.
  void SetActivePage(int aValue);
  // The page aDelta pages on (wrapping) from the one active when the switch
  // runs, so that presses queued behind each other add up.
  void StepPage(int aDelta);
  int ActiveHistoryPage() const noexcept { return fActiveHistoryPage; }
  // History step: 0 shows the page, -k the k-th newest entry; values outside
  // -count..0 (when the step runs) are ignored.
  void SetActiveHistoryPage(int aValue);
  // One step older (-1) or newer (+1) from the position when the step runs.
  void StepHistory(int aDelta);
  // Announces what the clipboard shows (the page or the history entry), in
  // turn after the copies and commands before it; at once while they wait
  // for a busy clipboard.
  void AnnounceShown();
  bool ListenerEnabled() const noexcept { return fListenerEnabled; }
  // Private mode (false) or normal mode (true), announced.
  void SetListenerEnabled(bool aValue);
  // The other mode than the one in force when the switch runs, so that
  // presses queued behind each other add up.
  void TogglePrivateMode();
  // Puts the text of what the clipboard shows, alone, on the clipboard as the
  // program's own change: the page or entry keeps all its formats. Nothing
  // happens when it has no text.
  void PutShownTextAlone();

  // The clipboard listener: runs for every clipboard-change notification.
  void ClipboardChanged();
  // Runs the retry that ScheduleCaptureRetry asked for.
  void RetryCapture();
  // Start-up: stores what the clipboard holds now in the active page, without
  // its source program; the history and the view are left alone. A busy
  // clipboard is retried as a copy is.
  void CaptureInitialClipboard();

  const TClipboardState &Page(int aIndex) const;
  const std::vector<TClipboardState> &History() const noexcept { return fHistory; }
  // The snapshot the clipboard shows now: the active page or a history entry.
  const TClipboardState &ShownState() const;
  bool HistoryIgnoreChange() const noexcept { return fHistoryIgnoreChange; }
  // A copy or command still waiting (for the clipboard or a capture).
  bool CaptureRetryPending() const noexcept { return fCaptureInFlight || !fWork.empty(); }
  // The packing of the snapshots that are not on the clipboard (tests).
  const TStatePacker &Packer() const noexcept { return fPacker; }

  // Write both data files / read them back into the model, through the
  // page store as the program's own saves and loads go. Each file is
  // replaced in one step, so a failed or killed save leaves the old one
  // whole; a load reads both files completely before it changes anything. A
  // damaged file raises EDamagedDataFile (with the reader's message) after
  // it has been put aside as "….bad", with the other file of the pair;
  // file system errors propagate.
  void SaveData() const;
  void LoadData();
  // The handles the data files are written from; no data is copied, so the
  // main thread takes them at once and a worker writes them.
  TSavedPages SavedPages() const;
  // Start-up: pages, active page and history from the data files, all or
  // nothing (EDamagedDataFile as LoadData). The active page goes back on
  // the clipboard, as the program's own change, only when the clipboard is
  // empty. True when a pages file was loaded.
  bool RestoreSavedPages();

private:
  enum class TWorkKind {
    wkCopy,
    wkInitial,
    wkPage,
    wkStepPage,
    wkHistory,
    wkStepHistory,
    wkMode,
    wkInfo,
    wkTextAlone
  };
  struct TWork {
    TWorkKind Kind;
    int Value = 0;
  };

  // TPageModelClipboard::TListener
  void CaptureFinished(TCaptureResult aResult) override;
  bool ReleaseMemory() override;

  void Enqueue(TWork aWork);
  void Pump();
  bool RunFirstWork();
  void RunCommand(const TWork &aWork);
  bool UnrecordedChange();
  void WaitForClipboard();
  void GiveUpBusyWork();
  void ResetBusyWait();
  void Record(const TClipboardState &aCaptured, bool aCopy);
  void ShowLeftOut(const TClipboardState &aCaptured);
  void PutOnClipboard(const TClipboardState &aState);
  void SwitchPage(int aValue);
  void StepToHistory(int aValue);
  void SwitchMode(bool aValue);
  void PutTextAlone();
  bool IsShown(const TClipboardState &aSlot) const;
  void PackIdleSlots();
  void PackSlot(TClipboardState &aSlot);
  void Packed(const TClipboardState &aOriginal, const TClipboardState &aPacked);

  TPageModelView &fView;
  TPageModelClipboard &fClipboard;
  std::array<TClipboardState, PageCount> fPages;
  std::vector<TClipboardState> fHistory;
  int fActivePage = 0;
  int fActiveHistoryPage = 0;
  // The clipboard change under way is the program's own (a page or entry
  // put back): the listener must not record it as a copy.
  bool fHistoryIgnoreChange = false;
  // Normal mode; false in private mode, where copies are not recorded.
  bool fListenerEnabled = true;
  // Sequence number of the clipboard after our own last change, so that the
  // ignore flag swallows that change only.
  DWORD fOwnChangeSequence = 0;
  // The newest clipboard state that was recorded, ignored or put there by us;
  // another number means a change still to be read.
  DWORD fLastHandledSequence = 0;
  std::deque<TWork> fWork;
  bool fCaptureInFlight = false;
  bool fRetryScheduled = false;
  bool fPumping = false;
  std::chrono::milliseconds fBusyWaited{0};
  std::chrono::milliseconds fNextRetryDelay = FirstRetryDelay;
  // Snapshots that packing did not make smaller enough: not handed again
  // while a slot holds them.
  std::vector<TClipboardState> fNotWorthPacking;
  // Last, so that its worker stops first.
  TStatePacker fPacker;
};
