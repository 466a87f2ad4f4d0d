#pragma once

#include "app/model/PageStore.h"
#include "clipboard/ClipboardStateContainer.h"

#include <array>
#include <chrono>
#include <cstdint>
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
  // Set the notifier's background (0xAARRGGBB), then show a card with the
  // picture of that name for aDisplayTime ms.
  virtual void ShowInfo(const std::wstring &aCaption, const std::wstring &aShortDescription,
                        const std::wstring &aDetailedDescription, const std::wstring &aPictureName,
                        std::uint32_t aBackgroundColor, int aDisplayTime) = 0;
  // Check radio item aPage in the tray's page submenu; may throw (ignored).
  virtual void CheckPageMenuItem(int aPage) = 0;
  // Call TPageModel::RetryCapture on the main thread after aDelay. A new
  // request replaces an earlier one that has not run yet.
  virtual void ScheduleCaptureRetry(std::chrono::milliseconds aDelay) = 0;
};

// Ten clipboard pages, the history of earlier page contents, the private
// mode, and the listener that records clipboard changes. Main thread only.
class TPageModel {
public:
  static constexpr int PageCount = 10;
  static constexpr int HistoryLimit = 10;
  // A busy clipboard is retried this often, this many times, before the
  // change is given up.
  static constexpr std::chrono::milliseconds CaptureRetryDelay{100};
  static constexpr int CaptureRetryLimit = 20;

  explicit TPageModel(TPageModelView &aView);
  TPageModel(const TPageModel &) = delete;
  TPageModel &operator=(const TPageModel &) = delete;

  // Ten fresh empty pages.
  void CreatePages();

  int ActivePage() const noexcept { return fActivePage; }
  // Page switch: restores page aValue (0..9) to the clipboard, checks its menu
  // item and announces it. EClipboardOpenError propagates with nothing
  // changed.
  void SetActivePage(int aValue);
  int ActiveHistoryPage() const noexcept { return fActiveHistoryPage; }
  // History step: 0 shows the page, -k the k-th newest entry; values outside
  // -count..0 are ignored.
  void SetActiveHistoryPage(int aValue);
  bool ListenerEnabled() const noexcept { return fListenerEnabled; }
  // Private mode (false) or normal mode (true), announced.
  void SetListenerEnabled(bool aValue);

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
  bool CaptureRetryPending() const noexcept { return fRetriesLeft > 0; }

  // Write both data files / read them back into the model. Each file is
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
  static std::wstring ClipboardDataFileName();
  static std::wstring HistoryDataFileName();
  // The shell folder's current path; empty when the shell fails.
  static std::wstring GetSpecialFolderPath(int aCSIDL);

private:
  void PutOnClipboard(const TClipboardState &aState);
  enum class TCaptureKind { ckCopy, ckInitial };
  void StartCapture(TCaptureKind aKind);
  void RecordClipboard();
  void ShowActivePage();

  TPageModelView &fView;
  std::array<TClipboardState, PageCount> fPages;
  std::vector<TClipboardState> fHistory;
  int fActivePage = 0;
  int fActiveHistoryPage = 0;
  bool fHistoryIgnoreChange = false;
  bool fListenerEnabled = true;
  // Sequence number of the clipboard after our own last change, so that the
  // ignore flag swallows that change only.
  DWORD fOwnChangeSequence = 0;
  DWORD fLastHandledSequence = 0;
  int fRetriesLeft = 0;
  TCaptureKind fPendingCapture = TCaptureKind::ckCopy;
};
