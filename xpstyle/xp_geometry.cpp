#include "xpstyle/xp_geometry.h"

GlyphPlacement PlaceGlyphAndCaption(XPGlyphLayout layout, int w, int h, int gw, int gh, int tw, int th, int sp,
                                    bool speedButton) {
  GlyphPlacement p{};
  FlatRect& g = p.Glyph;
  FlatRect& t = p.Text;
  t = FlatRect{(w - tw) / 2, 0, w, h};
  switch (layout) {
    case XPGlyphLayout::Left:
      g.Left = (w - (sp + gw + tw)) / 2;
      g.Top = (h - gh) / 2 - (speedButton ? 1 : 0);
      g.Right = g.Left + gw;
      g.Bottom = g.Top + gh;
      t.Left = g.Right + sp;
      t.Right = t.Left + tw;
      break;
    case XPGlyphLayout::Right:
      g.Right = (sp + gw + tw + w) / 2;
      g.Left = g.Right - gw;
      g.Top = (h - gh) / 2;
      g.Bottom = g.Top + gh;
      t.Right = g.Left - sp;
      t.Left = t.Right - tw;
      break;
    case XPGlyphLayout::Top:
      g.Left = (w - gw) / 2;
      g.Top = (h - (sp + gh + th)) / 2;
      g.Right = g.Left + gw;
      g.Bottom = g.Top + gh;
      t.Left = (w - tw) / 2;
      t.Right = t.Left + tw;
      t.Top = g.Bottom + sp;
      t.Bottom = t.Top + th;
      break;
    case XPGlyphLayout::Bottom:
      g.Left = (w - gw) / 2;
      g.Right = g.Left + gw;
      g.Bottom = (sp + gh + th + h) / 2;
      g.Top = g.Bottom - gh;
      t.Left = (w - tw) / 2;
      t.Right = t.Left + tw;
      t.Bottom = g.Top - sp;
      t.Top = t.Bottom - th;
      break;
  }
  return p;
}

FlatRect CheckBoxSquare(FlatRect r, int thumb, bool rightToLeft) {
  r.Top += 3;
  r.Bottom -= 3;
  r.Top += (r.Bottom - r.Top - thumb) / 2;
  r.Bottom = r.Top + thumb;
  if (rightToLeft)
    r.Left = r.Right - thumb + 1;
  else
    r.Right = r.Left + thumb - 1;
  return r;
}

FlatRect RadioButtonCircle(FlatRect r, int thumb, bool rightToLeft) {
  r.Top += 4;
  r.Bottom -= 4;
  r.Top += (r.Bottom - r.Top - thumb) / 2;
  r.Bottom = r.Top + thumb - 1;
  // The circle is 14 wide whatever the thumb width.
  if (rightToLeft)
    r.Left = r.Right - 14;
  else
    r.Right = r.Left + 14;
  return r;
}
