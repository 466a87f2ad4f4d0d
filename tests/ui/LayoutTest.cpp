#include "ui/Notifier.Layout.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace CardLayout {
void PrintTo(const TRectF &aRect, std::ostream *aOut) {
  *aOut << "{" << aRect.X << ", " << aRect.Y << ", " << aRect.Width << " x " << aRect.Height << "}";
}
} // namespace CardLayout

namespace {

using namespace CardLayout;

struct TFitCase {
  const char *Name;
  double Width;
  double Height;
  TRectF Area;
  TRectF Expected;
};

void PrintTo(const TFitCase &aCase, std::ostream *aOut) {
  *aOut << aCase.Name;
}

class FitPictureTable : public testing::TestWithParam<TFitCase> {};

// Within a billionth of a unit: on the 32-bit target the x87 unit keeps
// intermediates at 80 bits where the code generation allows, so a centred
// offset can come out at -3e-15 in one build and 0 in another.
TEST_P(FitPictureTable, ReducesToFitKeepsTheAspectAndCentres) {
  const TFitCase &c = GetParam();
  const TRectF fitted = FitPicture(c.Width, c.Height, c.Area);
  constexpr double tolerance = 1e-9;
  EXPECT_NEAR(c.Expected.X, fitted.X, tolerance);
  EXPECT_NEAR(c.Expected.Y, fitted.Y, tolerance);
  EXPECT_NEAR(c.Expected.Width, fitted.Width, tolerance);
  EXPECT_NEAR(c.Expected.Height, fitted.Height, tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FitPictureTable,
    testing::Values(
        // A 64 x 64 picture in the 73 x 73 icon box stays 64 x 64.
        TFitCase{"FitsAtOwnSize", 64, 64, {256, 1, 73, 73}, {260.5, 5.5, 64, 64}},
        TFitCase{"ExactFit", 73, 73, {256, 1, 73, 73}, {256, 1, 73, 73}},
        TFitCase{"SmallIsNotEnlarged", 16, 8, {0, 0, 100, 100}, {42, 46, 16, 8}},
        TFitCase{"WideIsReducedToTheWidth", 600, 100, {20, 81, 300, 189}, {20, 150.5, 300, 50}},
        TFitCase{"TallIsReducedToTheHeight", 100, 378, {20, 81, 300, 189}, {145, 81, 50, 189}},
        TFitCase{"BothTooLarge", 1000, 1000, {0, 0, 200, 100}, {50, 0, 100, 100}},
        TFitCase{"EmptyArea", 64, 64, {10, 10, 0, 0}, {10, 10, 0, 0}}),
    [](const testing::TestParamInfo<TFitCase> &aInfo) { return std::string(aInfo.param.Name); });

struct THeightCase {
  const char *Name;
  bool HasImage;
  bool HasText;
  double TextHeight;
  double Maximum;
  double Expected;
};

void PrintTo(const THeightCase &aCase, std::ostream *aOut) {
  *aOut << aCase.Name;
}

class FormHeightTable : public testing::TestWithParam<THeightCase> {};

TEST_P(FormHeightTable, FollowsTheContent) {
  const THeightCase &c = GetParam();
  EXPECT_EQ(c.Expected, FormHeightFor(c.HasImage, c.HasText, c.TextHeight, c.Maximum));
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormHeightTable,
    testing::Values(THeightCase{"Preview", true, false, 0, 1000, 280},
                    THeightCase{"PreviewWinsOverText", true, true, 300, 1000, 280},
                    THeightCase{"TextRoundedDown", false, true, 33.4, 1000, 123},
                    THeightCase{"TextRoundedUp", false, true, 33.6, 1000, 124},
                    THeightCase{"NoText", false, false, 0, 1000, 75},
                    THeightCase{"TallTextIsCutToTheScreen", false, true, 5000, 994, 994},
                    THeightCase{"NeverBelowTheHeader", false, false, 0, 20, 75}),
    [](const testing::TestParamInfo<THeightCase> &aInfo) { return std::string(aInfo.param.Name); });

TEST(CardLayout, WideCardWithIconAndText) {
  TCardParts parts;
  parts.CardWidth = CardWidthFor(true);
  parts.FormHeight = 123;
  parts.IconVisible = true;
  parts.CommentHeight = 17;
  parts.DetailHeight = 33;
  const TCardRects r = LayoutCard(parts);
  EXPECT_EQ((TRectF{0, 0, 330, 123}), r.Background);
  EXPECT_EQ((TRectF{256, 1, 73, 73}), r.IconBox);
  EXPECT_EQ((TRectF{10, 0, 235, 41}), r.Caption);
  EXPECT_EQ((TRectF{20, 41, 225, 17}), r.Comment);
  EXPECT_EQ((TRectF{295, 3, 32, 32}), r.Badge);
  EXPECT_EQ((TRectF{1, 75, 328, 1}), r.Line);
  EXPECT_EQ((TRectF{20, 81, 300, 33}), r.Detail);
  EXPECT_EQ(TRectF{}, r.Image);
}

TEST(CardLayout, NarrowCardWithoutIconBoxGivesTheTextTheRoom) {
  TCardParts parts;
  parts.CardWidth = CardWidthFor(false);
  parts.FormHeight = 280;
  parts.ImageVisible = true;
  const TCardRects r = LayoutCard(parts);
  EXPECT_EQ(255, parts.CardWidth);
  EXPECT_EQ(TRectF{}, r.IconBox);
  EXPECT_EQ((TRectF{10, 0, 235, 41}), r.Caption);
  EXPECT_EQ(225, r.Comment.Width);
  // The badge follows the right edge: 3 from the top and from the right.
  EXPECT_EQ((TRectF{220, 3, 32, 32}), r.Badge);
  EXPECT_EQ((TRectF{20, 81, 225, 189}), r.Image);
  EXPECT_EQ(TRectF{}, r.Detail);
}

TEST(CardLayout, TheCardIsDockedToTheClientAreasRightEdge) {
  EXPECT_EQ(-330, CardOffset(0, 330));
  EXPECT_EQ(-155, CardOffset(100, 255));
  EXPECT_EQ(0, CardOffset(330, 330));
}

} // namespace
