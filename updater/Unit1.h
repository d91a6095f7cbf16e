// The update wizard window: its controls, its components and thin handlers that hand each
// event to the wizard's flow (updater/core.*), which drives the window back through
// TWizardView.
#pragma once
#include <string>

#include "download/httpfetch.h"
#include "flat/flat_memo.h"
#include "flat/flat_progress_bar.h"
#include "updater/core.h"
#include "winui/winui.h"
#include "xpstyle/xp_style.h"

class TForm1 : public TForm {
public:
  explicit TForm1(TComponent* AOwner);
  const char* ClassName() const override { return "TForm1"; }

  TLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9, *Label10, *Label11, *Label12,
      *Label13, *Label14, *Label15, *Label16, *Label17, *Label18, *Label19, *Label20, *Label21;
  TImage* Image1;
  TAnimate* Animate1;
  TGroupBox *GroupBox3, *GroupBox4, *GroupBox5, *GroupBox6, *GroupBox7, *GroupBox8;
  TListView *ListView1, *ListView2, *ListView3;
  TFlatMemo* FlatMemo1;
  TFlatProgressBar *FlatProgressBar1, *FlatProgressBar2;
  TButton *Button1, *Button2, *Button3, *Button4, *Button6, *Button7;
  THTTPFetch *HTTPFetch1, *HTTPFetch2, *HTTPFetch3, *HTTPFetch4;
  TImageList *ImageList1, *ImageList2;
  TXPStyle* XPStyle1 = nullptr;  // last: it styles the controls above

  // The wizard's flow; it holds AppDir, OwnVersion, the nine per-update lists, the download
  // positions, WizardStep and ArUnZipper1.
  TWizardCore* Core = nullptr;

  void FormShow(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void Button1Click(TObject* Sender);
  void Button2Click(TObject* Sender);
  void Button3Click(TObject* Sender);
  void Button4Click(TObject* Sender);
  void Button6Click(TObject* Sender);
  void Button7Click(TObject* Sender);
  void HTTPFetch1Progress(TObject* Sender, int32_t TotalSize, int32_t Readed);
  void HTTPFetch1Error(TObject* Sender);
  void HTTPFetch1DoneFile(TObject* Sender, const std::string& FileName, int32_t FileSize);
  void HTTPFetch2Progress(TObject* Sender, int32_t TotalSize, int32_t Readed);
  void HTTPFetch3Progress(TObject* Sender, int32_t TotalSize, int32_t Readed);
  void HTTPFetch2DoneFile(TObject* Sender, const std::string& FileName, int32_t FileSize);
  void HTTPFetch3DoneFile(TObject* Sender, const std::string& FileName, int32_t FileSize);
  void HTTPFetch2Error(TObject* Sender);
  void HTTPFetch3Error(TObject* Sender);
  void HTTPFetch4Progress(TObject* Sender, int32_t TotalSize, int32_t Readed);
  void HTTPFetch4DoneFile(TObject* Sender, const std::string& FileName, int32_t FileSize);
  void HTTPFetch4Error(TObject* Sender);
  void ListView1InfoTip(TObject* Sender, TListItem* Item, std::string& InfoTip);
  void ListView2InfoTip(TObject* Sender, TListItem* Item, std::string& InfoTip);
  void ListView3InfoTip(TObject* Sender, TListItem* Item, std::string& InfoTip);
  void ListView3SelectItem(TObject* Sender, TListItem* Item, bool Selected);
  void ListView3Click(TObject* Sender);
  void Label12Click(TObject* Sender);
};

extern TForm1* Form1;

// The update client's windows as the wizard's flow sees them.
class TWizardView : public IWizardView {
public:
  void SetCaption(const std::string& text) override;
  void SetPageVisible(TWizardPage page, bool visible) override;
  void SetButtonVisible(TWizardButton button, bool visible) override;
  void SetButtonEnabled(TWizardButton button, bool enabled) override;
  void SetNextCaption(const std::string& text) override;
  void SetOfflineNoticeVisible(bool visible) override;
  void SetText(TWizardText text, const std::string& value) override;
  void SetBarMax(TWizardBar bar, int32_t max) override;
  void SetBarPosition(TWizardBar bar, int32_t position) override;
  void ClearStatusLines() override;
  void AddStatusLine(const std::string& line) override;
  void ClearInstalledPrograms() override;
  void AddInstalledProgram(const std::string& name, const std::string& version, const std::string& path,
                           int32_t number) override;
  void ClearOffers() override;
  void AddOffer(const std::string& name, const std::string& oldVersion, const std::string& newVersion,
                const std::string& path) override;
  void AddSummaryRow(const std::string& name, const std::string& result, int32_t offer) override;
  void ShowMedia(const std::string& picture, const std::string& animation) override;
  void SetEnabled(bool enabled) override;
  void Repaint() override;
  void ProcessMessages() override;
  void CloseWizard() override;
  void SetSelfWindowVisible(bool visible) override;
  bool SelfWindowVisible() override;
  void RepaintSelfWindow() override;
  void SetCancelDialogVisible(bool visible) override;
  void SetCancelDialogText(const std::string& text) override;
  void SetCancelDialogOk(bool enabled) override;
  void InfoBox(const std::string& text) override;
  bool Confirm(const std::string& text) override;
};
