// A panel drawn flat: a one-pixel frame in two colours (top and left, right and bottom), the
// panel's colour or its parent's own background behind it, and one line of caption. Every paint
// goes through an off-screen bitmap so that the panel never flickers.
#pragma once
#include "winui/std_controls.h"

class TFlatPanel : public TCustomPanel {
public:
  explicit TFlatPanel(TComponent* AOwner);
  const char* ClassName() const override { return "TFlatPanel"; }

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);
  TColor ColorHighLight() const { return colors_[0]; }
  void SetColorHighLight(TColor c) { SetColors(0, c); }
  TColor ColorShadow() const { return colors_[1]; }
  void SetColorShadow(TColor c) { SetColors(1, c); }

  void WndProc(TMessage& message) override;

protected:
  void Paint() override;

private:
  void SetColors(int index, TColor c);

  bool transparent_ = false;
  TColor colors_[2] = {0x8396A0, 0x8396A0};  // highlight, shadow
};
