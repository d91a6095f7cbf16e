#include "flat/flat_progress_bar.h"

#include "flat/flat_geometry.h"
#include "flat/flat_utils.h"

TFlatProgressBar::TFlatProgressBar(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetBounds(Left(), Top(), 147, 16);
  SetParentColor(true);
}

void TFlatProgressBar::SetTransparent(bool on) {
  transparent_ = on;
  Invalidate();
}

void TFlatProgressBar::SetColors(int index, TColor c) {
  colors_[index] = c;
  Invalidate();
}

void TFlatProgressBar::SetAdvColorBorder(TAdvColors percent) {
  advColorBorder_ = percent;
  UpdateAdvColors();
  Invalidate();
}

void TFlatProgressBar::SetUseAdvColors(bool on) {
  if (on == useAdvColors_) return;
  useAdvColors_ = on;
  SetParentColor(on);
  UpdateAdvColors();
  Invalidate();
}

void TFlatProgressBar::SetOrientation(TProgressBarOrientation o) {
  if (o == orientation_) return;
  orientation_ = o;
  // A layout stores the size that goes with the orientation, so only a change from code turns the bar.
  if (!(ComponentState() & csLoading)) SetBounds(Left(), Top(), Height(), Width());
  Invalidate();
}

void TFlatProgressBar::SetMin(int value) {
  if (value == min_) return;
  min_ = value;
  Invalidate();
}

void TFlatProgressBar::SetMax(int value) {
  if (value == max_) return;
  if (value < position_) position_ = value;
  max_ = value;
  Invalidate();
}

void TFlatProgressBar::SetStep(int value) {
  if (value == step_) return;
  step_ = value;
  Invalidate();
}

void TFlatProgressBar::SetSmooth(bool on) {
  if (on == smooth_) return;
  smooth_ = on;
  Invalidate();
}

void TFlatProgressBar::SetPosition(int value) {
  if (value > max_) value = max_;
  if (value < min_) value = min_;
  if (value > position_) {
    position_ = value;
    // Elements only grow here, so they are drawn over the current picture without a repaint.
    // A bar that is not on screen has nothing to draw over.
    if (Showing()) {
      TControlCanvas canvas(this);
      PaintElements(&canvas);
    }
  } else if (value < position_) {
    position_ = value;
    Invalidate();
  }
}

void TFlatProgressBar::UpdateAdvColors() {
  if (useAdvColors_) colors_[1] = CalcAdvColor(Color(), colors_[1], advColorBorder_, true);
}

void TFlatProgressBar::Loaded() {
  TGraphicControl::Loaded();
  if (Parent()) Perform(CM_PARENTCOLORCHANGED);
}

void TFlatProgressBar::SetParent(TWinControl* parent) {
  const bool moved = parent != Parent();
  TGraphicControl::SetParent(parent);
  if (moved && parent && !(ComponentState() & csLoading)) Perform(CM_PARENTCOLORCHANGED);
}

void TFlatProgressBar::WndProc(TMessage& message) {
  switch (message.Msg) {
    case CM_SYSCOLORCHANGE:
    case CM_PARENTCOLORCHANGED:
      if (message.Msg == CM_PARENTCOLORCHANGED) TGraphicControl::WndProc(message);
      if (useAdvColors_) {
        SetParentColor(true);
        UpdateAdvColors();
      }
      Invalidate();
      return;
    default: TGraphicControl::WndProc(message);
  }
}

void TFlatProgressBar::SnapToBlocks() {
  // Resizing from inside a paint makes the parent paint again; only a real change may do so.
  if (orientation_ == pbHorizontal) {
    const int w = SnapProgressLength(Width());
    if (w != Width()) SetWidth(w);
  } else {
    const int h = SnapProgressLength(Height());
    if (h != Height()) SetHeight(h);
  }
}

void TFlatProgressBar::Paint() {
  if (!smooth_) SnapToBlocks();
  TCanvas* canvas = Canvas();
  const RECT r = ClientRect();
  if (!transparent_) {
    canvas->Brush()->SetColor(Color());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(r);
  }
  canvas->Brush()->SetColor(colors_[1]);
  canvas->FrameRect(r);
  PaintElements(canvas);
}

void TFlatProgressBar::PaintElements(TCanvas* canvas) {
  ProgressShape shape;
  shape.Width = ClientWidth();
  shape.Height = ClientHeight();
  shape.Vertical = orientation_ == pbVertical;
  shape.RightToLeft = BiDiMode() == bdRightToLeft;
  shape.Smooth = smooth_;
  shape.Min = min_;
  shape.Max = max_;
  shape.Position = position_;
  const std::vector<FlatRect> rects = ProgressElementRects(shape);
  if (rects.empty()) return;
  canvas->Brush()->SetColor(colors_[0]);
  canvas->Brush()->SetStyle(bsSolid);
  for (const FlatRect& e : rects) canvas->FillRect(RECT{e.Left, e.Top, e.Right, e.Bottom});
}
