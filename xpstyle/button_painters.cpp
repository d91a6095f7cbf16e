// Flat faces for push buttons, bit buttons, check boxes, radio buttons and speed buttons. They
// redraw the whole face; captions and glyphs go through the component's item text and icon
// drawing, so buttons share the menu's emboss, dim, grey and shadow effects.
#include "xpstyle/control_subclass.h"
#include "xpstyle/painters.h"
#include "xpstyle/xp_colors.h"
#include "xpstyle/xp_geometry.h"
#include "xpstyle/xp_style.h"

namespace {

RECT ToRect(const FlatRect& r) { return RECT{r.Left, r.Top, r.Right, r.Bottom}; }

// Inside a windowless control's paint the parent's paint context is used: it is clipped to
// what is being painted, so nothing outside it is drawn twice.
struct ButtonFrame : TPainterCanvas {
  explicit ButtonFrame(TControlSubClass& s) : TPainterCanvas(s.Control, *s.MenuComponent, s.PaintDC) {}
};

// The first image of a glyph strip, in a bitmap of its own that the drawing may tint.
void FirstGlyph(TBitmap& strip, int numGlyphs, TBitmap& out) {
  if (strip.Empty()) return;
  const int gw = strip.Width() / (numGlyphs < 1 ? 1 : numGlyphs), gh = strip.Height();
  if (gw <= 0) return;
  out.SetSize(gw, gh);
  out.Canvas()->CopyRect(RECT{0, 0, gw, gh}, strip.Canvas(), RECT{0, 0, gw, gh});
}

// The rounded face with its one-sided shade, shared by push and bit buttons.
void DrawPushFace(TControlSubClass& s, ButtonFrame& f, const RECT& r) {
  TControl* c = s.Control;
  const bool hot = s.Highlighted;
  TColor face = f.xp.PaintIconBackColor, border = clBtnShadow;
  if (hot || s.SpaceDown) {
    face = f.Lighten(clBtnFace, 60);
    border = f.Lighten(f.xp.PaintSelectBorderColor, 60);
  } else if (s.HasFocus) {
    border = f.Lighten(f.xp.PaintSelectBorderColor, 60);
  }
  f.Fill(r, ParentColor(c));
  f.canvas.Brush()->SetColor(face);
  f.canvas.Pen()->SetColor(f.Lighten(border, 30));
  f.canvas.RoundRect(r.left, r.top, r.right, r.bottom, 4, 4);
  if (!c->Enabled()) return;
  const int L = r.left, T = r.top, R = r.right, B = r.bottom;
  const TColor shade = f.Darken(border, 50);
  if ((s.MouseDown && hot) || s.SpaceDown)
    f.Poly({{L, B - 2}, {L, T + 1}, {L + 1, T}, {R - 1, T}}, shade);
  else
    f.Poly({{R - 1, T + 1}, {R - 1, B - 2}, {R - 2, B - 1}, {L, B - 1}}, shade);
}

}  // namespace

void PaintPushButton(TControlSubClass& s) {
  auto* button = static_cast<TButton*>(s.Control);
  ButtonFrame f(s);
  const RECT r = button->ClientRect();
  DrawPushFace(s, f, r);
  const std::string caption = button->Caption();
  f.canvas.Font()->Assign(*button->Font());
  RECT text = r;
  text.left = (r.right - r.left - f.canvas.TextWidth(caption)) / 2;
  const bool rtl = button->UseRightToLeftReading();
  f.xp.DrawItemText(button, caption, rtl ? DT_RTLREADING : 0, button->Font(), rtl, false, button->Default(),
                    button->Enabled(), false, text, &f.canvas, "");
}

void PaintBitButton(TControlSubClass& s) {
  auto* button = static_cast<TBitBtn*>(s.Control);
  ButtonFrame f(s);
  const RECT r = button->ClientRect();
  DrawPushFace(s, f, r);
  const std::string caption = button->Caption();
  f.canvas.Font()->Assign(*button->Font());
  const SIZE ts = f.canvas.TextExtent(caption);
  TBitmap glyph;
  FirstGlyph(*button->Glyph(), button->NumGlyphs(), glyph);
  const auto place =
      PlaceGlyphAndCaption(static_cast<XPGlyphLayout>(button->Layout()), r.right - r.left, r.bottom - r.top,
                           glyph.Width(), glyph.Height(), ts.cx, ts.cy, button->Spacing(), false);
  const bool rtl = button->UseRightToLeftReading();
  f.xp.DrawItemIcon(button, &f.canvas, &glyph, ToRect(place.Glyph), s.Highlighted, s.HasFocus, button->Enabled(), false,
                    false, rtl);
  f.xp.DrawItemText(button, caption, rtl ? DT_RTLREADING : 0, button->Font(), rtl, false, button->Default(),
                    button->Enabled(), false, ToRect(place.Text), &f.canvas, "");
}

void PaintCheckBox(TControlSubClass& s) {
  auto* box = static_cast<TCustomCheckBox*>(s.Control);
  ButtonFrame f(s);
  TColor fill = clWindow, pen = clBtnShadow;
  if (s.Highlighted || s.HasFocus) {
    fill = f.xp.PaintSelectColor;
    pen = f.xp.PaintSelectBorderColor;
  }
  const bool pressed = s.SpaceDown || s.MouseDown;
  if (pressed) fill = f.xp.PaintCheckAreaSelectColor;
  const RECT client = box->ClientRect();
  RECT r = ToRect(CheckBoxSquare(FlatRect{client.left, client.top, client.right, client.bottom},
                                 GetSystemMetrics(SM_CXHTHUMB), box->BiDiMode() == bdRightToLeft));
  f.Fill(r, box->Color());
  InflateRect(&r, -2, -2);
  f.canvas.Brush()->SetColor(fill);
  f.canvas.Pen()->SetColor(pen);
  f.canvas.Rectangle(r);
  if (!box->Checked()) return;
  const TColor tick = !box->Enabled() ? f.xp.PaintDisabledColor : (pressed ? clWindow : clHighlight);
  const int L = r.left, T = r.top, R = r.right, B = r.bottom;
  f.Poly({{L + 2, T + 6}, {L + 4, B - 3}}, tick);
  f.Poly({{L + 3, T + 6}, {L + 4, B - 4}}, tick);
  f.Poly({{L + 4, B - 3}, {R - 1, T + 1}}, tick);
  f.Poly({{L + 4, B - 2}, {R - 2, T + 2}}, tick);
}

