// XP-style tool bars and control bars on real windows: the button faces for each state, the
// walk over bars, and the bands of a control bar.
#include <gtest/gtest.h>

#include "tests/xpstyle/xp_test_util.h"

namespace {

class XPBars : public FormTest {
protected:
  XPBars() : FormTest(clBtnFace) {}
  TToolButton* Button(TToolBar* bar, TToolButtonStyle style = tbsButton) {
    auto* b = new TToolButton(form);
    b->SetStyle(style);
    b->SetImageIndex(0);
    b->SetToolBar(bar);
    return b;
  }
};

TEST_F(XPBars, ToolButtonFacesShowTheirStates) {
  auto* images = new TImageList(form);
  TBitmap red;
  RedGlyph(red);
  images->AddMasked(&red, static_cast<TColor>(0xFF00FF));
  auto* bar = Put<TToolBar>(form, form, 0, 0, 400, 30);
  bar->SetImages(images);
  TToolButton* plain = Button(bar);
  TToolButton* checked = Button(bar, tbsCheck);
  checked->SetDown(true);
  TToolButton* mixed = Button(bar);
  mixed->SetIndeterminate(true);
  TToolButton* disabled = Button(bar);
  disabled->SetEnabled(false);
  TToolButton* drop = Button(bar, tbsDropDown);
  TToolButton* outside = Button(bar);
  outside->SetImageIndex(7);  // outside the list: no image
  auto* xp = new TXPStyle(form);
  xp->SetActive(true);
  Pump();
  ASSERT_TRUE(bar->OnCustomDrawButton == xp->DrawToolButtonEvent());
  const COLORREF background = Light(clBtnFace, 16);
  auto face = [&](TToolButton* b, int dx, int dy) {
    const RECT r = b->BoundsRect();
    return Snapshot(bar->Handle()).At(r.left + dx, r.top + dy);
  };
  EXPECT_EQ(face(plain, 2, 3), background);
  EXPECT_EQ(face(plain, plain->BoundsRect().right - plain->BoundsRect().left - 1, 10), background);  // no frame
  EXPECT_EQ(face(checked, 2, 3), Light(clHighlight, 80));
  EXPECT_EQ(face(checked, 0, 5), Rgb(clHighlight));  // framed
  EXPECT_EQ(face(mixed, 2, 3), Light(clHighlight, 68));
  EXPECT_EQ(face(mixed, 0, 5), Light(clHighlight, 68));            // filled but not framed
  EXPECT_EQ(face(plain, 11, 11), LightenRGB(RGB(255, 0, 0), 30));  // the image, dimmed
  const RECT fr = outside->BoundsRect();
  EXPECT_EQ(face(outside, (fr.right - fr.left) / 2, 11), background);
  EXPECT_NE(face(disabled, 11, 11), LightenRGB(RGB(255, 0, 0), 30));  // greyed
  const RECT dr = drop->BoundsRect();
  EXPECT_EQ(face(drop, dr.right - dr.left - 10 + 2, (dr.bottom - dr.top - 3) / 2 + 1), Rgb(clBlack));  // the arrow

  // Hot: the selection face with a frame; hot and down: the darker checked area.
  SendMessageA(bar->Handle(), TB_SETHOTITEM, 0, 0);
  Pump();
  EXPECT_EQ(face(plain, 2, 3), Light(clHighlight, 68));
  EXPECT_EQ(face(plain, 0, 5), Rgb(clHighlight));
  SendMessageA(bar->Handle(), TB_SETHOTITEM, 1, 0);
  Pump();
  EXPECT_EQ(face(checked, 2, 3), Light(clHighlight, 50));
}

// The glyph bitmap and a disabled caption's bitmap are filled with the canvas brush before they are
// drawn over the button, so that brush must hold the face the painter chose.
TEST_F(XPBars, GlyphsAndDisabledCaptionsLieOnTheButtonsFace) {
  // Red with a magenta hole, and red at the bottom-left: the hole shows the glyph bitmap's fill.
  std::vector<uint32_t> px(16 * 16, 0xFF0000);
  for (int y = 6; y < 10; ++y)
    for (int x = 6; x < 10; ++x) px[y * 16 + x] = 0xFF00FF;
  TBitmap holed;
  holed.LoadFromBits(16, 16, px.data());
  auto* images = new TImageList(form);
  images->AddMasked(&holed, static_cast<TColor>(0xFF00FF));
  auto* bar = Put<TToolBar>(form, form, 0, 0, 400, 60);
  bar->SetImages(images);
  bar->SetShowCaptions(true);
  TToolButton* checked = Button(bar, tbsCheck);
  checked->SetDown(true);
  TToolButton* disabled = Button(bar);
  disabled->SetEnabled(false);
  TToolButton* disabledChecked = Button(bar, tbsCheck);
  disabledChecked->SetDown(true);
  disabledChecked->SetEnabled(false);
  for (TToolButton* b : {checked, disabled, disabledChecked}) b->SetCaption("Ab");
  auto* xp = new TXPStyle(form);
  xp->SetActive(true);
  Pump();
  Snapshot shot(bar->Handle());
  const COLORREF checkArea = Light(clHighlight, 80);
  const RECT cr = checked->BoundsRect();
  const int glyphLeft = cr.left + (cr.right - cr.left - 16) / 2;
  EXPECT_EQ(shot.At(glyphLeft + 8, cr.top + 3 + 8), checkArea);  // the hole
  // Left of the centred caption, inside the bitmap it is drawn through.
  const struct {
    TToolButton* button;
    COLORREF face;
  } captions[] = {{disabled, Light(clBtnFace, 16)}, {disabledChecked, checkArea}};
  for (const auto& c : captions) {
    const RECT r = c.button->BoundsRect();
    EXPECT_EQ(shot.At(r.left + 2, r.bottom - 2), c.face) << c.button->Index();
  }
}

TEST_F(XPBars, TheWalkMakesBarsFlatAndStylesControlsOnThem) {
  auto* empty = Put<TToolBar>(form, form, 0, 0, 200, 30);
  auto* combo = Put<TComboBox>(empty, form, 2, 2, 100, 21);
  auto* ownBar = Put<TToolBar>(form, form, 0, 40, 200, 30);
  Button(ownBar);
  bool own = false;
  ownBar->OnCustomDrawButton = [&](TToolBar*, TToolButton*, TCustomDrawState, bool&) { own = true; };
  auto* xp = new TXPStyle(form);
  xp->SetActive(true);
  EXPECT_TRUE(empty->Flat());
  EXPECT_FALSE(empty->OnCustomDrawButton);  // no buttons, no painter
  EXPECT_TRUE(Styled(combo));
  EXPECT_TRUE(ownBar->Flat());
  EXPECT_FALSE(ownBar->OnCustomDrawButton == xp->DrawToolButtonEvent());  // kept
  xp->SetOverrideOwnerDraw(true);
  EXPECT_TRUE(ownBar->OnCustomDrawButton == xp->DrawToolButtonEvent());
  xp->SetActive(false);
  EXPECT_FALSE(ownBar->OnCustomDrawButton);
  EXPECT_TRUE(ownBar->Flat());  // switched off, bars stay flat
  xp->SetXPContainers(static_cast<TXPContainers>(kAllXPContainers & ~XPBit(xccToolbar)));
  xp->SetActive(true);
  EXPECT_FALSE(Styled(combo));
}

TEST_F(XPBars, ControlBarBandsGetAFillAndADarkeningGrabber) {
  auto* bar = Put<TControlBar>(form, form, 10, 10, 300, 80);
  bar->SetColor(clMoneyGreen);
  auto* band = Put<TPanel>(bar, form, 20, 6, 200, 60);
  band->SetBevelOuter(bvNone);
  auto* xp = new TXPStyle(form);
  xp->SetActive(true);
  bar->Invalidate();
  Pump();
  const RECT r = TControlBar::BandRect(band);
  Snapshot shot(bar->Handle());
  EXPECT_EQ(shot.At(r.left + 1, r.top + 1), Light(clMoneyGreen, 6));  // no frame
  int y = r.top + 5 + ((r.top + 5) % 2);                              // the first even row
  EXPECT_EQ(shot.At(r.left + 3, y), Dark(clMoneyGreen, 30));
  EXPECT_EQ(shot.At(r.left + 5, y + 2), Dark(clMoneyGreen, 37));
  EXPECT_EQ(shot.At(r.left + 3, y + 1), Light(clMoneyGreen, 6));
  EXPECT_EQ(shot.At(r.left + 6, y), Light(clMoneyGreen, 6));  // three pixels a dash
  xp->SetActive(false);
  EXPECT_FALSE(bar->OnBandPaint);
}

}  // namespace
