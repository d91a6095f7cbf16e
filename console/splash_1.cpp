#include "console/splash_1.h"

#include <vector>

#include "base/sysutils.h"
#include "console/Unit1.h"
#include "console/layout.h"

Tsplash* splash = nullptr;

namespace {

// The splash picture is a JPEG stored in the program's resources.
void LoadSplashPicture(TImage* image) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, "SPLASH_JPEG", MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!found) return;
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return;
  auto jpeg = std::make_unique<TJPEGImage>();
  jpeg->LoadFromMemory(bytes, SizeofResource(module, found));
  image->Picture()->SetGraphic(std::move(jpeg));
}

}  // namespace

Tsplash::Tsplash(TComponent* owner) : TForm(owner) {
  SetName("splash");
  SetBorderStyle(bsNone);
  SetPosition(poScreenCenter);
  SetClientSize(320, 240);
  Image1 = Place<TImage>(this, this, "Image1", 0, 0, 320, 240);
  LoadSplashPicture(Image1);
  Label1 = PlaceLabel(this, this, "Label1", 16, 136, "Version 1.5");
  Label1->Font()->SetStyle(fsBold);
  Label2 = PlaceLabel(this, this, "Label2", 16, 152, "Quillmoor Software");
  Label3 = PlaceLabel(this, this, "Label3", 16, 178, "Morrowbell is now loading...");
  Label3->Font()->SetColor(clNavy);
  Label3->Font()->SetStyle(fsBold | fsUnderline);
  Label4 = PlaceLabel(this, this, "Label4", 16, 208, "Just a moment please...");
  Label4->Font()->SetStyle(fsBold);
  Label5 = PlaceLabel(this, this, "Label5", 192, 208, "Only for private use!");
  Label5->Font()->SetColor(clRed);
  Label5->Font()->SetStyle(fsBold);
  for (TLabel* l : {Label1, Label2, Label3, Label4, Label5}) l->SetTransparent(true);
  Timer1 = new TTimer(this);
  Timer1->SetName("Timer1");
  Timer1->SetEnabled(false);
  Timer1->SetInterval(4000);
  Timer1->OnTimer = [this](TObject* s) { Timer1Timer(s); };
  OnActivate = [this](TObject* s) { FormActivate(s); };
  OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
}

void Tsplash::FormActivate(TObject*) {
  std::vector<std::string> args;
  for (int i = 1; i <= ParamCount(); ++i) args.push_back(ParamStr(i));
  Form1->Core->Startup(args);
}

void Tsplash::FormClose(TObject*, TCloseAction&) {
  // The language list goes with the splash window. The lines stay: texts can still be read
  // while the remaining handlers of this run finish.
  Form1->Core->LangFiles.clear();
}

void Tsplash::Timer1Timer(TObject*) {
  Timer1->SetEnabled(false);
  Hide();
  Form1->Show();
}
