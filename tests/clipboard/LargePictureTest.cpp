// Pictures put as CF_BITMAP, device bitmaps and DIB sections of every size up
// to the largest kept, captured whole and restored with their pixels.
#include "ClipboardTestUtils.h"

#include "clipboard/ClipboardFormatState.h"
#include "clipboard/ClipboardImages.h"
#include "clipboard/ClipboardStateContainer.h"

#include <gtest/gtest.h>

namespace {

using namespace ClipboardTest;

enum class TBitmapKind { bkScreenCompatible, bkDibSection };

BITMAPINFO TopDown32(int aWidth, int aHeight) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = aWidth;
  info.bmiHeader.biHeight = -aHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

std::uint32_t PatternPixel(std::size_t aIndex) {
  return static_cast<std::uint32_t>(aIndex * 2654435761u) & 0x00FFFFFF;
}

TBitmapHandle MakeBitmap(TBitmapKind aKind, int aWidth, int aHeight) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(aWidth) *
                                    static_cast<std::size_t>(aHeight));
  for (std::size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = PatternPixel(i);
  BITMAPINFO info = TopDown32(aWidth, aHeight);
  TWindowDC screen(nullptr);
  if (aKind == TBitmapKind::bkDibSection) {
    void *bits = nullptr;
    TBitmapHandle dib(::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    CheckWin32(dib && bits, "CreateDIBSection");
    std::memcpy(bits, pixels.data(), pixels.size() * 4);
    ::GdiFlush();
    return dib;
  }
  TBitmapHandle bitmap(::CreateCompatibleBitmap(screen.Get(), aWidth, aHeight));
  CheckWin32(static_cast<bool>(bitmap), "CreateCompatibleBitmap");
  CheckWin32(::SetDIBits(screen.Get(), bitmap.Get(), 0, static_cast<UINT>(aHeight), pixels.data(),
                         &info, DIB_RGB_COLORS) == aHeight,
             "SetDIBits");
  return bitmap;
}

// Width, height and whether every pixel is the pattern's.
struct TSeen {
  int Width = 0, Height = 0;
  bool Pattern = false;
};

TSeen Look(HBITMAP aBitmap) {
  BITMAP header{};
  CheckWin32(::GetObjectW(aBitmap, sizeof header, &header) == sizeof header, "GetObjectW");
  TSeen seen{header.bmWidth, header.bmHeight, false};
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(seen.Width) *
                                    static_cast<std::size_t>(seen.Height));
  BITMAPINFO info = TopDown32(seen.Width, seen.Height);
  TWindowDC screen(nullptr);
  CheckWin32(::GetDIBits(screen.Get(), aBitmap, 0, static_cast<UINT>(seen.Height), pixels.data(),
                         &info, DIB_RGB_COLORS) == seen.Height,
             "GetDIBits");
  seen.Pattern = true;
  for (std::size_t i = 0; i < pixels.size() && seen.Pattern; ++i)
    seen.Pattern = (pixels[i] & 0x00FFFFFF) == PatternPixel(i);
  return seen;
}

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
    TBitmapHandle bitmap = MakeBitmap(picture.Kind, picture.Width, picture.Height);
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
  const TSeen seen = Look(restored);
  EXPECT_EQ(picture.Width, seen.Width);
  EXPECT_EQ(picture.Height, seen.Height);
  EXPECT_TRUE(seen.Pattern);
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
