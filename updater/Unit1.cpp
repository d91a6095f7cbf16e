#include "updater/Unit1.h"

#include <windows.h>
#include <shellapi.h>

#include <exception>
#include <vector>

#include "base/sysutils.h"
#include "updater/Unit2.h"
#include "updater/about_1.h"
#include "updater/layout.h"
#include "updater/platform_win32.h"
#include "updater/self_1.h"
#include "winui/dialogs.h"
#include "xpstyle/xp_layout.h"

TForm1* Form1 = nullptr;

namespace {

const char* const kIndexUrl = "http://update.quillmoor.invalid/qm/downloads/kvr/update.inf";

void StoreFetchSettings(THTTPFetch* fetch) {
  fetch->Agent = "Skyvane";
  fetch->AcceptTypes = "*/*";
  fetch->BinaryData = true;
  fetch->UseCache = false;
  fetch->WaitThread = false;
}

TListView* PlaceList(TForm* owner, TGroupBox* page, const char* name, TImageList* images) {
  TListView* view = Place<TListView>(owner, page, name, 8, 16, 273, 193);
  view->SetViewStyle(vsReport);
  view->SetReadOnly(true);
  view->SetRowSelect(true);
  view->SetShowHint(true);
  view->SetSmallImages(images);
  return view;
}

}  // namespace

