// Takes the console's screenshots: starts morbell.exe from the given program folder, waits
// for each window, copies it from the screen into a BMP file in the output folder and
// moves on through the console's buttons: splash, console, profile editor, timed wake,
// about box. tools/console/screenshots.sh runs it under Xvfb and turns the BMPs into PNGs.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tools/driver/driver.h"

using namespace mbdriver;

namespace {

bool SaveWindow(HWND window, const std::string& file) {
  RECT r;
  GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  const DWORD stride = ((w * 3 + 3) / 4) * 4, size = stride * h;
  BITMAPFILEHEADER head{};
  head.bfType = 0x4D42;
  head.bfOffBits = sizeof(head) + sizeof(info.bmiHeader);
  head.bfSize = head.bfOffBits + size;
  FILE* f = fopen(file.c_str(), "wb");
  bool ok = f && fwrite(&head, sizeof(head), 1, f) == 1 && fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, f) == 1 &&
            fwrite(bits, size, 1, f) == 1;
  if (f) fclose(f);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

void ClickPoint(HWND top, int x, int y) {
  HWND target = top;
  long best = -1;
  for (HWND c : Children(top)) {
    RECT r;
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
    long area = (r.right - r.left) * (r.bottom - r.top);
    if (IsShown(c) && x >= r.left && x < r.right && y >= r.top && y < r.bottom && (best < 0 || area < best)) {
      target = c;
      best = area;
    }
  }
  POINT p{x, y};
  MapWindowPoints(top, target, &p, 1);
  PostMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  PostMessageA(target, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
}

// Waits until the window is up and painted, then saves it.
HWND Shot(DWORD pid, const std::string& caption, const std::string& file, bool borderless = false) {
  HWND w = borderless ? WaitForTopWindow(pid, "", "", 20000) : WaitForTopWindow(pid, "", caption, 20000);
  if (!w) throw DriverError("window not shown: " + caption);
  WaitUntil([] { return false; }, 700);  // let the window finish painting
  if (!SaveWindow(w, file)) throw DriverError("cannot write " + file);
  return w;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: shots <program folder> <output folder>\n");
    return 2;
  }
  const std::string dir = argv[1], out = std::string(argv[2]) + "\\";
  try {
    Process program(dir + "\\morbell.exe", "", dir);
    const DWORD pid = program.Id();
    Shot(pid, "", out + "console-splash.bmp", true);
    HWND console = Shot(pid, "Morrowbell 1.5", out + "console-main.bmp");
    ClickPoint(console, 330, 108);
    HWND editor = Shot(pid, "Profileditor", out + "console-profiles.bmp");
    ClickPoint(editor, 80, 186);
    WaitUntil([&] { return IsShown(console); }, 20000);
    ClickPoint(console, 330, 44);
    HWND clock = Shot(pid, "Bitte Weckzeit eingeben", out + "console-timer.bmp");
    ClickPoint(clock, 60, 122);
    WaitUntil([&] { return IsShown(console); }, 20000);
    // The about button sits in the last status panel.
    RECT bar;
    GetClientRect(console, &bar);
    ClickPoint(console, 520, bar.bottom - 10);
    HWND about = Shot(pid, "Über...", out + "console-about.bmp");
    ClickPoint(about, 120, 200);
    WaitUntil([&] { return IsShown(console); }, 20000);
    PostClose(console);
    program.WaitExit(20000);
  } catch (const std::exception& e) {
    fprintf(stderr, "shots: %s\n", e.what());
    return 1;
  }
  return 0;
}
