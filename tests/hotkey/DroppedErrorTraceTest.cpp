#include "hotkey/GlobalHotkey.WndProcFilter.h"
#include "shared/Trace.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

// The message window drops the errors of its filters and listeners so that
// they never reach the system; each one still leaves a trace with its place.
TEST(DroppedErrorTrace, AFailingFilterAndListenerLeaveTraces) {
  constexpr UINT message = WM_APP + 18;
  TWndProcFilter window(L"TraceTestCaption", L"PagekeepTraceTestClass");
  window.AddFilter(MakeMessageFilter([](TMessage aMessage) {
    if (aMessage.Msg == message)
      throw std::runtime_error("filter failed");
  }));
  window.AddEventListener(
      message, MakeMessageFilter([](TMessage) { throw std::logic_error("listener failed"); }));
  std::vector<std::wstring> lines;
  TTraceCapture capture([&lines](const std::wstring &aLine) { lines.push_back(aLine); });

  EXPECT_EQ(0, ::SendMessageW(window.Handle(), message, 0, 0));

  ASSERT_EQ(2u, lines.size());
  EXPECT_NE(std::wstring::npos, lines[0].find(L"hotkey/GlobalHotkey.WndProcFilter.cpp:"))
      << lines[0];
  EXPECT_NE(std::wstring::npos, lines[0].find(L"filter failed")) << lines[0];
  EXPECT_NE(std::wstring::npos, lines[1].find(L"listener failed")) << lines[1];
}
