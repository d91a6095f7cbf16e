// Controls and the one window procedure behind all of them. Each window we make belongs to a
// class registered as a copy of a native class (or a plain class of our own) whose procedure is
// LayerWindowProc: it finds the control object, sends the message through the object's
// WindowProc property and catches every exception there.
#include "winui/control.h"

#include <windowsx.h>

#include <algorithm>
#include <map>

#include "base/exception.h"
#include "base/strings.h"
#include "winui/automation.h"
#include "winui/form.h"
#include "winui/menus.h"

namespace {

const char kControlProp[] = "MbControl";
thread_local TWinControl* g_creating = nullptr;
TControl* g_mouseControl = nullptr;           // the control under the mouse, for CM_MOUSEENTER/LEAVE
std::map<std::string, WNDPROC> g_classProcs;  // our class name -> the native procedure behind it
HWND g_parking = nullptr;
std::vector<TControlCanvas*> g_liveCanvases;  // canvases holding a context from GetDC

// Windows of controls that have no parent yet live here, hidden.
HWND ParkingWindow() {
  if (!g_parking) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MbParking";
    RegisterClassExA(&wc);
    g_parking = CreateWindowExA(WS_EX_TOOLWINDOW, "MbParking", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  }
  return g_parking;
}

WNDPROC RegisterLayerClass(const TCreateParams& p) {
  auto it = g_classProcs.find(p.WinClassName);
  if (it != g_classProcs.end()) return it->second;
  HINSTANCE inst = GetModuleHandleA(nullptr);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  WNDPROC original = DefWindowProcA;
  if (!p.BaseClassName.empty()) {
    if (!GetClassInfoExA(nullptr, p.BaseClassName.c_str(), &wc) && !GetClassInfoExA(inst, p.BaseClassName.c_str(), &wc))
      throw Exception("Window class " + p.BaseClassName + " not found");
    original = wc.lpfnWndProc;
    wc.cbSize = sizeof(wc);
    wc.style &= ~static_cast<UINT>(CS_GLOBALCLASS);
  } else {
    wc.style = p.ClassStyle;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = nullptr;
  }
  wc.lpfnWndProc = LayerWindowProc;
  wc.hInstance = inst;
  wc.lpszClassName = p.WinClassName.c_str();
  if (!RegisterClassExA(&wc)) throw Exception("Cannot register window class " + p.WinClassName);
  g_classProcs[p.WinClassName] = original;
  return original;
}

LPCSTR CursorId(TCursor c) {
  switch (c) {
    case crCross: return reinterpret_cast<LPCSTR>(IDC_CROSS);
    case crIBeam: return reinterpret_cast<LPCSTR>(IDC_IBEAM);
    case crHourGlass: return reinterpret_cast<LPCSTR>(IDC_WAIT);
    case crHandPoint: return reinterpret_cast<LPCSTR>(IDC_HAND);
    default: return reinterpret_cast<LPCSTR>(IDC_ARROW);
  }
}

bool IsMouseMessage(UINT msg) { return msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONDBLCLK; }
bool IsButtonDown(UINT msg) {
  return msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN || msg == WM_LBUTTONDBLCLK ||
         msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
}
bool IsButtonUp(UINT msg) { return msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_MBUTTONUP; }

// Binds canvas to dc, with the control's font and colour, while paint runs.
void PaintOnCanvas(TControl& control, TControlCanvas& canvas, HDC dc, const std::function<void()>& paint) {
  canvas.FreeHandle();
  canvas.Font()->Assign(*control.Font());
  canvas.Brush()->SetColor(control.Color());
  canvas.SetHandle(dc);
  struct Unbind {
    TControlCanvas& canvas;
    ~Unbind() { canvas.SetHandle(nullptr); }
  } unbind{canvas};
  paint();
}

}  // namespace

TSysLocale SysLocale;

bool TSysLocale::MiddleEast() {
  if (middleEast_ < 0) middleEast_ = GetSystemMetrics(SM_MIDEASTENABLED) ? 1 : 0;
  return middleEast_ == 1;
}

// A message a container hands to one of its children is the child's message: what the child's
// handlers throw ends here, in the application's box unless the child drops it, and never
// passes back through the container's own procedure.
void RunAsChild(TControl* child, const std::function<void()>& work) {
  try {
    work();
  } catch (...) {
    if (!child->SilentExceptions() && Application) Application->HandleException(child);
  }
}

LRESULT DeliverToChild(TControl* child, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  RunAsChild(child, [&] { result = child->Perform(msg, wParam, lParam); });
  return result;
}

