// Where the XP-style button painters put glyph and caption, and the check and radio cells.
#include <gtest/gtest.h>

#include "xpstyle/xp_geometry.h"

namespace {

TEST(XPGeometry, GlyphAndCaptionFollowTheLayout) {
  // A 75 x 25 button, a 16 x 16 glyph, a 30 x 13 caption, spacing 4.
  const auto left = PlaceGlyphAndCaption(XPGlyphLayout::Left, 75, 25, 16, 16, 30, 13, 4, false);
  EXPECT_EQ(left.Glyph, (FlatRect{12, 4, 28, 20}));
  EXPECT_EQ(left.Text, (FlatRect{32, 0, 62, 25}));
  const auto speed = PlaceGlyphAndCaption(XPGlyphLayout::Left, 75, 25, 16, 16, 30, 13, 4, true);
  EXPECT_EQ(speed.Glyph, (FlatRect{12, 3, 28, 19}));  // one higher on a speed button
  const auto right = PlaceGlyphAndCaption(XPGlyphLayout::Right, 75, 25, 16, 16, 30, 13, 4, false);
  EXPECT_EQ(right.Glyph, (FlatRect{46, 4, 62, 20}));
  EXPECT_EQ(right.Text, (FlatRect{12, 0, 42, 25}));
  const auto top = PlaceGlyphAndCaption(XPGlyphLayout::Top, 75, 50, 16, 16, 30, 13, 4, false);
  EXPECT_EQ(top.Glyph, (FlatRect{29, 8, 45, 24}));
  EXPECT_EQ(top.Text, (FlatRect{22, 28, 52, 41}));
  const auto bottom = PlaceGlyphAndCaption(XPGlyphLayout::Bottom, 75, 50, 16, 16, 30, 13, 4, false);
  EXPECT_EQ(bottom.Glyph, (FlatRect{29, 25, 45, 41}));
  EXPECT_EQ(bottom.Text, (FlatRect{22, 8, 52, 21}));
  // No glyph: the caption still moves by the spacing, as if a glyph of width 0 were there.
  const auto empty = PlaceGlyphAndCaption(XPGlyphLayout::Left, 75, 25, 0, 0, 30, 13, 4, false);
  EXPECT_EQ(empty.Text.Left, (75 - 34) / 2 + 4);
  // A layout wider than the button starts left of it (truncation toward zero).
  EXPECT_EQ(PlaceGlyphAndCaption(XPGlyphLayout::Left, 10, 25, 16, 16, 30, 13, 4, false).Glyph.Left, -20);
}

TEST(XPGeometry, CheckSquareAndRadioCircleSitAtTheirSide) {
  const FlatRect client{0, 0, 97, 17};
  EXPECT_EQ(CheckBoxSquare(client, 17, false), (FlatRect{0, 0, 16, 17}));
  EXPECT_EQ(CheckBoxSquare(client, 17, true), (FlatRect{81, 0, 97, 17}));
  EXPECT_EQ(RadioButtonCircle(client, 17, false), (FlatRect{0, 0, 14, 16}));
  EXPECT_EQ(RadioButtonCircle(client, 17, true), (FlatRect{83, 0, 97, 16}));
  const FlatRect tall{0, 0, 97, 33};
  EXPECT_EQ(CheckBoxSquare(tall, 17, false), (FlatRect{0, 8, 16, 25}));
}

}  // namespace
