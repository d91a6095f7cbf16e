// Drives another process's windows the way a user would, through window messages, and reads
// what the screen shows of them.
//
// Every wait polls with a time-out; nothing here sleeps a fixed time to synchronise.
// Messages that carry pointers the system does not marshal between processes (status bar
// and list view texts) go through a buffer allocated inside the target process.
// Actions that may open a modal box in the target (clicks, Enter) are posted, so the
// caller is never blocked by the target's modal loop; the test then waits for the effect.
#pragma once
#include <windows.h>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace mbdriver {

class DriverError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Polls cond every pollMs until it is true or timeoutMs have passed; returns its last value.
bool WaitUntil(const std::function<bool()>& cond, int timeoutMs, int pollMs = 20);

// A started program. The destructor kills it if it still runs, so a failing test leaves
// nothing behind.
class Process {
public:
  // exe: path of the program; arguments: the command-line tail (quote it yourself);
  // workDir: current folder of the program ("" = the caller's). Raises DriverError.
  Process(const std::string& exe, const std::string& arguments, const std::string& workDir = "");
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  DWORD Id() const { return pid_; }
  HANDLE Handle() const { return process_; }
  bool Running() const;
  // True when the process ended within timeoutMs; exitCode receives its code.
  bool WaitExit(int timeoutMs, DWORD* exitCode = nullptr) const;
  DWORD ExitCode() const;  // STILL_ACTIVE while it runs
  void Kill();

private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

// --- finding windows ---
// Top-level windows of the process (pid 0: of any process), in z-order.
std::vector<HWND> TopWindows(DWORD pid, bool visibleOnly = true);
// First top-level window matching class and title (TitleOf) exactly ("" matches any);
// nullptr if none.
HWND FindTopWindow(DWORD pid, const std::string& className, const std::string& title, bool visibleOnly = true);
HWND WaitForTopWindow(DWORD pid, const std::string& className, const std::string& title, int timeoutMs,
                      bool visibleOnly = true);
// True when no matching window appeared during the whole period (polled).
bool NoTopWindowFor(DWORD pid, const std::string& className, const std::string& title, int periodMs);

// All descendants of parent, in the order EnumChildWindows gives them.
std::vector<HWND> Children(HWND parent);
// n-th descendant (from 0) whose class and text match ("" matches any); nullptr if none.
HWND FindChild(HWND parent, const std::string& className, const std::string& text, int nth = 0);
HWND FindChildById(HWND parent, int id);

std::string ClassOf(HWND w);
// WM_GETTEXT, marshalled by the system: the current text of any control; "" once the
// window is gone. Raises DriverError when the target does not answer within 10 s.
std::string TextOf(HWND w);
// The caption the system keeps for the window, read without a message: never blocks on a
// busy program. Right for top-level windows; controls such as edits keep their own text.
std::string TitleOf(HWND w);
bool IsShown(HWND w);  // visible flag of the window itself
bool IsEnabledWindow(HWND w);
DWORD ProcessOf(HWND w);

// --- reading controls ---
int StatusPanelCount(HWND statusBar);
// The panel's text as stored; a centred panel's text starts with a tab.
std::string StatusPanelText(HWND statusBar, int panel);
int ListViewItemCount(HWND listView);
int ListViewColumnCount(HWND listView);
std::string ListViewItemText(HWND listView, int item, int subItem);
int ListViewSelectedIndex(HWND listView);  // -1 when none
// Date and time pickers: the value they show (no notification when set).
SYSTEMTIME DateTimeOf(HWND picker);
void SetDateTime(HWND picker, const SYSTEMTIME& value);
std::vector<std::string> ComboItems(HWND combo);
int ComboSelectedIndex(HWND combo);

// --- acting ---
void Click(HWND button);                               // BM_CLICK, posted
void SetEditText(HWND edit, const std::string& text);  // WM_SETTEXT (the edit reports the change)
void PressKey(HWND control, WORD key);                 // key down and up, posted
void PressEnter(HWND control);                         // the same for Return
// Selects the entry and tells the owner as a user's choice would (CBN_SELCHANGE).
void SelectComboItem(HWND combo, int index);
void PostClose(HWND window);  // WM_CLOSE, posted

// --- windowless controls (labels, speed buttons) ---
// Windows of the program's layer answer two registered messages about the windowless
// controls they hold: "MbGraphicText" (WParam = index; returns a global atom with
// "<V|-><E|->:<caption>", 0 past the end) and "MbGraphicClick" (LParam = an atom holding a
// caption; clicks the first visible, enabled one). Other windows hold none.
struct GraphicControlView {
  std::string caption;
  bool visible = false;
  bool enabled = false;
};
std::vector<GraphicControlView> GraphicChildren(HWND window);
// The window (top or one of its descendants) holding a visible, enabled windowless control
// with this caption; nullptr if none.
HWND FindGraphicOwner(HWND top, const std::string& caption);
// Clicks it, posted like Click; raises DriverError when there is no such control. The
// caption's atom stays behind, since the target reads it at some later time.
void ClickGraphic(HWND top, const std::string& caption);
// The deepest visible window under a point of top's client area (top itself if no child).
HWND WindowAt(HWND top, int x, int y);
// A user's left click at a point of top's client area: mouse move, button down and up are
// posted to the window under the point, in its own client coordinates, so windowless
// controls get it through their parent as from a real mouse.
void ClickAt(HWND top, int x, int y);

// --- the screen ---
// The pixels of a rectangle of a window's client area as the screen shows them now, so what
// covers the window shows too. 24 bits, rows bottom up: the layout of a BMP file's pixels.
struct ScreenPixels {
  int width = 0, height = 0, stride = 0;
  std::string bits;
  COLORREF At(int x, int y) const;  // x, y from the rectangle's top left
  // Distinct colours, so a test can tell a picture from an empty place.
  size_t Colours() const;
};
ScreenPixels Capture(HWND window, RECT r);

// --- message boxes ---
struct MessageBoxView {
  HWND handle = nullptr;
  std::string title;
  std::string text;
  std::vector<std::string> buttons;  // captions in dialog order
};
// The first visible message box of the process (dialog class "#32770"), waited for.
HWND WaitForMessageBox(DWORD pid, int timeoutMs);
MessageBoxView ReadMessageBox(HWND box);
// Presses the button with this command id (IDOK, IDYES, IDNO, IDCANCEL ...); raises
// DriverError when the box has no such button.
void AnswerMessageBox(HWND box, int buttonId);

}  // namespace mbdriver
