#include "flat/flat_geometry.h"

#include <cmath>
#include <cstdint>

namespace {
constexpr int Pitch = ProgressElementSize + 1;

int BarLength(const ProgressShape& bar) { return bar.Vertical ? bar.Height : bar.Width; }
}  // namespace

int SnapProgressLength(int length) {
  if (length < 12) return 12;
  const std::uint16_t blocks = static_cast<std::uint16_t>((length - 3) / Pitch);
  return blocks * Pitch + 3;
}

int ProgressBlockTotal(const ProgressShape& bar) { return (BarLength(bar) - 3) / Pitch; }

int ProgressBlockCount(const ProgressShape& bar) {
  const std::int64_t range = static_cast<std::int64_t>(bar.Max) - bar.Min;
  const std::int64_t done = static_cast<std::int64_t>(bar.Position) - bar.Min;
  const int total = ProgressBlockTotal(bar);
  // An empty or negative range has no meaningful share to show (the division below would be
  // 0/0 or show a full bar for a position under Min), so such a bar stays empty.
  if (range <= 0 || done <= 0 || total <= 0) return 0;
  // The small epsilon lets Position = Max reach the last block although the quotient may come
  // out a hair below the total.
  const double count = std::trunc(static_cast<double>(done) / (static_cast<double>(range) / total) + 1E-8);
  return count > total ? total : static_cast<int>(count);
}

std::vector<FlatRect> ProgressElementRects(const ProgressShape& bar) {
  std::vector<FlatRect> rects;
  const int W = bar.Width, H = bar.Height;
  if (bar.Smooth) {
    const std::int64_t range = static_cast<std::int64_t>(bar.Max) - bar.Min;
    const std::int64_t done = static_cast<std::int64_t>(bar.Position) - bar.Min;
    if (done <= 0 || range <= 0) return rects;
    if (bar.Vertical)
      rects.push_back({2, static_cast<int>(H - 2 - (H - 4) * done / range), W - 2, H - 2});
    else
      rects.push_back({2, 2, static_cast<int>(2 + (W - 4) * done / range), H - 2});
    return rects;
  }
  const int count = ProgressBlockCount(bar);
  FlatRect r;
  int dx = 0, dy = 0;
  if (bar.Vertical) {
    r = {2, H - 2 - ProgressElementSize, W - 2, H - 2};
    dy = -Pitch;
  } else if (bar.RightToLeft) {
    r = {W - 2 - ProgressElementSize, 2, W - 2, H - 2};
    dx = -Pitch;
  } else {
    r = {2, 2, 2 + ProgressElementSize, H - 2};
    dx = Pitch;
  }
  for (int i = 0; i < count; ++i) {
    rects.push_back(r);
    r.Left += dx;
    r.Right += dx;
    r.Top += dy;
    r.Bottom += dy;
  }
  return rects;
}

std::vector<BevelLine> BevelFrameLines(FlatRect rect, int rings) {
  std::vector<BevelLine> lines;
  FlatRect r{rect.Left, rect.Top, rect.Right - 1, rect.Bottom - 1};
  while (rings > 0) {
    --rings;
    lines.push_back({{{r.Left, r.Bottom}, {r.Left, r.Top}, {r.Right, r.Top}}, false});
    lines.push_back({{{r.Right, r.Top}, {r.Right, r.Bottom}, {r.Left - 1, r.Bottom}}, true});
    r = {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
  }
  return lines;
}

FlatRect MemoScrollCorner(FlatRect innerFrame, int vScrollWidth, int hScrollHeight) {
  return {innerFrame.Right - 1 - vScrollWidth, innerFrame.Bottom - 1 - hScrollHeight, innerFrame.Right - 1,
          innerFrame.Bottom - 1};
}
