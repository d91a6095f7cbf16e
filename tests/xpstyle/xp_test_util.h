// Shared by the XP-style tests on real windows: a glyph, colours computed the way the painters
// compute them, and a form test with a component on it.
#pragma once
#include "tests/flat/screen.h"
#include "tests/winui/ui_test_util.h"
#include "xpstyle/control_subclass.h"
#include "xpstyle/xp_colors.h"
#include "xpstyle/xp_geometry.h"
#include "xpstyle/xp_style.h"

inline COLORREF Light(TColor c, int p) { return LightenRGB(Rgb(c), p); }
inline COLORREF Dark(TColor c, int v) { return DarkenRGB(Rgb(c), v); }

// 16 x 16, red with a magenta frame of one pixel that is the transparent key (bottom-left).
inline void RedGlyph(TBitmap& glyph) {
  std::vector<uint32_t> px(16 * 16, 0xFF00FF);
  for (int y = 1; y < 15; ++y)
    for (int x = 1; x < 15; ++x) px[y * 16 + x] = 0xFF0000;
  glyph.LoadFromBits(16, 16, px.data());
}

inline bool Styled(TControl* c) { return c->WindowProc().code() == TControlSubClass::WindowProcCode(); }

template <class T>
T* Put(TWinControl* parent, TComponent* owner, int x, int y, int w, int h) {
  T* c = new T(owner);
  c->SetParent(parent);
  c->SetBounds(x, y, w, h);
  return c;
}
