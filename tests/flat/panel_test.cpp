// The flat panel and its drawing routines: bevel rings drawn by GDI, the one-pixel separator,
// the embossed caption of a disabled panel and the parent background of a transparent one.
#include <gtest/gtest.h>

#include "flat/flat_panel.h"
#include "flat/flat_utils.h"
#include "tests/flat/screen.h"

namespace {

class FlatPanelTest : public FormTest {
protected:
  FlatPanelTest() : FormTest(clBtnFace) {}

  TFlatPanel* NewPanel(int left, int top, int width, int height) {
    auto* panel = new TFlatPanel(form);
    panel->SetParent(form);
    panel->SetBounds(left, top, width, height);
    panel->SetColorHighLight(clBtnHighlight);
    panel->SetColorShadow(clBtnShadow);
    Pump();
    return panel;
  }
};

TEST_F(FlatPanelTest, NewPanelHasItsDefaults) {
  auto* panel = new TFlatPanel(form);
  EXPECT_EQ(panel->Width(), 185);
  EXPECT_EQ(panel->Height(), 41);
  EXPECT_EQ(panel->ColorHighLight(), static_cast<TColor>(0x8396A0));
  EXPECT_EQ(panel->ColorShadow(), static_cast<TColor>(0x8396A0));
  EXPECT_EQ(panel->Alignment(), taCenter);
  EXPECT_FALSE(panel->Transparent());
  panel->SetParent(form);
  EXPECT_EQ(panel->Color(), form->Color());
}

TEST_F(FlatPanelTest, OnePixelSeparatorShowsTheShadowColourOverItsWidth) {
  NewPanel(8, 48, 297, 1);
  Snapshot shot(form->Handle());
  EXPECT_EQ(shot.Count(RECT{8, 48, 8 + 297, 49}, Rgb(clBtnShadow)), 297);
  EXPECT_EQ(shot.At(7, 48), Rgb(clBtnFace));
  EXPECT_EQ(shot.At(8 + 297, 48), Rgb(clBtnFace));
}

TEST_F(FlatPanelTest, FrameRingIsHighlightTopLeftAndShadowBottomRight) {
  TFlatPanel* panel = NewPanel(20, 20, 60, 30);
  panel->SetColor(clWindow);
  Pump();
  Snapshot shot(panel->Handle());
  const COLORREF hi = Rgb(clBtnHighlight), sh = Rgb(clBtnShadow);
  EXPECT_EQ(shot.Count(RECT{0, 0, 59, 1}, hi), 59);  // top row up to one short of the corner
  EXPECT_EQ(shot.At(59, 0), sh);
  EXPECT_EQ(shot.Count(RECT{0, 0, 1, 29}, hi), 29);    // left column down to one short of the corner
  EXPECT_EQ(shot.Count(RECT{0, 29, 60, 30}, sh), 60);  // bottom row, both corners
  EXPECT_EQ(shot.Count(RECT{59, 0, 60, 30}, sh), 30);  // right column
  EXPECT_EQ(shot.Count(RECT{1, 1, 59, 29}, Rgb(clWindow)), 58 * 28);
}

TEST_F(FlatPanelTest, PropertyChangesRepaintThePanel) {
  TFlatPanel* panel = NewPanel(20, 20, 60, 30);
  panel->SetColorShadow(clHighlight);
  Pump();
  EXPECT_EQ(Snapshot(panel->Handle()).At(59, 29), Rgb(clHighlight));
  panel->SetColorHighLight(clWindowText);
  Pump();
  EXPECT_EQ(Snapshot(panel->Handle()).At(0, 0), Rgb(clWindowText));
  panel->SetCaption("Wg");
  Pump();
  const COLORREF text = Rgb(panel->Font()->Color());
  EXPECT_GT(Snapshot(panel->Handle()).Count(RECT{1, 1, 59, 29}, text), 0);
  panel->SetCaption("");
  Pump();
  EXPECT_EQ(Snapshot(panel->Handle()).Count(RECT{1, 1, 59, 29}, text), 0);
}

TEST_F(FlatPanelTest, CaptionFollowsTheAlignment) {
  TFlatPanel* panel = NewPanel(20, 20, 200, 30);
  panel->SetCaption("MMM");
  // Columns that hold any caption ink. The caption may cover the frame's side columns, so there
  // ink is anything but the frame's colour, elsewhere anything but the panel's.
  auto inkRange = [&] {
    Pump();
    Snapshot shot(panel->Handle());
    const COLORREF background = Rgb(panel->Color()), hi = Rgb(clBtnHighlight), sh = Rgb(clBtnShadow);
    int first = -1, last = -1;
    for (int x = 0; x < 200; ++x)
      for (int y = 1; y < 29; ++y)
        if (shot.At(x, y) != (x == 0 ? hi : x == 199 ? sh : background)) {
          if (first < 0) first = x;
          last = x;
        }
    return std::pair<int, int>(first, last);
  };
  // Where the ink sits inside the text's box depends on the side bearings of whatever font the
  // machine resolves the panel's font to; the alignment places the box. So the same ink must
  // move by exactly the box's offset from the left edge.
  TBitmap measure;
  measure.SetSize(1, 1);
  measure.Canvas()->Font()->Assign(*panel->Font());
  const int box = measure.Canvas()->TextWidth("MMM");
  ASSERT_GT(box, 6);
  ASSERT_LT(box, 150);
  panel->SetAlignment(taLeftJustify);
  const auto left = inkRange();
  panel->SetAlignment(taCenter);
  const auto centre = inkRange();
  panel->SetAlignment(taRightJustify);
  const auto right = inkRange();
  ASSERT_GE(left.first, 0);
  EXPECT_GT(left.second - left.first, box / 2);  // the caption was drawn, not a speck
  EXPECT_EQ(right.first, left.first + 200 - box);
  EXPECT_EQ(right.second, left.second + 200 - box);
  EXPECT_NEAR(centre.first, left.first + (200 - box) / 2, 1);
  EXPECT_NEAR(centre.second, left.second + (200 - box) / 2, 1);
}

TEST_F(FlatPanelTest, DisabledCaptionIsEmbossed) {
  TFlatPanel* panel = NewPanel(20, 20, 120, 40);
  panel->Font()->SetHeight(-24);
  panel->SetCaption("HIH");
  panel->SetEnabled(false);
  Pump();
  Snapshot shot(panel->Handle());
  const COLORREF hi = Rgb(clBtnHighlight), sh = Rgb(clBtnShadow);
  ASSERT_NE(hi, Rgb(panel->Color()));
  ASSERT_NE(sh, Rgb(panel->Color()));
  // The shadow copy lies on top of the highlight copy, which is one pixel right and down: where
  // the highlight shows fully, the glyph pixel it came from (up and left) shows the shadow.
  // Text edges may be smoothed, so "shows the shadow" means darker than halfway to the background.
  const int halfway = (GetGValue(sh) + GetGValue(Rgb(panel->Color()))) / 2;
  int highlights = 0, shadows = 0, misplaced = 0;
  for (int y = 2; y < 39; ++y)
    for (int x = 2; x < 119; ++x) {
      if (shot.At(x, y) == sh) ++shadows;
      if (shot.At(x, y) != hi) continue;
      ++highlights;
      misplaced += GetGValue(shot.At(x - 1, y - 1)) >= halfway;
    }
  EXPECT_GT(shadows, 20);
  EXPECT_GT(highlights, 10);
  EXPECT_EQ(misplaced, 0);
  EXPECT_EQ(shot.Count(RECT{1, 1, 119, 39}, Rgb(panel->Font()->Color())), 0);
  panel->SetEnabled(true);
  Pump();
  Snapshot enabled(panel->Handle());
  EXPECT_EQ(enabled.Count(RECT{1, 1, 119, 39}, hi), 0);
  EXPECT_GT(enabled.Count(RECT{1, 1, 119, 39}, Rgb(panel->Font()->Color())), 20);
}

TEST_F(FlatPanelTest, TransparentPanelShowsWhatTheParentPaints) {
  // The parent paints a stripe that runs under the panel.
  form->OnPaint = [this](TObject*) {
    form->Canvas()->Brush()->SetColor(clHighlight);
    form->Canvas()->FillRect(RECT{0, 30, 400, 40});
  };
  form->Invalidate();
  TFlatPanel* panel = NewPanel(20, 20, 100, 40);
  panel->SetColor(clWindow);
  Pump();
  Snapshot opaque(panel->Handle());
  EXPECT_EQ(opaque.At(50, 15), Rgb(clWindow));
  panel->SetTransparent(true);
  Pump();
  Snapshot shot(panel->Handle());
  EXPECT_EQ(shot.At(50, 5), Rgb(clBtnFace));     // parent's background above the stripe
  EXPECT_EQ(shot.At(50, 15), Rgb(clHighlight));  // the stripe at parent y 35
  EXPECT_EQ(shot.At(50, 25), Rgb(clBtnFace));
  EXPECT_EQ(shot.At(0, 0), Rgb(clBtnHighlight));  // the frame is still drawn over it
}

}  // namespace
