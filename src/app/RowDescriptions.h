#pragma once

// What the pages window shows of each page and history entry, made once per
// content on a worker thread and kept while a page or entry holds that
// content: the window then opens without describing twenty items (one
// screenshot alone takes a frame to describe).

#include "analysis/ClipboardAnalyzer.Service.h"
#include "analysis/TBitmap.h"
#include "clipboard/ClipboardStateContainer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct TRowDescription {
  // The kind or source program, and the first lines of the content.
  std::wstring From;
  std::wstring Content;
  std::optional<TBitmap> Icon;
  // Pictures only: the picture fitted in a square of ThumbnailSide.
  std::optional<TBitmap> Thumbnail;
};

// The card's description of a snapshot; never throws for content an
// analyzer cannot read, and safe to call on any thread.
using TDescribeState = std::function<TAuto<TDescription>(const TClipboardState &)>;

// The row of a described snapshot: its first lines on one line, or
// "Picture", and a thumbnail of its picture.
TRowDescription MakeRowDescription(const TDescription &aDescription);

class TRowDescriptions {
public:
  static constexpr int ThumbnailSide = 64;
  // The worker waits this long after the last new content or copy: a burst
  // of copies (or a large copy and the step that follows it) is not slowed
  // by it.
  static constexpr std::chrono::milliseconds QuietTime{300};

  explicit TRowDescriptions(TDescribeState aDescribe);
  // Stops the worker after the description it is making.
  ~TRowDescriptions();
  TRowDescriptions(const TRowDescriptions &) = delete;
  TRowDescriptions &operator=(const TRowDescriptions &) = delete;

  // Main thread, after every change of the pages and history: what aHeld
  // holds and is not described yet goes to the worker; descriptions of
  // content no longer held are forgotten.
  void Keep(const std::vector<TClipboardState> &aHeld);
  // Main thread: while a copy is read the worker starts no description
  // (one under way ends first: an analyzer cannot be stopped halfway). Its
  // reading and decoding of a large picture competed with the copy for
  // both cores and memory, and pushed a copy of 48 MB past its time.
  void Hold(bool aHeld);

  // The row of aState (not empty): the kept one, or, when the worker has
  // not made it yet, made now on the calling thread. A packed snapshot is
  // described from a copy, so reading it never leaves it unpacked.
  std::shared_ptr<const TRowDescription> Find(const TClipboardState &aState);
  // Descriptions the worker has made so far (any thread); tests wait on it.
  std::size_t Made() const noexcept { return fMadeCount.load(); }

private:
  std::shared_ptr<const TRowDescription> Describe(const TClipboardState &aState) const;
  bool TakeJob(TClipboardState &aJob);
  void Work();

  TDescribeState fDescribe;
  mutable std::mutex fLock;
  std::condition_variable fWake;
  // By the lock: content ids the pages and history hold, what waits for the
  // worker (the slot's own handle, so that a snapshot replaced by its
  // packed copy is not kept alive by the queue), the id being described,
  // and the descriptions made.
  std::unordered_set<std::uint64_t> fHeld;
  std::deque<TClipboardState> fQueue;
  std::uint64_t fDescribing = 0;
  std::chrono::steady_clock::time_point fLastNewContent;
  bool fCopyUnderWay = false;
  std::unordered_map<std::uint64_t, std::shared_ptr<const TRowDescription>> fDescriptions;
  std::atomic<bool> fStop{false};
  std::atomic<std::size_t> fMadeCount{0};
  std::thread fWorker;
};
