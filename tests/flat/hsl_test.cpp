// The colour arithmetic of the flat controls against known conversions and derived colours.
#include <gtest/gtest.h>

#include "flat/adv_color.h"
#include "flat/hsl_utils.h"

namespace {

ColorValue IdentityRGB(ColorValue c) { return c; }

struct HslCase {
  ColorValue rgb;
  int h, s, l;
};

TEST(HslRange, ConvertsReferenceColoursWithHueScaleEndingAt239) {
  const HslCase cases[] = {
      {0xFFFFFF, 0, 0, 240},    {0x000000, 0, 0, 0},       {0x808080, 0, 0, 120},   {0x0000FF, 0, 240, 120},
      {0x00FF00, 80, 240, 120}, {0xFF0000, 159, 240, 120}, {0xE1EAEB, 36, 48, 216},
  };
  for (const auto& c : cases) {
    int h = -1, s = -1, l = -1;
    RGBToHSLRange(c.rgb, h, s, l);
    EXPECT_EQ(h, c.h) << std::hex << c.rgb;
    EXPECT_EQ(s, c.s) << std::hex << c.rgb;
    EXPECT_EQ(l, c.l) << std::hex << c.rgb;
  }
}

TEST(HslRange, IntegerScaleDoesNotRoundTripEveryColour) {
  EXPECT_EQ(HSLRangeToRGB(36, 48, 216), 0xE0EAEBu);
  EXPECT_EQ(HSLRangeToRGB(0, 240, 120), 0x0000FFu);
  // 80 of 239 lies a hair past a third, so blue picks up 2 of 255 on the way back.
  EXPECT_EQ(HSLRangeToRGB(80, 240, 120), 0x02FF00u);
}

TEST(HslRange, ExactHalvesRoundToTheEvenNeighbour) {
  // Lightness 8 of 240 is exactly 8.5 of 255: the even neighbour is 8, rounding up would give 9.
  EXPECT_EQ(HSLRangeToRGB(0, 0, 8), 0x080808u);
  // 25.5 goes up to the even 26.
  EXPECT_EQ(HSLRangeToRGB(0, 0, 24), 0x1A1A1Au);
  // 0.5 of 255 is 127.5: up to 128.
  EXPECT_EQ(HSLToRGB(0, 0, 0.5), 0x808080u);
}

TEST(HslReal, GreyIgnoresHueAndRedWinsHueTies) {
  EXPECT_EQ(HSLToRGB(0.0, 0, 0.25), HSLToRGB(0.7, 0, 0.25));
  double h, s, l;
  RGBToHSL(0x00FFFF, h, s, l);  // yellow: red and green both at the maximum
  EXPECT_DOUBLE_EQ(h, 1.0 / 6.0);
  EXPECT_DOUBLE_EQ(s, 1.0);
  EXPECT_DOUBLE_EQ(l, 0.5);
  RGBToHSL(0xFF00FF, h, s, l);  // magenta: red and blue tie, red's formula gives a negative hue
  EXPECT_DOUBLE_EQ(h, 5.0 / 6.0);
}

struct AdvCase {
  ColorValue base;
  TAdvColors percent;
  bool darken;
  ColorValue expected;
};

TEST(CalcAdvColor, MovesLightnessWithBiasOfTenAndClampsToTheScale) {
  const AdvCase cases[] = {
      {0xE1EAEB, 10, false, 0xFAFBFC},                                   // 216 + 10 + 10 = 236
      {0xE1EAEB, 50, true, 0xADC6C9},                                    // 216 + 10 - 50 = 176
      {0x996633, 30, false, 0xC89259}, {0xFFFFFF, 10, false, 0xFFFFFF},  // stops at 240
      {0x000000, 10, false, 0x151515},                                   // 0 + 10 + 10 = 20
      {0x000000, 10, true, 0x000000},                                    // 10 - 10 = 0
      {0x000000, 100, true, 0x000000},                                   // below 0 clamps to 0
  };
  for (const auto& c : cases)
    EXPECT_EQ(CalcAdvColor(c.base, 0x123456, c.percent, c.darken, IdentityRGB), c.expected)
        << std::hex << c.base << " " << std::dec << int(c.percent) << (c.darken ? " darken" : " lighten");
}

int resolverCalls = 0;
ColorValue CountingResolver(ColorValue c) {
  ++resolverCalls;
  return c == 0x8000000F ? 0xE1EAEB : c;
}

TEST(CalcAdvColor, ZeroPercentReturnsFallbackWithoutResolving) {
  resolverCalls = 0;
  EXPECT_EQ(CalcAdvColor(0xE1EAEB, 0x123456, 0, false, CountingResolver), 0x123456u);
  EXPECT_EQ(CalcAdvColor(0x8000000F, 0xABCDEF, 0, true, CountingResolver), 0xABCDEFu);
  EXPECT_EQ(resolverCalls, 0);
}

TEST(CalcAdvColor, SystemColourIsResolvedBeforeConversion) {
  resolverCalls = 0;
  EXPECT_EQ(CalcAdvColor(0x8000000F, 0, 50, true, CountingResolver), 0xADC6C9u);
  EXPECT_EQ(resolverCalls, 1);
}

}  // namespace
