// XP-style menus: item sizes, each item state drawn into a memory context, a real popup with
// its flat border, and the walk over menus (tag, existing handlers, items added later).
#include <gtest/gtest.h>

#include <cmath>

#include "tests/xpstyle/xp_test_util.h"

namespace {

class XPMenus : public FormTest {
protected:
  XPMenus() : FormTest(clBtnFace) {}
  void SetUp() override {
    FormTest::SetUp();
    xp = new TXPStyle(form);
    xp->SetActive(true);
    menu = new TPopupMenu(form);
    canvasBitmap.SetSize(200, 24);
  }
  TMenuItem* Item(TMenu* m, const char* caption) {
    auto* item = new TMenuItem(form);
    item->SetCaption(caption);
    m->Items()->Add(item);
    return item;
  }
  // The item painted into a 200 x 24 memory bitmap that starts out in marker.
  void Paint(TMenuItem* item, bool selected, COLORREF marker = RGB(255, 0, 255)) {
    TCanvas* c = canvasBitmap.Canvas();
    c->Brush()->SetColor(static_cast<TColor>(marker));
    c->FillRect(RECT{0, 0, 200, 24});
    xp->DrawItemHandler(item, c, RECT{0, 0, 200, 24}, selected);
    GdiFlush();
  }
  COLORREF At(int x, int y) { return canvasBitmap.Canvas()->Pixel(x, y) & 0xFFFFFF; }
  int Count(COLORREF c) {
    int n = 0;
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 200; ++x) n += At(x, y) == c;
    return n;
  }
  TXPStyle* xp = nullptr;
  TPopupMenu* menu = nullptr;
  TBitmap canvasBitmap;
};

TEST_F(XPMenus, ItemSizesFollowCaptionShortcutGlyphAndKind) {
  TCanvas* c = canvasBitmap.Canvas();
  c->Font()->Assign(*xp->Font());
  auto measure = [&](TMenuItem* item) {
    int w = 0, h = 0;
    xp->MeasureMenuItem(item, c, w, h);
    return SIZE{w, h};
  };
  auto textHeight = [&](const std::string& s) {
    const int th = c->TextHeight(s);
    return th + static_cast<int>(std::nearbyint(th * 0.75));
  };
  TMenuItem* plain = Item(menu, "Öffnen");
  const SIZE p = measure(plain);
  c->Font()->Assign(*xp->Font());
  EXPECT_EQ(p.cx, c->TextWidth("Öffnen") + 5 + 24);  // the icon column counts without a glyph
  EXPECT_EQ(p.cy, textHeight("Öffnen"));
  TMenuItem* line = Item(menu, "-");
  EXPECT_EQ(measure(line).cy, 4);
  EXPECT_EQ(measure(line).cx, 5 + 24);
  TMenuItem* save = Item(menu, "Speichern");
  save->SetShortCut(ShortCut('S', ssCtrl));
  EXPECT_EQ(ShortCutToText(save->ShortCut()), "Ctrl+S");
  EXPECT_EQ(measure(save).cx, c->TextWidth("SpeichernCtrl+SWWW") + 5 + 24);
  TMenuItem* amp = Item(menu, "&Datei && Ordner");
  EXPECT_EQ(measure(amp).cx, c->TextWidth("&Datei && Ordner") - c->TextWidth("&") + 5 + 24);
  TMenuItem* bold = Item(menu, "Öffnen");
  bold->SetDefault(true);
  EXPECT_EQ(measure(bold).cx, p.cx);  // measured with the font as it is; only drawing embosses
  TMenuItem* tall = Item(menu, "Bild");
  TBitmap glyph;
  glyph.SetSize(40, 30);
  tall->SetBitmap(glyph);
  EXPECT_EQ(measure(tall).cx, c->TextWidth("Bild") + 5 + 40);
  EXPECT_EQ(measure(tall).cy, 36);
  // From the menu's list every item measures by the list's size, whatever its index.
  auto* images = new TImageList(form);
  images->SetSize(40, 30);
  menu->SetImages(images);
  plain->SetImageIndex(3);
  EXPECT_EQ(measure(plain).cx, c->TextWidth("Öffnen") + 5 + 40);
  EXPECT_EQ(measure(plain).cy, 36);
  menu->SetImages(nullptr);
  // A menu bar item: not widened to the icon column, 8 more on the NT family.
  auto* bar = new TMainMenu(form);
  bar->SetName("MainMenu1");
  TMenuItem* top = Item(bar, "Datei");
  form->SetMenu(bar);
  EXPECT_EQ(measure(top).cx, c->TextWidth("Datei") + 5 + 8);
  form->SetMenu(nullptr);
  xp->SetActive(false);
  int w = 7, h = 7;
  xp->MeasureMenuItem(plain, c, w, h);
  EXPECT_EQ(w, 7);  // inactive: nothing measured
}

