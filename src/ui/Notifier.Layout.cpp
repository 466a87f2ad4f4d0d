#include "ui/Notifier.Layout.h"

#include <algorithm>
#include <cmath>

namespace CardLayout {

double CardWidthFor(bool aHasIcon) noexcept {
  return aHasIcon ? WideCardWidth : NarrowCardWidth;
}

double DetailTextWidth(double aCardWidth) noexcept {
  return std::max(0.0, aCardWidth - TextMarginLeft - TextMarginRight);
}

double ShortTextWidth(double aCardWidth, bool aIconVisible, double aMarginLeft) noexcept {
  const double area = aCardWidth - (aIconVisible ? IconBoxWidth : 0);
  return std::max(0.0, area - aMarginLeft - TextMarginRight);
}

TCardRects LayoutCard(const TCardParts &aParts) noexcept {
  const double w = aParts.CardWidth;
  const double h = aParts.FormHeight;
  TCardRects r;
  r.Background = {0, 0, w, h};
  // The icon box keeps a margin of 1 on every side of its 75-wide column.
  if (aParts.IconVisible)
    r.IconBox = {w - IconBoxWidth + 1, 1, IconBoxWidth - 2, ShortDescriptionHeight - 2};
  r.Caption = {CaptionMarginLeft, 0, ShortTextWidth(w, aParts.IconVisible, CaptionMarginLeft),
               CaptionHeight};
  r.Comment = {TextMarginLeft, CaptionHeight, ShortTextWidth(w, aParts.IconVisible, TextMarginLeft),
               aParts.CommentHeight};
  r.Badge = {w - BadgeInset - BadgeSize, BadgeInset, BadgeSize, BadgeSize};
  r.Line = {1, ShortDescriptionHeight, std::max(0.0, w - 2), 1};
  const double below = ShortDescriptionHeight + 1 + DetailMarginTop;
  if (aParts.ImageVisible)
    r.Image = {TextMarginLeft, below, DetailTextWidth(w),
               std::max(0.0, h - below - ImageMarginBottom)};
  else
    r.Detail = {TextMarginLeft, below, DetailTextWidth(w), aParts.DetailHeight};
  return r;
}

double FormHeightFor(bool aHasImage, bool aHasDetailText, double aDetailHeight,
                     double aMaximum) noexcept {
  double height = MinimumFormHeight;
  if (aHasImage)
    height = ImageFormHeight;
  else if (aHasDetailText)
    height = std::round(aDetailHeight) + DetailedTextExtraHeight;
  return std::max(MinimumFormHeight, std::min(height, aMaximum));
}

TRectF FitPicture(double aWidth, double aHeight, const TRectF &aArea) noexcept {
  if (aWidth <= 0 || aHeight <= 0 || aArea.Width <= 0 || aArea.Height <= 0)
    return {aArea.X + aArea.Width / 2, aArea.Y + aArea.Height / 2, 0, 0};
  const double scale = std::min({1.0, aArea.Width / aWidth, aArea.Height / aHeight});
  const double width = aWidth * scale;
  const double height = aHeight * scale;
  return {aArea.X + (aArea.Width - width) / 2, aArea.Y + (aArea.Height - height) / 2, width,
          height};
}

double CardOffset(double aClientWidth, double aCardWidth) noexcept {
  return aClientWidth - aCardWidth;
}

} // namespace CardLayout
