// The card request: each tone's colour and what a request puts on the card.
#include "NotifierTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace NotifierTest;

struct TToneCase {
  const char *Name;
  TCardTone Tone;
  TAlphaColor Color;
};

class CardTones : public ::testing::TestWithParam<TToneCase> {};

TEST_P(CardTones, EachToneHasItsFixedColour) {
  EXPECT_EQ(GetParam().Color, CardToneColor(GetParam().Tone));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CardTones,
    ::testing::Values(TToneCase{"Neutral", TCardTone::Neutral, 0xFF4F8BC1},
                      TToneCase{"PrivateMode", TCardTone::PrivateMode, 0xFFED3B45},
                      TToneCase{"NormalMode", TCardTone::NormalMode, 0xFF2DC022},
                      TToneCase{"Warning", TCardTone::Warning, 0xFFE08A1E}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

TEST(CardPictures, EveryPictureButNoneIsOneOfTheCardsOwn) {
  for (TCardPicture picture :
       {TCardPicture::Hello, TCardPicture::Search, TCardPicture::Private, TCardPicture::Enabled,
        TCardPicture::Download, TCardPicture::Updated, TCardPicture::Actual, TCardPicture::Empty}) {
    bool known = false;
    for (std::wstring_view name : Pictures::Names)
      known = known || name == CardPictureName(picture);
    EXPECT_TRUE(known) << static_cast<int>(picture);
  }
  EXPECT_TRUE(CardPictureName(TCardPicture::None).empty());
}

TEST(CardRequest, ShowCardPutsTextsToneBadgeAndPictureOnTheCard) {
  TNotifier notifier(::GetModuleHandleW(nullptr));
  TCardRequest request =
      MakeCard(L"Hotkeys taken", L"short", TCardPicture::Search, TCardTone::Warning, 5000);
  request.DetailedDescription = L"details";
  request.WarningBadge = true;
  notifier.ShowCard(request);
  EXPECT_EQ(0xFFE08A1E, notifier.BackgroundColor());
  EXPECT_TRUE(notifier.ShowWarning());
  EXPECT_EQ(L"Hotkeys taken", notifier.Content().Caption);
  EXPECT_EQ(L"short", notifier.Content().Comment);
  EXPECT_TRUE(notifier.Content().Icon.has_value());
  EXPECT_TRUE(notifier.IsHideTimerRunning());

  notifier.ShowCard(MakeCard(L"Normal mode", L"", TCardPicture::None, TCardTone::NormalMode, 100));
  EXPECT_EQ(0xFF2DC022, notifier.BackgroundColor());
  EXPECT_FALSE(notifier.ShowWarning()) << "the badge belongs to the request that asked for it";
  EXPECT_FALSE(notifier.Content().Icon.has_value());
  PumpFor(30ms);
}

} // namespace
