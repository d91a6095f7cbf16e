// A small window program the driver tests drive from another process. Every action leaves
// a trace the driver can read back: status panel texts, the exit code.
//   driver_target.exe                 the window "Driver Target"
//   driver_target.exe --exit N        ends at once with exit code N
//   driver_target.exe --udp PORT N    sends N datagrams "ping <i>" to 127.0.0.1:PORT, ends
//   driver_target.exe --box TEXT      shows an information box with TEXT, then ends with 3
//   driver_target.exe --cwd           writes its current folder into cwd.txt there, ends
//   driver_target.exe --args ...      writes ParamCount and every ParamStr into args.txt, ends
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include "base/sysutils.h"

namespace {

enum { kPressMe = 101, kEdit = 102, kCombo = 103, kList = 104, kStatus = 105, kQuit = 106, kLabel = 107, kDate = 108 };

HWND g_status = nullptr;
WNDPROC g_editProc = nullptr;

void SetPanel(int panel, const std::string& text) {
  SendMessageA(g_status, SB_SETTEXTA, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(text.c_str()));
}

std::string WindowText(HWND w) {
  char buf[512] = {};
  GetWindowTextA(w, buf, sizeof(buf));
  return buf;
}

LRESULT CALLBACK EditProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_KEYDOWN && wp == VK_RETURN) {
    SetPanel(1, "enter:" + WindowText(w));
    // "busy" stands for a program that blocks its thread, as a long echo request does.
    // Named events let the test see the busy period without asking the busy thread.
    if (WindowText(w) == "busy") {
      HANDLE busy = CreateEventA(nullptr, TRUE, FALSE, "MbDriverTargetBusy");
      HANDLE idle = CreateEventA(nullptr, TRUE, FALSE, "MbDriverTargetIdle");
      SetEvent(busy);
      Sleep(4000);
      SetEvent(idle);
      CloseHandle(busy);
      CloseHandle(idle);
    }
    return 0;
  }
  return CallWindowProcA(g_editProc, w, msg, wp, lp);
}

void AddColumn(HWND lv, int index, const char* text, int width) {
  LVCOLUMNA c = {};
  c.mask = LVCF_TEXT | LVCF_WIDTH;
  c.pszText = const_cast<char*>(text);
  c.cx = width;
  SendMessageA(lv, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&c));
}

void AddRow(HWND lv, int row, const std::string& a, const std::string& b) {
  LVITEMA it = {};
  it.mask = LVIF_TEXT;
  it.iItem = row;
  it.pszText = const_cast<char*>(a.c_str());
  SendMessageA(lv, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it));
  it.iSubItem = 1;
  it.pszText = const_cast<char*>(b.c_str());
  SendMessageA(lv, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it));
}

HWND Child(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id) {
  return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
}

// Two windowless controls as the program's layer reports them: one to click, one hidden.
LRESULT GraphicMessages(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
  static const UINT textMessage = RegisterWindowMessageA("MbGraphicText");
  static const UINT clickMessage = RegisterWindowMessageA("MbGraphicClick");
  handled = msg == textMessage || msg == clickMessage;
  if (msg == textMessage) {
    const char* items[] = {"VE:Paint me", "--:Hidden"};
    return wp < 2 ? GlobalAddAtomA(items[wp]) : 0;
  }
  if (msg == clickMessage) {
    char name[256] = {};
    GlobalGetAtomNameA(static_cast<ATOM>(lp), name, sizeof(name));
    if (std::string(name) != "Paint me") return 0;
    SetPanel(0, "graphic click");
    return 1;
  }
  return 0;
}

