#include "ui/GdiPlus.h"
#include "ui/Notifier.Pictures.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>

namespace {

class PictureByName : public testing::TestWithParam<std::wstring_view> {
protected:
  GdiPlus::TSession fGdiPlus;
};

TEST_P(PictureByName, IsAGreyLineDrawingOnTransparent) {
  const TBitmap picture = Pictures::Draw(GetParam());
  ASSERT_EQ(64, picture.Width());
  ASSERT_EQ(64, picture.Height());
  int opaque = 0, clear = 0;
  for (TAlphaColor pixel : picture.Pixels()) {
    const TAlphaColor alpha = pixel >> 24;
    if (alpha == 0)
      ++clear;
    else
      EXPECT_EQ(0x929292u, pixel & 0xFFFFFF) << "straight alpha keeps the grey";
    opaque += alpha == 0xFF;
  }
  EXPECT_GT(opaque, 150) << "lines to see";
  EXPECT_GT(clear, 64 * 64 / 3) << "a line drawing, not a filled square";
}

INSTANTIATE_TEST_SUITE_P(Names, PictureByName, testing::ValuesIn(Pictures::Names),
                         [](const testing::TestParamInfo<std::wstring_view> &aInfo) {
                           return std::string(aInfo.param.begin(), aInfo.param.end());
                         });

TEST(Pictures, ListFindsEachNameOnceAndNothingElse) {
  GdiPlus::TSession gdiPlus;
  const Pictures::TPictureList list;
  std::set<std::vector<TAlphaColor>> distinct;
  for (std::wstring_view name : Pictures::Names) {
    const TBitmap *picture = list.Find(name);
    ASSERT_NE(nullptr, picture);
    EXPECT_EQ(picture, list.Find(name)) << "the list keeps its own";
    distinct.insert(picture->Pixels());
  }
  EXPECT_EQ(std::size(Pictures::Names), distinct.size());
  for (const wchar_t *unknown : {L"", L"empty", L"Empty ", L"Warning"})
    EXPECT_EQ(nullptr, list.Find(unknown)) << std::string(unknown, unknown + wcslen(unknown));
  EXPECT_THROW(Pictures::Draw(L"Nothing"), std::invalid_argument);
}

TEST(Pictures, WarningBadgeIsAYellowTriangleWithAMark) {
  GdiPlus::TSession gdiPlus;
  const TBitmap badge = Pictures::DrawWarningBadge();
  ASSERT_EQ(32, badge.Width());
  ASSERT_EQ(32, badge.Height());
  EXPECT_EQ(0xFFFFC928u, badge.Pixel(10, 24));
  EXPECT_EQ(0xFFFFC928u, badge.Pixel(22, 24));
  EXPECT_EQ(0xFF202020u, badge.Pixel(16, 14)) << "the exclamation mark";
  EXPECT_EQ(0u, badge.Pixel(1, 1) >> 24) << "transparent around the triangle";
  EXPECT_EQ(0u, badge.Pixel(30, 5) >> 24);
}

} // namespace
