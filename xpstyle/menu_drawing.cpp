// Menu items in the XP style: their size, the icon column, check mark and radio dot, glyph,
// caption and shortcut, separators, the selected item and the selected menu bar item, and the
// flat border of the popup window.
#include <algorithm>
#include <cmath>

#include "xpstyle/painters.h"
#include "xpstyle/xp_style.h"

namespace {

int RoundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

bool NTFamily() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace

// A menu bar item as the measuring sees it: the owner window is a form with a menu, and the
// item's parent component is that menu.
bool TXPStyle::IsMenuBarItem(TMenuItem* item) const {
  auto* form = dynamic_cast<TForm*>(ownerWindow_);
  if (!form || !form->Menu()) return false;
  TComponent* parent = item->GetParentComponent();
  return parent && parent->Name() == form->Menu()->Name();
}

SIZE TXPStyle::GetItemImageSize(TMenuItem* item) {
  bool barItem = false, fromList = false;
  TMenuItem* parent = item->Parent();
  TMenu* menu = parent ? parent->GetParentMenu() : nullptr;
  if (IsMenuBarItem(item)) {
    barItem = true;
    auto* form = static_cast<TForm*>(ownerWindow_);
    fromList = form->Menu()->Images() && item->ImageIndex() != -1;
  }
  if ((menu && menu->Images()) || (parent && parent->SubMenuImages())) fromList = item->ImageIndex() != -1;
  // Only the size counts: an image from a list has the list's, whatever its index.
  auto glyphSize = [](int w, int h) { return w > 0 && h > 0 ? SIZE{w, h} : SIZE{0, 0}; };
  SIZE size{0, 0};
  if (fromList) {
    TImageList* list = parent && parent->SubMenuImages() ? parent->SubMenuImages() : menu ? menu->Images() : nullptr;
    if (list) size = glyphSize(list->Width(), list->Height());
  } else if (item->Bitmap()->Width() > 0) {
    size = glyphSize(item->Bitmap()->Width(), item->Bitmap()->Height());
  }
  if (!barItem && size.cx < iconWidth_) size.cx = iconWidth_;
  return size;
}

void TXPStyle::MeasureMenuItem(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height) {
  if (!active_) return;
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item) return;
  std::string text = item->Caption();
  const bool separator = text == "-";
  if (separator) text.clear();
  const std::string shortcut = ShortCutToText(item->ShortCut());
  if (!shortcut.empty()) text += shortcut + "WWW";
  ACanvas->Font()->Assign(font_);
  int w = ACanvas->TextWidth(text) + 5;
  if (text.find('&') != std::string::npos) w -= ACanvas->TextWidth("&");
  const SIZE image = GetItemImageSize(item);
  if (image.cx > 0) w += image.cx;
  if (IsMenuBarItem(item) && NTFamily()) w += 8;
  Width = std::max(Width, w);
  if (separator) {
    Height = 4;
    return;
  }
  const int th = ACanvas->TextHeight(text);
  int h = th + RoundEven(th * 0.75);
  if (h < image.cy + 6) h = image.cy + 6;
  Height = std::max(Height, h);
}

void TXPStyle::DrawItemHandler(TObject* Sender, TCanvas* ACanvas, RECT ARect, bool Selected) {
  RECT r = ARect;
  if (!active_) return;
  if (auto* item = dynamic_cast<TMenuItem*>(Sender)) PaintMenuItem(item, ACanvas, r, Selected);
}

