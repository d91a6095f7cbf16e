// The drawing frame shared by the flat painters.
#include "flat/flat_utils.h"
#include "xpstyle/painters.h"
#include "xpstyle/xp_style.h"

TColor ParentColor(TControl* c) { return c->Parent() ? c->Parent()->Color() : c->Color(); }

TPainterCanvas::TPainterCanvas(TControl* on, TXPStyle& component, HDC paintContext, bool prepare)
    : canvas(on), xp(component) {
  if (paintContext) canvas.SetHandle(paintContext);
  if (prepare) xp.PrepareMenuColors(&canvas);
}

TColor TPainterCanvas::Lighten(TColor c, int percent) { return LightenColor(&canvas, c, percent); }
TColor TPainterCanvas::Darken(TColor c, int amount) { return DarkenColor(&canvas, c, amount); }

void TPainterCanvas::Fill(const RECT& r, TColor color) {
  canvas.Brush()->SetStyle(bsSolid);
  canvas.Brush()->SetColor(color);
  canvas.FillRect(r);
}

void TPainterCanvas::Frame(const RECT& r, TColor color) {
  canvas.Brush()->SetStyle(bsSolid);
  canvas.Brush()->SetColor(color);
  canvas.FrameRect(r);
}

void TPainterCanvas::Outline(const RECT& r, TColor color) {
  canvas.Brush()->SetStyle(bsClear);
  canvas.Pen()->SetColor(color);
  canvas.Rectangle(r);
}

void TPainterCanvas::Line(int x1, int y1, int x2, int y2, TColor color) {
  canvas.Pen()->SetColor(color);
  canvas.MoveTo(x1, y1);
  canvas.LineTo(x2, y2);
}

void TPainterCanvas::Poly(std::initializer_list<POINT> points, TColor color) {
  canvas.Pen()->SetColor(color);
  canvas.Polyline(points.begin(), static_cast<int>(points.size()));
}

void TPainterCanvas::Bevel(RECT& r, TColor topLeft, TColor bottomRight, int n) {
  if (n <= 0) return;
  DrawBevelFrame(&canvas, r, topLeft, bottomRight, n);
  InflateRect(&r, -n, -n);
}
