// Derived colours of the flat controls: a base colour with its lightness moved up or down by
// a percentage, so that borders and focus colours follow the colour behind a control.
#pragma once
#include <cstdint>

#include "flat/hsl_utils.h"

// Percentage 0..100 of a derived colour, held in one byte.
using TAdvColors = std::uint8_t;

// Turns a system colour (top bit set) into its current RGB value; RGB colours pass unchanged.
using ColorResolver = ColorValue (*)(ColorValue);

// Percent 0 returns the fallback untouched: callers pass what the derived property holds now.
// Both directions start from the lightness plus a bias of 10.
ColorValue CalcAdvColor(ColorValue base, ColorValue fallback, TAdvColors percent, bool darken, ColorResolver toRGB);
