// Colours, GDI tools and pictures. A canvas selects its pen, brush and font into the device
// context before every drawing call, so callers change tools freely between calls.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "winui/component.h"

class TStream;

// A colour: RGB in the low three bytes (red lowest); with the top bit set, the low byte is a
// system colour index resolved at run time.
using TColor = int32_t;

constexpr TColor SysColor(int index) { return static_cast<TColor>(0x80000000u | static_cast<uint32_t>(index)); }

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080, clNavy = 0x800000,
                 clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080, clSilver = 0xC0C0C0, clRed = 0x0000FF,
                 clLime = 0x00FF00, clYellow = 0x00FFFF, clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00,
                 clWhite = 0xFFFFFF, clMoneyGreen = 0xC0DCC0, clCream = 0xF0FBFF;
constexpr TColor clNone = 0x1FFFFFFF, clDefault = 0x20000000;

constexpr TColor clScrollBar = SysColor(COLOR_SCROLLBAR), clBackground = SysColor(COLOR_BACKGROUND),
                 clActiveCaption = SysColor(COLOR_ACTIVECAPTION), clInactiveCaption = SysColor(COLOR_INACTIVECAPTION),
                 clMenu = SysColor(COLOR_MENU), clWindow = SysColor(COLOR_WINDOW),
                 clWindowFrame = SysColor(COLOR_WINDOWFRAME), clMenuText = SysColor(COLOR_MENUTEXT),
                 clWindowText = SysColor(COLOR_WINDOWTEXT), clCaptionText = SysColor(COLOR_CAPTIONTEXT),
                 clActiveBorder = SysColor(COLOR_ACTIVEBORDER), clInactiveBorder = SysColor(COLOR_INACTIVEBORDER),
                 clAppWorkSpace = SysColor(COLOR_APPWORKSPACE), clHighlight = SysColor(COLOR_HIGHLIGHT),
                 clHighlightText = SysColor(COLOR_HIGHLIGHTTEXT), clBtnFace = SysColor(COLOR_BTNFACE),
                 clBtnShadow = SysColor(COLOR_BTNSHADOW), clGrayText = SysColor(COLOR_GRAYTEXT),
                 clBtnText = SysColor(COLOR_BTNTEXT), clInactiveCaptionText = SysColor(COLOR_INACTIVECAPTIONTEXT),
                 clBtnHighlight = SysColor(COLOR_BTNHIGHLIGHT), cl3DDkShadow = SysColor(COLOR_3DDKSHADOW),
                 cl3DLight = SysColor(COLOR_3DLIGHT), clInfoText = SysColor(COLOR_INFOTEXT),
                 clInfoBk = SysColor(COLOR_INFOBK);

// The RGB value a colour shows now (system colours looked up).
COLORREF ColorToRGB(TColor color);

// Something that changes and tells its user (a canvas, a control) to pick up the change.
class TGraphicsObject : public TObject {
public:
  std::function<void()> OnChanging;  // before the GDI object is dropped
  std::function<void()> OnChange;

protected:
  void Changing() {
    if (OnChanging) OnChanging();
  }
  void Changed() {
    if (OnChange) OnChange();
  }
};

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

class TFont : public TGraphicsObject {
public:
  TFont();
  ~TFont() override;
  const char* ClassName() const override { return "TFont"; }
  void Assign(const TFont& other);

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  int Height() const { return height_; }  // negative: character height in pixels
  void SetHeight(int height);
  int Size() const;  // points at the screen's resolution
  void SetSize(int points);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  BYTE Charset() const { return charset_; }
  void SetCharset(BYTE charset);
  HFONT Handle();  // made on demand, owned by the font
  // Takes over a font the caller made: the font owns and frees it, and its name, height, style
  // and character set become the font's.
  void SetHandle(HFONT font);
  // Fonts that TFont objects own right now, for tests that look for leaks.
  static int LiveHandles();

private:
  void Drop();
  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  TColor color_ = clWindowText;
  TFontStyles style_ = 0;
  BYTE charset_ = DEFAULT_CHARSET;
  HFONT handle_ = nullptr;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode { pmCopy, pmNot, pmXor, pmMerge, pmMask };

class TPen : public TGraphicsObject {
public:
  ~TPen() override;
  const char* ClassName() const override { return "TPen"; }
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int Width() const { return width_; }
  void SetWidth(int width);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode mode);
  HPEN Handle();

private:
  void Drop();
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
  HPEN handle_ = nullptr;
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBrush : public TGraphicsObject {
public:
  ~TBrush() override;
  const char* ClassName() const override { return "TBrush"; }
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);
  HBRUSH Handle();  // a hollow brush for bsClear

private:
  void Drop();
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  HBRUSH handle_ = nullptr;
};

