#include "ui/GdiPlus.h"
#include "ui/Notifier.Render.h"

#include <gtest/gtest.h>

namespace {

TEST(GdiPlusBitmaps, StraightAlphaPixelsGoToGdiPlusAndBack) {
  GdiPlus::TSession session;
  TBitmap bitmap(2, 1);
  bitmap.Pixels() = {0x80FF0000, 0xFF00FF00};
  std::unique_ptr<Gdiplus::Bitmap> gdiplus = GdiPlus::ToGdiPlusBitmap(bitmap);
  Gdiplus::Color color;
  gdiplus->GetPixel(0, 0, &color);
  EXPECT_EQ(0x80FF0000u, color.GetValue());
  EXPECT_EQ(bitmap.Pixels(), GdiPlus::FromGdiPlusBitmap(*gdiplus).Pixels());
}

class CardPainter : public testing::Test {
protected:
  GdiPlus::TPremultipliedImage PaintDetail(const std::wstring &aDetail) {
    TCardContent content;
    content.Detail = aDetail;
    content.FormHeight = 200;
    return fPainter.Paint(content, 1.0);
  }
  GdiPlus::TSession fGdiPlus;
  TCardPainter fPainter;
};

TEST_F(CardPainter, CrLfIsALineBreakLikeLf) {
  const auto crlf = PaintDetail(L"notepad.exe\r\nregedit.exe\r\nwin.ini");
  EXPECT_EQ(PaintDetail(L"notepad.exe\nregedit.exe\nwin.ini").Pixels, crlf.Pixels);
  EXPECT_EQ(PaintDetail(L"notepad.exe\rregedit.exe\rwin.ini").Pixels, crlf.Pixels);
  EXPECT_NE(PaintDetail(L"notepad.exe regedit.exe win.ini").Pixels, crlf.Pixels);
  EXPECT_EQ(fPainter.DetailHeight(L"a\nb\nc", 225, 1.0),
            fPainter.DetailHeight(L"a\r\nb\r\nc", 225, 1.0));
  EXPECT_GT(fPainter.DetailHeight(L"a\r\nb\r\nc", 225, 1.0),
            2.5 * fPainter.DetailHeight(L"a", 225, 1.0));
}

TEST_F(CardPainter, PaintsAtTheWindowsScale) {
  TCardContent content;
  content.CardWidth = 330;
  content.FormHeight = 75;
  const auto normal = fPainter.Paint(content, 1.0);
  const auto large = fPainter.Paint(content, 1.5);
  EXPECT_EQ(330, normal.Width);
  EXPECT_EQ(75, normal.Height);
  EXPECT_EQ(495, large.Width);
  EXPECT_EQ(113, large.Height);
  EXPECT_GT(fPainter.DetailHeight(L"Some text", 225, 1.5), 0);
  EXPECT_NEAR(fPainter.DetailHeight(L"Some text", 225, 1.0),
              fPainter.DetailHeight(L"Some text", 225, 1.5), 3)
      << "heights are in units, whatever the scale";
}

} // namespace
