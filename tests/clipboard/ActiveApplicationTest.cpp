#include "ClipboardTestUtils.h"
#include "clipboard/ClipboardStateContainer.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <functional>

using namespace ClipboardTest;

namespace {

constexpr const wchar_t *HelperSwitch = L"--foreground-window-helper";
constexpr const wchar_t *HelperCaption = L"Pagekeep second copy";

std::wstring ReadyEventName(DWORD aParent) {
  return L"PagekeepForegroundReady-" + std::to_wstring(aParent);
}
std::wstring DoneEventName(DWORD aParent) {
  return L"PagekeepForegroundDone-" + std::to_wstring(aParent);
}

// The second copy of this exe: a window in the foreground until the test
// that started it is done with it.
[[noreturn]] void RunForegroundHelper(DWORD aParent) {
  TKernelHandle ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, ReadyEventName(aParent).c_str()));
  TKernelHandle done(::OpenEventW(SYNCHRONIZE, FALSE, DoneEventName(aParent).c_str()));
  if (!ready || !done)
    ::ExitProcess(2);
  TWindowHandle window(::CreateWindowExW(0, L"STATIC", HelperCaption, WS_VISIBLE | WS_POPUP, 0, 0,
                                         50, 50, nullptr, nullptr, nullptr, nullptr));
  if (!window)
    ::ExitProcess(3);
  ::SetForegroundWindow(window.Get());
  ::SetEvent(ready.Get());
  const HANDLE waitFor = done.Get();
  while (::MsgWaitForMultipleObjects(1, &waitFor, FALSE, 30000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      ::DispatchMessageW(&message);
  }
  ::ExitProcess(0);
}

// Runs before the tests: a process started with HelperSwitch is the helper.
const bool gIsHelper = [] {
  if (const auto arguments = HelperArguments(HelperSwitch); arguments && arguments->size() == 1)
    RunForegroundHelper(static_cast<DWORD>(std::stoul(arguments->front())));
  return false;
}();

std::wstring LowerFileName(const std::wstring &aPath) {
  std::wstring name = aPath.substr(aPath.find_last_of(L"\\/") + 1);
  for (wchar_t &c : name)
    c = static_cast<wchar_t>(std::towlower(c));
  return name;
}

// A window of this process in the foreground, for as long as it lives.
class TOwnWindow {
public:
  TOwnWindow()
      : fWindow(::CreateWindowExW(0, L"STATIC", L"Pagekeep own window", WS_VISIBLE | WS_POPUP, 0, 0,
                                  50, 50, nullptr, nullptr, nullptr, nullptr)) {
    CheckWin32(static_cast<bool>(fWindow), "CreateWindowExW");
    ::SetForegroundWindow(fWindow.Get());
  }
  DWORD ProcessId() const { return ::GetCurrentProcessId(); }

private:
  TWindowHandle fWindow;
};

// A second process started from this very exe, its window in the foreground.
class TSecondCopy {
public:
  TSecondCopy()
      : fReady(
            ::CreateEventW(nullptr, TRUE, FALSE, ReadyEventName(::GetCurrentProcessId()).c_str())),
        fDone(
            ::CreateEventW(nullptr, TRUE, FALSE, DoneEventName(::GetCurrentProcessId()).c_str())) {
    CheckWin32(fReady && fDone, "CreateEventW");
    fProcess = StartThisExeAs(HelperSwitch, {std::to_wstring(::GetCurrentProcessId())});
    fProcessId = ::GetProcessId(fProcess.Get());
    const HANDLE waits[] = {fReady.Get(), fProcess.Get()};
    if (::WaitForMultipleObjects(2, waits, FALSE, 10000) != WAIT_OBJECT_0) {
      ::SetEvent(fDone.Get());
      throw std::runtime_error("the second copy did not show its window");
    }
  }
  TSecondCopy(const TSecondCopy &) = delete;
  TSecondCopy &operator=(const TSecondCopy &) = delete;
  ~TSecondCopy() {
    ::SetEvent(fDone.Get());
    ::WaitForSingleObject(fProcess.Get(), 10000);
  }
  DWORD ProcessId() const { return fProcessId; }

private:
  TKernelHandle fReady, fDone, fProcess;
  DWORD fProcessId = 0;
};

DWORD ForegroundProcessId() {
  DWORD processId = 0;
  ::GetWindowThreadProcessId(::GetForegroundWindow(), &processId);
  return processId;
}

struct TSourceCase {
  const char *Name;
  std::function<void(const std::function<void(DWORD)> &)> WithForegroundWindow;
  bool IsSource;
};

class ActiveApplication : public testing::TestWithParam<TSourceCase> {};

// Our own program is told apart by its process, not by the file it runs.
TEST_P(ActiveApplication, OwnProcessHasNoSourceAnotherProcessOfTheSameFileHas) {
  GetParam().WithForegroundWindow([](DWORD aProcessId) {
    if (ForegroundProcessId() != aProcessId)
      GTEST_SKIP() << "the test window could not be brought to the foreground";
    const TActiveApplication application = GetActiveApplication();
    PutText(L"copied");
    EXPECT_EQ(application, CaptureClipboardState(true)().ActiveApplication());
    if (!GetParam().IsSource) {
      EXPECT_TRUE(application.IsEmpty());
      return;
    }
    EXPECT_EQ(HelperCaption, application.Caption);
    EXPECT_EQ(LowerFileName(ThisExePath()), LowerFileName(application.Path)) << application.Path;
  });
}

INSTANTIATE_TEST_SUITE_P(Windows, ActiveApplication,
                         testing::Values(TSourceCase{"OwnWindow",
                                                     [](const auto &aCheck) {
                                                       TOwnWindow window;
                                                       aCheck(window.ProcessId());
                                                     },
                                                     false},
                                         TSourceCase{"SecondCopyOfThisExe",
                                                     [](const auto &aCheck) {
                                                       TSecondCopy copy;
                                                       aCheck(copy.ProcessId());
                                                     },
                                                     true}),
                         [](const auto &aInfo) { return std::string(aInfo.param.Name); });

} // namespace
