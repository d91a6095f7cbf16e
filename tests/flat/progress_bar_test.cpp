// The flat progress bar painted in a real window and read back from the screen.
#include <gtest/gtest.h>

#include <memory>

#include "flat/flat_progress_bar.h"
#include "flat/flat_utils.h"
#include "tests/flat/screen.h"

namespace {

class FlatProgressBarTest : public FormTest {
protected:
  FlatProgressBarTest() : FormTest(clBtnFace) {}

  // A bar in its mode before it is first painted (a block bar snaps its length when painted).
  TFlatProgressBar* NewBar(int left, int top, int width, int height, bool smooth = false,
                           TProgressBarOrientation orientation = pbHorizontal) {
    auto* bar = new TFlatProgressBar(form);
    bar->SetSmooth(smooth);
    bar->SetOrientation(orientation);
    bar->SetParent(form);
    bar->SetBounds(left, top, width, height);
    Pump();
    return bar;
  }

  // Colours along the bar's middle line, from its own left (or bottom) edge.
  std::vector<COLORREF> Line(TFlatProgressBar* bar) {
    Snapshot shot(form->Handle());
    std::vector<COLORREF> line;
    if (bar->Orientation() == pbHorizontal)
      for (int x = 0; x < bar->Width(); ++x) line.push_back(shot.At(bar->Left() + x, bar->Top() + bar->Height() / 2));
    else
      for (int y = bar->Height() - 1; y >= 0; --y)
        line.push_back(shot.At(bar->Left() + bar->Width() / 2, bar->Top() + y));
    return line;
  }

  // Start offsets of the runs of element colour along the line.
  std::vector<int> Blocks(TFlatProgressBar* bar) {
    const std::vector<COLORREF> line = Line(bar);
    const COLORREF element = Rgb(bar->ColorElement());
    std::vector<int> starts;
    for (size_t i = 0; i < line.size(); ++i)
      if (line[i] == element && (i == 0 || line[i - 1] != element)) starts.push_back(static_cast<int>(i));
    return starts;
  }