void TXPStyle::PaintMenuItem(TMenuItem* item, TCanvas* canvas, RECT R, bool selected) {
  PrepareMenuColors(canvas);
  const bool separator = item->Caption() == "-";
  TMenuItem* parent = item->Parent();
  TMenu* menu = parent ? parent->GetParentMenu() : nullptr;
  const bool barItem = dynamic_cast<TMainMenu*>(menu) && parent == menu->Items();
  canvas->Font()->Assign(font_);
  R.bottom += 1;
  const std::string text = " " + item->Caption();

  TBitmap glyph;
  const bool hasBitmap = item->Bitmap()->Width() > 0;
  TImageList* subImages = parent ? parent->SubMenuImages() : nullptr;
  TImageList* menuImages = menu ? menu->Images() : nullptr;
  const bool hasImage = (menuImages || subImages) && item->ImageIndex() != -1;
  if (hasBitmap) glyph.Assign(*item->Bitmap());
  if (hasImage) {
    // An index outside the list gives an empty picture of the list's size.
    TImageList* list = subImages ? subImages : menuImages;
    const TColor fill = subImages ? canvas->Brush()->Color() : static_cast<TColor>(canvas->Pixel(2, 2));
    glyph.SetSize(list->Width(), list->Height());
    glyph.Canvas()->Brush()->SetColor(fill);
    glyph.Canvas()->FillRect(RECT{0, 0, list->Width(), list->Height()});
    list->Draw(glyph.Canvas(), 0, 0, item->ImageIndex());
  }
  const int gw = glyph.Empty() ? 0 : glyph.Width();

  const bool rtl = menu && menu->IsRightToLeft();
  const RECT I =
      rtl ? RECT{R.right - iconWidth_, R.top, R.right, R.bottom} : RECT{R.left, R.top, R.left + iconWidth_, R.bottom};
  RECT M;
  if (gw > 0) {
    M = RECT{I.left + 1, I.top + 2, I.right - 3, I.bottom - 2};
  } else {
    const int left = I.left + (I.right - I.left - 10) / 2, top = I.top + (I.bottom - I.top - 10) / 2;
    M = RECT{left, top, left + 10, top + 10};
  }
  if (gw > iconWidth_) {
    if (rtl)
      M.left = M.right - gw;
    else
      M.right = M.left + gw;
  }
  if (barItem) M.top -= 1;

  RECT T{0, R.top, 0, R.bottom};
  if (rtl) {
    T.left = R.left;
    T.right = barItem ? R.right - 4 : R.right - iconWidth_;
    if (R.right - gw < T.right) T.right = R.right - gw - 8;
  } else {
    T.left = barItem ? R.left + 4 : R.left + iconWidth_;
    if (R.left + gw > T.left) T.left = R.left + gw + 4;
    T.right = R.right;
  }
  if (barItem) {
    if (gw == 0)
      T = R;
    else if (rtl)
      T.right += 5;
    else
      T.left -= 5;
  }

  TPainterCanvas f(nullptr, *this, canvas->Handle(), false);
  if (barItem) {
    f.canvas.Pen()->SetColor(PaintMenuBarColor);
    f.Fill(R, PaintMenuBarColor);
  } else if (HighColor && gradient_) {
    PaintGradient(canvas, RECT{R.left, R.top, R.right + 2, R.bottom}, rtl);
  } else if (!(selected && !item->Enabled())) {
    // A disabled selected item keeps the background already there.
    f.Fill(R, PaintColor);
    f.Fill(I, PaintIconBackColor);
  }
  if (selected && drawSelect_) {
    if (barItem) {
      DrawBarItem(item, canvas, rtl, menuBarColor_, R);
    } else if (item->Enabled()) {
      const RECT S{R.left, R.top + 1, flatMenu_ ? R.right - 1 : R.right, R.bottom - 1};
      f.Fill(S, PaintSelectColor);
      f.Outline(S, PaintSelectBorderColor);
    }
  }
  DrawCheckMark(item, selected, M, canvas, hasBitmap || hasImage, item->Enabled());
  DrawItemIcon(item, canvas, &glyph, I, selected, false, item->Enabled(), item->Checked(), barItem, rtl);
  if (!separator) {
    UINT format = DT_LEFT;
    if (rtl) {
      format = DT_RIGHT | DT_RTLREADING;
      T.right -= 3;
    } else {
      T.left += 3;
    }
    DrawItemText(item, text, format, &font_, rtl, barItem, item->Default(), item->Enabled(), selected, T, canvas,
                 ShortCutToText(item->ShortCut()));
  } else {
    const int y = T.top + RoundEven((T.bottom - T.top) / 2.0);
    if (rtl)
      f.Line(T.left, y, T.right - 7, y, PaintSeparatorColor);
    else
      f.Line(T.left + 7, y, T.right, y, PaintSeparatorColor);
  }
  if (flatMenu_ && !barItem) {
    HWND window = WindowFromDC(canvas->Handle());
    if (window && (!ownerWindow_ || !ownerWindow_->HandleAllocated() || window != ownerWindow_->Handle()))
      DrawFlatMenuBorder(window, rtl);
  }
  RehookMenuFamily(item);
}

void TXPStyle::DrawCheckMark(TMenuItem* item, bool selected, RECT M, TCanvas* canvas, bool hasGlyph, bool enabled) {
  if (!item->Checked()) return;
  const TColor area = selected ? PaintCheckAreaSelectColor : PaintCheckAreaColor;
  const bool plainTick = !item->RadioItem() && !hasGlyph;
  if (enabled) {
    canvas->Pen()->SetColor(plainTick ? PaintCheckedColor : PaintSelectBorderColor);
    canvas->Brush()->SetColor(area);
  } else {
    canvas->Pen()->SetColor(PaintDisabledColor);
  }
  canvas->Brush()->SetStyle(bsSolid);
  if (item->RadioItem()) {
    if (hasGlyph)
      canvas->RoundRect(M.left, M.top, M.right, M.bottom, 6, 6);
    else
      canvas->Ellipse(M.left, M.top, M.right, M.bottom);
    return;
  }
  canvas->Rectangle(M);
  if (hasGlyph) return;
  const int L = M.left, T = M.top, R = M.right, B = M.bottom;
  canvas->Pen()->SetColor(enabled ? clBlack : PaintDisabledColor);
  const POINT strokes[][2] = {{{L + 1, T + 5}, {L + 4, B - 2}},
                              {{L + 2, T + 5}, {L + 4, B - 3}},
                              {{L + 2, T + 4}, {L + 5, B - 3}},
                              {{L + 4, B - 3}, {R + 2, T - 1}},
                              {{L + 4, B - 2}, {R - 2, T + 3}}};
  for (const auto& s : strokes) canvas->Polyline(s, 2);
}

