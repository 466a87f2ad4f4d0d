#include "analysis/Bitmap.Convert.h"
#include "analysis/Format.Base.h"

#include "AnalysisTestSupport.h"
#include "clipboard/ClipboardSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

using namespace AnalysisTest;

// An EMF file of a red rectangle over the left half of a blue frame, by
// default 40 x 20 pixels.
std::vector<std::uint8_t> RedRectangleMetafile(int aWidth = 40, int aHeight = 20) {
  TWindowDC screen(nullptr);
  const int mmPerPixelX100 =
      ::GetDeviceCaps(screen.Get(), HORZSIZE) * 100 / ::GetDeviceCaps(screen.Get(), HORZRES);
  const int mmPerPixelY100 =
      ::GetDeviceCaps(screen.Get(), VERTSIZE) * 100 / ::GetDeviceCaps(screen.Get(), VERTRES);
  const RECT frame{0, 0, aWidth * mmPerPixelX100, aHeight * mmPerPixelY100};
  HDC recorder = ::CreateEnhMetaFileW(screen.Get(), nullptr, &frame, nullptr);
  EXPECT_NE(nullptr, recorder);
  TGdiObjectHandle brush(::CreateSolidBrush(RGB(255, 0, 0)));
  const RECT all{0, 0, 40, 20}, left{0, 0, 20, 20};
  TGdiObjectHandle white(::CreateSolidBrush(RGB(0, 0, 255)));
  ::FillRect(recorder, &all, static_cast<HBRUSH>(white.Get()));
  ::FillRect(recorder, &left, static_cast<HBRUSH>(brush.Get()));
  TEnhMetaFileHandle metafile(::CloseEnhMetaFile(recorder));
  const UINT size = ::GetEnhMetaFileBits(metafile.Get(), 0, nullptr);
  std::vector<std::uint8_t> bits(size);
  ::GetEnhMetaFileBits(metafile.Get(), size, bits.data());
  return bits;
}

// The metafile with its header changed by aChange, as another program's
// bytes may have it.
template <class TChange>
std::vector<std::uint8_t> PatchedMetafile(std::vector<std::uint8_t> aBits, TChange aChange) {
  ENHMETAHEADER header{};
  std::memcpy(&header, aBits.data(), sizeof(header));
  aChange(header);
  std::memcpy(aBits.data(), &header, sizeof(header));
  return aBits;
}

// A header whose device size in millimetres overflows 32 bits when taken in
// hundredths: wrapped, it would claim the picture's own size.
std::vector<std::uint8_t> MetafileWithHugeDevice() {
  return PatchedMetafile(RedRectangleMetafile(), [](ENHMETAHEADER &aHeader) {
    aHeader.szlMillimeters.cx += 42949673; // in hundredths 2^32 + 4 more
  });
}

// A frame wider than 32 bits can hold, with a device of negative size:
// wrapped, both would cancel out into the picture's own size.
std::vector<std::uint8_t> MetafileWithOverflowingFrame() {
  return PatchedMetafile(RedRectangleMetafile(), [](ENHMETAHEADER &aHeader) {
    const LONG width = aHeader.rclFrame.right - aHeader.rclFrame.left;
    aHeader.rclFrame.right = std::numeric_limits<LONG>::max();
    aHeader.rclFrame.left =
        static_cast<LONG>(std::int64_t{aHeader.rclFrame.right} + width - (std::int64_t{1} << 32));
    aHeader.szlMillimeters.cx = -aHeader.szlMillimeters.cx;
  });
}

