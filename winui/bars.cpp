// Tool bars and control bars. A tool bar's buttons are rebuilt in the native control whenever
// one changes; custom drawing hands each button to OnCustomDrawButton with the tool bar's
// canvas on the context of the draw.
#include "winui/bars.h"

#include <algorithm>

#include "base/exception.h"

namespace {
UINT g_nextButtonCommand = 1;
constexpr int kGrabberWidth = 11, kBandFrame = 2;
}  // namespace

// ---- TToolButton

TToolButton::TToolButton(TComponent* AOwner) : TComponent(AOwner), command_(g_nextButtonCommand) {
  g_nextButtonCommand = g_nextButtonCommand % 0xFFFF + 1;  // 16-bit command numbers
}

TToolButton::~TToolButton() {
  if (bar_) bar_->RemoveButton(this);
}

void TToolButton::SetToolBar(TToolBar* bar) {
  if (bar == bar_) return;
  if (bar_) bar_->RemoveButton(this);
  if (bar) bar->AddButton(this);
}

int TToolButton::Index() const {
  if (!bar_) return -1;
  auto it = std::find(bar_->buttons_.begin(), bar_->buttons_.end(), this);
  return static_cast<int>(it - bar_->buttons_.begin());
}

void TToolButton::Update() {
  if (bar_) bar_->Rebuild();
}

void TToolButton::SetCaption(const std::string& caption) {
  caption_ = caption;
  Update();
}
void TToolButton::SetImageIndex(int index) {
  imageIndex_ = index;
  Update();
}
void TToolButton::SetStyle(TToolButtonStyle style) {
  style_ = style;
  Update();
}
void TToolButton::SetDown(bool on) {
  down_ = on;
  Update();
}
void TToolButton::SetEnabled(bool on) {
  enabled_ = on;
  Update();
}
void TToolButton::SetIndeterminate(bool on) {
  indeterminate_ = on;
  Update();
}
void TToolButton::SetMenuItem(TMenuItem* item) {
  menuItem_ = item;
  if (item) caption_ = item->Caption();
  Update();
}
void TToolButton::SetWidth(int w) {
  width_ = w;
  Update();
}

RECT TToolButton::BoundsRect() const {
  RECT r{0, 0, 0, 0};
  if (bar_ && bar_->HandleAllocated())
    SendMessageA(bar_->Handle(), TB_GETITEMRECT, static_cast<WPARAM>(Index()), reinterpret_cast<LPARAM>(&r));
  return r;
}

void TToolButton::Click() {
  if (menuItem_) menuItem_->Click();
  if (OnClick) OnClick(this);
}

// ---- TToolBar

TToolBar::TToolBar(TComponent* AOwner) : TWinControl(AOwner) { SetBoundsFields(0, 0, 150, 29); }

TToolBar::~TToolBar() {
  for (TToolButton* b : buttons_) b->bar_ = nullptr;
}

TToolButton* TToolBar::Buttons(int index) const {
  if (index < 0 || index >= ButtonCount()) throw Exception("List index out of bounds (" + std::to_string(index) + ")");
  return buttons_[static_cast<size_t>(index)];
}

void TToolBar::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.BaseClassName = TOOLBARCLASSNAMEA;
  p.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER | WS_CLIPCHILDREN | TBSTYLE_TOOLTIPS;
  if (flat_) p.Style |= TBSTYLE_FLAT;
  if (list_) p.Style |= TBSTYLE_LIST;
  if (transparent_) p.Style |= TBSTYLE_TRANSPARENT;
}

