#include "flat/adv_color.h"

ColorValue CalcAdvColor(ColorValue base, ColorValue fallback, TAdvColors percent, bool darken, ColorResolver toRGB) {
  if (percent == 0) return fallback;
  int h, s, l;
  RGBToHSLRange(toRGB(base), h, s, l);
  l += 10;
  if (darken) {
    l -= percent;
    if (l < 0) l = 0;
  } else {
    l += percent;
    if (l > HSLRange) l = HSLRange;
  }
  return HSLRangeToRGB(h, s, l);
}
