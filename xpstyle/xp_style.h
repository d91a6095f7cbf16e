// The XP-style component: a non-visual component a window carries to look flat. While Active it
// replaces the window procedure of every matching standard control on the window with a
// TControlSubClass, which lets the control paint itself and then paints it flat. Its colour
// properties feed the working colours that PrepareMenuColors derives before every paint.
// Each subclass frees itself inside its own message handling; the component also keeps a
// list of them, so that freeing the component, or a control, never leaves one behind.
#pragma once
#include <cstdint>
#include <vector>

#include "winui/bars.h"
#include "winui/winui.h"

class TControlSubClass;

// Parent kinds whose children are styled, in bit order.
enum TXPContainer {
  xccForm,
  xccFrame,
  xccToolbar,
  xccCoolbar,
  xccControlbar,
  xccPanel,
  xccScrollBox,
  xccGroupBox,
  xccTabSheet,
  xccPageScroller
};
using TXPContainers = std::uint16_t;

// Kinds of menus, bars and controls that are styled, in bit order.
enum TXPControl {
  xcMainMenu,
  xcPopupMenu,
  xcToolbar,
  xcControlbar,
  xcCombo,
  xcEdit,
  xcMaskEdit,
  xcMemo,
  xcRichEdit,
  xcCheckBox,
  xcRadioButton,
  xcButton,
  xcBitBtn,
  xcSpeedButton,
  xcPanel,
  xcGroupBox
};
using TXPControls = std::uint16_t;

constexpr std::uint16_t XPBit(int member) { return static_cast<std::uint16_t>(1u << member); }
constexpr TXPContainers kAllXPContainers = 0x03FF;
constexpr TXPControls kAllXPControls = 0xFFFF;

// The Tag that keeps a control (or the children of a parent) out of the styling.
constexpr intptr_t kXPOptOutTag = 999;

class TXPStyle : public TComponent {
public:
  // The owner must be a form, frame or scroll box (or nothing); anything else is refused.
  explicit TXPStyle(TComponent* AOwner);
  ~TXPStyle() override;
  const char* ClassName() const override { return "TXPStyle"; }

  bool Active() const { return active_; }
  // Activation hooks the owner window's controls, deactivation unhooks them; an owner-less
  // component stays inactive.
  void SetActive(bool value);
  TScrollingWinControl* OwnerWindow() const { return ownerWindow_; }

