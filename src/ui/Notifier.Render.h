#pragma once

#include "analysis/TBitmap.h"
#include "ui/GdiPlus.h"
#include "ui/Notifier.Layout.h"

#include <memory>
#include <optional>
#include <string>

// Everything the card shows: the state of its parts, as the notifier's
// operations leave it.
struct TCardContent {
  std::wstring Caption;
  std::wstring Comment;
  std::wstring Detail;
  bool IconBoxVisible = false;
  std::optional<TBitmap> Icon;
  bool ImageVisible = false; // the preview replaces the detailed text
  std::optional<TBitmap> Image;
  bool WarningVisible = false;
  TAlphaColor Background = DefaultBackgroundColor;
  TAlphaColor FontColor = 0xFFFFFFFF;
  double CardWidth = CardLayout::NarrowCardWidth;
  double FormHeight = CardLayout::MinimumFormHeight;
};

// Measures and paints the card with GDI+. Needs a running GDI+ session.
class TCardPainter {
public:
  TCardPainter();
  TCardPainter(const TCardPainter &) = delete;
  TCardPainter &operator=(const TCardPainter &) = delete;
  ~TCardPainter();

  // Height in units of the detailed text wrapped to aWidth units, measured
  // at aScale pixels per unit; 0 for an empty text.
  double DetailHeight(const std::wstring &aText, double aWidth, double aScale) const;
  // Height in units of one line of the short description.
  double CommentHeight(const std::wstring &aText, double aScale) const;

  // The card at aScale pixels per unit, with premultiplied alpha.
  GdiPlus::TPremultipliedImage Paint(const TCardContent &aContent, double aScale) const;

private:
  class TFonts;
  std::unique_ptr<TFonts> fFonts;
  TBitmap fBadge;
};

// The window's pixels while the client area is aClientWidth pixels wide:
// the card docked to the client area's right edge and cut off at its left
// edge (the screen's), everything else transparent.
GdiPlus::TPremultipliedImage ComposeFrame(const GdiPlus::TPremultipliedImage &aCard,
                                          int aClientWidth, int aWindowWidth, int aWindowHeight);
