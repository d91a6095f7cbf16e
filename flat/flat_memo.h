// A memo with its own flat frame: the standard border is off, three pixels of non-client area
// are reserved and painted here, and background and frame switch between an idle colour and a
// focus colour as the keyboard focus and the mouse come and go.
#pragma once
#include "flat/adv_color.h"
#include "winui/std_controls.h"

class TFlatMemo : public TCustomMemo {
public:
  explicit TFlatMemo(TComponent* AOwner);
  const char* ClassName() const override { return "TFlatMemo"; }

  TColor ColorFocused() const { return colors_[0]; }
  void SetColorFocused(TColor c) { SetColors(0, c); }
  TColor ColorBorder() const { return colors_[1]; }
  void SetColorBorder(TColor c) { SetColors(1, c); }
  TColor ColorFlat() const { return colors_[2]; }
  void SetColorFlat(TColor c) { SetColors(2, c); }
  // The memo's own flag, apart from the inherited one: ColorFlat follows the parent's colour.
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool on);
  TAdvColors AdvColorFocused() const { return advColors_[0]; }
  void SetAdvColorFocused(TAdvColors percent) { SetAdvColors(0, percent); }
  TAdvColors AdvColorBorder() const { return advColors_[1]; }
  void SetAdvColorBorder(TAdvColors percent) { SetAdvColors(1, percent); }
  bool UseAdvColors() const { return useAdvColors_; }
  void SetUseAdvColors(bool on);
  bool MouseInControl() const { return mouseInControl_; }

  // Placed from code, the memo hears about its new parent's colour at once; placed by a layout,
  // once the layout has set all its properties (Loaded).
  void SetParent(TWinControl* parent) override;
  void Loaded() override;
  void WndProc(TMessage& message) override;

protected:
  void HandleCreated() override;

private:
  void SetColors(int index, TColor c);
  void SetAdvColors(int index, TAdvColors percent);
  void UpdateAdvColors();
  void TakeParentColor();
  bool Hot();
  void RedrawBorder();

  bool useAdvColors_ = false;
  TAdvColors advColors_[2] = {10, 50};  // focused, border
  bool parentColor_ = true;
  TColor colors_[3] = {clWhite, 0x8396A0, 0xE1EAEB};  // focused, border, flat
  bool mouseInControl_ = false;
};
