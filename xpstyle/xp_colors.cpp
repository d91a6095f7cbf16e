// Colour arithmetic of the XP-style painters. Reals are doubles rounded to the nearest integer
// with halves to even, so that 250 lightened by 10 percent (exactly 250.5) stays 250.
#include "xpstyle/xp_colors.h"

#include <algorithm>
#include <cmath>

namespace {

int Red(ColorValue c) { return static_cast<int>(c & 0xFF); }
int Green(ColorValue c) { return static_cast<int>((c >> 8) & 0xFF); }
int Blue(ColorValue c) { return static_cast<int>((c >> 16) & 0xFF); }

ColorValue Pack(int r, int g, int b) {
  auto clamp = [](int v) { return static_cast<ColorValue>(std::clamp(v, 0, 255)); };
  return clamp(r) | (clamp(g) << 8) | (clamp(b) << 16);
}

int LightenChannel(int c, int percent) {
  return c + static_cast<int>(std::nearbyint((255 - c) * static_cast<double>(percent) / 100));
}

constexpr ColorValue kWhite = 0xFFFFFF, kSilver = 0xC0C0C0;

}  // namespace

ColorValue LightenRGB(ColorValue rgb, int percent) {
  percent = std::min(percent, 100);
  return Pack(LightenChannel(Red(rgb), percent), LightenChannel(Green(rgb), percent),
              LightenChannel(Blue(rgb), percent));
}

ColorValue DarkenRGB(ColorValue rgb, int amount) {
  return Pack(Red(rgb) - amount, Green(rgb) - amount + 2, Blue(rgb) - amount);
}

ColorValue GreyRGB(ColorValue rgb, int offset) {
  const int g = std::min((Red(rgb) + Green(rgb) + Blue(rgb)) / 3 + offset, 240);
  return Pack(g, g, g);
}

XPWorkingColors ComputeWorkingColors(const XPColorSettings& s, const XPSystemColors& sys, int bitsPerPixel,
                                     const NearestColorFn& nearest) {
  auto lighten = [&](ColorValue c, int p) { return nearest(LightenRGB(c, p)); };
  XPWorkingColors w{};
  w.HighColor = bitsPerPixel >= 16;
  w.PaintColor = s.Color;
  w.PaintIconBackColor = s.IconBackColor;
  if (w.HighColor) {
    w.PaintSelectColor = lighten(s.SelectColor, 68);
    w.PaintCheckAreaColor = lighten(s.SelectColor, 80);
    w.PaintCheckAreaSelectColor = lighten(s.SelectColor, 50);
    w.PaintBorderColor = DarkenRGB(sys.BtnFace, 90);
    w.PaintShadowColor = DarkenRGB(sys.BtnFace, 76);
  } else {
    w.PaintSelectColor = s.SelectColor;
    w.PaintCheckAreaColor = kWhite;
    w.PaintCheckAreaSelectColor = kSilver;
    w.PaintBorderColor = w.PaintShadowColor = sys.BtnShadow;
  }
  w.PaintSelectBorderColor = s.SelectBorderColor;
  w.PaintSelectFontColor = s.SelectFontColor;
  w.PaintMenuBarColor = s.MenuBarColor;
  w.PaintDisabledColor = s.DisabledColor;
  w.PaintCheckedColor = s.CheckedColor;
  w.PaintSeparatorColor = s.SeparatorColor;
  if (!s.UseSystemColors) return w;
  // Border and shadow stay as the colour depth set them above.
  w.PaintSelectFontColor = s.MenuFontColor;
  w.PaintSelectBorderColor = w.PaintCheckedColor = sys.Highlight;
  w.PaintMenuBarColor = sys.BtnFace;
  if (w.HighColor) {
    w.PaintColor = lighten(sys.BtnFace, 86);
    w.PaintIconBackColor = lighten(sys.BtnFace, 16);
    w.PaintSelectColor = lighten(sys.Highlight, 68);
    w.PaintDisabledColor = lighten(sys.BtnShadow, 10);
    w.PaintSeparatorColor = lighten(sys.BtnShadow, 25);
    w.PaintCheckAreaColor = lighten(sys.Highlight, 80);
    w.PaintCheckAreaSelectColor = lighten(sys.Highlight, 50);
  } else {
    w.PaintColor = w.PaintSelectColor = w.PaintCheckAreaColor = w.PaintCheckAreaSelectColor = kWhite;
    w.PaintIconBackColor = sys.BtnFace;
    w.PaintDisabledColor = w.PaintSeparatorColor = sys.BtnShadow;
  }
  return w;
}

namespace {

// Rewrites every pixel through convert, which sees each run of equal pixels once.
template <class Convert>
void MapPixels(std::uint32_t* pixels, int count, Convert convert) {
  bool cached = false;  // the cache starts empty: the first pixel is converted too
  std::uint32_t from = 0, to = 0;
  for (int i = 0; i < count; ++i) {
    const std::uint32_t p = pixels[i] & 0xFFFFFF;
    if (!cached || p != from) {
      from = p;
      to = RGBToPixel(convert(PixelToRGB(p)));
      cached = true;
    }
    pixels[i] = to;
  }
}

}  // namespace

void GrayPixels(std::uint32_t* pixels, int count, int offset) {
  MapPixels(pixels, count, [offset](ColorValue c) { return GreyRGB(c, offset); });
}

void DimPixels(std::uint32_t* pixels, int count, int percent, const NearestColorFn& nearest) {
  percent = std::min(percent, 100);
  MapPixels(pixels, count, [&](ColorValue c) { return nearest(LightenRGB(c, percent)); });
}

std::vector<bool> ShadowMask(const std::uint32_t* pixels, int width, int height) {
  std::vector<bool> mask(static_cast<size_t>(std::max(width, 0)) * static_cast<size_t>(std::max(height, 0)), false);
  if (mask.empty()) return mask;
  const std::uint32_t key = pixels[static_cast<size_t>(height - 1) * static_cast<size_t>(width)] & 0xFFFFFF;
  for (size_t i = 0; i < mask.size(); ++i) mask[i] = (pixels[i] & 0xFFFFFF) != key;
  return mask;
}

std::vector<GradientStrip> GradientStrips(int left, int right, int iconWidth, bool rightToLeft) {
  std::vector<GradientStrip> strips;
  int step = 0;
  for (int i = 0; i <= right - left; ++i) {
    const int column = rightToLeft ? right - 1 - i : left + i;
    const bool inIconColumn = rightToLeft ? (column < right && column > right - iconWidth + 5)
                                          : (column > left && column < left + iconWidth + 5);
    step = std::min(step + (inIconColumn ? 3 : 1), 96);
    strips.push_back(GradientStrip{column, step});
  }
  return strips;
}