// The procedure of every window class we register.
LRESULT CALLBACK LayerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* control = static_cast<TWinControl*>(GetPropA(hwnd, kControlProp));
  if (!control && g_creating) {
    control = g_creating;
    g_creating = nullptr;
    control->handle_ = hwnd;
    SetPropA(hwnd, kControlProp, control);
  }
  if (!control) {
    char cls[256] = {0};
    GetClassNameA(hwnd, cls, sizeof(cls));
    auto it = g_classProcs.find(cls);
    WNDPROC proc = it != g_classProcs.end() ? it->second : DefWindowProcA;
    return CallWindowProcA(proc, hwnd, msg, wParam, lParam);
  }
  TMessage message{msg, wParam, lParam, 0};
  try {
    control->WindowProc()(message);
  } catch (...) {
    if (!control->SilentExceptions()) {
      if (Application) Application->HandleException(control);
    }
  }
  if (msg == WM_NCDESTROY) {
    RemovePropA(hwnd, kControlProp);
    if (control->handle_ == hwnd) control->handle_ = nullptr;
  }
  return message.Result;
}

TControl* FindControl(HWND window) {
  if (!window) return nullptr;
  return static_cast<TWinControl*>(GetPropA(window, kControlProp));
}

TForm* GetParentForm(TControl* control) {
  while (control && control->Parent()) control = control->Parent();
  return dynamic_cast<TForm*>(control);
}

TShiftState KeyboardShiftState() {
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

TShiftState MouseShiftState(WPARAM keys) {
  TShiftState s = 0;
  if (keys & MK_SHIFT) s |= ssShift;
  if (keys & MK_CONTROL) s |= ssCtrl;
  if (keys & MK_LBUTTON) s |= ssLeft;
  if (keys & MK_RBUTTON) s |= ssRight;
  if (keys & MK_MBUTTON) s |= ssMiddle;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

// ---- TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
  windowProc_ = OwnWindowProc();
  font_.OnChange = [this] { FontChanged(); };
}

TControl::~TControl() {
  if (g_mouseControl == this) g_mouseControl = nullptr;
  if (parent_) parent_->RemoveControl(this);
  parent_ = nullptr;
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent == this) throw Exception("A control cannot be its own parent");
  FreeControlCanvasContexts();
  TWinControl* old = parent_;
  if (old) {
    if (!dynamic_cast<TWinControl*>(this)) Invalidate();
    old->RemoveControl(this);
  }
  parent_ = parent;
  if (parent) parent->InsertControl(this);
  if (auto* win = dynamic_cast<TWinControl*>(this)) {
    if (win->HandleAllocated()) {
      HWND newParent = parent ? parent->Handle() : ParkingWindow();
      ::SetParent(win->handle_, newParent);
      SetWindowPos(win->handle_, HWND_TOP, left_, top_, width_, height_, SWP_NOACTIVATE);
      if (parent && GetParentForm(parent)) GetParentForm(parent)->UpdateHint(this);
    } else if (parent && parent->HandleAllocated()) {
      win->CreateWnd();
    }
  } else if (parent) {
    Invalidate();
    if (TForm* f = GetParentForm(parent); f && f->HandleAllocated()) f->UpdateHint(this);
  }
  if (parent) {
    TMessage m{CM_PARENTCOLORCHANGED, 0, 0, 0};
    ParentChanged(m);
    m.Msg = CM_PARENTFONTCHANGED;
    ParentChanged(m);
  }
}

void TControl::SetBounds(int left, int top, int width, int height) {
  FreeControlCanvasContexts();
  const RECT old = BoundsRect();
  SetBoundsFields(left, top, width, height);
  if (parent_ && parent_->HandleAllocated()) {
    InvalidateRect(parent_->handle_, &old, !opaque_);
    Invalidate();
  }
  BoundsChanged();
  if (parent_) {
    if (TForm* f = GetParentForm(this); f && f->HandleAllocated()) f->UpdateHint(this);
  }
}

RECT TControl::ClientRect() { return RECT{0, 0, width_, height_}; }
void TControl::SetClientWidth(int w) { SetWidth(w); }
void TControl::SetClientHeight(int h) { SetHeight(h); }

POINT TControl::ClientToScreen(POINT p) {
  if (auto* win = dynamic_cast<TWinControl*>(this)) {
    ::ClientToScreen(win->Handle(), &p);
    return p;
  }
  if (!parent_) return p;
  return parent_->ClientToScreen(POINT{p.x + left_, p.y + top_});
}

POINT TControl::ScreenToClient(POINT p) {
  if (auto* win = dynamic_cast<TWinControl*>(this)) {
    ::ScreenToClient(win->Handle(), &p);
    return p;
  }
  if (!parent_) return p;
  POINT q = parent_->ScreenToClient(p);
  return POINT{q.x - left_, q.y - top_};
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (parent_ && parent_->HandleAllocated()) {
    const RECT r = BoundsRect();
    InvalidateRect(parent_->handle_, &r, TRUE);
  }
  Perform(CM_VISIBLECHANGED, visible ? 1 : 0);
}

