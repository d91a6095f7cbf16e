// The replaceable window procedure and the component messages it must see: a styling
// component later sits in front of controls this way and relies on every one of these.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/winui/ui_test_util.h"

namespace {

class TProcForm : public TForm {
public:
  explicit TProcForm(TComponent* owner) : TForm(owner) {
    SetCaption("WindowProc form");
    SetBorderStyle(bsSingle);
    SetClientSize(300, 200);
    Edit1 = new TEdit(this);
    Edit1->SetParent(this);
    Edit1->SetBounds(8, 8, 120, 21);
    Edit2 = new TEdit(this);
    Edit2->SetParent(this);
    Edit2->SetBounds(8, 40, 120, 21);
    SpeedButton1 = new TSpeedButton(this);
    SpeedButton1->SetParent(this);
    SpeedButton1->SetBounds(150, 8, 100, 25);
    SpeedButton1->SetCaption("Flat");
    SpeedButton1->SetFlat(true);
  }
  TEdit* Edit1;
  TEdit* Edit2;
  TSpeedButton* SpeedButton1;
};

TEST(WndMethod, ComparesByCodeAndObject) {
  Recorder a, b;
  const TWndMethod ma = TWndMethod::Of<&Recorder::Proc>(&a);
  EXPECT_EQ(ma, TWndMethod::Of<&Recorder::Proc>(&a));
  EXPECT_NE(ma, TWndMethod::Of<&Recorder::Proc>(&b));
  EXPECT_EQ(ma.code(), TWndMethod::Of<&Recorder::Proc>(&b).code());
  EXPECT_EQ(ma.object(), &a);
  EXPECT_FALSE(TWndMethod());
}

TEST(WindowProc, AReplacedProcedureSeesNativeAndComponentMessagesFirst) {
  Recorder rec;  // outlives the forms: it sits in front of a control until the end
  FormsGuard guard;
  TProcForm* form = nullptr;
  Application->CreateForm(form);
  form->Show();
  rec.Attach(form->Edit1);
  EXPECT_EQ(form->Edit1->WindowProc(), TWndMethod::Of<&Recorder::Proc>(&rec));

  form->Edit1->SetEnabled(false);
  EXPECT_TRUE(rec.Saw(CM_ENABLEDCHANGED));
  EXPECT_FALSE(IsWindowEnabled(form->Edit1->Handle()));
  form->Edit1->SetEnabled(true);

  form->Edit1->SetText("abc");
  EXPECT_TRUE(rec.Saw(WM_SETTEXT));
  EXPECT_TRUE(rec.Saw(CM_TEXTCHANGED));
  EXPECT_EQ(form->Edit1->Text(), "abc");

  form->Edit1->Invalidate();
  EXPECT_TRUE(rec.Saw(CM_INVALIDATE));

  // Native messages reach the replacement before the control handles them.
  SendMessageA(form->Edit1->Handle(), WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_TRUE(rec.Saw(WM_KEYDOWN));

  // Putting the saved procedure back ends the interception.
  form->Edit1->SetWindowProc(rec.saved);
  rec.seen.clear();
  form->Edit1->SetText("xyz");
  EXPECT_TRUE(rec.seen.empty());
}

TEST(WindowProc, FocusMovesSendExitEnterAndFocusChanged) {
  Recorder r1, r2, rb;
  FormsGuard guard;
  TProcForm* form = nullptr;
  Application->CreateForm(form);
  form->Show();
  PumpFor(30);
  r1.Attach(form->Edit1);
  r2.Attach(form->Edit2);
  rb.Attach(form->SpeedButton1);
  int enters = 0, exits = 0;
  form->Edit2->OnEnter = [&](TObject*) { ++enters; };
  form->Edit1->OnExit = [&](TObject*) { ++exits; };
  form->Edit1->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return form->ActiveControl() == form->Edit1; }));
  r1.seen.clear();
  r2.seen.clear();
  rb.seen.clear();
  form->Edit2->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return form->ActiveControl() == form->Edit2; }));
  EXPECT_TRUE(r1.Saw(CM_EXIT));
  EXPECT_FALSE(r1.Saw(CM_ENTER));
  EXPECT_TRUE(r2.Saw(CM_ENTER));
  EXPECT_EQ(enters, 1);
  EXPECT_EQ(exits, 1);
  // Every control of the form hears of the change, windowless ones too.
  EXPECT_TRUE(r1.Saw(CM_FOCUSCHANGED));
  EXPECT_TRUE(r2.Saw(CM_FOCUSCHANGED));
  EXPECT_TRUE(rb.Saw(CM_FOCUSCHANGED));
  EXPECT_EQ(Screen->ActiveControl(), form->Edit2);
}