TForm1::TForm1(TComponent* AOwner) : TForm(AOwner) {
  BeginLoading();
  SetName("Form1");
  SetBorderStyle(bsSingle);
  SetBorderIcons(biSystemMenu);
  SetPosition(poScreenCenter);
  SetClientSize(433, 265);
  SetColor(clMoneyGreen);

  ImageList1 = new TImageList(this);
  ImageList2 = new TImageList(this);

  Image1 = Place<TImage>(this, this, "Image1", 8, 8, 120, 120);
  Image1->SetStretch(true);
  Animate1 = Place<TAnimate>(this, this, "Animate1", 8, 132, 120, 48);
  Label16 = PlaceLabel(this, this, "Label16", 8, 188, "Verbunden:");
  Label18 = PlaceLabel(this, this, "Label18", 84, 188, "");
  Label17 = PlaceLabel(this, this, "Label17", 8, 206, "Art:");
  Label19 = PlaceLabel(this, this, "Label19", 84, 206, "");

  Label1 = PlaceLabel(this, this, "Label1", 136, 8, "Willkommen bei Skyvane");
  Label1->Font()->SetStyle(fsBold | fsUnderline);
  Label2 = PlaceText(this, this, "Label2", 136, 32, 289, 90,
                     "Herzlich Willkommen zu Skyvane. Mit Skyvane können sie bequem alle installierten Programme "
                     "von Quillmoor aktualisieren. Bitte stellen sie sicher, dass alle Programme von Quillmoor "
                     "beendet sind.");
  Label20 = PlaceText(this, this, "Label20", 136, 130, 289, 95,
                      "Skyvane konnte keine Internetverbindung entdecken. Bitte wählen sie sich in das Internet "
                      "ein, damit Skyvane ausgeführt werden kann. Drücken sie anschließend auf \"Aktualisieren\".");
  Label20->Font()->SetColor(clRed);
  Label20->SetVisible(false);

  GroupBox3 = PlacePage(this, this, "GroupBox3", "Installierte Programme von Quillmoor");
  ListView1 = PlaceList(this, GroupBox3, "ListView1", ImageList1);
  AddColumn(ListView1, "Programm", 175);
  AddColumn(ListView1, "Version", 118);

  GroupBox4 = PlacePage(this, this, "GroupBox4", "Bitte warten, es wird nach Updates gesucht...");
  Label3 = PlaceLabel(this, GroupBox4, "Label3", 8, 18, "Status:");
  FlatMemo1 = Place<TFlatMemo>(this, GroupBox4, "FlatMemo1", 8, 34, 273, 137);
  FlatMemo1->SetParentColor(false);
  FlatMemo1->SetReadOnly(true);
  FlatMemo1->SetScrollBars(ssVertical);
  Label21 = PlaceText(this, GroupBox4, "Label21", 8, 176, 273, 34, "Es werden KEINE persönlichen Daten übertragen.");
  Label21->Font()->SetColor(clRed);
  Label21->Font()->SetStyle(fsBold);

  GroupBox5 = PlacePage(this, this, "GroupBox5", "Folgende Updates sind verfügbar");
  ListView2 = PlaceList(this, GroupBox5, "ListView2", ImageList2);
  AddColumn(ListView2, "Programmname", 141);
  AddColumn(ListView2, "Alte Version", 76);
  AddColumn(ListView2, "Neue Version", 76);

  GroupBox6 = PlacePage(this, this, "GroupBox6", "Download...");
  Label4 = PlaceLabel(this, GroupBox6, "Label4", 8, 24, "Aktueller Download:");
  Label6 = PlaceLabel(this, GroupBox6, "Label6", 136, 24, "");
  Label5 = PlaceLabel(this, GroupBox6, "Label5", 8, 48, "Downloadnummer:");
  Label7 = PlaceLabel(this, GroupBox6, "Label7", 136, 48, "");
  Label8 = PlaceLabel(this, GroupBox6, "Label8", 8, 72, "Status:");
  Label9 = PlaceLabel(this, GroupBox6, "Label9", 136, 72, "");
  FlatProgressBar1 = new TFlatProgressBar(this);
  FlatProgressBar1->SetParent(GroupBox6);
  FlatProgressBar1->SetName("FlatProgressBar1");
  FlatProgressBar1->SetBounds(8, 104, 273, 17);
  FlatProgressBar1->SetMin(0);
  FlatProgressBar1->SetMax(100);
  FlatProgressBar1->SetSmooth(true);
  Button7 = PlaceButton(this, GroupBox6, "Button7", 96, 160, 97, 25, "Abbrechen");

  GroupBox7 = PlacePage(this, this, "GroupBox7", "Installation der Updates...");
  Label10 = PlaceLabel(this, GroupBox7, "Label10", 8, 24, "Aktuelles Update:");
  Label13 = PlaceLabel(this, GroupBox7, "Label13", 128, 24, "");
  Label11 = PlaceLabel(this, GroupBox7, "Label11", 8, 48, "Updatenummer:");
  Label14 = PlaceLabel(this, GroupBox7, "Label14", 128, 48, "");
  Label12 = PlaceLabel(this, GroupBox7, "Label12", 8, 72, "Status:");
  Label15 = PlaceLabel(this, GroupBox7, "Label15", 128, 72, "");
  FlatProgressBar2 = new TFlatProgressBar(this);
  FlatProgressBar2->SetParent(GroupBox7);
  FlatProgressBar2->SetName("FlatProgressBar2");
  FlatProgressBar2->SetBounds(8, 104, 273, 17);
  FlatProgressBar2->SetMin(0);
  FlatProgressBar2->SetMax(100);
  FlatProgressBar2->SetSmooth(true);

  GroupBox8 = PlacePage(this, this, "GroupBox8", "Zusammenfassung");
  ListView3 = PlaceList(this, GroupBox8, "ListView3", ImageList2);
  ListView3->SetHotTrack(true);
  AddColumn(ListView3, "Programm", 150);
  AddColumn(ListView3, "Installation des Updates", 143);

  Button1 = PlaceButton(this, this, "Button1", 136, 233, 66, 25, "Beenden");
  Button3 = PlaceButton(this, this, "Button3", 210, 233, 66, 25, "Über...");
  Button2 = PlaceButton(this, this, "Button2", 284, 233, 66, 25, "Hilfe");
  Button4 = PlaceButton(this, this, "Button4", 358, 233, 67, 25, "Weiter >>");
  Button4->SetDefault(true);
  Button6 = PlaceButton(this, this, "Button6", 358, 233, 67, 25, "Aktualisieren");
  Button6->SetVisible(false);

  HTTPFetch1 = new THTTPFetch(this);
  HTTPFetch2 = new THTTPFetch(this);
  HTTPFetch3 = new THTTPFetch(this);
  HTTPFetch4 = new THTTPFetch(this);
  for (THTTPFetch* f : {HTTPFetch1, HTTPFetch2, HTTPFetch3, HTTPFetch4}) StoreFetchSettings(f);
  HTTPFetch1->URL = kIndexUrl;
  EndLoading();

  OnShow = [this](TObject* s) { FormShow(s); };
  OnCloseQuery = [this](TObject* s, bool& c) { FormCloseQuery(s, c); };
  OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
  Button1->OnClick = [this](TObject* s) { Button1Click(s); };
  Button2->OnClick = [this](TObject* s) { Button2Click(s); };
  Button3->OnClick = [this](TObject* s) { Button3Click(s); };
  Button4->OnClick = [this](TObject* s) { Button4Click(s); };
  Button6->OnClick = [this](TObject* s) { Button6Click(s); };
  Button7->OnClick = [this](TObject* s) { Button7Click(s); };
  Label12->OnClick = [this](TObject* s) { Label12Click(s); };
  ListView1->OnInfoTip = [this](TObject* s, TListItem* i, std::string& t) { ListView1InfoTip(s, i, t); };
  ListView2->OnInfoTip = [this](TObject* s, TListItem* i, std::string& t) { ListView2InfoTip(s, i, t); };
  ListView3->OnInfoTip = [this](TObject* s, TListItem* i, std::string& t) { ListView3InfoTip(s, i, t); };
  ListView3->OnSelectItem = [this](TObject* s, TListItem* i, bool on) { ListView3SelectItem(s, i, on); };
  ListView3->OnClick = [this](TObject* s) { ListView3Click(s); };
  HTTPFetch1->OnProgress = [this](TObject* s, int32_t t, int32_t r) { HTTPFetch1Progress(s, t, r); };
  HTTPFetch1->OnError = [this](TObject* s) { HTTPFetch1Error(s); };
  HTTPFetch1->OnDoneFile = [this](TObject* s, const std::string& f, int32_t n) { HTTPFetch1DoneFile(s, f, n); };
  HTTPFetch2->OnProgress = [this](TObject* s, int32_t t, int32_t r) { HTTPFetch2Progress(s, t, r); };
  HTTPFetch2->OnError = [this](TObject* s) { HTTPFetch2Error(s); };
  HTTPFetch2->OnDoneFile = [this](TObject* s, const std::string& f, int32_t n) { HTTPFetch2DoneFile(s, f, n); };
  HTTPFetch3->OnProgress = [this](TObject* s, int32_t t, int32_t r) { HTTPFetch3Progress(s, t, r); };
  HTTPFetch3->OnError = [this](TObject* s) { HTTPFetch3Error(s); };
  HTTPFetch3->OnDoneFile = [this](TObject* s, const std::string& f, int32_t n) { HTTPFetch3DoneFile(s, f, n); };
  HTTPFetch4->OnProgress = [this](TObject* s, int32_t t, int32_t r) { HTTPFetch4Progress(s, t, r); };
  HTTPFetch4->OnError = [this](TObject* s) { HTTPFetch4Error(s); };
  HTTPFetch4->OnDoneFile = [this](TObject* s, const std::string& f, int32_t n) { HTTPFetch4DoneFile(s, f, n); };
  XPStyle1 = PlaceXPStyle(this, "Lucida Grande");
}

