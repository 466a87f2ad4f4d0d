#pragma once

// Keeps the data files up to date while "Keep pages after restart" is on.
// Every change of the pages model comes with a clipboard change (a copy is
// recorded from one, a page switch makes one), so a clipboard notification
// on the message window starts a few looks for changes on a timer; an idle
// program has no timer running. A look takes the snapshot handles on the
// main thread (no data is copied); a worker thread writes them, at most
// once per MinimumGap.

#include "app/model/PageStore.h"
#include "hotkey/GlobalHotkey.WndProcFilter.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class TPageSaver {
public:
  using TTake = std::function<TSavedPages()>;
  static constexpr DWORD CheckInterval = 500;
  static constexpr DWORD MinimumGap = 3000;
  // Looks after a notification: a copy that waits for a busy clipboard is
  // recorded up to two seconds later.
  static constexpr int ChecksAfterChange = 5;

  // aTake runs on the main thread. With aSavedAlready the present content
  // counts as written (it was just loaded from the files).
  TPageSaver(TTake aTake, std::wstring aPagesFile, std::wstring aHistoryFile, bool aSavedAlready,
             TWndProcFilter &aWindow = WndProcFilter());
  TPageSaver(const TPageSaver &) = delete;
  TPageSaver &operator=(const TPageSaver &) = delete;
  // Waits for a save that is running; does not start one.
  ~TPageSaver();

  // Closing and the end of the session: waits for a running save, then
  // writes what changed since, on the worker, and waits for it. Errors
  // propagate.
  void SaveNow();
  std::size_t SavesDone() const noexcept { return fSavesDone; }
  bool Saving() const noexcept { return fWorker.joinable(); }

private:
  static constexpr UINT_PTR TimerID = 0x5053;
  void OnTimer();
  void Arm(DWORD aDelay);
  // What was written, by content: a page packed since is the same content.
  struct TWritten {
    std::int32_t ActivePage = 0;
    std::vector<std::uint64_t> Pages;
    std::vector<std::uint64_t> History;
    friend bool operator==(const TWritten &, const TWritten &) = default;
  };
  static TWritten ContentOf(const TSavedPages &aPages);
  bool Changed(const TSavedPages &aNow) const;
  void StartWorker(TSavedPages aPages);
  // Joins a finished (or, with aWait, a running) worker; false while one
  // runs. A failed save leaves a trace and is tried again later.
  bool Collect(bool aWait);

  TTake fTake;
  std::wstring fPagesFile;
  std::wstring fHistoryFile;
  TWndProcFilter &fWindow;
  TMessageFilter fFilter;
  std::optional<TWritten> fSaved;
  std::optional<TSavedPages> fWriting;
  std::thread fWorker;
  std::atomic<bool> fWorkerDone{false};
  std::exception_ptr fWorkerError;
  DWORD fLastStart = 0;
  bool fStartedOnce = false;
  bool fArmed = false;
  int fChecksLeft = 0;
  std::size_t fSavesDone = 0;
};

// "Keep pages after restart": a DWORD "KeepPages" under aAppKey in
// HKEY_CURRENT_USER; missing or unreadable means off.
bool KeepPagesSetting(const std::wstring &aAppKey);
// Throws when the value cannot be written.
void SetKeepPagesSetting(const std::wstring &aAppKey, bool aValue);
