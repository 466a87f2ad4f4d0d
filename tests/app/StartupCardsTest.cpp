#include "app/StartupCards.h"

#include "harness/Harness.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

struct StartupCardsTest : ::testing::Test {
  TAfterStartupCards fCards;
  std::vector<std::pair<char, TClock::time_point>> fShown;

  TAfterStartupCards::TShow Card(char aName) {
    return [this, aName] { fShown.emplace_back(aName, TClock::now()); };
  }
  bool WaitForShown(std::size_t aCount, std::chrono::milliseconds aTimeout = 3000ms) {
    return Harness::WaitUntil([&] { return fShown.size() >= aCount; }, aTimeout);
  }
};

TEST_F(StartupCardsTest, CardsWaitForTheStartupMessagesAndShowOneAfterAnother) {
  const auto start = TClock::now();
  fCards.Add(Card('a'), 400);
  fCards.Add(Card('b'), 400);
  fCards.StartupMessageShown(700); // a greeting that came after the cards were queued
  ASSERT_TRUE(WaitForShown(2));
  EXPECT_EQ('a', fShown[0].first);
  EXPECT_EQ('b', fShown[1].first);
  EXPECT_GE(fShown[0].second - start, 650ms) << "not over the greeting";
  EXPECT_GE(fShown[1].second - fShown[0].second, 350ms) << "not over the card before";
  EXPECT_FALSE(WaitForShown(3, 600ms)) << "each card once";
}

TEST_F(StartupCardsTest, ACardCoveredByALateStartupMessageShowsAgainAfterIt) {
  fCards.Add(Card('a'), 2000);
  ASSERT_TRUE(WaitForShown(1));
  fCards.StartupMessageShown(TAfterStartupCards::UntilHidden);
  EXPECT_FALSE(WaitForShown(2, 700ms)) << "not while the message stays up";
  fCards.StartupMessageHidden();
  ASSERT_TRUE(WaitForShown(2));
  EXPECT_EQ('a', fShown[1].first);
  EXPECT_FALSE(WaitForShown(3, 500ms));
}

} // namespace
