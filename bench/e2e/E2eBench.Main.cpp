// Prints end-to-end figures of the real Pagekeep.exe, each with its
// baseline and the median of several runs. Measured in one run; never a test.

#include "E2eBench.Hostile.h"
#include "E2eBench.Pages.h"
#include "E2eBench.Support.h"
#include "TimerProbe.h"
#include "clipboard/ClipboardStateContainer.h"
#include "harness/SampleContent.h"
#include "update-server/UpdateServerProcess.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

using namespace Bench;

constexpr std::size_t MiB = 1024 * 1024;
constexpr int Runs = 15;
// Long enough for a card's first frame, which shows its window (a few ms of
// the program's thread under Wine), to be over.
constexpr std::chrono::milliseconds CardFirstFrameTime{100};

std::string Text(std::optional<double> aMilliseconds) {
  char buffer[32];
  if (!aMilliseconds)
    return "timed out";
  std::snprintf(buffer, sizeof buffer, "%.1f ms", *aMilliseconds);
  return buffer;
}

void Figure(const char *aName, const std::string &aValue, const std::string &aBaseline,
            const std::string &aAim) {
  std::printf("%-52s | %-28s | %-26s | %s\n", aName, aValue.c_str(), aBaseline.c_str(),
              aAim.c_str());
  std::fflush(stdout);
}

std::string Ratio(double aValue, double aBaseline) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.1f ms = %.2fx", aValue,
                aBaseline > 0 ? aValue / aBaseline : 0);
  return buffer;
}

std::string Ms(double aValue) {
  return Text(aValue);
}

// Median over Runs of aRun, whose runs that time out are left out.
double MedianOf(const std::function<std::optional<double>()> &aRun, int aRuns = Runs) {
  std::vector<double> values;
  for (int i = 0; i < aRuns; ++i)
    if (auto value = aRun())
      values.push_back(*value);
  return Median(values);
}

// A 16 x 16 32-bit DIB whose pixels depend on aSeed.
TBytes SmallDib(unsigned aSeed) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = 16;
  header.biHeight = 16;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  TBytes dib = BinaryBlock(sizeof(header) + 16 * 16 * 4, aSeed);
  std::memcpy(dib.data(), &header, sizeof(header));
  return dib;
}

std::wstring SmallText(int aStep) {
  return L"small copy " + std::to_wstring(aStep) + std::wstring(200, L'x');
}

struct TBaselines {
  // Bytes per small copy read in full by this process.
  double TextReadGrowth = 0;
  double PictureReadGrowth = 0;
  double Put = 0;
  double Capture1 = 0;
  double Capture50 = 0;
};

// Measured before the program runs, so that nothing else reads the clipboard.
TBaselines MeasureBaselines(TClipboardWatch &aWatch, const TBytes &aPage) {
  TBaselines baselines;
  baselines.Put = MedianOf([&] {
    aWatch.Reset();
    const auto start = TClock::now();
    SetClipboard({{CF_UNICODETEXT, aPage}});
    return aWatch.TimeToChange(start);
  });
  auto capture = [](std::size_t aSize, int aRuns) {
    const TBytes text = TextBlock(aSize, 50);
    return MedianOf(
        [&]() -> std::optional<double> {
          SetClipboard({{CF_UNICODETEXT, text}});
          const auto start = TClock::now();
          TClipboardState state = CaptureClipboardState(false);
          return Milliseconds(TClock::now() - start);
        },
        aRuns);
  };
  // Wine keeps memory for formats it synthesises each time they are read:
  // this process shows it by itself, with no Pagekeep code involved.
  auto readGrowth = [](const std::function<void(int)> &aPut) {
    double growth = 0;
    for (int round = 0; round < 2; ++round) { // the first round warms up
      const double before = static_cast<double>(OwnPrivateBytes());
      for (int i = 0; i < 500; ++i) {
        aPut(i);
        ReadClipboard();
      }
      growth = (static_cast<double>(OwnPrivateBytes()) - before) / 500;
    }
    return growth;
  };
  baselines.TextReadGrowth = readGrowth([](int aStep) { SetClipboardText(SmallText(aStep)); });
  baselines.PictureReadGrowth = readGrowth([](int aStep) {
    SetClipboard({{CF_DIB, SmallDib(static_cast<unsigned>(aStep))}});
  });
  baselines.Capture1 = capture(MiB, Runs);
  baselines.Capture50 = capture(50 * MiB, 3);
  return baselines;
}