void PaintRadioButton(TControlSubClass& s) {
  auto* radio = static_cast<TRadioButton*>(s.Control);
  ButtonFrame f(s);
  TColor fill = clWindow, pen = clBtnShadow;
  if (s.Highlighted) {
    fill = f.xp.PaintSelectColor;
    pen = f.xp.PaintSelectBorderColor;
  }
  if (s.HasFocus) fill = f.xp.PaintSelectColor;
  const RECT client = radio->ClientRect();
  RECT r = ToRect(RadioButtonCircle(FlatRect{client.left, client.top, client.right, client.bottom},
                                    GetSystemMetrics(SM_CXHTHUMB), radio->BiDiMode() == bdRightToLeft));
  f.Fill(r, radio->Color());
  InflateRect(&r, -2, -2);
  f.canvas.Brush()->SetColor(fill);
  f.canvas.Pen()->SetColor(pen);
  f.canvas.Ellipse(r.left, r.top, r.right, r.bottom);
  if (!radio->Checked()) return;
  InflateRect(&r, -2, -2);
  const TColor dot = radio->Enabled() ? clHighlight : f.xp.PaintDisabledColor;
  f.canvas.Brush()->SetColor(dot);
  f.canvas.Pen()->SetColor(dot);
  f.canvas.Ellipse(r.left, r.top, r.right, r.bottom);
}

void PaintSpeedButton(TControlSubClass& s) {
  auto* button = static_cast<TSpeedButton*>(s.Control);
  if (button->Transparent() && !s.PaintDC) {
    // A see-through face is tinted over the background below it; tinting again in place would
    // darken it once more, so the parent paints the background afresh and the tint follows.
    button->Repaint();
    return;
  }
  ButtonFrame f(s);
  const RECT r = button->ClientRect();
  const int L = r.left, T = r.top, R = r.right, B = r.bottom;
  const bool hot = s.Highlighted, down = button->Down();
  TColor face = f.xp.PaintIconBackColor, border = clBtnShadow;
  if (hot) {
    face = f.xp.PaintSelectColor;
    border = f.xp.PaintSelectBorderColor;
  }
  if (down) {
    face = hot ? f.xp.PaintCheckAreaSelectColor : f.xp.PaintCheckAreaColor;
    border = f.xp.PaintSelectBorderColor;
  }
  if (!button->Enabled()) border = clBtnShadow;
  const bool transparent = button->Transparent(), flat = button->Flat();
  if ((down || hot) && transparent) {
    TBitmap tint;
    tint.SetSize(R - L, B - T);
    const int bpp = GetDeviceCaps(f.canvas.Handle(), BITSPIXEL);
    tint.Canvas()->Brush()->SetColor(f.Lighten(f.xp.PaintSelectColor, SpeedButtonTintPercent(bpp)));
    tint.Canvas()->FillRect(RECT{0, 0, R - L, B - T});
    BitBlt(f.canvas.Handle(), L, T, R - L, B - T, tint.Canvas()->Handle(), 0, 0, SRCAND);
  }
  f.canvas.Brush()->SetColor(face);
  f.canvas.Brush()->SetStyle(transparent ? bsClear : bsSolid);
  f.canvas.Pen()->SetColor(flat && !transparent && !down && !hot ? face : f.Lighten(border, 30));
  if (!(transparent && flat && !down && !hot)) f.canvas.Rectangle(r);
  if (button->Enabled() && !flat) {
    const TColor shade = f.Darken(border, 50);
    if (s.MouseDown || down)
      f.Poly({{L, B - 1}, {L, T}, {R, T}}, shade);
    else
      f.Poly({{R - 1, T}, {R - 1, B - 1}, {L, B - 1}}, shade);
  }
  const std::string caption = button->Caption();
  f.canvas.Font()->Assign(*button->Font());
  const SIZE ts = caption.empty() ? SIZE{0, 0} : f.canvas.TextExtent(caption);
  TBitmap glyph;
  FirstGlyph(*button->Glyph(), button->NumGlyphs(), glyph);
  const bool rtl = button->UseRightToLeftReading();
  XPGlyphLayout layout = static_cast<XPGlyphLayout>(button->Layout());
  if (rtl && layout == XPGlyphLayout::Left)
    layout = XPGlyphLayout::Right;
  else if (rtl && layout == XPGlyphLayout::Right)
    layout = XPGlyphLayout::Left;
  const auto place = PlaceGlyphAndCaption(layout, R - L, B - T, glyph.Width(), glyph.Height(), ts.cx, ts.cy,
                                          caption.empty() ? 0 : button->Spacing(), true);
  f.xp.DrawItemIcon(button, &f.canvas, &glyph, ToRect(place.Glyph), hot, false, button->Enabled(), down || s.MouseDown,
                    false, rtl);
  f.xp.DrawItemText(button, caption, rtl ? DT_RTLREADING : 0, button->Font(), rtl, false, false, button->Enabled(),
                    false, ToRect(place.Text), &f.canvas, "");
}
