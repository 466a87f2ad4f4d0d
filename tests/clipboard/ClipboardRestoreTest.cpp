#include "ClipboardTestUtils.h"
#include "clipboard/ClipboardStateContainer.h"

#include <gtest/gtest.h>

#include <functional>

using namespace ClipboardTest;

namespace {

// A picture of two colours: Top on its first row, Rest below.
struct TPicture {
  int Width, Height;
  COLORREF Top, Rest;
};

TBitmapHandle MakeBitmap(const TPicture &aPicture) {
  TWindowDC screen(nullptr);
  TBitmapHandle bitmap(::CreateCompatibleBitmap(screen.Get(), aPicture.Width, aPicture.Height));
  CheckWin32(static_cast<bool>(bitmap), "CreateCompatibleBitmap");
  TMemoryDCHandle dc(::CreateCompatibleDC(screen.Get()));
  CheckWin32(static_cast<bool>(dc), "CreateCompatibleDC");
  const HGDIOBJ before = ::SelectObject(dc.Get(), bitmap.Get());
  const auto fill = [&](int aTop, int aBottom, COLORREF aColour) {
    TGdiObjectHandle brush(::CreateSolidBrush(aColour));
    const RECT rect{0, aTop, aPicture.Width, aBottom};
    ::FillRect(dc.Get(), &rect, static_cast<HBRUSH>(brush.Get()));
  };
  fill(0, 1, aPicture.Top);
  fill(1, aPicture.Height, aPicture.Rest);
  ::SelectObject(dc.Get(), before);
  return bitmap;
}

// Empties the clipboard and puts the picture and a text on it.
void PutPictureAndText(const TPicture &aPicture, const std::wstring &aText) {
  TBitmapHandle bitmap = MakeBitmap(aPicture);
  PutText(aText);
  TClipboardSession session;
  CheckWin32(::SetClipboardData(CF_BITMAP, bitmap.Get()) != nullptr, "SetClipboardData");
  bitmap.Detach();
}

// The colour of the first pixel of row aRow (0 = top).
COLORREF PixelOfRow(HBITMAP aBitmap, int aWidth, int aHeight, int aRow) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), aWidth, aHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<std::uint32_t> line(static_cast<std::size_t>(aWidth));
  TWindowDC screen(nullptr);
  CheckWin32(::GetDIBits(screen.Get(), aBitmap, static_cast<UINT>(aHeight - 1 - aRow), 1,
                         line.data(), &info, DIB_RGB_COLORS) == 1,
             "GetDIBits");
  const std::uint32_t pixel = line[0];
  return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

void ExpectPictureOnClipboard(const TPicture &aPicture) {
  TClipboardSession session;
  const auto bitmap = static_cast<HBITMAP>(::GetClipboardData(CF_BITMAP));
  ASSERT_NE(nullptr, bitmap);
  BITMAP size{};
  ASSERT_EQ(static_cast<int>(sizeof(size)), ::GetObjectW(bitmap, sizeof(size), &size));
  EXPECT_EQ(aPicture.Width, size.bmWidth);
  ASSERT_EQ(aPicture.Height, size.bmHeight);
  EXPECT_EQ(aPicture.Top, PixelOfRow(bitmap, aPicture.Width, aPicture.Height, 0));
  EXPECT_EQ(aPicture.Rest,
            PixelOfRow(bitmap, aPicture.Width, aPicture.Height, aPicture.Height - 1));
}

const TClipboardFormatState *Find(const TClipboardStateContainer &aState, UINT aFormat) {
  for (const TClipboardFormatState &format : aState)
    if (format.Format() == aFormat)
      return &format;
  return nullptr;
}

TBytes TextBytes(const std::wstring &aText) {
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(aText.c_str());
  return TBytes(bytes, bytes + (aText.size() + 1) * sizeof(wchar_t));
}

