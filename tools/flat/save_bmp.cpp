#include "tools/flat/save_bmp.h"

#include <cstdio>

#include "winui/form.h"

namespace {

// The rectangle r of the context src as a 24-bit BMP file.
bool SaveRect(HDC src, const RECT& r, const char* path) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;  // bottom-up, as BMP files store rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(src, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC mem = CreateCompatibleDC(src);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, w, h, src, r.left, r.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = ((static_cast<DWORD>(w) * 3 + 3) & ~3u);
  const DWORD imageSize = stride * static_cast<DWORD>(h);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + imageSize;
  info.bmiHeader.biSizeImage = imageSize;
  bool ok = false;
  if (FILE* f = std::fopen(path, "wb")) {
    ok = std::fwrite(&file, sizeof(file), 1, f) == 1 &&
         std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, f) == 1 && std::fwrite(bits, imageSize, 1, f) == 1;
    ok = std::fclose(f) == 0 && ok;
  }
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(dib);
  return ok;
}

}  // namespace

bool SaveClientBmp(HWND window, const char* path) {
  RECT r;
  GetClientRect(window, &r);
  HDC src = GetDC(window);
  const bool ok = SaveRect(src, r, path);
  ReleaseDC(window, src);
  return ok;
}

bool SaveScreenBmp(const RECT& r, const char* path) {
  HDC src = GetDC(nullptr);
  const bool ok = SaveRect(src, r, path);
  ReleaseDC(nullptr, src);
  return ok;
}

int ShowOrSave(TForm* form, int argc, char** argv, const std::function<void()>& prepare) {
  form->Show();
  SetForegroundWindow(form->Handle());
  prepare();
  if (argc < 2) {
    Application->Run();
    return 0;
  }
  for (int i = 0; i < 20; ++i) {
    Application->ProcessMessages();
    Sleep(20);
  }
  return SaveClientBmp(form->Handle(), argv[1]) ? 0 : 1;
}
