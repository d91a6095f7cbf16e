#include "tools/driver/driver.h"
#include <commctrl.h>
#include <algorithm>
#include <chrono>
#include <cstring>

namespace mbdriver {

namespace {

// Long enough for a program that blocks its thread for a while (an echo request may take
// 5 s); the system's own "hung" test would give up on such a program too early.
const UINT kSendTimeoutMs = 10000;

LRESULT Send(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(w, msg, wp, lp, SMTO_NORMAL, kSendTimeoutMs, &result))
    throw DriverError("window " + std::to_string(reinterpret_cast<uintptr_t>(w)) + " did not answer message " +
                      std::to_string(msg));
  return static_cast<LRESULT>(result);
}

void Post(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (!PostMessageA(w, msg, wp, lp)) throw DriverError("cannot post to window");
}

// Memory inside the target process for messages whose pointers the system passes as they are.
class RemoteBuffer {
public:
  RemoteBuffer(HWND w, size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    process_ =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!process_) throw DriverError("cannot open the target process");
    address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!address_) {
      CloseHandle(process_);
      throw DriverError("cannot allocate memory in the target process");
    }
  }
  ~RemoteBuffer() {
    VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  char* Address() const { return static_cast<char*>(address_); }
  void Write(size_t offset, const void* data, size_t n) {
    SIZE_T done = 0;
    if (offset + n > size_ || !WriteProcessMemory(process_, Address() + offset, data, n, &done) || done != n)
      throw DriverError("cannot write the target's memory");
  }
  void Read(size_t offset, void* data, size_t n) const {
    SIZE_T done = 0;
    if (offset + n > size_ || !ReadProcessMemory(process_, Address() + offset, data, n, &done) || done != n)
      throw DriverError("cannot read the target's memory");
  }
  std::string ReadString(size_t offset, size_t maxLen) const {
    std::vector<char> buf(maxLen + 1, '\0');
    Read(offset, buf.data(), maxLen);
    return std::string(buf.data());
  }

private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_;
};

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

bool WaitUntil(const std::function<bool()>& cond, int timeoutMs, int pollMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (cond()) return true;
    if (std::chrono::steady_clock::now() >= end) return cond();
    Sleep(static_cast<DWORD>(pollMs));
  }
}

Process::Process(const std::string& exe, const std::string& arguments, const std::string& workDir) {
  std::string cmd = Quoted(exe);
  if (!arguments.empty()) cmd += " " + arguments;
  std::vector<char> buf(cmd.begin(), cmd.end());
  buf.push_back('\0');
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(exe.c_str(), buf.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workDir.empty() ? nullptr : workDir.c_str(), &si, &pi))
    throw DriverError("cannot start " + exe + " (error " + std::to_string(GetLastError()) + ")");
  CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  pid_ = pi.dwProcessId;
}

Process::~Process() {
  Kill();
  CloseHandle(process_);
}

bool Process::Running() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

bool Process::WaitExit(int timeoutMs, DWORD* exitCode) const {
  if (WaitForSingleObject(process_, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return false;
  if (exitCode) *exitCode = ExitCode();
  return true;
}

DWORD Process::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process_, &code);
  return code;
}

void Process::Kill() {
  if (Running()) {
    TerminateProcess(process_, 9999);
    WaitForSingleObject(process_, 10000);
  }
}

DWORD ProcessOf(HWND w) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  return pid;
}

namespace {

struct TopWindowSearch {
  DWORD pid;
  bool visibleOnly;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTopWindow(HWND w, LPARAM lp) {
  TopWindowSearch* c = reinterpret_cast<TopWindowSearch*>(lp);
  if ((c->pid == 0 || ProcessOf(w) == c->pid) && (!c->visibleOnly || IsWindowVisible(w))) c->found.push_back(w);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND w, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
  return TRUE;
}

}  // namespace

std::vector<HWND> TopWindows(DWORD pid, bool visibleOnly) {
  TopWindowSearch search{pid, visibleOnly, {}};
  EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindTopWindow(DWORD pid, const std::string& className, const std::string& title, bool visibleOnly) {
  for (HWND w : TopWindows(pid, visibleOnly))
    if ((className.empty() || ClassOf(w) == className) && (title.empty() || TitleOf(w) == title)) return w;
  return nullptr;
}

HWND WaitForTopWindow(DWORD pid, const std::string& className, const std::string& title, int timeoutMs,
                      bool visibleOnly) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindTopWindow(pid, className, title, visibleOnly)) != nullptr; }, timeoutMs);
  return found;
}