void StartupToTray() {
  UpdateServer::TServerSetup setup;
  setup.Version = L"1.0";
  setup.Port = UpdateServer::ProgramPort();
  setup.Path = UpdateServer::ProgramPath();
  UpdateServer::TUpdateServerProcess server(setup);
  // What Wine takes to start a program and show its first window: the
  // keep-alive program does nothing else.
  const double process = MedianOf(
      [] {
        const auto start = TClock::now();
        TProcess quiet(BesideThisExe(L"pagekeep-keepalive.exe"));
        auto shown = TimeUntil(start, [&] {
          return WaitForWindow(quiet.Id(), L"PagekeepKeepAlive", L"", 0ms) != nullptr;
        });
        quiet.Terminate();
        return shown;
      },
      3);
  const double startup = MedianOf(
      [] {
        const auto start = TClock::now();
        TProgram program(L"");
        auto ready = TimeUntil(start, [&] { return program.WaitReady(0ms); });
        program.Close();
        return ready;
      },
      3);
  Figure("start-up to the tray icon (update server on loopback)", Ms(startup),
         "a program's start to its window: " + Ms(process), "1 s pause + <= 300 ms");
}

// One capture in the harness of a 1 MiB text page that Pagekeep puts back:
// the calls the capture helper makes, on another program's copy. Wine hands
// a process its own copies from a cache of its own (what "one capture"
// measures), anyone else's through the wineserver. Put back afresh for each
// run, so that no run reads the cache of an earlier one.
double CaptureOfOthersCopy(TProgram &aProgram) {
  aProgram.Command(PageCommand(3));
  SetClipboard({{CF_UNICODETEXT, TextBlock(MiB, 77)}});
  aProgram.Barrier();
  return MedianOf([&]() -> std::optional<double> {
    aProgram.Command(PageCommand(3));
    aProgram.WaitIdle();
    const auto start = TClock::now();
    TClipboardState state = CaptureClipboardState(false);
    return Milliseconds(TClock::now() - start);
  });
}

// After a switch away the page leaves the clipboard and is packed in the
// background; the memory it gave back tells when (at most aPatience).
bool WaitForPacking(TProgram &aProgram, SIZE_T aUnpacked, std::chrono::milliseconds aPatience) {
  return TimeUntil(
             TClock::now(), [&] { return aProgram.PrivateBytes() + MiB < aUnpacked; }, aPatience)
      .has_value();
}

