// Controls on real windows: notifications reaching handlers through any parent, docking into
// status panels, windowless speed buttons, combo boxes, list views, memos, edits and timers.
#include <gtest/gtest.h>

#include <vector>

#include "base/exception.h"
#include "tests/winui/ui_test_util.h"

namespace {

class TConsoleLikeForm : public TForm {
public:
  explicit TConsoleLikeForm(TComponent* owner) : TForm(owner) {
    SetCaption("Controls form");
    SetBorderStyle(bsSingle);
    SetBorderIcons(biSystemMenu);
    SetClientSize(638, 145);
    GroupBox1 = new TGroupBox(this);
    GroupBox1->SetParent(this);
    GroupBox1->SetBounds(0, 0, 313, 121);
    GroupBox1->SetCaption("Computer wecken");
    ComboBox3 = new TComboBox(this);
    ComboBox3->SetParent(GroupBox1);
    ComboBox3->SetStyle(csDropDownList);
    ComboBox3->SetBounds(88, 24, 217, 21);
    Edit2 = new TEdit(this);
    Edit2->SetParent(GroupBox1);
    Edit2->SetBounds(88, 88, 185, 21);
    SpeedButton9 = new TSpeedButton(this);
    SpeedButton9->SetParent(GroupBox1);
    SpeedButton9->SetBounds(280, 88, 23, 22);
    SpeedButton9->SetFlat(true);
    SpeedButton2 = new TSpeedButton(this);
    SpeedButton2->SetParent(this);
    SpeedButton2->SetBounds(320, 0, 313, 25);
    SpeedButton2->SetCaption("Computer aufwecken");
    SpeedButton8 = new TSpeedButton(this);
    SpeedButton8->SetParent(this);
    SpeedButton8->SetCaption("Hilfe");
    ComboBox1 = new TComboBox(this);
    ComboBox1->SetParent(this);
    ComboBox1->SetStyle(csDropDownList);
    Button1 = new TButton(this);
    Button1->SetParent(this);
    Button1->SetCaption("Knopf");
    StatusBar1 = new TStatusBar(this);
    StatusBar1->SetParent(this);
    StatusBar1->SetBounds(0, 123, 638, 22);
    for (int w : {315, 80, 75, 100}) {
      TStatusPanel* p = StatusBar1->Panels()->Add();
      p->SetWidth(w);
      p->SetAlignment(taCenter);
    }
  }
  // Gives the control a status panel's rectangle, with the status bar as its parent.
  static void Dock(TControl* control, TStatusBar* bar, int panel) {
    const RECT r = bar->PanelRect(panel);
    control->SetParent(bar);
    control->SetBoundsRect(r);
  }
  TGroupBox* GroupBox1;
  TComboBox* ComboBox3;
  TEdit* Edit2;
  TSpeedButton* SpeedButton9;
  TSpeedButton* SpeedButton2;
  TSpeedButton* SpeedButton8;
  TComboBox* ComboBox1;
  TButton* Button1;
  TStatusBar* StatusBar1;
};

void ClickAt(HWND window, int x, int y) {
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

TEST(Reflection, NotificationsReachTheChildThroughAGroupBoxParent) {
  FormsGuard guard;
  TConsoleLikeForm* form = nullptr;
  Application->CreateForm(form);
  form->Show();
  form->ComboBox3->Items()->Add("alpha");
  form->ComboBox3->Items()->Add("beta");
  int changes = 0;
  form->ComboBox3->OnChange = [&](TObject*) { ++changes; };
  // The combo box is a child of the group box, which receives CBN_SELCHANGE.
  SetFocus(form->ComboBox3->Handle());
  SendMessageA(form->ComboBox3->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(form->ComboBox3->ItemIndex(), 0);
  EXPECT_EQ(form->ComboBox3->Text(), "alpha");
  // Selecting from code does not fire OnChange.
  form->ComboBox3->SetItemIndex(1);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(form->ComboBox3->Text(), "beta");
}

TEST(Reflection, DockedControlsInAStatusPanelStayClickable) {
  FormsGuard guard;
  TConsoleLikeForm* form = nullptr;
  Application->CreateForm(form);
  form->Show();
  int buttonClicks = 0, helpClicks = 0, changes = 0;
  form->Button1->OnClick = [&](TObject*) { ++buttonClicks; };
  form->SpeedButton8->OnClick = [&](TObject*) { ++helpClicks; };
  form->ComboBox1->OnChange = [&](TObject*) { ++changes; };
  form->ComboBox1->Items()->Add("English");
  form->ComboBox1->Items()->Add("Deutsch");
  TConsoleLikeForm::Dock(form->SpeedButton8, form->StatusBar1, 2);
  TConsoleLikeForm::Dock(form->ComboBox1, form->StatusBar1, 1);
  TConsoleLikeForm::Dock(form->Button1, form->StatusBar1, 3);
  const RECT r1 = form->StatusBar1->PanelRect(1);
  EXPECT_GE(r1.left, 315);
  EXPECT_LE(r1.left, 318);
  EXPECT_GE(r1.right, 393);
  EXPECT_LE(r1.right, 395);
  EXPECT_EQ(GetParent(form->Button1->Handle()), form->StatusBar1->Handle());

  SendMessageA(form->Button1->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(buttonClicks, 1);
  // The windowless button lives in the status bar's window now.
  const RECT r2 = form->StatusBar1->PanelRect(2);
  ClickAt(form->StatusBar1->Handle(), (r2.left + r2.right) / 2, (r2.top + r2.bottom) / 2);
  EXPECT_EQ(helpClicks, 1);
  SetFocus(form->ComboBox1->Handle());
  SendMessageA(form->ComboBox1->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(changes, 1);
  // The combo box keeps its list below the panel: its window is taller than the panel.
  RECT dropped;
  SendMessageA(form->ComboBox1->Handle(), CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
  EXPECT_GT(dropped.bottom - dropped.top, 60);
}

TEST(SpeedButton, ClicksComeFromTheMouseOnTheParentAndNotWhenDisabled) {
  FormsGuard guard;
  TConsoleLikeForm* form = nullptr;
  Application->CreateForm(form);
  form->Show();
  int wake = 0, resolve = 0;
  form->SpeedButton2->OnClick = [&](TObject*) { ++wake; };
  form->SpeedButton9->OnClick = [&](TObject*) { ++resolve; };
  ClickAt(form->Handle(), 400, 10);
  EXPECT_EQ(wake, 1);
  // Inside a group box: the group box passes the mouse on to it.
  ClickAt(form->GroupBox1->Handle(), 290, 95);
  EXPECT_EQ(resolve, 1);
  // Press on the button, release outside: no click.
  SendMessageA(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 10));
  SendMessageA(form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(400, 80));
  EXPECT_EQ(wake, 1);
  form->SpeedButton2->SetEnabled(false);
  ClickAt(form->Handle(), 400, 10);
  EXPECT_EQ(wake, 1);
  // From code the handler runs all the same.
  form->SpeedButton2->Click();
  EXPECT_EQ(wake, 2);
  // The button never takes the focus from the edit.
  form->Edit2->SetFocus();
  ClickAt(form->GroupBox1->Handle(), 290, 95);
  EXPECT_EQ(GetFocus(), form->Edit2->Handle());
}

TEST(SpeedButton, TestDriversFindAndClickWindowlessButtonsByCaption) {
  FormsGuard guard;
  TConsoleLikeForm* form = nullptr;
  Application->CreateForm(form);
  int wake = 0;
  form->SpeedButton2->OnClick = [&](TObject*) { ++wake; };
  const UINT textMsg = RegisterWindowMessageA(kGraphicTextMessage);
  const UINT clickMsg = RegisterWindowMessageA(kGraphicClickMessage);
  std::vector<std::string> found;
  for (WPARAM i = 0;; ++i) {
    const ATOM atom = static_cast<ATOM>(SendMessageA(form->Handle(), textMsg, i, 0));
    if (!atom) break;
    char buf[256] = {0};
    GlobalGetAtomNameA(atom, buf, sizeof(buf));
    GlobalDeleteAtom(atom);
    found.push_back(buf);
  }
  ASSERT_EQ(found.size(), 2u);  // SpeedButton2 and SpeedButton8; SpeedButton9 is in the group box
  EXPECT_EQ(found[0], "VE:Computer aufwecken");
  const ATOM caption = GlobalAddAtomA("Computer aufwecken");
  EXPECT_EQ(SendMessageA(form->Handle(), clickMsg, 0, caption), 1);
  EXPECT_EQ(wake, 1);
  form->SpeedButton2->SetVisible(false);
  EXPECT_EQ(SendMessageA(form->Handle(), clickMsg, 0, caption), 0);
  EXPECT_EQ(wake, 1);
  GlobalDeleteAtom(caption);
}

TEST(Button, PressFromCodeRunsTheHandlerEvenWhenDisabled) {
  FormsGuard guard;
  TConsoleLikeForm* form = nullptr;
  Application->CreateForm(form);
  int clicks = 0;
  form->Button1->OnClick = [&](TObject*) { ++clicks; };
  form->Button1->SetEnabled(false);
  SendMessageA(form->Button1->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 0);
  form->Button1->Click();
  EXPECT_EQ(clicks, 1);
}

TEST(ComboBox, DropDownWithEditReportsTypingAndSelection) {
  FormsGuard guard;
  TConsoleLikeForm* form = nullptr;
  Application->CreateForm(form);
  form->Show();
  auto* combo = new TComboBox(form);
  combo->SetParent(form->GroupBox1);
  combo->SetBounds(8, 50, 200, 21);
  combo->Items()->Add("pc1");
  combo->Items()->Add("PC2");
  int changes = 0;
  combo->OnChange = [&](TObject*) { ++changes; };
  HWND edit = FindWindowExA(combo->Handle(), nullptr, "Edit", nullptr);
  ASSERT_NE(edit, nullptr);
  SendMessageA(edit, WM_CHAR, 'x', 0);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(combo->Text(), "x");
  EXPECT_EQ(combo->Items()->IndexOf("pc2"), 1);  // without regard to case
  EXPECT_EQ(combo->Items()->IndexOf("pc3"), -1);
  EXPECT_THROW(combo->Items()->Get(2), Exception);
  // Height is the closed height; the window itself also holds the list.
  EXPECT_LT(combo->Height(), 30);
  RECT dropped;
  SendMessageA(combo->Handle(), CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
  EXPECT_GT(dropped.bottom - dropped.top, 60);
  combo->Items()->Clear();
  EXPECT_EQ(SendMessageA(combo->Handle(), CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(combo->ItemIndex(), -1);
}

TEST(ComboBox, ItemsAndSelectionMadeBeforeTheWindowExistSurviveIt) {
  FormsGuard guard;
  auto* form = new TForm(Application);
  auto* combo = new TComboBox(form);
  combo->SetStyle(csDropDownList);
  combo->Items()->Add("a");
  combo->Items()->Add("b");
  combo->SetItemIndex(1);
  combo->SetParent(form);
  form->HandleNeeded();
  EXPECT_EQ(SendMessageA(combo->Handle(), CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->Text(), "b");
}

TEST(Edit, EnterAndEscapeReachOnKeyDownThroughTheMessageLoop) {
  FormsGuard guard;
  TConsoleLikeForm* form = nullptr;
  Application->CreateForm(form);
  form->Show();
  std::vector<WORD> keys;
  form->Edit2->OnKeyDown = [&](TObject*, WORD& key, TShiftState) { keys.push_back(key); };
  PostMessageA(form->Edit2->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  PostMessageA(form->Edit2->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  ASSERT_TRUE(PumpUntil([&] { return keys.size() == 2; }));
  EXPECT_EQ(keys[0], VK_RETURN);
  EXPECT_EQ(keys[1], VK_ESCAPE);
  // A handler that clears the key keeps it from the edit.
  form->Edit2->OnKeyDown = [](TObject*, WORD& key, TShiftState) { key = 0; };
  form->Edit2->SetText("ab");
  SendMessageA(form->Edit2->Handle(), EM_SETSEL, 2, 2);
  SendMessageA(form->Edit2->Handle(), WM_KEYDOWN, VK_LEFT, 0);
  DWORD start = 0;
  SendMessageA(form->Edit2->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
  EXPECT_EQ(start, 2u);
}

TEST(Memo, LinesAddAtTheEndAndIndexesAreChecked) {
  FormsGuard guard;
  auto* form = new TForm(Application);
  auto* memo = new TMemo(form);
  memo->Lines()->Add("one");  // before the window exists
  memo->SetParent(form);
  memo->SetScrollBars(ssVertical);
  form->HandleNeeded();
  memo->Lines()->Add("two");
  EXPECT_EQ(memo->Lines()->Count(), 2);
  EXPECT_EQ(memo->Text(), "one\r\ntwo\r\n");
  EXPECT_EQ(memo->Lines()->Get(1), "two");
  EXPECT_THROW(memo->Lines()->Get(2), Exception);
  EXPECT_THROW(memo->Lines()->Get(-1), Exception);
  memo->SetText("a\r\nb");  // an unterminated last line still counts
  memo->Lines()->Add("c");
  EXPECT_EQ(memo->Text(), "a\r\nb\r\nc\r\n");
  memo->Lines()->Clear();
  EXPECT_EQ(memo->Lines()->Count(), 0);
}

// Dispatches what is waiting for a while, however much keeps coming (a window that invalidates
// itself while painting must not hang the test).
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

// The client area of a window as it is on the screen now (no paint is forced first).
struct ClientPixels {
  explicit ClientPixels(HWND window) {
    GetClientRect(window, &rect);
    HDC dc = GetDC(window);
    memory = CreateCompatibleDC(dc);
    bitmap = CreateCompatibleBitmap(dc, rect.right, rect.bottom);
    old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, rect.right, rect.bottom, dc, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
  }
  ~ClientPixels() {
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
  }
  COLORREF At(int x, int y) const { return GetPixel(memory, x, y); }
  int CountOf(COLORREF c) const {
    int n = 0;
    for (int y = 0; y < rect.bottom; ++y)
      for (int x = 0; x < rect.right; ++x) n += At(x, y) == c;
    return n;
  }
  RECT rect{};
  HDC memory = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
};

TEST(Memo, ReadOnlyMultiLineMemosPaintTheirColourAndTextNextToAPicture) {
  FormsGuard guard;
  auto* form = new TForm(Application);
  form->SetCaption("Memo paint");
  form->SetBounds(0, 0, 520, 220);
  // A picture on the same form, as on the about box: painting it must not keep the form busy.
  auto* image = new TImage(form);
  image->SetParent(form);
  image->SetBounds(8, 140, 64, 32);
  std::vector<uint32_t> stripes(64 * 32);
  for (size_t i = 0; i < stripes.size(); ++i) stripes[i] = (i / 4) % 2 ? 0x2040A0 : 0xF0C040;
  image->Picture()->Bitmap()->LoadFromBits(64, 32, stripes.data());
  const char* text = "Wer lesen kann, ist klar im Vorteil.\r\nZweite Zeile WWWW MMMM\r\nDritte Zeile";
  TMemo* memos[3];
  for (int i = 0; i < 3; ++i) {
    memos[i] = new TMemo(form);
    memos[i]->SetParent(form);
    memos[i]->SetBounds(8 + 165 * i, 8, 160, 120);
    memos[i]->SetReadOnly(true);
    memos[i]->SetText(text);
  }
  memos[1]->SetScrollBars(ssVertical);
  memos[2]->SetColor(clCream);
  memos[2]->SetScrollBars(ssBoth);
  form->Show();
  DispatchFor(500);
  for (TMemo* memo : memos) {
    SCOPED_TRACE(memo->Color());
    const COLORREF background = ColorToRGB(memo->Color());
    ClientPixels shot(memo->Handle());
    ASSERT_GT(shot.rect.right, 40);
    ASSERT_GT(shot.rect.bottom, 40);
    // Below the last line there is only background.
    EXPECT_EQ(shot.At(shot.rect.right - 4, shot.rect.bottom - 4), background);
    EXPECT_EQ(shot.At(shot.rect.right / 2, shot.rect.bottom - 4), background);
    const int total = shot.rect.right * shot.rect.bottom;
    const int plain = shot.CountOf(background);
    EXPECT_GT(plain, total / 2);
    EXPECT_GT(total - plain, 50);  // the glyphs of three lines
  }
  ClientPixels picture(form->Handle());
  EXPECT_EQ(picture.At(8 + 1, 140 + 1), RGB(0xF0, 0xC0, 0x40));
}

TEST(ListView, ItemsKeepCaptionSubItemsImageAndData) {
  FormsGuard guard;
  auto* form = new TForm(Application);
  auto* images = new TImageList(form);
  images->AddIcon(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION)));
  images->AddIcon(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_ERROR)));
  EXPECT_EQ(images->Count(), 2);
  auto* lv = new TListView(form);
  lv->SetViewStyle(vsReport);
  lv->SetSmallImages(images);
  lv->Columns()->Add()->SetCaption("Programm");
  lv->Columns()->Items(0)->SetWidth(175);
  lv->Columns()->Add()->SetCaption("Version");
  int payload = 7;
  TListItem* early = lv->Items()->Add();  // before the window exists
  early->SetCaption("Tool");
  early->SubItems()->Add("1.0");
  early->SetImageIndex(1);
  early->SetData(&payload);
  lv->SetParent(form);
  form->HandleNeeded();
  TListItem* late = lv->Items()->Add();
  late->SetCaption("Other");
  late->SubItems()->Add("3.1");
  HWND h = lv->Handle();
  ASSERT_EQ(SendMessageA(h, LVM_GETITEMCOUNT, 0, 0), 2);
  char buf[64] = {0};
  LVITEMA item{};
  item.iSubItem = 1;
  item.pszText = buf;
  item.cchTextMax = sizeof(buf);
  SendMessageA(h, LVM_GETITEMTEXTA, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_STREQ(buf, "1.0");
  SendMessageA(h, LVM_GETITEMTEXTA, 1, reinterpret_cast<LPARAM>(&item));
  EXPECT_STREQ(buf, "3.1");
  LVITEMA img{};
  img.mask = LVIF_IMAGE;
  img.iItem = 0;
  SendMessageA(h, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&img));
  EXPECT_EQ(img.iImage, 1);
  LVCOLUMNA col{};
  col.mask = LVCF_WIDTH;
  SendMessageA(h, LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&col));
  EXPECT_EQ(col.cx, 175);
  EXPECT_EQ(lv->Items()->Item(0)->Data(), &payload);
  EXPECT_THROW(lv->Items()->Item(2), Exception);
  lv->Items()->Clear();
  EXPECT_EQ(SendMessageA(h, LVM_GETITEMCOUNT, 0, 0), 0);
  // The image list going away leaves the list view without it, not with a dangling one.
  delete images;
  EXPECT_EQ(lv->SmallImages(), nullptr);
}

TEST(ListView, SelectionClickAndInfoTipReachTheHandlers) {
  FormsGuard guard;
  TConsoleLikeForm* form = nullptr;
  Application->CreateForm(form);
  form->Show();
  auto* lv = new TListView(form);
  lv->SetParent(form->GroupBox1);  // notifications arrive at the group box
  lv->SetViewStyle(vsReport);
  lv->SetBounds(8, 16, 290, 100);
  lv->Columns()->Add()->SetWidth(150);
  lv->Columns()->Add()->SetWidth(100);
  for (const char* name : {"Tool", "Other"}) lv->Items()->Add()->SetCaption(name);
  std::vector<std::pair<std::string, bool>> selections;
  lv->OnSelectItem = [&](TObject*, TListItem* item, bool selected) {
    selections.emplace_back(item->Caption(), selected);
  };
  int clicks = 0;
  lv->OnClick = [&](TObject*) { ++clicks; };
  lv->OnInfoTip = [](TObject*, TListItem* item, std::string& tip) { tip = "Tip for " + item->Caption(); };
  lv->Items()->Item(1)->SetSelected(true);
  ASSERT_FALSE(selections.empty());
  EXPECT_EQ(selections.back(), std::make_pair(std::string("Other"), true));
  EXPECT_EQ(lv->Selected(), lv->Items()->Item(1));
  NMHDR click{lv->Handle(), 0, static_cast<UINT>(NM_CLICK)};
  SendMessageA(form->GroupBox1->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click));
  EXPECT_EQ(clicks, 1);
  char text[80] = "";
  NMLVGETINFOTIPA tip{};
  tip.hdr = NMHDR{lv->Handle(), 0, static_cast<UINT>(LVN_GETINFOTIPA)};
  tip.pszText = text;
  tip.cchTextMax = sizeof(text);
  tip.iItem = 0;
  SendMessageA(form->GroupBox1->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
  EXPECT_STREQ(text, "Tip for Tool");
}

TEST(Timer, FiresWhileEnabledAndSurvivesAThrowingHandler) {
  FormsGuard guard;
  ExceptionCatcher catcher;
  auto* form = new TForm(Application);
  auto* timer = new TTimer(form);
  timer->SetEnabled(false);
  timer->SetInterval(10);
  int ticks = 0;
  timer->OnTimer = [&](TObject*) {
    ++ticks;
    if (ticks == 2) throw Exception("tick failed");
  };
  PumpFor(60);
  EXPECT_EQ(ticks, 0);
  timer->SetEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return ticks >= 4; }));
  ASSERT_EQ(catcher.messages.size(), 1u);
  EXPECT_EQ(catcher.messages[0], "tick failed");
  timer->SetEnabled(false);
  const int stopped = ticks;
  PumpFor(80);
  EXPECT_EQ(ticks, stopped);
  delete timer;  // a freed timer never fires into freed memory
  PumpFor(30);
}

TEST(StatusBar, PanelTextsReachTheNativeBar) {
  FormsGuard guard;
  TConsoleLikeForm* form = nullptr;
  Application->CreateForm(form);
  form->StatusBar1->Panels()->Items(0)->SetText("www.example.invalid");
  char buf[128] = {0};
  SendMessageA(form->StatusBar1->Handle(), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(buf));
  EXPECT_NE(std::string(buf).find("www.example.invalid"), std::string::npos);
  EXPECT_EQ(SendMessageA(form->StatusBar1->Handle(), SB_GETPARTS, 0, 0), 4);
  EXPECT_THROW(form->StatusBar1->Panels()->Items(4), Exception);
  // The bar stays where the layout put it.
  RECT r;
  GetWindowRect(form->StatusBar1->Handle(), &r);
  MapWindowPoints(nullptr, form->Handle(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.top, 123);
  EXPECT_EQ(r.bottom - r.top, 22);
}

TEST(DateTimePicker, ValuesSetBeforeTheWindowReachTheControl) {
  FormsGuard guard;
  auto* form = new TForm(Application);
  auto* date = new TDateTimePicker(form);
  auto* time = new TDateTimePicker(form);
  time->SetKind(dtkTime);
  SYSTEMTIME st{};
  st.wYear = 2030;
  st.wMonth = 2;
  st.wDay = 1;
  st.wHour = 7;
  st.wMinute = 30;
  date->SetDateTime(st);
  time->SetDateTime(st);
  date->SetParent(form);
  time->SetParent(form);
  form->HandleNeeded();
  EXPECT_NE(GetWindowLongPtrA(time->Handle(), GWL_STYLE) & DTS_TIMEFORMAT, 0);
  SYSTEMTIME got{};
  SendMessageA(date->Handle(), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&got));
  EXPECT_EQ(got.wYear, 2030);
  EXPECT_EQ(got.wMonth, 2);
  EXPECT_EQ(got.wDay, 1);
  EXPECT_EQ(time->DateTime().wHour, 7);
  EXPECT_EQ(time->DateTime().wMinute, 30);
}

TEST(Animate, AMissingSystemClipLeavesAQuietEmptyControl) {
  FormsGuard guard;
  ExceptionCatcher catcher;
  auto* form = new TForm(Application);
  auto* anim = new TAnimate(form);
  anim->SetParent(form);
  anim->SetCommonAVI(aviFindFolder);
  anim->SetStopFrame(29);
  form->HandleNeeded();
  anim->SetActive(true);
  EXPECT_TRUE(anim->Active());
  anim->SetActive(false);
  EXPECT_FALSE(anim->Active());
  anim->SetFileName("C:\\no\\such\\clip.avi");
  anim->SetActive(true);
  EXPECT_FALSE(anim->Open());
  EXPECT_TRUE(catcher.messages.empty());
}

TEST(Components, OwnersFreeWhatTheyOwnAndTellTheOthers) {
  FormsGuard guard;
  auto* form = new TForm(Application);
  auto* a = new TLabel(form);
  a->SetName("Label1");
  auto* b = new TEdit(form);
  b->SetName("Edit1");
  b->SetParent(form);
  EXPECT_EQ(form->ComponentCount(), 2);
  EXPECT_EQ(form->FindComponent("edit1"), b);
  EXPECT_EQ(b->ComponentIndex(), 1);
  EXPECT_STREQ(b->ClassName(), "TEdit");
  EXPECT_STREQ(static_cast<TObject*>(form)->ClassName(), "TForm");
  EXPECT_THROW(form->Components(2), Exception);
  HWND h = b->Handle();
  delete b;  // removes itself from owner and parent, and its window goes
  EXPECT_EQ(form->ComponentCount(), 1);
  EXPECT_EQ(form->ControlCount(), 0);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(a->Owner(), form);
}

}  // namespace

namespace {

struct TooltipSearch {
  HWND owner;
  HWND found;
};

BOOL CALLBACK MatchTooltip(HWND w, LPARAM p) {
  auto* s = reinterpret_cast<TooltipSearch*>(p);
  char cls[64] = {0};
  GetClassNameA(w, cls, sizeof(cls));
  if (lstrcmpiA(cls, TOOLTIPS_CLASSA) == 0 && GetWindow(w, GW_OWNER) == s->owner) {
    s->found = w;
    return FALSE;
  }
  return TRUE;
}

HWND FindTooltipOf(HWND owner) {
  TooltipSearch s{owner, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchTooltip, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

std::string ToolText(HWND tip, HWND window, UINT_PTR id, bool isWindow) {
  char buf[256] = {0};
  TTTOOLINFOA ti{};
  ti.cbSize = TTTOOLINFOA_V2_SIZE;
  ti.hwnd = window;
  ti.uId = id;
  ti.uFlags = isWindow ? TTF_IDISHWND : 0;
  ti.lpszText = buf;
  SendMessageA(tip, TTM_GETTEXTA, sizeof(buf), reinterpret_cast<LPARAM>(&ti));
  return buf;
}

TEST(Hints, ControlsThatShowHintsGetATipAndChangedTextsReachIt) {
  FormsGuard guard;
  TConsoleLikeForm* form = nullptr;
  Application->CreateForm(form);
  form->Edit2->SetHint("Hier die IP-Adresse eingeben.");
  form->Edit2->SetShowHint(true);
  form->SpeedButton9->SetHint("Computernamen aufl\xf6sen.");
  form->SpeedButton9->SetShowHint(true);
  form->SpeedButton2->SetHint("not shown");  // ShowHint stays off
  HWND tip = FindTooltipOf(form->Handle());
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 2);
  EXPECT_EQ(ToolText(tip, form->Handle(), reinterpret_cast<UINT_PTR>(form->Edit2->Handle()), true),
            "Hier die IP-Adresse eingeben.");
  EXPECT_EQ(ToolText(tip, form->GroupBox1->Handle(), reinterpret_cast<UINT_PTR>(form->SpeedButton9), false),
            "Computernamen aufl\xf6sen.");
  form->SpeedButton9->SetHint("Resolve host name.");
  EXPECT_EQ(ToolText(tip, form->GroupBox1->Handle(), reinterpret_cast<UINT_PTR>(form->SpeedButton9), false),
            "Resolve host name.");
  delete form->SpeedButton9;
  EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
}

}  // namespace

namespace {

// What the console's profile box reports after the user types over a chosen entry: the platform's
// own selection, which follows the typed text (no entry matches: nothing is selected).
TEST(ComboBox, TypingTextThatMatchesNoEntryLeavesNothingSelected) {
  FormsGuard guard;
  TConsoleLikeForm* form = nullptr;
  Application->CreateForm(form);
  form->Show();
  auto* combo = new TComboBox(form);
  combo->SetParent(form);
  combo->SetBounds(8, 50, 200, 21);
  combo->Items()->Add("pc1");
  combo->Items()->Add("pc2");
  combo->SetItemIndex(1);
  std::vector<int> seen;
  combo->OnChange = [&](TObject* sender) { seen.push_back(static_cast<TComboBox*>(sender)->ItemIndex()); };
  HWND edit = FindWindowExA(combo->Handle(), nullptr, "Edit", nullptr);
  ASSERT_NE(edit, nullptr);
  SendMessageA(edit, EM_SETSEL, 0, -1);
  SendMessageA(edit, WM_CHAR, 'n', 0);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], -1);
  EXPECT_EQ(combo->Text(), "n");
}

TEST(Keyboard, TabMovesTheFocusToTheNextTabStopThroughTheMessageLoop) {
  FormsGuard guard;
  auto* form = new TForm(Application);
  form->SetCaption("Tab form");
  auto* e1 = new TEdit(form);
  e1->SetParent(form);
  auto* e2 = new TEdit(form);
  e2->SetParent(form);
  e2->SetTop(30);
  form->Show();
  e1->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == e1->Handle(); }));
  PostMessageA(e1->Handle(), WM_KEYDOWN, VK_TAB, 0);
  EXPECT_TRUE(PumpUntil([&] { return GetFocus() == e2->Handle(); }));
  EXPECT_EQ(form->ActiveControl(), e2);
}

}  // namespace

