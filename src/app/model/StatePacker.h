#pragma once

#include "clipboard/ClipboardStateContainer.h"
#include "shared/WindowBinding.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// Packs snapshots on a worker thread, one after another, at a priority below
// the program's, and hands each result back on the main thread through a
// message window of its own. The worker only reads the snapshots it was
// given; whoever made the request decides, on the main thread, whether the
// result is still wanted.
//
// Packing keeps out of a copy's way: while one is taken (Hold) the worker
// starts nothing and pauses the packing in progress at its next piece. A
// priority below normal alone does not do it: on a machine with a second
// core the deflate runs beside the copy and competes for memory bandwidth.
// It waits for no quiet time after a copy: the program's own page switches
// make clipboard changes too, and a wait that each of them restarted kept
// a backlog of large copies unpacked for as long as switches went on.
class TStatePacker {
public:
  // aOriginal is the snapshot handed to Pack; aPacked its packed copy, or an
  // empty handle when packing it saves too little (or failed, or nobody
  // held aOriginal any more when its turn came).
  using TPacked =
      std::function<void(const TClipboardState &aOriginal, const TClipboardState &aPacked)>;

  // Main thread; aPacked runs there, from the message window.
  explicit TStatePacker(TPacked aPacked);
  // Stops the worker (a packing in progress gives up) and drops results not
  // yet handed back.
  ~TStatePacker();
  TStatePacker(const TStatePacker &) = delete;
  TStatePacker &operator=(const TStatePacker &) = delete;

  // Queues aState; one that is queued, being packed or waiting to be handed
  // back is not queued again.
  void Pack(const TClipboardState &aState);
  // Main thread: a copy is being taken / is over.
  void Hold();
  void Release();
  // Whether aState was handed to Pack and its result has not come back.
  bool Handed(const TClipboardState &aState) const;
  // Results the worker has made so far (any thread); tests wait on it.
  std::size_t Finished() const noexcept { return fFinished.load(); }

private:
  friend struct TWindowBinding<TStatePacker>;
  LRESULT HandleMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam);
  void HandBack();
  void Work();
  bool TakeJob(TClipboardState &aJob);
  bool WaitWhileHeld();

  TPacked fPacked;
  TWindowHandle fWindow;
  // Main thread only. Not handles: a job that only the queue holds any
  // more is left out by the worker.
  std::vector<const TClipboardStateContainer *> fHanded;
  mutable std::mutex fLock;
  std::condition_variable fWake;
  std::deque<TClipboardState> fQueue;
  bool fHeld = false;
  std::vector<std::pair<TClipboardState, TClipboardState>> fResults;
  std::atomic<bool> fStop{false};
  std::atomic<std::size_t> fFinished{0};
  std::thread fWorker;
};