void RestoreFigure(TProgram &aProgram, TClipboardWatch &aWatch, const TBytes &aPage, double aPut) {
  aProgram.Command(PageCommand(1));
  SetClipboard({{CF_UNICODETEXT, aPage}});
  aProgram.Barrier();
  aProgram.Command(PageCommand(2));
  SetClipboardText(L"a small page");
  aProgram.Barrier();
  // aSettle after the switch back lets that switch's card show its window
  // first: that runs on the thread that restores the page. Each press finds
  // the page packed, unless the packing took longer than the settling.
  int packed = 0;
  int presses = 0;
  auto restoreTime = [&](std::chrono::milliseconds aSettle) {
    return MedianOf([&] {
      aProgram.WaitIdle();
      aWatch.Reset();
      const unsigned before = aProgram.AnnouncementNumber();
      const auto start = TClock::now();
      aProgram.Press(VK_NUMPAD1);
      auto time = aWatch.TimeToChange(start);
      aProgram.WaitForAnnouncementAfter(before);
      const SIZE_T unpacked = aProgram.PrivateBytes();
      aProgram.Command(PageCommand(2));
      ++presses;
      if (WaitForPacking(aProgram, unpacked, std::max(aSettle, 2000ms)))
        ++packed;
      return time;
    });
  };
  WaitForPacking(aProgram, aProgram.PrivateBytes() + MiB, 2000ms);
  const double restore = restoreTime(CardFirstFrameTime);
  Figure("hotkey to clipboard restored, 1 MiB text page, compressed", Ratio(restore, aPut),
         "put directly: " + Ms(aPut), "<= 1.5x");
  std::printf("  (the page was packed again after %d of %d presses)\n", packed, presses);
  const double restoreSliding = restoreTime(0ms);
  Figure("  (the same right after the last switch)", Ratio(restoreSliding, aPut),
         "put directly: " + Ms(aPut), "for reference");
  // Like for like: the page keeps every format the clipboard offered (Wine
  // offers text in four), so put all of them directly, in private mode so
  // that the program leaves them alone.
  const unsigned before = aProgram.AnnouncementNumber();
  aProgram.Press(VK_NUMPAD1);
  aProgram.WaitForAnnouncementAfter(before);
  std::vector<TClipFormat> held;
  for (TClipFormat &format : ReadClipboard())
    if (!format.Data.empty())
      held.push_back(std::move(format));
  aProgram.Command(tcPrivateMode);
  const double putHeld = MedianOf([&] {
    aProgram.WaitIdle();
    aWatch.Reset();
    const auto start = TClock::now();
    SetClipboard(held);
    return aWatch.TimeToChange(start);
  });
  aProgram.Command(tcPrivateMode);
  char name[64];
  std::snprintf(name, sizeof name, "  (the same against putting its %u formats)",
                static_cast<unsigned>(held.size()));
  Figure(name, Ratio(restore, putHeld), "put directly: " + Ms(putHeld), "<= 1.5x");
  const double hotkey = MedianOf([&] {
    aProgram.WaitIdle();
    const unsigned beforePress = aProgram.AnnouncementNumber();
    const auto start = TClock::now();
    aProgram.Press('I');
    return TimeUntil(start, [&] { return aProgram.AnnouncementNumber() > beforePress; });
  });
  Figure("  (hotkey to announcement, Alt+Win+I)", Ms(hotkey), "-", "input latency, for reference");
}

// Waits until no card has been on the screen for a whole second: a card
// can go for a moment between two announcements.
bool WaitForNoCard(TProgram &aProgram) {
  auto shown = [&] { return aProgram.VisibleWindow() != nullptr; };
  const auto deadline = TClock::now() + 30000ms;
  while (TClock::now() < deadline) {
    TimeUntil(
        TClock::now(), [&] { return !shown(); }, 15000ms);
    if (!TimeUntil(TClock::now(), shown, 1000ms))
      return true;
  }
  return false;
}

void CardFigure(TProgram &aProgram) {
  auto hidden = [&] { return aProgram.VisibleWindow() == nullptr; };
  const double card = MedianOf(
      [&]() -> std::optional<double> {
        if (!WaitForNoCard(aProgram))
          return std::nullopt;
        const auto start = TClock::now();
        aProgram.Press('I');
        return TimeUntil(
            start, [&] { return !hidden(); }, 2000ms);
      },
      5);
  Figure("hotkey to the card's first frame on screen",
         card > 0 ? Ms(card) : std::string("no card appeared"), "-", "<= 50 ms");
}

// Ten screenshots in the pages and ten 1 MiB texts in the history. The
// first open comes right after the last copy, while the rows are still
// being described in the background, and makes the window; the others find
// the rows described and the window made.
void PagesWindowFigures(TProgram &aProgram) {
  constexpr int Rows = 20;
  FillPagesWithPicturesAndHistoryWithTexts(aProgram);
  const std::optional<TPagesWindowTimes> first = OpenPagesWindowAndFilter(aProgram, Rows);
  Pause(3000ms);
  std::vector<double> filters;
  const double open = MedianOf([&]() -> std::optional<double> {
    const std::optional<TPagesWindowTimes> times = OpenPagesWindowAndFilter(aProgram, Rows);
    if (!times)
      return std::nullopt;
    filters.push_back(times->Filter);
    return times->Open;
  });
  Figure("Alt+Win+V to the pages window with 20 rows", open > 0 ? Ms(open) : "no window",
         "first open after the copies: " + (first ? Ms(first->Open) : std::string("none")),
         "<= 50 ms");
  Figure("typed letter to the filtered list", filters.empty() ? "no answer" : Ms(Median(filters)),
         "-", "<= one frame (16.7 ms)");
}