class TGraphic;

// Drawing surface over a device context. Handle() may create the context on demand (see
// TControlCanvas, the bitmap's canvas); tools are selected before each call and deselected
// when the context goes.
class TCanvas : public TObject {
public:
  TCanvas();
  ~TCanvas() override;
  const char* ClassName() const override { return "TCanvas"; }

  HDC Handle();
  void SetHandle(HDC dc);  // borrowed: the canvas never releases it
  bool HandleAllocated() const { return dc_ != nullptr; }

  TPen* Pen() { return &pen_; }
  TBrush* Brush() { return &brush_; }
  TFont* Font() { return &font_; }
  POINT PenPos() const { return penPos_; }

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Polyline(const POINT* points, int count);
  void Polygon(const POINT* points, int count);
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const RECT& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
  void RoundRect(int x1, int y1, int x2, int y2, int w, int h);
  void Ellipse(int x1, int y1, int x2, int y2);
  void FillRect(const RECT& r);   // with the brush
  void FrameRect(const RECT& r);  // one pixel, with the brush
  void DrawFocusRect(const RECT& r);
  void TextOut(int x, int y, const std::string& text);
  void TextRect(const RECT& r, int x, int y, const std::string& text);
  // Extra ExtTextOut options of TextOut and TextRect (ETO_RTLREADING).
  UINT TextFlags() const { return textFlags_; }
  void SetTextFlags(UINT flags) { textFlags_ = flags; }
  int DrawText(const std::string& text, RECT& r, UINT format);  // DrawTextA with the canvas font
  int TextWidth(const std::string& text);
  int TextHeight(const std::string& text);
  SIZE TextExtent(const std::string& text);
  void Draw(int x, int y, TGraphic* graphic);
  void StretchDraw(const RECT& r, TGraphic* graphic);
  void CopyRect(const RECT& dest, TCanvas* source, const RECT& src);
  COLORREF Pixel(int x, int y);
  void SetPixel(int x, int y, TColor color);

protected:
  // Gives the canvas a context when it has none (TControlCanvas, the bitmap's canvas).
  virtual void CreateHandle() {}
  void SetOwnedHandle(HDC dc);  // the canvas deselects its tools; the caller still frees the DC
  void DeselectTools();

private:
  void RequireTools(bool pen, bool brush, bool font);
  HDC dc_ = nullptr;
  TPen pen_;
  TBrush brush_;
  TFont font_;
  POINT penPos_{0, 0};
  UINT textFlags_ = 0;
  HGDIOBJ oldPen_ = nullptr, oldBrush_ = nullptr, oldFont_ = nullptr;
};

// Lends a canvas a context for the length of one handler call: on every way out, a throwing
// handler's included, the canvas lets go and the context gets its saved state back.
class TCanvasLease {
public:
  TCanvasLease(TCanvas& canvas, HDC dc) : canvas_(canvas), dc_(dc), saved_(SaveDC(dc)) { canvas.SetHandle(dc); }
  ~TCanvasLease() {
    canvas_.SetHandle(nullptr);
    RestoreDC(dc_, saved_);
  }
  TCanvasLease(const TCanvasLease&) = delete;
  TCanvasLease& operator=(const TCanvasLease&) = delete;

private:
  TCanvas& canvas_;
  HDC dc_;
  int saved_;
};

// Anything a canvas can draw: bitmaps, icons, JPEG pictures.
class TGraphic : public TGraphicsObject {
public:
  const char* ClassName() const override { return "TGraphic"; }
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual bool Empty() const = 0;
  virtual void Draw(TCanvas* canvas, const RECT& r) = 0;
  virtual void LoadFromFile(const std::string& fileName) = 0;
  bool Transparent() const { return transparent_; }
  // Only a real change is announced: every notice makes the pictures showing it repaint.
  virtual void SetTransparent(bool on) {
    if (on == transparent_) return;
    transparent_ = on;
    Changed();
  }

protected:
  bool transparent_ = false;
};

