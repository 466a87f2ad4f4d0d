#include "E2eBench.Support.h"

#include "harness/SampleContent.h"

#include <psapi.h>

#include <algorithm>
#include <cstring>
#include <thread>

namespace Bench {

double Milliseconds(TClock::duration aDuration) {
  return std::chrono::duration<double, std::milli>(aDuration).count();
}

double Median(std::vector<double> aValues) {
  if (aValues.empty())
    return 0;
  std::sort(aValues.begin(), aValues.end());
  const std::size_t middle = aValues.size() / 2;
  return aValues.size() % 2 ? aValues[middle] : (aValues[middle - 1] + aValues[middle]) / 2;
}

namespace {
void PumpMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}
} // namespace

std::optional<double> TimeUntil(TClock::time_point aStart, const std::function<bool()> &aCondition,
                                std::chrono::milliseconds aTimeout) {
  const auto deadline = TClock::now() + aTimeout;
  for (;;) {
    if (aCondition())
      return Milliseconds(TClock::now() - aStart);
    if (TClock::now() >= deadline)
      return std::nullopt;
    PumpMessages();
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
  }
}

void Pause(std::chrono::milliseconds aTime) {
  TimeUntil(
      TClock::now(), [] { return false; }, aTime);
}

namespace {
constexpr wchar_t WatchClass[] = L"PagekeepBenchClipboardWatch";
unsigned gChanges = 0;
} // namespace

LRESULT CALLBACK TClipboardWatch::WindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam,
                                             LPARAM aLParam) {
  if (aMessage == WM_CLIPBOARDUPDATE) {
    ++gChanges;
    return 0;
  }
  return ::DefWindowProcW(aWindow, aMessage, aWParam, aLParam);
}

TClipboardWatch::TClipboardWatch() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = WatchClass;
  CheckWin32(::RegisterClassW(&windowClass) != 0, "RegisterClassW");
  fWindow.Reset(::CreateWindowExW(0, WatchClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr));
  CheckWin32(static_cast<bool>(fWindow), "CreateWindowExW");
  CheckWin32(::AddClipboardFormatListener(fWindow.Get()) != FALSE, "AddClipboardFormatListener");
}

TClipboardWatch::~TClipboardWatch() {
  ::RemoveClipboardFormatListener(fWindow.Get());
}

void TClipboardWatch::Reset() {
  PumpMessages();
  gChanges = 0;
}

std::optional<double> TClipboardWatch::TimeToChange(TClock::time_point aStart,
                                                    std::chrono::milliseconds aTimeout) {
  return TimeUntil(
      aStart, [] { return gChanges > 0; }, aTimeout);
}

TProgram::TProgram(const std::wstring &aArguments) : fProcess(StartPagekeep(aArguments)) {}

namespace {
struct TWindowSearch {
  DWORD ProcessId;
  HWND Found = nullptr;
};

BOOL CALLBACK FindVisible(HWND aWindow, LPARAM aSearch) {
  auto &search = *reinterpret_cast<TWindowSearch *>(aSearch);
  DWORD processId = 0;
  ::GetWindowThreadProcessId(aWindow, &processId);
  if (processId == search.ProcessId && ::IsWindowVisible(aWindow)) {
    search.Found = aWindow;
    return FALSE;
  }
  return TRUE;
}
} // namespace

void TProgram::FindWindows() {
  if (!fTray)
    fTray = WaitForWindow(fProcess.Id(), L"PagekeepTrayWindow", L"", 0ms);
  if (!fForm)
    fForm = WaitForWindow(fProcess.Id(), L"", L"Stowage Notifier", 0ms);
}

bool TProgram::TrayAnswers() const {
  DWORD_PTR result = 0;
  return fTray &&
         ::SendMessageTimeoutW(fTray, ::RegisterWindowMessageW(L"Pagekeep.TrayItemState"), tcClose,
                               0, SMTO_NORMAL, 1000, &result) &&
         (result & 1);
}

bool TProgram::WaitReady(std::chrono::milliseconds aTimeout) {
  return TimeUntil(
             TClock::now(),
             [&] {
               FindWindows();
               return fForm && TrayAnswers();
             },
             aTimeout)
      .has_value();
}

unsigned TProgram::AnnouncementNumber() const {
  HWND text = ::FindWindowExW(fForm, nullptr, L"Static", nullptr);
  wchar_t buffer[256]{};
  if (text)
    ::GetWindowTextW(text, buffer, 256);
  return buffer[0] ? static_cast<unsigned>(std::wcstoul(buffer, nullptr, 10)) : 0u;
}

bool TProgram::WaitForAnnouncementAfter(unsigned aNumber, std::chrono::milliseconds aTimeout) {
  return TimeUntil(
             TClock::now(), [&] { return AnnouncementNumber() > aNumber; }, aTimeout)
      .has_value();
}

bool TProgram::Command(unsigned aCommand) {
  const unsigned before = AnnouncementNumber();
  ::PostMessageW(fTray, WM_COMMAND, aCommand, 0);
  return WaitForAnnouncementAfter(before);
}

void TProgram::Press(WORD aKey) {
  PressKeys({VK_LWIN, VK_MENU, aKey});
}

bool TProgram::Barrier() {
  return Command(tcInfo);
}

HWND TProgram::VisibleWindow() const {
  TWindowSearch search{fProcess.Id()};
  ::EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

namespace {
SIZE_T PrivateBytesOf(HANDLE aProcess) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  CheckWin32(::GetProcessMemoryInfo(aProcess,
                                    reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&counters),
                                    sizeof(counters)) != FALSE,
             "GetProcessMemoryInfo");
  // PagefileUsage is the same commit charge; Wine fills only that one for
  // another process.
  return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}
} // namespace

SIZE_T OwnPrivateBytes() {
  return PrivateBytesOf(::GetCurrentProcess());
}

SIZE_T TProgram::PrivateBytes() const {
  return PrivateBytesOf(fProcess.Handle());
}

void TProgram::Close() {
  if (fTray)
    ::PostMessageW(fTray, WM_COMMAND, tcClose, 0);
  if (!fProcess.WaitForExit(10000ms))
    fProcess.Terminate();
}

TBytes TextBlock(std::size_t aSize, unsigned aSeed) {
  TBytes bytes(aSize);
  auto *text = reinterpret_cast<wchar_t *>(bytes.data());
  const std::size_t count = aSize / sizeof(wchar_t);
  for (std::size_t i = 0; i + 1 < count; ++i)
    text[i] = i % 64 == 63 ? L'\n' : static_cast<wchar_t>(L'a' + (i + aSeed) % 26);
  text[count - 1] = L'\0';
  return bytes;
}

TBytes VariedTextBlock(std::size_t aSize, unsigned aSeed) {
  const std::wstring text = Harness::VariedText(aSize / sizeof(wchar_t) - 1, aSeed);
  TBytes bytes(aSize);
  std::memcpy(bytes.data(), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  return bytes;
}

TBytes BinaryBlock(std::size_t aSize, unsigned aSeed) {
  TBytes bytes(aSize);
  for (std::size_t i = 0; i < aSize; ++i)
    bytes[i] = static_cast<std::uint8_t>((i * 131 + aSeed * 7) ^ (i >> 9));
  return bytes;
}

} // namespace Bench