  TFont* Font() { return &font_; }
  void SetFont(const TFont& font);
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }
  TColor IconBackColor() const { return iconBackColor_; }
  void SetIconBackColor(TColor c) { iconBackColor_ = c; }
  TColor MenuBarColor() const { return menuBarColor_; }
  void SetMenuBarColor(TColor c);
  TColor SelectColor() const { return selectColor_; }
  void SetSelectColor(TColor c) { selectColor_ = c; }
  TColor SelectBorderColor() const { return selectBorderColor_; }
  void SetSelectBorderColor(TColor c) { selectBorderColor_ = c; }
  TColor SelectFontColor() const { return selectFontColor_; }
  void SetSelectFontColor(TColor c) { selectFontColor_ = c; }
  TColor DisabledColor() const { return disabledColor_; }
  void SetDisabledColor(TColor c) { disabledColor_ = c; }
  TColor SeparatorColor() const { return separatorColor_; }
  void SetSeparatorColor(TColor c) { separatorColor_ = c; }
  TColor CheckedColor() const { return checkedColor_; }
  void SetCheckedColor(TColor c) { checkedColor_ = c; }
  int IconWidth() const { return iconWidth_; }
  void SetIconWidth(int w) { iconWidth_ = w; }
  bool DrawSelect() const { return drawSelect_; }
  void SetDrawSelect(bool on) { drawSelect_ = on; }
  bool UseSystemColors() const { return useSystemColors_; }
  void SetUseSystemColors(bool on);
  bool OverrideOwnerDraw() const { return overrideOwnerDraw_; }
  void SetOverrideOwnerDraw(bool on);
  bool Gradient() const { return gradient_; }
  void SetGradient(bool on) { gradient_ = on; }
  bool FlatMenu() const { return flatMenu_; }
  void SetFlatMenu(bool on) { flatMenu_ = on; }
  bool AutoDetect() const { return autoDetect_; }
  void SetAutoDetect(bool on) { autoDetect_ = on; }
  TXPContainers XPContainers() const { return xpContainers_; }
  void SetXPContainers(TXPContainers set);
  TXPControls XPControls() const { return xpControls_; }
  void SetXPControls(TXPControls set);
  std::uint8_t GrayLevel() const { return grayLevel_; }
  void SetGrayLevel(std::uint8_t v) { grayLevel_ = v; }
  std::uint8_t DimLevel() const { return dimLevel_; }
  void SetDimLevel(std::uint8_t v) { dimLevel_ = v; }

  // The walk over window's owned components that installs (hook) or removes the styling.
  void HookComponents(TComponent* window, bool hook, bool repaint);
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // The working colours for the device of canvas, recomputed before every paint.
  void PrepareMenuColors(TCanvas* canvas);
  // Fills R column by column from the icon background towards white.
  void PaintGradient(TCanvas* canvas, RECT R, bool rightToLeft);
  // The handlers the walk installs on menu items, tool bars and control bars.
  void MeasureMenuItem(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height);
  void DrawItemHandler(TObject* Sender, TCanvas* ACanvas, RECT ARect, bool Selected);
  void DrawToolButton(TToolBar* Sender, TToolButton* Button, TCustomDrawState State, bool& DefaultDraw);
  void PaintControlBand(TObject* Sender, TControl* Control, TCanvas* Canvas, RECT& ARect, TBandPaintOptions& Options);
  TMenuDrawItemEvent DrawItemHandlerEvent() { return TMenuDrawItemEvent::Of<&TXPStyle::DrawItemHandler>(this); }
  TMenuMeasureItemEvent MeasureMenuItemEvent() { return TMenuMeasureItemEvent::Of<&TXPStyle::MeasureMenuItem>(this); }
  TTBCustomDrawBtnEvent DrawToolButtonEvent() { return TTBCustomDrawBtnEvent::Of<&TXPStyle::DrawToolButton>(this); }
  TBandPaintEvent PaintControlBandEvent() { return TBandPaintEvent::Of<&TXPStyle::PaintControlBand>(this); }

  // Menu items drawn and measured in the flat style.
  void PaintMenuItem(TMenuItem* item, TCanvas* canvas, RECT R, bool selected);
  SIZE GetItemImageSize(TMenuItem* item);
  void DrawCheckMark(TMenuItem* item, bool selected, RECT M, TCanvas* canvas, bool hasGlyph, bool enabled);
  void DrawBarItem(TMenuItem* item, TCanvas* canvas, bool rightToLeft, TColor color, RECT R);
  TColor BarTextColor(TCanvas* canvas, TColor color);
  // The flat border over a popup menu's window (drawn on that window).
  void DrawFlatMenuBorder(HWND window, bool rightToLeft);
  void DrawToolButtonFrame(TToolButton* button, TCanvas* canvas, RECT r);
  static void DrawDropArrow(TCanvas* canvas, int x, int y);
  void RehookMenuItem(TMenuItem* item);
  void RehookMenuFamily(TMenuItem* item);

  // Caption and glyph of a menu item, tool button or styled button, in the menu's manner.
  void DrawItemText(TComponent* item, const std::string& text, UINT format, TFont* font, bool rightToLeft, bool barItem,
                    bool isDefault, bool enabled, bool selected, RECT Q, TCanvas* canvas, const std::string& shortcut);
  void DrawItemIcon(TComponent* item, TCanvas* canvas, TBitmap* glyph, RECT I, bool selected, bool pressed,
                    bool enabled, bool checked, bool barItem, bool rightToLeft);

  // Working colours of the current paint (field order of the component).
  TColor PaintColor = 0, PaintIconBackColor = 0, PaintSelectColor = 0, PaintSelectBorderColor = 0,
         PaintSelectFontColor = 0, PaintCheckAreaColor = 0, PaintCheckAreaSelectColor = 0, PaintCheckedColor = 0,
         PaintMenuBarColor = 0, PaintDisabledColor = 0, PaintSeparatorColor = 0, PaintBorderColor = 0,
         PaintShadowColor = 0;
  bool HighColor = false;

  // Sets font to the system's menu font (colour clMenuText); on failure font stays as it is.
  static void LoadMenuFont(TFont* font);

  // The subclasses this component made that are still in place, for tests and for teardown.
  int SubClassCount() const { return static_cast<int>(subclasses_.size()); }

private:
  friend class TControlSubClass;
  void HookControl(TControl* x, bool hook, bool repaint);
  void HookMenu(TMenu* menu, bool hook);
  void HookMenuItem(TMenuItem* item, bool hook);
  void HookMenuTree(TMenuItem* item, bool hook);
  void HookToolBar(TToolBar* bar, bool hook, bool repaint);
  void HookControlBar(TControlBar* bar, bool hook, bool repaint);
  bool IsMenuBarItem(TMenuItem* item) const;
  void Rehook();
  void ChangeSet(std::uint16_t& field, std::uint16_t set);
  void RedrawMenuBar();
  void Forget(TControlSubClass* subclass);

  bool active_ = false;
  TScrollingWinControl* ownerWindow_ = nullptr;
  TFont font_;
  TColor color_, iconBackColor_, menuBarColor_, checkedColor_, separatorColor_, selectBorderColor_, selectColor_,
      disabledColor_, selectFontColor_;
  int iconWidth_ = 24;
  bool drawSelect_ = true;
  bool useSystemColors_ = true;
  bool overrideOwnerDraw_ = false;
  bool gradient_ = false;
  bool flatMenu_ = false;
  bool autoDetect_ = false;
  TXPContainers xpContainers_ = 0;
  TXPControls xpControls_ = 0;
  std::uint8_t grayLevel_ = 10;
  std::uint8_t dimLevel_ = 30;
  std::vector<TControlSubClass*> subclasses_;  // made by this component, not yet gone
};

// The per-colour routines of the painters. Lighten matches the result to the canvas's device;
// the other two do not look at the canvas.
TColor LightenColor(TCanvas* canvas, TColor color, int percent);
TColor DarkenColor(TCanvas* canvas, TColor color, int amount);
TColor GreyColor(TCanvas* canvas, TColor color, int offset);
// Passes over a bitmap's pixels in place, and its silhouette drawn in one colour.
void GrayBitmap(TBitmap* bitmap, int offset);
void DimBitmap(TBitmap* bitmap, int percent);
void DrawBitmapShadow(TBitmap* bitmap, TCanvas* canvas, int x, int y, TColor color);