void RecordFigure(TProgram &aProgram, const TBaselines &aBaselines) {
  const double captureOther = CaptureOfOthersCopy(aProgram);
  const double barrier = MedianOf([&]() -> std::optional<double> {
    aProgram.WaitIdle();
    const auto start = TClock::now();
    aProgram.Barrier();
    return Milliseconds(TClock::now() - start);
  });
  auto recorded = [&](std::size_t aSize, int aRuns) {
    return MedianOf(
        [&]() -> std::optional<double> {
          const TBytes text = TextBlock(aSize, static_cast<unsigned>(aRuns));
          aProgram.WaitIdle();
          SetClipboard({{CF_UNICODETEXT, text}});
          const auto start = TClock::now();
          if (!aProgram.Barrier())
            return std::nullopt;
          return Milliseconds(TClock::now() - start);
        },
        aRuns);
  };
  const double recorded1 = recorded(MiB, Runs);
  Figure("copy to page recorded, 1 MiB text", Ratio(recorded1, aBaselines.Capture1),
         "one capture: " + Ms(aBaselines.Capture1), "<= 1.5x");
  Figure("  (against a capture of another program's copy)", Ratio(recorded1, captureOther),
         "one capture: " + Ms(captureOther), "<= 1.5x");
  Figure("copy to page recorded, 50 MiB text", Ratio(recorded(50 * MiB, 3), aBaselines.Capture50),
         "one capture: " + Ms(aBaselines.Capture50), "<= 1x");
  Figure("  (Info round trip alone, included above)", Ms(barrier), "-", "-");
}

// The longest the program's thread took to answer a message over aTime,
// pinged from a thread of ours, while aWork runs.
double LongestAnswer(HWND aWindow, std::chrono::milliseconds aTime,
                     const std::function<void()> &aWork) {
  std::atomic<bool> done{false};
  double longest = 0;
  std::thread pinger([&] {
    while (!done.load()) {
      const auto start = TClock::now();
      DWORD_PTR result = 0;
      ::SendMessageTimeoutW(aWindow, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &result);
      longest = std::max(longest, Milliseconds(TClock::now() - start));
      ::Sleep(1);
    }
  });
  const auto start = TClock::now();
  aWork();
  Pause(std::max(
      0ms, aTime - std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start)));
  done.store(true);
  pinger.join();
  return longest;
}

bool WaitForNoCard(TProgram &aProgram);

// A copy of 800 registered formats: the program's thread takes them over
// from the helper and must keep answering meanwhile. The baselines are the
// same pinging while nothing happens, and while the harness makes the same
// calls alone (puts the formats and reads them all, as the helper does)
// with the program in private mode: what Wine and the machine cost.
void ManyFormatsFigure(TProgram &aProgram) {
  std::vector<TClipFormat> formats;
  for (int i = 0; i < 800; ++i)
    formats.push_back({RegisterFormat(L"Pagekeep Bench Format " + std::to_wstring(i)),
                       BinaryBlock(64, static_cast<unsigned>(i))});
  std::vector<double> copies, idle, alone;
  for (int run = 0; run < 3; ++run) {
    WaitForNoCard(aProgram);
    aProgram.WaitIdle();
    formats.front().Data = BinaryBlock(64, 1000 + static_cast<unsigned>(run));
    copies.push_back(LongestAnswer(aProgram.Tray(), 2000ms, [&] { SetClipboard(formats); }));
    idle.push_back(LongestAnswer(aProgram.Tray(), 2000ms, [] {}));
    aProgram.Barrier();
  }
  aProgram.Command(tcPrivateMode);
  for (int run = 0; run < 3; ++run) {
    WaitForNoCard(aProgram);
    aProgram.WaitIdle();
    formats.front().Data = BinaryBlock(64, 2000 + static_cast<unsigned>(run));
    alone.push_back(LongestAnswer(aProgram.Tray(), 2000ms, [&] {
      SetClipboard(formats);
      CaptureClipboardState(false);
    }));
  }
  aProgram.Command(tcPrivateMode);
  Figure("longest pause of the program's thread, copy of 800 formats", Ms(Median(copies)),
         "idle: " + Ms(Median(idle)) + "; harness alone: " + Ms(Median(alone)), "<= 16 ms");
}

