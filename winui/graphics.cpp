#include "winui/graphics.h"

#include <algorithm>
#include <cstring>

#include "base/exception.h"

COLORREF ColorToRGB(TColor color) {
  if (color < 0) return GetSysColor(static_cast<int>(color & 0xFF));
  return static_cast<COLORREF>(color & 0xFFFFFF);
}

// ---- font, pen, brush: the GDI object is made on demand and dropped on every change.

namespace {
int g_liveFonts = 0;
}

TFont::TFont() = default;
TFont::~TFont() { Drop(); }

int TFont::LiveHandles() { return g_liveFonts; }

void TFont::Drop() {
  if (handle_) {
    Changing();
    if (handle_ != GetStockObject(DEFAULT_GUI_FONT)) {
      DeleteObject(handle_);
      --g_liveFonts;
    }
    handle_ = nullptr;
  }
}

void TFont::SetHandle(HFONT font) {
  if (font == handle_) return;
  Drop();
  if (!font) {
    Changed();
    return;
  }
  LOGFONTA lf{};
  if (GetObjectA(font, sizeof(lf), &lf)) {
    name_ = lf.lfFaceName;
    height_ = lf.lfHeight;
    charset_ = lf.lfCharSet;
    style_ = (lf.lfWeight >= FW_BOLD ? fsBold : 0u) | (lf.lfItalic ? fsItalic : 0u) |
             (lf.lfUnderline ? fsUnderline : 0u) | (lf.lfStrikeOut ? fsStrikeOut : 0u);
  }
  handle_ = font;
  ++g_liveFonts;
  Changed();
}

void TFont::SetCharset(BYTE charset) {
  if (charset == charset_) return;
  Drop();
  charset_ = charset;
  Changed();
}

void TFont::Assign(const TFont& other) {
  Drop();
  name_ = other.name_;
  height_ = other.height_;
  color_ = other.color_;
  style_ = other.style_;
  charset_ = other.charset_;
  Changed();
}

void TFont::SetName(const std::string& name) {
  if (name == name_) return;
  Drop();
  name_ = name;
  Changed();
}

void TFont::SetHeight(int height) {
  if (height == height_) return;
  Drop();
  height_ = height;
  Changed();
}

static int ScreenPixelsPerInch() {
  HDC dc = GetDC(nullptr);
  const int ppi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return ppi > 0 ? ppi : 96;
}

int TFont::Size() const { return -MulDiv(height_, 72, ScreenPixelsPerInch()); }
void TFont::SetSize(int points) { SetHeight(-MulDiv(points, ScreenPixelsPerInch(), 72)); }

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;  // the colour is not part of the GDI font
  Changed();
}

void TFont::SetStyle(TFontStyles style) {
  if (style == style_) return;
  Drop();
  style_ = style;
  Changed();
}

HFONT TFont::Handle() {
  if (!handle_) {
    handle_ = CreateFontA(height_, 0, 0, 0, (style_ & fsBold) ? FW_BOLD : FW_NORMAL, (style_ & fsItalic) ? TRUE : FALSE,
                          (style_ & fsUnderline) ? TRUE : FALSE, (style_ & fsStrikeOut) ? TRUE : FALSE, charset_,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                          name_.c_str());
    if (handle_)
      ++g_liveFonts;
    else
      handle_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }
  return handle_;
}

TPen::~TPen() { Drop(); }
void TPen::Drop() {
  if (handle_) {
    Changing();
    DeleteObject(handle_);
    handle_ = nullptr;
  }
}
void TPen::SetColor(TColor color) {
  if (color == color_) return;
  Drop();
  color_ = color;
  Changed();
}
void TPen::SetWidth(int width) {
  if (width == width_) return;
  Drop();
  width_ = width;
  Changed();
}
void TPen::SetStyle(TPenStyle style) {
  if (style == style_) return;
  Drop();
  style_ = style;
  Changed();
}
void TPen::SetMode(TPenMode mode) {
  mode_ = mode;
  Changed();
}
HPEN TPen::Handle() {
  if (!handle_) {
    static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
    handle_ = CreatePen(styles[style_], width_, ColorToRGB(color_));
  }
  return handle_;
}