bool TControl::Showing() {
  if (auto* win = dynamic_cast<TWinControl*>(this)) return win->HandleAllocated() && IsWindowVisible(win->handle_);
  return visible_ && parent_ && parent_->Showing();
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Invalidate();
  Perform(CM_ENABLEDCHANGED);
}

void TControl::SetText(const std::string& text) {
  if (text == GetText()) return;
  ApplyText(text);
}

void TControl::ApplyText(const std::string& text) {
  text_ = text;
  Perform(CM_TEXTCHANGED);
  Invalidate();
}

void TControl::SetHint(const std::string& hint) {
  hint_ = hint;
  if (TForm* f = GetParentForm(this); f && f->HandleAllocated()) f->UpdateHint(this);
}

void TControl::SetShowHint(bool on) {
  showHint_ = on;
  if (TForm* f = GetParentForm(this); f && f->HandleAllocated()) f->UpdateHint(this);
}

void TControl::SetColor(TColor color) {
  parentColor_ = false;
  if (color == color_) return;
  color_ = color;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool on) {
  parentColor_ = on;
  if (on && parent_) {
    TMessage m{CM_PARENTCOLORCHANGED, 0, 0, 0};
    ParentChanged(m);
  }
}

void TControl::SetParentFont(bool on) {
  parentFont_ = on;
  if (on && parent_) {
    TMessage m{CM_PARENTFONTCHANGED, 0, 0, 0};
    ParentChanged(m);
  }
}

void TControl::ParentChanged(TMessage& message) {
  if (!parent_) return;
  if (message.Msg == CM_PARENTCOLORCHANGED && parentColor_ && color_ != parent_->color_) {
    color_ = parent_->color_;
    Perform(CM_COLORCHANGED);
    parentColor_ = true;  // following the parent keeps the flag
  } else if (message.Msg == CM_PARENTFONTCHANGED && parentFont_) {
    font_.OnChange = nullptr;
    font_.Assign(parent_->font_);
    font_.OnChange = [this] { FontChanged(); };
    FontChanged();
    parentFont_ = true;
  }
}

void TControl::FontChanged() {
  // Reached for fonts set on the control itself; ParentChanged restores the flag after copying.
  parentFont_ = false;
  Invalidate();
  Perform(CM_FONTCHANGED);
}

void TControl::SetBiDiMode(TBiDiMode mode) {
  if (mode == biDiMode_) return;
  biDiMode_ = mode;
  Invalidate();
}

void TControl::SetCursor(TCursor cursor) {
  cursor_ = cursor;
  Perform(CM_CURSORCHANGED);
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage m{msg, wParam, lParam, 0};
  if (!silentExceptions_) {
    windowProc_(m);
    return m.Result;
  }
  try {
    windowProc_(m);
  } catch (...) {
    // This control drops what its handlers throw, on every path a message takes to it.
  }
  return m.Result;
}

void TControl::Invalidate() {
  if (!parent_ || !parent_->HandleAllocated() || !visible_) return;
  const RECT r = BoundsRect();
  InvalidateRect(parent_->handle_, &r, !opaque_);
}

void TControl::Update() {
  if (parent_ && parent_->HandleAllocated()) UpdateWindow(parent_->handle_);
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::BringToFront() {
  if (!parent_) return;
  auto& list = parent_->controls_;
  list.erase(std::find(list.begin(), list.end(), this));
  list.push_back(this);
  if (auto* win = dynamic_cast<TWinControl*>(this); win && win->HandleAllocated())
    SetWindowPos(win->handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  else
    Invalidate();
}

void TControl::DoMouse(TMessage& m) {
  const int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
  const TShiftState s = MouseShiftState(m.WParam);
  switch (m.Msg) {
    case WM_MOUSEMOVE:
      if (OnMouseMove) OnMouseMove(this, s, x, y);
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (OnMouseDown)
        OnMouseDown(this, mbLeft, s | (m.Msg == WM_LBUTTONDBLCLK ? static_cast<unsigned>(ssDouble) : 0u), x, y);
      if (m.Msg == WM_LBUTTONDBLCLK && OnDblClick) OnDblClick(this);
      break;
    case WM_RBUTTONDOWN:
      if (OnMouseDown) OnMouseDown(this, mbRight, s, x, y);
      break;
    case WM_LBUTTONUP:
      if (OnMouseUp) OnMouseUp(this, mbLeft, s, x, y);
      break;
    case WM_RBUTTONUP:
      if (OnMouseUp) OnMouseUp(this, mbRight, s, x, y);
      break;
    default: break;
  }
}

void TControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_PARENTCOLORCHANGED:
    case CM_PARENTFONTCHANGED: ParentChanged(m); return;
    case CM_COLORCHANGED:
    case CM_FONTCHANGED: Invalidate(); return;
    default: break;
  }
  if (IsMouseMessage(m.Msg)) DoMouse(m);
  DefaultHandler(m);
}

