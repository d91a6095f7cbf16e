#include "tests/winui/ui_test_util.h"

#include <cstdlib>

bool PumpUntil(const std::function<bool()>& cond, int timeoutMs) {
  const DWORD start = GetTickCount();
  while (!cond()) {
    if (static_cast<int>(GetTickCount() - start) > timeoutMs) return cond();
    Application->ProcessMessages();
    if (!cond()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

void PumpFor(int ms) {
  const DWORD start = GetTickCount();
  while (static_cast<int>(GetTickCount() - start) < ms) {
    Application->ProcessMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

COLORREF PixelAt(HWND window, int x, int y) {
  UpdateWindow(window);
  Application->ProcessMessages();
  HDC dc = GetDC(window);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return c;
}

bool NearColor(COLORREF a, COLORREF b, int tolerance) {
  return std::abs(int(GetRValue(a)) - int(GetRValue(b))) <= tolerance &&
         std::abs(int(GetGValue(a)) - int(GetGValue(b))) <= tolerance &&
         std::abs(int(GetBValue(a)) - int(GetBValue(b))) <= tolerance;
}

ExceptionCatcher::ExceptionCatcher() {
  Application->OnException = [this](TObject*, const std::string& message) { messages.push_back(message); };
}

ExceptionCatcher::~ExceptionCatcher() { Application->OnException = nullptr; }
