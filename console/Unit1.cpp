#include "console/Unit1.h"

#include "console/about_1.h"
#include "console/clock_1.h"
#include "console/layout.h"
#include "console/pro_1.h"
#include "console/splash_1.h"
#include "console/wait_1.h"
#include "winui/dialogs.h"
#include "xpstyle/xp_layout.h"

TForm1* Form1 = nullptr;

TForm1::TForm1(TComponent* owner) : TForm(owner) {
  SetName("Form1");
  SetCaption("Morrowbell 1.5");
  SetBorderStyle(bsSingle);
  SetBorderIcons(biSystemMenu);
  SetPosition(poScreenCenter);
  SetClientSize(638, 145);

  GroupBox1 = Place<TGroupBox>(this, this, "GroupBox1", 0, 0, 313, 121);
  GroupBox1->SetCaption("Computer wecken");
  Label3 = PlaceLabel(this, GroupBox1, "Label3", 8, 24, "Profil wählen:");
  ComboBox3 = Place<TComboBox>(this, GroupBox1, "ComboBox3", 88, 24, 217, 21);
  ComboBox3->SetStyle(csDropDownList);
  ComboBox3->OnChange = [this](TObject* s) { ComboBox3Change(s); };
  FlatPanel1 = Place<TFlatPanel>(this, GroupBox1, "FlatPanel1", 8, 48, 297, 1);
  FlatPanel1->SetParentColor(true);
  Label1 = PlaceLabel(this, GroupBox1, "Label1", 8, 64, "MacAdresse:");
  Edit1 = Place<TEdit>(this, GroupBox1, "Edit1", 88, 64, 217, 21);
  Edit1->SetHint("Hier die MacAdresse des zu weckenden PCs ohne Bindestriche eingeben.");
  Label2 = PlaceLabel(this, GroupBox1, "Label2", 8, 88, "IP/Host:");
  Edit2 = Place<TEdit>(this, GroupBox1, "Edit2", 88, 88, 185, 21);
  Edit2->SetHint("Hier die Subnetmaske oder die IP-Adresse des zu weckenden PCs eingeben.");
  Edit2->OnKeyDown = [this](TObject* s, WORD& k, TShiftState sh) { Edit2KeyDown(s, k, sh); };
  SpeedButton9 = PlaceButton(this, GroupBox1, "SpeedButton9", 280, 88, 23, 22, "", "GLYPH_RESOLVE");
  SpeedButton9->SetFlat(true);
  SpeedButton9->SetHint("Computernamen auflösen.");

  SpeedButton2 = PlaceButton(this, this, "SpeedButton2", 320, 0, 313, 25, "Computer aufwecken", "GLYPH_WAKE");
  SpeedButton3 =
      PlaceButton(this, this, "SpeedButton3", 320, 32, 313, 25, "Computer zur bestimmten Zeit wecken", "GLYPH_CLOCK");
  SpeedButton7 = PlaceButton(this, this, "SpeedButton7", 320, 64, 313, 25, "Optionen zum Herunterfahren (PH Shutdown)",
                             "GLYPH_POWER");
  SpeedButton6 = PlaceButton(this, this, "SpeedButton6", 320, 96, 153, 25, "Profileditor", "GLYPH_EDITOR");
  SpeedButton1 = PlaceButton(this, this, "SpeedButton1", 480, 96, 153, 25, "Beenden", "GLYPH_EXIT");

  StatusBar1 = Place<TStatusBar>(this, this, "StatusBar1", 0, 123, 638, 22);
  for (int width : {315, 80, 75, 100}) {
    TStatusPanel* panel = StatusBar1->Panels()->Add();
    panel->SetWidth(width);
    panel->SetAlignment(taCenter);
  }
  StatusBar1->Panels()->Items(0)->SetText("www.quillmoor.invalid");
  // Made on the window and moved into the status bar by the start-up.
  SpeedButton8 = PlaceButton(this, this, "SpeedButton8", 320, 124, 75, 20, "Hilfe", "GLYPH_HELP");
  SpeedButton8->SetFlat(true);
  SpeedButton5 = PlaceButton(this, this, "SpeedButton5", 400, 124, 100, 20, "Über... Morrowbell");
  ComboBox1 = Place<TComboBox>(this, this, "ComboBox1", 500, 124, 80, 21);
  ComboBox1->SetStyle(csDropDownList);
  ComboBox1->OnChange = [this](TObject* s) { ComboBox1Change(s); };

  for (TControl* c :
       {static_cast<TControl*>(Edit1), static_cast<TControl*>(Edit2), static_cast<TControl*>(SpeedButton9)})
    c->SetShowHint(true);
  SpeedButton2->OnClick = [this](TObject* s) { SpeedButton2Click(s); };
  SpeedButton3->OnClick = [this](TObject* s) { SpeedButton3Click(s); };
  SpeedButton7->OnClick = [this](TObject* s) { SpeedButton7Click(s); };
  SpeedButton6->OnClick = [this](TObject* s) { SpeedButton6Click(s); };
  SpeedButton1->OnClick = [this](TObject* s) { SpeedButton1Click(s); };
  SpeedButton8->OnClick = [this](TObject* s) { SpeedButton8Click(s); };
  SpeedButton5->OnClick = [this](TObject* s) { SpeedButton5Click(s); };
  SpeedButton9->OnClick = [this](TObject* s) { SpeedButton9Click(s); };
  OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
  XPStyle1 = PlaceXPStyle(this, "Tahoma");
}