// An icon file holding a 32-bit image: not a bitmap, though the imaging
// component has a decoder for it.
std::vector<std::uint8_t> IconFile(int aSide, std::uint32_t aColour) {
  const std::vector<std::uint8_t> bmp =
      EncodeBmp(aSide, aSide,
                std::vector<std::uint32_t>(
                    static_cast<std::size_t>(aSide) * static_cast<std::size_t>(aSide), aColour));
  std::vector<std::uint8_t> image(bmp.begin() + sizeof(BITMAPFILEHEADER), bmp.end());
  BITMAPINFOHEADER info{};
  std::memcpy(&info, image.data(), sizeof(info));
  info.biHeight *= 2; // colours and mask
  std::memcpy(image.data(), &info, sizeof(info));
  image.resize(image.size() +
               static_cast<std::size_t>((aSide + 31) / 32 * 4) * static_cast<std::size_t>(aSide));
  const auto side = static_cast<std::uint8_t>(aSide);
  const auto size = static_cast<std::uint32_t>(image.size());
  std::vector<std::uint8_t> file{0, 0, 1, 0, 1, 0, side, side, 0, 0, 1, 0, 32, 0};
  for (std::uint32_t value : {size, std::uint32_t{22}})
    for (int shift = 0; shift < 32; shift += 8)
      file.push_back(static_cast<std::uint8_t>(value >> shift));
  file.insert(file.end(), image.begin(), image.end());
  return file;
}

TEST(PreviewImage, MetafileWinsOverAnEarlierBitmapAndIsDrawnAtItsSize) {
  auto state = MakeSnapshot({{CF_BITMAP, L"", EncodeBmp(1, 1, {0xFF00FF00})},
                             {CF_ENHMETAFILE, L"", RedRectangleMetafile()}});
  const std::optional<TBitmap> image = TBaseAnalyzer::GetPreviewImage(state);
  ASSERT_TRUE(image);
  EXPECT_NEAR(40, image->Width(), 1);
  EXPECT_NEAR(20, image->Height(), 1);
  EXPECT_EQ(0xFFFF0000u, image->Pixel(5, 10));
  EXPECT_EQ(0xFF0000FFu, image->Pixel(image->Width() - 5, 10));
}

TEST(PreviewImage, BitmapIsDecodedOpaque) {
  // The fourth byte of a captured BMP carries no colour: zero here.
  auto state = MakeSnapshot(
      {{CF_TEXT, L"", AnsiBytes("x")},
       {CF_BITMAP, L"",
        EncodeBmp(3, 2,
                  {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFFFF, 0x00000000, 0x00808080})}});
  const std::optional<TBitmap> image = TBaseAnalyzer::GetPreviewImage(state);
  ASSERT_TRUE(image);
  ASSERT_EQ(3, image->Width());
  ASSERT_EQ(2, image->Height());
  EXPECT_EQ((std::vector<TAlphaColor>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF000000,
                                      0xFF808080}),
            image->Pixels());
}

TEST(PreviewImage, NoImageFormatOrNoCapturedDataGivesNoPreview) {
  EXPECT_FALSE(TBaseAnalyzer::GetPreviewImage(MakeSnapshot({{CF_TEXT, L"", AnsiBytes("x")}})));
  EXPECT_FALSE(TBaseAnalyzer::GetPreviewImage(
      MakeSnapshot({{CF_ENHMETAFILE, L"", {}}, {CF_BITMAP, L"", {}}})));
  // An empty metafile leaves the bitmap to be shown.
  auto state =
      MakeSnapshot({{CF_ENHMETAFILE, L"", {}}, {CF_BITMAP, L"", EncodeBmp(1, 1, {0xFF112233})}});
  ASSERT_TRUE(TBaseAnalyzer::GetPreviewImage(state));
  EXPECT_EQ(0xFF112233u, TBaseAnalyzer::GetPreviewImage(state)->Pixel(0, 0));
}

// Undecodable image data is an error that leaves DescriptionForState: its
// caller has to survive it.
TEST(PreviewImage, UndecodableImagesRaiseOutOfTheRegistry) {
  std::vector<std::uint8_t> truncatedBmp = EncodeBmp(4, 4, std::vector<std::uint32_t>(16));
  truncatedBmp.resize(40);
  const std::vector<std::vector<TFormatSample>> snapshots{
      {{CF_BITMAP, L"", {'B', 'M', 1, 2, 3}}},
      {{CF_BITMAP, L"", truncatedBmp}},
      {{CF_ENHMETAFILE, L"", {1, 2, 3, 4, 5, 6, 7, 8}}},
      {{CF_ENHMETAFILE, L"", RedRectangleMetafile(40000, 20)}}, // a frame too large to draw
      {{CF_ENHMETAFILE, L"", MetafileWithHugeDevice()}},
      {{CF_ENHMETAFILE, L"", MetafileWithOverflowingFrame()}},
      {{CF_BITMAP, L"", IconFile(16, 0xFF2040E0)}},
  };
  for (std::size_t i = 0; i < snapshots.size(); ++i)
    EXPECT_THROW(ClipboardAnalyzers().DescriptionForState(MakeSnapshot(snapshots[i])),
                 std::runtime_error)
        << "snapshot " << i;
}

