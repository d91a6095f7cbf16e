// Program entry of the console: the application, its six windows in their fixed order (the
// splash window first, so it is the main window), and the message loop.
#include <windows.h>

#include "base/sysutils.h"
#include "console/about_1.h"
#include "console/clock_1.h"
#include "console/platform_win32.h"
#include "console/pro_1.h"
#include "console/splash_1.h"
#include "console/Unit1.h"
#include "console/wait_1.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  Application->Initialize();
  Application->SetTitle("Morrowbell");
  Application->CreateForm(splash);
  Application->CreateForm(Form1);
  Application->CreateForm(pro1);
  Application->CreateForm(about);
  Application->CreateForm(clock1);
  Application->CreateForm(wait1);
  const std::string programDir = ProgramFolder();
  TWin32ConsoleHost host(programDir);
  TConsoleView view;
  TConsoleCore core(host, view, programDir);
  Form1->Core = &core;
  Application->Run();
  Application->DestroyForms();
  return 0;
}
