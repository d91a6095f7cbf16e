// Conversions between RGB colour values and hue/saturation/lightness, once as reals in 0..1
// and once as integers on the 0..HSLRange scale that the flat controls derive their colours on.
// Rounding is to the nearest integer with an exact half going to the even neighbour, so the
// integer results match the long-standing behaviour byte for byte.
#pragma once
#include <cstdint>

// A colour value: red in the lowest byte, then green, then blue; top byte 0 for RGB colours.
using ColorValue = std::uint32_t;

// Full value of the integer scale. Hue runs 0..HSLRange-1, saturation and lightness 0..HSLRange.
constexpr int HSLRange = 240;

void RGBToHSL(ColorValue rgb, double& H, double& S, double& L);
void RGBToHSLRange(ColorValue rgb, int& H, int& S, int& L);
ColorValue HSLToRGB(double H, double S, double L);
ColorValue HSLRangeToRGB(int H, int S, int L);
