#include "ui/Notifier.Pictures.h"

#include "ui/GdiPlus.h"

#include <functional>
#include <stdexcept>

using namespace Gdiplus;

namespace Pictures {
namespace {

constexpr REAL Stroke = 4;

Color Grey() {
  return Color(PictureStrokeColor);
}

// A round-capped grey pen of the pictures' stroke width.
std::unique_ptr<Pen> LinePen(REAL aWidth = Stroke) {
  auto pen = std::make_unique<Pen>(Grey(), aWidth);
  pen->SetLineCap(LineCapRound, LineCapRound, DashCapRound);
  pen->SetLineJoin(LineJoinRound);
  return pen;
}

// A pen that clears what it covers, to cut a gap around a shape drawn on
// top of another.
std::unique_ptr<Pen> EraserPen(REAL aWidth) {
  auto pen = std::make_unique<Pen>(Color(0, 0, 0, 0), aWidth);
  pen->SetLineCap(LineCapRound, LineCapRound, DashCapRound);
  pen->SetLineJoin(LineJoinRound);
  return pen;
}

void AddRoundedRect(GraphicsPath &aPath, REAL aX, REAL aY, REAL aW, REAL aH, REAL aR) {
  const REAL d = aR * 2;
  aPath.StartFigure();
  aPath.AddArc(aX, aY, d, d, 180, 90);
  aPath.AddArc(aX + aW - d, aY, d, d, 270, 90);
  aPath.AddArc(aX + aW - d, aY + aH - d, d, d, 0, 90);
  aPath.AddArc(aX, aY + aH - d, d, d, 90, 90);
  aPath.CloseFigure();
}

void DrawFace(Graphics &g) {
  g.DrawEllipse(LinePen().get(), 5.0f, 5.0f, 54.0f, 54.0f);
}

void DrawHello(Graphics &g) {
  DrawFace(g);
  SolidBrush grey(Grey());
  g.FillEllipse(&grey, 19.5f, 20.0f, 7.0f, 8.0f);
  g.FillEllipse(&grey, 37.5f, 20.0f, 7.0f, 8.0f);
  g.DrawArc(LinePen().get(), 17.0f, 18.0f, 30.0f, 28.0f, 30, 120);
}

void DrawActual(Graphics &g) {
  DrawFace(g);
  // Closed eyes bent upwards, as in a laugh.
  g.DrawArc(LinePen(3.5f).get(), 17.0f, 21.0f, 11.0f, 10.0f, 200, 140);
  g.DrawArc(LinePen(3.5f).get(), 36.0f, 21.0f, 11.0f, 10.0f, 200, 140);
  // A wide open smile.
  GraphicsPath mouth;
  mouth.AddArc(17.0f, 24.0f, 30.0f, 24.0f, 0, 180);
  mouth.CloseFigure();
  g.DrawPath(LinePen().get(), &mouth);
}

void DrawSearch(Graphics &g) {
  g.DrawLine(LinePen(8).get(), 39.0f, 39.0f, 56.0f, 56.0f);
  g.DrawEllipse(LinePen().get(), 8.0f, 8.0f, 36.0f, 36.0f);
}

void DrawPrivate(Graphics &g) {
  SolidBrush grey(Grey());
  GraphicsPath lenses;
  for (REAL x : {7.0f, 35.0f}) {
    lenses.StartFigure();
    lenses.AddLine(x, 24.0f, x + 22, 24.0f);
    lenses.AddBezier(x + 22, 24.0f, x + 22, 36.0f, x + 18, 42.0f, x + 11, 42.0f);
    lenses.AddBezier(x + 11, 42.0f, x + 3, 42.0f, x, 36.0f, x, 24.0f);
    lenses.CloseFigure();
  }
  g.FillPath(&grey, &lenses);
  g.DrawPath(LinePen(2).get(), &lenses);
  // Bridge over the nose and the two temples.
  g.DrawArc(LinePen(3).get(), 29.0f, 23.0f, 6.0f, 6.0f, 180, 180);
  g.DrawLine(LinePen(3).get(), 4.0f, 24.0f, 60.0f, 24.0f);
  g.DrawLine(LinePen(3).get(), 4.0f, 24.0f, 2.0f, 18.0f);
  g.DrawLine(LinePen(3).get(), 60.0f, 24.0f, 62.0f, 18.0f);
}

void DrawEnabled(Graphics &g) {
  GraphicsPath board;
  AddRoundedRect(board, 12, 10, 40, 49, 4);
  g.DrawPath(LinePen().get(), &board);
  GraphicsPath clip;
  AddRoundedRect(clip, 22, 5, 20, 11, 3);
  g.SetCompositingMode(CompositingModeSourceCopy);
  g.DrawPath(EraserPen(10).get(), &clip);
  g.SetCompositingMode(CompositingModeSourceOver);
  SolidBrush grey(Grey());
  g.FillPath(&grey, &clip);
  const PointF check[] = {{21, 35}, {29, 44}, {44, 26}};
  g.DrawLines(LinePen(5).get(), check, 3);
}

void DrawDownload(Graphics &g) {
  GraphicsPath cloud;
  cloud.AddArc(4.0f, 24.0f, 20.0f, 20.0f, 90, 180);
  cloud.AddArc(15.0f, 9.0f, 30.0f, 30.0f, 190, 150);
  cloud.AddArc(38.0f, 20.0f, 22.0f, 24.0f, 260, 190);
  cloud.CloseFigure();
  g.DrawPath(LinePen().get(), &cloud);
  const PointF head[] = {{23, 49}, {32, 58}, {41, 49}};
  // Cut a gap into the cloud's outline where the arrow crosses it.
  g.SetCompositingMode(CompositingModeSourceCopy);
  g.DrawLine(EraserPen(12).get(), 32.0f, 29.0f, 32.0f, 57.0f);
  g.DrawLines(EraserPen(12).get(), head, 3);
  g.SetCompositingMode(CompositingModeSourceOver);
  g.DrawLine(LinePen().get(), 32.0f, 29.0f, 32.0f, 57.0f);
  g.DrawLines(LinePen().get(), head, 3);
}

void DrawUpdated(Graphics &g) {
  // The cuff, then the hand with the thumb up and four fingers to the right.
  GraphicsPath cuff;
  AddRoundedRect(cuff, 5, 29, 10, 28, 2);
  g.DrawPath(LinePen().get(), &cuff);
  constexpr REAL top = 27.0f;
  constexpr REAL finger = 7.5f;
  GraphicsPath hand;
  hand.AddLine(20.0f, 31.0f, 27.0f, 15.0f);
  hand.AddBezier(27.0f, 15.0f, 29.0f, 6.0f, 38.0f, 6.0f, 36.5f, 15.0f);
  hand.AddLine(36.5f, 15.0f, 35.0f, top);
  for (int i = 0; i < 4; ++i)
    hand.AddArc(45.0f, top + static_cast<REAL>(i) * finger, 12.0f, finger, 270, 180);
  hand.AddLine(51.0f, top + 4 * finger, 20.0f, top + 4 * finger);
  hand.CloseFigure();
  g.DrawPath(LinePen().get(), &hand);
  for (int i = 1; i < 4; ++i)
    g.DrawLine(LinePen(3).get(), 44.0f, top + static_cast<REAL>(i) * finger, 50.0f,
               top + static_cast<REAL>(i) * finger);
}

void DrawEmpty(Graphics &g) {
  const PointF sheet[] = {{15, 5}, {38, 5}, {50, 17}, {50, 59}, {15, 59}};
  g.DrawPolygon(LinePen().get(), sheet, 5);
  const PointF fold[] = {{38, 5}, {38, 17}, {50, 17}};
  g.DrawLines(LinePen().get(), fold, 3);
}

using TDrawing = void (*)(Graphics &);

TDrawing DrawingFor(std::wstring_view aName) {
  static const std::map<std::wstring_view, TDrawing> drawings = {
      {L"Hello", DrawHello},     {L"Search", DrawSearch},     {L"Private", DrawPrivate},
      {L"Enabled", DrawEnabled}, {L"Download", DrawDownload}, {L"Updated", DrawUpdated},
      {L"Actual", DrawActual},   {L"Empty", DrawEmpty}};
  const auto found = drawings.find(aName);
  if (found == drawings.end())
    throw std::invalid_argument("No picture of that name");
  return found->second;
}

TBitmap Render(int aSize, const std::function<void(Graphics &)> &aDrawing) {
  auto canvas = GdiPlus::NewCanvas(aSize, aSize);
  {
    Graphics g(canvas.get());
    GdiPlus::Check(g.GetLastStatus(), "Graphics");
    g.Clear(Color(0, 0, 0, 0));
    g.SetSmoothingMode(SmoothingModeAntiAlias);
    g.SetPixelOffsetMode(PixelOffsetModeHalf);
    aDrawing(g);
  }
  return GdiPlus::FromGdiPlusBitmap(*canvas);
}

} // namespace

TBitmap Draw(std::wstring_view aName) {
  return Render(PictureSize, DrawingFor(aName));
}

TBitmap DrawWarningBadge() {
  return Render(BadgeSize, [](Graphics &g) {
    const PointF triangle[] = {{16, 2.5f}, {30, 28.5f}, {2, 28.5f}};
    SolidBrush yellow(Color(0xFFFFC928));
    g.FillPolygon(&yellow, triangle, 3);
    Pen edge(Color(0xFFB38600), 2);
    edge.SetLineJoin(LineJoinRound);
    g.DrawPolygon(&edge, triangle, 3);
    Pen mark(Color(0xFF202020), 3.5f);
    mark.SetLineCap(LineCapRound, LineCapRound, DashCapRound);
    g.DrawLine(&mark, 16.0f, 10.5f, 16.0f, 19.0f);
    SolidBrush dot(Color(0xFF202020));
    g.FillEllipse(&dot, 14.0f, 22.0f, 4.0f, 4.0f);
  });
}

TPictureList::TPictureList() {
  for (std::wstring_view name : Names)
    fPictures.emplace(std::wstring(name), Draw(name));
}

const TBitmap *TPictureList::Find(std::wstring_view aName) const {
  const auto found = fPictures.find(aName);
  return found == fPictures.end() ? nullptr : &found->second;
}

} // namespace Pictures
