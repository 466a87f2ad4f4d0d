#include "ui/Notifier.Render.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

// A 4 x 2 card whose pixels name their column: 1, 2, 3, 4.
GdiPlus::TPremultipliedImage Card() {
  return {4, 2, {1, 2, 3, 4, 1, 2, 3, 4}};
}

struct TFrameCase {
  const char *Name;
  int ClientWidth;
  std::vector<std::uint32_t> FirstRow; // of a 6 x 3 window
};

void PrintTo(const TFrameCase &aCase, std::ostream *aOut) {
  *aOut << aCase.Name;
}

class ComposeFrameTable : public testing::TestWithParam<TFrameCase> {};

TEST_P(ComposeFrameTable, ShowsTheCardsRightPartInTheClientArea) {
  const TFrameCase &c = GetParam();
  const auto frame = ComposeFrame(Card(), c.ClientWidth, 6, 3);
  ASSERT_EQ(6, frame.Width);
  ASSERT_EQ(3, frame.Height);
  const std::vector<std::uint32_t> first(frame.Pixels.begin(), frame.Pixels.begin() + 6);
  const std::vector<std::uint32_t> second(frame.Pixels.begin() + 6, frame.Pixels.begin() + 12);
  EXPECT_EQ(c.FirstRow, first);
  EXPECT_EQ(c.FirstRow, second);
  EXPECT_EQ(std::vector<std::uint32_t>(6, 0),
            std::vector<std::uint32_t>(frame.Pixels.begin() + 12, frame.Pixels.end()))
      << "below the card";
}

INSTANTIATE_TEST_SUITE_P(
    Table, ComposeFrameTable,
    testing::Values(TFrameCase{"Hidden", 0, {0, 0, 0, 0, 0, 0}},
                    TFrameCase{"RightEdgeFirst", 1, {4, 0, 0, 0, 0, 0}},
                    TFrameCase{"Half", 2, {3, 4, 0, 0, 0, 0}},
                    TFrameCase{"Whole", 4, {1, 2, 3, 4, 0, 0}},
                    TFrameCase{"ClientWiderThanWindow", 9, {0, 0, 0, 0, 0, 1}}),
    [](const testing::TestParamInfo<TFrameCase> &aInfo) { return std::string(aInfo.param.Name); });

} // namespace
