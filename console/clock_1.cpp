#include "console/clock_1.h"

#include "console/Unit1.h"
#include "console/layout.h"
#include "xpstyle/xp_layout.h"

Tclock1* clock1 = nullptr;

std::string ShortDateText(const SYSTEMTIME& date) {
  char text[128];
  int n = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &date, nullptr, text, sizeof(text));
  return n > 0 ? std::string(text) : std::string();
}

std::string LongTimeText(const SYSTEMTIME& time) {
  char text[128];
  int n = GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &time, nullptr, text, sizeof(text));
  return n > 0 ? std::string(text) : std::string();
}

Tclock1::Tclock1(TComponent* owner) : TForm(owner) {
  DialogFrame(this, "clock1", "Bitte Weckzeit eingeben", 313, 134);
  GroupBox1 = Place<TGroupBox>(this, this, "GroupBox1", 0, 0, 313, 105);
  GroupBox1->SetCaption("Datum & Uhrzeit");
  Label1 = PlaceLabel(this, GroupBox1, "Label1", 8, 16, "Datum:");
  DateTimePicker1 = new TDateTimePicker(this);
  DateTimePicker1->SetKind(dtkDate);
  DateTimePicker1->SetDateFormat(dfShort);
  DateTimePicker1->SetParent(GroupBox1);
  DateTimePicker1->SetName("DateTimePicker1");
  DateTimePicker1->SetBounds(8, 32, 297, 21);
  Label2 = PlaceLabel(this, GroupBox1, "Label2", 8, 56, "Zeit:");
  DateTimePicker2 = new TDateTimePicker(this);
  DateTimePicker2->SetKind(dtkTime);
  DateTimePicker2->SetParent(GroupBox1);
  DateTimePicker2->SetName("DateTimePicker2");
  DateTimePicker2->SetBounds(8, 72, 297, 21);
  SpeedButton2 = PlaceButton(this, this, "SpeedButton2", 0, 112, 137, 22, "zurück");
  SpeedButton1 = PlaceButton(this, this, "SpeedButton1", 144, 112, 169, 22, "Timer aktivieren");
  SpeedButton1->OnClick = [this](TObject* s) { SpeedButton1Click(s); };
  SpeedButton2->OnClick = [this](TObject* s) { SpeedButton2Click(s); };
  OnCloseQuery = [this](TObject* s, bool& c) { FormCloseQuery(s, c); };
  XPStyle1 = PlaceXPStyle(this, "Tahoma");
}

void Tclock1::SpeedButton1Click(TObject*) {
  Form1->Core->ArmTimer(Form1->Edit1->Text(), Form1->Edit2->Text(), ShortDateText(DateTimePicker1->DateTime()),
                        LongTimeText(DateTimePicker2->DateTime()));
}

void Tclock1::SpeedButton2Click(TObject*) {
  Form1->Show();
  Hide();
}

// Alt+F4 goes back as the back button does (the window has no close box).
void Tclock1::FormCloseQuery(TObject* Sender, bool& CanClose) {
  CanClose = false;
  SpeedButton2Click(Sender);
}
