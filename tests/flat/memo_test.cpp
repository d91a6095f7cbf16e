// The flat memo's frame and colours in a real window: idle, hot through the focus or the mouse,
// and the rules that keep a hovered memo idle.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "flat/flat_memo.h"
#include "flat/flat_utils.h"
#include "winui/extra_controls.h"
#include "tests/flat/screen.h"

namespace {

class FlatMemoTest : public FormTest {
protected:
  FlatMemoTest() : FormTest(clBtnFace) {}
  void SetUp() override {
    FormTest::SetUp();
    // The looks must be told apart: the memo's own idle colour and the system colours used.
    ASSERT_NE(Rgb(kFlat), Rgb(clWindow));
    ASSERT_NE(Rgb(kFlat), Rgb(clBtnShadow));
    ASSERT_NE(Rgb(kFlat), Rgb(clBtnFace));
    ASSERT_NE(Rgb(clWindow), Rgb(clBtnShadow));
  }
  static constexpr TColor kFlat = 0xE1EAEB;

  TFlatMemo* NewMemo(int left, int top, TScrollStyle bars = ssNone) {
    auto* memo = new TFlatMemo(form);
    memo->SetParent(form);
    memo->SetLeft(left);
    memo->SetTop(top);
    memo->SetScrollBars(bars);
    memo->SetColorFlat(kFlat);
    memo->SetColorFocused(clWindow);
    memo->SetColorBorder(clBtnShadow);
    Pump();
    return memo;
  }

