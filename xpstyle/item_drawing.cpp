// Caption and glyph of menu items, tool buttons and styled buttons: the emboss of default items,
// the lighter shortcut, and the dimmed, greyed, raised and shadowed glyph states.
#include "xpstyle/xp_style.h"

namespace {

bool IsMenuItem(TComponent* c) { return dynamic_cast<TMenuItem*>(c) != nullptr; }
bool IsToolButton(TComponent* c) { return dynamic_cast<TToolButton*>(c) != nullptr; }

}  // namespace

void TXPStyle::DrawItemText(TComponent* item, const std::string& text, UINT format, TFont* font, bool rightToLeft,
                            bool barItem, bool isDefault, bool enabled, bool selected, RECT Q, TCanvas* canvas,
                            const std::string& shortcut) {
  TColor color = font->Color();
  canvas->Font()->Assign(*font);
  if (selected) color = PaintSelectFontColor;
  if (!enabled) color = PaintDisabledColor;
  if (!enabled && IsToolButton(item)) {
    // Drawn through a bitmap of the background: a disabled button's caption and nothing else.
    Q.top += (Q.bottom - Q.top - canvas->TextHeight("W")) / 2;
    const int w = Q.right - Q.left, h = Q.bottom - Q.top;
    if (w <= 0 || h <= 0) return;
    TBitmap off;
    off.SetSize(w, h);
    TCanvas* oc = off.Canvas();
    oc->Brush()->SetColor(canvas->Brush()->Color());
    oc->FillRect(RECT{0, 0, w, h});
    oc->Font()->Assign(*font);
    oc->Font()->SetColor(color);
    oc->Brush()->SetStyle(bsClear);
    RECT r{0, 0, w, h};
    oc->DrawText(text, r, format | DT_VCENTER);
    canvas->CopyRect(Q, oc, r);
    return;
  }
  if (selected && barItem && useSystemColors_) color = BarTextColor(canvas, PaintIconBackColor);
  canvas->Font()->SetColor(color);
  Q.top += (Q.bottom - Q.top - canvas->TextHeight("W")) / 2;
  canvas->Brush()->SetStyle(bsClear);
  if (isDefault && enabled) {
    // Embossed: four passes, each in a shade of what lies below its corner.
    const struct { int dl, dt, dr, amount; } passes[] = {{1, 0, 0, 30}, {1, 2, 1, 30}, {0, 1, 0, 40}, {1, 1, 1, 60}};
    for (const auto& p : passes) {
      RECT r{Q.left + p.dl, Q.top + p.dt, Q.right + p.dr, Q.bottom};
      const COLORREF below = canvas->Pixel(r.left, r.top);
      canvas->Font()->SetColor(DarkenColor(canvas, static_cast<TColor>(below == CLR_INVALID ? 0 : below), p.amount));
      canvas->DrawText(text, r, format);
    }
    canvas->Font()->SetColor(color);
  }
  canvas->DrawText(text, Q, format);
  const std::string s = shortcut + " ";
  canvas->Font()->SetColor(HighColor ? DarkenColor(canvas, color, -40) : color);
  RECT sq = Q;
  if (rightToLeft) {
    sq.left += 10;
    canvas->DrawText(s, sq, DT_LEFT);
  } else {
    sq.right -= 10;
    canvas->DrawText(s, sq, DT_RIGHT);
  }
}

void TXPStyle::DrawItemIcon(TComponent* item, TCanvas* canvas, TBitmap* glyph, RECT I, bool selected, bool pressed,
                            bool enabled, bool checked, bool barItem, bool rightToLeft) {
  if (!glyph || glyph->Empty() || glyph->Width() <= 0) return;
  const int gw = glyph->Width();
  int x = I.left, y = I.top + 1;
  if (IsMenuItem(item)) {
    y = I.top + 3;
    if (gw < iconWidth_)
      x = I.left + (iconWidth_ - gw) / 2 - 1;
    else
      x = rightToLeft ? I.right - gw - 2 : I.left + 2;
  }
  if (barItem) x = rightToLeft ? I.right - gw - 5 : I.left + 1;
  if (selected && !barItem && enabled && !checked && !pressed) {
    --x;
    --y;
  }
  if (enabled && !selected && !checked && HighColor) {
    DimBitmap(glyph, dimLevel_);
  } else if (!enabled) {
    GrayBitmap(glyph, grayLevel_);
    DimBitmap(glyph, 40);
  }
  if (selected && enabled && !checked) {
    DrawBitmapShadow(glyph, canvas, x + 2, y + 2, DarkenColor(canvas, PaintSelectColor, 50));
  }
  glyph->SetTransparent(true);
  canvas->Draw(x, y, glyph);
}
