// A window with every control kind the XP-style component styles, in its states: idle, hot,
// focused, pressed, disabled, checked, default button, see-through and flat speed buttons, and
// right to left; and above them a menu bar, a tool bar and a control bar, with a popup menu
// that opens beside them. The states are set by the messages that cause them, after the window
// is shown. Given a file name, it saves the window with the popup menu open and ends.
#include <windows.h>

#include <string>
#include <vector>

#include "tools/flat/save_bmp.h"
#include "winui/winui.h"
#include "xpstyle/xp_style.h"

namespace {

// A 16 x 16 glyph: a blue square with a white bar, on a magenta key.
void DemoGlyph(TBitmap& glyph) {
  std::vector<uint32_t> px(16 * 16, 0xFF00FF);
  for (int y = 2; y < 14; ++y)
    for (int x = 2; x < 14; ++x) px[y * 16 + x] = (y >= 7 && y <= 8 && x >= 4 && x <= 11) ? 0xFFFFFF : 0x2060C0;
  glyph.LoadFromBits(16, 16, px.data());
}

class TXPDemoForm : public TForm {
public:
  explicit TXPDemoForm(TComponent* AOwner) : TForm(AOwner) {
    BeginLoading();
    SetCaption("XP-style controls");
    SetBorderStyle(bsSingle);
    SetBorderIcons(biSystemMenu);
    SetBounds(0, 0, 920, 580);
    SetClientSize(900, 530);
    DemoGlyph(glyph_);
    Bars();
    OnPaint = [this](TObject*) {
      // A stripe under the see-through speed buttons shows that they tint what lies below.
      Canvas()->Brush()->SetColor(static_cast<TColor>(0x99CCFF));
      Canvas()->FillRect(RECT{96, 322 + kTop, 560, 332 + kTop});
    };

    Row(8, "Edits: idle, focused, hot, disabled, memo without border, rich edit");
    edits = {Add<TEdit>(8, 26, 100, 21), Add<TEdit>(116, 26, 100, 21), Add<TEdit>(224, 26, 100, 21),
             Add<TEdit>(332, 26, 100, 21)};
    const char* texts[] = {"idle", "focused", "hot", "disabled"};
    for (size_t i = 0; i < edits.size(); ++i) edits[i]->SetText(texts[i]);
    edits[3]->SetEnabled(false);
    auto* memo = Add<TMemo>(440, 26, 140, 40);
    memo->SetBorderStyle(bsNone);
    memo->SetText("memo, no border");
    auto* rich = Add<TRichEdit>(590, 26, 140, 40);
    rich->SetText("rich edit");

    Row(74, "Combo boxes: idle, hot, disabled, drop-down list");
    for (int i = 0; i < 4; ++i) {
      auto* combo = Add<TComboBox>(8 + i * 120, 92, 110, 21);
      combo->Items()->Add("Eintrag");
      combo->SetItemIndex(0);
      if (i == 3) combo->SetStyle(csDropDownList);
      combos.push_back(combo);
    }
    combos[2]->SetEnabled(false);

    Row(124, "Push buttons: idle, hot, pressed, disabled, default; bit buttons: glyph left, glyph on top");
    const char* captions[] = {"Idle", "Hot", "Pressed", "Disabled", "Default"};
    for (int i = 0; i < 5; ++i) {
      auto* b = Add<TButton>(8 + i * 84, 142, 76, 25);
      b->SetCaption(captions[i]);
      buttons.push_back(b);
    }
    buttons[3]->SetEnabled(false);
    buttons[4]->SetDefault(true);
    auto* bit = Add<TBitBtn>(430, 142, 90, 25);
    bit->SetCaption("Glyph");
    bit->SetGlyph(glyph_);
    auto* bitTop = Add<TBitBtn>(530, 140, 90, 38);
    bitTop->SetCaption("Oben");
    bitTop->SetGlyph(glyph_);
    bitTop->SetLayout(blGlyphTop);
    bitTop->SetSpacing(1);

    Row(182, "Check boxes and radio buttons: idle, checked, hot, disabled, right to left");
    const char* checks[] = {"idle", "checked", "hot", "disabled", "rechts"};
    for (int i = 0; i < 5; ++i) {
      auto* c = Add<TCheckBox>(8 + i * 110, 200, 100, 17);
      c->SetCaption(checks[i]);
      checkBoxes.push_back(c);
      auto* r = new TRadioButton(this);
      r->SetParent(i == 0 ? static_cast<TWinControl*>(this) : radioPanels(i));
      r->SetBounds(i == 0 ? 8 : 2, i == 0 ? 222 + kTop : 2, 100, 17);
      r->SetCaption(checks[i]);
      radios.push_back(r);
    }
    checkBoxes[1]->SetChecked(true);
    checkBoxes[2]->SetChecked(true);
    checkBoxes[3]->SetChecked(true);
    checkBoxes[3]->SetEnabled(false);
    checkBoxes[4]->SetBiDiMode(bdRightToLeft);
    radios[1]->SetChecked(true);
    radios[2]->SetChecked(true);
    radios[3]->SetChecked(true);
    radios[3]->SetEnabled(false);
    radios[4]->SetBiDiMode(bdRightToLeft);

    Row(250, "Speed buttons: idle, hot, down, down and hot, disabled, flat, flat hot; see-through over the stripe");
    const char* speeds[] = {"Idle", "Hot", "Down", "Down hot", "Disabled", "Flat", "Flat hot"};
    for (int i = 0; i < 7; ++i) {
      auto* s = Add<TSpeedButton>(8 + i * 88, 268, 82, 24);
      s->SetCaption(speeds[i]);
      s->SetTransparent(false);
      speedButtons.push_back(s);
    }
    speedButtons[2]->SetDown(true);
    speedButtons[3]->SetDown(true);
    speedButtons[4]->SetEnabled(false);
    speedButtons[4]->SetGlyph(glyph_);
    speedButtons[5]->SetFlat(true);
    speedButtons[6]->SetFlat(true);
    const char* see[] = {"idle", "hot", "flat", "flat hot", "Glyph"};
    for (int i = 0; i < 5; ++i) {
      auto* s = Add<TSpeedButton>(96 + i * 92, 300, 86, 28);
      s->SetCaption(see[i]);
      s->SetFlat(i == 2 || i == 3);
      if (i == 4) s->SetGlyph(glyph_);
      seeThrough.push_back(s);
    }

    Row(346, "Group boxes (left to right, right to left) and panels (raised, lowered, inner bevel)");
    auto* group = Add<TGroupBox>(8, 364, 170, 100);
    group->SetCaption("Gruppe");
    auto* inner = new TEdit(this);
    inner->SetParent(group);
    inner->SetBounds(10, 24, 120, 21);
    inner->SetText("in the group");
    rtlGroup = Add<TGroupBox>(186, 364, 170, 100);
    rtlGroup->SetCaption("rechts nach links");
    rtlGroup->SetBiDiMode(bdRightToLeft);
    auto* raised = Add<TPanel>(364, 364, 110, 44);
    raised->SetCaption("erhaben");
    auto* lowered = Add<TPanel>(482, 364, 110, 44);
    lowered->SetCaption("vertieft");
    lowered->SetBevelOuter(bvLowered);
    auto* both = Add<TPanel>(600, 364, 130, 44);
    both->SetCaption("innen");
    both->SetBevelInner(bvLowered);
    both->SetBorderWidth(3);

    XPStyle1 = new TXPStyle(this);
    XPStyle1->SetActive(true);
    EndLoading();
  }