  // Outer ring, the two inner rings and the text background, read from the window itself.
  struct Look {
    COLORREF outer, ring1, ring2, text;
  };
  Look LookOf(TFlatMemo* memo) {
    Snapshot shot(memo->Handle(), true);
    return {shot.At(0, 0), shot.At(1, 1), shot.At(2, 2), shot.At(50, 40)};
  }
  void ExpectIdle(TFlatMemo* memo) {
    const Look l = LookOf(memo);
    EXPECT_EQ(l.outer, Rgb(clBtnShadow));
    EXPECT_EQ(l.ring1, Rgb(kFlat));
    EXPECT_EQ(l.ring2, Rgb(kFlat));
    EXPECT_EQ(l.text, Rgb(kFlat));
  }
  void ExpectHot(TFlatMemo* memo) {
    const Look l = LookOf(memo);
    EXPECT_EQ(l.outer, Rgb(clBtnShadow));
    EXPECT_EQ(l.ring1, Rgb(clWindow));
    EXPECT_EQ(l.ring2, Rgb(clWindow));
    EXPECT_EQ(l.text, Rgb(clWindow));
  }
};

TEST_F(FlatMemoTest, NewMemoReservesAThreePixelFrameInsteadOfTheStandardBorder) {
  TFlatMemo* memo = NewMemo(10, 10);
  EXPECT_EQ(memo->Width(), 185);
  EXPECT_EQ(memo->Height(), 89);
  const LONG_PTR style = GetWindowLongPtr(memo->Handle(), GWL_STYLE);
  const LONG_PTR exStyle = GetWindowLongPtr(memo->Handle(), GWL_EXSTYLE);
  EXPECT_EQ(style & WS_BORDER, 0);
  EXPECT_EQ(exStyle & WS_EX_CLIENTEDGE, 0);
  RECT client;
  GetClientRect(memo->Handle(), &client);
  EXPECT_EQ(client.right, 185 - 6);
  EXPECT_EQ(client.bottom, 89 - 6);
  TFlatMemo* scrolled = NewMemo(210, 10, ssVertical);
  GetClientRect(scrolled->Handle(), &client);
  EXPECT_EQ(client.right, 185 - 6 - GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(client.bottom, 89 - 6);
}

TEST_F(FlatMemoTest, FrameIsIdleUntilTheMemoTakesTheFocus) {
  TFlatMemo* memo = NewMemo(10, 10);
  TFlatMemo* other = NewMemo(210, 10);  // read-only, as both programs show their memos
  other->SetReadOnly(true);
  other->Lines()->SetText("read only");
  Pump();
  ExpectIdle(memo);
  ExpectIdle(other);
  ::SetFocus(memo->Handle());
  Pump();
  ExpectHot(memo);
  ExpectIdle(other);
  ::SetFocus(other->Handle());
  Pump();
  ExpectIdle(memo);
  ExpectHot(other);
}

TEST_F(FlatMemoTest, HoverLightsTheMemoOnlyWhileNoFlatMemoHoldsTheFocus) {
  TFlatMemo* a = NewMemo(10, 10);
  TFlatMemo* b = NewMemo(210, 10);
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetBounds(10, 200, 100, 21);
  ::SetFocus(a->Handle());
  Pump();
  b->Perform(CM_MOUSEENTER);
  Pump();
  EXPECT_TRUE(b->MouseInControl());
  ExpectIdle(b);  // another flat memo has the focus
  b->Perform(CM_MOUSELEAVE);
  ::SetFocus(edit->Handle());
  Pump();
  b->Perform(CM_MOUSEENTER);
  Pump();
  ExpectHot(b);  // the focus sits on a control of another kind
  b->Perform(CM_MOUSELEAVE);
  Pump();
  EXPECT_FALSE(b->MouseInControl());
  ExpectIdle(b);
}

TEST_F(FlatMemoTest, TheRealMousePointerLightsAndLeavesTheMemo) {
  TFlatMemo* memo = NewMemo(10, 10);
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetBounds(10, 200, 100, 21);
  ::SetFocus(edit->Handle());
  POINT outside{300, 250}, inside{60, 50};
  ClientToScreen(form->Handle(), &outside);
  ClientToScreen(form->Handle(), &inside);
  SetCursorPos(outside.x, outside.y);
  Pump();
  SetCursorPos(inside.x, inside.y);
  for (int i = 0; i < 50 && !memo->MouseInControl(); ++i) {
    Pump();
    Sleep(10);
  }
  ASSERT_TRUE(memo->MouseInControl());
  ExpectHot(memo);
  SetCursorPos(outside.x, outside.y);
  for (int i = 0; i < 50 && memo->MouseInControl(); ++i) {
    Pump();
    Sleep(10);
  }
  EXPECT_FALSE(memo->MouseInControl());
  ExpectIdle(memo);
}

TEST_F(FlatMemoTest, MouseEnterIsIgnoredWhileTheProgramIsInTheBackground) {
  TFlatMemo* memo = NewMemo(10, 10);
  // Another thread's window takes the activation away from this thread, and keeps it while
  // the memo is checked.
  std::atomic<bool> shown{false}, done{false};
  std::thread other([&] {
    HWND foreign = CreateWindowExA(0, "STATIC", "elsewhere", WS_POPUP | WS_VISIBLE, 600, 400, 100, 50, nullptr, nullptr,
                                   GetModuleHandle(nullptr), nullptr);
    SetForegroundWindow(foreign);
    shown = true;
    MSG msg;
    while (!done) {
      while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
      Sleep(5);
    }
    DestroyWindow(foreign);
  });
  while (!shown) Sleep(5);
  Pump();
  EXPECT_EQ(GetActiveWindow(), nullptr);
  memo->Perform(CM_MOUSEENTER);
  EXPECT_FALSE(memo->MouseInControl());
  Pump();
  ExpectIdle(memo);
  done = true;
  other.join();
  // Back in the foreground the mouse lights it, and leaving always clears the hot state.
  SetForegroundWindow(form->Handle());
  Pump();
  ASSERT_NE(GetActiveWindow(), nullptr);
  memo->Perform(CM_MOUSEENTER);
  Pump();
  ExpectHot(memo);
  memo->Perform(CM_MOUSELEAVE);
  Pump();
  ExpectIdle(memo);
}

TEST_F(FlatMemoTest, DisabledChangeAndRepaintKeepTheFrame) {
  TFlatMemo* memo = NewMemo(10, 10);
  memo->SetEnabled(false);
  Pump();
  EXPECT_EQ(LookOf(memo).outer, Rgb(clBtnShadow));
  EXPECT_EQ(LookOf(memo).ring1, Rgb(kFlat));
  RedrawWindow(memo->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  Pump();
  EXPECT_EQ(LookOf(memo).outer, Rgb(clBtnShadow));
}

TEST_F(FlatMemoTest, ParentColourAfterColorFlatReplacesIt) {
  auto* memo = new TFlatMemo(form);
  memo->SetParent(form);
  EXPECT_TRUE(memo->ParentColor());
  memo->SetColorFlat(kFlat);
  EXPECT_FALSE(memo->ParentColor());
  EXPECT_EQ(memo->ColorFlat(), kFlat);
  memo->SetParentColor(true);  // as a layout stores them, in this order
  EXPECT_EQ(memo->ColorFlat(), form->Color());
  memo->SetParentColor(false);
  EXPECT_EQ(memo->ColorFlat(), form->Color());
  // Following the parent: a new parent colour reaches the idle colour.
  memo->SetParentColor(true);
  form->SetColor(clBtnHighlight);
  EXPECT_EQ(memo->ColorFlat(), clBtnHighlight);
}

TEST_F(FlatMemoTest, LayoutEndsWithTheParentColourOnlyWhereParentColorIsStoredTrue) {
  form->BeginLoading();
  auto* following = new TFlatMemo(form);  // stores nothing but ParentColor = True
  following->SetParent(form);
  following->SetParentColor(true);
  auto* own = new TFlatMemo(form);  // stores ColorFlat and ParentColor = False
  own->SetParent(form);
  own->SetColorFlat(clWindow);
  own->SetParentColor(false);
  EXPECT_EQ(following->ColorFlat(), kFlat);  // nothing copied while the layout loads
  form->EndLoading();
  EXPECT_EQ(following->ColorFlat(), clBtnFace);
  EXPECT_EQ(own->ColorFlat(), clWindow);
}

TEST_F(FlatMemoTest, AdvancedColoursComeFromTheParentColour) {
  form->SetColor(static_cast<TColor>(0xE1EAEB));
  auto* memo = new TFlatMemo(form);
  memo->SetParent(form);
  memo->SetColorFlat(clBlack);  // turning the derived colours on takes the parent's colour first
  memo->SetUseAdvColors(true);
  EXPECT_TRUE(memo->ParentColor());
  EXPECT_EQ(memo->ColorFlat(), static_cast<TColor>(0xE1EAEB));
  EXPECT_EQ(memo->ColorFocused(), static_cast<TColor>(0xFAFBFC));
  EXPECT_EQ(memo->ColorBorder(), static_cast<TColor>(0xADC6C9));
  memo->SetAdvColorFocused(0);  // 0 keeps the colour it has
  EXPECT_EQ(memo->ColorFocused(), static_cast<TColor>(0xFAFBFC));
  form->SetColor(clBtnFace);  // a system colour is resolved before the lightness moves
  EXPECT_EQ(memo->ColorFlat(), clBtnFace);
  EXPECT_EQ(memo->ColorBorder(), CalcAdvColor(clBtnFace, 0, 50, true));
  EXPECT_NE(memo->ColorBorder(), static_cast<TColor>(0xADC6C9));
  Pump();
  EXPECT_EQ(Snapshot(memo->Handle(), true).At(0, 0), Rgb(memo->ColorBorder()));
}

TEST_F(FlatMemoTest, ScrollBarCornerTakesTheStateColourAtTheSystemScrollBarSize) {
  TFlatMemo* both = NewMemo(10, 10, ssBoth);
  TFlatMemo* vertical = NewMemo(210, 10, ssVertical);
  const int cx = GetSystemMetrics(SM_CXVSCROLL), cy = GetSystemMetrics(SM_CYHSCROLL);
  Snapshot shot(both->Handle(), true);
  // The corner square reaches from the client area's edge to the third ring, whatever the bar size.
  const RECT corner{185 - 3 - cx, 89 - 3 - cy, 185 - 3, 89 - 3};
  EXPECT_EQ(shot.Count(corner, Rgb(kFlat)), cx * cy);
  Snapshot plain(vertical->Handle(), true);
  // Without a horizontal bar there is no corner square: the vertical bar's arrow stays.
  EXPECT_LT(plain.Count(corner, Rgb(kFlat)), cx * cy);
  ::SetFocus(both->Handle());
  Pump();
  EXPECT_EQ(Snapshot(both->Handle(), true).Count(corner, Rgb(clWindow)), cx * cy);
}

}  // namespace

namespace {

// Dispatches what is waiting for a while, however much keeps coming: a window that invalidates
// itself while painting must fail the checks, not hang them.
void DispatchFor(int ms) {
  const DWORD start = GetTickCount();
  MSG msg;
  while (static_cast<int>(GetTickCount() - start) < ms) {
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }
}

TEST_F(FlatMemoTest, ReadOnlyMemoNextToAPictureShowsItsTextOnItsStateColour) {
  const char* text = "Wer lesen kann, ist klar im Vorteil.\r\nZweite Zeile WWWW MMMM\r\nDritte Zeile";
  TFlatMemo* plain = NewMemo(10, 10);
  TFlatMemo* scrolled = NewMemo(210, 10, ssVertical);
  for (TFlatMemo* memo : {plain, scrolled}) {
    memo->SetReadOnly(true);
    memo->SetColorFocused(clCream);
    memo->SetColorFlat(clBtnFace);
    memo->SetText(text);
  }
  // A picture on the same form, as on the about box; painting it must not keep the form busy.
  auto* image = new TImage(form);
  image->SetParent(form);
  image->SetBounds(10, 250, 64, 32);
  std::vector<uint32_t> stripes(64 * 32);
  for (size_t i = 0; i < stripes.size(); ++i) stripes[i] = (i / 4) % 2 ? 0x2040A0 : 0xF0C040;
  image->Picture()->Bitmap()->LoadFromBits(64, 32, stripes.data());
  RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  DispatchFor(400);
  for (TFlatMemo* memo : {plain, scrolled}) {
    SCOPED_TRACE(memo == plain ? "plain" : "scrolled");
    const COLORREF idle = ColorToRGB(memo->Color()) & 0xFFFFFF;
    ASSERT_EQ(idle, Rgb(clBtnFace));
    Snapshot shot(memo->Handle());
    const RECT all{0, 0, shot.Width(), shot.Height()};
    const int total = shot.Width() * shot.Height();
    EXPECT_EQ(shot.At(shot.Width() - 3, shot.Height() - 3), idle);
    EXPECT_GT(shot.Count(all, idle), total / 2);
    EXPECT_GT(total - shot.Count(all, idle), 50);  // the glyphs
    // Focused, the memo shows its text on the focus colour.
    ::SetFocus(memo->Handle());
    DispatchFor(300);
    const COLORREF hot = ColorToRGB(memo->Color()) & 0xFFFFFF;
    ASSERT_EQ(hot, Rgb(clCream));
    Snapshot lit(memo->Handle());
    EXPECT_EQ(lit.At(lit.Width() - 3, lit.Height() - 3), hot);
    EXPECT_GT(lit.Count(all, hot), total / 2);
    EXPECT_GT(total - lit.Count(all, hot), 50);
  }
}

}  // namespace