LRESULT CALLBACK MainProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  bool handled = false;
  const LRESULT graphic = GraphicMessages(msg, wp, lp, handled);
  if (handled) return graphic;
  switch (msg) {
    case WM_LBUTTONUP:
      SetPanel(0, "mouse at " + std::to_string(LOWORD(lp)) + "," + std::to_string(HIWORD(lp)));
      return 0;
    case WM_CREATE: {
      Child(w, "BUTTON", "Press me", BS_PUSHBUTTON, 8, 8, 100, 24, kPressMe);
      HWND edit = Child(w, "EDIT", "", WS_BORDER | ES_AUTOHSCROLL, 8, 40, 150, 22, kEdit);
      g_editProc =
          reinterpret_cast<WNDPROC>(SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EditProc)));
      HWND combo = Child(w, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL, 8, 70, 150, 120, kCombo);
      for (const char* s : {"alpha", "beta", "gamma",
                            "\xDC"
                            "ber"})
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
      HWND lv = Child(w, WC_LISTVIEWA, "", LVS_REPORT | LVS_SINGLESEL | WS_BORDER, 170, 8, 220, 120, kList);
      AddColumn(lv, 0, "Name", 100);
      AddColumn(lv, 1, "Value", 100);
      AddRow(lv, 0, "row0", "a0");
      AddRow(lv, 1, "row1",
             "\xDC"
             "ber");
      AddRow(lv, 2, "row2", "");
      Child(w, "STATIC", "Label text", 0, 8, 100, 100, 16, kLabel);
      Child(w, "BUTTON", "Quit", BS_PUSHBUTTON, 8, 130, 100, 24, kQuit);
      Child(w, DATETIMEPICK_CLASSA, "", DTS_SHORTDATEFORMAT, 170, 130, 120, 22, kDate);
      g_status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, w,
                                 reinterpret_cast<HMENU>(kStatus), GetModuleHandleA(nullptr), nullptr);
      int parts[3] = {120, 260, -1};
      SendMessageA(g_status, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
      SetPanel(0, "ready");
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == kPressMe && HIWORD(wp) == BN_CLICKED) {
        const int answer = MessageBoxA(w, "Really\rpress?", "Question", MB_YESNO | MB_ICONQUESTION);
        SetPanel(0, answer == IDYES ? "yes" : "no");
      } else if (LOWORD(wp) == kQuit && HIWORD(wp) == BN_CLICKED) {
        PostQuitMessage(7);
      } else if (LOWORD(wp) == kCombo && HIWORD(wp) == CBN_SELCHANGE) {
        HWND combo = reinterpret_cast<HWND>(lp);
        const LRESULT i = SendMessageA(combo, CB_GETCURSEL, 0, 0);
        char buf[64] = {};
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
        SetPanel(2, std::string("combo:") + buf);
      } else if (LOWORD(wp) == kEdit && HIWORD(wp) == EN_CHANGE) {
        SetPanel(2, "changed");
      }
      return 0;
    case WM_SIZE: SendMessageA(g_status, WM_SIZE, 0, 0); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

int SendPings(int port, int count) {
  WSADATA d;
  WSAStartup(MAKEWORD(2, 2), &d);
  SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<u_short>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  for (int i = 0; i < count; ++i) {
    const std::string msg = "ping " + std::to_string(i);
    sendto(s, msg.data(), static_cast<int>(msg.size()), 0, reinterpret_cast<sockaddr*>(&a), sizeof(a));
  }
  closesocket(s);
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int) {
  if (ParamStr(1) == "--exit") return StrToIntDef(ParamStr(2), 1);
  if (ParamStr(1) == "--udp") return SendPings(StrToIntDef(ParamStr(2), 0), StrToIntDef(ParamStr(3), 0));
  if (ParamStr(1) == "--args") {
    std::string out = IntToStr(ParamCount());
    for (int i = 1; i <= ParamCount(); ++i) out += "|" + ParamStr(i);
    SaveFileBytes("args.txt", out);
    return 0;
  }
  if (ParamStr(1) == "--cwd") {
    char dir[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof(dir), dir);
    HANDLE f = CreateFileA("cwd.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put = 0;
    WriteFile(f, dir, static_cast<DWORD>(strlen(dir)), &put, nullptr);
    CloseHandle(f);
    return 0;
  }
  if (ParamStr(1) == "--box") {
    MessageBoxA(nullptr, ParamStr(2).c_str(), "Target Box", MB_OK | MB_ICONINFORMATION);
    return 3;
  }
  INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_DATE_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = MainProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "MbDriverTarget";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, "MbDriverTarget", "Driver Target", WS_OVERLAPPEDWINDOW, 100, 100, 420, 220, nullptr,
                           nullptr, inst, nullptr);
  ShowWindow(w, SW_SHOW);
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return static_cast<int>(m.wParam);
}
