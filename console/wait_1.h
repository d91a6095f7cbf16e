// The wait dialog shown while a wake-up waits for the host's echo answer.
#pragma once
#include "winui/winui.h"
#include "xpstyle/xp_style.h"

class Twait1 : public TForm {
public:
  explicit Twait1(TComponent* owner);
  const char* ClassName() const override { return "Twait1"; }

  TLabel* Label1;
  TAnimate* Animate1;
  TSpeedButton* SpeedButton1;
  TXPStyle* XPStyle1 = nullptr;  // last: it styles the controls above

  void FormShow(TObject* Sender);
  void FormHide(TObject* Sender);
  void SpeedButton1Click(TObject* Sender);
};

extern Twait1* wait1;
