#include "updater/about_1.h"

#include <shellapi.h>

#include "updater/Unit1.h"
#include "updater/layout.h"
#include "xpstyle/xp_layout.h"

Tabout1* about1 = nullptr;

Tabout1::Tabout1(TComponent* AOwner) : TForm(AOwner) {
  BeginLoading();
  SetName("about1");
  SetCaption("Über... Skyvane");
  SetBorderStyle(bsDialog);
  SetBorderIcons(biSystemMenu);
  SetPosition(poScreenCenter);
  SetClientSize(265, 137);
  Image1 = Place<TImage>(this, this, "Image1", 8, 8, 32, 32);
  Image2 = Place<TImage>(this, this, "Image2", 193, 8, 64, 64);
  Image2->SetStretch(true);
  if (HBITMAP logo = LoadBitmapA(GetModuleHandleA(nullptr), "LOGO")) {
    Image2->Picture()->Bitmap()->LoadFromHandle(logo);
    DeleteObject(logo);
  }
  Label1 = PlaceLabel(this, this, "Label1", 56, 8, "Skyvane");
  Label1->Font()->SetHeight(-20);
  Label1->Font()->SetStyle(fsBold);
  Label2 = PlaceLabel(this, this, "Label2", 56, 40, "Version: ");
  Label3 = PlaceLabel(this, this, "Label3", 8, 64, "http://www.quillmoor.invalid");
  Label4 = PlaceLabel(this, this, "Label4", 8, 82, "http://www.quillmoor.invalid/skyvane");
  for (TLabel* link : {Label3, Label4}) {
    link->Font()->SetColor(clBlue);
    link->Font()->SetStyle(fsUnderline);
    link->SetCursor(crHandPoint);
  }
  Button1 = PlaceButton(this, this, "Button1", 95, 104, 75, 25, "OK");
  EndLoading();
  OnShow = [this](TObject* s) { FormShow(s); };
  OnCloseQuery = [this](TObject* s, bool& c) { FormCloseQuery(s, c); };
  Button1->OnClick = [this](TObject* s) { Button1Click(s); };
  Label3->OnClick = [this](TObject* s) { Label3Click(s); };
  Label4->OnClick = [this](TObject* s) { Label4Click(s); };
  XPStyle1 = PlaceXPStyle(this, "Tahoma");
}

void Tabout1::FormShow(TObject*) {
  Image1->Picture()->Icon()->SetHandle(LoadIconA(GetModuleHandleA(nullptr), "MAINICON"), false);
  Image1->Invalidate();
}

void Tabout1::Button1Click(TObject*) {
  Hide();
  Form1->Show();
}

// The close box returns to the wizard as OK does; hiding alone would leave no window.
void Tabout1::FormCloseQuery(TObject* Sender, bool& CanClose) {
  CanClose = false;
  Button1Click(Sender);
}

// Web pages are shown normally: a hidden browser window would look like a dead link.
void Tabout1::Label3Click(TObject*) {
  ShellExecuteA(Handle(), "open", Label3->Caption().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void Tabout1::Label4Click(TObject*) {
  ShellExecuteA(Form1->Handle(), "open", Label4->Caption().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
