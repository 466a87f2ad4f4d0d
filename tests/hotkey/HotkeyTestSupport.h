#pragma once

#include "harness/Harness.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <functional>

namespace HotkeyTest {

// Dispatches this thread's messages until aCondition holds or aTimeout ends.
inline bool PumpUntil(const std::function<bool()> &aCondition,
                      std::chrono::milliseconds aTimeout = std::chrono::milliseconds(3000)) {
  const auto deadline = std::chrono::steady_clock::now() + aTimeout;
  while (!aCondition()) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

// Lets every message already posted to this thread run.
inline void PumpPending() {
  ASSERT_TRUE(Harness::PumpUntilIdle()) << "the thread's messages did not settle";
}

} // namespace HotkeyTest
