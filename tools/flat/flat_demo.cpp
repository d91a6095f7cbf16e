// A window that shows every flat control in its states: block and smooth progress bars at
// several positions, vertical, right-to-left, transparent and with an empty range; memos idle,
// focused, with both scroll bars and with derived colours; panels as separator, captioned,
// disabled and transparent. Given a file name, it saves the window as a BMP picture and ends.
#include <windows.h>

#include <cstdio>
#include <string>

#include "flat/flat_memo.h"
#include "flat/flat_panel.h"
#include "flat/flat_progress_bar.h"
#include "tools/flat/save_bmp.h"
#include "winui/form.h"
#include "winui/std_controls.h"

namespace {

class TFlatDemoForm : public TForm {
public:
  explicit TFlatDemoForm(TComponent* AOwner) : TForm(AOwner) {
    BeginLoading();
    SetCaption("Flat controls");
    SetBorderStyle(bsSingle);
    SetBorderIcons(biSystemMenu);
    SetBounds(0, 0, 700, 560);
    SetClientSize(680, 520);
    SetColor(static_cast<TColor>(0xE1EAEB));
    OnPaint = [this](TObject*) {
      // A stripe under the transparent bar and panel shows that their background is the parent's.
      Canvas()->Brush()->SetColor(static_cast<TColor>(0x99CCFF));
      Canvas()->FillRect(RECT{8, 194, 672, 204});
      Canvas()->FillRect(RECT{8, 478, 672, 488});
    };

    int y = 8;
    Caption(8, y, "Progress bars: blocks at 0, 30, 50 and 100 of 100; smooth at 50; right-to-left at 30");
    y += 20;
    for (int pos : {0, 30, 50, 100}) {
      Bar(8, y, 255, 16, false, pos);
      y += 22;
    }
    Bar(290, 28, 255, 16, true, 50);
    auto* rtl = Bar(290, 50, 255, 16, false, 30);
    rtl->SetBiDiMode(bdRightToLeft);
    Caption(290, 72, "Empty range (Max = Min = 0): frame only");
    auto* empty = Bar(290, 92, 255, 16, false, 0);
    empty->SetMax(0);
    Caption(8, 120 + 2 * 22 - 4, "Transparent, over the parent's stripe");
    auto* transparent = Bar(8, 188, 255, 22, false, 60);
    transparent->SetTransparent(true);
    auto* vertical = Bar(600, 8, 16, 201, false, 40);
    vertical->SetOrientation(pbVertical);
    vertical->SetBounds(600, 8, 16, 201);
    auto* verticalSmooth = Bar(630, 8, 16, 201, true, 70);
    verticalSmooth->SetOrientation(pbVertical);
    verticalSmooth->SetBounds(630, 8, 16, 201);
    Caption(560, 212, "vertical");

    auto* sep = new TFlatPanel(this);
    sep->SetParent(this);
    sep->SetBounds(8, 230, 664, 1);

    Caption(8, 240, "Memos: idle, focused, both scroll bars, derived colours");
    const char* texts[] = {"Idle: the frame and\r\nbackground in ColorFlat.",
                           "Focused: ColorFocused\r\ninside the border.",
                           "Both scroll bars;\r\nthe corner square\r\ntakes the state colour.",
                           "UseAdvColors: colours\r\nderived from the parent."};
    for (int i = 0; i < 4; ++i) {
      auto* memo = new TFlatMemo(this);
      memo->SetParent(this);
      memo->SetBounds(8 + i * 166, 260, 158, 89);
      memo->SetReadOnly(false);
      memo->SetScrollBars(i == 2 ? ssBoth : ssNone);
      memo->SetWordWrap(i != 2);
      memo->Lines()->SetText(texts[i]);
      if (i == 3) memo->SetUseAdvColors(true);
      memo->SetParentColor(true);
      if (i == 1) focusMemo = memo;
    }

    Caption(8, 360, "Panels: separator, captioned, disabled (embossed), transparent");
    auto* line = new TFlatPanel(this);
    line->SetParent(this);
    line->SetBounds(8, 380, 664, 1);
    Panel(8, 392, "Caption, centred", true, false)->SetColor(clWindow);
    auto* left = Panel(236, 392, "Left, own frame colours", true, false);
    left->SetAlignment(taLeftJustify);
    left->SetColorHighLight(clBtnHighlight);
    left->SetColorShadow(clBtnShadow);
    Panel(464, 392, "Disabled caption", false, false);
    Panel(8, 462, "Transparent over the stripe", true, true);
    EndLoading();
  }

  TFlatMemo* focusMemo = nullptr;

private:
  void Caption(int x, int y, const char* text) {
    auto* l = new TLabel(this);
    l->SetParent(this);
    l->SetLeft(x);
    l->SetTop(y);
    l->SetCaption(text);
  }
  TFlatProgressBar* Bar(int x, int y, int w, int h, bool smooth, int pos) {
    auto* bar = new TFlatProgressBar(this);
    bar->SetParent(this);
    bar->SetBounds(x, y, w, h);
    bar->SetSmooth(smooth);
    bar->SetPosition(pos);
    return bar;
  }
  TFlatPanel* Panel(int x, int y, const char* caption, bool enabled, bool transparent) {
    auto* p = new TFlatPanel(this);
    p->SetParent(this);
    p->SetBounds(x, y, 208, 41);
    p->SetCaption(caption);
    p->SetEnabled(enabled);
    p->SetTransparent(transparent);
    return p;
  }
};

}  // namespace

int main(int argc, char** argv) {
  Application->SetTitle("Flat controls");
  TFlatDemoForm* form = nullptr;
  Application->CreateForm(form);
  return ShowOrSave(form, argc, argv, [form] { ::SetFocus(form->focusMemo->Handle()); });
}