void TToolBar::HandleCreated() {
  SendMessageA(handle_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageA(handle_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
  Rebuild();
}

void TToolBar::ApplyStyle() {
  if (!handle_) return;
  LONG_PTR style =
      GetWindowLongPtrA(handle_, GWL_STYLE) & ~static_cast<LONG_PTR>(TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TRANSPARENT);
  if (flat_) style |= TBSTYLE_FLAT;
  if (list_) style |= TBSTYLE_LIST;
  if (transparent_) style |= TBSTYLE_TRANSPARENT;
  SetWindowLongPtrA(handle_, GWL_STYLE, style);
  Rebuild();
}

void TToolBar::SetFlat(bool on) {
  flat_ = on;
  ApplyStyle();
}
void TToolBar::SetList(bool on) {
  list_ = on;
  ApplyStyle();
}
void TToolBar::SetShowCaptions(bool on) {
  showCaptions_ = on;
  Rebuild();
}
void TToolBar::SetTransparent(bool on) {
  transparent_ = on;
  ApplyStyle();
}
void TToolBar::SetImages(TImageList* list) {
  images_ = list;
  Rebuild();
}
void TToolBar::SetHotImages(TImageList* list) {
  hotImages_ = list;
  Rebuild();
}
void TToolBar::SetDisabledImages(TImageList* list) {
  disabledImages_ = list;
  Rebuild();
}

void TToolBar::AddButton(TToolButton* button) {
  buttons_.push_back(button);
  button->bar_ = this;
  Rebuild();
}

void TToolBar::RemoveButton(TToolButton* button) {
  buttons_.erase(std::remove(buttons_.begin(), buttons_.end(), button), buttons_.end());
  button->bar_ = nullptr;
  Rebuild();
}

void TToolBar::Rebuild() {
  if (!handle_) return;
  while (SendMessageA(handle_, TB_BUTTONCOUNT, 0, 0) > 0) SendMessageA(handle_, TB_DELETEBUTTON, 0, 0);
  SendMessageA(handle_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_ ? images_->Handle() : nullptr));
  SendMessageA(handle_, TB_SETHOTIMAGELIST, 0, reinterpret_cast<LPARAM>(hotImages_ ? hotImages_->Handle() : nullptr));
  SendMessageA(handle_, TB_SETDISABLEDIMAGELIST, 0,
               reinterpret_cast<LPARAM>(disabledImages_ ? disabledImages_->Handle() : nullptr));
  for (TToolButton* b : buttons_) {
    TBBUTTON tb{};
    tb.iBitmap = b->style_ == tbsSeparator || b->style_ == tbsDivider ? b->width_ : b->imageIndex_;
    tb.idCommand = static_cast<int>(b->command_);
    tb.fsState = static_cast<BYTE>((b->enabled_ ? TBSTATE_ENABLED : 0) | (b->down_ ? TBSTATE_CHECKED : 0) |
                                   (b->indeterminate_ ? TBSTATE_INDETERMINATE : 0));
    switch (b->style_) {
      case tbsCheck: tb.fsStyle = BTNS_CHECK; break;
      case tbsDropDown: tb.fsStyle = BTNS_DROPDOWN; break;
      case tbsSeparator:
      case tbsDivider: tb.fsStyle = BTNS_SEP; break;
      default: tb.fsStyle = BTNS_BUTTON; break;
    }
    tb.iString = showCaptions_ && !b->caption_.empty() ? reinterpret_cast<INT_PTR>(b->caption_.c_str()) : -1;
    SendMessageA(handle_, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&tb));
  }
  SendMessageA(handle_, TB_AUTOSIZE, 0, 0);
  InvalidateRect(handle_, nullptr, TRUE);
}

LRESULT TToolBar::CustomDraw(NMTBCUSTOMDRAW* draw) {
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return OnCustomDrawButton ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
    case CDDS_ITEMPREPAINT: {
      TToolButton* button = nullptr;
      for (TToolButton* b : buttons_)
        if (b->command_ == draw->nmcd.dwItemSpec) button = b;
      if (!button || !OnCustomDrawButton) return CDRF_DODEFAULT;
      bool defaultDraw = true;
      TCanvasLease lease(canvas_, draw->nmcd.hdc);
      canvas_.Font()->Assign(*Font());
      canvas_.Brush()->SetColor(Color());
      OnCustomDrawButton(this, button, static_cast<TCustomDrawState>(draw->nmcd.uItemState), defaultDraw);
      return defaultDraw ? CDRF_DODEFAULT : CDRF_SKIPDEFAULT;
    }
    default: return CDRF_DODEFAULT;
  }
}

void TToolBar::WndProc(TMessage& m) {
  if (m.Msg == CN_NOTIFY) {
    auto* header = reinterpret_cast<NMHDR*>(m.LParam);
    if (header->code == NM_CUSTOMDRAW) {
      m.Result = CustomDraw(reinterpret_cast<NMTBCUSTOMDRAW*>(m.LParam));
      return;
    }
    if (header->code == TBN_DROPDOWN) {
      auto* down = reinterpret_cast<NMTOOLBARA*>(m.LParam);
      for (TToolButton* b : buttons_)
        if (b->command_ == static_cast<UINT>(down->iItem) && b->dropdownMenu_) {
          RECT r = b->BoundsRect();
          POINT p{r.left, r.bottom};
          ::ClientToScreen(handle_, &p);
          b->dropdownMenu_->Popup(p.x, p.y);
        }
      m.Result = TBDDRET_DEFAULT;
      return;
    }
  }
  if (m.Msg == WM_COMMAND && m.LParam == reinterpret_cast<LPARAM>(handle_)) {
    for (TToolButton* b : buttons_)
      if (b->command_ == LOWORD(m.WParam)) {
        if (b->style_ == tbsCheck) b->down_ = SendMessageA(handle_, TB_ISBUTTONCHECKED, b->command_, 0) != 0;
        b->Click();
      }
    return;
  }
  TWinControl::WndProc(m);
}

// ---- TControlBar

TControlBar::TControlBar(TComponent* AOwner) : TCustomControl(AOwner) {
  SetBoundsFields(0, 0, 100, 50);
  SetOpaque(true);
}

RECT TControlBar::BandRect(TControl* child) {
  RECT r = child->BoundsRect();
  r.left -= kGrabberWidth + kBandFrame;
  r.top -= kBandFrame;
  r.right += kBandFrame;
  r.bottom += kBandFrame;
  return r;
}

void TControlBar::Paint() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* child = Controls(i);
    if (!child->Visible()) continue;
    RECT band = BandRect(child);
    TBandPaintOptions options = bpoGrabber | bpoFrame;
    if (OnBandPaint) OnBandPaint(this, child, c, band, options);
    if (options & bpoFrame) DrawEdge(c->Handle(), &band, BDR_RAISEDINNER, BF_RECT);
    if (options & bpoGrabber) {
      RECT grip{band.left + 3, band.top + 3, band.left + 6, band.bottom - 3};
      DrawEdge(c->Handle(), &grip, BDR_RAISEDINNER, BF_RECT);
    }
  }
}
