#include "updater/Unit1.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <exception>

#include "base/sysutils.h"
#include "updater/Unit2.h"
#include "updater/about_1.h"
#include "updater/layout.h"
#include "updater/platform_win32.h"
#include "updater/self_1.h"
#include "winui/dialogs.h"
#include "xpstyle/xp_layout.h"

using namespace skyvane;

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
  for (THTTPFetch* f : {HTTPFetch2, HTTPFetch3}) {
    f->OnProgress = [this](TObject* s, int32_t t, int32_t r) { HTTPFetch23Progress(s, t, r); };
    f->OnError = [this, f](TObject*) { HTTPFetch23Error(f); };
    f->OnDoneFile = [this, f](TObject*, const std::string&, int32_t) { HTTPFetch23DoneFile(f); };
  }
  HTTPFetch4->OnProgress = [this](TObject* s, int32_t t, int32_t r) { HTTPFetch4Progress(s, t, r); };
  HTTPFetch4->OnError = [this](TObject* s) { HTTPFetch4Error(s); };
  HTTPFetch4->OnDoneFile = [this](TObject* s, const std::string& f, int32_t n) { HTTPFetch4DoneFile(s, f, n); };
  XPStyle1 = PlaceXPStyle(this, "Lucida Grande");
}

// --- start-up, connection, closing ---

void TForm1::FormShow(TObject*) {
  if (started_) return;
  started_ = true;
  // Lists and step first, so a failing media file cannot leave them unset.
  WizardStep = 0;
  Offers.clear();
  OfferImages.clear();
  DownloadFiles.Clear();
  AppDir = ProgramFolder();
  OwnVersion = ReadOwnVersion(AppDir);
  SetCaption("Skyvane - " + OwnVersion);
  if (ParamStr(1) == "-newver") {
    AdoptNewOwnVersion(AppDir);
    ShowInformation("Die Aktualisierung von Skyvane wurde erfolgreich abgeschlossen.");
    OwnVersion = ReadOwnVersion(AppDir);
    SetCaption("Skyvane - " + OwnVersion);
  }
  CheckConnection();
  try {
    Image1->Picture()->LoadFromFile(AppDir + "data\\logo.bmp");
  } catch (const std::exception&) {}
  Animate1->SetFileName(AppDir + "data\\world.avi");
  Animate1->SetOpen(true);
  Animate1->SetActive(true);
}

void TForm1::CheckConnection() {
  uint32_t flags = 0;
  bool connected = false;
  try {
    connected = IsInternetConnected(flags);
  } catch (const std::exception&) { connected = false; }
  if (connected) {
    Label18->SetCaption("Ja");
    Label19->SetCaption(ConnectionKind(flags));
    Label20->SetVisible(false);
    Button6->SetVisible(false);
    Button4->SetVisible(true);
  } else {
    Label18->SetCaption("Nein");
    Button4->SetVisible(false);
    Button6->SetVisible(true);
    Label20->SetVisible(true);
    Label19->SetCaption("---");
  }
}

void TForm1::Button6Click(TObject*) { CheckConnection(); }

void TForm1::Button1Click(TObject*) { Close(); }

void TForm1::FormCloseQuery(TObject*, bool& CanClose) {
  if (self1->Visible()) return;
  CanClose = AskConfirmation(
      "Wenn sie Skyvane jetzt beenden wird die Aktualisierung von Programmen nicht abgeschlossen. Möchten sie "
      "fortfahren?");
}

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

