// Helpers for the painting tests: a form on the screen, message pumping, and pixel snapshots of
// a window read back from the display. Colours are compared as COLORREF without the top byte.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "winui/form.h"

// Pixels of a window at one moment, read back from the screen.
class Snapshot {
public:
  // The client area of window, or with wholeWindow its whole window including the frame.
  explicit Snapshot(HWND window, bool wholeWindow = false);
  int Width() const { return w_; }
  int Height() const { return h_; }
  COLORREF At(int x, int y) const;
  // How many pixels of the rectangle show colour c.
  int Count(const RECT& r, COLORREF c) const;

private:
  int w_ = 0, h_ = 0;
  std::vector<uint32_t> px_;  // 0x00RRGGBB, top-down
};

// Runs every waiting message and paint of this thread.
void Pump();

// The RGB value a layer colour shows now, as GetPixel would report it.
inline COLORREF Rgb(TColor c) { return ColorToRGB(c) & 0xFFFFFF; }

// Tests on one shown, active form in the screen's upper left corner. The form lives as long as
// the test program: destroying a shown window costs seconds under Wine without a window manager.
// Each test starts with an empty form of the colour it asks for; what it put there is freed after.
class FormTest : public ::testing::Test {
protected:
  explicit FormTest(TColor color) : color_(color) {}
  void SetUp() override;
  void TearDown() override;
  TForm* form = nullptr;

private:
  TColor color_;
};
