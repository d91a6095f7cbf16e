#include "flat/flat_utils.h"

#include "flat/flat_geometry.h"

namespace {
ColorValue ResolveColor(ColorValue c) { return static_cast<ColorValue>(ColorToRGB(static_cast<TColor>(c))); }
}  // namespace

TColor CalcAdvColor(TColor base, TColor fallback, TAdvColors percent, bool darken) {
  return static_cast<TColor>(
      CalcAdvColor(static_cast<ColorValue>(base), static_cast<ColorValue>(fallback), percent, darken, ResolveColor));
}

void DrawBevelFrame(TCanvas* canvas, RECT rect, TColor topColor, TColor bottomColor, int width) {
  canvas->Pen()->SetWidth(1);
  canvas->Pen()->SetStyle(psSolid);
  const FlatRect r{rect.left, rect.top, rect.right, rect.bottom};
  for (const BevelLine& line : BevelFrameLines(r, width)) {
    canvas->Pen()->SetColor(line.Shadow ? bottomColor : topColor);
    POINT points[3];
    for (int i = 0; i < 3; ++i) points[i] = POINT{line.Points[i].X, line.Points[i].Y};
    canvas->Polyline(points, 3);
  }
}

void DrawParentBackground(TControl* control, TCanvas* canvas) {
  TWinControl* parent = control->Parent();
  if (!parent) return;
  HDC dc = canvas->Handle();
  // The parent's handlers may throw; the context must come back in its old state all the same.
  struct Restore {
    HDC dc;
    int saved;
    ~Restore() { RestoreDC(dc, saved); }
  } restore{dc, SaveDC(dc)};
  POINT origin;
  GetViewportOrgEx(dc, &origin);
  SetViewportOrgEx(dc, origin.x - control->Left(), origin.y - control->Top(), nullptr);
  const RECT client = parent->ClientRect();
  IntersectClipRect(dc, 0, 0, client.right, client.bottom);
  parent->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  parent->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
}
