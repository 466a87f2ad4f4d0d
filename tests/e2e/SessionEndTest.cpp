#include "PagekeepDriver.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using namespace PagekeepDriver;

std::optional<LRESULT> QueryEndSession(HWND aWindow) {
  DWORD_PTR answer = 0;
  if (!::SendMessageTimeoutW(aWindow, WM_QUERYENDSESSION, 0, static_cast<LPARAM>(ENDSESSION_LOGOFF),
                             SMTO_ABORTIFHUNG, 5000, &answer))
    return std::nullopt;
  return static_cast<LRESULT>(answer);
}

// Pagekeep never holds up log-off or shutdown, also while its start-up
// still waits for the update check (once running, it ends at once: see
// ProcessTest). Agreeing while starting does not upset the start-up.
TEST(SessionEnd, IsNotRefusedDuringStartUp) {
  TPagekeep app(L"");
  const HWND window = WaitForWindow(app.Id(), L"ZAVereWindowClass", L"ZAVereWindowCaption");
  ASSERT_NE(nullptr, window);
  const std::optional<LRESULT> duringStartup = QueryEndSession(window);
  ASSERT_EQ(nullptr, WaitForWindow(app.Id(), L"PagekeepTrayWindow", L"", 0ms))
      << "start-up completed before the question was asked";
  ASSERT_TRUE(duringStartup.has_value()) << "no answer during start-up";
  EXPECT_EQ(TRUE, *duringStartup) << "the end of the session was refused during start-up";

  ASSERT_TRUE(app.WaitReady());
  ASSERT_TRUE(::PostMessageW(app.Tray(), WM_COMMAND, tcClose, 0));
  const auto exitCode = app.Process().WaitForExit(5000ms);
  ASSERT_TRUE(exitCode.has_value()) << "the program did not end after Close";
  EXPECT_EQ(0u, *exitCode);
}

} // namespace
