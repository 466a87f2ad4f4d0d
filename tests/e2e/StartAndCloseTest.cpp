#include "harness/Harness.h"

#include <gtest/gtest.h>

using namespace Harness;

TEST(StartAndClose, MainWindowClosesAndTheProcessExitsWithZero) {
  TProcess pagekeep = StartPagekeep();
  HWND form = WaitForWindow(pagekeep.Id(), L"", L"Stowage Notifier");
  ASSERT_NE(nullptr, form) << "no main window appeared";
  EXPECT_FALSE(::IsWindowVisible(form)) << "nothing is shown at start";
  ASSERT_TRUE(::PostMessageW(form, WM_CLOSE, 0, 0));
  auto exitCode = pagekeep.WaitForExit();
  ASSERT_TRUE(exitCode.has_value()) << "the program did not end after WM_CLOSE";
  EXPECT_EQ(0u, *exitCode);
}
