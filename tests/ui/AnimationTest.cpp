#include "ui/Notifier.Animation.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

using namespace std::chrono_literals;
using Animation::TClock;
using Animation::TDuration;

struct TEaseCase {
  const char *Name;
  double ElapsedSeconds;
  double Progress;
  double Eased;
};

void PrintTo(const TEaseCase &aCase, std::ostream *aOut) {
  *aOut << aCase.Name;
}

class EaseOutCubic : public testing::TestWithParam<TEaseCase> {};

TEST_P(EaseOutCubic, CoversTheEasedFractionOfHalfASecond) {
  const TEaseCase &c = GetParam();
  const double progress = Animation::Progress(TDuration(c.ElapsedSeconds), 500ms);
  EXPECT_DOUBLE_EQ(c.Progress, progress);
  EXPECT_NEAR(c.Eased, Animation::EaseOutCubic(progress), 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EaseOutCubic,
    testing::Values(TEaseCase{"Start", 0, 0, 0}, TEaseCase{"Before", -0.1, 0, 0},
                    TEaseCase{"Tenth", 0.05, 0.1, 0.271}, TEaseCase{"Half", 0.25, 0.5, 0.875},
                    TEaseCase{"ThreeQuarters", 0.375, 0.75, 0.984375}, TEaseCase{"End", 0.5, 1, 1},
                    TEaseCase{"Past", 2, 1, 1}),
    [](const testing::TestParamInfo<TEaseCase> &aInfo) { return std::string(aInfo.param.Name); });

TEST(Animation, ZeroDurationIsAlreadyDone) {
  EXPECT_EQ(1, Animation::Progress(0s, TDuration::zero()));
  EXPECT_EQ(1, Animation::Progress(1s, TDuration::zero()));
}

TEST(AnimatedValue, RunsFromItsValueToTheTargetAndThenStops) {
  const auto start = TClock::now();
  TAnimatedValue width(0);
  width.AnimateTo(330, start, 500ms);
  EXPECT_TRUE(width.IsAnimating());
  EXPECT_EQ(0, width.Value());
  EXPECT_TRUE(width.Advance(start + 250ms));
  EXPECT_DOUBLE_EQ(330 * 0.875, width.Value());
  EXPECT_FALSE(width.Advance(start + 500ms));
  EXPECT_EQ(330, width.Value());
  EXPECT_FALSE(width.IsAnimating());
  EXPECT_FALSE(width.Advance(start + 10s)); // nothing runs any more
  EXPECT_EQ(330, width.Value());
}

TEST(AnimatedValue, ANewAnimationStartsWhereTheRunningOneIsAndReplacesIt) {
  const auto start = TClock::now();
  TAnimatedValue width(330);
  width.AnimateTo(0, start, 500ms); // sliding out
  width.AnimateTo(255, start + 250ms, 500ms);
  const double from = 330 - 330 * 0.875;
  EXPECT_DOUBLE_EQ(from, width.Value());
  width.Advance(start + 500ms); // halfway through the new one only
  EXPECT_DOUBLE_EQ(from + (255 - from) * 0.875, width.Value());
  width.Advance(start + 750ms);
  EXPECT_EQ(255, width.Value());
}

TEST(AnimatedValue, SetStopsTheRunningAnimation) {
  const auto start = TClock::now();
  TAnimatedValue opacity(1);
  opacity.AnimateTo(0, start, 500ms);
  opacity.Set(0);
  EXPECT_FALSE(opacity.IsAnimating());
  EXPECT_FALSE(opacity.Advance(start + 100ms));
  EXPECT_EQ(0, opacity.Value());
}

TEST(AnimatedValue, ZeroDurationArrivesAtOnce) {
  TAnimatedValue width(0);
  width.AnimateTo(330, TClock::now(), TDuration::zero());
  EXPECT_FALSE(width.IsAnimating());
  EXPECT_EQ(330, width.Value());
}

} // namespace