TBrush::~TBrush() { Drop(); }
void TBrush::Drop() {
  if (handle_) {
    Changing();
    DeleteObject(handle_);
    handle_ = nullptr;
  }
}
void TBrush::SetColor(TColor color) {
  if (color == color_ && style_ != bsClear) return;
  Drop();
  color_ = color;
  if (style_ == bsClear) style_ = bsSolid;
  Changed();
}
void TBrush::SetStyle(TBrushStyle style) {
  if (style == style_) return;
  Drop();
  style_ = style;
  Changed();
}
HBRUSH TBrush::Handle() {
  if (!handle_) {
    if (style_ == bsClear) {
      LOGBRUSH lb{BS_NULL, 0, 0};
      handle_ = CreateBrushIndirect(&lb);
    } else if (style_ == bsSolid) {
      handle_ = CreateSolidBrush(ColorToRGB(color_));
    } else {
      static const int hatches[] = {0,        0,           HS_HORIZONTAL, HS_VERTICAL, HS_FDIAGONAL, HS_BDIAGONAL,
                                    HS_CROSS, HS_DIAGCROSS};
      handle_ = CreateHatchBrush(hatches[style_], ColorToRGB(color_));
    }
  }
  return handle_;
}

// ---- canvas

TCanvas::TCanvas() {
  auto deselect = [this] { DeselectTools(); };
  pen_.OnChanging = deselect;
  brush_.OnChanging = deselect;
  font_.OnChanging = deselect;
}

TCanvas::~TCanvas() { DeselectTools(); }

HDC TCanvas::Handle() {
  if (!dc_) CreateHandle();
  if (dc_) RequireTools(true, true, true);
  return dc_;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == dc_) return;
  DeselectTools();
  dc_ = dc;
}

void TCanvas::SetOwnedHandle(HDC dc) { SetHandle(dc); }

void TCanvas::DeselectTools() {
  if (!dc_) return;
  if (oldPen_) SelectObject(dc_, oldPen_);
  if (oldBrush_) SelectObject(dc_, oldBrush_);
  if (oldFont_) SelectObject(dc_, oldFont_);
  oldPen_ = oldBrush_ = oldFont_ = nullptr;
}

void TCanvas::RequireTools(bool pen, bool brush, bool font) {
  if (!dc_) CreateHandle();
  if (!dc_) throw Exception("Canvas does not allow drawing");
  if (pen) {
    HGDIOBJ old = SelectObject(dc_, pen_.Handle());
    if (!oldPen_) oldPen_ = old;
    static const int rops[] = {R2_COPYPEN, R2_NOT, R2_XORPEN, R2_MERGEPEN, R2_MASKPEN};
    SetROP2(dc_, rops[pen_.Mode()]);
  }
  if (brush) {
    HGDIOBJ old = SelectObject(dc_, brush_.Handle());
    if (!oldBrush_) oldBrush_ = old;
    SetBkColor(dc_, ColorToRGB(brush_.Color()));
    SetBkMode(dc_, brush_.Style() == bsSolid ? OPAQUE : TRANSPARENT);
  }
  if (font) {
    HGDIOBJ old = SelectObject(dc_, font_.Handle());
    if (!oldFont_) oldFont_ = old;
    SetTextColor(dc_, ColorToRGB(font_.Color()));
  }
}

void TCanvas::MoveTo(int x, int y) {
  RequireTools(false, false, false);
  MoveToEx(dc_, x, y, nullptr);
  penPos_ = POINT{x, y};
}

void TCanvas::LineTo(int x, int y) {
  RequireTools(true, true, false);
  ::LineTo(dc_, x, y);
  penPos_ = POINT{x, y};
}

void TCanvas::Polyline(const POINT* points, int count) {
  RequireTools(true, true, false);
  ::Polyline(dc_, points, count);
}

void TCanvas::Polygon(const POINT* points, int count) {
  RequireTools(true, true, false);
  ::Polygon(dc_, points, count);
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  RequireTools(true, true, false);
  ::Rectangle(dc_, x1, y1, x2, y2);
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int w, int h) {
  RequireTools(true, true, false);
  ::RoundRect(dc_, x1, y1, x2, y2, w, h);
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  RequireTools(true, true, false);
  ::Ellipse(dc_, x1, y1, x2, y2);
}

void TCanvas::FillRect(const RECT& r) {
  RequireTools(false, true, false);
  ::FillRect(dc_, &r, brush_.Handle());
}

void TCanvas::FrameRect(const RECT& r) {
  RequireTools(false, true, false);
  ::FrameRect(dc_, &r, brush_.Handle());
}

void TCanvas::DrawFocusRect(const RECT& r) {
  RequireTools(false, true, false);
  ::DrawFocusRect(dc_, &r);
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  RequireTools(false, true, true);
  ExtTextOutA(dc_, x, y, textFlags_, nullptr, text.c_str(), static_cast<UINT>(text.size()), nullptr);
  penPos_ = POINT{x + TextWidth(text), y};
}

void TCanvas::TextRect(const RECT& r, int x, int y, const std::string& text) {
  RequireTools(false, true, true);
  const UINT options = ETO_CLIPPED | textFlags_ | (brush_.Style() == bsSolid ? ETO_OPAQUE : 0);
  ExtTextOutA(dc_, x, y, options, &r, text.c_str(), static_cast<UINT>(text.size()), nullptr);
}

