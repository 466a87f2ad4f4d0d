// Pictures put as CF_BITMAP, device bitmaps and DIB sections of every size up
// to the largest kept, captured whole and restored with their pixels.
#include "ClipboardTestUtils.h"

#include "clipboard/ClipboardFormatState.h"
#include "clipboard/ClipboardImages.h"
#include "clipboard/ClipboardStateContainer.h"
#include "harness/TestPictures.h"

#include <gtest/gtest.h>

namespace {

using namespace ClipboardTest;

using Harness::TBitmapKind;

struct TPictureCase {
  const char *Name;
  TBitmapKind Kind;
  int Width, Height;
};

class BitmapSizes : public testing::TestWithParam<TPictureCase> {};

TEST_P(BitmapSizes, IsCapturedWholeAndRestoredWithItsPixels) {
  const TPictureCase &picture = GetParam();
  {
    TClipboardSession session;
    CheckWin32(::EmptyClipboard() != FALSE, "EmptyClipboard");
    TBitmapHandle bitmap =
        Harness::MakePatternBitmap(picture.Kind, picture.Width, picture.Height, 7);
    CheckWin32(::SetClipboardData(CF_BITMAP, bitmap.Get()) != nullptr, "SetClipboardData");
    bitmap.Detach();
  }
  std::unique_ptr<TClipboardFormatState> captured;
  {
    TClipboardSession session;
    captured = std::make_unique<TClipboardFormatState>(static_cast<WORD>(CF_BITMAP));
  }
  ASSERT_FALSE(captured->LeftOutReason().has_value())
      << "left out: " << static_cast<int>(*captured->LeftOutReason());
  const std::size_t pixelBytes =
      static_cast<std::size_t>(picture.Width) * static_cast<std::size_t>(picture.Height) * 4;
  ASSERT_EQ(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + pixelBytes,
            captured->Data().size());

  {
    TClipboardSession session;
    CheckWin32(::EmptyClipboard() != FALSE, "EmptyClipboard");
    EXPECT_FALSE(captured->Restore().has_value());
  }
  TClipboardSession session;
  const auto restored = static_cast<HBITMAP>(::GetClipboardData(CF_BITMAP));
  ASSERT_NE(nullptr, restored);
  const Harness::TPixels seen = Harness::ReadPixels(restored);
  EXPECT_EQ(picture.Width, seen.Width);
  EXPECT_EQ(picture.Height, seen.Height);
  EXPECT_TRUE(seen.Pixels == Harness::PatternPixels(picture.Width, picture.Height, 7));
}

// Up to 8192 x 8192: 256 MiB of pixels, the largest picture kept.
INSTANTIATE_TEST_SUITE_P(
    Sizes, BitmapSizes,
    testing::Values(TPictureCase{"Compatible1x1", TBitmapKind::bkScreenCompatible, 1, 1},
                    TPictureCase{"Compatible500", TBitmapKind::bkScreenCompatible, 500, 500},
                    TPictureCase{"Compatible2000", TBitmapKind::bkScreenCompatible, 2000, 2000},
                    TPictureCase{"Compatible8192", TBitmapKind::bkScreenCompatible, 8192, 8192},
                    TPictureCase{"DibSection500", TBitmapKind::bkDibSection, 500, 500},
                    TPictureCase{"DibSection2000", TBitmapKind::bkDibSection, 2000, 2000},
                    TPictureCase{"DibSection1x8000", TBitmapKind::bkDibSection, 1, 8000}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

// One row past the largest picture kept: listed, without data, as too large.
TEST(BitmapSizes, APictureLargerThanTheLimitIsLeftOutAsTooLarge) {
  {
    TClipboardSession session;
    CheckWin32(::EmptyClipboard() != FALSE, "EmptyClipboard");
    TBitmapHandle bitmap(::CreateBitmap(8193, 8192, 1, 32, nullptr));
    CheckWin32(static_cast<bool>(bitmap), "CreateBitmap");
    CheckWin32(::SetClipboardData(CF_BITMAP, bitmap.Get()) != nullptr, "SetClipboardData");
    bitmap.Detach();
  }
  TClipboardSession session;
  const TClipboardFormatState captured(static_cast<WORD>(CF_BITMAP));
  EXPECT_TRUE(captured.Data().empty());
  EXPECT_EQ(TLeftOutReason::lrTooLarge, captured.LeftOutReason());
}

} // namespace
