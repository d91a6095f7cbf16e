// The XP-style component: properties, activation and the walk that styles a window's controls.
#include "xpstyle/xp_style.h"

#include <algorithm>

#include "base/exception.h"
#include "xpstyle/control_subclass.h"
#include "xpstyle/xp_colors.h"

namespace {

template <class T>
bool Is(const TObject* x) {
  return dynamic_cast<const T*>(x) != nullptr;
}

bool NameIs(const TObject* x, const char* name) { return std::string(x->ClassName()) == name; }

// The colour the device of dc shows for rgb.
ColorValue NearestOn(HDC dc, ColorValue rgb) {
  const COLORREF shown = GetNearestColor(dc, rgb);
  return shown == CLR_INVALID ? rgb : static_cast<ColorValue>(shown);
}

// The kinds of control the walk styles; is-a tests take descendants, name tests do not.
bool IsStyledKind(const TControl* x, TXPControls set) {
  auto has = [set](TXPControl member) { return (set & XPBit(member)) != 0; };
  return (Is<TCustomCombo>(x) && has(xcCombo)) || (Is<TCustomLabeledEdit>(x) && has(xcEdit)) ||
         (Is<TEdit>(x) && has(xcEdit)) || (NameIs(x, "TMaskEdit") && has(xcMaskEdit)) ||
         (NameIs(x, "TDBEdit") && has(xcMaskEdit)) || (Is<TCustomMemo>(x) && has(xcMemo)) ||
         (Is<TCustomRichEdit>(x) && has(xcRichEdit)) || (Is<TCustomCheckBox>(x) && has(xcCheckBox)) ||
         (Is<TRadioButton>(x) && has(xcRadioButton)) || (NameIs(x, "TBitBtn") && has(xcBitBtn)) ||
         (NameIs(x, "TButton") && has(xcButton)) || (Is<TSpeedButton>(x) && has(xcSpeedButton)) ||
         (Is<TCustomPanel>(x) && has(xcPanel)) || (Is<TCustomGroupBox>(x) && has(xcGroupBox));
}

// The parents whose children are styled, tested in this order (the first match decides).
bool IsStyledParent(const TWinControl* p, TXPContainers set) {
  auto has = [set](TXPContainer member) { return (set & XPBit(member)) != 0; };
  if (Is<TToolBar>(p)) return has(xccToolbar);
  if (Is<TCoolBar>(p)) return has(xccCoolbar);
  if (Is<TCustomPanel>(p)) return has(xccPanel);
  if (Is<TControlBar>(p)) return has(xccControlbar);
  if (Is<TScrollBox>(p)) return has(xccScrollBox);
  if (Is<TCustomGroupBox>(p)) return has(xccGroupBox);
  if (Is<TTabSheet>(p)) return has(xccTabSheet);
  if (Is<TPageScroller>(p)) return has(xccPageScroller);
  if (Is<TCustomFrame>(p)) return has(xccFrame);
  if (NameIs(p, "TDBCtrlPanel")) return has(xccFrame);
  if (Is<TCustomForm>(p)) return has(xccForm);
  return false;
}

}  // namespace

TXPStyle::TXPStyle(TComponent* AOwner) : TComponent(AOwner) {
  LoadMenuFont(&font_);
  if (AOwner) {
    ownerWindow_ = dynamic_cast<TScrollingWinControl*>(AOwner);
    if (!ownerWindow_) throw Exception("Invalid class typecast");
  }
  useSystemColors_ = true;
  color_ = iconBackColor_ = menuBarColor_ = separatorColor_ = clBtnFace;
  selectColor_ = selectBorderColor_ = checkedColor_ = clHighlight;
  disabledColor_ = clInactiveCaption;
  selectFontColor_ = font_.Color();
  SetXPContainers(kAllXPContainers);
  SetXPControls(kAllXPControls);
}

TXPStyle::~TXPStyle() {
  if (ownerWindow_) HookComponents(ownerWindow_, false, false);
  // Controls that live on keep working: each gets its own procedure back now.
  while (!subclasses_.empty()) subclasses_.back()->Unhook();
}

