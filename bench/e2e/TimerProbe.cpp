// The hook DLL of the timer probe: loaded into the measured process by the
// system, it counts what that thread's message loop removes from its queue.

#include "TimerProbe.h"

namespace {

TimerProbe::TCounts *gCounts = nullptr;
HANDLE gBlock = nullptr;

void Attach() {
  gBlock = ::OpenFileMappingW(FILE_MAP_WRITE, FALSE, TimerProbe::SharedBlockName);
  if (gBlock)
    gCounts = static_cast<TimerProbe::TCounts *>(
        ::MapViewOfFile(gBlock, FILE_MAP_WRITE, 0, 0, sizeof(TimerProbe::TCounts)));
}

void Detach() {
  if (gCounts)
    ::UnmapViewOfFile(gCounts);
  if (gBlock)
    ::CloseHandle(gBlock);
  gCounts = nullptr;
  gBlock = nullptr;
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    CountMessage(int aCode, WPARAM aWParam, LPARAM aLParam) {
  if (aCode == HC_ACTION && aWParam == PM_REMOVE && gCounts) {
    ::InterlockedIncrement(&gCounts->Messages);
    if (reinterpret_cast<const MSG *>(aLParam)->message == WM_TIMER)
      ::InterlockedIncrement(&gCounts->Timers);
  }
  return ::CallNextHookEx(nullptr, aCode, aWParam, aLParam);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD aReason, LPVOID) {
  if (aReason == DLL_PROCESS_ATTACH)
    Attach();
  else if (aReason == DLL_PROCESS_DETACH)
    Detach();
  return TRUE;
}
