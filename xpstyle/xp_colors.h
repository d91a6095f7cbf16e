// The colour arithmetic of the XP-style painters, free of any device: lightening towards white,
// darkening, greying, the working colours of one paint and the three passes over icon pixels.
// A device enters only as a nearest-colour function, so the Win32 side hands in its canvas's
// GetNearestColor and the tests whatever depth they want to see.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "flat/hsl_utils.h"

// The colour a device shows for an RGB value (identity on true-colour devices).
using NearestColorFn = std::function<ColorValue(ColorValue)>;

// Each channel moves round((255 - c) * percent / 100) towards 255, halves to even; percent is
// capped at 100. The result is not yet matched to a device.
ColorValue LightenRGB(ColorValue rgb, int percent);
// Red and blue lose amount, green amount - 2, each clamped to 0..255.
ColorValue DarkenRGB(ColorValue rgb, int amount);
// A grey of the mean brightness plus offset, at most 240.
ColorValue GreyRGB(ColorValue rgb, int offset);

// The component's colour properties, already resolved to RGB.
struct XPColorSettings {
  ColorValue Color, IconBackColor, MenuBarColor, CheckedColor, SeparatorColor, SelectColor, SelectBorderColor,
      SelectFontColor, DisabledColor;
  bool UseSystemColors;
  ColorValue MenuFontColor;  // the menu font's colour after it was reloaded (system colours only)
};

// The system colours the working colours are derived from, resolved to RGB.
struct XPSystemColors {
  ColorValue BtnFace, BtnShadow, Highlight;
};

// The colours every painter works from during one paint, in the component's field order.
struct XPWorkingColors {
  ColorValue PaintColor, PaintIconBackColor, PaintSelectColor, PaintSelectBorderColor, PaintSelectFontColor,
      PaintCheckAreaColor, PaintCheckAreaSelectColor, PaintCheckedColor, PaintMenuBarColor, PaintDisabledColor,
      PaintSeparatorColor, PaintBorderColor, PaintShadowColor;
  bool HighColor;  // the device has 16 or more bits per pixel
};

XPWorkingColors ComputeWorkingColors(const XPColorSettings& settings, const XPSystemColors& system, int bitsPerPixel,
                                     const NearestColorFn& nearest);

// The tint a hot or down transparent speed button lays over its background: lighter above 16
// bits per pixel (where the working colours already count as high colour from 16 on).
inline int SpeedButtonTintPercent(int bitsPerPixel) { return bitsPerPixel > 16 ? 20 : 40; }

// Icon pixels in the 32-bit bitmap layout (0x00RRGGBB, top-down; any alpha byte is ignored and
// cleared on write). Each pass keeps a one-entry cache of the last source pixel.
void GrayPixels(std::uint32_t* pixels, int count, int offset);
void DimPixels(std::uint32_t* pixels, int count, int percent, const NearestColorFn& nearest);
// Which pixels a shadow covers: every pixel that differs from the bottom-left one (the
// transparent key). Row-major, width * height entries.
std::vector<bool> ShadowMask(const std::uint32_t* pixels, int width, int height);

// The colour steps of a gradient strip per column, in painting order from the first column
// painted: left to right from left, right to left from right - 1; width + 1 strips in all.
struct GradientStrip {
  int Column;
  int Step;  // percent towards white of the icon background
};
std::vector<GradientStrip> GradientStrips(int left, int right, int iconWidth, bool rightToLeft);

// DIB pixel and colour value orders.
inline ColorValue PixelToRGB(std::uint32_t p) { return ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16); }
inline std::uint32_t RGBToPixel(ColorValue c) { return ((c >> 16) & 0xFF) | (c & 0xFF00) | ((c & 0xFF) << 16); }
