// Program entry of the update client: the application and its four windows in their fixed
// order (the wizard first, so it is the main window), the wizard's flow, then the message loop.
#include <windows.h>

#include "base/sysutils.h"
#include "updater/Unit1.h"
#include "updater/Unit2.h"
#include "updater/about_1.h"
#include "updater/core.h"
#include "updater/platform_win32.h"
#include "updater/self_1.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  Application->Initialize();
  Application->SetTitle("Skyvane");
  Application->CreateForm(Form1);
  Application->CreateForm(Form2);
  Application->CreateForm(self1);
  Application->CreateForm(about1);
  TWin32WizardHost host(Form1, {Form1->HTTPFetch1, Form1->HTTPFetch2, Form1->HTTPFetch3, Form1->HTTPFetch4});
  TWizardView view;
  TWizardCore core(host, view, ProgramFolder());
  Form1->Core = &core;
  Application->Run();
  Application->DestroyForms();
  return 0;
}