std::string Bytes(double aBytes) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.2f MiB", aBytes / MiB);
  return buffer;
}

std::string Times(double aValue, double aBaseline) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2fx", aBaseline > 0 ? aValue / aBaseline : 0);
  return buffer;
}

// Packing runs in the background: memory is read once it has stopped
// falling for a whole second (at most 20 s), since some pieces of that
// work (a page that went back on the clipboard meanwhile, entries the
// history gave up) free nothing.
double SettledPrivateBytes(TProgram &aProgram) {
  double bytes = static_cast<double>(aProgram.PrivateBytes());
  int still = 0;
  for (int wait = 0; wait < 40; ++wait) {
    Pause(500ms);
    const double now = static_cast<double>(aProgram.PrivateBytes());
    still = now > bytes - 64 * 1024 ? still + 1 : 0;
    bytes = std::min(bytes, now);
    if (still == 2)
      return bytes;
  }
  return bytes;
}

void MemoryFigures(TProgram &aProgram, const TBaselines &aBaselines) {
  const double idle = static_cast<double>(aProgram.PrivateBytes());
  Figure("private memory, idle", Bytes(idle), "-", "-");
  // Each page gets two texts, then a screenshot: the pages hold the ten
  // screenshots, the history the last ten texts (those of pages 5 to 9).
  double held = 0;
  for (int page = 0; page < 10; ++page) {
    aProgram.Command(PageCommand(page));
    for (unsigned copy = 0; copy < 2; ++copy) {
      const TBytes text = VariedTextBlock(MiB, static_cast<unsigned>(page) * 2 + copy);
      SetClipboard({{CF_UNICODETEXT, text}});
      aProgram.Barrier();
      held += page >= 5 ? static_cast<double>(text.size()) : 0;
    }
    const TBytes screenshot = Harness::DesktopPictureDib(1920, 1080, static_cast<unsigned>(page));
    SetClipboard({{CF_DIB, screenshot}});
    aProgram.Barrier();
    held += static_cast<double>(screenshot.size());
  }
  aProgram.Command(PageCommand(0));
  const double copies = SettledPrivateBytes(aProgram);
  Figure("private memory growth after 20 copies of a 1 MiB text and 10 screenshots",
         Times(copies - idle, held), "growth " + Bytes(copies - idle) + " / held " + Bytes(held),
         "<= 0.5x");
  for (int i = 0; i < 1000; ++i)
    aProgram.Command(PageCommand(i % 10));
  const double switches = SettledPrivateBytes(aProgram);
  char perSwitch[64];
  std::snprintf(perSwitch, sizeof perSwitch, "growth %.0f bytes per switch",
                (switches - copies) / 1000);
  Figure("private memory after 1,000 page switches", Bytes(switches), perSwitch,
         "no growth per switch");
  // With pages and history full, more copies and announcements hold nothing more.
  auto steady = [&](const char *aName, const std::function<void(int)> &aStep,
                    const std::string &aBaseline = "") {
    for (int i = 0; i < 20; ++i) // pages and history reach their steady content
      aStep(i);
    const double before = static_cast<double>(aProgram.PrivateBytes());
    for (int i = 20; i < 520; ++i)
      aStep(i);
    const double after = static_cast<double>(aProgram.PrivateBytes());
    char growth[64];
    std::snprintf(growth, sizeof growth, "growth %.0f bytes per step", (after - before) / 500);
    Figure(aName, Bytes(after), growth + aBaseline, "no growth per step");
  };
  auto harness = [](double aGrowth) {
    char text[64];
    std::snprintf(text, sizeof text, " (harness reading them: %.0f)", aGrowth);
    return std::string(text);
  };
  steady(
      "private memory after 500 more small copies",
      [&](int aStep) {
        SetClipboardText(SmallText(aStep));
        aProgram.Barrier();
      },
      harness(aBaselines.TextReadGrowth));
  steady(
      "private memory after 500 picture copies",
      [&](int aStep) {
        SetClipboard({{CF_DIB, SmallDib(static_cast<unsigned>(aStep))}});
        aProgram.Barrier();
      },
      harness(aBaselines.PictureReadGrowth));
  steady("private memory after 500 switches between pictures",
         [&](int aStep) { aProgram.Command(PageCommand(aStep % 2 ? 8 : 9)); });
  steady("private memory after 500 Info announcements", [&](int) { aProgram.Command(tcInfo); });
}