TEST(PreviewImage, BitmapTakenFromTheRealClipboard) {
  std::vector<std::uint32_t> pixels(16 * 8);
  for (std::size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = (i % 16 < 8) ? 0xFFC03020u : 0xFF2040E0u;
  const TBitmap source = [&] {
    TBitmap bitmap(16, 8);
    bitmap.Pixels() = pixels;
    return bitmap;
  }();
  {
    TBitmapHandle dib = ToPremultipliedDib(source);
    TClipboardSession session;
    ASSERT_TRUE(::EmptyClipboard());
    ASSERT_TRUE(::SetClipboardData(CF_BITMAP, dib.Get()));
    dib.Detach(); // the clipboard owns it now
  }
  TClipboardState captured = CaptureClipboardState(false);
  std::vector<TFormatSample> formats;
  for (const TClipboardFormatState &format : captured())
    formats.push_back({format.Format(), format.Name(), format.Data()});
  auto description = ClipboardAnalyzers().DescriptionForState(MakeSnapshot(formats));
  EXPECT_EQ(L"Image", description().ShortDescription());
  ASSERT_TRUE(description().Image());
  ASSERT_EQ(16, description().Image()->Width());
  ASSERT_EQ(8, description().Image()->Height());
  EXPECT_EQ(0xFFC03020u, description().Image()->Pixel(2, 3));
  EXPECT_EQ(0xFF2040E0u, description().Image()->Pixel(12, 7));
}

TEST(BitmapConvert, MaskIconBecomesTransparentWhereTheMaskIsSet) {
  // 32 x 32 monochrome: AND mask transparent on the left half, XOR image white
  // on the top half.
  std::vector<std::uint8_t> andBits(32 * 4), xorBits(32 * 4);
  for (std::size_t y = 0; y < 32; ++y) {
    andBits[y * 4] = andBits[y * 4 + 1] = 0xFF;
    if (y < 16)
      std::fill_n(&xorBits[y * 4], 4, std::uint8_t{0xFF});
  }
  TIconHandle icon(
      ::CreateIcon(::GetModuleHandleW(nullptr), 32, 32, 1, 1, andBits.data(), xorBits.data()));
  ASSERT_TRUE(icon);
  const TBitmap bitmap = BitmapFromIcon(icon.Get());
  EXPECT_EQ(0u, bitmap.Pixel(3, 3) >> 24);
  EXPECT_EQ(0xFFFFFFFFu, bitmap.Pixel(20, 3));
  EXPECT_EQ(0xFF000000u, bitmap.Pixel(20, 20));
}

TEST(BitmapConvert, IconRoundTripKeepsColoursAndTransparency) {
  TBitmap bitmap(32, 32, 0x00000000);
  for (int y = 8; y < 24; ++y)
    for (int x = 8; x < 24; ++x)
      bitmap.SetPixel(x, y, y < 16 ? 0xFF3366CC : 0x80FF8800);
  const TIconHandle icon = ToIcon(bitmap);
  const TBitmap back = BitmapFromIcon(icon.Get());
  EXPECT_EQ(bitmap.Pixels(), back.Pixels());
}

TEST(BitmapConvert, PremultipliedDibKeepsThePixels) {
  TBitmap bitmap(2, 1);
  bitmap.Pixels() = {0x80FF0000, 0xFF00FF00};
  TBitmapHandle dib = ToPremultipliedDib(bitmap);
  const TBitmap premultiplied = BitmapFromHBitmap(dib.Get(), true);
  EXPECT_EQ(0x80800000u, premultiplied.Pixel(0, 0));
  EXPECT_EQ(0xFF00FF00u, premultiplied.Pixel(1, 0));
}

} // namespace