TEST(WindowProc, MouseEnterAndLeaveReachWindowedAndWindowlessControls) {
  Recorder re, rb;
  FormsGuard guard;
  TProcForm* form = nullptr;
  Application->CreateForm(form);
  form->Show();
  re.Attach(form->Edit1);
  rb.Attach(form->SpeedButton1);
  HWND f = form->Handle();
  // Into the edit, then onto the speed button (a part of the form's window), then onto bare form.
  SendMessageA(form->Edit1->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(re.Count(CM_MOUSEENTER), 1);
  SendMessageA(f, WM_MOUSEMOVE, 0, MAKELPARAM(160, 12));
  EXPECT_EQ(re.Count(CM_MOUSELEAVE), 1);
  EXPECT_EQ(rb.Count(CM_MOUSEENTER), 1);
  EXPECT_TRUE(form->SpeedButton1->MouseInControl());
  SendMessageA(f, WM_MOUSEMOVE, 0, MAKELPARAM(170, 14));
  EXPECT_EQ(rb.Count(CM_MOUSEENTER), 1);  // moving inside is no new enter
  SendMessageA(f, WM_MOUSEMOVE, 0, MAKELPARAM(280, 150));
  EXPECT_EQ(rb.Count(CM_MOUSELEAVE), 1);
  EXPECT_FALSE(form->SpeedButton1->MouseInControl());
  // Leaving the form's window altogether ends the hover of a windowless control.
  SendMessageA(f, WM_MOUSEMOVE, 0, MAKELPARAM(160, 12));
  SendMessageA(f, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(rb.Count(CM_MOUSELEAVE), 2);
}

TEST(WindowProc, WindowlessControlsGetTheirMessagesThroughTheProperty) {
  Recorder rb;
  FormsGuard guard;
  TProcForm* form = nullptr;
  Application->CreateForm(form);
  form->Show();
  rb.Attach(form->SpeedButton1);
  form->SpeedButton1->Invalidate();
  UpdateWindow(form->Handle());
  EXPECT_TRUE(rb.Saw(WM_PAINT));
  SendMessageA(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(160, 12));
  SendMessageA(form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(160, 12));
  EXPECT_TRUE(rb.Saw(WM_LBUTTONDOWN));
  EXPECT_TRUE(rb.Saw(WM_LBUTTONUP));
  form->SpeedButton1->SetEnabled(false);
  EXPECT_TRUE(rb.Saw(CM_ENABLEDCHANGED));
  form->SpeedButton1->SetCaption("x");
  EXPECT_TRUE(rb.Saw(CM_TEXTCHANGED));
}

TEST(WindowProc, Ctl3DChangesTheEditFrameInPlaceAndTellsTheProcedure) {
  Recorder rec;
  FormsGuard guard;
  TProcForm* form = nullptr;
  Application->CreateForm(form);
  rec.Attach(form->Edit1);
  HWND before = form->Edit1->Handle();
  EXPECT_NE(GetWindowLongPtrA(before, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  form->Edit1->SetCtl3D(false);
  EXPECT_EQ(form->Edit1->Handle(), before);  // same window: whoever sits in front stays there
  EXPECT_EQ(GetWindowLongPtrA(before, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  EXPECT_NE(GetWindowLongPtrA(before, GWL_STYLE) & WS_BORDER, 0);
  EXPECT_TRUE(rec.Saw(CM_CTL3DCHANGED));
  form->Edit1->SetBorderStyle(bsNone);
  EXPECT_EQ(GetWindowLongPtrA(before, GWL_STYLE) & WS_BORDER, 0);
  // Children that follow their parent's Ctl3D hear of it.
  Recorder rec2;
  rec2.Attach(form->Edit2);
  form->SetCtl3D(false);
  EXPECT_TRUE(rec2.Saw(CM_PARENTCTL3DCHANGED));
  EXPECT_FALSE(form->Edit2->Ctl3D());
  form->Edit2->SetWindowProc(rec2.saved);
  form->Edit1->SetWindowProc(TWndMethod());  // empty: back to its own
  EXPECT_EQ(form->Edit1->WindowProc(), form->Edit1->OwnWindowProc());
}

TEST(WindowProc, ParentColourReachesChildrenThatFollowIt) {
  Recorder rl;
  FormsGuard guard;
  TProcForm* form = nullptr;
  Application->CreateForm(form);
  auto* panel = new TPanel(form);
  panel->SetParent(form);
  panel->SetBounds(0, 100, 100, 50);
  auto* label = new TLabel(form);
  label->SetParent(panel);
  rl.Attach(label);
  EXPECT_TRUE(label->ParentColor());
  panel->SetColor(clMoneyGreen);
  EXPECT_TRUE(rl.Saw(CM_PARENTCOLORCHANGED));
  EXPECT_EQ(label->Color(), clMoneyGreen);
  // A control with its own colour keeps it.
  label->SetColor(clRed);
  EXPECT_FALSE(label->ParentColor());
  panel->SetColor(clWhite);
  EXPECT_EQ(label->Color(), clRed);
}

}  // namespace