void TXPStyle::LoadMenuFont(TFont* font) {
  // The structure as the platform's first version of the call defines it.
  struct {
    UINT cbSize;
    int iBorderWidth, iScrollWidth, iScrollHeight, iCaptionWidth, iCaptionHeight;
    LOGFONTA lfCaptionFont;
    int iSmCaptionWidth, iSmCaptionHeight;
    LOGFONTA lfSmCaptionFont;
    int iMenuWidth, iMenuHeight;
    LOGFONTA lfMenuFont, lfStatusFont, lfMessageFont;
  } metrics{};
  static_assert(sizeof(metrics) == 340, "the ANSI non-client metrics without the padded border");
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return;
  HFONT menuFont = CreateFontIndirectA(&metrics.lfMenuFont);
  if (!menuFont) return;
  font->SetHandle(menuFont);
  font->SetColor(clMenuText);
}

void TXPStyle::SetActive(bool value) {
  if (value == active_) return;
  if (value && !ownerWindow_) return;  // nothing to style without a window
  active_ = value;
  HookComponents(ownerWindow_, value, true);
  RedrawMenuBar();
}

void TXPStyle::RedrawMenuBar() {
  // Only a window with a menu bar has one to redraw (the platform would redraw the whole frame).
  if (ownerWindow_ && ownerWindow_->HandleAllocated() && GetMenu(ownerWindow_->Handle()))
    DrawMenuBar(ownerWindow_->Handle());
}

void TXPStyle::SetFont(const TFont& font) {
  font_.Assign(font);
  RedrawMenuBar();
}

void TXPStyle::SetMenuBarColor(TColor c) {
  menuBarColor_ = c;
  RedrawMenuBar();
}

void TXPStyle::SetUseSystemColors(bool on) {
  useSystemColors_ = on;
  RedrawMenuBar();
}

void TXPStyle::Rehook() {
  if (!active_) return;
  HookComponents(ownerWindow_, true, true);
  RedrawMenuBar();
}

void TXPStyle::SetOverrideOwnerDraw(bool on) {
  overrideOwnerDraw_ = on;
  Rehook();
}

// A changed set while active: everything unhooked under the old set, hooked under the new one.
void TXPStyle::ChangeSet(std::uint16_t& field, std::uint16_t set) {
  if (set != field && active_) {
    active_ = false;
    HookComponents(ownerWindow_, false, true);
    active_ = true;
    field = set;
    HookComponents(ownerWindow_, true, true);
  }
  field = set;
}

void TXPStyle::SetXPContainers(TXPContainers set) { ChangeSet(xpContainers_, set); }
void TXPStyle::SetXPControls(TXPControls set) { ChangeSet(xpControls_, set); }

void TXPStyle::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opInsert) {
    if (active_ && autoDetect_ &&
        (Is<TMenuItem>(AComponent) || Is<TToolButton>(AComponent) || Is<TControlBar>(AComponent)))
      Rehook();
    return;
  }
  // A styled control that goes frees its subclass with it, whatever state the subclass is in.
  for (size_t i = subclasses_.size(); i-- > 0;) {
    if (i >= subclasses_.size() || subclasses_[i]->Control != AComponent) continue;
    if (AComponent->ComponentState() & csDestroying)
      subclasses_[i]->Abandon();
    else
      subclasses_[i]->Unhook();
  }
}

void TXPStyle::Forget(TControlSubClass* subclass) {
  subclasses_.erase(std::remove(subclasses_.begin(), subclasses_.end(), subclass), subclasses_.end());
}

void TXPStyle::HookComponents(TComponent* window, bool hook, bool repaint) {
  if (!window) return;
  const int count = window->ComponentCount();
  for (int i = 0; i < count && i < window->ComponentCount(); ++i) {
    TComponent* x = window->Components(i);
    if (auto* menu = dynamic_cast<TMainMenu*>(x); menu && (xpControls_ & XPBit(xcMainMenu)) && x->Tag() != kXPOptOutTag)
      HookMenu(menu, hook);
    if (auto* menu = dynamic_cast<TPopupMenu*>(x); menu && (xpControls_ & XPBit(xcPopupMenu))) HookMenu(menu, hook);
    if (auto* bar = dynamic_cast<TToolBar*>(x); bar && (xpControls_ & XPBit(xcToolbar)))
      HookToolBar(bar, hook, repaint);
    if (auto* bar = dynamic_cast<TControlBar*>(x); bar && (xpControls_ & XPBit(xcControlbar)))
      HookControlBar(bar, hook, repaint);
    if (auto* control = dynamic_cast<TControl*>(x)) HookControl(control, hook, repaint);
    if (Is<TCustomFrame>(x) && (xpContainers_ & XPBit(xccFrame))) HookComponents(x, hook, repaint);
  }
}