class TBitmap;

// The canvas of a bitmap: a memory context with the bitmap selected while the canvas lives.
class TBitmapCanvas : public TCanvas {
public:
  explicit TBitmapCanvas(TBitmap* bitmap) : bitmap_(bitmap) {}
  ~TBitmapCanvas() override;
  void Release();

protected:
  void CreateHandle() override;

private:
  TBitmap* bitmap_;
  HDC memDC_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
};

// A device-independent 32-bit bitmap. Transparent drawing leaves out TransparentColor, which is
// the bottom-left pixel unless set (the usual convention of button glyphs).
class TBitmap : public TGraphic {
public:
  TBitmap();
  ~TBitmap() override;
  const char* ClassName() const override { return "TBitmap"; }
  void Assign(const TBitmap& other);

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  bool Empty() const override { return handle_ == nullptr; }
  void SetSize(int width, int height);  // contents become white
  void SetWidth(int w) { SetSize(w, height_); }
  void SetHeight(int h) { SetSize(width_, h); }
  void Draw(TCanvas* canvas, const RECT& r) override;
  void LoadFromFile(const std::string& fileName) override;                  // .bmp; throws Exception on failure
  void LoadFromBits(int width, int height, const uint32_t* topDownPixels);  // 0x00RRGGBB per pixel
  void LoadFromHandle(HBITMAP bitmap);                                      // copies it
  TCanvas* Canvas();
  HBITMAP Handle() const { return handle_; }
  uint32_t* Bits() { return bits_; }  // top-down, 0x00RRGGBB, valid while not empty
  TColor TransparentColor();
  void SetTransparentColor(TColor color) { transparentColor_ = color; }

private:
  friend class TBitmapCanvas;
  void Free();
  HBITMAP handle_ = nullptr;
  uint32_t* bits_ = nullptr;
  int width_ = 0, height_ = 0;
  TColor transparentColor_ = clDefault;
  std::unique_ptr<TBitmapCanvas> canvas_;
};

class TIcon : public TGraphic {
public:
  ~TIcon() override;
  const char* ClassName() const override { return "TIcon"; }
  int Width() const override;
  int Height() const override;
  bool Empty() const override { return handle_ == nullptr; }
  void Draw(TCanvas* canvas, const RECT& r) override;
  void LoadFromFile(const std::string& fileName) override;  // .ico
  HICON Handle() const { return handle_; }
  void SetHandle(HICON icon, bool owned = true);              // takes ownership unless told otherwise
  void LoadFromResource(HINSTANCE module, const char* name);  // LoadIcon; not owned

private:
  HICON handle_ = nullptr;
  bool owned_ = false;
};

// A JPEG picture, decoded once into a bitmap.
class TJPEGImage : public TGraphic {
public:
  const char* ClassName() const override { return "TJPEGImage"; }
  int Width() const override { return bitmap_.Width(); }
  int Height() const override { return bitmap_.Height(); }
  bool Empty() const override { return bitmap_.Empty(); }
  void Draw(TCanvas* canvas, const RECT& r) override { bitmap_.Draw(canvas, r); }
  void LoadFromFile(const std::string& fileName) override;
  void LoadFromStream(TStream& stream);
  // Throws Exception when the bytes are not a JPEG picture the decoder can read.
  void LoadFromMemory(const void* data, size_t size);
  TBitmap* Bitmap() { return &bitmap_; }

private:
  TBitmap bitmap_;
};

// Holds one graphic of any kind; LoadFromFile picks it by the file extension (.bmp, .ico, .jpg/.jpeg).
class TPicture : public TGraphicsObject {
public:
  const char* ClassName() const override { return "TPicture"; }
  TGraphic* Graphic() const { return graphic_.get(); }
  void SetGraphic(std::unique_ptr<TGraphic> graphic);
  void LoadFromFile(const std::string& fileName);
  TBitmap* Bitmap();  // makes the picture a bitmap when it holds something else
  TIcon* Icon();      // makes the picture an icon when it holds something else
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }

private:
  std::unique_ptr<TGraphic> graphic_;
};
