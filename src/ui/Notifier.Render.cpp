#include "ui/Notifier.Render.h"

#include "ui/GdiPlus.h"
#include "ui/Notifier.Pictures.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

using namespace Gdiplus;
using CardLayout::TRectF;

namespace {

constexpr TAlphaColor SeparatorLineColor = 0xFFFFFFFF;

int Px(double aUnits, double aScale) {
  return static_cast<int>(std::lround(aUnits * aScale));
}

// Whole pixels, so that edges stay sharp: each side is rounded on its own.
Rect PixelRect(const TRectF &aRect, double aScale) {
  const int left = Px(aRect.X, aScale);
  const int top = Px(aRect.Y, aScale);
  return Rect(left, top, Px(aRect.Right(), aScale) - left, Px(aRect.Bottom(), aScale) - top);
}

RectF PixelRectF(const TRectF &aRect, double aScale) {
  return RectF(static_cast<REAL>(aRect.X * aScale), static_cast<REAL>(aRect.Y * aScale),
               static_cast<REAL>(aRect.Width * aScale), static_cast<REAL>(aRect.Height * aScale));
}

void FillRect(Graphics &g, TAlphaColor aColor, const Rect &aRect) {
  SolidBrush brush{Color(aColor)};
  g.FillRectangle(&brush, aRect);
}

// Typographic layout (no GDI padding around the text), as the card's
// margins already give the room.
std::unique_ptr<StringFormat> TextFormat(INT aFlags, StringAlignment aVertical,
                                         StringTrimming aTrimming) {
  auto format = std::make_unique<StringFormat>(StringFormat::GenericTypographic());
  format->SetFormatFlags(aFlags);
  format->SetAlignment(StringAlignmentNear);
  format->SetLineAlignment(aVertical);
  format->SetTrimming(aTrimming);
  return format;
}

// Draws aBitmap inside aArea (in units) as the card shows pictures: its own
// size when it fits, reduced otherwise, centred.
void DrawPicture(Graphics &g, const TBitmap &aBitmap, const TRectF &aArea, double aScale) {
  const TRectF fit = CardLayout::FitPicture(aBitmap.Width(), aBitmap.Height(), aArea);
  const int x = Px(fit.X, aScale);
  const int y = Px(fit.Y, aScale);
  const int width = std::max(1, Px(fit.Width, aScale));
  const int height = std::max(1, Px(fit.Height, aScale));
  const bool exact = width == aBitmap.Width() && height == aBitmap.Height();
  g.SetInterpolationMode(exact ? InterpolationModeNearestNeighbor
                               : InterpolationModeHighQualityBicubic);
  // Without it the resampling reads past the edges and darkens them.
  ImageAttributes edges;
  edges.SetWrapMode(WrapModeTileFlipXY);
  auto image = GdiPlus::ToGdiPlusBitmap(aBitmap);
  GdiPlus::Check(g.DrawImage(image.get(), Rect(x, y, width, height), 0, 0, aBitmap.Width(),
                             aBitmap.Height(), UnitPixel, &edges),
                 "DrawImage");
}

// Wine's GDI+ draws the CR of a CR LF as a box; a lone LF is a line break
// for GDI+ on Windows as well, so every line break becomes one.
std::wstring WithPlainLineBreaks(const std::wstring &aText) {
  std::wstring text;
  text.reserve(aText.size());
  for (std::size_t i = 0; i < aText.size(); ++i) {
    if (aText[i] != L'\r')
      text += aText[i];
    else if (i + 1 >= aText.size() || aText[i + 1] != L'\n')
      text += L'\n';
  }
  return text;
}

std::unique_ptr<Graphics> MeasuringGraphics(Bitmap &aCanvas) {
  auto g = std::make_unique<Graphics>(&aCanvas);
  GdiPlus::Check(g->GetLastStatus(), "Graphics");
  g->SetTextRenderingHint(TextRenderingHintAntiAliasGridFit);
  return g;
}

} // namespace

class TCardPainter::TFonts {
public:
  TFonts() : fFamily(GdiPlus::SansSerifFamily()) {}

  // Null when the system offers no usable family: then no text is drawn.
  std::unique_ptr<Font> Make(double aUnits, double aScale) const {
    if (!fFamily)
      return nullptr;
    auto font = std::make_unique<Font>(fFamily.get(), static_cast<REAL>(aUnits * aScale),
                                       FontStyleRegular, UnitPixel);
    return font->GetLastStatus() == Ok ? std::move(font) : nullptr;
  }

  double Measure(const std::wstring &aText, double aFontUnits, double aWidthUnits, INT aFlags,
                 double aScale) const {
    auto font = Make(aFontUnits, aScale);
    if (!font || aText.empty())
      return 0;
    const std::wstring text = WithPlainLineBreaks(aText);
    auto canvas = GdiPlus::NewCanvas(1, 1);
    auto g = MeasuringGraphics(*canvas);
    auto format = TextFormat(aFlags, StringAlignmentNear, StringTrimmingNone);
    const SizeF room(static_cast<REAL>(std::max(1.0, aWidthUnits * aScale)), 1e6f);
    SizeF size;
    GdiPlus::Check(g->MeasureString(text.c_str(), static_cast<INT>(text.size()), font.get(), room,
                                    format.get(), &size),
                   "MeasureString");
    return size.Height / aScale;
  }

private:
  std::unique_ptr<FontFamily> fFamily;
};

TCardPainter::TCardPainter()
    : fFonts(std::make_unique<TFonts>()), fBadge(Pictures::DrawWarningBadge()) {}

TCardPainter::~TCardPainter() = default;

