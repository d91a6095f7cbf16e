// Tool bar buttons and control bar bands in the menu's style: a selection-coloured face with a
// one-pixel frame for hot and checked buttons, glyphs and captions as menu items have them.
#include <cmath>

#include "xpstyle/painters.h"
#include "xpstyle/xp_style.h"

namespace {

bool HasImage(TImageList* list, int index) { return list && index != -1 && index <= list->Count() - 1; }

}  // namespace

void TXPStyle::DrawDropArrow(TCanvas* canvas, int x, int y) {
  const POINT lines[][2] = {{{x, y}, {x + 5, y}}, {{x + 1, y + 1}, {x + 4, y + 1}}, {{x + 2, y + 2}, {x + 3, y + 2}}};
  for (const auto& l : lines) canvas->Polyline(l, 2);
}

void TXPStyle::DrawToolButtonFrame(TToolButton* button, TCanvas* canvas, RECT r) {
  const RECT f{r.left, r.top + 1, r.right - 1, r.bottom - 1};
  canvas->Pen()->SetColor(PaintSelectBorderColor);
  auto frame = [canvas](const RECT& q) {
    const POINT p[] = {{q.left, q.top}, {q.right, q.top}, {q.right, q.bottom}, {q.left, q.bottom}, {q.left, q.top}};
    canvas->Polyline(p, 5);
  };
  if (button->Style() == tbsDropDown) {
    frame(RECT{f.left, f.top, f.right - 13, f.bottom});
    frame(RECT{f.right - 13, f.top, f.right, f.bottom});
  } else {
    frame(f);
  }
}

void TXPStyle::DrawToolButton(TToolBar* Sender, TToolButton* Button, TCustomDrawState State, bool& DefaultDraw) {
  TCanvas* canvas = Sender->Canvas();
  const RECT r = Button->BoundsRect();
  RECT rr = r;
  const int index = Button->ImageIndex();
  const bool hotImage = HasImage(Sender->HotImages(), index);
  const bool disabledImage = HasImage(Sender->DisabledImages(), index);
  const bool normalImage = HasImage(Sender->Images(), index);
  PrepareMenuColors(canvas);
  const bool hot = State & cdsHot, checked = State & cdsChecked, pressed = State & cdsSelected;
  const bool transparent = Sender->Transparent();
  const TColor background = HighColor ? LightenColor(canvas, Sender->Color(), 16) : Sender->Color();
  // Everything goes through the bar's own canvas: the glyph bitmap and a disabled caption are
  // filled with its brush, which so holds the face chosen here, a transparent bar's included.
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(background);
  if (!transparent) canvas->FillRect(rr);
  bool framed = false, fill = false;
  TColor face = background;
  if (hot) {
    face = checked || Button->Down() || pressed ? PaintCheckAreaSelectColor : PaintSelectColor;
    framed = fill = true;
  }
  if (checked && !hot) {
    face = PaintCheckAreaColor;
    framed = fill = true;
  }
  if ((State & cdsIndeterminate) && !hot) {
    face = PaintSelectColor;
    fill = true;
  }
  if (Button->MenuItem() && State == 0) {
    face = Sender->Color();
    fill = !transparent;
  }
  rr.top += 1;
  canvas->Brush()->SetColor(face);
  if (fill) canvas->FillRect(rr);
  if (framed) DrawToolButtonFrame(Button, canvas, rr);
  DefaultDraw = false;
  rr = r;
  const bool dropDown = Button->Style() == tbsDropDown;
  if (dropDown) {
    canvas->Pen()->SetColor(clBlack);
    DrawDropArrow(canvas, rr.right - 10, rr.top + (rr.bottom - rr.top - 3) / 2 + 1);
  }

  TImageList* list = nullptr;
  if (hot && hotImage)
    list = Sender->HotImages();
  else if ((State & cdsDisabled) && disabledImage)
    list = Sender->DisabledImages();
  else if (normalImage)
    list = Sender->Images();
  const bool rtl = Button->BiDiMode() == bdRightToLeft;
  int gw = 0;
  if (list) {
    TBitmap glyph;
    glyph.SetSize(list->Width(), list->Height());
    glyph.Canvas()->Brush()->SetColor(canvas->Brush()->Color());
    glyph.Canvas()->FillRect(RECT{0, 0, list->Width(), list->Height()});
    list->Draw(glyph.Canvas(), 0, 0, index);
    gw = glyph.Width();
    if (dropDown) rr.right -= 12;
    if (Sender->List()) {
      if (rtl) {
        rr.right -= 3;
        rr.left = rr.right - gw;
      } else {
        rr.left += 3;
        rr.right = rr.left + gw;
      }
    } else {
      rr.left = static_cast<int>(std::nearbyint(rr.left + (rr.right - rr.left - gw) / 2.0));
    }
    rr.top += 2;
    rr.bottom = rr.top + glyph.Height() + 6;
    DrawItemIcon(Button, canvas, &glyph, rr, hot, pressed, Button->Enabled(), checked, false, false);
  }

  if (Sender->ShowCaptions()) {
    rr = r;
    if (dropDown) rr.right -= 12;
    UINT format;
    canvas->Font()->Assign(font_);
    if (!Sender->List()) {
      format = DT_CENTER;
      rr.top = rr.bottom - canvas->TextHeight(Button->Caption()) - 6;
    } else if (rtl) {
      format = DT_RIGHT | DT_VCENTER;
      rr.right -= gw + 7;
    } else {
      format = DT_VCENTER;
      rr.left += gw;
    }
    if (Button->MenuItem()) format = DT_CENTER;
    if (rtl) format |= DT_RTLREADING;
    DrawItemText(Button, Button->Caption(), format, &font_, rtl, Button->MenuItem() != nullptr, false,
                 Button->Enabled(), pressed, rr, canvas, "");
  }

  const int at = Button->Index();
  if (at > 0) {
    TToolButton* previous = Sender->Buttons(at - 1);
    if (previous->Style() == tbsSeparator || previous->Style() == tbsDivider) {
      const RECT pr = previous->BoundsRect();
      canvas->Brush()->SetStyle(bsSolid);  // the caption left it hollow
      canvas->Brush()->SetColor(background);
      if (!transparent) canvas->FillRect(pr);
      if (previous->Tag() > 0) {
        const int x = (pr.left + pr.right) / 2;
        canvas->Pen()->SetColor(DarkenColor(canvas, Sender->Color(), 30));
        canvas->MoveTo(x, pr.top + 2);
        canvas->LineTo(x, pr.bottom - 1);
      }
    }
  }
  if (Button->MenuItem() && (xpControls_ & XPBit(xcMainMenu))) RehookMenuFamily(Button->MenuItem());
}

void TXPStyle::PaintControlBand(TObject* Sender, TControl*, TCanvas* Canvas, RECT& ARect, TBandPaintOptions& Options) {
  auto* bar = dynamic_cast<TControl*>(Sender);
  if (!bar) return;
  PrepareMenuColors(Canvas);
  Options = 0;
  TPainterCanvas f(nullptr, *this, Canvas->Handle(), false);
  f.Fill(ARect, HighColor ? LightenColor(Canvas, bar->Color(), 6) : bar->Color());
  // The grabber darkens downwards in short dashes on every second row.
  int amount = 30;
  for (int y = ARect.top + 5; y <= ARect.bottom - 5; ++y) {
    const TColor pen = DarkenColor(Canvas, bar->Color(), amount);
    if (y % 2 == 0) {
      f.Line(ARect.left + 3, y, ARect.left + 6, y, pen);
      amount += 7;
    }
  }
}
