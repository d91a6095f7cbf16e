// Drawing helpers shared by the flat controls: derived colours on the layer's colour type, the
// two-colour bevel frame, and the parent-background painting of transparent controls.
#pragma once
#include "flat/adv_color.h"
#include "winui/control.h"
#include "winui/graphics.h"

// CalcAdvColor on layer colours: system colours are resolved to their current value.
TColor CalcAdvColor(TColor base, TColor fallback, TAdvColors percent, bool darken);

// An n-pixel frame inside rect: top and left lines in topColor, right and bottom in bottomColor.
// On a one-pixel-high rectangle the bottom line, drawn last, covers the whole line.
void DrawBevelFrame(TCanvas* canvas, RECT rect, TColor topColor, TColor bottomColor, int width);

// Lets the control's parent erase and paint itself into canvas, shifted so that the parent's
// picture lands where the control sits. Nothing happens for a control without a parent.
void DrawParentBackground(TControl* control, TCanvas* canvas);