void TControl::DefaultHandler(TMessage&) {}

// ---- TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  // Children go first: they are windows inside ours and objects that point at us.
  while (!controls_.empty()) delete controls_.back();
  DestroyHandle();
}

void TWinControl::DestroyHandle() {
  if (handle_) {
    HWND h = handle_;
    DestroyWindow(h);  // WM_NCDESTROY clears handle_
    handle_ = nullptr;
  }
}

HWND TWinControl::Handle() {
  if (!handle_) CreateWnd();
  return handle_;
}

void TWinControl::CreateParams(TCreateParams& p) {
  p.Caption = text_;
  p.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (visible_) p.Style |= WS_VISIBLE;
  if (!enabled_) p.Style |= WS_DISABLED;
  if (tabStop_) p.Style |= WS_TABSTOP;
  p.X = Left();
  p.Y = Top();
  p.Width = Width();
  p.Height = Height();
  p.WndParent = Parent() ? Parent()->Handle() : ParkingWindow();
  ReadingOrderStyle(p.Style, p.ExStyle);
}

void TWinControl::ReadingOrderStyle(DWORD&, DWORD& exStyle) {
  exStyle = UseRightToLeftReading() ? (exStyle | WS_EX_RTLREADING) : (exStyle & ~static_cast<DWORD>(WS_EX_RTLREADING));
}

void TWinControl::SetBiDiMode(TBiDiMode mode) {
  TControl::SetBiDiMode(mode);
  if (!handle_) return;
  DWORD style = static_cast<DWORD>(GetWindowLongPtrA(handle_, GWL_STYLE));
  DWORD ex = static_cast<DWORD>(GetWindowLongPtrA(handle_, GWL_EXSTYLE));
  ReadingOrderStyle(style, ex);
  SetWindowLongPtrA(handle_, GWL_STYLE, static_cast<LONG_PTR>(style));
  SetWindowLongPtrA(handle_, GWL_EXSTYLE, static_cast<LONG_PTR>(ex));
  InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::CreateWnd() {
  if (handle_) return;
  TCreateParams p;
  CreateParams(p);
  if (p.WinClassName.empty()) p.WinClassName = p.BaseClassName.empty() ? "MbWindow" : "Mb" + p.BaseClassName;
  if (handle_) return;  // CreateParams made the parent, which made us
  defWndProc_ = RegisterLayerClass(p);
  TWinControl* outer = g_creating;
  g_creating = this;
  HWND h = CreateWindowExA(p.ExStyle, p.WinClassName.c_str(), p.Caption.c_str(), p.Style, p.X, p.Y, p.Width, p.Height,
                           p.WndParent, nullptr, GetModuleHandleA(nullptr), nullptr);
  g_creating = outer;
  if (!h) throw Exception("Error creating window (" + p.WinClassName + ")");
  if (!handle_) {
    handle_ = h;
    SetPropA(h, kControlProp, this);
  }
  SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), FALSE);
  HandleCreated();
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c); w && !w->handle_) w->CreateWnd();
  if (TForm* f = GetParentForm(this); f && f != this && f->HandleAllocated()) f->UpdateHint(this);
}

std::string TWinControl::GetText() {
  if (!handle_) return text_;
  const int n = GetWindowTextLengthA(handle_);
  std::string s(static_cast<size_t>(n) + 1, '\0');
  const int got = GetWindowTextA(handle_, s.data(), n + 1);
  s.resize(static_cast<size_t>(std::max(got, 0)));
  return s;
}

void TWinControl::ApplyText(const std::string& text) {
  text_ = text;
  if (handle_)
    SetWindowTextA(handle_, text.c_str());  // CM_TEXTCHANGED follows from WM_SETTEXT
  else
    Perform(CM_TEXTCHANGED);
}

void TWinControl::FontChanged() {
  if (handle_) { SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), TRUE); }
  TControl::FontChanged();
  TMessage m{CM_PARENTFONTCHANGED, 0, 0, 0};
  Broadcast(m);
}

TControl* TWinControl::Controls(int index) const {
  if (index < 0 || index >= ControlCount()) throw Exception("List index out of bounds (" + std::to_string(index) + ")");
  return controls_[static_cast<size_t>(index)];
}

void TWinControl::InsertControl(TControl* control) { controls_.push_back(control); }

void TWinControl::RemoveControl(TControl* control) {
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it != controls_.end()) controls_.erase(it);
  if (captured_ == control) {
    captured_ = nullptr;
    if (GetCapture() == handle_) ReleaseCapture();
  }
  if (TForm* f = GetParentForm(this)) {
    f->RemoveHintTool(control);
    if (f->activeControl_ == control) f->activeControl_ = nullptr;
  }
}

