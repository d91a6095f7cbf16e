#include "tests/flat/screen.h"

Snapshot::Snapshot(HWND window, bool wholeWindow) {
  RECT r;
  if (wholeWindow) {
    GetWindowRect(window, &r);
    OffsetRect(&r, -r.left, -r.top);
  } else {
    GetClientRect(window, &r);
  }
  w_ = r.right;
  h_ = r.bottom;
  HDC src = wholeWindow ? GetWindowDC(window) : GetDC(window);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w_;
  info.bmiHeader.biHeight = -h_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(src, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC mem = CreateCompatibleDC(src);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, w_, h_, src, 0, 0, SRCCOPY);
  GdiFlush();
  const uint32_t* p = static_cast<const uint32_t*>(bits);
  px_.assign(p, p + static_cast<size_t>(w_) * h_);
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(dib);
  ReleaseDC(window, src);
}

COLORREF Snapshot::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= w_ || y >= h_) return CLR_INVALID;
  const uint32_t v = px_[static_cast<size_t>(y) * w_ + x];
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

int Snapshot::Count(const RECT& r, COLORREF c) const {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += At(x, y) == c;
  return n;
}

void Pump() {
  for (int round = 0; round < 3; ++round) {
    Application->ProcessMessages();
    GdiFlush();
  }
}

void FormTest::SetUp() {
  static TForm* shared = nullptr;
  if (!shared) {
    shared = new TForm(Application);
    shared->SetBorderStyle(bsSingle);
    shared->SetBounds(0, 0, 500, 400);
    shared->SetClientSize(440, 340);
    shared->Show();
  }
  form = shared;
  form->SetColor(color_);
  SetForegroundWindow(form->Handle());
  Pump();
}

void FormTest::TearDown() {
  form->OnPaint = nullptr;
  form->DestroyComponents();
  Pump();
}
