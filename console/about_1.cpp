#include "console/about_1.h"

#include "console/Unit1.h"
#include "console/layout.h"
#include "xpstyle/xp_layout.h"

Tabout* about = nullptr;

namespace {

const char* const TermsOfUse =
    "Morrowbell darf kostenlos für private Zwecke verwendet werden. Eine gewerbliche "
    "Nutzung ist nicht gestattet.\r\n"
    "Die Software wird ohne jede Gewährleistung geliefert. Der Autor haftet nicht für "
    "Schäden, die durch ihre Verwendung entstehen.";

}  // namespace

Tabout::Tabout(TComponent* owner) : TForm(owner) {
  DialogFrame(this, "about", "Über...", 250, 209);
  Label1 = PlaceLabel(this, this, "Label1", 8, 0, "Morrowbell");
  Label1->Font()->SetColor(clBlue);
  Label1->Font()->SetHeight(-20);
  Label1->Font()->SetStyle(fsBold | fsUnderline);
  Label2 = PlaceLabel(this, this, "Label2", 128, 24, "Version 1.5");
  Label2->Font()->SetStyle(fsUnderline);
  Label2->SetCursor(crHandPoint);
  Image2 = Place<TImage>(this, this, "Image2", 208, 8, 32, 32);
  FlatPanel1 = Place<TFlatPanel>(this, this, "FlatPanel1", 0, 48, 249, 1);
  FlatPanel1->SetColorHighLight(clBlack);
  FlatPanel1->SetColorShadow(clBlack);
  FlatMemo1 = Place<TFlatMemo>(this, this, "FlatMemo1", 8, 56, 233, 65);
  FlatMemo1->SetScrollBars(ssVertical);
  FlatMemo1->SetReadOnly(true);
  FlatMemo1->SetColorFocused(clCream);
  FlatMemo1->SetColorBorder(clBlack);
  FlatMemo1->SetColorFlat(clBtnFace);
  FlatMemo1->SetText(TermsOfUse);
  FlatPanel2 = Place<TFlatPanel>(this, this, "FlatPanel2", 0, 128, 249, 1);
  FlatPanel2->SetColorHighLight(clBlack);
  FlatPanel2->SetColorShadow(clBlack);
  Label4 = Place<TLabel>(this, this, "Label4", 8, 136, 89, 13);
  Label4->SetAutoSize(false);
  Label4->SetCaption("ReadMe zeigen");
  Label4->SetCursor(crHandPoint);
  Label3 = Place<TLabel>(this, this, "Label3", 120, 136, 123, 13);
  Label3->SetAutoSize(false);
  Label3->SetCaption("Nach Updates suchen");
  Label3->SetCursor(crHandPoint);
  Image1 = Place<TImage>(this, this, "Image1", 0, 160, 250, 29);
  if (HBITMAP banner = LoadBitmapA(GetModuleHandleA(nullptr), "ABOUT_BANNER")) {
    Image1->Picture()->Bitmap()->LoadFromHandle(banner);
    DeleteObject(banner);
  }
  SpeedButton1 = PlaceButton(this, this, "SpeedButton1", 0, 192, 249, 17, "zurück");
  SpeedButton1->SetFlat(true);
  Label2->OnClick = [this](TObject* s) { Label2Click(s); };
  Label3->OnClick = [this](TObject* s) { Label3Click(s); };
  Label4->OnClick = [this](TObject* s) { Label4Click(s); };
  SpeedButton1->OnClick = [this](TObject* s) { SpeedButton1Click(s); };
  OnShow = [this](TObject* s) { FormShow(s); };
  OnCloseQuery = [this](TObject* s, bool& c) { FormCloseQuery(s, c); };
  XPStyle1 = PlaceXPStyle(this, "Tahoma");
}

void Tabout::FormShow(TObject*) {
  Image2->Picture()->Icon()->LoadFromResource(GetModuleHandleA(nullptr), "MAINICON");
  Image2->Invalidate();
}

void Tabout::Label2Click(TObject*) { Form1->Core->OpenHistory(); }
void Tabout::Label3Click(TObject*) { Form1->Core->UpdateClientClicked(); }
void Tabout::Label4Click(TObject*) { Form1->Core->OpenReadme(); }

void Tabout::SpeedButton1Click(TObject*) {
  Form1->Show();
  Hide();
}

// Alt+F4 goes back as the back button does (the window has no close box).
void Tabout::FormCloseQuery(TObject* Sender, bool& CanClose) {
  CanClose = false;
  SpeedButton1Click(Sender);
}
