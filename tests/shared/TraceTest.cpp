#include "shared/Trace.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> TraceOf(void (*aThrow)()) {
  std::vector<std::wstring> lines;
  TTraceCapture capture([&lines](const std::wstring &aLine) { lines.push_back(aLine); });
  try {
    aThrow();
  } catch (...) {
    TraceDroppedError();
  }
  return lines;
}

} // namespace

TEST(Trace, ADroppedErrorLeavesItsPlaceAndMessage) {
  const auto lines = TraceOf(
      [] { throw std::runtime_error("Cannot open clipboard: Zugriff verweigert \xc3\xa4"); });
  ASSERT_EQ(1u, lines.size());
  const std::wstring &text = lines.front();
  EXPECT_EQ(0u, text.find(L"Pagekeep: error dropped at ")) << text;
  EXPECT_NE(std::wstring::npos, text.find(L"TraceTest.cpp:")) << text;
  EXPECT_NE(std::wstring::npos, text.find(L"Zugriff verweigert \u00e4"))
      << "UTF-8 widened: " << text;
  EXPECT_EQ(L'\n', text.back());
}

TEST(Trace, AnErrorOfAnyTypeIsNamed) {
  const auto lines = TraceOf([] { throw 42; });
  ASSERT_EQ(1u, lines.size());
  EXPECT_NE(std::wstring::npos, lines.front().find(L"not a std::exception")) << lines.front();
}

TEST(Trace, ThePlaceIsTheCaller) {
  std::vector<std::wstring> lines;
  TTraceCapture capture([&lines](const std::wstring &aLine) { lines.push_back(aLine); });
  int line = 0;
  try {
    throw std::logic_error("x");
  } catch (...) {
    line = __LINE__ + 1;
    TraceDroppedError();
  }
  ASSERT_EQ(1u, lines.size());
  EXPECT_NE(std::wstring::npos, lines.front().find(L"TraceTest.cpp:" + std::to_wstring(line)))
      << lines.front();
}

TEST(Trace, NothingIsCapturedAfterTheCaptureEnds) {
  std::vector<std::wstring> lines;
  {
    TTraceCapture capture([&lines](const std::wstring &aLine) { lines.push_back(aLine); });
  }
  try {
    throw std::runtime_error("late");
  } catch (...) {
    TraceDroppedError();
  }
  EXPECT_TRUE(lines.empty());
}