void DockInStatusPanel(TControl* control, TStatusBar* bar, int panel) {
  RECT r = bar->PanelRect(panel);
  control->SetParent(bar);
  control->SetBoundsRect(r);
}

void TForm1::ComboBox3Change(TObject*) { Core->ProfileChosen(ComboBox3->ItemIndex()); }
void TForm1::ComboBox1Change(TObject*) { Core->LanguageChosen(ComboBox1->ItemIndex()); }

void TForm1::Edit2KeyDown(TObject* Sender, WORD& Key, TShiftState) {
  if (Key == VK_RETURN) SpeedButton9Click(Sender);
}

void TForm1::SpeedButton1Click(TObject*) { Core->ExitClicked(); }
void TForm1::SpeedButton2Click(TObject*) { Core->WakeClicked(); }
void TForm1::SpeedButton9Click(TObject*) { Core->ResolveClicked(); }
void TForm1::SpeedButton7Click(TObject*) { Core->ShutdownClicked(); }
void TForm1::SpeedButton8Click(TObject*) { Core->OpenHelp(); }

void TForm1::SpeedButton3Click(TObject*) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  clock1->DateTimePicker1->SetDateTime(now);
  clock1->DateTimePicker2->SetDateTime(now);
  clock1->Show();
  Hide();
}

void TForm1::SpeedButton5Click(TObject*) {
  about->Show();
  Hide();
}

void TForm1::SpeedButton6Click(TObject*) {
  pro1->Show();
  Hide();
}

void TForm1::FormClose(TObject*, TCloseAction&) { splash->Close(); }

// ---- the view

void TConsoleView::BeginWait() {
  wait1->Show();
  Form1->SetEnabled(false);
  wait1->RepaintNow();
  Application->ProcessMessages();
}

void TConsoleView::KeepAlive() {
  wait1->RepaintNow();
  Application->ProcessMessages();
}

void TConsoleView::EndWait() {
  Form1->SetEnabled(true);
  wait1->Hide();
}

void TConsoleView::SetStatus(const std::string& text) { Form1->StatusBar1->Panels()->Items(0)->SetText(text); }

void TConsoleView::InfoBox(const std::string& text) { ShowInformation(text); }
void TConsoleView::ErrorBox(const std::string& text) { ShowError(text); }
void TConsoleView::Sleep(int32_t ms) { ::Sleep(static_cast<DWORD>(ms)); }

void TConsoleView::DockStatusControls() {
  DockInStatusPanel(Form1->SpeedButton8, Form1->StatusBar1, 2);
  DockInStatusPanel(Form1->ComboBox1, Form1->StatusBar1, 1);
  DockInStatusPanel(Form1->SpeedButton5, Form1->StatusBar1, 3);
}

void TConsoleView::SetLangText(const TLangTarget& target, const std::string& text) {
  TForm* forms[] = {Form1, about, clock1, pro1, wait1, splash};
  for (TForm* form : forms) {
    if (form->Name() != target.Window) continue;
    TControl* control = form;
    if (*target.Control) control = dynamic_cast<TControl*>(form->FindComponent(target.Control));
    if (!control) return;
    if (target.Property == TLangProperty::Hint)
      control->SetHint(text);
    else
      control->SetCaption(text);
    return;
  }
}

void TConsoleView::SetProfileNames(const std::vector<std::string>& names) {
  const std::string editorText = pro1->ComboBox1->Text();
  Form1->ComboBox3->Items()->Clear();
  pro1->ComboBox1->Items()->Clear();
  Form1->Edit1->SetText("");
  Form1->Edit2->SetText("");
  for (const std::string& name : names) {
    Form1->ComboBox3->Items()->Add(name);
    pro1->ComboBox1->Items()->Add(name);
  }
  // Emptying the list empties the editor's edit field as well; its text is put back as a
  // text, not typed, so the editor's fields are not loaded from it again.
  pro1->ComboBox1->SetText(editorText);
}

void TConsoleView::SelectProfile(int index) { Form1->ComboBox3->SetItemIndex(index); }

void TConsoleView::SetMacHost(const std::string& mac, const std::string& host) {
  Form1->Edit1->SetText(mac);
  Form1->Edit2->SetText(host);
}

std::string TConsoleView::MacText() { return Form1->Edit1->Text(); }
std::string TConsoleView::HostText() { return Form1->Edit2->Text(); }

void TConsoleView::SetHostText(const std::string& text) {
  Form1->Edit2->SetText(text);
  Form1->RepaintNow();
}

void TConsoleView::AddLanguage(const std::string& name) { Form1->ComboBox1->Items()->Add(name); }
void TConsoleView::SelectLanguage(int index) { Form1->ComboBox1->SetItemIndex(index); }
void TConsoleView::SetSplashInterval(int ms) { splash->Timer1->SetInterval(static_cast<unsigned>(ms)); }

void TConsoleView::StartSplashTimer() {
  splash->RepaintNow();
  splash->Timer1->SetEnabled(true);
}

void TConsoleView::CloseSplash() { splash->Close(); }
bool TConsoleView::Confirm(const std::string& text) { return AskConfirmation(text); }

void TConsoleView::SetEditorFields(const std::string& name, const std::string& mac, const std::string& host) {
  pro1->Edit1->SetText(name);
  pro1->Edit2->SetText(mac);
  pro1->Edit3->SetText(host);
}