// A process looked at from inside by the probe DLL: its messages, its
// timers and its own CPU time.
class TProbedProcess {
public:
  TProbedProcess(HMODULE aProbe, TimerProbe::TSlot &aSlot, HWND aWindow)
      : fSlot(aSlot), fWindow(aWindow) {
    DWORD processId = 0;
    const DWORD thread = ::GetWindowThreadProcessId(aWindow, &processId);
    fSlot.ProcessId = processId;
    auto *proc = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void (*)()>(::GetProcAddress(aProbe, "CountMessage")));
    fHook = proc ? ::SetWindowsHookExW(WH_GETMESSAGE, proc, aProbe, thread) : nullptr;
  }
  ~TProbedProcess() {
    if (fHook)
      ::UnhookWindowsHookEx(fHook);
  }
  TProbedProcess(const TProbedProcess &) = delete;
  TProbedProcess &operator=(const TProbedProcess &) = delete;

  // The process's CPU time in ms as it reads it itself, once the probe
  // answers; nothing when the probe is not loaded there.
  std::optional<double> CpuMilliseconds() {
    const LONG before = fSlot.CpuStamps;
    ::PostMessageW(fWindow, WM_NULL, 0, 0);
    if (!fHook || !TimeUntil(
                      TClock::now(), [&] { return fSlot.CpuStamps != before; }, 2000ms))
      return std::nullopt;
    return static_cast<double>(fSlot.CpuTime) / 10000.0;
  }
  void ResetCounts() {
    fSlot.Messages = 0;
    fSlot.Timers = 0;
  }
  const TimerProbe::TSlot &Slot() const { return fSlot; }

private:
  TimerProbe::TSlot &fSlot;
  HWND fWindow;
  HHOOK fHook = nullptr;
};

std::string CpuText(std::optional<double> aBefore, std::optional<double> aAfter) {
  if (!aBefore || !aAfter)
    return "probe not loaded here";
  char text[48];
  std::snprintf(text, sizeof text, "%.1f ms CPU", *aAfter - *aBefore);
  return text;
}

// Over ten idle seconds, the program's timer messages and CPU time, seen
// from inside it; an idle Wine program with one window gives the noise.
void IdleFigure(TProgram &aProgram) {
  TKernelHandle block(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                           sizeof(TimerProbe::TCounts),
                                           TimerProbe::SharedBlockName));
  CheckWin32(static_cast<bool>(block), "CreateFileMappingW");
  auto *counts = static_cast<TimerProbe::TCounts *>(
      ::MapViewOfFile(block.Get(), FILE_MAP_WRITE, 0, 0, sizeof(TimerProbe::TCounts)));
  CheckWin32(counts != nullptr, "MapViewOfFile");
  HMODULE probe = ::LoadLibraryW(BesideThisExe(L"pagekeep-timer-probe.dll").c_str());
  CheckWin32(probe != nullptr, "LoadLibraryW");
  {
    TProcess quiet(BesideThisExe(L"pagekeep-keepalive.exe"));
    TProbedProcess program(probe, counts->Slots[0], aProgram.Tray());
    TProbedProcess noise(probe, counts->Slots[1],
                         WaitForWindow(quiet.Id(), L"PagekeepKeepAlive", L""));
    // No card moving: none on the screen for a second.
    WaitForNoCard(aProgram);
    const DWORD hiddenTick = ::GetTickCount() - 1000;
    const auto programBefore = program.CpuMilliseconds();
    const auto noiseBefore = noise.CpuMilliseconds();
    program.ResetCounts();
    Pause(10000ms);
    const TimerProbe::TSlot slot = program.Slot();
    const auto programAfter = program.CpuMilliseconds();
    const auto noiseAfter = noise.CpuMilliseconds();
    char value[96];
    if (programBefore)
      std::snprintf(value, sizeof value, "%ld WM_TIMER, %ld messages", slot.Timers, slot.Messages);
    else
      std::snprintf(value, sizeof value, "probe not loaded here");
    Figure("idle 10 s: timer messages", value, "-", "0 timer messages");
    if (slot.Timers > 0) {
      // Whose timer it is, for the reader.
      wchar_t className[64]{}, title[64]{};
      const HWND window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(slot.TimerWindow));
      ::GetClassNameW(window, className, 64);
      ::GetWindowTextW(window, title, 64);
      std::printf("  (newest timer: id %ld of window class \"%ls\", title \"%ls\", visible %d;"
                  " timers from %lu to %lu ms after the card went)\n",
                  slot.TimerId, className, title, ::IsWindowVisible(window) ? 1 : 0,
                  slot.FirstTimerTick - hiddenTick, slot.LastTimerTick - hiddenTick);
    }
    Figure("idle 10 s: CPU time", CpuText(programBefore, programAfter),
           "idle keep-alive: " + CpuText(noiseBefore, noiseAfter), "within noise");
    quiet.Terminate();
  }
  ::UnmapViewOfFile(counts);
  ::FreeLibrary(probe);
}

