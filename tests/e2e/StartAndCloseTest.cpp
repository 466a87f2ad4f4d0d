#include "harness/Harness.h"

#include <gtest/gtest.h>

using namespace Harness;

TEST(StartAndClose, MainWindowClosesAndTheProcessExitsWithZero) {
  TProcess pagekeep = StartPagekeep();
  HWND form = WaitForWindow(pagekeep.Id(), L"", L"Stowage Notifier");
  ASSERT_NE(nullptr, form) << "no main window appeared";
  // The window is the notifier card's: hidden whenever no card is on the
  // screen, so at the latest once the start-up messages (update check, first
  // run's greeting) have gone.
  EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(form); }, 15s))
      << "the window stays shown without a card";
  ASSERT_TRUE(::PostMessageW(form, WM_CLOSE, 0, 0));
  auto exitCode = pagekeep.WaitForExit();
  ASSERT_TRUE(exitCode.has_value()) << "the program did not end after WM_CLOSE";
  EXPECT_EQ(0u, *exitCode);
}