int TCanvas::DrawText(const std::string& text, RECT& r, UINT format) {
  RequireTools(false, true, true);
  return ::DrawTextA(dc_, text.c_str(), static_cast<int>(text.size()), &r, format);
}

SIZE TCanvas::TextExtent(const std::string& text) {
  RequireTools(false, false, true);
  SIZE size{0, 0};
  GetTextExtentPoint32A(dc_, text.c_str(), static_cast<int>(text.size()), &size);
  return size;
}

int TCanvas::TextWidth(const std::string& text) { return TextExtent(text).cx; }
int TCanvas::TextHeight(const std::string& text) { return TextExtent(text).cy; }

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  StretchDraw(RECT{x, y, x + graphic->Width(), y + graphic->Height()}, graphic);
}

void TCanvas::StretchDraw(const RECT& r, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  RequireTools(false, false, false);
  graphic->Draw(this, r);
}

void TCanvas::CopyRect(const RECT& dest, TCanvas* source, const RECT& src) {
  RequireTools(false, true, false);
  SetStretchBltMode(dc_, COLORONCOLOR);
  StretchBlt(dc_, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, source->Handle(), src.left,
             src.top, src.right - src.left, src.bottom - src.top, SRCCOPY);
}

COLORREF TCanvas::Pixel(int x, int y) {
  RequireTools(false, false, false);
  return GetPixel(dc_, x, y);
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  RequireTools(false, false, false);
  ::SetPixel(dc_, x, y, ColorToRGB(color));
}

// ---- bitmap

TBitmapCanvas::~TBitmapCanvas() { Release(); }

void TBitmapCanvas::CreateHandle() {
  if (!bitmap_->handle_) bitmap_->SetSize(std::max(bitmap_->width_, 1), std::max(bitmap_->height_, 1));
  memDC_ = CreateCompatibleDC(nullptr);
  oldBitmap_ = SelectObject(memDC_, bitmap_->handle_);
  SetOwnedHandle(memDC_);
}

void TBitmapCanvas::Release() {
  if (!memDC_) return;
  DeselectTools();
  SetHandle(nullptr);
  SelectObject(memDC_, oldBitmap_);
  DeleteDC(memDC_);
  memDC_ = nullptr;
  oldBitmap_ = nullptr;
}

TBitmap::TBitmap() = default;
TBitmap::~TBitmap() { Free(); }

void TBitmap::Free() {
  if (canvas_) canvas_->Release();
  if (handle_) DeleteObject(handle_);
  handle_ = nullptr;
  bits_ = nullptr;
  width_ = height_ = 0;
}

void TBitmap::SetSize(int width, int height) {
  if (width == width_ && height == height_ && handle_) return;
  Free();
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  if (width_ > 0 && height_ > 0) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width_;
    bi.bmiHeader.biHeight = -height_;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    handle_ = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!handle_) {
      width_ = height_ = 0;
      throw Exception("Out of system resources");
    }
    bits_ = static_cast<uint32_t*>(bits);
    std::fill(bits_, bits_ + static_cast<size_t>(width_) * static_cast<size_t>(height_), 0x00FFFFFFu);
  }
  Changed();
}

void TBitmap::Assign(const TBitmap& other) {
  if (&other == this) return;
  if (other.Empty()) {
    Free();
    Changed();
    return;
  }
  LoadFromBits(other.width_, other.height_, other.bits_);
  transparent_ = other.transparent_;
  transparentColor_ = other.transparentColor_;
}

