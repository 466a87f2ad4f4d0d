#pragma once

// What the end-to-end benchmark needs to drive Pagekeep.exe and time it:
// tight waits, a clipboard listener of its own, and the program's windows.

#include "harness/Harness.h"
#include "harness/TrayCommands.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Bench {

using namespace Harness;
using TClock = std::chrono::steady_clock;

double Milliseconds(TClock::duration aDuration);
double Median(std::vector<double> aValues);

// Polls aCondition about every millisecond, pumping this thread's messages;
// the milliseconds from aStart when it held, or nothing after aTimeout.
std::optional<double> TimeUntil(TClock::time_point aStart, const std::function<bool()> &aCondition,
                                std::chrono::milliseconds aTimeout = 10000ms);
void Pause(std::chrono::milliseconds aTime);
// The commit charge of this process.
SIZE_T OwnPrivateBytes();

// A window of this process that hears every clipboard change.
class TClipboardWatch {
public:
  TClipboardWatch();
  ~TClipboardWatch();
  TClipboardWatch(const TClipboardWatch &) = delete;
  TClipboardWatch &operator=(const TClipboardWatch &) = delete;

  // Forgets the changes heard so far.
  void Reset();
  // Milliseconds from aStart to the first change heard after the last Reset.
  std::optional<double> TimeToChange(TClock::time_point aStart,
                                     std::chrono::milliseconds aTimeout = 10000ms);

private:
  static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
  TWindowHandle fWindow;
};

// Pagekeep.exe as the benchmark drives it: tray commands by id, hotkeys,
// and the number of the newest announcement.
class TProgram {
public:
  explicit TProgram(const std::wstring &aArguments);
  // Waits for the tray to answer: start-up has completed.
  bool WaitReady(std::chrono::milliseconds aTimeout = 10000ms);
  bool TrayAnswers() const;

  TProcess &Process() noexcept { return fProcess; }
  HWND Tray() const noexcept { return fTray; }
  unsigned AnnouncementNumber() const;
  bool WaitForAnnouncementAfter(unsigned aNumber, std::chrono::milliseconds aTimeout = 10000ms);
  // Runs the command and waits for its announcement.
  bool Command(unsigned aCommand);
  // Alt+Win+aKey.
  void Press(WORD aKey);
  // Info after whatever came before it: once it is announced, everything
  // queued earlier (a clipboard change among it) has been handled.
  bool Barrier();
  // Returns once the program's thread has finished what it was doing (the
  // drawing of a card, say) and answers a sent message.
  bool WaitIdle() const { return TrayAnswers(); }
  // A visible window of the program (the card), if any.
  HWND VisibleWindow() const;
  SIZE_T PrivateBytes() const;
  void Close();

private:
  void FindWindows();

  TProcess fProcess;
  HWND fTray = nullptr;
  HWND fForm = nullptr;
};

// aSize bytes of UTF-16 text (with its terminating NUL) unique to aSeed.
TBytes TextBlock(std::size_t aSize, unsigned aSeed);
TBytes BinaryBlock(std::size_t aSize, unsigned aSeed);
// aSize bytes of CF_UNICODETEXT: words in a random order, then the NUL.
TBytes VariedTextBlock(std::size_t aSize, unsigned aSeed);

} // namespace Bench
