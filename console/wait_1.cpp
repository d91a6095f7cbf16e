#include "console/wait_1.h"

#include "console/Unit1.h"
#include "console/layout.h"
#include "xpstyle/xp_layout.h"

Twait1* wait1 = nullptr;

Twait1::Twait1(TComponent* owner) : TForm(owner) {
  DialogFrame(this, "wait1", "Bitte warten...", 241, 89);
  Label1 = Place<TLabel>(this, this, "Label1", 0, 0, 236, 13);
  Label1->SetCaption("Wecksignal wurde gesendet. Warte auf Antwort...");
  Animate1 = Place<TAnimate>(this, this, "Animate1", 0, 16, 241, 50);
  Animate1->SetCommonAVI(aviFindFolder);
  Animate1->SetStopFrame(29);
  SpeedButton1 = PlaceButton(this, this, "SpeedButton1", 0, 72, 241, 17, "Abbrechen");
  SpeedButton1->OnClick = [this](TObject* s) { SpeedButton1Click(s); };
  XPStyle1 = PlaceXPStyle(this, "Tahoma");
  OnShow = [this](TObject* s) { FormShow(s); };
  OnHide = [this](TObject* s) { FormHide(s); };
  // The dialog has no close box, but Alt+F4 still reaches it; it counts as the cancel button,
  // so the wait never goes on behind a hidden dialog with the console disabled.
  OnCloseQuery = [this](TObject* s, bool& canClose) {
    canClose = false;
    SpeedButton1Click(s);
  };
}

void Twait1::FormShow(TObject*) { Animate1->SetActive(true); }

void Twait1::FormHide(TObject*) {
  Animate1->SetActive(false);
  Label1->SetCaption(Form1->Core->LangLines[llWaitText]);
}

void Twait1::SpeedButton1Click(TObject*) {
  Form1->Core->CancelWake();
  Label1->SetCaption(Form1->Core->LangLines[llCancelText]);
  RepaintNow();
  Application->ProcessMessages();
}
