// Where the XP-style button painters put things, free of any drawing surface: glyph and caption
// of bit and speed buttons by their layout, the check box square and the radio button circle.
// Coordinates are client coordinates; divisions truncate toward zero as the painters specify.
#pragma once
#include "flat/flat_geometry.h"

enum class XPGlyphLayout { Left, Right, Top, Bottom };

struct GlyphPlacement {
  FlatRect Glyph;
  FlatRect Text;
};

// w, h: the client size; gw, gh: the glyph (0 x 0 without one); tw, th: the caption's extent.
// A speed button's glyph sits one pixel higher in the left layout.
GlyphPlacement PlaceGlyphAndCaption(XPGlyphLayout layout, int w, int h, int gw, int gh, int tw, int th, int spacing,
                                    bool speedButton);

// The check box square and the radio circle inside a client rectangle, thumb being the
// system's thumb width; on the right for right-to-left controls.
FlatRect CheckBoxSquare(FlatRect client, int thumb, bool rightToLeft);
FlatRect RadioButtonCircle(FlatRect client, int thumb, bool rightToLeft);
