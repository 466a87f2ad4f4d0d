#include "AppTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace AppTest;

class ShutdownTest : public TStartedForm {};

// Asks the shell itself, not the tray object's record of it.
bool ShellShowsIcon(HWND aTrayWindow) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = aTrayWindow;
  data.uID = 1;
  data.uFlags = NIF_TIP;
  return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

bool CanRegister(UINT aModifiers, UINT aKey) {
  if (!::RegisterHotKey(nullptr, 0x7000, aModifiers, aKey))
    return false;
  ::UnregisterHotKey(nullptr, 0x7000);
  return true;
}

// "Close" leaves nothing behind in the system while the process still runs:
// no icon, no hotkey, no clipboard recording; the message loop ends with 0.
TEST_F(ShutdownTest, CloseLeavesNoIconHotkeyOrListenerAndQuitsWithZero) {
  TTrayIcon *tray = fForm->Tray();
  const HWND form = fForm->Handle();
  ASSERT_TRUE(ShellShowsIcon(tray->Handle())) << "the started form shows no icon";
  EXPECT_FALSE(CanRegister(MOD_ALT | MOD_WIN, VK_F3)) << "the form holds Alt+Win+F3";

  // Sent, not pumped: the quit message must stay for the loop below.
  ::SendMessageW(tray->Handle(), WM_COMMAND, tcClose, 0);
  int exitCode = -1;
  ASSERT_TRUE(Harness::WaitUntil([&] {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT)
        exitCode = static_cast<int>(msg.wParam);
      ::DispatchMessageW(&msg);
    }
    return exitCode != -1;
  })) << "no WM_QUIT after Close";
  EXPECT_EQ(0, exitCode);
  EXPECT_FALSE(::IsWindow(form)) << "the form's window is gone";
  EXPECT_FALSE(ShellShowsIcon(tray->Handle())) << "the icon stays after Close";
  for (UINT key : {UINT{VK_F3}, UINT{VK_NUMPAD9}, UINT{VK_RIGHT}, UINT{'E'}})
    EXPECT_TRUE(CanRegister(MOD_ALT | MOD_WIN, key)) << "key " << key << " still registered";
  EXPECT_TRUE(CanRegister(MOD_ALT, 'D'));

  const TClipboardStateContainer *page = fForm->Model().Page(0).Get();
  Copy(L"after close");
  EXPECT_EQ(page, fForm->Model().Page(0).Get()) << "a copy after Close was recorded";
}

// The end of the session is never refused, also before start-up has
// completed (the update check may take long) and after the form has gone.
// In between, the form's own listener ends the process at once.
TEST(SessionEnd, TheMessageWindowAgreesBeforeStartUpAndAfterTheFormHasGone) {
  TMainFormOptions options = TestFormOptions(L"SessionEnd");
  options.StartStartupThread = false;
  auto form = std::make_unique<TMainForm>(::GetModuleHandleW(nullptr), options);
  EXPECT_EQ(TRUE, ::SendMessageW(WndProcFilter().Handle(), WM_QUERYENDSESSION, 0, 0));
  EXPECT_FALSE(form->StartupCompleted());
  form.reset();
  EXPECT_EQ(TRUE, ::SendMessageW(WndProcFilter().Handle(), WM_QUERYENDSESSION, 0, 0));
  ::RegDeleteTreeW(HKEY_CURRENT_USER, TestAppKey.c_str());
}

// Each page switch puts a snapshot on the clipboard and announces it; none
// may leave a GDI or USER object behind.
TEST_F(ShutdownTest, AThousandPageSwitchesLeakNoGdiOrUserObjects) {
  Press(NumpadIndex(1));
  Copy(L"text on page 1");
  Press(NumpadIndex(0));
  for (int i = 0; i < 20; ++i)
    Press(NumpadIndex(i % 2)); // warm-up: lazily made objects exist now
  const HANDLE self = ::GetCurrentProcess();
  const DWORD gdiBefore = ::GetGuiResources(self, GR_GDIOBJECTS);
  const DWORD userBefore = ::GetGuiResources(self, GR_USEROBJECTS);
  DWORD handlesBefore = 0;
  ASSERT_TRUE(::GetProcessHandleCount(self, &handlesBefore));
  for (int i = 0; i < 1000; ++i) {
    ::SendMessageW(WndProcFilter().Handle(), WM_HOTKEY,
                   fForm->Hotkeys()[i % 3 == 0 ? hkRight : NumpadIndex(i % 2)]->ID(), 0);
    if (i % 50 == 0)
      PumpPending();
  }
  PumpPending();
  DWORD handlesAfter = 0;
  ASSERT_TRUE(::GetProcessHandleCount(self, &handlesAfter));
  EXPECT_LE(handlesAfter, handlesBefore + 2);
  if (gdiBefore == 0 && userBefore == 0)
    GTEST_SKIP() << "GetGuiResources counts no GDI or USER objects here (Wine's is a stub); "
                    "kernel handles were checked";
  EXPECT_LE(::GetGuiResources(self, GR_GDIOBJECTS), gdiBefore + 2);
  EXPECT_LE(::GetGuiResources(self, GR_USEROBJECTS), userBefore + 2);
}

} // namespace
