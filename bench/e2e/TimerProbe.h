#pragma once

// Counts the messages a thread of another process takes from its queue: a
// WH_GETMESSAGE hook in a DLL that the system loads into that process. The
// counts live in a named shared block that the benchmark creates.

#include <windows.h>

namespace TimerProbe {

inline constexpr wchar_t SharedBlockName[] = L"Local\\PagekeepBenchTimerProbe";

struct TCounts {
  volatile LONG Messages; // every message removed from the queue
  volatile LONG Timers;   // WM_TIMER among them
};

} // namespace TimerProbe
