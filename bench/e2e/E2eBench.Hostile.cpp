// Figures of Pagekeep.exe beside a program that hangs in its clipboard
// renders: how soon a hotkey is answered, and how long the clipboard stays
// out of everyone's reach.

#include "E2eBench.Hostile.h"

#include <cstdio>
#include <string>

namespace Bench {

namespace {

// The test programs' hostile source: copies a text and offers two formats by
// delayed rendering that it renders slowly (aMode "slow") or never ("never").
std::optional<TProcess> StartHangingSource(const wchar_t *aMode, unsigned aRun) {
  const std::wstring eventName = L"PagekeepBenchSource" + std::to_wstring(::GetCurrentProcessId()) +
                                 L"_" + std::to_wstring(aRun) + aMode;
  TKernelHandle ready(::CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
  if (!ready)
    return std::nullopt;
  TProcess source(BesideThisExe(L"pagekeep-hostile-source.exe"),
                  std::wstring(aMode) + L" 30000 " + eventName + L" \"hanging copy\"");
  if (!TimeUntil(TClock::now(),
                 [&] { return ::WaitForSingleObject(ready.Get(), 0) == WAIT_OBJECT_0; }))
    return std::nullopt;
  return source;
}

// Until the capture helper holds the clipboard (its window is the open one),
// so that the render is under way.
bool WaitForHeldClipboard() {
  return TimeUntil(
             TClock::now(), [] { return ::GetOpenClipboardWindow() != nullptr; }, 3000ms)
      .has_value();
}

} // namespace

std::optional<double> HotkeyDuringHungRender(TProgram &aProgram, unsigned aRun) {
  aProgram.WaitIdle();
  std::optional<TProcess> source = StartHangingSource(L"slow", aRun);
  if (!source || !WaitForHeldClipboard())
    return std::nullopt;
  Pause(100ms);
  const unsigned before = aProgram.AnnouncementNumber();
  const auto start = TClock::now();
  aProgram.Press(static_cast<WORD>(VK_NUMPAD1 + aRun % 2));
  // The capture is cut short at once and its card names the formats left
  // out; the switch itself waits until the hung source lets the clipboard go.
  const auto answered = TimeUntil(
      start, [&] { return aProgram.AnnouncementNumber() >= before + 1; }, 10000ms);
  source->Terminate();
  aProgram.WaitForAnnouncementAfter(before + 1, 5000ms);
  return answered;
}

std::optional<double> ClipboardHeldAfterNeverRenders(TProgram &aProgram, unsigned aRun) {
  aProgram.WaitIdle();
  std::optional<TProcess> source = StartHangingSource(L"never", aRun);
  if (!source || !WaitForHeldClipboard())
    return std::nullopt;
  const auto start = TClock::now();
  const auto freed = TimeUntil(
      start, [] { return ::GetOpenClipboardWindow() == nullptr; }, 15000ms);
  source->Terminate();
  return freed;
}

} // namespace Bench
