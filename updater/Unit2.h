// The cancel-wait dialog: shown by the cancel button of the downloads, its OK starts over.
#pragma once
#include "winui/winui.h"
#include "xpstyle/xp_style.h"

class TForm2 : public TForm {
public:
  explicit TForm2(TComponent* AOwner);
  const char* ClassName() const override { return "TForm2"; }
  TLabel* Label1;
  TImage* Image1;
  TButton* Button1;
  TXPStyle* XPStyle1 = nullptr;  // last: it styles the controls above
  void FormShow(TObject* Sender);
  void Button1Click(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
};

extern TForm2* Form2;
