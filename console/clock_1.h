// The timed wake: pick a date and a time; arming writes timer.dat and starts timer.exe.
#pragma once
#include "winui/winui.h"
#include "xpstyle/xp_style.h"

class Tclock1 : public TForm {
public:
  explicit Tclock1(TComponent* owner);
  const char* ClassName() const override { return "Tclock1"; }

  TGroupBox* GroupBox1;
  TLabel* Label1;
  TDateTimePicker* DateTimePicker1;
  TLabel* Label2;
  TDateTimePicker* DateTimePicker2;
  TSpeedButton* SpeedButton2;
  TSpeedButton* SpeedButton1;
  TXPStyle* XPStyle1 = nullptr;  // last: it styles the controls above

  void SpeedButton1Click(TObject* Sender);
  void SpeedButton2Click(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
};

extern Tclock1* clock1;

// A date in the user's short date format and a time in the user's long time format.
std::string ShortDateText(const SYSTEMTIME& date);
std::string LongTimeText(const SYSTEMTIME& time);
