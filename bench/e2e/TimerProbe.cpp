// The hook DLL of the message probe: loaded into the measured process by the
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

TimerProbe::TSlot *OwnSlot() {
  if (!gCounts)
    return nullptr;
  for (TimerProbe::TSlot &slot : gCounts->Slots)
    if (slot.ProcessId == ::GetCurrentProcessId())
      return &slot;
  return nullptr;
}

void NoteCpuTime(TimerProbe::TSlot &aSlot) {
  FILETIME creation{}, exit{}, kernel{}, user{};
  if (!::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user))
    return;
  auto ticks = [](const FILETIME &aTime) {
    return (static_cast<LONGLONG>(aTime.dwHighDateTime) << 32) | aTime.dwLowDateTime;
  };
  aSlot.CpuTime = ticks(kernel) + ticks(user);
  ::InterlockedIncrement(&aSlot.CpuStamps);
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    CountMessage(int aCode, WPARAM aWParam, LPARAM aLParam) {
  TimerProbe::TSlot *slot = aCode == HC_ACTION && aWParam == PM_REMOVE ? OwnSlot() : nullptr;
  if (slot) {
    ::InterlockedIncrement(&slot->Messages);
    const MSG &message = *reinterpret_cast<const MSG *>(aLParam);
    if (message.message == WM_TIMER) {
      if (::InterlockedIncrement(&slot->Timers) == 1)
        slot->FirstTimerTick = ::GetTickCount();
      slot->LastTimerTick = ::GetTickCount();
      slot->TimerWindow = static_cast<LONG>(reinterpret_cast<LONG_PTR>(message.hwnd));
      slot->TimerId = static_cast<LONG>(message.wParam);
    } else if (message.message == WM_NULL) {
      NoteCpuTime(*slot);
    }
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
