#include "flat/flat_memo.h"

#include "flat/flat_geometry.h"
#include "flat/flat_utils.h"
#include "winui/form.h"

namespace {
constexpr int kFrame = 3;  // pixels of non-client frame on every side
}

TFlatMemo::TFlatMemo(TComponent* AOwner) : TCustomMemo(AOwner) {
  SetParentFont(true);
  SetCtl3D(false);
  SetBorderStyle(bsNone);
  SetBounds(0, 0, 185, 89);
}

void TFlatMemo::HandleCreated() {
  TCustomMemo::HandleCreated();
  // The frame must be measured with our WM_NCCALCSIZE even if the window was made before the
  // handler could see it.
  SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFlatMemo::Loaded() {
  TCustomMemo::Loaded();
  if (Parent()) Perform(CM_PARENTCOLORCHANGED);
}

void TFlatMemo::SetParent(TWinControl* parent) {
  const bool moved = parent != Parent();
  TCustomMemo::SetParent(parent);
  if (moved && parent && !(ComponentState() & csLoading)) Perform(CM_PARENTCOLORCHANGED);
}

void TFlatMemo::SetColors(int index, TColor c) {
  colors_[index] = c;
  if (index == 2) parentColor_ = false;
  RedrawBorder();
}

void TFlatMemo::TakeParentColor() {
  if (Parent()) colors_[2] = Parent()->Color();
}

void TFlatMemo::SetParentColor(bool on) {
  if (on == parentColor_) return;
  parentColor_ = on;
  if (on) {
    TakeParentColor();
    RedrawBorder();
  }
}

void TFlatMemo::SetAdvColors(int index, TAdvColors percent) {
  advColors_[index] = percent;
  if (useAdvColors_) {
    UpdateAdvColors();
    RedrawBorder();
  }
}

void TFlatMemo::SetUseAdvColors(bool on) {
  if (on == useAdvColors_) return;
  useAdvColors_ = on;
  SetParentColor(on);
  UpdateAdvColors();
  RedrawBorder();
}

void TFlatMemo::UpdateAdvColors() {
  if (!useAdvColors_) return;
  colors_[0] = CalcAdvColor(colors_[2], colors_[0], advColors_[0], false);
  colors_[1] = CalcAdvColor(colors_[2], colors_[1], advColors_[1], true);
}

bool TFlatMemo::Hot() {
  if (Focused()) return true;
  // Hovering does not light a memo while any flat memo holds the focus.
  return mouseInControl_ && !dynamic_cast<TFlatMemo*>(Screen->ActiveControl());
}

void TFlatMemo::RedrawBorder() {
  const bool hot = HandleAllocated() && Hot();
  const TColor state = hot ? colors_[0] : colors_[2];
  if (Color() != state) TCustomMemo::SetColor(state);
  // Before the window exists there is no frame to paint; the colour above is all there is.
  if (!HandleAllocated()) return;
  HWND window = Handle();
  HDC dc = GetWindowDC(window);
  if (!dc) return;
  RECT r;
  GetWindowRect(window, &r);
  OffsetRect(&r, -r.left, -r.top);
  HBRUSH border = CreateSolidBrush(ColorToRGB(colors_[1]));
  HBRUSH flat = CreateSolidBrush(ColorToRGB(colors_[2]));
  HBRUSH focused = CreateSolidBrush(ColorToRGB(colors_[0]));
  HBRUSH stateBrush = hot ? focused : flat;
  FrameRect(dc, &r, border);
  InflateRect(&r, -1, -1);
  FrameRect(dc, &r, stateBrush);
  InflateRect(&r, -1, -1);
  FrameRect(dc, &r, stateBrush);
  if (ScrollBars() == ssBoth) {
    const FlatRect c = MemoScrollCorner(FlatRect{r.left, r.top, r.right, r.bottom}, GetSystemMetrics(SM_CXVSCROLL),
                                        GetSystemMetrics(SM_CYHSCROLL));
    const RECT corner{c.Left, c.Top, c.Right, c.Bottom};
    FillRect(dc, &corner, stateBrush);
  }
  ReleaseDC(window, dc);
  DeleteObject(border);
  DeleteObject(flat);
  DeleteObject(focused);
}

void TFlatMemo::WndProc(TMessage& message) {
  switch (message.Msg) {
    case CM_ENABLEDCHANGED:
      TCustomMemo::WndProc(message);
      RedrawBorder();
      return;
    case CM_MOUSEENTER:
      TCustomMemo::WndProc(message);
      // A program in the background does not light up under a passing mouse.
      if (GetActiveWindow()) {
        mouseInControl_ = true;
        RedrawBorder();
      }
      return;
    case CM_MOUSELEAVE:
      TCustomMemo::WndProc(message);
      mouseInControl_ = false;
      RedrawBorder();
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TCustomMemo::WndProc(message);
      RedrawBorder();
      return;
    case WM_NCCALCSIZE: {
      TCustomMemo::WndProc(message);
      // With either form of the message the proposed client rectangle comes first.
      RECT* proposed = reinterpret_cast<RECT*>(message.LParam);
      InflateRect(proposed, -kFrame, -kFrame);
      return;
    }
    case WM_NCPAINT:
      TCustomMemo::WndProc(message);
      RedrawBorder();
      return;
    case CM_SYSCOLORCHANGE:
    case CM_PARENTCOLORCHANGED:
      if (useAdvColors_) {
        TakeParentColor();
        UpdateAdvColors();
      } else if (parentColor_) {
        TakeParentColor();
      }
      RedrawBorder();
      return;
    default: TCustomMemo::WndProc(message);
  }
}
