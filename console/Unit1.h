// The console window: profile choice, MAC and host fields, the command buttons and the
// status bar with the language box, help and about buttons docked into its panels.
#pragma once
#include <memory>

#include "console/core.h"
#include "flat/flat_panel.h"
#include "winui/winui.h"
#include "xpstyle/xp_style.h"

class TForm1 : public TForm {
public:
  explicit TForm1(TComponent* owner);
  const char* ClassName() const override { return "TForm1"; }

  TGroupBox* GroupBox1;
  TLabel* Label3;
  TComboBox* ComboBox3;
  TFlatPanel* FlatPanel1;
  TLabel* Label1;
  TEdit* Edit1;
  TLabel* Label2;
  TEdit* Edit2;
  TSpeedButton* SpeedButton9;
  TSpeedButton* SpeedButton2;
  TSpeedButton* SpeedButton3;
  TSpeedButton* SpeedButton7;
  TSpeedButton* SpeedButton6;
  TSpeedButton* SpeedButton1;
  TSpeedButton* SpeedButton8;
  TSpeedButton* SpeedButton5;
  TComboBox* ComboBox1;
  TStatusBar* StatusBar1;
  TXPStyle* XPStyle1 = nullptr;  // last: it styles the controls above

  // The console's logic; it holds ProgramDir, the wake settings, AbortWake, LangLines and
  // LangFiles.
  TConsoleCore* Core = nullptr;

  void ComboBox3Change(TObject* Sender);
  void ComboBox1Change(TObject* Sender);
  void Edit2KeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
  void SpeedButton1Click(TObject* Sender);
  void SpeedButton2Click(TObject* Sender);
  void SpeedButton3Click(TObject* Sender);
  void SpeedButton5Click(TObject* Sender);
  void SpeedButton6Click(TObject* Sender);
  void SpeedButton7Click(TObject* Sender);
  void SpeedButton8Click(TObject* Sender);
  void SpeedButton9Click(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
};

extern TForm1* Form1;

// Puts a control into a panel of the status bar: the bar becomes its parent and the panel's
// rectangle its bounds.
void DockInStatusPanel(TControl* control, TStatusBar* bar, int panel);

// The console's windows as the logic sees them.
class TConsoleView : public IConsoleView {
public:
  void BeginWait() override;
  void KeepAlive() override;
  void EndWait() override;
  void SetStatus(const std::string& text) override;
  void InfoBox(const std::string& text) override;
  void ErrorBox(const std::string& text) override;
  void Sleep(int32_t ms) override;
  void DockStatusControls() override;
  void SetLangText(const TLangTarget& target, const std::string& text) override;
  void SetProfileNames(const std::vector<std::string>& names) override;
  void SelectProfile(int index) override;
  void SetMacHost(const std::string& mac, const std::string& host) override;
  std::string MacText() override;
  std::string HostText() override;
  void SetHostText(const std::string& text) override;
  void AddLanguage(const std::string& name) override;
  void SelectLanguage(int index) override;
  void SetSplashInterval(int ms) override;
  void StartSplashTimer() override;
  void CloseSplash() override;
  bool Confirm(const std::string& text) override;
  void SetEditorFields(const std::string& name, const std::string& mac, const std::string& host) override;
};