TControl* TWinControl::ControlAtPos(POINT p, bool allowDisabled, bool windowlessOnly) {
  for (size_t i = controls_.size(); i-- > 0;) {
    TControl* c = controls_[i];
    if (windowlessOnly && dynamic_cast<TWinControl*>(c)) continue;
    if (!c->visible_ || (!c->enabled_ && !allowDisabled)) continue;
    const RECT r = c->BoundsRect();
    if (PtInRect(&r, p)) return c;
  }
  return nullptr;
}

bool TWinControl::Focused() { return handle_ && GetFocus() == handle_; }

bool TWinControl::CanFocus() {
  for (TControl* c = this; c; c = c->Parent())
    if (!c->visible_ || !c->enabled_) return false;
  return true;
}

void TWinControl::SetFocus() {
  // The form learns of it from WM_SETFOCUS.
  ::SetFocus(Handle());
}

void TWinControl::SetTabStop(bool on) {
  tabStop_ = on;
  if (handle_) {
    LONG_PTR style = GetWindowLongPtrA(handle_, GWL_STYLE);
    style = on ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
    SetWindowLongPtrA(handle_, GWL_STYLE, style);
  }
}

void TWinControl::SetCtl3D(bool on) {
  parentCtl3D_ = false;
  if (on == ctl3D_) return;
  ctl3D_ = on;
  if (handle_) UpdateFrameStyle();
  Perform(CM_CTL3DCHANGED);
  for (TControl* c : controls_) {
    auto* w = dynamic_cast<TWinControl*>(c);
    if (w && w->parentCtl3D_) {
      w->ctl3D_ = on;
      if (w->handle_) w->UpdateFrameStyle();
      w->Perform(CM_PARENTCTL3DCHANGED);
    }
  }
}

void TWinControl::SetParentCtl3D(bool on) {
  parentCtl3D_ = on;
  if (on && Parent() && Parent()->ctl3D_ != ctl3D_) {
    ctl3D_ = Parent()->ctl3D_;
    if (handle_) UpdateFrameStyle();
    Perform(CM_PARENTCTL3DCHANGED);
  }
}

void TWinControl::SetBorderWidth(int width) {
  if (width == borderWidth_) return;
  borderWidth_ = width;
  if (handle_)
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  SetBoundsFields(left, top, width, height);
  if (handle_) SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  BoundsChanged();
  if (TForm* f = GetParentForm(this); f && f != this && f->HandleAllocated()) f->UpdateHint(this);
}

RECT TWinControl::ClientRect() {
  RECT r{0, 0, Width(), Height()};
  if (handle_) GetClientRect(handle_, &r);
  return r;
}

void TWinControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (handle_) ShowWindow(handle_, visible ? SW_SHOWNA : SW_HIDE);
  Perform(CM_VISIBLECHANGED, visible ? 1 : 0);
}

void TWinControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (handle_) EnableWindow(handle_, enabled ? TRUE : FALSE);
  Perform(CM_ENABLEDCHANGED);
}

void TWinControl::SetColor(TColor color) {
  TControl::SetColor(color);
  background_.SetColor(color);
}

HBRUSH TWinControl::BackgroundBrush() {
  if (background_.Color() != Color()) background_.SetColor(Color());
  return background_.Handle();
}

void TWinControl::Invalidate() { Perform(CM_INVALIDATE); }

void TWinControl::Update() {
  if (handle_) UpdateWindow(handle_);
}

void TWinControl::Broadcast(TMessage& message) {
  for (size_t i = 0; i < controls_.size(); ++i) {
    TMessage copy = message;
    controls_[i]->WindowProc()(copy);
  }
}

void TWinControl::PaintControls(HDC dc) {
  for (size_t i = 0; i < controls_.size(); ++i) {
    TControl* c = controls_[i];
    if (dynamic_cast<TWinControl*>(c) || !c->visible_) continue;
    RECT r = c->BoundsRect();
    if (!RectVisible(dc, &r)) continue;
    const int saved = SaveDC(dc);
    OffsetViewportOrgEx(dc, c->left_, c->top_, nullptr);
    IntersectClipRect(dc, 0, 0, c->width_, c->height_);
    c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    RestoreDC(dc, saved);
  }
}

void TWinControl::NotifyFocus() {
  if (TForm* f = GetParentForm(this); f && f != this) f->FocusChanged(this);
}

bool TWinControl::DoKeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
  return key == 0;
}

void TWinControl::TrackMouse(TControl* target) {
  if (handle_) {
    // Armed on every move: a child window of a native control can use up the last request.
    TRACKMOUSEEVENT t{};
    t.cbSize = sizeof(t);
    t.dwFlags = TME_LEAVE;
    t.hwndTrack = handle_;
    TrackMouseEvent(&t);
  }
  if (target == g_mouseControl) return;
  TControl* old = g_mouseControl;
  g_mouseControl = target;
  if (old) old->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(old));
  if (target && g_mouseControl == target) target->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(target));
}

