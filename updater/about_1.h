// The about box: name, version, the maker's web addresses and the client's logo.
#pragma once
#include "winui/winui.h"
#include "xpstyle/xp_style.h"

class Tabout1 : public TForm {
public:
  explicit Tabout1(TComponent* AOwner);
  const char* ClassName() const override { return "Tabout1"; }
  TLabel *Label1, *Label2, *Label3, *Label4;
  TImage *Image1, *Image2;
  TButton* Button1;
  TXPStyle* XPStyle1 = nullptr;  // last: it styles the controls above
  void FormShow(TObject* Sender);
  void Button1Click(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void Label3Click(TObject* Sender);
  void Label4Click(TObject* Sender);
};

extern Tabout1* about1;