TEST_F(XPMenus, ItemStatesArePaintedInTheFlatStyle) {
  const COLORREF paint = Light(clBtnFace, 86), iconBack = Light(clBtnFace, 16), select = Light(clHighlight, 68);
  TMenuItem* item = Item(menu, "Öffnen");
  Paint(item, false);
  EXPECT_EQ(At(2, 12), iconBack);
  EXPECT_EQ(At(190, 12), paint);
  Paint(item, true);
  EXPECT_EQ(At(190, 1), Rgb(clHighlight));  // the selection frame
  EXPECT_EQ(At(190, 8), select);
  item->SetEnabled(false);
  Paint(item, true);
  EXPECT_EQ(At(190, 8), RGB(255, 0, 255));  // disabled and selected: the old background stays
  EXPECT_GT(Count(Light(clBtnShadow, 10)), 0);
  item->SetEnabled(true);

  // A check mark in a framed square; a radio item's dot fills its circle.
  item->SetChecked(true);
  Paint(item, false);
  EXPECT_EQ(At(7, 11), Rgb(clHighlight));
  EXPECT_EQ(At(11, 14), Rgb(clBlack));
  item->SetRadioItem(true);
  Paint(item, false);
  EXPECT_EQ(At(12, 12), Light(clHighlight, 80));
  EXPECT_EQ(At(7, 7), iconBack);
  item->SetChecked(false);
  item->SetRadioItem(false);

  // An image from the menu's list, dimmed while not selected; an index past the list draws none.
  auto* images = new TImageList(form);
  TBitmap red;
  RedGlyph(red);
  images->AddMasked(&red, static_cast<TColor>(0xFF00FF));
  menu->SetImages(images);
  item->SetImageIndex(0);
  Paint(item, false);
  EXPECT_EQ(At(11, 11), LightenRGB(RGB(255, 0, 0), 30));
  item->SetImageIndex(5);
  Paint(item, false);
  EXPECT_EQ(At(11, 11), iconBack);
  item->SetImageIndex(-1);

  // The default item's caption is embossed in shades of the background.
  EXPECT_EQ(Count(Dark(paint, 60)), 0);
  item->SetDefault(true);
  Paint(item, false);
  EXPECT_GT(Count(Dark(paint, 60)), 0);

  TMenuItem* line = Item(menu, "-");
  Paint(line, false);
  EXPECT_EQ(At(100, 12), Light(clBtnShadow, 25));
  EXPECT_EQ(At(28, 12), paint);  // the line starts 7 past the icon column

  menu->SetBiDiMode(bdRightToLeft);
  Paint(item, false);
  EXPECT_EQ(At(197, 12), iconBack);
  EXPECT_EQ(At(2, 12), paint);
}

// Reads the open popup's border, then closes it.
COLORREF g_corner = CLR_INVALID, g_shadow = CLR_INVALID;
void CALLBACK ReadPopup(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (HWND popup = FindWindowA("#32768", nullptr)) {
    RECT r;
    GetWindowRect(popup, &r);
    HDC dc = GetWindowDC(popup);
    g_corner = GetPixel(dc, 0, 0);
    g_shadow = GetPixel(dc, r.right - r.left - 1, r.bottom - r.top - 1);
    ReleaseDC(popup, dc);
  }
  EndMenu();
}