namespace {

TEST(Keyboard, EnterPressesTheDefaultButtonAfterTheFocusedControlLeftItAlone) {
  FormsGuard guard;
  auto* form = new TForm(Application);
  form->SetCaption("Enter form");
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  auto* memo = new TMemo(form);
  memo->SetParent(form);
  memo->SetTop(30);
  auto* other = new TButton(form);
  other->SetParent(form);
  other->SetTop(130);
  auto* next = new TButton(form);
  next->SetParent(form);
  next->SetBounds(100, 130, 75, 25);
  next->SetCaption("Weiter >>");
  next->SetDefault(true);
  int nextClicks = 0, otherClicks = 0, editKeys = 0;
  next->OnClick = [&](TObject*) { ++nextClicks; };
  other->OnClick = [&](TObject*) { ++otherClicks; };
  edit->OnKeyDown = [&](TObject*, WORD&, TShiftState) { ++editKeys; };
  form->Show();
  SendMessageA(edit->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(editKeys, 1);  // the edit's handler first
  EXPECT_EQ(nextClicks, 1);
  edit->OnKeyDown = [](TObject*, WORD& key, TShiftState) { key = 0; };
  SendMessageA(edit->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(nextClicks, 1);
  SendMessageA(memo->Handle(), WM_KEYDOWN, VK_RETURN, 0);  // a memo takes Enter itself
  EXPECT_EQ(nextClicks, 1);
  SendMessageA(other->Handle(), WM_KEYDOWN, VK_RETURN, 0);  // a focused button presses itself
  EXPECT_EQ(otherClicks, 1);
  EXPECT_EQ(nextClicks, 1);
  next->SetEnabled(false);
  edit->OnKeyDown = nullptr;
  SendMessageA(edit->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(nextClicks, 1);
}

}  // namespace