// One dispatch over the handlers below: each takes one kind of message and returns true when it
// answered it; whatever none answers goes on to the mouse events and the native procedure.
void TWinControl::WndProc(TMessage& m) {
  if (Dispatch(m)) return;
  if (IsMouseMessage(m.Msg)) DoMouse(m);
  DefaultHandler(m);
}

bool TWinControl::Dispatch(TMessage& m) {
  if (IsMouseMessage(m.Msg)) return MouseMessage(m);
  switch (m.Msg) {
    case WM_PAINT: return PaintMessage(m);
    case WM_SETFOCUS: return FocusMessage(m);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_CHAR: return KeyMessage(m);
    case WM_SETCURSOR:
    case WM_MOUSELEAVE:
    case WM_CAPTURECHANGED: return PointerMessage(m);
    case WM_MEASUREITEM:
    case WM_DRAWITEM:
    case WM_COMMAND:
      // Items of owner-drawn menus and chosen menu items are the menu's business, not a child's.
      if (AnswerMenuMessage(m.Msg, m.WParam, m.LParam, m.Result)) return true;
      return m.Msg != WM_MEASUREITEM && ReflectNotify(m);
    case WM_NOTIFY:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC: return ReflectNotify(m);
    case WM_SETTEXT:
    case WM_WINDOWPOSCHANGED:
    case WM_SYSCOLORCHANGE: return WindowStateMessage(m);
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
    case WM_ERASEBKGND: return FrameMessage(m);
    default: break;
  }
  if (m.Msg >= CM_BASE && m.Msg <= CN_CTLCOLORSTATIC) return ComponentMessage(m);
  return AnswerAutomation(*this, m);
}

// Mouse messages over a windowless child go to that child (and to the one that got the button
// press until it is released); true when a child took the message.
bool TWinControl::MouseMessage(TMessage& m) {
  if (!handle_) return false;
  if (m.Msg != WM_MOUSEMOVE && !captured_ && !IsButtonDown(m.Msg) && !IsButtonUp(m.Msg)) return false;
  const POINT p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
  TControl* under = ControlAtPos(p, false, true);
  if (m.Msg == WM_MOUSEMOVE) TrackMouse(under ? under : this);
  TControl* target = captured_ ? captured_ : under;
  if (!target) return false;
  if (IsButtonDown(m.Msg)) {
    captured_ = target;
    SetCapture(handle_);
  }
  const bool up = IsButtonUp(m.Msg);
  const LPARAM local = MAKELPARAM(static_cast<short>(p.x - target->left_), static_cast<short>(p.y - target->top_));
  DeliverToChild(target, m.Msg, m.WParam, local);
  if (up && captured_) {
    captured_ = nullptr;
    if (GetCapture() == handle_) ReleaseCapture();
  }
  return true;
}

// The cursor of the control under the mouse, leaving the window, and losing the capture.
bool TWinControl::PointerMessage(TMessage& m) {
  switch (m.Msg) {
    case WM_SETCURSOR: {
      if (LOWORD(m.LParam) != HTCLIENT || reinterpret_cast<HWND>(m.WParam) != handle_) return false;
      POINT p;
      GetCursorPos(&p);
      ::ScreenToClient(handle_, &p);
      TControl* c = ControlAtPos(p, false, true);
      if (!c) c = this;
      if (c->Cursor() == crDefault) return false;
      ::SetCursor(LoadCursorA(nullptr, CursorId(c->Cursor())));
      m.Result = TRUE;
      return true;
    }
    case WM_MOUSELEAVE:
      if (g_mouseControl == this ||
          (g_mouseControl && g_mouseControl->Parent() == this && !dynamic_cast<TWinControl*>(g_mouseControl))) {
        TControl* old = g_mouseControl;
        g_mouseControl = nullptr;
        old->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(old));
      }
      return false;
    default:  // WM_CAPTURECHANGED
      if (captured_ && reinterpret_cast<HWND>(m.LParam) != handle_) captured_ = nullptr;
      return false;
  }
}

// Key events first; a handler that clears the key swallows it, and Enter may press the form's
// default button.
bool TWinControl::KeyMessage(TMessage& m) {
  switch (m.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      WORD key = static_cast<WORD>(m.WParam);
      if (DoKeyDown(key, KeyboardShiftState())) return true;
      m.WParam = key;
      if (m.Msg == WM_KEYDOWN && key == VK_RETURN) {
        TForm* f = GetParentForm(this);
        if (f && f != this && f->DialogKey(key, this)) return true;
      }
      return false;
    }
    case WM_KEYUP: {
      WORD key = static_cast<WORD>(m.WParam);
      if (OnKeyUp) OnKeyUp(this, key, KeyboardShiftState());
      if (key == 0) return true;
      m.WParam = key;
      return false;
    }
    default: {  // WM_CHAR
      char key = static_cast<char>(m.WParam);
      if (OnKeyPress) OnKeyPress(this, key);
      if (key == 0) return true;
      m.WParam = static_cast<unsigned char>(key);
      return false;
    }
  }
}

