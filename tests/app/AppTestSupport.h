#pragma once

#include "app/MainForm.h"
#include "harness/Harness.h"
#include "harness/TrayCommands.h"
#include "shared/Registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace AppTest {

using namespace std::chrono_literals;

// Lets every message already posted to this thread run.
inline void PumpPending() {
  ASSERT_TRUE(Harness::PumpUntilIdle()) << "the thread's messages did not settle";
}

// Where a form of the tests keeps its installation state and autorun entry.
inline const std::wstring TestAppKey = L"Software\\PagekeepTests\\App";
inline const std::wstring TestRunKey = TestAppKey + L"\\Run";

// Options for a form of a test's own: its own mutex, no update check, and an
// installation state of its own, fresh or (aGreeted) one that has run this
// version before, so that no greeting comes.
inline TMainFormOptions TestFormOptions(const std::wstring &aName, bool aGreeted = true) {
  TMainFormOptions options;
  options.MutexName = L"PagekeepTest." + aName + L"." + std::to_wstring(::GetCurrentProcessId());
  options.Course = TStartupCourse::scNone;
  options.AppKey = TestAppKey;
  options.RunKey = TestRunKey;
  options.CaptureHelper = Harness::BesideThisExe(L"Pagekeep.exe");
  ::RegDeleteTreeW(HKEY_CURRENT_USER, TestAppKey.c_str());
  if (aGreeted) {
    TRegistryKey key = Registry::OpenCurrentUserKey(TestAppKey, true);
    Registry::WriteString(key.Get(), L"version", TAutomaticUpdate::OwnVersion);
  }
  return options;
}

// A started main form inside the test process: its own mutex name, the
// start-up thread's hand-over completed.
class TStartedForm : public ::testing::Test {
protected:
  void SetUp() override {
    static int count = 0;
    fForm = std::make_unique<TMainForm>(::GetModuleHandleW(nullptr),
                                        TestFormOptions(std::to_wstring(++count)));
    ASSERT_TRUE(Harness::WaitUntil([&] { return fForm->StartupCompleted(); }))
        << "the start-up hand-over did not run";
    Settle();
  }
  // Pumps until the model has read the copies and run the commands before.
  void Settle() {
    PumpPending();
    Harness::WaitUntil([&] { return !fForm->Model().CaptureRetryPending(); }, 8000ms);
  }
  void TearDown() override {
    fForm.reset();
    PumpPending();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, TestAppKey.c_str());
  }

  // Runs hotkey number aIndex (0-based registration order) as a press does.
  void Press(std::size_t aIndex) {
    ::SendMessageW(WndProcFilter().Handle(), WM_HOTKEY, fForm->Hotkeys().at(aIndex)->ID(), 0);
    PumpPending();
  }
  // Runs a tray-menu command as a click does.
  void Click(unsigned aCommandID) {
    ::SendMessageW(fForm->Tray()->Handle(), WM_COMMAND, aCommandID, 0);
    PumpPending();
  }
  bool Checked(unsigned aCommandID) {
    const LRESULT state =
        ::SendMessageW(fForm->Tray()->Handle(),
                       ::RegisterWindowMessageW(TTrayIcon::ItemStateMessageName), aCommandID, 0);
    EXPECT_TRUE(state & TTrayIcon::ItemExists) << "no menu item " << aCommandID;
    return state & TTrayIcon::ItemChecked;
  }
  void Copy(const std::wstring &aText) {
    Harness::SetClipboardText(aText);
    Settle();
  }

  std::unique_ptr<TMainForm> fForm;
};

// Hotkey positions in registration order.
enum THotkeyIndex : std::size_t {
  hkRight = 20,
  hkLeft = 21,
  hkUp = 22,
  hkDown = 23,
  hkPrivateMode = 24,
  hkInfo = 25,
  hkFormats = 26,
  hkShowPages = 27
};
inline std::size_t FKeyIndex(int aPage) {
  return static_cast<std::size_t>(aPage) * 2;
}
inline std::size_t NumpadIndex(int aPage) {
  return static_cast<std::size_t>(aPage) * 2 + 1;
}

using Harness::PageCommand;
using Harness::TTrayCommand;
using enum Harness::TTrayCommand;

} // namespace AppTest
