// Shapes of the flat controls, rendered into a small pixel grid the way GDI fills rectangles
// and draws poly-lines, and checked against what a reader of the bar or frame should see.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flat/flat_geometry.h"

namespace {

// A character grid: '.' untouched, otherwise the mark of the last shape drawn there.
struct Grid {
  int w, h;
  std::vector<char> px;
  Grid(int w_, int h_) : w(w_), h(h_), px(static_cast<size_t>(w_ * h_), '.') {}
  char& at(int x, int y) { return px[static_cast<size_t>(y * w + x)]; }
  void Set(int x, int y, char c) {
    if (x >= 0 && y >= 0 && x < w && y < h)
      at(x, y) = c;
  }
  void Fill(const FlatRect& r, char c) {
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x)
        Set(x, y, c);
  }
  // GDI poly-line of axis-parallel segments: each segment starts at its first point and stops
  // one short of its second.
  void Polyline(const FlatPoint* p, int n, char c) {
    for (int i = 0; i + 1 < n; ++i) {
      int x = p[i].X, y = p[i].Y;
      const int dx = (p[i + 1].X > x) - (p[i + 1].X < x), dy = (p[i + 1].Y > y) - (p[i + 1].Y < y);
      while (x != p[i + 1].X || y != p[i + 1].Y) {
        Set(x, y, c);
        x += dx;
        y += dy;
      }
    }
  }
  std::string Row(int y) const { return std::string(px.begin() + y * w, px.begin() + (y + 1) * w); }
  std::string Column(int x) const {
    std::string s;
    for (int y = 0; y < h; ++y)
      s += px[static_cast<size_t>(y * w + x)];
    return s;
  }
};

// Start positions of the runs of c along a line of pixels.
std::vector<int> RunStarts(const std::string& line, char c) {
  std::vector<int> starts;
  for (size_t i = 0; i < line.size(); ++i)
    if (line[i] == c && (i == 0 || line[i - 1] != c))
      starts.push_back(static_cast<int>(i));
  return starts;
}

Grid Render(const ProgressShape& bar) {
  Grid g(bar.Width, bar.Height);
  for (const FlatRect& r : ProgressElementRects(bar))
    g.Fill(r, '#');
  return g;
}

ProgressShape Bar(int w, int h, int pos, int min = 0, int max = 100) {
  ProgressShape b;
  b.Width = w;
  b.Height = h;
  b.Position = pos;
  b.Min = min;
  b.Max = max;
  return b;
}

TEST(ProgressSnap, BlockBarLengthIsAWholeNumberOfPitchesAndAtLeastOneBlock) {
  EXPECT_EQ(SnapProgressLength(297), 291);
  EXPECT_EQ(SnapProgressLength(255), 255);
  EXPECT_EQ(SnapProgressLength(10), 12);
  EXPECT_EQ(SnapProgressLength(12), 12);
  EXPECT_EQ(SnapProgressLength(20), 12);
  EXPECT_EQ(SnapProgressLength(21), 21);
  EXPECT_EQ(ProgressBlockTotal(Bar(291, 16, 0)), 32);
  EXPECT_EQ(ProgressBlockTotal(Bar(255, 16, 0)), 28);
  EXPECT_EQ(ProgressBlockTotal(Bar(12, 16, 0)), 1);
  // A snapped length leaves the same one-pixel gap before the frame at both ends.
  ProgressShape full = Bar(291, 16, 100);
  Grid g = Render(full);
  const std::string row = g.Row(8);
  EXPECT_EQ(row.substr(0, 2), "..");
  EXPECT_EQ(row.substr(2, 8), "########");
  EXPECT_EQ(row.substr(289), "..");
  EXPECT_EQ(row[288], '#');
}

TEST(ProgressBlocks, HalfwayBarShowsFourteenOfTwentyEightBlocksWithOnePixelGaps) {
  Grid g = Render(Bar(255, 16, 50));
  std::vector<int> expected;
  for (int i = 0; i < 14; ++i)
    expected.push_back(2 + 9 * i);
  EXPECT_EQ(RunStarts(g.Row(8), '#'), expected);
  EXPECT_EQ(g.Row(8).substr(2, 9), "########.");
  // Blocks keep one pixel inside the frame at top and bottom.
  EXPECT_EQ(g.Column(5), "..############..");
}

TEST(ProgressBlocks, ShareBelowOneBlockShowsNothing) {
  EXPECT_EQ(ProgressBlockCount(Bar(255, 16, 3)), 0);  // 3 / (100/28) = 0.84
  EXPECT_EQ(ProgressBlockCount(Bar(255, 16, 4)), 1);
  EXPECT_TRUE(ProgressElementRects(Bar(255, 16, 3)).empty());
}

TEST(ProgressBlocks, PositionAtMaxFillsEveryBlockForAnyRange) {
  for (int max = 1; max <= 2000; ++max) {
    ProgressShape b = Bar(255, 16, max, 0, max);
    ASSERT_EQ(ProgressBlockCount(b), 28) << "max " << max;
  }
  ProgressShape shifted = Bar(147 - 3, 16, 7, -50, 7);
  EXPECT_EQ(ProgressBlockCount(shifted), ProgressBlockTotal(shifted));
}

TEST(ProgressBlocks, RightToLeftStartsAtTheRightEdge) {
  ProgressShape b = Bar(255, 16, 50);
  b.RightToLeft = true;
  Grid g = Render(b);
  const std::vector<int> starts = RunStarts(g.Row(8), '#');
  ASSERT_EQ(starts.size(), 14u);
  EXPECT_EQ(starts.back(), 255 - 2 - 8);
  EXPECT_EQ(starts.front(), 255 - 2 - 8 - 13 * 9);
}

