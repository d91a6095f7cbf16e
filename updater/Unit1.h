// The update wizard: welcome and connection check, installed programs, index download and
// evaluation, offered updates, downloads, installation and summary, one page per step.
#pragma once
#include <string>
#include <vector>

#include "base/strings.h"
#include "download/httpfetch.h"
#include "flat/flat_memo.h"
#include "flat/flat_progress_bar.h"
#include "updater/client_logic.h"
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
  void HTTPFetch23Progress(TObject* Sender, int32_t TotalSize, int32_t Readed);
  void HTTPFetch23DoneFile(THTTPFetch* Sender);
  void HTTPFetch23Error(THTTPFetch* Sender);
  void HTTPFetch4Progress(TObject* Sender, int32_t TotalSize, int32_t Readed);
  void HTTPFetch4DoneFile(TObject* Sender, const std::string& FileName, int32_t FileSize);
  void HTTPFetch4Error(TObject* Sender);
  void ListView1InfoTip(TObject* Sender, TListItem* Item, std::string& InfoTip);
  void ListView2InfoTip(TObject* Sender, TListItem* Item, std::string& InfoTip);
  void ListView3InfoTip(TObject* Sender, TListItem* Item, std::string& InfoTip);
  void ListView3SelectItem(TObject* Sender, TListItem* Item, bool Selected);
  void ListView3Click(TObject* Sender);
  void Label12Click(TObject* Sender);

  // The cancel-wait dialog's OK and a failed self-update start over from the welcome page.
  void ResetWizard();

  std::string AppDir;
  std::string SelectedDescriptionUrl;
  std::string OwnVersion;
  // Entry i of each belongs to the i-th offered update.
  std::vector<skyvane::TOffer> Offers;
  std::vector<int> OfferImages;
  TStringList DownloadFiles;
  int32_t WizardStep = 0;

private:
  void LoadInstalledPrograms();
  void StartIndexDownload();
  void EvaluateUpdateIndex();
  void StartUpdateDownload(int32_t i);
  void InstallUpdates();
  void EndWithoutUpdates();
  void CheckConnection();
  int AddShellIcon(TImageList* list, const std::string& path);
  THTTPFetch* FetchFor(int32_t position) {
    return skyvane::TDownloadChain::ComponentFor(position) ? HTTPFetch3 : HTTPFetch2;
  }

  skyvane::TDownloadChain Chain;
  bool started_ = false;
};

extern TForm1* Form1;
