#include "winui/extra_controls.h"

#include <windowsx.h>

#include <algorithm>
#include <map>

#include "winui/form.h"

// ---- glyph and caption

void TButtonGlyph::Draw(TCanvas* c, const RECT& r, const std::string& text, bool pressed, bool enabled) {
  HDC dc = c->Handle();
  const SIZE ts = text.empty() ? SIZE{0, 0} : c->TextExtent(text);
  const int gw = GlyphWidth(), gh = GlyphHeight();
  const int gap = (gw > 0 && !text.empty()) ? Spacing : 0;
  const bool horizontal = Layout == blGlyphLeft || Layout == blGlyphRight;
  const int cw = r.right - r.left, ch = r.bottom - r.top;
  int gx, gy, tx, ty;
  if (horizontal) {
    const int total = gw + gap + ts.cx;
    int start = Margin >= 0 ? Margin : (cw - total) / 2;
    if (Layout == blGlyphLeft) {
      gx = start;
      tx = start + gw + gap;
    } else {
      if (Margin >= 0) start = cw - Margin - total;
      tx = start;
      gx = start + ts.cx + gap;
    }
    gy = (ch - gh) / 2;
    ty = (ch - ts.cy) / 2;
  } else {
    const int total = gh + gap + ts.cy;
    int start = Margin >= 0 ? Margin : (ch - total) / 2;
    if (Layout == blGlyphTop) {
      gy = start;
      ty = start + gh + gap;
    } else {
      if (Margin >= 0) start = ch - Margin - total;
      ty = start;
      gy = start + ts.cy + gap;
    }
    gx = (cw - gw) / 2;
    tx = (cw - ts.cx) / 2;
  }
  gx += r.left, tx += r.left, gy += r.top, ty += r.top;
  if (pressed) { ++gx, ++gy, ++tx, ++ty; }
  if (gw > 0) {
    HDC src = Glyph.Canvas()->Handle();
    TransparentBlt(dc, gx, gy, gw, gh, src, 0, 0, gw, gh, ColorToRGB(Glyph.TransparentColor()));
  }
  if (!text.empty()) {
    c->Brush()->SetStyle(bsClear);
    if (!enabled) {
      const TColor color = c->Font()->Color();
      c->Font()->SetColor(clBtnHighlight);
      c->TextOut(tx + 1, ty + 1, text);
      c->Font()->SetColor(clBtnShadow);
      c->TextOut(tx, ty, text);
      c->Font()->SetColor(color);
      return;
    }
    c->TextOut(tx, ty, text);
  }
}

// ---- TSpeedButton

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetBoundsFields(0, 0, 23, 22);
  SetOpaque(false);
}

void TSpeedButton::SetGlyph(const TBitmap& bitmap) {
  face_.Glyph.Assign(bitmap);
  Invalidate();
}

void TSpeedButton::SetNumGlyphs(int n) {
  face_.NumGlyphs = n < 1 ? 1 : (n > 4 ? 4 : n);
  Invalidate();
}

void TSpeedButton::SetFlat(bool on) {
  flat_ = on;
  Invalidate();
}

void TSpeedButton::SetTransparent(bool on) {
  transparent_ = on;
  SetOpaque(!on);
  Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout l) {
  face_.Layout = l;
  Invalidate();
}

void TSpeedButton::SetSpacing(int s) {
  face_.Spacing = s;
  Invalidate();
}

void TSpeedButton::SetMargin(int m) {
  face_.Margin = m;
  Invalidate();
}

void TSpeedButton::SetDown(bool on) {
  down_ = on;
  state_ = on ? bsExclusive : (Enabled() ? bsUp : bsDisabled);
  Invalidate();
}