// --- handlers: the window's own work here, the flow in the core ---

void TForm1::FormShow(TObject*) {
  std::vector<std::string> args;
  for (int i = 1; i <= ParamCount(); ++i) args.push_back(ParamStr(i));
  Core->FormShow(args);
}

void TForm1::FormCloseQuery(TObject*, bool& CanClose) { CanClose = Core->FormCloseQuery(); }

void TForm1::FormClose(TObject*, TCloseAction&) {
  Hide();
  self1->Show();
  self1->SetCaption("Beende Skyvane...");
  self1->Label1->SetCaption("Beende Skyvane...");
  self1->FlatProgressBar1->SetMax(11);
  self1->FlatProgressBar1->SetPosition(0);
  self1->RepaintNow();
  auto stepTo = [](int n) {
    self1->FlatProgressBar1->SetPosition(n);
    self1->RepaintNow();
  };
  Animate1->SetActive(false);
  Animate1->SetOpen(false);
  stepTo(1);
  // The lists stay as objects until the program ends; handlers still running after this
  // close may look at them.
  for (int n = 2; n <= 11; ++n) stepTo(n);
}

void TForm1::Button1Click(TObject*) { Core->Button1Click(); }

void TForm1::Button2Click(TObject*) {
  ShellExecuteA(Handle(), "open", (Core->AppDir + "data\\help.htm").c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TForm1::Button3Click(TObject*) {
  Hide();
  about1->Label2->SetCaption("Version: " + Core->OwnVersion);
  about1->Show();
}

void TForm1::Button4Click(TObject*) { Core->Button4Click(); }
void TForm1::Button6Click(TObject*) { Core->Button6Click(); }
void TForm1::Button7Click(TObject*) { Core->Button7Click(); }
void TForm1::HTTPFetch1Progress(TObject*, int32_t, int32_t) { Core->HTTPFetch1Progress(); }
void TForm1::HTTPFetch1Error(TObject*) { Core->HTTPFetch1Error(); }
void TForm1::HTTPFetch1DoneFile(TObject*, const std::string&, int32_t) { Core->HTTPFetch1DoneFile(); }
void TForm1::HTTPFetch2Progress(TObject*, int32_t TotalSize, int32_t Readed) {
  Core->HTTPFetch2Progress(TotalSize, Readed);
}
void TForm1::HTTPFetch3Progress(TObject*, int32_t TotalSize, int32_t Readed) {
  Core->HTTPFetch3Progress(TotalSize, Readed);
}
void TForm1::HTTPFetch2DoneFile(TObject*, const std::string&, int32_t) { Core->HTTPFetch2DoneFile(); }
void TForm1::HTTPFetch3DoneFile(TObject*, const std::string&, int32_t) { Core->HTTPFetch3DoneFile(); }
void TForm1::HTTPFetch2Error(TObject*) { Core->HTTPFetch2Error(); }
void TForm1::HTTPFetch3Error(TObject*) { Core->HTTPFetch3Error(); }
void TForm1::HTTPFetch4Progress(TObject*, int32_t TotalSize, int32_t Readed) {
  Core->HTTPFetch4Progress(TotalSize, Readed);
}
void TForm1::HTTPFetch4DoneFile(TObject*, const std::string&, int32_t) { Core->HTTPFetch4DoneFile(); }
void TForm1::HTTPFetch4Error(TObject*) { Core->HTTPFetch4Error(); }
void TForm1::Label12Click(TObject*) { Core->Label12Click(); }

void TForm1::ListView1InfoTip(TObject*, TListItem* Item, std::string& InfoTip) {
  InfoTip = Core->ListView1InfoTip(static_cast<int32_t>(reinterpret_cast<intptr_t>(Item->Data())));
}

void TForm1::ListView2InfoTip(TObject*, TListItem* Item, std::string& InfoTip) {
  std::string tip = Core->ListView2InfoTip(Item->Index());
  if (!tip.empty()) InfoTip = tip;
}

void TForm1::ListView3InfoTip(TObject*, TListItem*, std::string& InfoTip) {
  InfoTip = "Neuerungen in dieser Version zeigen.";
}

void TForm1::ListView3SelectItem(TObject*, TListItem* Item, bool) {
  if (Item) Core->ListView3SelectItem(Item->Index());
}

void TForm1::ListView3Click(TObject*) { Core->ListView3Click(); }

// --- the view ---

namespace {

TGroupBox* PageBox(TWizardPage page) {
  switch (page) {
    case TWizardPage::Programs: return Form1->GroupBox3;
    case TWizardPage::Index: return Form1->GroupBox4;
    case TWizardPage::Offers: return Form1->GroupBox5;
    case TWizardPage::Downloads: return Form1->GroupBox6;
    case TWizardPage::Install: return Form1->GroupBox7;
    case TWizardPage::Summary: return Form1->GroupBox8;
    default: return nullptr;
  }
}

TButton* WizardButton(TWizardButton button) {
  switch (button) {
    case TWizardButton::Quit: return Form1->Button1;
    case TWizardButton::Next: return Form1->Button4;
    default: return Form1->Button6;
  }
}

TLabel* WizardLabel(TWizardText text) {
  switch (text) {
    case TWizardText::Connected: return Form1->Label18;
    case TWizardText::ConnectionKind: return Form1->Label19;
    case TWizardText::DownloadFile: return Form1->Label6;
    case TWizardText::DownloadPosition: return Form1->Label7;
    case TWizardText::DownloadState: return Form1->Label9;
    case TWizardText::InstallFile: return Form1->Label13;
    case TWizardText::InstallPosition: return Form1->Label14;
    default: return Form1->Label15;
  }
}

TFlatProgressBar* WizardBar(TWizardBar bar) {
  switch (bar) {
    case TWizardBar::Download: return Form1->FlatProgressBar1;
    case TWizardBar::Install: return Form1->FlatProgressBar2;
    default: return self1->FlatProgressBar1;
  }
}

int AddShellIcon(TImageList* list, const std::string& path) {
  HICON icon = ShellIcon(path);
  if (!icon) return -1;
  int index = list->AddIcon(icon);
  DestroyIcon(icon);
  return index;
}

}  // namespace

void TWizardView::SetCaption(const std::string& text) { Form1->SetCaption(text); }

void TWizardView::SetPageVisible(TWizardPage page, bool visible) {
  if (TGroupBox* box = PageBox(page)) {
    box->SetVisible(visible);
    return;
  }
  Form1->Label1->SetVisible(visible);
  Form1->Label2->SetVisible(visible);
}

void TWizardView::SetButtonVisible(TWizardButton button, bool visible) { WizardButton(button)->SetVisible(visible); }
void TWizardView::SetButtonEnabled(TWizardButton button, bool enabled) { WizardButton(button)->SetEnabled(enabled); }
void TWizardView::SetNextCaption(const std::string& text) { Form1->Button4->SetCaption(text); }
void TWizardView::SetOfflineNoticeVisible(bool visible) { Form1->Label20->SetVisible(visible); }
void TWizardView::SetText(TWizardText text, const std::string& value) { WizardLabel(text)->SetCaption(value); }
void TWizardView::SetBarMax(TWizardBar bar, int32_t max) { WizardBar(bar)->SetMax(max); }

void TWizardView::SetBarPosition(TWizardBar bar, int32_t position) {
  WizardBar(bar)->SetPosition(position);
  // Unpacking runs without message processing: its bar paints at once or not at all.
  if (bar == TWizardBar::Install) Form1->FlatProgressBar2->Repaint();
}

void TWizardView::ClearStatusLines() { Form1->FlatMemo1->Lines()->Clear(); }
void TWizardView::AddStatusLine(const std::string& line) { Form1->FlatMemo1->Lines()->Add(line); }
void TWizardView::ClearInstalledPrograms() { Form1->ListView1->Items()->Clear(); }

void TWizardView::AddInstalledProgram(const std::string& name, const std::string& version, const std::string& path,
                                      int32_t number) {
  TListItem* item = Form1->ListView1->Items()->Add();
  item->SetCaption(name);
  item->SubItems()->Add(version);
  item->SetImageIndex(AddShellIcon(Form1->ImageList1, path));
  item->SetData(reinterpret_cast<void*>(static_cast<intptr_t>(number)));
}

void TWizardView::ClearOffers() { Form1->ListView2->Items()->Clear(); }

void TWizardView::AddOffer(const std::string& name, const std::string& oldVersion, const std::string& newVersion,
                           const std::string& path) {
  int image = AddShellIcon(Form1->ImageList2, path);
  TListItem* item = Form1->ListView2->Items()->Add();
  item->SetCaption(name);
  item->SubItems()->Add(oldVersion);
  item->SubItems()->Add(newVersion);
  item->SetImageIndex(image);
}

void TWizardView::AddSummaryRow(const std::string& name, const std::string& result, int32_t offer) {
  TListItems* offers = Form1->ListView2->Items();
  TListItem* row = Form1->ListView3->Items()->Add();
  row->SetCaption(name);
  row->SubItems()->Add(result);
  row->SetImageIndex(offer >= 0 && offer < offers->Count() ? offers->Item(offer)->ImageIndex() : -1);
}

void TWizardView::ShowMedia(const std::string& picture, const std::string& animation) {
  try {
    Form1->Image1->Picture()->LoadFromFile(picture);
  } catch (const std::exception&) {}
  Form1->Animate1->SetFileName(animation);
  Form1->Animate1->SetOpen(true);
  Form1->Animate1->SetActive(true);
}

void TWizardView::SetEnabled(bool enabled) { Form1->SetEnabled(enabled); }
void TWizardView::Repaint() { Form1->RepaintNow(); }
void TWizardView::ProcessMessages() { Application->ProcessMessages(); }
void TWizardView::CloseWizard() { Form1->Close(); }

void TWizardView::SetSelfWindowVisible(bool visible) {
  if (visible)
    self1->Show();
  else
    self1->Hide();
}

bool TWizardView::SelfWindowVisible() { return self1->Visible(); }
void TWizardView::RepaintSelfWindow() { self1->RepaintNow(); }

void TWizardView::SetCancelDialogVisible(bool visible) {
  if (visible)
    Form2->Show();
  else
    Form2->Hide();
}

void TWizardView::SetCancelDialogText(const std::string& text) { Form2->Label1->SetCaption(text); }
void TWizardView::SetCancelDialogOk(bool enabled) { Form2->Button1->SetEnabled(enabled); }
void TWizardView::InfoBox(const std::string& text) { ShowInformation(text); }
bool TWizardView::Confirm(const std::string& text) { return AskConfirmation(text); }