bool TWinControl::FocusMessage(TMessage& m) {
  DefaultHandler(m);
  NotifyFocus();
  return true;
}

// A native control with windowless children paints into our context first, then they follow;
// a plain window of ours only holds them.
bool TWinControl::PaintMessage(TMessage& m) {
  bool graphic = false;
  for (TControl* c : controls_) graphic = graphic || (!dynamic_cast<TWinControl*>(c) && c->visible_);
  if (!graphic) return false;
  if (PlainWindow()) {
    WithPaintContext(m, [&](HDC dc) { PaintControls(dc); });
    return true;
  }
  WithPaintContext(m, [&](HDC dc) {
    const WPARAM given = m.WParam;
    m.WParam = reinterpret_cast<WPARAM>(dc);
    DefaultHandler(m);
    m.WParam = given;
    PaintControls(dc);
  });
  return true;
}

// Text, place and system colours: the native procedure runs first, the layer follows it.
bool TWinControl::WindowStateMessage(TMessage& m) {
  switch (m.Msg) {
    case WM_SETTEXT:
      DefaultHandler(m);
      Perform(CM_TEXTCHANGED);
      return true;
    case WM_WINDOWPOSCHANGED: {
      DefaultHandler(m);
      RECT r;
      GetWindowRect(handle_, &r);
      if (HWND parent = GetParent(handle_); parent && (GetWindowLongPtrA(handle_, GWL_STYLE) & WS_CHILD))
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
      SetBoundsFields(r.left, r.top, r.right - r.left, r.bottom - r.top);
      return true;
    }
    default: {  // WM_SYSCOLORCHANGE
      TMessage sys{CM_SYSCOLORCHANGE, 0, 0, 0};
      Broadcast(sys);
      return false;
    }
  }
}

// The border band of BorderWidth inside the native frame; a plain window of ours, which has no
// class brush, fills its background itself.
bool TWinControl::FrameMessage(TMessage& m) {
  switch (m.Msg) {
    case WM_NCCALCSIZE:
      DefaultHandler(m);
      if (borderWidth_ > 0) {
        // Either form of the message starts with the proposed client rectangle.
        auto* client = reinterpret_cast<RECT*>(m.LParam);
        InflateRect(client, -borderWidth_, -borderWidth_);
        if (client->right < client->left) client->right = client->left;
        if (client->bottom < client->top) client->bottom = client->top;
      }
      return true;
    case WM_NCPAINT: {
      DefaultHandler(m);
      if (borderWidth_ <= 0) return true;
      RECT window, client;
      GetWindowRect(handle_, &window);
      GetClientRect(handle_, &client);
      MapWindowPoints(handle_, nullptr, reinterpret_cast<POINT*>(&client), 2);
      OffsetRect(&client, -window.left, -window.top);
      RECT band = client;
      InflateRect(&band, borderWidth_, borderWidth_);
      HDC dc = GetWindowDC(handle_);
      ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
      FillRect(dc, &band, BackgroundBrush());
      ReleaseDC(handle_, dc);
      return true;
    }
    default:  // WM_ERASEBKGND
      if (!PlainWindow()) return false;
      EraseBackground(m);
      return true;
  }
}

// Notifications about a child window go back to that child's control.
bool TWinControl::ReflectNotify(TMessage& m) {
  HWND child = nullptr;
  switch (m.Msg) {
    case WM_NOTIFY: child = reinterpret_cast<NMHDR*>(m.LParam)->hwndFrom; break;
    case WM_DRAWITEM: child = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam)->hwndItem; break;
    default: child = reinterpret_cast<HWND>(m.LParam); break;  // WM_COMMAND, WM_CTLCOLOR*
  }
  if (!child || child == handle_) return false;
  TControl* target = FindControl(child);
  if (!target) return false;
  m.Result = DeliverToChild(target, CN_BASE + m.Msg, m.WParam, m.LParam);
  return true;
}

// The layer's own messages (CM_*) and the colour answers a parent hands back (CN_CTLCOLOR*).
bool TWinControl::ComponentMessage(TMessage& m) {
  switch (m.Msg) {
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLORBTN:
    case CN_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(m.WParam);
      SetTextColor(dc, ColorToRGB(Font()->Color()));
      SetBkColor(dc, ColorToRGB(Color()));
      m.Result = reinterpret_cast<LRESULT>(BackgroundBrush());
      return true;
    }
    case CM_SYSCOLORCHANGE: Broadcast(m); return true;
    case CM_INVALIDATE:
      if (handle_) InvalidateRect(handle_, nullptr, !Opaque());
      return true;
    case CM_COLORCHANGED: {
      background_.SetColor(Color());
      if (handle_) InvalidateRect(handle_, nullptr, TRUE);
      TMessage pc{CM_PARENTCOLORCHANGED, 0, 0, 0};
      Broadcast(pc);
      return true;
    }
    case CM_PARENTCOLORCHANGED:
    case CM_PARENTFONTCHANGED: ParentChanged(m); return true;
    case CM_FONTCHANGED: return true;
    case CM_ENTER:
      if (OnEnter) OnEnter(this);
      return true;
    case CM_EXIT:
      if (OnExit) OnExit(this);
      return true;
    default: return false;
  }
}