  static std::vector<int> Pitches(int first, int count, int step) {
    std::vector<int> v;
    for (int i = 0; i < count; ++i) v.push_back(first + i * step);
    return v;
  }
};

TEST_F(FlatProgressBarTest, NewBarHasItsDefaultsAndTakesTheParentColour) {
  auto* bar = new TFlatProgressBar(form);
  EXPECT_EQ(bar->Width(), 147);
  EXPECT_EQ(bar->Height(), 16);
  EXPECT_EQ(bar->Min(), 0);
  EXPECT_EQ(bar->Max(), 100);
  EXPECT_EQ(bar->Position(), 0);
  EXPECT_EQ(bar->Step(), 10);
  EXPECT_TRUE(bar->ParentColor());
  bar->SetParent(form);
  EXPECT_EQ(bar->Color(), form->Color());
}

TEST_F(FlatProgressBarTest, BlockCountsAndPositionsFollowThePosition) {
  TFlatProgressBar* bar = NewBar(10, 10, 255, 16);
  const COLORREF background = Rgb(form->Color());
  const COLORREF border = Rgb(bar->ColorBorder());
  bar->SetPosition(50);
  Pump();
  EXPECT_EQ(Blocks(bar), Pitches(2, 14, 9));
  Snapshot shot(form->Handle());
  EXPECT_EQ(shot.At(10, 10), border);
  EXPECT_EQ(shot.At(10 + 254, 10 + 15), border);
  EXPECT_EQ(shot.At(10 + 1, 10 + 8), background);   // inside the frame, before the first block
  EXPECT_EQ(shot.At(10 + 10, 10 + 8), background);  // gap after the first block
  EXPECT_EQ(shot.At(10 + 5, 10 + 1), background);   // above the blocks
  EXPECT_EQ(shot.At(10 + 5, 10 + 2), Rgb(bar->ColorElement()));
  bar->SetPosition(3);  // below one block's share
  Pump();
  EXPECT_TRUE(Blocks(bar).empty());
  bar->SetPosition(100);
  Pump();
  EXPECT_EQ(Blocks(bar), Pitches(2, 28, 9));
}

TEST_F(FlatProgressBarTest, GrowingPaintsAtOnceShrinkingWaitsForTheRepaint) {
  TFlatProgressBar* bar = NewBar(10, 10, 255, 16);
  bar->SetPosition(50);
  EXPECT_EQ(Blocks(bar).size(), 14u);  // no message processed in between
  bar->SetPosition(20);
  EXPECT_EQ(Blocks(bar).size(), 14u);  // only invalidated so far
  Pump();
  EXPECT_EQ(Blocks(bar).size(), 5u);  // 20 / (100 / 28) = 5.6
}

TEST_F(FlatProgressBarTest, PositionIsClampedToTheRangeWithMinWinning) {
  TFlatProgressBar* bar = NewBar(10, 10, 255, 16);
  bar->SetPosition(150);
  EXPECT_EQ(bar->Position(), 100);
  bar->SetPosition(-5);
  EXPECT_EQ(bar->Position(), 0);
  bar->SetPosition(70);
  bar->SetMax(40);
  EXPECT_EQ(bar->Position(), 40);
  Pump();
  EXPECT_EQ(Blocks(bar).size(), 28u);  // 40 of 40: every block
  bar->SetMin(60);                     // above Max: Min wins from now on
  EXPECT_EQ(bar->Position(), 40);      // not clamped by raising Min
  bar->SetPosition(10);
  EXPECT_EQ(bar->Position(), 60);
}

TEST_F(FlatProgressBarTest, BlockBarSnapsToWholeBlocksWhenPainted) {
  TFlatProgressBar* wide = NewBar(10, 10, 297, 16);
  TFlatProgressBar* narrow = NewBar(10, 40, 10, 16);
  Pump();
  EXPECT_EQ(wide->Width(), 291);
  EXPECT_EQ(narrow->Width(), 12);
  narrow->SetPosition(100);
  Pump();
  EXPECT_EQ(Blocks(narrow), std::vector<int>{2});
  // The snapped bar keeps the one-pixel gap before the frame at its far end too.
  wide->SetPosition(100);
  Pump();
  const std::vector<COLORREF> line = Line(wide);
  EXPECT_EQ(line[288], Rgb(wide->ColorElement()));
  EXPECT_EQ(line[289], Rgb(form->Color()));
  EXPECT_EQ(line[290], Rgb(wide->ColorBorder()));
}

TEST_F(FlatProgressBarTest, SmoothBarFillsUpToTheTruncatedShare) {
  TFlatProgressBar* bar = NewBar(10, 10, 297, 16, true);
  bar->SetPosition(50);
  Pump();
  EXPECT_EQ(bar->Width(), 297);  // smooth bars keep their width
  const std::vector<COLORREF> line = Line(bar);
  EXPECT_EQ(line[1], Rgb(form->Color()));
  EXPECT_EQ(line[2], Rgb(bar->ColorElement()));
  EXPECT_EQ(line[147], Rgb(bar->ColorElement()));
  EXPECT_EQ(line[148], Rgb(form->Color()));
}

TEST_F(FlatProgressBarTest, TurningAPlacedBarSwapsItsSidesButNotWhileLoading) {
  TFlatProgressBar* bar = NewBar(10, 10, 147, 16, true);
  bar->SetOrientation(pbVertical);
  EXPECT_EQ(bar->Width(), 16);
  EXPECT_EQ(bar->Height(), 147);
  form->BeginLoading();
  bar->SetOrientation(pbHorizontal);  // a layout brings its own size
  form->EndLoading();
  EXPECT_EQ(bar->Width(), 16);
  EXPECT_EQ(bar->Height(), 147);
}

TEST_F(FlatProgressBarTest, VerticalBarsGrowFromTheBottom) {
  TFlatProgressBar* blocks = NewBar(10, 10, 16, 255, false, pbVertical);
  TFlatProgressBar* smooth = NewBar(40, 10, 16, 297, true, pbVertical);
  blocks->SetPosition(50);
  smooth->SetPosition(50);
  Pump();
  EXPECT_EQ(blocks->Height(), 255);
  EXPECT_EQ(Blocks(blocks), Pitches(2, 14, 9));     // offsets from the bottom edge
  const std::vector<COLORREF> line = Line(smooth);  // bottom up
  EXPECT_EQ(line[1], Rgb(form->Color()));
  EXPECT_EQ(line[2], Rgb(smooth->ColorElement()));
  EXPECT_EQ(line[2 + 146 - 1], Rgb(smooth->ColorElement()));
  EXPECT_EQ(line[2 + 146], Rgb(form->Color()));
  // Vertical block bars snap their height.
  TFlatProgressBar* tall = NewBar(70, 10, 16, 297, false, pbVertical);
  EXPECT_EQ(tall->Height(), 291);
  EXPECT_EQ(tall->Width(), 16);
}

TEST_F(FlatProgressBarTest, RightToLeftBlockBarStartsAtTheRight) {
  TFlatProgressBar* bar = NewBar(10, 10, 255, 16);
  bar->SetBiDiMode(bdRightToLeft);
  bar->SetPosition(10);  // two blocks
  Pump();
  EXPECT_EQ(Blocks(bar), (std::vector<int>{255 - 10 - 9, 255 - 10}));
}

TEST_F(FlatProgressBarTest, TransparentBarLeavesTheParentBackgroundVisible) {
  TFlatProgressBar* bar = NewBar(10, 10, 255, 16);
  bar->SetColor(clHighlight);  // differs from the form
  bar->SetPosition(50);
  Pump();
  ASSERT_NE(Rgb(clHighlight), Rgb(form->Color()));
  std::vector<COLORREF> line = Line(bar);
  EXPECT_EQ(line[1], Rgb(clHighlight));
  EXPECT_EQ(line[200], Rgb(clHighlight));
  bar->SetTransparent(true);
  Pump();
  line = Line(bar);
  EXPECT_EQ(line[0], Rgb(bar->ColorBorder()));
  EXPECT_EQ(line[1], Rgb(form->Color()));
  EXPECT_EQ(line[10], Rgb(form->Color()));
  EXPECT_EQ(line[200], Rgb(form->Color()));
  EXPECT_EQ(Blocks(bar).size(), 14u);
}

TEST_F(FlatProgressBarTest, EmptyOrNegativeRangePaintsFrameAndBackgroundOnly) {
  for (bool smooth : {false, true}) {
    TFlatProgressBar* bar = NewBar(10, 10, 255, 16);
    bar->SetSmooth(smooth);
    bar->SetMax(0);  // what a download without a size gives
    bar->SetPosition(0);
    Pump();
    Snapshot shot(form->Handle());
    const RECT inside{10 + 1, 10 + 1, 10 + 254, 10 + 15};
    EXPECT_EQ(shot.Count(inside, Rgb(form->Color())), 253 * 14) << "smooth " << smooth;
    EXPECT_EQ(shot.At(10, 10), Rgb(bar->ColorBorder()));
    // Max below Min with the position under Min: the share of two negatives must not fill the bar.
    bar->SetMax(20);
    bar->SetPosition(10);
    bar->SetMin(50);
    ASSERT_EQ(bar->Position(), 10);
    Pump();
    Snapshot negative(form->Handle());
    EXPECT_EQ(negative.Count(inside, Rgb(form->Color())), 253 * 14) << "smooth " << smooth;
    delete bar;
  }
}

TEST_F(FlatProgressBarTest, AdvancedColoursDeriveTheBorderFromTheParentColour) {
  form->SetColor(static_cast<TColor>(0xE1EAEB));
  TFlatProgressBar* bar = NewBar(10, 10, 255, 16);
  bar->SetColorBorder(clBlack);
  bar->SetUseAdvColors(true);
  EXPECT_EQ(bar->ColorBorder(), static_cast<TColor>(0xADC6C9));
  form->SetColor(clBtnFace);  // the bar follows and derives again
  EXPECT_EQ(bar->Color(), clBtnFace);
  EXPECT_EQ(bar->ColorBorder(), CalcAdvColor(clBtnFace, 0, 50, true));
  Pump();
  EXPECT_EQ(Snapshot(form->Handle()).At(10, 10), Rgb(bar->ColorBorder()));
  bar->SetAdvColorBorder(0);  // 0 keeps what the border holds
  EXPECT_EQ(bar->ColorBorder(), CalcAdvColor(clBtnFace, 0, 50, true));
  // A changed system palette brings an own colour back to the parent's and derives again.
  bar->SetAdvColorBorder(30);
  bar->SetColor(clWindow);
  EXPECT_FALSE(bar->ParentColor());
  bar->Perform(CM_SYSCOLORCHANGE);
  EXPECT_TRUE(bar->ParentColor());
  EXPECT_EQ(bar->Color(), clBtnFace);
  EXPECT_EQ(bar->ColorBorder(), CalcAdvColor(clBtnFace, 0, 30, true));
}

}  // namespace