void TXPStyle::HookMenu(TMenu* menu, bool hook) {
  const int count = menu->Items()->Count();  // a menu without items keeps its drawing as it is
  for (int i = 0; i < count && i < menu->Items()->Count(); ++i) {
    menu->SetOwnerDraw(hook);
    TMenuItem* item = menu->Items()->Items(i);
    HookMenuItem(item, hook);
    HookMenuTree(item, hook);
  }
}

void TXPStyle::HookMenuItem(TMenuItem* item, bool hook) {
  if (!hook) {
    if (item->OnDrawItem == DrawItemHandlerEvent()) item->OnDrawItem = nullptr;
    if (item->OnMeasureItem == MeasureMenuItemEvent()) item->OnMeasureItem = nullptr;
    return;
  }
  if (item->Tag() == kXPOptOutTag) return;
  if (!item->OnDrawItem || overrideOwnerDraw_) item->OnDrawItem = DrawItemHandlerEvent();
  if (!item->OnMeasureItem || overrideOwnerDraw_) item->OnMeasureItem = MeasureMenuItemEvent();
}

void TXPStyle::HookMenuTree(TMenuItem* item, bool hook) {
  HookMenuItem(item, hook);
  for (int i = 0; i < item->Count(); ++i) HookMenuTree(item->Items(i), hook);
}

void TXPStyle::RehookMenuItem(TMenuItem* item) {
  if (item->Tag() == kXPOptOutTag || item->OnDrawItem == DrawItemHandlerEvent()) return;
  HookMenuItem(item, true);
}

// Items added to a hooked menu get their handlers as soon as a neighbour is drawn.
void TXPStyle::RehookMenuFamily(TMenuItem* item) {
  RehookMenuItem(item);
  TMenuItem* parent = item->Parent();
  if (!parent) return;
  for (int i = 0; i < parent->Count(); ++i) {
    TMenuItem* sibling = parent->Items(i);
    RehookMenuItem(sibling);
    for (int j = 0; j < sibling->Count(); ++j) RehookMenuFamily(sibling->Items(j));
  }
}

void TXPStyle::HookToolBar(TToolBar* bar, bool hook, bool repaint) {
  if (!bar->Flat()) bar->SetFlat(true);  // unhooking leaves it flat
  if (hook) {
    if (bar->ButtonCount() > 0 && (!bar->OnCustomDrawButton || overrideOwnerDraw_))
      bar->OnCustomDrawButton = DrawToolButtonEvent();
  } else if (bar->OnCustomDrawButton == DrawToolButtonEvent()) {
    bar->OnCustomDrawButton = nullptr;
  }
  if (repaint) bar->Invalidate();
}

void TXPStyle::HookControlBar(TControlBar* bar, bool hook, bool repaint) {
  if (hook) {
    if (!bar->OnBandPaint || overrideOwnerDraw_) bar->OnBandPaint = PaintControlBandEvent();
  } else if (bar->OnBandPaint == PaintControlBandEvent()) {
    bar->OnBandPaint = nullptr;
  }
  if (repaint) bar->Invalidate();
}

void TXPStyle::HookControl(TControl* x, bool hook, bool repaint) {
  if (!IsStyledKind(x, xpControls_)) return;
  TWinControl* parent = x->Parent();
  if (!parent || !IsStyledParent(parent, xpContainers_)) return;
  if (hook && x->Tag() != kXPOptOutTag && parent->Tag() != kXPOptOutTag &&
      x->WindowProc().code() != TControlSubClass::WindowProcCode()) {
    new TControlSubClass(x, this);
    // Told when the control goes, so that its subclass never outlives it.
    x->FreeNotification(this);
  }
  if (!repaint) return;
  if (dynamic_cast<TWinControl*>(x)) {
    x->Invalidate();  // through the window procedure: an inactive subclass restores itself here
    return;
  }
  // A windowless control has no message of its own coming; one is sent so that an inactive
  // subclass steps aside before the control paints again.
  if (!hook) x->Perform(CM_INVALIDATE);
  x->Invalidate();
  x->Update();
}

// ---- colours