void TWinControl::WithPaintContext(TMessage& m, const std::function<void(HDC)>& paint) {
  if (m.WParam) {
    paint(reinterpret_cast<HDC>(m.WParam));
    return;
  }
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(handle_, &ps);
  struct EndPaintGuard {
    HWND window;
    PAINTSTRUCT* ps;
    ~EndPaintGuard() { EndPaint(window, ps); }
  } guard{handle_, &ps};
  paint(dc);
}

void TWinControl::EraseBackground(TMessage& m) {
  RECT r;
  GetClientRect(handle_, &r);
  FillRect(reinterpret_cast<HDC>(m.WParam), &r, BackgroundBrush());
  m.Result = 1;
}

void TWinControl::PaintWindow(TMessage& m, TControlCanvas& canvas, const std::function<void()>& paint) {
  WithPaintContext(m, [&](HDC dc) {
    PaintOnCanvas(*this, canvas, dc, paint);
    PaintControls(dc);
  });
}

void TWinControl::DefaultHandler(TMessage& m) {
  if (m.Msg >= CM_BASE) return;  // our own messages never reach user32
  if (!handle_) return;
  m.Result = CallWindowProcA(defWndProc_ ? defWndProc_ : DefWindowProcA, handle_, m.Msg, m.WParam, m.LParam);
}

// ---- TGraphicControl, TCustomControl, TControlCanvas

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {
  canvas_ = std::make_unique<TControlCanvas>(this);
}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::WndProc(TMessage& m) {
  if (m.Msg == WM_PAINT && m.WParam) {
    PaintOnCanvas(*this, static_cast<TControlCanvas&>(*canvas_), reinterpret_cast<HDC>(m.WParam), [this] { Paint(); });
    return;
  }
  TControl::WndProc(m);
}

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {
  canvas_ = std::make_unique<TControlCanvas>(this);
}

TCustomControl::~TCustomControl() = default;

void TCustomControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_ERASEBKGND: EraseBackground(m); return;
    case WM_PAINT: PaintWindow(m, static_cast<TControlCanvas&>(*canvas_), [this] { Paint(); }); return;
    default: TWinControl::WndProc(m);
  }
}

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::SetControl(TControl* control) {
  FreeHandle();
  control_ = control;
}

void FreeControlCanvasContexts() {
  while (!g_liveCanvases.empty()) g_liveCanvases.back()->FreeHandle();
}

void TControlCanvas::CreateHandle() {
  if (!control_) return;
  g_liveCanvases.push_back(this);
  if (auto* win = dynamic_cast<TWinControl*>(control_)) {
    window_ = win->Handle();
    dc_ = GetDC(window_);
    SetOwnedHandle(dc_);
    return;
  }
  TWinControl* parent = control_->Parent();
  if (!parent) {
    g_liveCanvases.pop_back();
    return;
  }
  window_ = parent->Handle();
  dc_ = GetDC(window_);
  SetViewportOrgEx(dc_, control_->Left(), control_->Top(), nullptr);
  IntersectClipRect(dc_, 0, 0, control_->Width(), control_->Height());
  SetOwnedHandle(dc_);
}

void TControlCanvas::FreeHandle() {
  g_liveCanvases.erase(std::remove(g_liveCanvases.begin(), g_liveCanvases.end(), this), g_liveCanvases.end());
  if (!dc_) return;
  DeselectTools();
  SetHandle(nullptr);
  ReleaseDC(window_, dc_);
  dc_ = nullptr;
  window_ = nullptr;
}

// ---- TControlStrings

int TControlStrings::IndexOf(const std::string& s) {
  const int n = Count();
  for (int i = 0; i < n; ++i) {
    const std::string item = Get(i);
    if (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, item.c_str(), static_cast<int>(item.size()), s.c_str(),
                       static_cast<int>(s.size())) == CSTR_EQUAL)
      return i;
  }
  return -1;
}

std::string TControlStrings::Text() {
  std::string out;
  const int n = Count();
  for (int i = 0; i < n; ++i) out += Get(i) + "\r\n";
  return out;
}

void TControlStrings::SetText(const std::string& text) { Assign(SplitLines(text)); }

void TControlStrings::Assign(const std::vector<std::string>& lines) {
  Clear();
  for (const auto& l : lines) Add(l);
}
