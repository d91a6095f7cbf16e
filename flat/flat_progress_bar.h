// A windowless progress bar drawn flat: a one-pixel frame, an optional background, and either a
// row of separate blocks or one continuous bar. It paints on its parent; a growing position is
// drawn at once over the current picture, a shrinking one through a full repaint.
#pragma once
#include "flat/adv_color.h"
#include "winui/control.h"

enum TProgressBarOrientation { pbHorizontal, pbVertical };

class TFlatProgressBar : public TGraphicControl {
public:
  explicit TFlatProgressBar(TComponent* AOwner);
  const char* ClassName() const override { return "TFlatProgressBar"; }

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);
  bool Smooth() const { return smooth_; }
  void SetSmooth(bool on);
  bool UseAdvColors() const { return useAdvColors_; }
  void SetUseAdvColors(bool on);
  TAdvColors AdvColorBorder() const { return advColorBorder_; }
  void SetAdvColorBorder(TAdvColors percent);
  TProgressBarOrientation Orientation() const { return orientation_; }
  void SetOrientation(TProgressBarOrientation o);
  int ElementSize() const { return elementSize_; }
  TColor ColorElement() const { return colors_[0]; }
  void SetColorElement(TColor c) { SetColors(0, c); }
  TColor ColorBorder() const { return colors_[1]; }
  void SetColorBorder(TColor c) { SetColors(1, c); }
  int Position() const { return position_; }
  void SetPosition(int value);
  int Min() const { return min_; }
  void SetMin(int value);
  int Max() const { return max_; }
  void SetMax(int value);
  int Step() const { return step_; }
  void SetStep(int value);

  // Placed from code, the bar hears about its new parent's colour at once; placed by a layout,
  // once the layout has set all its properties (Loaded).
  void SetParent(TWinControl* parent) override;
  void Loaded() override;
  void WndProc(TMessage& message) override;

protected:
  void Paint() override;

private:
  void SetColors(int index, TColor c);
  void SnapToBlocks();
  void PaintElements(TCanvas* canvas);
  void UpdateAdvColors();

  bool transparent_ = false;
  bool smooth_ = false;
  bool useAdvColors_ = false;
  TAdvColors advColorBorder_ = 50;
  TProgressBarOrientation orientation_ = pbHorizontal;
  int elementSize_ = 8;
  TColor colors_[2] = {0x996633, 0x8396A0};  // element, border
  int position_ = 0;
  int min_ = 0;
  int max_ = 100;
  int step_ = 10;
};
