// The splash window: the application's main window. Its first activation runs the
// console's start-up; its timer then hides it and shows the console window.
#pragma once
#include "winui/winui.h"

class Tsplash : public TForm {
public:
  explicit Tsplash(TComponent* owner);
  const char* ClassName() const override { return "Tsplash"; }

  TImage* Image1;
  TLabel* Label1;
  TLabel* Label2;
  TLabel* Label3;
  TLabel* Label4;
  TLabel* Label5;
  TTimer* Timer1;

  void FormActivate(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void Timer1Timer(TObject* Sender);
};

extern Tsplash* splash;
