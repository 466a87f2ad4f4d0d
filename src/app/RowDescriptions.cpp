#include "app/RowDescriptions.h"

#include "analysis/Bitmap.Scale.h"
#include "shared/Com.h"
#include "shared/Trace.h"

#include <windows.h>

#include <algorithm>

namespace {

constexpr std::size_t PreviewLength = 160;
constexpr int PreviewLines = 3;

// The first lines of the content on one line of the list. The separator is
// in every font the list may use.
std::wstring Preview(const std::wstring &aText) {
  std::wstring line;
  int breaks = 0;
  for (wchar_t c : aText) {
    if (c == L'\r')
      continue;
    if (c == L'\n') {
      if (++breaks == PreviewLines)
        break;
      line += L" \u00B7 ";
      continue;
    }
    line += c;
    if (line.size() >= PreviewLength)
      break;
  }
  return line;
}

} // namespace

TRowDescription MakeRowDescription(const TDescription &aDescription) {
  TRowDescription row;
  row.From = aDescription.ShortDescription();
  row.Content = Preview(aDescription.LongDescription());
  if (aDescription.Image()) {
    if (row.Content.empty())
      row.Content = L"Picture";
    row.Thumbnail = FitInSquare(*aDescription.Image(), TRowDescriptions::ThumbnailSide);
  }
  row.Icon = aDescription.Icon();
  return row;
}

TRowDescriptions::TRowDescriptions(TDescribeState aDescribe)
    : fDescribe(std::move(aDescribe)), fWorker([this] { Work(); }) {}

TRowDescriptions::~TRowDescriptions() {
  {
    std::lock_guard lock(fLock);
    fStop = true;
  }
  fWake.notify_all();
  fWorker.join();
}

void TRowDescriptions::Keep(const std::vector<TClipboardState> &aHeld) {
  {
    std::lock_guard lock(fLock);
    fHeld.clear();
    for (const TClipboardState &state : aHeld)
      if (state && state().Count() > 0)
        fHeld.insert(state().ContentId());
    std::erase_if(fDescriptions, [&](const auto &aMade) { return !fHeld.contains(aMade.first); });
    std::erase_if(fQueue,
                  [&](const TClipboardState &aJob) { return !fHeld.contains(aJob().ContentId()); });
    for (const TClipboardState &state : aHeld) {
      if (!state || state().Count() == 0)
        continue;
      const std::uint64_t id = state().ContentId();
      if (id == fDescribing || fDescriptions.contains(id))
        continue;
      auto queued = std::find_if(fQueue.begin(), fQueue.end(), [&](const TClipboardState &aJob) {
        return aJob().ContentId() == id;
      });
      if (queued == fQueue.end()) {
        fQueue.push_back(state);
        fLastNewContent = std::chrono::steady_clock::now();
      } else {
        *queued = state;
      }
    }
  }
  fWake.notify_one();
}

void TRowDescriptions::Hold(bool aHeld) {
  {
    std::lock_guard lock(fLock);
    fCopyUnderWay = aHeld;
    fLastNewContent = std::chrono::steady_clock::now();
  }
  fWake.notify_one();
}

std::shared_ptr<const TRowDescription> TRowDescriptions::Find(const TClipboardState &aState) {
  const std::uint64_t id = aState().ContentId();
  {
    std::lock_guard lock(fLock);
    const auto made = fDescriptions.find(id);
    if (made != fDescriptions.end())
      return made->second;
  }
  std::shared_ptr<const TRowDescription> row = Describe(aState);
  std::lock_guard lock(fLock);
  if (fHeld.contains(id))
    fDescriptions.emplace(id, row);
  return row;
}

std::shared_ptr<const TRowDescription>
TRowDescriptions::Describe(const TClipboardState &aState) const {
  const TClipboardState readable =
      aState().IsPacked() ? TClipboardStateContainer::Unpack(aState) : aState;
  return std::make_shared<const TRowDescription>(MakeRowDescription(fDescribe(readable)()));
}

bool TRowDescriptions::TakeJob(TClipboardState &aJob) {
  std::unique_lock lock(fLock);
  fDescribing = 0;
  for (;;) {
    fWake.wait(lock, [this] { return fStop || (!fQueue.empty() && !fCopyUnderWay); });
    if (fStop)
      return false;
    const auto due = fLastNewContent + QuietTime;
    if (std::chrono::steady_clock::now() >= due)
      break;
    // Newer content moves the moment on; a queue emptied meanwhile waits again.
    fWake.wait_until(lock, due, [this] { return fStop.load(); });
  }
  aJob = std::move(fQueue.front());
  fQueue.pop_front();
  fDescribing = aJob().ContentId();
  return true;
}

// Below the program's priority: a description is never more urgent than
// what the user is doing.
void TRowDescriptions::Work() {
  ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
  std::optional<TComScope> com;
  try {
    com.emplace();
  } catch (const std::exception &) {
    // Without COM the pictures' decoder fails; the analyzers then describe
    // them as the card would, which is still a row.
    TraceDroppedError();
  }
  TClipboardState job;
  while (TakeJob(job)) {
    try {
      std::shared_ptr<const TRowDescription> row = Describe(job);
      std::lock_guard lock(fLock);
      const std::uint64_t id = job().ContentId();
      if (fHeld.contains(id))
        fDescriptions.emplace(id, std::move(row));
    } catch (const std::exception &) {
      // The window describes it itself when it opens.
      TraceDroppedError();
    }
    job = TClipboardState();
    ++fMadeCount;
  }
}
