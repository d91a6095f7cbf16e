// Helpers for tests that drive real windows: pumping messages until a condition holds
// (bounded by a time-out, never a fixed sleep), pixels read back from windows, and a form
// that is freed at the end of each test.
#pragma once
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "winui/winui.h"

// Dispatches messages until cond() is true or the time-out passes; returns cond().
bool PumpUntil(const std::function<bool()>& cond, int timeoutMs = 3000);
// Dispatches messages for a while (for checks that something does NOT happen).
void PumpFor(int ms);
// The colour shown at a client point of a window, after its pending painting.
COLORREF PixelAt(HWND window, int x, int y);
// Colours match within a tolerance per channel.
bool NearColor(COLORREF a, COLORREF b, int tolerance = 0);

// Collects what reaches the application's exception box instead of showing it.
struct ExceptionCatcher {
  ExceptionCatcher();
  ~ExceptionCatcher();
  std::vector<std::string> messages;
};

// Sits in front of a control's window procedure like a styling object: records, then hands on.
struct Recorder {
  TControl* control = nullptr;
  TWndMethod saved;
  std::vector<UINT> seen;
  void Attach(TControl* c) {
    control = c;
    saved = c->WindowProc();
    c->SetWindowProc(TWndMethod::Of<&Recorder::Proc>(this));
  }
  void Detach() { control->SetWindowProc(saved); }
  void Proc(TMessage& m) {
    seen.push_back(m.Msg);
    saved(m);
  }
  bool Saw(UINT msg) const { return std::find(seen.begin(), seen.end(), msg) != seen.end(); }
  int Count(UINT msg) const { return static_cast<int>(std::count(seen.begin(), seen.end(), msg)); }
};

// Frees every form after a test so the next one starts with no main form.
struct FormsGuard {
  ~FormsGuard() { Application->DestroyForms(); }
};
