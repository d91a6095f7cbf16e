// The component's walk and the subclass's life: which controls are styled, the opt-out tag,
// switching off and on, and that no subclass outlives its control or its component.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/exception.h"
#include "tests/xpstyle/xp_test_util.h"

namespace {

// Classes the walk knows by exact name, and a descendant that an exact-name test must miss.
class TMaskEdit : public TCustomEdit {
public:
  using TCustomEdit::TCustomEdit;
  const char* ClassName() const override { return "TMaskEdit"; }
};
class TDBCtrlPanel : public TWinControl {
public:
  using TWinControl::TWinControl;
  const char* ClassName() const override { return "TDBCtrlPanel"; }
};
class TMyButton : public TButton {
public:
  using TButton::TButton;
  const char* ClassName() const override { return "TMyButton"; }
};
class TMyBitBtn : public TBitBtn {
public:
  using TBitBtn::TBitBtn;
  const char* ClassName() const override { return "TMyBitBtn"; }
};

class XPWalk : public FormTest {
protected:
  XPWalk() : FormTest(clBtnFace) {}
  void SetUp() override {
    FormTest::SetUp();
    baseline = TControlSubClass::LiveCount();
  }
  void TearDown() override {
    FormTest::TearDown();
    EXPECT_EQ(TControlSubClass::LiveCount(), baseline) << "a subclass outlived the test";
  }
  int baseline = 0;
};

TEST_F(XPWalk, StylesEveryKindOnAStyledParentByItsClassAndTheOptOutTag) {
  auto* panel = Put<TPanel>(form, form, 200, 0, 200, 200);
  auto* edit = Put<TEdit>(form, form, 0, 0, 80, 21);
  auto* memo = Put<TMemo>(form, form, 0, 24, 80, 40);
  auto* rich = Put<TRichEdit>(form, form, 0, 70, 80, 40);
  auto* mask = Put<TMaskEdit>(form, form, 0, 115, 80, 21);
  auto* combo = Put<TComboBox>(panel, form, 4, 4, 100, 21);
  auto* check = Put<TCheckBox>(panel, form, 4, 30, 100, 17);
  auto* radio = Put<TRadioButton>(panel, form, 4, 50, 100, 17);
  auto* button = Put<TButton>(panel, form, 4, 70, 75, 25);
  auto* myButton = Put<TMyButton>(panel, form, 4, 100, 75, 25);
  auto* bit = Put<TBitBtn>(panel, form, 100, 70, 75, 25);
  auto* myBit = Put<TMyBitBtn>(panel, form, 100, 100, 75, 25);
  auto* speed = Put<TSpeedButton>(panel, form, 4, 130, 40, 25);
  auto* group = Put<TGroupBox>(form, form, 0, 140, 190, 100);
  auto* inGroup = Put<TEdit>(group, form, 8, 20, 80, 21);
  auto* optedOut = Put<TEdit>(group, form, 8, 50, 80, 21);
  optedOut->SetTag(kXPOptOutTag);
  auto* quietPanel = Put<TPanel>(form, form, 0, 250, 100, 60);
  quietPanel->SetTag(kXPOptOutTag);
  auto* inQuietPanel = Put<TEdit>(quietPanel, form, 4, 4, 80, 21);
  auto* db = Put<TDBCtrlPanel>(form, form, 110, 250, 80, 60);
  auto* inDb = Put<TEdit>(db, form, 4, 4, 60, 21);
  auto* bar = Put<TStatusBar>(form, form, 0, 320, 400, 20);
  auto* onBar = Put<TEdit>(bar, form, 4, 0, 60, 18);

  auto* xp = new TXPStyle(form);
  xp->SetXPControls(static_cast<TXPControls>(kAllXPControls & ~XPBit(xcRichEdit)));
  xp->SetXPContainers(static_cast<TXPContainers>(kAllXPContainers & ~XPBit(xccFrame)));
  EXPECT_EQ(TControlSubClass::LiveCount(), baseline);  // nothing happens while inactive
  xp->SetActive(true);
  Pump();
  for (TControl* c :
       std::vector<TControl*>{panel, edit, memo, rich, mask, combo, check, radio, button, bit, speed, group, inGroup})
    EXPECT_TRUE(Styled(c)) << c->ClassName();
  // A descendant of a class named in a name test is not that class; the opt-out tag works on
  // the control and on its parent (which is styled all the same); status bars and frame-like
  // parents without their container bit hold no styled children.
  for (TControl* c : std::vector<TControl*>{myButton, myBit, optedOut, quietPanel, inQuietPanel, inDb, onBar})
    EXPECT_FALSE(Styled(c)) << c->ClassName() << " " << c->Tag();
  EXPECT_EQ(xp->SubClassCount(), 13);  // the rich edit as a memo

  // A bit button only through its own bit; a changed set re-walks at once.
  xp->SetXPControls(static_cast<TXPControls>(kAllXPControls & ~XPBit(xcBitBtn) & ~XPBit(xcMemo) & ~XPBit(xcRichEdit)));
  Pump();
  EXPECT_FALSE(Styled(bit));
  EXPECT_FALSE(Styled(memo));
  EXPECT_TRUE(Styled(button));
  EXPECT_FALSE(Styled(rich));  // neither memo nor rich edit bit
  xp->SetXPControls(xp->XPControls() | XPBit(xcRichEdit));
  EXPECT_TRUE(Styled(rich));
  xp->SetXPContainers(kAllXPContainers);
  EXPECT_TRUE(Styled(inDb));

  // Off: every control has its own procedure back at once, windowless ones included.
  xp->SetActive(false);
  for (TControl* c : std::vector<TControl*>{panel, edit, rich, combo, check, button, speed, group, inGroup, inDb})
    EXPECT_EQ(c->WindowProc(), c->OwnWindowProc()) << c->ClassName();
  EXPECT_EQ(xp->SubClassCount(), 0);
  EXPECT_TRUE(edit->Ctl3D());
  // While inactive, a changed set is only stored.
  xp->SetXPControls(kAllXPControls);
  EXPECT_FALSE(Styled(edit));
  xp->SetActive(true);
  EXPECT_TRUE(Styled(edit));
  EXPECT_TRUE(Styled(bit));
}

TEST_F(XPWalk, ControlsOfAFrameAreStyledThroughTheFrame) {
  auto* frame = Put<TFrame>(form, form, 0, 0, 200, 100);
  auto* inFrame = new TEdit(frame);
  inFrame->SetParent(frame);
  auto* xp = new TXPStyle(form);
  xp->SetActive(true);
  EXPECT_TRUE(Styled(inFrame));
  xp->SetXPContainers(static_cast<TXPContainers>(kAllXPContainers & ~XPBit(xccFrame)));
  EXPECT_FALSE(Styled(inFrame));
}

TEST_F(XPWalk, TheComponentNeedsAScrollingWindowAsOwner) {
  auto* button = Put<TButton>(form, form, 0, 0, 75, 25);
  EXPECT_THROW(new TXPStyle(button), Exception);
  TXPStyle lone(nullptr);
  lone.SetActive(true);
  EXPECT_FALSE(lone.Active());
  // The constructor's settings.
  EXPECT_EQ(lone.XPControls(), kAllXPControls);
  EXPECT_EQ(lone.XPContainers(), kAllXPContainers);
  EXPECT_EQ(lone.SelectColor(), clHighlight);
  EXPECT_EQ(lone.DisabledColor(), clInactiveCaption);
  EXPECT_EQ(lone.IconWidth(), 24);
  EXPECT_EQ(lone.Font()->Color(), clMenuText);
}

TEST_F(XPWalk, NoSubclassOutlivesItsComponentOrItsControl) {
  auto* edit = Put<TEdit>(form, form, 0, 0, 80, 21);
  auto* xp = new TXPStyle(form);
  xp->SetActive(true);
  Pump();
  EXPECT_FALSE(edit->Ctl3D());  // the styled frame
  // The component goes first: the edit gets its procedure and frame back and works on.
  delete xp;
  EXPECT_EQ(edit->WindowProc(), edit->OwnWindowProc());
  EXPECT_TRUE(edit->Ctl3D());
  edit->SetText("still here");
  EXPECT_EQ(edit->Text(), "still here");

  // A hidden page never paints, so its controls keep the flag that spares them at a frame
  // change; they are freed with their controls all the same.
  auto* page = Put<TTabSheet>(form, form, 0, 30, 200, 100);
  page->SetVisible(false);
  auto* hiddenEdit = Put<TEdit>(page, form, 4, 4, 80, 21);
  auto* hiddenSpeed = Put<TSpeedButton>(page, form, 4, 30, 40, 25);
  xp = new TXPStyle(form);
  xp->SetActive(true);
  Pump();
  ASSERT_TRUE(Styled(hiddenEdit));
  ASSERT_TRUE(Styled(hiddenSpeed));
  const int styled = TControlSubClass::LiveCount();
  delete hiddenEdit;
  EXPECT_EQ(TControlSubClass::LiveCount(), styled - 1);
  delete page;  // takes the speed button with it
  EXPECT_EQ(TControlSubClass::LiveCount(), styled - 2);
  xp->SetActive(false);
}

TEST_F(XPWalk, ADoubleClickIsASecondPressForButtonsAndCheckBoxesOnly) {
  auto* button = Put<TButton>(form, form, 0, 0, 75, 25);
  auto* speed = Put<TSpeedButton>(form, form, 80, 0, 40, 25);
  auto* check = Put<TCheckBox>(form, form, 0, 30, 100, 17);
  auto* radio = Put<TRadioButton>(form, form, 0, 50, 100, 17);
  auto* xp = new TXPStyle(form);
  xp->SetActive(true);
  for (TControl* c : std::vector<TControl*>{button, speed, check, radio}) {
    Recorder r;
    r.Attach(c);
    c->Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 3));
    c->Perform(WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    r.Detach();
    EXPECT_EQ(r.Count(WM_LBUTTONDOWN), c == radio ? 0 : 1) << c->ClassName();
  }
}