TEST_F(XPMenus, AnOpenPopupIsDrawnByTheComponentWithItsFlatBorder) {
  xp->SetFlatMenu(true);
  Item(menu, "Eins");
  Item(menu, "Zwei");
  int clicks = 0;
  menu->Items()->Items(0)->OnClick = [&](TObject*) { ++clicks; };
  xp->HookComponents(form, true, false);
  EXPECT_TRUE(menu->OwnerDraw());
  SetTimer(nullptr, 0, 400, ReadPopup);
  menu->Popup(100, 100);
  EXPECT_EQ(g_corner, Dark(clBtnFace, 90));  // the border
  EXPECT_EQ(g_shadow, Dark(clBtnFace, 76));  // the shadow band
  EXPECT_EQ(clicks, 0);
}

TEST_F(XPMenus, TheWalkInstallsItsHandlersByTagAndKeepsOthers) {
  auto* bar = new TMainMenu(form);
  TMenuItem* own = Item(bar, "Own");
  own->OnDrawItem = [](TObject*, TCanvas*, RECT, bool) {};
  TMenuItem* sub = new TMenuItem(form);
  own->Add(sub);
  TMenuItem* opted = Item(bar, "Opted");
  opted->SetTag(kXPOptOutTag);
  auto* quietBar = new TMainMenu(form);
  quietBar->SetTag(kXPOptOutTag);
  TMenuItem* quietItem = Item(quietBar, "Quiet");
  menu->SetTag(kXPOptOutTag);  // popups are hooked whatever their tag
  TMenuItem* popupItem = Item(menu, "Popup");
  xp->HookComponents(form, true, true);
  EXPECT_TRUE(bar->OwnerDraw());
  EXPECT_FALSE(own->OnDrawItem == xp->DrawItemHandlerEvent());    // kept
  EXPECT_TRUE(own->OnMeasureItem == xp->MeasureMenuItemEvent());  // but measured by the component
  EXPECT_TRUE(sub->OnDrawItem == xp->DrawItemHandlerEvent());
  EXPECT_FALSE(opted->OnDrawItem);
  EXPECT_FALSE(quietItem->OnDrawItem);
  EXPECT_FALSE(quietBar->OwnerDraw());
  EXPECT_TRUE(popupItem->OnDrawItem == xp->DrawItemHandlerEvent());
  xp->SetOverrideOwnerDraw(true);
  EXPECT_TRUE(own->OnDrawItem == xp->DrawItemHandlerEvent());
  EXPECT_FALSE(opted->OnDrawItem);
  xp->SetActive(false);
  EXPECT_FALSE(bar->OwnerDraw());
  EXPECT_FALSE(own->OnDrawItem);
  EXPECT_FALSE(popupItem->OnMeasureItem);
}

TEST_F(XPMenus, ItemsAndButtonsMadeWhileActiveGetTheHandlers) {
  xp->SetAutoDetect(true);
  Item(menu, "First");
  DeliverInsertionNotices();
  TMenuItem* later = Item(menu, "Later");
  EXPECT_FALSE(later->OnDrawItem);  // announced after construction, not inside it
  DeliverInsertionNotices();
  EXPECT_TRUE(later->OnDrawItem == xp->DrawItemHandlerEvent());
  auto* bar = Put<TToolBar>(form, form, 0, 0, 200, 30);
  xp->HookComponents(form, true, true);
  EXPECT_TRUE(bar->Flat());
  EXPECT_FALSE(bar->OnCustomDrawButton);  // no buttons, no painter
  auto* button = new TToolButton(form);
  button->SetToolBar(bar);
  DeliverInsertionNotices();
  EXPECT_TRUE(bar->OnCustomDrawButton == xp->DrawToolButtonEvent());
}

}  // namespace