TColor TXPStyle::BarTextColor(TCanvas* canvas, TColor color) {
  const COLORREF c = ColorToRGB(color);
  if ((GetRValue(c) + GetBValue(c)) / 2 > 150 || GetGValue(c) > 200) return font_.Color();
  return LightenColor(canvas, color, 90);
}

void TXPStyle::DrawBarItem(TMenuItem* item, TCanvas* canvas, bool rightToLeft, TColor color, RECT R) {
  TPainterCanvas f(nullptr, *this, canvas->Handle(), false);
  f.Fill(R, PaintSelectColor);
  const int L = R.left, T = R.top, Rr = R.right, B = R.bottom;
  if (!rightToLeft && HighColor && item) {
    f.Poly({{L, B - 1}, {L, T}, {Rr - 8, T}, {Rr - 8, B}}, PaintSelectBorderColor);
    const TColor base = PaintMenuBarColor;
    const struct {
      int amount;
      RECT r;
    } shades[] = {{10, {Rr - 7, T, Rr, B}},
                  {30, {Rr - 7, T + 3, Rr - 2, B}},
                  {60, {Rr - 7, T + 5, Rr - 3, B}},
                  {100, {Rr - 7, T + 6, Rr - 5, B}}};
    for (const auto& s : shades) f.Fill(s.r, DarkenColor(canvas, base, s.amount));
    const int X = Rr, Y = T;
    f.Poly({{X - 5, Y + 1}, {X - 1, Y + 1}, {X - 1, Y + 6}}, base);
    f.Poly({{X - 3, Y + 2}, {X - 2, Y + 2}, {X - 2, Y + 3}, {X - 3, Y + 3}}, base);
    f.Poly({{X - 6, Y + 3}, {X - 3, Y + 3}, {X - 3, Y + 6}, {X - 4, Y + 6}, {X - 4, Y + 3}},
           DarkenColor(canvas, base, 10));
    f.Poly({{X - 5, Y + 5}, {X - 4, Y + 5}, {X - 4, Y + 9}}, DarkenColor(canvas, base, 30));
    f.Poly({{X - 6, Y + 5}, {X - 6, Y + 7}}, DarkenColor(canvas, base, 40));
    return;
  }
  const TColor dark = DarkenColor(canvas, color, 70);
  f.Poly({{L, B - 1}, {L, T}, {Rr - 3, T}, {Rr - 3, B}}, PaintSelectBorderColor);
  f.Fill(RECT{Rr - 2, T + 2, Rr, B}, dark);
  f.Fill(RECT{Rr - 2, T, Rr, T + 2}, color);
}

void TXPStyle::DrawFlatMenuBorder(HWND window, bool rightToLeft) {
  if (!window) return;
  // Drawn on the popup's own window: a frame drawn on the desktop does not show over a menu
  // on every platform.
  RECT W;
  GetWindowRect(window, &W);
  OffsetRect(&W, -W.left, -W.top);
  HDC dc = GetWindowDC(window);
  {
    TPainterCanvas f(nullptr, *this, dc, false);
    W.right -= 2;
    W.bottom -= 2;
    const int L = W.left, T = W.top;
    int R = W.right, B = W.bottom;
    f.Outline(W, PaintBorderColor);
    if (rightToLeft) {
      f.Outline(RECT{L + 1, T + 1, R - 2, T + 3}, PaintColor);
      f.Line(L + 2, T + 2, L + 2, B - 2, PaintColor);
      f.Line(R - 2, T + 2, R - 2, B - 2, PaintIconBackColor);
      f.Line(R - 2, T + 2, R - 1 - iconWidth_, T + 2, PaintIconBackColor);
    } else {
      if (!gradient_) {
        f.Outline(RECT{L + 1, T + 1, R - 1, T + 3}, PaintColor);
        f.Line(L + 1, T + 2, L + 3 + iconWidth_, T + 2, PaintIconBackColor);
      } else {
        PaintGradient(&f.canvas, RECT{L + 1, T + 1, R - 3, T + 3}, false);
      }
      f.Outline(RECT{L + 1, T + 2, L + 3, B - 1}, PaintIconBackColor);
    }
    R += 2;
    B += 2;
    f.Outline(RECT{L + 2, B - 2, R, B}, PaintShadowColor);
    f.Outline(RECT{R - 2, T + 2, R, B}, PaintShadowColor);
    f.Outline(RECT{L, B - 2, L + 2, B}, clBtnFace);
    f.Outline(RECT{R - 2, T, R, T + 2}, clBtnFace);
  }
  ReleaseDC(window, dc);
}
