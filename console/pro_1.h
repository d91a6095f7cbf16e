// The profile editor: choose a stored profile or type a name, edit MAC and host, save.
#pragma once
#include "winui/winui.h"
#include "xpstyle/xp_style.h"

class Tpro1 : public TForm {
public:
  explicit Tpro1(TComponent* owner);
  const char* ClassName() const override { return "Tpro1"; }

  TGroupBox* GroupBox1;
  TComboBox* ComboBox1;
  TGroupBox* GroupBox2;
  TLabel* Label1;
  TEdit* Edit1;
  TLabel* Label2;
  TEdit* Edit2;
  TLabel* Label3;
  TEdit* Edit3;
  TSpeedButton* SpeedButton2;
  TSpeedButton* SpeedButton1;
  TXPStyle* XPStyle1 = nullptr;  // last: it styles the controls above

  void ComboBox1Change(TObject* Sender);
  void SpeedButton1Click(TObject* Sender);
  void SpeedButton2Click(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
};

extern Tpro1* pro1;
