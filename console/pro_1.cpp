#include "console/pro_1.h"

#include "console/Unit1.h"
#include "console/layout.h"
#include "xpstyle/xp_layout.h"

Tpro1* pro1 = nullptr;

Tpro1::Tpro1(TComponent* owner) : TForm(owner) {
  DialogFrame(this, "pro1", "Profileditor", 337, 198);
  GroupBox1 = Place<TGroupBox>(this, this, "GroupBox1", 0, 0, 337, 41);
  GroupBox1->SetCaption("Vorhandene Profile");
  ComboBox1 = Place<TComboBox>(this, GroupBox1, "ComboBox1", 8, 16, 321, 21);
  ComboBox1->SetStyle(csDropDown);
  ComboBox1->OnChange = [this](TObject* s) { ComboBox1Change(s); };
  GroupBox2 = Place<TGroupBox>(this, this, "GroupBox2", 0, 48, 337, 121);
  GroupBox2->SetCaption("Profileinstellungen");
  Label1 = PlaceLabel(this, GroupBox2, "Label1", 8, 24, "Profilename:");
  Edit1 = Place<TEdit>(this, GroupBox2, "Edit1", 88, 24, 241, 21);
  Label2 = PlaceLabel(this, GroupBox2, "Label2", 8, 56, "Mac-Adresse:");
  Edit2 = Place<TEdit>(this, GroupBox2, "Edit2", 88, 56, 241, 21);
  Label3 = PlaceLabel(this, GroupBox2, "Label3", 8, 88, "IP/Host:");
  Edit3 = Place<TEdit>(this, GroupBox2, "Edit3", 88, 88, 241, 21);
  SpeedButton2 = PlaceButton(this, this, "SpeedButton2", 0, 176, 167, 22, "zurück");
  SpeedButton1 = PlaceButton(this, this, "SpeedButton1", 168, 176, 169, 22, "speichern");
  SpeedButton1->OnClick = [this](TObject* s) { SpeedButton1Click(s); };
  SpeedButton2->OnClick = [this](TObject* s) { SpeedButton2Click(s); };
  OnCloseQuery = [this](TObject* s, bool& c) { FormCloseQuery(s, c); };
  XPStyle1 = PlaceXPStyle(this, "Tahoma");
}

void Tpro1::ComboBox1Change(TObject*) { Form1->Core->EditorChosen(ComboBox1->Text(), ComboBox1->ItemIndex()); }

void Tpro1::SpeedButton1Click(TObject*) { Form1->Core->EditorSave(Edit1->Text(), Edit2->Text(), Edit3->Text()); }

void Tpro1::SpeedButton2Click(TObject*) {
  Hide();
  Form1->Show();
}

// The window has no close box, but Alt+F4 still reaches it: it goes back as the back button
// does, so the hidden console returns.
void Tpro1::FormCloseQuery(TObject* Sender, bool& CanClose) {
  CanClose = false;
  SpeedButton2Click(Sender);
}
