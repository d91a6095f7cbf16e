#include "flat/hsl_utils.h"

#include <cmath>

namespace {

// The larger-of and smaller-of keep the second argument on ties; with equal channels that
// makes no visible difference, but the hue test below compares against the very value chosen.
double Larger(double a, double b) { return a > b ? a : b; }
double Smaller(double a, double b) { return a < b ? a : b; }

// Ties to even in the default floating-point rounding mode; std::round would send halves up.
int RoundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

int HueToChannel(double h, double m1, double m2) {
  if (h < 0)
    h += 1;
  else if (h > 1)
    h -= 1;
  double v;
  if (6 * h < 1)
    v = m1 + (m2 - m1) * h * 6;
  else if (2 * h < 1)
    v = m2;
  else if (3 * h < 2)
    v = m1 + (m2 - m1) * (2.0 / 3.0 - h) * 6;
  else
    v = m1;
  return RoundEven(v * 255);
}

}  // namespace

void RGBToHSL(ColorValue rgb, double& H, double& S, double& L) {
  const double r = (rgb & 0xFF) / 255.0;
  const double g = ((rgb >> 8) & 0xFF) / 255.0;
  const double b = ((rgb >> 16) & 0xFF) / 255.0;
  const double max = Larger(r, Larger(g, b));
  const double min = Smaller(r, Smaller(g, b));
  L = (max + min) / 2;
  if (max == min) {
    H = 0;
    S = 0;
    return;
  }
  const double d = max - min;
  S = L < 0.5 ? d / (max + min) : d / (2 - max - min);
  if (r == max)
    H = (g - b) / d;
  else if (g == max)
    H = 2 + (b - r) / d;
  else
    H = 4 + (r - g) / d;
  H /= 6;
  if (H < 0) H += 1;
}

void RGBToHSLRange(ColorValue rgb, int& H, int& S, int& L) {
  double h, s, l;
  RGBToHSL(rgb, h, s, l);
  H = RoundEven(h * (HSLRange - 1));
  S = RoundEven(s * HSLRange);
  L = RoundEven(l * HSLRange);
}

ColorValue HSLToRGB(double H, double S, double L) {
  if (S == 0) {
    const ColorValue v = static_cast<ColorValue>(RoundEven(L * 255)) & 0xFF;
    return v | v << 8 | v << 16;
  }
  const double m2 = L <= 0.5 ? L * (1 + S) : L + S - L * S;
  const double m1 = 2 * L - m2;
  // Out-of-range inputs wrap in each byte instead of spilling into the next channel.
  const ColorValue red = static_cast<ColorValue>(HueToChannel(H + 1.0 / 3.0, m1, m2)) & 0xFF;
  const ColorValue green = static_cast<ColorValue>(HueToChannel(H, m1, m2)) & 0xFF;
  const ColorValue blue = static_cast<ColorValue>(HueToChannel(H - 1.0 / 3.0, m1, m2)) & 0xFF;
  return red + green * 256 + blue * 65536;
}

ColorValue HSLRangeToRGB(int H, int S, int L) {
  return HSLToRGB(static_cast<double>(H) / (HSLRange - 1), static_cast<double>(S) / HSLRange,
                  static_cast<double>(L) / HSLRange);
}
