// Shapes of the flat controls without a drawing surface. Painting in a real window is checked
// by the Windows tests; these cover the arithmetic over many inputs and the GDI line rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flat/flat_geometry.h"

namespace {

ProgressShape Bar(int w, int pos, int min = 0, int max = 100, bool smooth = false) {
  ProgressShape b;
  b.Width = w;
  b.Height = 16;
  b.Position = pos;
  b.Min = min;
  b.Max = max;
  b.Smooth = smooth;
  return b;
}

TEST(ProgressGeometry, BlockBarLengthIsAWholeNumberOfPitchesAndAtLeastOneBlock) {
  EXPECT_EQ(SnapProgressLength(297), 291);
  EXPECT_EQ(SnapProgressLength(255), 255);
  EXPECT_EQ(SnapProgressLength(10), 12);
  EXPECT_EQ(SnapProgressLength(20), 12);
  EXPECT_EQ(SnapProgressLength(21), 21);
  EXPECT_EQ(ProgressBlockTotal(Bar(291, 0)), 32);
  EXPECT_EQ(ProgressBlockTotal(Bar(255, 0)), 28);
  // The last block of a snapped bar ends one pixel before the frame's inner gap.
  EXPECT_EQ(ProgressElementRects(Bar(291, 100)).back(), (FlatRect{281, 2, 289, 14}));
}

TEST(ProgressGeometry, BlockCountIsTheTruncatedShareAndPositionAtMaxFillsEveryBlock) {
  EXPECT_EQ(ProgressBlockCount(Bar(255, 50)), 14);
  EXPECT_EQ(ProgressBlockCount(Bar(255, 3)), 0);  // 3 / (100/28) = 0.84
  EXPECT_EQ(ProgressBlockCount(Bar(255, 4)), 1);
  // The quotient for Max may come out a hair below the total.
  for (int max = 1; max <= 2000; ++max) ASSERT_EQ(ProgressBlockCount(Bar(255, max, 0, max)), 28) << "max " << max;
  EXPECT_EQ(ProgressBlockCount(Bar(144, 7, -50, 7)), ProgressBlockTotal(Bar(144, 0)));
}

TEST(ProgressGeometry, SmoothFillProductDoesNotOverflow) {
  EXPECT_EQ(ProgressElementRects(Bar(297, 50, 0, 100, true)), (std::vector<FlatRect>{{2, 2, 148, 14}}));
  const auto big = ProgressElementRects(Bar(297, 2000000000, 0, 2100000000, true));
  ASSERT_EQ(big.size(), 1u);
  EXPECT_EQ(big[0].Right, 2 + 293LL * 2000000000 / 2100000000);
  const auto wide = ProgressElementRects(Bar(297, 0, -2000000000, 2000000000, true));  // range over 32 bits
  ASSERT_EQ(wide.size(), 1u);
  EXPECT_EQ(wide[0].Right, 2 + 293 / 2);
}

TEST(ProgressGeometry, EmptyOrNegativeRangeOrPositionAtMinDrawsNoElements) {
  for (bool smooth : {false, true}) {
    EXPECT_TRUE(ProgressElementRects(Bar(255, 0, 0, 0, smooth)).empty()) << smooth;
    // Max below Min, position under Min: two negatives must not make a full bar.
    EXPECT_TRUE(ProgressElementRects(Bar(255, 10, 50, 20, smooth)).empty()) << smooth;
    EXPECT_TRUE(ProgressElementRects(Bar(255, 30, 40, 100, smooth)).empty()) << smooth;
  }
  // Before its first paint a block bar can be shorter than one block.
  EXPECT_TRUE(ProgressElementRects(Bar(8, 100)).empty());
}

// Bevel lines drawn into a character grid the way GDI draws a poly-line: each segment from its
// first point up to one short of its second.
std::vector<std::string> RenderBevel(int w, int h, FlatRect r, int rings) {
  std::vector<std::string> g(static_cast<size_t>(h), std::string(static_cast<size_t>(w), '.'));
  for (const BevelLine& line : BevelFrameLines(r, rings))
    for (int i = 0; i < 2; ++i) {
      FlatPoint p = line.Points[i];
      const FlatPoint q = line.Points[i + 1];
      while (p.X != q.X || p.Y != q.Y) {
        if (p.X >= 0 && p.Y >= 0 && p.X < w && p.Y < h)
          g[static_cast<size_t>(p.Y)][static_cast<size_t>(p.X)] = line.Shadow ? 'S' : 'H';
        p.X += (q.X > p.X) - (q.X < p.X);
        p.Y += (q.Y > p.Y) - (q.Y < p.Y);
      }
    }
  return g;
}

TEST(BevelFrame, HighlightTopLeftShadowBottomRightEachRingInsetByOne) {
  EXPECT_EQ(RenderBevel(10, 6, {0, 0, 10, 6}, 1), (std::vector<std::string>{
                                                      "HHHHHHHHHS",  // stops one short of the corner
                                                      "H........S", "H........S", "H........S", "H........S",
                                                      "SSSSSSSSSS",  // drawn last, covers both corners
                                                  }));
  EXPECT_EQ(RenderBevel(10, 6, {0, 0, 10, 6}, 2), (std::vector<std::string>{
                                                      "HHHHHHHHHS",
                                                      "HHHHHHHHSS",
                                                      "HH......SS",
                                                      "HH......SS",
                                                      "HSSSSSSSSS",
                                                      "SSSSSSSSSS",
                                                  }));
  EXPECT_EQ(RenderBevel(8, 5, {2, 1, 7, 4}, 1)[1], "..HHHHS.");
}

TEST(BevelFrame, OnePixelHighSeparatorShowsTheShadowColourAcrossItsWidth) {
  EXPECT_EQ(RenderBevel(297, 1, {0, 0, 297, 1}, 1)[0], std::string(297, 'S'));
}

TEST(MemoCorner, SquareSpansFromTheClientEdgeToTheThirdRingAtTheScrollBarSize) {
  // A 185 x 89 memo: the twice-shrunk frame rectangle is (2, 2, 183, 87), its edge the third ring.
  for (int bar : {16, 17, 20}) {
    EXPECT_EQ(MemoScrollCorner({2, 2, 183, 87}, bar, bar + 1),
              (FlatRect{185 - 3 - bar, 89 - 3 - (bar + 1), 185 - 3, 89 - 3}))
        << bar;
  }
}

}  // namespace
