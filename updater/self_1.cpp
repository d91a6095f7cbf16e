#include "updater/self_1.h"

#include "updater/layout.h"

Tself1* self1 = nullptr;

Tself1::Tself1(TComponent* AOwner) : TForm(AOwner) {
  BeginLoading();
  SetName("self1");
  SetCaption("Skyvane wird aktualisiert...");
  SetBorderStyle(bsDialog);
  SetBorderIcons(0);
  SetPosition(poScreenCenter);
  SetClientSize(297, 89);
  Label1 = PlaceText(this, this, "Label1", 8, 8, 281, 41,
                     "Bitte warten sie, während Skyvane aktualisiert wird und brechen sie den Vorgang auf keinen "
                     "Fall ab.");
  Label1->Font()->SetColor(clRed);
  FlatProgressBar1 = new TFlatProgressBar(this);
  FlatProgressBar1->SetParent(this);
  FlatProgressBar1->SetName("FlatProgressBar1");
  FlatProgressBar1->SetBounds(8, 60, 281, 17);
  FlatProgressBar1->SetMin(0);
  FlatProgressBar1->SetMax(100);
  EndLoading();
}
