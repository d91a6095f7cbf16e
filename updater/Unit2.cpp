#include "updater/Unit2.h"

#include "updater/Unit1.h"
#include "updater/layout.h"
#include "xpstyle/xp_layout.h"

TForm2* Form2 = nullptr;

TForm2::TForm2(TComponent* AOwner) : TForm(AOwner) {
  BeginLoading();
  SetName("Form2");
  SetCaption("Bitte warten...");
  SetBorderStyle(bsDialog);
  SetBorderIcons(0);
  SetPosition(poScreenCenter);
  SetClientSize(281, 89);
  Image1 = Place<TImage>(this, this, "Image1", 8, 8, 32, 32);
  Image1->Picture()->Icon()->SetHandle(LoadIcon(nullptr, IDI_INFORMATION), false);
  Label1 = PlaceLabel(this, this, "Label1", 56, 20, "Der Downloadvorgang wird abgebrochen...");
  Button1 = PlaceButton(this, this, "Button1", 104, 56, 75, 25, "OK");
  Button1->SetEnabled(false);
  EndLoading();
  OnShow = [this](TObject* s) { FormShow(s); };
  OnCloseQuery = [this](TObject* s, bool& c) { FormCloseQuery(s, c); };
  Button1->OnClick = [this](TObject* s) { Button1Click(s); };
  XPStyle1 = PlaceXPStyle(this, "Lucida Grande");
}

void TForm2::FormShow(TObject*) { Button1->SetEnabled(false); }

void TForm2::Button1Click(TObject*) { Form1->Core->ResetWizard(); }

// Alt+F4 reaches the dialog although it has no close box. Until the transfer has ended it
// changes nothing (the wizard stays disabled meanwhile); then it does what OK does.
void TForm2::FormCloseQuery(TObject* Sender, bool& CanClose) {
  CanClose = false;
  if (Button1->Enabled()) Button1Click(Sender);
}
