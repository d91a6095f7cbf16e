// Geometry of the flat controls, free of any drawing surface: which rectangles a progress bar
// fills, which lines a bevel frame draws, where a memo's scroll-bar corner lies. The controls
// hand these shapes to GDI; tests check them without a window.
#pragma once
#include <vector>

struct FlatRect {
  int Left, Top, Right, Bottom;  // right and bottom exclusive, as GDI fills them
  bool operator==(const FlatRect&) const = default;
};

struct FlatPoint {
  int X, Y;
  bool operator==(const FlatPoint&) const = default;
};

// ---- Progress bar ----

// Blocks are this long along the bar, with one-pixel gaps between them.
constexpr int ProgressElementSize = 8;

// The length (width, or height of a vertical bar) that a block bar snaps to: a whole number of
// block pitches plus the frame and the inner gaps, never below one block.
int SnapProgressLength(int length);

struct ProgressShape {
  int Width = 0, Height = 0;  // client size
  bool Vertical = false;
  bool RightToLeft = false;  // only horizontal block bars grow from the right
  bool Smooth = false;
  int Min = 0, Max = 100, Position = 0;
};

// Blocks that fit into the bar's length.
int ProgressBlockTotal(const ProgressShape& bar);
// Blocks shown for the position; 0 for an empty or negative range.
int ProgressBlockCount(const ProgressShape& bar);
// What PaintElements fills, in paint order: the blocks, or the one continuous bar.
// Nothing for a position at or below Min and for an empty or negative range.
std::vector<FlatRect> ProgressElementRects(const ProgressShape& bar);

// ---- Bevel frame ----

// One poly-line of a bevel ring. GDI leaves out the last point of a poly-line, which the ring
// relies on: the top-coloured line stops one short of the top-right corner.
struct BevelLine {
  FlatPoint Points[3];
  bool Shadow;  // drawn in the bottom (shadow) colour, otherwise in the top (highlight) colour
};

// The poly-lines of an n-ring frame inside rect, in drawing order (each ring: top line first).
std::vector<BevelLine> BevelFrameLines(FlatRect rect, int rings);

// ---- Memo ----

// The square where a memo's two scroll bars meet, inside the frame rectangle that is already
// shrunk by the two outer rings. Its size follows the scroll bars' system metrics.
FlatRect MemoScrollCorner(FlatRect innerFrame, int vScrollWidth, int hScrollHeight);