// Last: the sources hang in their renders until they are ended.
void HostileFigures(TProgram &aProgram) {
  unsigned run = 0;
  const double answer = MedianOf([&] { return HotkeyDuringHungRender(aProgram, ++run); }, 5);
  Figure("page hotkey to a card while a render hangs", answer > 0 ? Ms(answer) : "no card", "-",
         "< 100 ms");
  const double held = MedianOf([&] { return ClipboardHeldAfterNeverRenders(aProgram, ++run); }, 3);
  Figure("clipboard held, source that never renders", held > 0 ? Ms(held) : "never freed",
         "render budget 2000 ms", "<= one render");
}

void ExeSize() {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  CheckWin32(::GetFileAttributesExW(BesideThisExe(L"Pagekeep.exe").c_str(), GetFileExInfoStandard,
                                    &data) != FALSE,
             "GetFileAttributesExW");
  Figure("exe size", Bytes(static_cast<double>(data.nFileSizeLow)), "-", "<= 2 MiB");
}

} // namespace

// With arguments, only the figures they name (startup, memory, restore,
// record, formats, card, pages, idle, hostile, size), for working on one of them.
int main(int aArgc, char **aArgv) {
  const std::vector<std::string> asked(aArgv + 1, aArgv + aArgc);
  auto wanted = [&](const char *aName) {
    return asked.empty() || std::find(asked.begin(), asked.end(), aName) != asked.end();
  };
  try {
    std::printf("%-52s | %-28s | %-26s | %s\n", "figure", "median", "baseline", "aim");
    TClipboardWatch watch;
    const TBytes page = VariedTextBlock(MiB, 1);
    const TBaselines baselines = wanted("memory") || wanted("restore") || wanted("record")
                                     ? MeasureBaselines(watch, page)
                                     : TBaselines{};
    if (wanted("startup"))
      StartupToTray();
    // Page 0 takes what the clipboard holds: a small text, not a baseline's block.
    SetClipboardText(L"before start");
    TProgram program(L"-updated");
    if (!program.WaitReady()) {
      std::printf("Pagekeep did not complete its start-up\n");
      return 1;
    }
    Pause(1000ms);
    if (wanted("memory"))
      MemoryFigures(program, baselines);
    if (wanted("restore"))
      RestoreFigure(program, watch, page, baselines.Put);
    if (wanted("record"))
      RecordFigure(program, baselines);
    if (wanted("formats"))
      ManyFormatsFigure(program);
    if (wanted("card"))
      CardFigure(program);
    if (wanted("pages"))
      PagesWindowFigures(program);
    if (wanted("idle"))
      IdleFigure(program);
    if (wanted("hostile"))
      HostileFigures(program);
    if (wanted("size"))
      ExeSize();
    program.Close();
    return 0;
  } catch (const std::exception &aError) {
    std::printf("benchmark failed: %s\n", aError.what());
    return 1;
  }
}