TEST_F(XPWalk, TheFirstMessageAfterSwitchingOffRestoresTheControlAndAnswersOne) {
  auto* edit = Put<TEdit>(form, form, 0, 0, 80, 21);
  edit->SetText("12345");
  auto* xp = new TXPStyle(form);
  xp->SetActive(true);
  // Moved where the walk does not look, so that switching off sends it nothing.
  auto* bar = Put<TStatusBar>(form, form, 0, 100, 200, 20);
  edit->SetParent(bar);
  xp->SetActive(false);
  ASSERT_TRUE(Styled(edit));
  EXPECT_EQ(edit->Perform(WM_GETTEXTLENGTH), 1);
  EXPECT_EQ(edit->WindowProc(), edit->OwnWindowProc());
  EXPECT_EQ(edit->Perform(WM_GETTEXTLENGTH), 5);
}

TEST_F(XPWalk, OwnHandlersAreQuietButWhatAStyledContainerPassesOnReachesTheBox) {
  ExceptionCatcher catcher;
  auto* panel = Put<TPanel>(form, form, 0, 0, 200, 100);
  auto* button = Put<TButton>(panel, form, 4, 4, 75, 25);
  auto* label = Put<TLabel>(panel, form, 100, 10, 60, 13);
  label->SetCaption("Status:");
  button->OnClick = [](TObject*) { throw Exception("dropped"); };
  label->OnClick = [](TObject*) { throw Exception("shown"); };
  auto* xp = new TXPStyle(form);
  xp->SetActive(true);
  ASSERT_TRUE(Styled(panel));
  SendMessageA(button->Handle(), BM_CLICK, 0, 0);
  SendMessageA(panel->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(110, 15));
  SendMessageA(panel->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(110, 15));
  ASSERT_EQ(catcher.messages.size(), 1u);
  EXPECT_EQ(catcher.messages[0], "shown");
  // Unstyled again, the button's handler reaches the box like any other.
  xp->SetActive(false);
  SendMessageA(button->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(catcher.messages.size(), 2u);
}

TEST_F(XPWalk, RepaintingLeaksNoFontAndAFrameChangeKeepsTheStyling) {
  auto* edit = Put<TEdit>(form, form, 0, 0, 80, 21);
  auto* button = Put<TButton>(form, form, 0, 30, 75, 25);
  auto* xp = new TXPStyle(form);
  xp->SetActive(true);
  Pump();
  const int fonts = TFont::LiveHandles();
  for (int i = 0; i < 20; ++i) {
    button->Perform(CM_TEXTCHANGED);
    edit->Perform(CM_ENABLEDCHANGED);
  }
  EXPECT_EQ(TFont::LiveHandles(), fonts);
  edit->SetCtl3D(true);  // a frame change: the edit keeps its subclass and gets the flat frame back
  Pump();
  edit->Invalidate();
  Pump();
  EXPECT_TRUE(Styled(edit));
  EXPECT_FALSE(edit->Ctl3D());
}

}  // namespace
