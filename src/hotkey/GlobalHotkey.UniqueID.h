#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

// Hands out hotkey ids 1, 2, 3, ... in call order, from any thread; an id is
// never handed out twice by one counter.
class TUniqueID {
public:
  std::int32_t GetUniqueID();

private:
  std::recursive_mutex fLock;
  std::atomic<std::int32_t> fUniqueID{0};
};

// The process-wide counter the hotkeys draw their ids from.
TUniqueID &UniqueID();
