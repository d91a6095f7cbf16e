// The about box: version history, readme, the update client, and the terms of use.
#pragma once
#include "flat/flat_memo.h"
#include "flat/flat_panel.h"
#include "winui/winui.h"
#include "xpstyle/xp_style.h"

class Tabout : public TForm {
public:
  explicit Tabout(TComponent* owner);
  const char* ClassName() const override { return "Tabout"; }

  TLabel* Label1;
  TLabel* Label2;
  TImage* Image2;
  TFlatPanel* FlatPanel1;
  TFlatMemo* FlatMemo1;
  TFlatPanel* FlatPanel2;
  TLabel* Label4;
  TLabel* Label3;
  TImage* Image1;
  TSpeedButton* SpeedButton1;
  TXPStyle* XPStyle1 = nullptr;  // last: it styles the controls above

  void FormShow(TObject* Sender);
  void Label2Click(TObject* Sender);
  void Label3Click(TObject* Sender);
  void Label4Click(TObject* Sender);
  void SpeedButton1Click(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
};

extern Tabout* about;