  // Menus, a tool bar and a control bar; the images come from one list.
  void Bars() {
    Images = new TImageList(this);
    for (uint32_t color : {0x2060C0u, 0xC03020u, 0x20A040u}) {
      std::vector<uint32_t> px(16 * 16, 0xFF00FF);
      for (int y = 2; y < 14; ++y)
        for (int x = 2; x < 14; ++x) px[y * 16 + x] = color;
      TBitmap b;
      b.LoadFromBits(16, 16, px.data());
      Images->AddMasked(&b, static_cast<TColor>(0xFF00FF));
    }
    MainMenu1 = new TMainMenu(this);
    MainMenu1->SetName("MainMenu1");
    MainMenu1->SetImages(Images);
    TMenuItem* file = Item(MainMenu1->Items(), "&Datei");
    Item(file, "Öffnen", 0, ShortCut('O', ssCtrl));
    Item(file, "Beenden");
    Item(MainMenu1->Items(), "&Bearbeiten");
    Item(MainMenu1->Items(), "&Hilfe");
    SetMenu(MainMenu1);

    PopupMenu1 = new TPopupMenu(this);
    PopupMenu1->SetImages(Images);
    Item(PopupMenu1->Items(), "Öffnen...", 0, ShortCut('O', ssCtrl));
    TMenuItem* save = Item(PopupMenu1->Items(), "Speichern", 1, ShortCut('S', ssCtrl));
    save->SetDefault(true);
    Item(PopupMenu1->Items(), "-");
    Item(PopupMenu1->Items(), "Mit Häkchen")->SetChecked(true);
    TMenuItem* radio = Item(PopupMenu1->Items(), "Auswahl");
    radio->SetRadioItem(true);
    radio->SetChecked(true);
    Item(PopupMenu1->Items(), "Gesperrt", 2)->SetEnabled(false);
    Item(PopupMenu1->Items(), "-");
    Item(PopupMenu1->Items(), "Eigenschaften", -1, ShortCut(VK_RETURN, ssAlt));

    ToolBar1 = new TToolBar(this);
    ToolBar1->SetParent(this);
    ToolBar1->SetBounds(4, 4, 330, 32);
    ToolBar1->SetImages(Images);
    const struct {
      TToolButtonStyle style;
      int image;
      intptr_t tag;
    } buttons[] = {{tbsButton, 0, 0}, {tbsCheck, 1, 0},      {tbsSeparator, -1, 1}, {tbsDropDown, 2, 0},
                   {tbsButton, 1, 0}, {tbsSeparator, -1, 0}, {tbsButton, 2, 0},     {tbsButton, 0, 0}};
    for (const auto& b : buttons) {
      auto* button = new TToolButton(this);
      button->SetStyle(b.style);
      button->SetImageIndex(b.image);
      button->SetTag(b.tag);
      button->SetToolBar(ToolBar1);
      toolButtons.push_back(button);
    }
    toolButtons[1]->SetDown(true);
    toolButtons[3]->SetDropdownMenu(PopupMenu1);
    toolButtons[6]->SetEnabled(false);
    toolButtons[7]->SetIndeterminate(true);
    auto* combo = new TComboBox(this);
    combo->SetParent(ToolBar1);
    combo->SetBounds(226, 4, 96, 21);
    combo->Items()->Add("auf der Leiste");
    combo->SetItemIndex(0);

    ControlBar1 = new TControlBar(this);
    ControlBar1->SetParent(this);
    ControlBar1->SetBounds(344, 2, 300, 38);
    auto* band = new TEdit(this);
    band->SetParent(ControlBar1);
    band->SetBounds(20, 8, 120, 21);
    band->SetText("ein Band");
    auto* band2 = new TEdit(this);
    band2->SetParent(ControlBar1);
    band2->SetBounds(168, 8, 120, 21);
    band2->SetText("noch ein Band");
  }