void TSpeedButton::Paint() {
  TCanvas* c = Canvas();
  HDC dc = c->Handle();
  RECT r = ClientRect();
  const bool pressed = state_ == bsDown || state_ == bsExclusive || down_;
  const bool hot = mouseInControl_ && Enabled();
  if (!transparent_) {
    c->Brush()->SetColor(Color());
    c->FillRect(r);
  }
  if (!flat_) {
    DrawEdge(dc, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  } else if (pressed || hot) {
    DrawEdge(dc, &r, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  }
  c->Font()->Assign(*Font());
  face_.Draw(c, ClientRect(), text_, pressed, Enabled());
}

void TSpeedButton::WndProc(TMessage& m) {
  const POINT p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
  const RECT r = ClientRect();
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      TGraphicControl::WndProc(m);
      if (Enabled()) {
        dragging_ = true;
        state_ = bsDown;
        Repaint();
      }
      return;
    case WM_MOUSEMOVE:
      TGraphicControl::WndProc(m);
      if (dragging_) {
        const TButtonState s = PtInRect(&r, p) ? bsDown : (down_ ? bsExclusive : bsUp);
        if (s != state_) {
          state_ = s;
          Invalidate();
        }
      }
      return;
    case WM_LBUTTONUP:
      TGraphicControl::WndProc(m);
      if (dragging_) {
        dragging_ = false;
        state_ = down_ ? bsExclusive : (Enabled() ? bsUp : bsDisabled);
        Repaint();
        if (PtInRect(&r, p)) Click();
      }
      return;
    case CM_MOUSEENTER:
      mouseInControl_ = true;
      if (flat_ && Enabled()) Invalidate();
      return;
    case CM_MOUSELEAVE:
      mouseInControl_ = false;
      if (flat_ && Enabled()) Invalidate();
      return;
    case CM_ENABLEDCHANGED:
      state_ = Enabled() ? (down_ ? bsExclusive : bsUp) : bsDisabled;
      Invalidate();
      return;
    default: TGraphicControl::WndProc(m);
  }
}

// ---- TBitBtn

TBitBtn::TBitBtn(TComponent* AOwner) : TButton(AOwner), canvas_(std::make_unique<TCanvas>()) {}

void TBitBtn::CreateParams(TCreateParams& p) {
  TButton::CreateParams(p);
  p.Style = (p.Style & ~static_cast<DWORD>(BS_DEFPUSHBUTTON | BS_PUSHBUTTON)) | BS_OWNERDRAW;
  p.WinClassName = "MbBitBtn";
}

void TBitBtn::SetGlyph(const TBitmap& bitmap) {
  face_.Glyph.Assign(bitmap);
  Invalidate();
}

void TBitBtn::SetNumGlyphs(int n) {
  face_.NumGlyphs = n < 1 ? 1 : (n > 4 ? 4 : n);
  Invalidate();
}

void TBitBtn::SetLayout(TButtonLayout l) {
  face_.Layout = l;
  Invalidate();
}

void TBitBtn::SetSpacing(int s) {
  face_.Spacing = s;
  Invalidate();
}

void TBitBtn::SetMargin(int m) {
  face_.Margin = m;
  Invalidate();
}

void TBitBtn::WndProc(TMessage& m) {
  if (m.Msg != CN_DRAWITEM) {
    TButton::WndProc(m);
    return;
  }
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam);
  const bool pressed = (item->itemState & ODS_SELECTED) != 0;
  RECT r = item->rcItem;
  TCanvasLease lease(*canvas_, item->hDC);
  DrawFrameControl(item->hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
  canvas_->Font()->Assign(*Font());
  face_.Draw(canvas_.get(), r, Caption(), pressed, Enabled());
  if (item->itemState & ODS_FOCUS) {
    InflateRect(&r, -4, -4);
    DrawFocusRect(item->hDC, &r);
  }
  m.Result = TRUE;
}

// ---- TImage

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetBoundsFields(0, 0, 105, 105);
  picture_.OnChange = [this] { PictureChanged(); };
}

void TImage::PictureChanged() {
  // Settled here, not while painting: a change notice from inside Paint would invalidate the
  // parent during its own paint, over and over, and its windowed children would never paint.
  if (auto* b = dynamic_cast<TBitmap*>(picture_.Graphic())) b->SetTransparent(transparentPicture_);
  if (autoSize_ && picture_.Graphic() && !picture_.Graphic()->Empty())
    SetBounds(Left(), Top(), picture_.Width(), picture_.Height());
  SetOpaque(picture_.Graphic() && !transparentPicture_ && !picture_.Graphic()->Empty() &&
            (stretch_ || (picture_.Width() >= Width() && picture_.Height() >= Height())) &&
            !dynamic_cast<TIcon*>(picture_.Graphic()));
  Invalidate();
}

void TImage::SetStretch(bool on) {
  stretch_ = on;
  PictureChanged();
}

void TImage::SetCenter(bool on) {
  center_ = on;
  PictureChanged();
}

void TImage::SetTransparent(bool on) {
  transparentPicture_ = on;
  PictureChanged();
}

void TImage::SetAutoSize(bool on) {
  autoSize_ = on;
  PictureChanged();
}

void TImage::Paint() {
  TGraphic* g = picture_.Graphic();
  if (!g || g->Empty()) return;
  const RECT client = ClientRect();
  RECT dest{0, 0, g->Width(), g->Height()};
  if (stretch_) {
    dest = client;
  } else if (center_) {
    OffsetRect(&dest, (client.right - g->Width()) / 2, (client.bottom - g->Height()) / 2);
  }
  Canvas()->StretchDraw(dest, g);
}

void TImage::WndProc(TMessage& m) {
  TGraphicControl::WndProc(m);
  if (m.Msg == WM_LBUTTONUP) {
    const POINT p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
    const RECT r = ClientRect();
    if (PtInRect(&r, p)) Click();
  }
}

// ---- TTimer: one hidden window receives every timer's WM_TIMER.

namespace {
std::map<UINT_PTR, TTimer*> g_timers;
UINT_PTR g_nextTimerId = 1;
HWND g_timerWindow = nullptr;

LRESULT CALLBACK TimerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TIMER) {
    auto it = g_timers.find(static_cast<UINT_PTR>(wParam));
    if (it != g_timers.end()) {
      TTimer* timer = it->second;
      try {
        timer->Timer();
      } catch (...) { Application->HandleException(timer); }
    }
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND TimerWindow() {
  if (!g_timerWindow) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = TimerWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MbTimerWindow";
    RegisterClassExA(&wc);
    g_timerWindow = CreateWindowExA(0, "MbTimerWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
  }
  return g_timerWindow;
}
}  // namespace

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) { Update(); }

TTimer::~TTimer() {
  enabled_ = false;
  Update();
}

void TTimer::SetEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  Update();
}

void TTimer::SetInterval(unsigned ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Update();
}

void TTimer::Update() {
  if (id_) {
    KillTimer(TimerWindow(), id_);
    g_timers.erase(id_);
    id_ = 0;
  }
  if (enabled_ && interval_ > 0) {
    const UINT_PTR id = g_nextTimerId++;
    if (SetTimer(TimerWindow(), id, interval_, nullptr)) {
      id_ = id;
      g_timers[id] = this;
    }
  }
}

void TTimer::Timer() {
  if (OnTimer) OnTimer(this);
}
