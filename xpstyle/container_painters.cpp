// Flat frames for edits, memos, rich edits and combo boxes, and flat bevels and caption gaps for
// group boxes and panels. Rectangles follow GDI: right and bottom edges are not painted.
#include "xpstyle/control_subclass.h"
#include "xpstyle/painters.h"
#include "xpstyle/xp_style.h"

void PaintEdit(TControlSubClass& s) {
  auto* edit = static_cast<TCustomEdit*>(s.Control);
  if (edit->Ctl3D()) {
    // The frame changes in place; the subclass stays through it.
    s.Recreating = true;
    edit->SetCtl3D(false);
  }
  TPainterCanvas f(edit, *s.MenuComponent);
  const bool single = s.SavedBorderStyle == bsSingle;
  const TColor parent = ParentColor(edit);
  TColor color;
  if (s.Highlighted || s.HasFocus)
    color = f.Lighten(f.xp.PaintSelectBorderColor, single ? 60 : 80);
  else
    color = single ? f.Darken(parent, 60) : parent;
  f.Outline(edit->ClientRect(), color);
}

void PaintRichEdit(TControlSubClass& s) {
  auto* edit = static_cast<TCustomRichEdit*>(s.Control);
  if (!edit->Parent()) return;
  RECT r = edit->BoundsRect();
  InflateRect(&r, 1, 1);
  if (s.SavedBorderStyle == bsSingle) {
    s.Recreating = true;
    edit->SetBorderStyle(bsNone);
    if (edit->BorderWidth() < 2) edit->SetBorderWidth(2);
  }
  TPainterCanvas f(edit->Parent(), *s.MenuComponent);
  const TColor parent = ParentColor(edit);
  TColor color;
  if (s.Highlighted || s.HasFocus)
    color = f.Lighten(f.xp.PaintSelectBorderColor, 60);
  else
    color = s.SavedBorderStyle == bsSingle ? f.Darken(parent, 60) : parent;
  f.Bevel(r, color, color, 1);
}

void PaintComboBox(TControlSubClass& s) {
  auto* combo = static_cast<TCustomCombo*>(s.Control);
  TPainterCanvas f(combo, *s.MenuComponent);
  const RECT client = combo->ClientRect();
  const bool leftButton = combo->BiDiMode() == bdRightToLeft;
  const bool hot = s.Highlighted, focused = s.HasFocus;
  const TColor face = combo->Color(), parent = ParentColor(combo);
  TColor arrow = combo->Enabled() ? clBlack : clWhite;
  TColor frame = face, button = clBtnFace;
  if (hot) {
    frame = f.xp.PaintSelectBorderColor;
    button = f.xp.PaintSelectColor;
  } else if (focused) {
    frame = f.Lighten(f.xp.PaintSelectBorderColor, 60);
    button = f.xp.PaintCheckAreaColor;
  }
  RECT r = client;
  f.Frame(r, parent);
  InflateRect(&r, -1, -1);
  f.Line(r.left, r.top, r.right, r.top, parent);
  r.top += 1;
  r.bottom -= 1;
  if (hot || focused) InflateRect(&r, 1, 1);
  f.Frame(r, face);
  r.bottom += 1;
  f.Frame(r, frame);
  if (combo->DroppedDown()) {
    frame = f.xp.PaintSelectBorderColor;
    arrow = clWhite;
    button = f.xp.PaintCheckAreaSelectColor;
  }
  InflateRect(&r, -1, -1);
  const int thumb = GetSystemMetrics(SM_CXHTHUMB);
  RECT b = r;
  if (leftButton) {
    b.right = r.left + thumb + 1;
    if (hot || focused) b.right += 2;
  } else {
    b.left = r.right - thumb - 1;
    if (hot || focused) b.left -= 1;
  }
  f.Fill(b, button);
  // A strip of the edit's colour on the edit side, then the button's own edge.
  if (leftButton) {
    f.Fill(RECT{b.right - 5, b.top, b.right, b.bottom}, face);
    f.Line(b.right - 6, b.top, b.right - 6, b.bottom, frame);
  } else {
    f.Fill(RECT{b.left, b.top, b.left + 5, b.bottom}, face);
    f.Line(b.left + 5, b.top, b.left + 5, b.bottom, frame);
  }
  const int x = leftButton ? client.left + 5 : client.right - 10, y0 = client.top;
  f.Line(x, y0 + 10, x + 5, y0 + 10, arrow);
  f.Line(x + 1, y0 + 11, x + 4, y0 + 11, arrow);
  f.Line(x + 2, y0 + 12, x + 3, y0 + 12, arrow);
}

void PaintGroupBox(TControlSubClass& s) {
  if (s.LastMessage != WM_PAINT) return;
  auto* box = static_cast<TCustomGroupBox*>(s.Control);
  TPainterCanvas f(box, *s.MenuComponent);
  const RECT c = box->ClientRect();
  const std::string caption = box->Caption();
  f.canvas.Font()->Assign(*box->Font());
  const std::string measured = caption.empty() ? std::string(" ") : caption;
  const int th = f.canvas.TextHeight(measured), tw = f.canvas.TextWidth(measured);
  const TColor face = box->Color();
  const TColor dark = f.Darken(face, 60), light = f.Lighten(face, 60);
  const TColor topLeft = box->Ctl3D() ? light : dark;
  f.Outline(RECT{c.left + 1, c.top + 1 + th - 1, c.right - 1, c.bottom - 1}, face);
  RECT r = c;
  r.top += th / 2 - 1;
  f.Line(r.left + 1, r.top, r.left + 1, r.bottom, face);
  f.Bevel(r, topLeft, dark, 1);
  f.Fill(RECT{c.left, c.top, c.right, c.top + th / 2 + 2}, ParentColor(box));
  RECT text{0, c.top, 0, c.top + th};
  const bool rtl = box->UseRightToLeftReading();
  if (rtl) {
    text.right = c.right - 9;
    text.left = text.right - tw;
  } else {
    text.left = c.left + 9;
    text.right = text.left + tw;
  }
  const int band = c.top + th / 2 + 2;
  f.Fill(RECT{text.left, band, text.right, band + th / 2 + 1}, face);
  f.Line(c.right - 2, band, c.right - 2, text.bottom, face);
  f.canvas.Brush()->SetStyle(bsClear);
  f.canvas.SetTextFlags(rtl ? ETO_RTLREADING : 0);
  f.canvas.TextRect(text, text.left, text.top, caption);
  const int y = c.top + th / 2 + 1;
  f.Line(c.left, y, text.left, y, topLeft);
  f.Line(text.right, y, c.right - 1, y, topLeft);
}

void PaintPanel(TControlSubClass& s) {
  if (s.LastMessage != WM_PAINT) return;
  auto* panel = static_cast<TCustomPanel*>(s.Control);
  TPainterCanvas f(panel, *s.MenuComponent);
  RECT r = panel->ClientRect();
  const TColor face = panel->Color();
  const TColor dark = f.Darken(face, 60), light = f.Lighten(face, 60);
  auto bevel = [&](TBevelCut cut) {
    if (cut == bvNone) return;
    const bool lowered = cut == bvLowered;
    f.Bevel(r, lowered ? dark : light, lowered ? light : dark, panel->BevelWidth());
  };
  bevel(panel->BevelOuter());
  if (panel->BevelInner() != bvNone) {
    InflateRect(&r, -panel->BorderWidth(), -panel->BorderWidth());
    bevel(panel->BevelInner());
  }
}