// A BMP file header that promises aWidth x aHeight pixels and holds none.
TBytes BmpHeaderOnly(LONG aWidth, LONG aHeight) {
  BITMAPFILEHEADER file{0x4D42, 54, 0, 0, 54};
  BITMAPINFOHEADER info{sizeof(BITMAPINFOHEADER), aWidth, aHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  TBytes bytes(sizeof(file) + sizeof(info));
  std::memcpy(bytes.data(), &file, sizeof(file));
  std::memcpy(bytes.data() + sizeof(file), &info, sizeof(info));
  return bytes;
}

// A snapshot of one format (put first) and a text.
TClipboardState FormatAndText(UINT aFormat, TBytes aData) {
  auto container = std::make_unique<TClipboardStateContainer>();
  container->Add(std::make_unique<TClipboardFormatState>(aFormat, L"", std::move(aData)));
  container->Add(
      std::make_unique<TClipboardFormatState>(CF_UNICODETEXT, L"", TextBytes(L"the rest")));
  return TAutoPtr::Make(std::move(container));
}

// A scrolling screenshot: taller than any screen.
const TPicture TallPicture{2, 40000, RGB(200, 10, 20), RGB(10, 20, 200)};

struct TSkipCase {
  const char *Name;
  std::function<TClipboardState()> Make;
  std::vector<std::wstring> Skipped;
  TLeftOutReason Reason;
  std::function<void()> CheckMore;
};

class ClipboardRestoreSkips : public testing::TestWithParam<TSkipCase> {};

// What cannot be put back is named and skipped; the rest is restored.
TEST_P(ClipboardRestoreSkips, TheFormatThatCannotBePutBackAndRestoresTheRest) {
  const TClipboardState state = GetParam().Make();
  EmptyTheClipboard();
  const std::vector<TLeftOutFormat> skipped = RestoreClipboardState(state);
  EXPECT_FALSE(Clipboard().IsOpen());
  EXPECT_EQ(nullptr, ::GetOpenClipboardWindow());
  ASSERT_EQ(GetParam().Skipped.size(), skipped.size());
  for (std::size_t i = 0; i < skipped.size(); ++i) {
    EXPECT_EQ(GetParam().Skipped[i], skipped[i].Name);
    EXPECT_EQ(GetParam().Reason, skipped[i].Reason);
  }
  EXPECT_EQ(L"the rest", ReadText());
  GetParam().CheckMore();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClipboardRestoreSkips,
    testing::Values(
        // Capture and restore agree on their limits: what was recorded comes back.
        TSkipCase{"TallPictureRecordedIsRestored",
                  [] {
                    PutPictureAndText(TallPicture, L"the rest");
                    return CaptureClipboardState(false);
                  },
                  {},
                  TLeftOutReason::lrUnreadable,
                  [] { ExpectPictureOnClipboard(TallPicture); }},
        TSkipCase{"UndecodablePicture",
                  [] {
                    return FormatAndText(CF_BITMAP, {'B', 'M', 1, 2});
                  },
                  {L"CF_BITMAP"},
                  TLeftOutReason::lrUnreadable,
                  [] {}},
        TSkipCase{"PictureOverTheLimit",
                  [] { return FormatAndText(CF_BITMAP, BmpHeaderOnly(40000, 40000)); },
                  {L"CF_BITMAP"},
                  TLeftOutReason::lrTooLarge,
                  [] {}},
        TSkipCase{"PictureShorterThanItsHeader",
                  [] { return FormatAndText(CF_BITMAP, BmpHeaderOnly(3, 2)); },
                  {L"CF_BITMAP"},
                  TLeftOutReason::lrUnreadable,
                  [] {}},
        TSkipCase{"UnloadableMetafile",
                  [] {
                    return FormatAndText(CF_ENHMETAFILE, {1, 2, 3});
                  },
                  {L"CF_ENHMETAFILE"},
                  TLeftOutReason::lrUnreadable,
                  [] {}}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

TEST(ClipboardCapture, PictureOverTheLimitIsNamedAsLeftOut) {
  // 16385 x 4097 x 4 bytes is just over the limit; the source keeps it as a
  // 1-bit bitmap so the test stays light.
  TBitmapHandle bitmap(::CreateBitmap(16385, 4097, 1, 1, nullptr));
  ASSERT_TRUE(bitmap);
  PutText(L"text");
  {
    TClipboardSession session;
    ASSERT_NE(nullptr, ::SetClipboardData(CF_BITMAP, bitmap.Get()));
    bitmap.Detach();
  }
  const TClipboardState state = CaptureClipboardState(false);
  const auto *picture = Find(state(), CF_BITMAP);
  ASSERT_NE(nullptr, picture);
  EXPECT_TRUE(picture->Data().empty());
  ASSERT_EQ(1u, state().LeftOut().size());
  EXPECT_EQ(L"CF_BITMAP", state().LeftOut()[0].Name);
  EXPECT_EQ(TLeftOutReason::lrTooLarge, state().LeftOut()[0].Reason);
  EmptyTheClipboard();
}

// Each snapshot keeps one copy of a picture's pixels, so a history of large
// pictures fits: every one of them comes back.
TEST(LargePictures, FourCopiesOfA6000SquarePictureAllComeBack) {
  constexpr int Side = 6000;
  const auto picture = [](int aIndex) {
    const auto shade = static_cast<BYTE>(40 * aIndex + 30);
    return TPicture{Side, Side, RGB(shade, 0, 255 - shade), RGB(0, shade, 100)};
  };
  std::vector<TClipboardState> states;
  for (int i = 0; i < 4; ++i) {
    PutPictureAndText(picture(i), L"the rest");
    states.push_back(CaptureClipboardState(false));
    const auto *bitmap = Find(states.back()(), CF_BITMAP);
    ASSERT_NE(nullptr, bitmap) << i;
    EXPECT_EQ(54u + 4u * Side * Side, bitmap->Data().size()) << i;
    EXPECT_TRUE(states.back()().LeftOut().empty()) << i;
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(RestoreClipboardState(states[static_cast<std::size_t>(i)]).empty()) << i;
    ExpectPictureOnClipboard(picture(i));
  }
  EmptyTheClipboard();
}

} // namespace