void TBitmap::LoadFromBits(int width, int height, const uint32_t* topDownPixels) {
  Free();
  SetSize(width, height);
  if (bits_) {
    GdiFlush();
    std::memcpy(bits_, topDownPixels, static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  }
  Changed();
}

void TBitmap::LoadFromHandle(HBITMAP bitmap) {
  BITMAP info{};
  if (!bitmap || !GetObjectA(bitmap, sizeof(info), &info)) throw Exception("Invalid bitmap");
  std::vector<uint32_t> pixels(static_cast<size_t>(info.bmWidth) * static_cast<size_t>(std::abs(info.bmHeight)));
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = info.bmWidth;
  bi.bmiHeader.biHeight = -std::abs(info.bmHeight);
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  HDC dc = GetDC(nullptr);
  const int lines =
      GetDIBits(dc, bitmap, 0, static_cast<UINT>(std::abs(info.bmHeight)), pixels.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  if (lines == 0) throw Exception("Invalid bitmap");
  for (uint32_t& p : pixels) p &= 0x00FFFFFFu;
  LoadFromBits(info.bmWidth, std::abs(info.bmHeight), pixels.data());
}

void TBitmap::LoadFromFile(const std::string& fileName) {
  HANDLE h = LoadImageA(nullptr, fileName.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
  if (!h) throw Exception("Cannot load bitmap " + fileName);
  try {
    LoadFromHandle(static_cast<HBITMAP>(h));
  } catch (...) {
    DeleteObject(h);
    throw;
  }
  DeleteObject(h);
}

TCanvas* TBitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TBitmapCanvas>(this);
  return canvas_.get();
}

TColor TBitmap::TransparentColor() {
  if (transparentColor_ != clDefault) return transparentColor_;
  if (!bits_ || height_ == 0) return clDefault;
  GdiFlush();
  const uint32_t p = bits_[static_cast<size_t>(height_ - 1) * static_cast<size_t>(width_)];
  return static_cast<TColor>(((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16));
}

void TBitmap::Draw(TCanvas* canvas, const RECT& r) {
  if (Empty()) return;
  HDC dest = canvas->Handle();
  HDC src = Canvas()->Handle();
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (transparent_) {
    TransparentBlt(dest, r.left, r.top, w, h, src, 0, 0, width_, height_, ColorToRGB(TransparentColor()));
  } else if (w == width_ && h == height_) {
    BitBlt(dest, r.left, r.top, w, h, src, 0, 0, SRCCOPY);
  } else {
    SetStretchBltMode(dest, COLORONCOLOR);
    StretchBlt(dest, r.left, r.top, w, h, src, 0, 0, width_, height_, SRCCOPY);
  }
}

// ---- icon

TIcon::~TIcon() {
  if (handle_ && owned_) DestroyIcon(handle_);
}

void TIcon::SetHandle(HICON icon, bool owned) {
  if (handle_ && owned_ && handle_ != icon) DestroyIcon(handle_);
  handle_ = icon;
  owned_ = owned;
  Changed();
}

static SIZE IconSize(HICON icon) {
  SIZE size{GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)};
  ICONINFO info{};
  if (icon && GetIconInfo(icon, &info)) {
    BITMAP bm{};
    HBITMAP b = info.hbmColor ? info.hbmColor : info.hbmMask;
    if (GetObjectA(b, sizeof(bm), &bm)) {
      size.cx = bm.bmWidth;
      size.cy = info.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
    }
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
  }
  return size;
}

int TIcon::Width() const { return handle_ ? IconSize(handle_).cx : 0; }
int TIcon::Height() const { return handle_ ? IconSize(handle_).cy : 0; }

void TIcon::Draw(TCanvas* canvas, const RECT& r) {
  if (!handle_) return;
  DrawIconEx(canvas->Handle(), r.left, r.top, handle_, r.right - r.left, r.bottom - r.top, 0, nullptr, DI_NORMAL);
}

void TIcon::LoadFromFile(const std::string& fileName) {
  HANDLE h = LoadImageA(nullptr, fileName.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE);
  if (!h) throw Exception("Cannot load icon " + fileName);
  SetHandle(static_cast<HICON>(h), true);
}

void TIcon::LoadFromResource(HINSTANCE module, const char* name) {
  HICON icon = LoadIconA(module, name);
  if (!icon) throw Exception("Icon resource not found");
  SetHandle(icon, false);
}

// ---- picture

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) {
  graphic_ = std::move(graphic);
  if (graphic_) graphic_->OnChange = [this] { Changed(); };
  Changed();
}

void TPicture::LoadFromFile(const std::string& fileName) {
  std::string ext;
  const size_t dot = fileName.find_last_of('.');
  if (dot != std::string::npos) ext = fileName.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c + 32 : c);
  std::unique_ptr<TGraphic> g;
  if (ext == "bmp")
    g = std::make_unique<TBitmap>();
  else if (ext == "ico")
    g = std::make_unique<TIcon>();
  else if (ext == "jpg" || ext == "jpeg")
    g = std::make_unique<TJPEGImage>();
  else
    throw Exception("Unknown picture file extension (." + ext + ")");
  g->LoadFromFile(fileName);
  SetGraphic(std::move(g));
}

TBitmap* TPicture::Bitmap() {
  if (auto* b = dynamic_cast<TBitmap*>(graphic_.get())) return b;
  auto b = std::make_unique<TBitmap>();
  if (auto* j = dynamic_cast<TJPEGImage*>(graphic_.get())) b->Assign(*j->Bitmap());
  TBitmap* result = b.get();
  SetGraphic(std::move(b));
  return result;
}

TIcon* TPicture::Icon() {
  if (auto* i = dynamic_cast<TIcon*>(graphic_.get())) return i;
  auto i = std::make_unique<TIcon>();
  TIcon* result = i.get();
  SetGraphic(std::move(i));
  return result;
}
