// The XP-style colour arithmetic: the three per-colour routines, the working colours of a paint
// at each colour depth, and the passes over icon pixels.
#include <gtest/gtest.h>

#include <vector>

#include "xpstyle/xp_colors.h"

namespace {

constexpr ColorValue RGB3(int r, int g, int b) {
  return static_cast<ColorValue>(r) | (static_cast<ColorValue>(g) << 8) | (static_cast<ColorValue>(b) << 16);
}

ColorValue Same(ColorValue c) { return c; }

TEST(XPColors, LightenDarkenAndGreyFollowTheirRules) {
  struct Case {
    ColorValue got, want;
  } cases[] = {
      {LightenRGB(RGB3(250, 250, 250), 10), RGB3(250, 250, 250)},  // 250.5 rounds to the even 250
      {LightenRGB(RGB3(245, 245, 245), 10), RGB3(246, 246, 246)},  // 246.0
      {LightenRGB(RGB3(0, 128, 255), 50), RGB3(128, 192, 255)},    // 127.5 -> 128, 191.5 -> 192
      {LightenRGB(RGB3(12, 34, 56), 0), RGB3(12, 34, 56)},
      {LightenRGB(RGB3(12, 34, 56), 100), RGB3(255, 255, 255)},
      {LightenRGB(RGB3(12, 34, 56), 250), RGB3(255, 255, 255)},   // capped at 100
      {DarkenRGB(RGB3(212, 208, 200), 90), RGB3(122, 120, 110)},  // green loses two less
      {DarkenRGB(RGB3(10, 10, 10), 50), RGB3(0, 0, 0)},
      {DarkenRGB(RGB3(230, 250, 230), -40), RGB3(255, 255, 255)},  // a negative amount lightens, capped
      {DarkenRGB(RGB3(100, 100, 100), -40), RGB3(140, 142, 140)},
      {GreyRGB(RGB3(255, 255, 255), 10), RGB3(240, 240, 240)},
      {GreyRGB(RGB3(0, 0, 0), 10), RGB3(10, 10, 10)},
      {GreyRGB(RGB3(10, 20, 31), 0), RGB3(20, 20, 20)},  // 61 / 3 truncates
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) EXPECT_EQ(cases[i].got, cases[i].want) << "case " << i;
}

struct Depths : testing::Test {
  XPColorSettings settings{};
  XPSystemColors sys{RGB3(212, 208, 200), RGB3(128, 128, 128), RGB3(10, 36, 106)};
  Depths() {
    settings.Color = settings.IconBackColor = settings.MenuBarColor = settings.SeparatorColor = sys.BtnFace;
    settings.SelectColor = settings.SelectBorderColor = settings.CheckedColor = RGB3(200, 0, 0);
    settings.DisabledColor = RGB3(1, 2, 3);
    settings.SelectFontColor = RGB3(4, 5, 6);
    settings.MenuFontColor = RGB3(7, 8, 9);
    settings.UseSystemColors = true;
  }
};

TEST_F(Depths, SystemColoursAtHighColourFollowTheHighlightAndFace) {
  for (int bpp : {16, 24, 32}) {
    const XPWorkingColors w = ComputeWorkingColors(settings, sys, bpp, Same);
    EXPECT_TRUE(w.HighColor) << bpp;
    EXPECT_EQ(w.PaintColor, LightenRGB(sys.BtnFace, 86));
    EXPECT_EQ(w.PaintIconBackColor, LightenRGB(sys.BtnFace, 16));
    EXPECT_EQ(w.PaintSelectColor, LightenRGB(sys.Highlight, 68));
    EXPECT_EQ(w.PaintSelectBorderColor, sys.Highlight);
    EXPECT_EQ(w.PaintCheckedColor, sys.Highlight);
    EXPECT_EQ(w.PaintCheckAreaColor, LightenRGB(sys.Highlight, 80));
    EXPECT_EQ(w.PaintCheckAreaSelectColor, LightenRGB(sys.Highlight, 50));
    EXPECT_EQ(w.PaintMenuBarColor, sys.BtnFace);
    EXPECT_EQ(w.PaintDisabledColor, LightenRGB(sys.BtnShadow, 10));
    EXPECT_EQ(w.PaintSeparatorColor, LightenRGB(sys.BtnShadow, 25));
    EXPECT_EQ(w.PaintBorderColor, RGB3(122, 120, 110));
    EXPECT_EQ(w.PaintShadowColor, DarkenRGB(sys.BtnFace, 76));
    EXPECT_EQ(w.PaintSelectFontColor, settings.MenuFontColor);
  }
  // The speed button's tint is the lighter one only above 16 bits.
  EXPECT_EQ(SpeedButtonTintPercent(16), 40);
  EXPECT_EQ(SpeedButtonTintPercent(24), 20);
}

TEST_F(Depths, BelowSixteenBitsTheMenuIsWhiteWithAFaceColumnAndTheHighlightFrame) {
  for (int bpp : {8, 15}) {
    const XPWorkingColors w = ComputeWorkingColors(settings, sys, bpp, Same);
    EXPECT_FALSE(w.HighColor);
    EXPECT_EQ(w.PaintColor, RGB3(255, 255, 255));
    EXPECT_EQ(w.PaintSelectColor, RGB3(255, 255, 255));
    EXPECT_EQ(w.PaintIconBackColor, sys.BtnFace);
    EXPECT_EQ(w.PaintSelectBorderColor, sys.Highlight);
    EXPECT_EQ(w.PaintBorderColor, sys.BtnShadow);
    EXPECT_EQ(w.PaintShadowColor, sys.BtnShadow);
    EXPECT_EQ(w.PaintDisabledColor, sys.BtnShadow);
  }
}

TEST_F(Depths, OwnColoursAreUsedWithoutSystemColoursAndLightenedColoursGoThroughTheDevice) {
  settings.UseSystemColors = false;
  // A device that shows 5 bits per channel.
  auto fiveBits = [](ColorValue c) { return c & 0xF8F8F8; };
  const XPWorkingColors w = ComputeWorkingColors(settings, sys, 32, fiveBits);
  EXPECT_EQ(w.PaintColor, settings.Color);
  EXPECT_EQ(w.PaintSelectColor, LightenRGB(settings.SelectColor, 68) & 0xF8F8F8);
  EXPECT_EQ(w.PaintCheckAreaColor, LightenRGB(settings.SelectColor, 80) & 0xF8F8F8);
  EXPECT_EQ(w.PaintDisabledColor, settings.DisabledColor);
  EXPECT_EQ(w.PaintSelectFontColor, settings.SelectFontColor);  // the font is not reloaded
  const XPWorkingColors low = ComputeWorkingColors(settings, sys, 8, fiveBits);
  EXPECT_EQ(low.PaintSelectColor, settings.SelectColor);
  EXPECT_EQ(low.PaintCheckAreaColor, RGB3(255, 255, 255));
  EXPECT_EQ(low.PaintCheckAreaSelectColor, RGB3(192, 192, 192));
}

TEST(XPPixels, GreyDimAndShadowPassesConvertEveryPixelOnce) {
  // DIB order 0x00RRGGBB; the first pixel is black and must be converted like the others.
  std::vector<std::uint32_t> px{0xFF000000, 0x00FFFFFF, 0x00000000, 0x00FF0000};
  GrayPixels(px.data(), 4, 10);
  EXPECT_EQ(px, (std::vector<std::uint32_t>{0x0A0A0A, 0xF0F0F0, 0x0A0A0A, 0x5F5F5F}));  // 255/3 + 10 = 95

  int asked = 0;
  auto counting = [&](ColorValue c) {
    ++asked;
    return c;
  };
  std::vector<std::uint32_t> dim{0x000000, 0x000000, 0x0000FF, 0x000000};
  DimPixels(dim.data(), 4, 50, counting);
  EXPECT_EQ(dim, (std::vector<std::uint32_t>{0x808080, 0x808080, 0x8080FF, 0x808080}));
  EXPECT_EQ(asked, 3);  // runs of one colour ask the device once

  // 3 x 2, key = bottom-left (row 1, column 0).
  const std::uint32_t glyph[] = {0x00FF00, 0x123456, 0xFF00FF, 0xFF00FF, 0x00FF00, 0xFF00FF};
  EXPECT_EQ(ShadowMask(glyph, 3, 2), (std::vector<bool>{true, true, false, false, true, false}));
  EXPECT_TRUE(ShadowMask(glyph, 0, 0).empty());
}

TEST(XPPixels, GradientLightensFastAcrossTheIconColumnThenSlowly) {
  const auto ltr = GradientStrips(10, 60, 24, false);
  ASSERT_EQ(ltr.size(), 51u);  // one strip more than the width
  EXPECT_EQ(ltr.front().Column, 10);
  EXPECT_EQ(ltr.front().Step, 1);  // the first column is not inside the fast zone
  EXPECT_EQ(ltr[1].Step, 4);
  EXPECT_EQ(ltr[28].Step, 1 + 28 * 3);  // column 38: the last one of the fast zone
  EXPECT_EQ(ltr[29].Step, 1 + 28 * 3 + 1);
  EXPECT_EQ(ltr.back().Column, 60);

  const auto rtl = GradientStrips(10, 60, 24, true);
  ASSERT_EQ(rtl.size(), 51u);
  EXPECT_EQ(rtl.front().Column, 59);
  EXPECT_EQ(rtl.front().Step, 3);
  EXPECT_EQ(rtl[17].Step, 18 * 3);  // column 42 is the last one above 60 - 24 + 5
  EXPECT_EQ(rtl[18].Step, 18 * 3 + 1);
  EXPECT_EQ(rtl.back().Column, 9);

  const auto wide = GradientStrips(0, 200, 200, false);
  EXPECT_EQ(wide.back().Step, 96);  // capped
  EXPECT_TRUE(GradientStrips(5, 4, 24, false).empty());
}

}  // namespace