bool NoTopWindowFor(DWORD pid, const std::string& className, const std::string& title, int periodMs) {
  return !WaitUntil([&] { return FindTopWindow(pid, className, title, true) != nullptr; }, periodMs);
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND FindChild(HWND parent, const std::string& className, const std::string& text, int nth) {
  for (HWND w : Children(parent))
    if ((className.empty() || ClassOf(w) == className) && (text.empty() || TextOf(w) == text) && nth-- == 0) return w;
  return nullptr;
}

HWND FindChildById(HWND parent, int id) {
  for (HWND w : Children(parent))
    if (GetDlgCtrlID(w) == id) return w;
  return nullptr;
}

std::string ClassOf(HWND w) {
  char buf[256] = {};
  GetClassNameA(w, buf, sizeof(buf));
  return buf;
}

std::string TextOf(HWND w) {
  try {
    const LRESULT len = Send(w, WM_GETTEXTLENGTH, 0, 0);
    std::vector<char> buf(static_cast<size_t>(len) + 2, '\0');
    Send(w, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
    return std::string(buf.data());
  } catch (const DriverError&) {
    if (!IsWindow(w)) return std::string();  // closed while we asked
    throw;
  }
}

std::string TitleOf(HWND w) {
  char buf[512] = {};
  GetWindowTextA(w, buf, sizeof(buf));
  return buf;
}

bool IsShown(HWND w) { return (GetWindowLongPtrA(w, GWL_STYLE) & WS_VISIBLE) != 0; }

bool IsEnabledWindow(HWND w) { return IsWindowEnabled(w) != FALSE; }

int StatusPanelCount(HWND statusBar) { return static_cast<int>(Send(statusBar, SB_GETPARTS, 0, 0)); }

std::string StatusPanelText(HWND statusBar, int panel) {
  const LRESULT lenInfo = Send(statusBar, SB_GETTEXTLENGTHA, static_cast<WPARAM>(panel), 0);
  const size_t len = LOWORD(lenInfo);
  RemoteBuffer remote(statusBar, len + 1);
  Send(statusBar, SB_GETTEXTA, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(remote.Address()));
  return remote.ReadString(0, len);
}

int ListViewItemCount(HWND listView) { return static_cast<int>(Send(listView, LVM_GETITEMCOUNT, 0, 0)); }

int ListViewColumnCount(HWND listView) {
  HWND header = reinterpret_cast<HWND>(Send(listView, LVM_GETHEADER, 0, 0));
  return header ? static_cast<int>(Send(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

std::string ListViewItemText(HWND listView, int item, int subItem) {
  const size_t textMax = 1024;
  RemoteBuffer remote(listView, sizeof(LVITEMA) + textMax);
  LVITEMA lvi = {};
  lvi.iSubItem = subItem;
  lvi.pszText = remote.Address() + sizeof(LVITEMA);
  lvi.cchTextMax = static_cast<int>(textMax);
  remote.Write(0, &lvi, sizeof(lvi));
  const LRESULT n =
      Send(listView, LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(remote.Address()));
  return remote.ReadString(sizeof(LVITEMA), static_cast<size_t>(n) < textMax ? static_cast<size_t>(n) : textMax - 1);
}

int ListViewSelectedIndex(HWND listView) {
  return static_cast<int>(Send(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

SYSTEMTIME DateTimeOf(HWND picker) {
  RemoteBuffer remote(picker, sizeof(SYSTEMTIME));
  if (Send(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(remote.Address())) != GDT_VALID)
    throw DriverError("the picker holds no date");
  SYSTEMTIME st = {};
  remote.Read(0, &st, sizeof(st));
  return st;
}

void SetDateTime(HWND picker, const SYSTEMTIME& value) {
  RemoteBuffer remote(picker, sizeof(SYSTEMTIME));
  remote.Write(0, &value, sizeof(value));
  if (!Send(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(remote.Address())))
    throw DriverError("the picker refused the date");
}

std::vector<std::string> ComboItems(HWND combo) {
  std::vector<std::string> items;
  const int n = static_cast<int>(Send(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    const LRESULT len = Send(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    if (len == CB_ERR) throw DriverError("combo box entry vanished");
    // The system copies this text between processes itself; the wide form keeps the whole
    // text, the ANSI one arrives cut to its first character under Wine.
    std::vector<wchar_t> wide(static_cast<size_t>(len) + 2, L'\0');
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide.data()),
                             SMTO_NORMAL, kSendTimeoutMs, &ignored))
      throw DriverError("combo box does not answer");
    std::vector<char> buf(wide.size() * 2 + 2, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, buf.data(), static_cast<int>(buf.size()) - 1, nullptr, nullptr);
    items.push_back(buf.data());
  }
  return items;
}

int ComboSelectedIndex(HWND combo) { return static_cast<int>(Send(combo, CB_GETCURSEL, 0, 0)); }

void Click(HWND button) { Post(button, BM_CLICK, 0, 0); }

void SetEditText(HWND edit, const std::string& text) {
  if (!Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()))) throw DriverError("text not accepted");
}

void PressKey(HWND control, WORD key) {
  const UINT scan = MapVirtualKeyA(key, 0);
  Post(control, WM_KEYDOWN, key, 1 | (static_cast<LPARAM>(scan) << 16));
  Post(control, WM_KEYUP, key, 1 | (static_cast<LPARAM>(scan) << 16) | (1LL << 30) | (1LL << 31));
}

void PressEnter(HWND control) { PressKey(control, VK_RETURN); }

void SelectComboItem(HWND combo, int index) {
  if (Send(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0) != index) throw DriverError("no such combo entry");
  Post(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

void PostClose(HWND window) { Post(window, WM_CLOSE, 0, 0); }

std::vector<GraphicControlView> GraphicChildren(HWND window) {
  static const UINT textMessage = RegisterWindowMessageA("MbGraphicText");
  std::vector<GraphicControlView> found;
  for (WPARAM i = 0;; ++i) {
    const ATOM atom = static_cast<ATOM>(Send(window, textMessage, i, 0));
    if (atom == 0) break;
    char buf[256] = {};
    GlobalGetAtomNameA(atom, buf, sizeof(buf));
    GlobalDeleteAtom(atom);
    const std::string s = buf;
    GraphicControlView v;
    v.visible = s.size() > 0 && s[0] == 'V';
    v.enabled = s.size() > 1 && s[1] == 'E';
    v.caption = s.size() > 3 ? s.substr(3) : std::string();
    found.push_back(v);
  }
  return found;
}

HWND FindGraphicOwner(HWND top, const std::string& caption) {
  std::vector<HWND> windows{top};
  for (HWND w : Children(top)) windows.push_back(w);
  for (HWND w : windows)
    for (const GraphicControlView& v : GraphicChildren(w))
      if (v.visible && v.enabled && v.caption == caption) return w;
  return nullptr;
}

void ClickGraphic(HWND top, const std::string& caption) {
  static const UINT clickMessage = RegisterWindowMessageA("MbGraphicClick");
  HWND owner = FindGraphicOwner(top, caption);
  if (!owner) throw DriverError("no visible, enabled windowless control \"" + caption + "\"");
  const ATOM atom = GlobalAddAtomA(caption.c_str());
  if (!atom) throw DriverError("no atom for \"" + caption + "\"");
  Post(owner, clickMessage, 0, static_cast<LPARAM>(atom));
}

HWND WindowAt(HWND top, int x, int y) {
  HWND w = top;
  POINT p{x, y};
  for (;;) {
    HWND child = ChildWindowFromPointEx(w, p, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    if (!child || child == w) return w;
    MapWindowPoints(w, child, &p, 1);
    w = child;
  }
}

void ClickAt(HWND top, int x, int y) {
  HWND target = WindowAt(top, x, y);
  POINT p{x, y};
  MapWindowPoints(top, target, &p, 1);
  const LPARAM at = MAKELPARAM(p.x, p.y);
  Post(target, WM_MOUSEMOVE, 0, at);
  Post(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
  Post(target, WM_LBUTTONUP, 0, at);
}

COLORREF ScreenPixels::At(int x, int y) const {
  const auto* p = reinterpret_cast<const unsigned char*>(bits.data()) + (height - 1 - y) * stride + x * 3;
  return RGB(p[2], p[1], p[0]);
}

size_t ScreenPixels::Colours() const {
  std::vector<COLORREF> seen;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) seen.push_back(At(x, y));
  std::sort(seen.begin(), seen.end());
  return static_cast<size_t>(std::unique(seen.begin(), seen.end()) - seen.begin());
}

ScreenPixels Capture(HWND window, RECT r) {
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  ScreenPixels shot;
  shot.width = r.right - r.left;
  shot.height = r.bottom - r.top;
  shot.stride = (shot.width * 3 + 3) & ~3;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = shot.width;
  info.bmiHeader.biHeight = shot.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, shot.width, shot.height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  shot.bits.assign(static_cast<const char*>(bits), static_cast<size_t>(shot.stride) * shot.height);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return shot;
}

HWND WaitForMessageBox(DWORD pid, int timeoutMs) { return WaitForTopWindow(pid, "#32770", "", timeoutMs); }

MessageBoxView ReadMessageBox(HWND box) {
  MessageBoxView v;
  v.handle = box;
  v.title = TitleOf(box);
  // The text sits in a static control with the id 0xFFFF; the icon's static has no text.
  if (HWND text = GetDlgItem(box, 0xFFFF)) v.text = TextOf(text);
  for (HWND w : Children(box)) {
    const std::string cls = ClassOf(w);
    if (v.text.empty() && cls == "Static") {
      const std::string t = TextOf(w);
      if (t.size() > v.text.size()) v.text = t;
    }
    if (cls == "Button" && IsShown(w)) v.buttons.push_back(TextOf(w));
  }
  return v;
}

void AnswerMessageBox(HWND box, int buttonId) {
  HWND button = GetDlgItem(box, buttonId);
  if (!button) throw DriverError("the message box has no button " + std::to_string(buttonId));
  Post(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

}  // namespace mbdriver