void TXPStyle::PrepareMenuColors(TCanvas* canvas) {
  HDC dc = canvas->Handle();
  XPColorSettings s{};
  s.Color = ColorToRGB(color_);
  s.IconBackColor = ColorToRGB(iconBackColor_);
  s.MenuBarColor = ColorToRGB(menuBarColor_);
  s.CheckedColor = ColorToRGB(checkedColor_);
  s.SeparatorColor = ColorToRGB(separatorColor_);
  s.SelectColor = ColorToRGB(selectColor_);
  s.SelectBorderColor = ColorToRGB(selectBorderColor_);
  s.SelectFontColor = ColorToRGB(selectFontColor_);
  s.DisabledColor = ColorToRGB(disabledColor_);
  s.UseSystemColors = useSystemColors_;
  if (useSystemColors_) {
    LoadMenuFont(&font_);
    s.MenuFontColor = ColorToRGB(font_.Color());
  }
  const XPSystemColors sys{ColorToRGB(clBtnFace), ColorToRGB(clBtnShadow), ColorToRGB(clHighlight)};
  const XPWorkingColors w =
      ComputeWorkingColors(s, sys, GetDeviceCaps(dc, BITSPIXEL), [dc](ColorValue c) { return NearestOn(dc, c); });
  auto color = [](ColorValue c) { return static_cast<TColor>(c); };
  PaintColor = color(w.PaintColor);
  PaintIconBackColor = color(w.PaintIconBackColor);
  PaintSelectColor = color(w.PaintSelectColor);
  PaintSelectBorderColor = color(w.PaintSelectBorderColor);
  PaintSelectFontColor = color(w.PaintSelectFontColor);
  PaintCheckAreaColor = color(w.PaintCheckAreaColor);
  PaintCheckAreaSelectColor = color(w.PaintCheckAreaSelectColor);
  PaintCheckedColor = color(w.PaintCheckedColor);
  PaintMenuBarColor = color(w.PaintMenuBarColor);
  PaintDisabledColor = color(w.PaintDisabledColor);
  PaintSeparatorColor = color(w.PaintSeparatorColor);
  PaintBorderColor = color(w.PaintBorderColor);
  PaintShadowColor = color(w.PaintShadowColor);
  HighColor = w.HighColor;
}

void TXPStyle::PaintGradient(TCanvas* canvas, RECT R, bool rightToLeft) {
  for (const GradientStrip& strip : GradientStrips(R.left, R.right, iconWidth_, rightToLeft)) {
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(LightenColor(canvas, PaintIconBackColor, strip.Step));
    canvas->FillRect(RECT{strip.Column, R.top, strip.Column + 1, R.bottom});
  }
}

TColor LightenColor(TCanvas* canvas, TColor color, int percent) {
  const COLORREF rgb = LightenRGB(ColorToRGB(color), percent);
  return static_cast<TColor>(NearestOn(canvas->Handle(), rgb));
}

TColor DarkenColor(TCanvas*, TColor color, int amount) {
  return static_cast<TColor>(DarkenRGB(ColorToRGB(color), amount));
}

TColor GreyColor(TCanvas*, TColor color, int offset) { return static_cast<TColor>(GreyRGB(ColorToRGB(color), offset)); }

void GrayBitmap(TBitmap* bitmap, int offset) {
  if (bitmap->Empty()) return;
  GdiFlush();  // the pixels are read straight from the bitmap's memory
  GrayPixels(bitmap->Bits(), bitmap->Width() * bitmap->Height(), offset);
}

void DimBitmap(TBitmap* bitmap, int percent) {
  if (bitmap->Empty()) return;
  HDC dc = bitmap->Canvas()->Handle();
  GdiFlush();
  DimPixels(bitmap->Bits(), bitmap->Width() * bitmap->Height(), percent,
            [dc](ColorValue c) { return NearestOn(dc, c); });
}

void DrawBitmapShadow(TBitmap* bitmap, TCanvas* canvas, int x, int y, TColor color) {
  if (bitmap->Empty()) return;
  GdiFlush();
  const int w = bitmap->Width(), h = bitmap->Height();
  const std::vector<bool> mask = ShadowMask(bitmap->Bits(), w, h);
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i)
      if (mask[static_cast<size_t>(j) * static_cast<size_t>(w) + static_cast<size_t>(i)])
        canvas->SetPixel(x + i, y + j, color);
}
