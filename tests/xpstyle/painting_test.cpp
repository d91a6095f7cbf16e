// The flat painters on real controls, read back as pixels and compared with colours computed
// from the system colours of the moment: frames and their widths, the button's shade side, the
// check mark and radio dot, the group box caption gap, the combo box button, and the standard
// look again once the component is switched off.
#include <gtest/gtest.h>

#include "tests/xpstyle/xp_test_util.h"

namespace {

class XPPaint : public FormTest {
protected:
  XPPaint() : FormTest(clBtnFace) {}
  TXPStyle* Activate() {
    auto* xp = new TXPStyle(form);
    xp->SetActive(true);
    Pump();
    return xp;
  }
  static void Hover(TControl* c, bool on) {
    c->Perform(on ? CM_MOUSEENTER : CM_MOUSELEAVE);
    Pump();
  }
  // The colours the painters derive with the component's defaults.
  COLORREF IconBack() { return Light(clBtnFace, 16); }
  COLORREF Select() { return Light(clHighlight, 68); }
  COLORREF CheckArea() { return Light(clHighlight, 80); }
};

TEST_F(XPPaint, EditsHaveOneFlatFrameThatLightsUpWithFocus) {
  auto* single = Put<TEdit>(form, form, 10, 10, 120, 21);
  auto* none = Put<TMemo>(form, form, 10, 40, 120, 60);
  none->SetBorderStyle(bsNone);
  Activate();
  EXPECT_FALSE(GetWindowLongPtrA(single->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  Snapshot idle(single->Handle());
  EXPECT_EQ(idle.At(0, idle.Height() / 2), Dark(clBtnFace, 60));
  EXPECT_EQ(Snapshot(none->Handle()).At(0, 30), Rgb(clBtnFace));  // blends into the parent
  single->SetFocus();
  Pump();
  Snapshot focused(single->Handle());
  EXPECT_EQ(focused.At(0, focused.Height() / 2), Light(clHighlight, 60));
  EXPECT_EQ(focused.At(focused.Width() - 1, 2), Light(clHighlight, 60));
  none->SetFocus();
  Pump();
  EXPECT_EQ(Snapshot(none->Handle()).At(0, 30), Light(clHighlight, 80));  // lighter without a border
  EXPECT_EQ(Snapshot(single->Handle()).At(0, 10), Dark(clBtnFace, 60));
}

TEST_F(XPPaint, ComboBoxButtonFollowsHoverFocusAndState) {
  auto* combo = Put<TComboBox>(form, form, 10, 10, 150, 21);
  combo->Items()->Add("one");
  Activate();
  auto pixels = [&] { return Snapshot(combo->Handle()); };
  Snapshot idle = pixels();
  const int w = idle.Width();
  EXPECT_EQ(idle.At(w - 4, 5), Rgb(clBtnFace));
  EXPECT_EQ(idle.At(w - 8, 12), Rgb(clBlack));  // the arrow
  EXPECT_EQ(idle.At(0, 0), Rgb(clBtnFace));     // the parent's colour around
  Hover(combo, true);
  EXPECT_EQ(pixels().At(w - 4, 5), Select());
  Hover(combo, false);
  // The pointer over the edit field counts as over the combo box.
  HWND field = FindWindowExA(combo->Handle(), nullptr, "Edit", nullptr);
  ASSERT_NE(field, nullptr);
  RECT fr;
  GetWindowRect(field, &fr);
  SetCursorPos(fr.left + 5, fr.top + 5);
  SendMessageA(field, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  Pump();
  EXPECT_EQ(pixels().At(w - 4, 5), Select());
  SetCursorPos(600, 600);
  Hover(combo, false);
  // Focus in the edit field is focus of the combo box: lit up, and still marked once the
  // highlight goes.
  combo->SetFocus();
  Pump();
  EXPECT_TRUE(combo->Focused());
  EXPECT_EQ(pixels().At(w - 4, 5), Select());
  Hover(combo, false);
  EXPECT_EQ(pixels().At(w - 4, 5), CheckArea());
  combo->SetEnabled(false);
  Pump();
  EXPECT_EQ(pixels().At(w - 8, 12), Rgb(clWhite));
}

TEST_F(XPPaint, GroupBoxAndPanelBevelsAreFlat) {
  auto* group = Put<TGroupBox>(form, form, 10, 10, 200, 80);
  group->SetCaption("Profile");
  auto* raised = Put<TPanel>(form, form, 10, 100, 100, 40);
  auto* plain = Put<TPanel>(form, form, 120, 100, 100, 40);
  plain->SetBevelOuter(bvNone);
  plain->SetColor(clWindow);
  auto* lowered = Put<TPanel>(form, form, 230, 100, 100, 40);
  lowered->SetBevelOuter(bvLowered);
  lowered->SetBevelWidth(2);
  Activate();
  TControlCanvas measure(group);
  measure.Font()->Assign(*group->Font());
  const int th = measure.TextHeight("Profile"), tw = measure.TextWidth("Profile");
  measure.FreeHandle();
  const COLORREF light = Light(clBtnFace, 60), dark = Dark(clBtnFace, 60);
  Snapshot box(group->Handle());
  EXPECT_EQ(box.At(3, th / 2 + 1), light);                                  // the top line left of the caption
  EXPECT_EQ(box.At(3, th / 2), Rgb(clBtnFace));                             // the band above it
  EXPECT_EQ(box.At(9 + tw + 4, th / 2 + 1), light);                         // and right of it
  EXPECT_EQ(box.At(0, 40), light);                                          // left edge
  EXPECT_EQ(box.At(box.Width() - 1, 40), dark);                             // right edge
  EXPECT_EQ(box.At(40, box.Height() - 1), dark);                            // bottom edge
  EXPECT_EQ(box.Count(RECT{9, th / 2 + 1, 9 + tw, th / 2 + 2}, light), 0);  // the caption gap

  Snapshot up(raised->Handle());
  EXPECT_EQ(up.At(0, 0), light);
  EXPECT_EQ(up.At(99, 39), dark);
  EXPECT_EQ(Snapshot(plain->Handle()).At(0, 0), Rgb(clWindow));  // nothing drawn
  Snapshot down(lowered->Handle());
  EXPECT_EQ(down.At(1, 1), dark);  // two rings wide
  EXPECT_EQ(down.At(98, 38), light);

  // Read right to left, the caption moves to the right end.
  SysLocale.SetMiddleEast(true);
  group->SetBiDiMode(bdRightToLeft);
  group->Invalidate();
  Pump();
  Snapshot rtl(group->Handle());
  EXPECT_EQ(rtl.At(9 + tw / 2, th / 2 + 1), light);
  EXPECT_EQ(rtl.Count(RECT{rtl.Width() - 9 - tw, th / 2 + 1, rtl.Width() - 9, th / 2 + 2}, light), 0);
  SysLocale.SetMiddleEast(false);
}

TEST_F(XPPaint, PushButtonsHaveARoundedFaceWithAShadeOnOneSide) {
  auto* button = Put<TButton>(form, form, 10, 10, 75, 25);
  button->SetCaption("OK");
  auto* other = Put<TButton>(form, form, 100, 10, 75, 25);
  other->SetCaption("OK");
  other->SetDefault(true);
  Activate();
  const COLORREF shade = Dark(clBtnShadow, 50);
  Snapshot idle(button->Handle());
  EXPECT_EQ(idle.At(0, 0), Rgb(clBtnFace));  // the rounded corner shows the parent
  EXPECT_EQ(idle.At(4, 4), IconBack());
  EXPECT_EQ(idle.At(74, 12), shade);
  EXPECT_EQ(idle.At(0, 12), Light(clBtnShadow, 30));
  // The default button's caption is embossed in shades of the face below it.
  const RECT text{20, 4, 55, 21};
  EXPECT_EQ(idle.Count(text, Dark(IconBack(), 60)), 0);
  EXPECT_GT(Snapshot(other->Handle()).Count(text, Dark(IconBack(), 60)), 0);

  Hover(button, true);
  Snapshot hot(button->Handle());
  EXPECT_EQ(hot.At(4, 4), Light(clBtnFace, 60));
  EXPECT_EQ(hot.At(74, 12), Dark(Light(clHighlight, 60), 50));
  Hover(button, false);
  button->SetFocus();  // focus lights the button up; once the highlight goes, the frame stays marked
  Pump();
  Hover(button, false);
  Snapshot focused(button->Handle());
  EXPECT_EQ(focused.At(4, 4), IconBack());  // the face stays
  EXPECT_EQ(focused.At(37, 0), LightenRGB(Light(clHighlight, 60), 30));

  // Holding space shows the pressed shade on the other side until the key goes up.
  button->Perform(WM_KEYDOWN, VK_SPACE, 0);
  Pump();
  Snapshot pressed(button->Handle());
  EXPECT_EQ(pressed.At(0, 12), Dark(Light(clHighlight, 60), 50));
  EXPECT_NE(pressed.At(74, 12), Dark(Light(clHighlight, 60), 50));
  button->Perform(WM_KEYUP, VK_SPACE, 0);
  Pump();
  EXPECT_EQ(Snapshot(button->Handle()).At(74, 12), Dark(Light(clHighlight, 60), 50));

  other->SetFocus();
  button->SetEnabled(false);
  Hover(button, true);  // ignored while disabled
  Snapshot disabled(button->Handle());
  EXPECT_EQ(disabled.At(4, 4), IconBack());
  EXPECT_EQ(disabled.At(74, 12), Light(clBtnShadow, 30));  // no shade
  EXPECT_GT(disabled.Count(text, Light(clBtnShadow, 10)), 0);
}

TEST_F(XPPaint, CheckBoxesAndRadioButtonsShowFlatCells) {
  auto* check = Put<TCheckBox>(form, form, 10, 10, 97, 17);
  check->SetCaption("Check");
  auto* rtlCheck = Put<TCheckBox>(form, form, 10, 40, 97, 17);
  rtlCheck->SetBiDiMode(bdRightToLeft);
  auto* radio = Put<TRadioButton>(form, form, 10, 70, 113, 17);
  radio->SetCaption("Radio");
  Activate();
  const FlatRect cell = CheckBoxSquare(FlatRect{0, 0, 97, 17}, GetSystemMetrics(SM_CXHTHUMB), false);
  const int L = cell.Left + 2, T = cell.Top + 2, B = cell.Bottom - 2;
  Snapshot idle(check->Handle());
  EXPECT_EQ(idle.At(L, T + 4), Rgb(clBtnShadow));  // the frame
  EXPECT_EQ(idle.At(L + 2, T + 2), Rgb(clWindow));
  check->SetChecked(true);
  Hover(check, true);
  Snapshot checked(check->Handle());
  EXPECT_EQ(checked.At(L + 4, B - 3), Rgb(clHighlight));  // where the tick's strokes meet
  EXPECT_EQ(checked.At(L + 2, T + 2), Select());
  EXPECT_EQ(checked.At(L, T + 4), Rgb(clHighlight));
  const FlatRect right = CheckBoxSquare(FlatRect{0, 0, 97, 17}, GetSystemMetrics(SM_CXHTHUMB), true);
  EXPECT_EQ(Snapshot(rtlCheck->Handle()).At(right.Right - 3, right.Top + 6), Rgb(clBtnShadow));

  const FlatRect circle = RadioButtonCircle(FlatRect{0, 0, 113, 17}, GetSystemMetrics(SM_CXHTHUMB), false);
  const int cx = (circle.Left + circle.Right) / 2, cy = (circle.Top + circle.Bottom) / 2;
  EXPECT_EQ(Snapshot(radio->Handle()).At(cx, cy), Rgb(clWindow));
  radio->SetChecked(true);
  Pump();
  EXPECT_EQ(Snapshot(radio->Handle()).At(cx, cy), Rgb(clHighlight));
}

TEST_F(XPPaint, SpeedButtonsAreFlatFacesOrTintedThroughAndStandardAgainWhenOff) {
  form->SetColor(clMoneyGreen);
  auto* solid = Put<TSpeedButton>(form, form, 10, 10, 40, 30);
  solid->SetTransparent(false);
  auto* see = Put<TSpeedButton>(form, form, 60, 10, 40, 30);
  auto* flat = Put<TSpeedButton>(form, form, 110, 10, 40, 30);
  flat->SetFlat(true);
  auto* glyphed = Put<TSpeedButton>(form, form, 160, 10, 40, 30);
  glyphed->SetTransparent(false);
  TBitmap glyph;
  RedGlyph(glyph);
  glyphed->SetGlyph(glyph);
  auto* xp = Activate();
  Snapshot idle(form->Handle());
  EXPECT_EQ(idle.At(10 + 20, 10 + 15), IconBack());
  EXPECT_EQ(idle.At(10 + 20, 10), Light(clBtnShadow, 30));
  EXPECT_EQ(idle.At(10 + 39, 10 + 15), Dark(clBtnShadow, 50));
  EXPECT_EQ(idle.At(60 + 20, 10 + 15), Rgb(clMoneyGreen));  // see-through face
  EXPECT_EQ(idle.At(60 + 20, 10), Light(clBtnShadow, 30));
  // A flat see-through idle button draws no frame at all.
  EXPECT_EQ(idle.Count(RECT{110, 10, 150, 40}, Rgb(clMoneyGreen)), 40 * 30);
  EXPECT_EQ(idle.At(160 + 20, 10 + 15), LightenRGB(RGB(255, 0, 0), 30));  // dimmed glyph

  Hover(solid, true);
  EXPECT_EQ(Snapshot(form->Handle()).At(10 + 20, 10 + 15), Select());
  Hover(solid, false);
  // Hot, the glyph is raised with a shadow; pressed, it sits flat without one. The see-through
  // face is tinted once over a fresh background, so no shadow of the hot look stays behind.
  see->SetGlyph(glyph);
  Hover(see, true);
  see->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  Pump();
  TControlCanvas probe(see);
  const COLORREF tint = LightenRGB(Select(), SpeedButtonTintPercent(GetDeviceCaps(probe.Handle(), BITSPIXEL)));
  probe.FreeHandle();
  Snapshot pressed(form->Handle());
  EXPECT_EQ(pressed.At(60 + 27, 10 + 15), Rgb(clMoneyGreen) & tint);  // where the hot shadow was
  EXPECT_EQ(pressed.At(60 + 20, 10 + 15), RGB(255, 0, 0));            // checked: not dimmed
  see->Perform(WM_LBUTTONUP, 0, MAKELPARAM(60, 60));
  Pump();
  Snapshot hot(form->Handle());
  EXPECT_EQ(hot.At(60 + 2, 10 + 27), Rgb(clMoneyGreen) & tint);
  EXPECT_EQ(hot.At(60 + 20, 10), Light(clHighlight, 30));
  Hover(see, false);
  // Down: the checked area, the glyph neither dimmed nor raised.
  glyphed->SetDown(true);
  glyphed->Perform(CM_TEXTCHANGED);
  Pump();
  Snapshot down(form->Handle());
  EXPECT_EQ(down.At(160 + 3, 10 + 3), CheckArea());
  EXPECT_EQ(down.At(160 + 20, 10 + 15), RGB(255, 0, 0));

  // Off: the buttons paint their own raised edges again at once.
  xp->SetActive(false);
  Pump();
  EXPECT_EQ(Snapshot(form->Handle()).At(10 + 39, 10 + 15), Rgb(cl3DDkShadow));
}

}  // namespace
