#pragma once

// Looks at a thread of another process from inside it: a WH_GETMESSAGE hook
// in a DLL that the system loads into that process counts the messages the
// thread takes from its queue, and on WM_NULL notes the process's own CPU
// time (another process's times are not reliable under Wine). The figures
// live in a named shared block that the benchmark creates.

#include <windows.h>

namespace TimerProbe {

inline constexpr wchar_t SharedBlockName[] = L"Local\\PagekeepBenchTimerProbe";

// One process looked at.
struct TSlot {
  volatile DWORD ProcessId; // set by the benchmark
  volatile LONG Messages;   // every message removed from the queue
  volatile LONG Timers;     // WM_TIMER among them
  // The newest timer: its window and id, to tell whose it is.
  volatile LONG TimerWindow;
  volatile LONG TimerId;
  volatile DWORD FirstTimerTick; // GetTickCount of the first and newest timer
  volatile DWORD LastTimerTick;
  // Kernel and user time in 100 ns units at the newest WM_NULL, and how
  // many WM_NULL have been seen.
  volatile LONGLONG CpuTime;
  volatile LONG CpuStamps;
};

struct TCounts {
  TSlot Slots[2];
};

} // namespace TimerProbe