double TCardPainter::DetailHeight(const std::wstring &aText, double aWidth, double aScale) const {
  return fFonts->Measure(aText, CardLayout::TextFontSize, aWidth, 0, aScale);
}

double TCardPainter::CommentHeight(const std::wstring &aText, double aScale) const {
  return fFonts->Measure(aText.empty() ? L" " : aText, CardLayout::TextFontSize, 1e5,
                         StringFormatFlagsNoWrap, aScale);
}

GdiPlus::TPremultipliedImage TCardPainter::Paint(const TCardContent &aContent,
                                                 double aScale) const {
  CardLayout::TCardParts parts;
  parts.CardWidth = aContent.CardWidth;
  parts.FormHeight = aContent.FormHeight;
  parts.IconVisible = aContent.IconBoxVisible;
  parts.ImageVisible = aContent.ImageVisible;
  parts.CommentHeight = CommentHeight(aContent.Comment, aScale);
  // The text's room is what the form's height left for it (it may have been
  // cut to the screen), plus a unit against rounding clipping the last line.
  parts.DetailHeight = std::max(0.0, aContent.FormHeight - CardLayout::DetailedTextExtraHeight + 1);
  const CardLayout::TCardRects r = CardLayout::LayoutCard(parts);

  const int width = std::max(1, Px(aContent.CardWidth, aScale));
  const int height = std::max(1, Px(aContent.FormHeight, aScale));
  auto canvas = GdiPlus::NewCanvas(width, height);
  {
    Graphics g(canvas.get());
    GdiPlus::Check(g.GetLastStatus(), "Graphics");
    g.Clear(Color(0, 0, 0, 0));
    g.SetPixelOffsetMode(PixelOffsetModeHalf);
    g.SetTextRenderingHint(TextRenderingHintAntiAliasGridFit);

    // Background with a one-unit outline inside its edge, in the font colour.
    FillRect(g, aContent.Background, Rect(0, 0, width, height));
    const int edge = std::max(1, Px(1, aScale));
    FillRect(g, aContent.FontColor, Rect(0, 0, width, edge));
    FillRect(g, aContent.FontColor, Rect(0, height - edge, width, edge));
    FillRect(g, aContent.FontColor, Rect(0, 0, edge, height));
    FillRect(g, aContent.FontColor, Rect(width - edge, 0, edge, height));

    if (aContent.IconBoxVisible) {
      FillRect(g, aContent.FontColor, PixelRect(r.IconBox, aScale));
      if (aContent.Icon)
        DrawPicture(g, *aContent.Icon, r.IconBox, aScale);
    }

    SolidBrush text{Color(aContent.FontColor)};
    if (auto caption = fFonts->Make(CardLayout::CaptionFontSize, aScale)) {
      auto format = TextFormat(StringFormatFlagsNoWrap, StringAlignmentFar, StringTrimmingNone);
      const RectF rect = PixelRectF(r.Caption, aScale);
      g.DrawString(aContent.Caption.c_str(), static_cast<INT>(aContent.Caption.size()),
                   caption.get(), rect, format.get(), &text);
    }
    if (auto font = fFonts->Make(CardLayout::TextFontSize, aScale)) {
      auto single =
          TextFormat(StringFormatFlagsNoWrap, StringAlignmentNear, StringTrimmingEllipsisWord);
      g.DrawString(aContent.Comment.c_str(), static_cast<INT>(aContent.Comment.size()), font.get(),
                   PixelRectF(r.Comment, aScale), single.get(), &text);
      if (!aContent.ImageVisible) {
        auto wrapped = TextFormat(0, StringAlignmentNear, StringTrimmingNone);
        const std::wstring detail = WithPlainLineBreaks(aContent.Detail);
        g.DrawString(detail.c_str(), static_cast<INT>(detail.size()), font.get(),
                     PixelRectF(r.Detail, aScale), wrapped.get(), &text);
      }
    }

    FillRect(g, SeparatorLineColor, PixelRect(r.Line, aScale));
    if (aContent.ImageVisible && aContent.Image)
      DrawPicture(g, *aContent.Image, r.Image, aScale);
    if (aContent.WarningVisible)
      DrawPicture(g, fBadge, r.Badge, aScale);
  }
  return GdiPlus::ReadPremultiplied(*canvas);
}

GdiPlus::TPremultipliedImage ComposeFrame(const GdiPlus::TPremultipliedImage &aCard,
                                          int aClientWidth, int aWindowWidth, int aWindowHeight) {
  GdiPlus::TPremultipliedImage frame;
  frame.Width = aWindowWidth;
  frame.Height = aWindowHeight;
  frame.Pixels.assign(
      static_cast<std::size_t>(aWindowWidth) * static_cast<std::size_t>(aWindowHeight), 0);
  const int offset = aClientWidth - aCard.Width;
  const int left = std::max(0, offset);
  const int right = std::min({aClientWidth, offset + aCard.Width, aWindowWidth});
  const int rows = std::min(aCard.Height, aWindowHeight);
  if (right <= left)
    return frame;
  // Every index below is non-negative: left >= 0 and left >= offset.
  const auto index = [](int aRow, int aWidth, int aColumn) {
    return static_cast<std::size_t>(aRow) * static_cast<std::size_t>(aWidth) +
           static_cast<std::size_t>(aColumn);
  };
  for (int y = 0; y < rows; ++y)
    std::memcpy(&frame.Pixels[index(y, aWindowWidth, left)],
                &aCard.Pixels[index(y, aCard.Width, left - offset)],
                static_cast<std::size_t>(right - left) * 4);
  return frame;
}