  // What only messages set: the pointer over some controls, a held key, the focus.
  void SetStates() {
    SetCursorPos(1020, 760);
    for (TControl* c :
         std::vector<TControl*>{edits[2], combos[1], buttons[1], checkBoxes[2], radios[2], speedButtons[1],
                                speedButtons[3], speedButtons[6], seeThrough[1], seeThrough[3]})
      c->Perform(CM_MOUSEENTER);
    buttons[2]->Perform(WM_KEYDOWN, VK_SPACE, 0);
    edits[1]->SetFocus();
    SendMessageA(ToolBar1->Handle(), TB_SETHOTITEM, 0, 0);
  }

  // Opens the popup menu beside the bars; it stays open until EndMenu.
  void OpenPopup() {
    POINT p{650, 44};
    ::ClientToScreen(Handle(), &p);
    PopupMenu1->Popup(p.x, p.y);
  }

  TImageList* Images = nullptr;
  TMainMenu* MainMenu1 = nullptr;
  TPopupMenu* PopupMenu1 = nullptr;
  TToolBar* ToolBar1 = nullptr;
  std::vector<TToolButton*> toolButtons;
  TControlBar* ControlBar1 = nullptr;

  TXPStyle* XPStyle1 = nullptr;
  std::vector<TEdit*> edits;
  std::vector<TComboBox*> combos;
  std::vector<TButton*> buttons;
  std::vector<TCheckBox*> checkBoxes;
  std::vector<TRadioButton*> radios;
  std::vector<TSpeedButton*> speedButtons, seeThrough;
  TGroupBox* rtlGroup = nullptr;

private:
  // The rows of standard controls start below the bars.
  static constexpr int kTop = 44;
  template <class T>
  T* Add(int x, int y, int w, int h) {
    T* c = new T(this);
    c->SetParent(this);
    c->SetBounds(x, y + kTop, w, h);
    return c;
  }
  void Row(int y, const char* text) {
    auto* label = Add<TLabel>(8, y, 0, 0);
    label->SetCaption(text);
    label->Font()->SetStyle(fsBold);
  }
  TMenuItem* Item(TMenuItem* parent, const char* caption, int image = -1, TShortCut shortCut = 0) {
    auto* item = new TMenuItem(this);
    item->SetCaption(caption);
    item->SetImageIndex(image);
    item->SetShortCut(shortCut);
    parent->Add(item);
    return item;
  }
  // Each radio button after the first sits in a panel of its own, so that all can be checked.
  TWinControl* radioPanels(int i) {
    auto* p = Add<TPanel>(8 + i * 110, 220, 104, 21);
    p->SetBevelOuter(bvNone);
    return p;
  }
  TBitmap glyph_;
};

TXPDemoForm* g_form = nullptr;
const char* g_picture = nullptr;
bool g_saved = false;

// Runs inside the popup menu's loop: the window and the open menu are saved, then it closes.
void CALLBACK SaveWithMenuOpen(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  // The menu bar and the client area (the frame depends on the window manager).
  RECT r;
  GetClientRect(g_form->Handle(), &r);
  MapWindowPoints(g_form->Handle(), nullptr, reinterpret_cast<POINT*>(&r), 2);
  MENUBARINFO bar{};
  bar.cbSize = sizeof(bar);
  if (GetMenuBarInfo(g_form->Handle(), OBJID_MENU, 0, &bar)) r.top = bar.rcBar.top;
  g_saved = SaveScreenBmp(r, g_picture);
  EndMenu();
}

}  // namespace

int main(int argc, char** argv) {
  Application->SetTitle("XP-style controls");
  SysLocale.SetMiddleEast(true);  // so that right-to-left controls read that way
  Application->CreateForm(g_form);
  if (argc < 2) return ShowOrSave(g_form, argc, argv, [] { g_form->SetStates(); });
  g_form->Show();
  SetForegroundWindow(g_form->Handle());
  for (int i = 0; i < 20; ++i) {
    Application->ProcessMessages();
    Sleep(20);
  }
  g_form->SetStates();
  for (int i = 0; i < 10; ++i) {
    Application->ProcessMessages();
    Sleep(20);
  }
  g_picture = argv[1];
  SetTimer(nullptr, 0, 600, SaveWithMenuOpen);
  g_form->OpenPopup();
  return g_saved ? 0 : 1;
}