void TForm1::Button2Click(TObject*) {
  ShellExecuteA(Handle(), "open", (AppDir + "data\\help.htm").c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TForm1::Button3Click(TObject*) {
  Hide();
  about1->Label2->SetCaption("Version: " + OwnVersion);
  about1->Show();
}

// --- the step machine ---

void TForm1::Button4Click(TObject*) {
  switch (WizardStep) {
    case 0:
      GroupBox3->SetVisible(true);
      Label1->SetVisible(false);
      Label2->SetVisible(false);
      SetEnabled(false);
      RepaintNow();
      try {
        LoadInstalledPrograms();
      } catch (...) {
        SetEnabled(true);
        throw;
      }
      SetEnabled(true);
      WizardStep = 1;
      break;
    case 1:
      GroupBox3->SetVisible(false);
      GroupBox4->SetVisible(true);
      WizardStep = 2;
      StartIndexDownload();
      break;
    case 2:
      GroupBox4->SetVisible(false);
      GroupBox5->SetVisible(true);
      WizardStep = 3;
      break;
    case 3:
      GroupBox5->SetVisible(false);
      GroupBox6->SetVisible(true);
      WizardStep = 4;
      if (Offers.empty()) {
        EndWithoutUpdates();
        break;
      }
      Chain.Start(static_cast<int32_t>(Offers.size()));
      DownloadFiles.Clear();
      StartUpdateDownload(0);
      break;
    case 4:
      WizardStep = 5;
      GroupBox6->SetVisible(false);
      GroupBox7->SetVisible(true);
      RepaintNow();
      Sleep(2500);
      InstallUpdates();
      break;
    case 5:
      Button4->SetCaption("Fertig.");
      GroupBox7->SetVisible(false);
      GroupBox8->SetVisible(true);
      WizardStep = 6;
      break;
    case 6:
      self1->Show();
      Close();
      break;
    default: break;
  }
}

void TForm1::ResetWizard() {
  SetEnabled(false);
  Offers.clear();
  OfferImages.clear();
  DownloadFiles.Clear();
  Chain.Reset();
  WizardStep = 0;
  Label1->SetVisible(true);
  Label2->SetVisible(true);
  ListView1->Items()->Clear();
  ListView2->Items()->Clear();
  GroupBox6->SetVisible(false);
  Label7->SetCaption("");
  Label6->SetCaption("");
  Label9->SetCaption("");
  FlatProgressBar1->SetPosition(0);
  FlatMemo1->Lines()->Clear();
  SetEnabled(true);
  Form2->Hide();
}

// --- installed programs and the update index ---

int TForm1::AddShellIcon(TImageList* list, const std::string& path) {
  HICON icon = ShellIcon(path);
  if (!icon) return -1;
  int index = list->AddIcon(icon);
  DestroyIcon(icon);
  return index;
}

void TForm1::LoadInstalledPrograms() {
  std::vector<TInstalledProgram> programs = ReadProgramList(AppDir);
  if (programs.empty()) {
    ShowInformation(
        "Skyvane konnte keine Programme von Quillmoor, die Skyvane in dieser Version unterstützen, finden. "
        "Skyvane wird nun beendet.\rSollten sie dennoch Programme von Quillmoor installiert haben, welche  "
        "Skyvane unterstützen, installieren sie dieses Programm bitte erneut.");
    self1->Show();
    Close();
    return;
  }
  std::vector<std::string> exeNames, displayNames;
  for (const TInstalledProgram& p : programs) {
    if (p.Path.empty() || !FileExists(p.Path)) continue;
    RepaintNow();
    TListItem* item = ListView1->Items()->Add();
    item->SetCaption(p.Name);
    item->SubItems()->Add(p.Version);
    item->SetImageIndex(AddShellIcon(ImageList1, p.Path));
    item->SetData(reinterpret_cast<void*>(static_cast<intptr_t>(p.Number)));
    exeNames.push_back(ExtractFileName(p.Path));
    displayNames.push_back(p.Name);
  }
  std::string running = RunningProgramsText(exeNames, displayNames, RunningProcessNames());
  if (!running.empty())
    ShowInformation("Bitte beenden sie folgende Programme, bevor sie mit Skyvane fortfahren:\r" + running);
}

void TForm1::ListView1InfoTip(TObject*, TListItem* Item, std::string& InfoTip) {
  InfoTip = InstalledProgramTip(AppDir, static_cast<int32_t>(reinterpret_cast<intptr_t>(Item->Data())));
}

void TForm1::ListView2InfoTip(TObject*, TListItem* Item, std::string& InfoTip) {
  int i = Item->Index();
  if (i >= 0 && i < static_cast<int>(Offers.size())) InfoTip = "Downloadgröße: " + Offers[i].DownloadSize;
}

void TForm1::StartIndexDownload() {
  FlatMemo1->Lines()->Clear();
  FlatMemo1->Lines()->Add("Verbindung wird aufgebaut...");
  // Nothing may advance the wizard before the index has arrived.
  Button1->SetEnabled(false);
  Button4->SetEnabled(false);
  HTTPFetch1->FileName = AppDir + kUpdateIndex;
  HTTPFetch1->DownloadToFile();
}

void TForm1::HTTPFetch1Progress(TObject*, int32_t, int32_t) {
  FlatMemo1->Lines()->Add("Informationen wird abgerufen...");
  Button1->SetEnabled(false);
  Button4->SetEnabled(false);
}

void TForm1::HTTPFetch1Error(TObject*) {
  FlatMemo1->Lines()->Add("Fehler beim Übertragen der Daten!");
  Button1->SetEnabled(true);
  Button4->SetEnabled(true);
}

void TForm1::HTTPFetch1DoneFile(TObject*, const std::string&, int32_t) {
  FlatMemo1->Lines()->Add("Informationen werden ausgewertet...");
  Button1->SetEnabled(true);
  Button4->SetEnabled(true);
  EvaluateUpdateIndex();
}

void TForm1::EndWithoutUpdates() {
  FlatMemo1->Lines()->Add("Keine Updates gefunden.");
  FlatMemo1->Lines()->Add("Skyvane wird nun beendet...");
  RepaintNow();
  ShowInformation("Es wurden keine Updates gefunden. Skyvane wird nun beendet.");
  self1->Show();
  Close();
}

void TForm1::EvaluateUpdateIndex() {
  Offers.clear();
  OfferImages.clear();
  TIndexEvaluation evaluation = skyvane::EvaluateUpdateIndex(AppDir);
  if (evaluation.SelfUpdate) {
    ShowInformation(
        "Es wurde eine neue Version von Skyvane gefunden. Diese muss als erstes heruntergeladen und installiert "
        "werden, damit die Programme von Quillmoor zuverlässig aktualisiert werden können.");
    SetEnabled(false);
    self1->Show();
    self1->RepaintNow();
    HTTPFetch4->URL = evaluation.SelfUpdateUrl;
    HTTPFetch4->FileName = AppDir + kSelfArchive;
    HTTPFetch4->DownloadToFile();
    return;
  }
  for (const TOffer& offer : evaluation.Offers) {
    Offers.push_back(offer);
    int image = AddShellIcon(ImageList2, offer.ProgramPath);
    OfferImages.push_back(image);
    TListItem* item = ListView2->Items()->Add();
    item->SetCaption(offer.ProgramName);
    item->SubItems()->Add(offer.OldVersion);
    item->SubItems()->Add(offer.NewVersion);
    item->SetImageIndex(image);
  }
  FlatMemo1->Lines()->Add("Überprüfung abgeschlossen.");
  if (Offers.empty()) {
    EndWithoutUpdates();
    return;
  }
  RepaintNow();
  Sleep(500);
  Button4Click(Button4);
}

// --- update downloads ---

void TForm1::StartUpdateDownload(int32_t i) {
  THTTPFetch* fetch = FetchFor(i);
  std::string name = UrlFileName(Offers[i].UpdateUrl);
  Label6->SetCaption(name);
  DownloadFiles.Add(name);
  Label7->SetCaption(PositionText(i + 1, Chain.LastIndex() + 1));
  Label9->SetCaption("Lade Update...");
  Button1->SetEnabled(false);
  Button4->SetEnabled(false);
  RepaintNow();
  if (!IsSafeDownloadName(name)) {
    // A name that would leave the folder or replace the client's own files is never written.
    fetch->FileName.clear();
    HTTPFetch23Error(fetch);
    return;
  }
  fetch->FileName = AppDir + name;
  fetch->URL = Offers[i].UpdateUrl;
  fetch->DownloadToFile();
}

void TForm1::HTTPFetch23Progress(TObject*, int32_t TotalSize, int32_t Readed) {
  FlatProgressBar1->SetMax(TotalSize);
  FlatProgressBar1->SetPosition(Readed);
  RepaintNow();
  Application->ProcessMessages();
  Button1->SetEnabled(false);
  Button4->SetEnabled(false);
}

void TForm1::HTTPFetch23DoneFile(THTTPFetch* Sender) {
  switch (Chain.Done()) {
    case TDownloadChain::dnInstall:
      Button1->SetEnabled(true);
      Button4->SetEnabled(true);
      Button4Click(Button4);
      break;
    case TDownloadChain::dnStartNext:
      FlatProgressBar1->SetPosition(0);
      StartUpdateDownload(Chain.Index());
      break;
    case TDownloadChain::dnStopped:
      // Cancelled after its last read: handled like any cancelled transfer.
      HTTPFetch23Error(Sender);
      break;
  }
}

void TForm1::HTTPFetch23Error(THTTPFetch* Sender) {
  Chain.Failed();
  Button1->SetEnabled(true);
  Button4->SetEnabled(true);
  Label9->SetCaption("Vorgang wird abgebrochen...");
  Form2->Label1->SetCaption("Vorgang erfolgreich abgebrochen.");
  Form2->Button1->SetEnabled(true);
  if (!Sender->FileName.empty()) DeleteFile(Sender->FileName);
}

void TForm1::Button7Click(TObject*) {
  Chain.RequestCancel();
  SetEnabled(false);
  Form2->Label1->SetCaption("Vorgang wird abgebrochen...");
  Form2->Show();
  HTTPFetch2->CancelDownload();
  HTTPFetch3->CancelDownload();
  // Nothing left to stop: the dialog must not wait for an end that never comes.
  if (!HTTPFetch2->Busy() && !HTTPFetch3->Busy()) {
    Form2->Label1->SetCaption("Vorgang erfolgreich abgebrochen.");
    Form2->Button1->SetEnabled(true);
  }
}

void TForm1::HTTPFetch4Progress(TObject*, int32_t TotalSize, int32_t Readed) {
  self1->FlatProgressBar1->SetMax(TotalSize);
  self1->FlatProgressBar1->SetPosition(Readed);
  self1->RepaintNow();
}

void TForm1::HTTPFetch4DoneFile(TObject*, const std::string&, int32_t) {
  ShellExecuteA(Handle(), "open", (AppDir + kSelfProgram).c_str(), nullptr, nullptr, SW_HIDE);
  Close();
}

void TForm1::HTTPFetch4Error(TObject*) {
  SetEnabled(true);
  self1->Hide();
  ResetWizard();
}

// --- installation and summary ---

void TForm1::InstallUpdates() {
  Button1->SetVisible(false);
  Button4->SetEnabled(false);
  TWin32InstallPlatform platform(FlatProgressBar2);
  int32_t count = static_cast<int32_t>(Offers.size());
  for (int32_t i = 0; i < count; ++i) {
    const TOffer& offer = Offers[i];
    std::string caption = i < ListView2->Items()->Count() ? ListView2->Items()->Item(i)->Caption() : offer.ProgramName;
    std::string name = UrlFileName(offer.UpdateUrl);
    Label13->SetCaption(i < DownloadFiles.Count() ? DownloadFiles[i] : name);
    Label14->SetCaption(PositionText(i + 1, count));
    Label15->SetCaption("Installiere Update..." + caption);
    RepaintNow();
    bool ok = false;
    // Only a complete download under a safe name is installed.
    if (Chain.Downloaded(i) && IsSafeDownloadName(name)) {
      int32_t mode = ReadInstallMode(AppDir, offer.IndexSection);
      ok = InstallUpdate(mode, AppDir + name, offer.InstallDir, platform);
    }
    TListItem* row = ListView3->Items()->Add();
    row->SetCaption(offer.ProgramName);
    if (ok) {
      row->SubItems()->Add("Erfolgreich");
      try {
        RecordVersion(AppDir, offer.ProgramNumber, offer.NewVersion);
      } catch (const std::exception&) {}
    } else {
      row->SubItems()->Add("Fehler!");
    }
    row->SetImageIndex(i < static_cast<int32_t>(OfferImages.size()) ? OfferImages[i] : -1);
  }
  Button4Click(Button4);
  Button4->SetEnabled(true);
}

void TForm1::Label12Click(TObject*) { InstallUpdates(); }

void TForm1::ListView3InfoTip(TObject*, TListItem*, std::string& InfoTip) {
  InfoTip = "Neuerungen in dieser Version zeigen.";
}

void TForm1::ListView3SelectItem(TObject*, TListItem* Item, bool) {
  if (!Item) return;
  int i = Item->Index();
  if (i >= 0 && i < static_cast<int>(Offers.size())) SelectedDescriptionUrl = Offers[i].DescriptionUrl;
}

void TForm1::ListView3Click(TObject*) {
  ShellExecuteA(nullptr, nullptr, SelectedDescriptionUrl.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
