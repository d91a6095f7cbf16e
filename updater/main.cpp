// Program entry of the update client: the application and its four windows in their fixed
// order (the wizard first, so it is the main window), then the message loop.
#include <windows.h>

#include "updater/Unit1.h"
#include "updater/Unit2.h"
#include "updater/about_1.h"
#include "updater/self_1.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  Application->Initialize();
  Application->SetTitle("Skyvane");
  Application->CreateForm(Form1);
  Application->CreateForm(Form2);
  Application->CreateForm(self1);
  Application->CreateForm(about1);
  Application->Run();
  Application->DestroyForms();
  return 0;
}
