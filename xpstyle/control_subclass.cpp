// The control subclass. It may be freed from inside its own message handling (the control's
// window goes, the component was switched off by a handler); it then only marks itself and the
// outermost call of ControlWindowProc frees it, so nothing touches a freed object.
#include "xpstyle/control_subclass.h"

#include "xpstyle/painters.h"
#include "xpstyle/xp_style.h"

namespace {

int g_live = 0;

template <class T>
bool Is(const TObject* x) {
  return dynamic_cast<const T*>(x) != nullptr;
}

}  // namespace

int TControlSubClass::LiveCount() { return g_live; }

TControlSubClass::TControlSubClass(TControl* control, TXPStyle* component)
    : Control(control), MenuComponent(component) {
  ++g_live;
  SavedWindowProc = control->WindowProc();
  if (auto* edit = dynamic_cast<TCustomEdit*>(control)) {
    SavedCtl3D = edit->Ctl3D();
    SavedBorderStyle = edit->BorderStyle();
  }
  // What the control's own handlers throw is dropped on every road a message takes to it.
  savedSilent_ = control->SilentExceptions();
  control->SetSilentExceptions(true);
  control->SetWindowProc(TWndMethod::Of<&TControlSubClass::ControlWindowProc>(this));
  component->subclasses_.push_back(this);
}

TControlSubClass::~TControlSubClass() {
  --g_live;
  if (MenuComponent) MenuComponent->Forget(this);
}

void TControlSubClass::ControlWindowProc(TMessage& Message) {
  struct Depth {
    TControlSubClass* self;
    explicit Depth(TControlSubClass* s) : self(s) { ++self->depth_; }
    ~Depth() {
      if (--self->depth_ == 0 && self->released_) delete self;
    }
  } depth(this);
  Handle(Message);
}

void TControlSubClass::Handle(TMessage& m) {
  TControl* control = Control;
  if (!control) {
    if (SavedWindowProc) SavedWindowProc(m);
    return;
  }
  const bool graphic = !Is<TWinControl>(control);
  // A windowless control's own painting is left out only while the styling is on, so the
  // first paint after switching off is its own again.
  if (m.Msg == WM_PAINT && graphic && MenuComponent && MenuComponent->Active()) {
    m.Result = 1;
  } else {
    try {
      SavedWindowProc(m);
    } catch (...) {
      // The styled control's own handlers do not reach the application's exception box.
    }
  }
  if (released_) return;  // unhooked while its own procedure ran
  if (!MenuComponent || !MenuComponent->Active()) {
    m.Result = 1;
    Unhook();
    return;
  }
  LastMessage = m.Msg;
  auto paint = [this] { PaintControl(); };
  auto repaintGraphic = [&] {
    if (graphic) control->Repaint();
  };
  switch (m.Msg) {
    case WM_DESTROY:
      if (!Recreating) {
        // The window goes for good; the control object may live on without styling.
        Restore(false);
        Release();
      }
      return;
    case WM_SETFOCUS: Highlighted = true; break;
    case WM_KILLFOCUS: Highlighted = false; break;
    case WM_PAINT:
      Recreating = false;
      if (graphic && m.WParam) {
        PaintDC = reinterpret_cast<HDC>(m.WParam);
        paint();
        PaintDC = nullptr;
        return;
      }
      break;
    case EM_GETMODIFY:
    case CM_CTL3DCHANGED:
    case CM_PARENTCTL3DCHANGED:
    case CM_INVALIDATE: Recreating = true; return;
    case BM_GETCHECK:
    case BM_SETCHECK: Highlighted = false; break;
    case BM_SETSTATE:
    case CM_FOCUSCHANGED:
    case CM_PARENTCOLORCHANGED:
    case CM_ENABLEDCHANGED:
    case CM_TEXTCHANGED: break;
    case WM_KEYDOWN:
      if (m.WParam != VK_SPACE) return;
      SpaceDown = true;
      if (!SpaceRepeat) paint();
      SpaceRepeat = true;
      return;
    case WM_KEYUP:
      if (m.WParam != VK_SPACE) return;
      SpaceDown = false;
      SpaceRepeat = false;
      break;
    case WM_LBUTTONDOWN: MouseDown = true; break;
    case WM_LBUTTONUP:
      MouseDown = false;
      repaintGraphic();
      break;
    case WM_LBUTTONDBLCLK:
      // A double click is a second press for buttons and check boxes; it passes here again.
      if (Is<TButton>(control) || Is<TSpeedButton>(control) || Is<TCheckBox>(control))
        control->Perform(WM_LBUTTONDOWN, m.WParam, m.LParam);
      return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      if (!control->Enabled()) return;
      Highlighted = m.Msg == CM_MOUSEENTER;
      repaintGraphic();
      break;
    case CM_EXIT: Highlighted = false; break;
    default: return;
  }
  if (!released_) paint();
}

void TControlSubClass::PaintControl() {
  TControl* c = Control;
  if (!c || !MenuComponent) return;
  auto* windowed = dynamic_cast<TWinControl*>(c);
  // Nothing is painted before there is a window to paint on (painting would make one).
  TWinControl* surface = windowed ? windowed : c->Parent();
  if (!surface || !surface->HandleAllocated()) return;
  HasFocus = windowed && windowed->Focused();
  try {
    if (Is<TCustomCombo>(c)) PaintComboBox(*this);
    if (Is<TCustomRichEdit>(c))
      PaintRichEdit(*this);
    else if (Is<TCustomEdit>(c))
      PaintEdit(*this);
    if (Is<TCustomCheckBox>(c)) PaintCheckBox(*this);
    if (Is<TRadioButton>(c)) PaintRadioButton(*this);
    if (Is<TBitBtn>(c))
      PaintBitButton(*this);
    else if (Is<TButton>(c))
      PaintPushButton(*this);
    if (Is<TSpeedButton>(c)) PaintSpeedButton(*this);
    if (Is<TCustomPanel>(c)) PaintPanel(*this);
    if (Is<TCustomGroupBox>(c)) PaintGroupBox(*this);
  } catch (...) {
    // A control that cannot be drawn on now (no parent, no device) keeps its own look.
  }
}

void TControlSubClass::Restore(bool frame) {
  TControl* c = Control;
  if (!c) return;
  try {
    if (c->WindowProc() == TWndMethod::Of<&TControlSubClass::ControlWindowProc>(this))
      c->SetWindowProc(SavedWindowProc);
    c->SetSilentExceptions(savedSilent_);
    if (!frame) return;
    if (auto* edit = dynamic_cast<TCustomEdit*>(c)) edit->SetCtl3D(SavedCtl3D);
    if (auto* rich = dynamic_cast<TCustomRichEdit*>(c)) rich->SetBorderStyle(SavedBorderStyle);
  } catch (...) {}
}

void TControlSubClass::Release() {
  if (released_) return;
  released_ = true;
  Control = nullptr;
  if (MenuComponent) MenuComponent->Forget(this);
  MenuComponent = nullptr;
  if (depth_ == 0) delete this;
}

void TControlSubClass::Unhook() {
  if (released_) return;
  Restore(true);
  Release();
}

void TControlSubClass::Abandon() { Release(); }
