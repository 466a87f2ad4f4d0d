#pragma once

// Geometry of the notifier card in device-independent units (1/96 inch).
// Pure functions: the window scales the results by its DPI when it draws.
namespace CardLayout {

struct TRectF {
  double X = 0;
  double Y = 0;
  double Width = 0;
  double Height = 0;

  double Right() const noexcept { return X + Width; }
  double Bottom() const noexcept { return Y + Height; }
  friend bool operator==(const TRectF &, const TRectF &) = default;
};

// The window is this wide; a card is one of the two widths inside it.
constexpr double FormWidth = 330;
constexpr double WideCardWidth = 330;   // with the program icon box
constexpr double NarrowCardWidth = 255; // without it
constexpr double ShortDescriptionHeight = 75;
constexpr double ImageFormHeight = 280;
constexpr double MinimumFormHeight = 75;
// Room above and below the detailed text: the short description, the line,
// and the margins around the label.
constexpr double DetailedTextExtraHeight = 90;
constexpr double IconBoxWidth = 75;
constexpr double BadgeSize = 32;
constexpr double BadgeInset = 3;
constexpr double CaptionHeight = 41;
constexpr double CaptionFontSize = 22;
constexpr double TextFontSize = 14;
constexpr double CaptionMarginLeft = 10;
constexpr double TextMarginLeft = 20;
constexpr double TextMarginRight = 10;
constexpr double DetailMarginTop = 5;
constexpr double ImageMarginBottom = 10;
constexpr double FormTop = 30;

// What the card shows, as far as its geometry depends on it.
struct TCardParts {
  double CardWidth = NarrowCardWidth;
  double FormHeight = MinimumFormHeight;
  bool IconVisible = false;
  bool ImageVisible = false; // the preview replaces the detailed text
  double CommentHeight = 0;  // height of the one-line short description
  double DetailHeight = 0;   // height of the wrapped detailed text
};

// Where each part of the card lies, relative to the card's top left corner.
struct TCardRects {
  TRectF Background;
  TRectF IconBox;
  TRectF Caption;
  TRectF Comment;
  TRectF Badge;
  TRectF Line;
  TRectF Detail;
  TRectF Image;
};

TCardRects LayoutCard(const TCardParts &aParts) noexcept;

// Card width for a message with or without a program icon.
double CardWidthFor(bool aHasIcon) noexcept;

// Width available to the wrapped detailed text of a card.
double DetailTextWidth(double aCardWidth) noexcept;

// Width available to the caption and the short description.
double ShortTextWidth(double aCardWidth, bool aIconVisible, double aMarginLeft) noexcept;

// The window's height: fixed for a preview, the text's rounded height plus
// the fixed room around it for a detailed text, the bare header otherwise;
// never above aMaximum (the screen's room below the card's top) nor below
// the bare header.
double FormHeightFor(bool aHasImage, bool aHasDetailText, double aDetailHeight,
                     double aMaximum) noexcept;

// A picture of aWidth x aHeight inside aArea: its own size when it fits,
// otherwise reduced keeping its aspect ratio; never enlarged; centred.
TRectF FitPicture(double aWidth, double aHeight, const TRectF &aArea) noexcept;

// The horizontal offset of the card inside the window while the client area
// is aClientWidth wide: the card is docked to the client area's right edge,
// so a growing client area uncovers it from its right edge first.
double CardOffset(double aClientWidth, double aCardWidth) noexcept;

} // namespace CardLayout