TEST(ProgressBlocks, VerticalBarGrowsUpFromTheBottom) {
  ProgressShape b = Bar(16, 255, 50);
  b.Vertical = true;
  Grid g = Render(b);
  const std::string col = g.Column(8);
  const std::vector<int> starts = RunStarts(col, '#');
  ASSERT_EQ(starts.size(), 14u);
  EXPECT_EQ(starts.back(), 255 - 2 - 8);  // lowest block sits one pixel above the frame
  EXPECT_EQ(col.substr(0, starts.front()), std::string(static_cast<size_t>(starts.front()), '.'));
  EXPECT_EQ(g.Row(250), "..############..");
}

TEST(ProgressSmooth, FillEdgeFollowsTruncatedShare) {
  EXPECT_EQ(ProgressElementRects([] {
              ProgressShape b = Bar(297, 16, 50);
              b.Smooth = true;
              return b;
            }()),
            (std::vector<FlatRect>{{2, 2, 148, 14}}));
  ProgressShape full = Bar(297, 16, 100);
  full.Smooth = true;
  EXPECT_EQ(ProgressElementRects(full).at(0).Right, 297 - 2);
  // A huge range must not overflow the product of length and share.
  ProgressShape big = Bar(297, 16, 2000000000, 0, 2100000000);
  big.Smooth = true;
  EXPECT_EQ(ProgressElementRects(big).at(0).Right, 2 + 293LL * 2000000000 / 2100000000);
}

TEST(ProgressSmooth, VerticalFillGrowsUpward) {
  ProgressShape b = Bar(16, 297, 50);
  b.Smooth = b.Vertical = true;
  EXPECT_EQ(ProgressElementRects(b), (std::vector<FlatRect>{{2, 297 - 2 - 146, 14, 295}}));
}

TEST(ProgressRange, EmptyOrNegativeRangeOrPositionAtMinDrawsNoElements) {
  for (bool smooth : {false, true}) {
    ProgressShape empty = Bar(255, 16, 0, 0, 0);
    empty.Smooth = smooth;
    EXPECT_TRUE(ProgressElementRects(empty).empty()) << smooth;
    // Max below Min with the position below Min: a full bar would be a lie.
    ProgressShape negative = Bar(255, 16, 10, 50, 10);
    negative.Smooth = smooth;
    EXPECT_TRUE(ProgressElementRects(negative).empty()) << smooth;
    // Min raised above the position leaves it there; nothing is shown.
    ProgressShape under = Bar(255, 16, 30, 40, 100);
    under.Smooth = smooth;
    EXPECT_TRUE(ProgressElementRects(under).empty()) << smooth;
  }
  // Before the first snap a bar can be shorter than one block.
  EXPECT_TRUE(ProgressElementRects(Bar(8, 16, 100)).empty());
}

Grid RenderBevel(int w, int h, FlatRect r, int rings) {
  Grid g(w, h);
  for (const BevelLine& line : BevelFrameLines(r, rings))
    g.Polyline(line.Points, 3, line.Shadow ? 'S' : 'H');
  return g;
}

TEST(BevelFrame, TopAndLeftInHighlightRightAndBottomInShadow) {
  Grid g = RenderBevel(10, 6, {0, 0, 10, 6}, 1);
  EXPECT_EQ(g.Row(0), "HHHHHHHHHS");  // the top line stops one short of the corner
  EXPECT_EQ(g.Row(5), "SSSSSSSSSS");  // the bottom line is drawn last and covers both corners
  EXPECT_EQ(g.Column(0), "HHHHHS");
  EXPECT_EQ(g.Column(9), "SSSSSS");
  EXPECT_EQ(g.Row(2), "H........S");
}

TEST(BevelFrame, EachFurtherRingIsInsetByOnePixel) {
  Grid g = RenderBevel(10, 6, {0, 0, 10, 6}, 2);
  EXPECT_EQ(g.Row(1), "HHHHHHHHSS");
  EXPECT_EQ(g.Row(4), "HSSSSSSSSS");
  EXPECT_EQ(g.Row(2), "HH......SS");
  // Offset rectangles draw at their own place.
  Grid o = RenderBevel(8, 6, {2, 1, 7, 4}, 1);
  EXPECT_EQ(o.Row(0), "........");
  EXPECT_EQ(o.Row(1), "..HHHHS.");
  EXPECT_EQ(o.Row(3), "..SSSSS.");
}

TEST(BevelFrame, OnePixelHighSeparatorShowsTheShadowColourAcrossItsWidth) {
  Grid g = RenderBevel(297, 1, {0, 0, 297, 1}, 1);
  EXPECT_EQ(g.Row(0), std::string(297, 'S'));
}

TEST(MemoCorner, SquareFillsTheGapBetweenBothScrollBarsInsideTheFrame) {
  // A 185 x 89 memo: after the outer two rings the frame rectangle is (2, 2, 183, 87); the
  // third ring is its edge, and the client area ends a scroll bar's size before it.
  for (int bar : {16, 17, 20}) {
    const FlatRect c = MemoScrollCorner({2, 2, 183, 87}, bar, bar + 1);
    EXPECT_EQ(c.Right, 185 - 3) << bar;       // touches the third ring
    EXPECT_EQ(c.Bottom, 89 - 3) << bar;
    EXPECT_EQ(c.Left, 185 - 3 - bar) << bar;  // starts where the client area ends
    EXPECT_EQ(c.Top, 89 - 3 - (bar + 1)) << bar;
  }
}

}  // namespace
