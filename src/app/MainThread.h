#pragma once

#include "hotkey/GlobalHotkey.WndProcFilter.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

// The blocking hand-over from a worker thread to the main thread: the step
// is posted to the message window and the worker waits until the main
// thread has run it. Posted messages are dispatched by every modal loop
// (menus, message boxes), so a hand-over also completes while one is open.
class TMainThreadHandOver {
public:
  explicit TMainThreadHandOver(TWndProcFilter &aWindow = WndProcFilter());
  TMainThreadHandOver(const TMainThreadHandOver &) = delete;
  TMainThreadHandOver &operator=(const TMainThreadHandOver &) = delete;
  // Cancels the steps still waiting.
  ~TMainThreadHandOver();

  // Runs aStep on the main thread and returns when it has run; its error is
  // raised here. Called on the main thread itself it runs the step at once.
  // Throws EHandOverCancelled when the hand-over is cancelled first.
  void Run(const std::function<void()> &aStep);
  // Releases every waiting caller (and refuses later ones) without running
  // their steps: the main thread is going away.
  void Cancel();

private:
  struct TStep;
  void RunPosted(std::uintptr_t aStepID);

  TWndProcFilter &fWindow;
  std::uint32_t fMessage;
  DWORD fMainThreadID;
  std::mutex fLock;
  std::condition_variable fChanged;
  std::map<std::uintptr_t, std::shared_ptr<TStep>> fPending;
  std::uintptr_t fNextID = 1;
  bool fCancelled = false;
};

class EHandOverCancelled : public std::runtime_error {
public:
  EHandOverCancelled() : std::runtime_error("The main thread no longer takes steps") {}
};
