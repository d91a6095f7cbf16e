// Glyph buttons (speed button, bit button), image, timer and the plain containers that only
// hold controls (tab sheet, page scroller).
#pragma once
#include "winui/control.h"
#include "winui/std_controls.h"

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

// A glyph strip and how a button shows it beside its caption. The strip holds NumGlyphs
// images side by side (up, disabled, down, ...); a button shows the first.
struct TButtonGlyph {
  TBitmap Glyph;
  int NumGlyphs = 1;  // at least 1
  TButtonLayout Layout = blGlyphLeft;
  int Spacing = 4;
  int Margin = -1;  // -1 centres glyph and caption together
  int GlyphWidth() const { return Glyph.Empty() ? 0 : Glyph.Width() / NumGlyphs; }
  int GlyphHeight() const { return Glyph.Empty() ? 0 : Glyph.Height(); }
  // The first image and the caption in r, in the canvas's font; pressed moves both one pixel.
  void Draw(TCanvas* canvas, const RECT& r, const std::string& caption, bool pressed, bool enabled);
};

// A windowless button with a glyph and a caption. It never takes the focus. Flat buttons show a
// frame only while the mouse is over them; transparent ones (the default) let the parent's
// background show around the face.
class TSpeedButton : public TGraphicControl {
public:
  explicit TSpeedButton(TComponent* AOwner);
  const char* ClassName() const override { return "TSpeedButton"; }
  TBitmap* Glyph() { return &face_.Glyph; }
  void SetGlyph(const TBitmap& bitmap);
  int NumGlyphs() const { return face_.NumGlyphs; }
  void SetNumGlyphs(int n);  // 1 to 4
  bool Flat() const { return flat_; }
  void SetFlat(bool on);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);
  TButtonLayout Layout() const { return face_.Layout; }
  void SetLayout(TButtonLayout l);
  int Spacing() const { return face_.Spacing; }
  void SetSpacing(int s);
  int Margin() const { return face_.Margin; }
  void SetMargin(int m);  // -1 centres glyph and caption together
  bool Down() const { return down_; }
  void SetDown(bool on);
  bool MouseInControl() const { return mouseInControl_; }
  TButtonState State() const { return state_; }
  void WndProc(TMessage& message) override;

protected:
  void Paint() override;

private:
  TButtonGlyph face_;
  bool flat_ = false;
  bool transparent_ = true;
  bool down_ = false;
  bool mouseInControl_ = false;
  bool dragging_ = false;
  TButtonState state_ = bsUp;
};

// A push button with a glyph beside its caption, drawn by the button itself (owner-drawn).
class TBitBtn : public TButton {
public:
  explicit TBitBtn(TComponent* AOwner);
  const char* ClassName() const override { return "TBitBtn"; }
  TBitmap* Glyph() { return &face_.Glyph; }
  void SetGlyph(const TBitmap& bitmap);
  int NumGlyphs() const { return face_.NumGlyphs; }
  void SetNumGlyphs(int n);  // 1 to 4
  TButtonLayout Layout() const { return face_.Layout; }
  void SetLayout(TButtonLayout l);
  int Spacing() const { return face_.Spacing; }
  void SetSpacing(int s);
  int Margin() const { return face_.Margin; }
  void SetMargin(int m);
  void WndProc(TMessage& message) override;

protected:
  void CreateParams(TCreateParams& params) override;

private:
  TButtonGlyph face_;
  std::unique_ptr<TCanvas> canvas_;  // bound to the context of each owner-draw request
};

// A page of a page control in the class library; here a plain container.
class TTabSheet : public TWinControl {
public:
  explicit TTabSheet(TComponent* AOwner) : TWinControl(AOwner) {}
  const char* ClassName() const override { return "TTabSheet"; }
};

// A container that scrolls one wide child in the class library; here a plain container.
class TPageScroller : public TWinControl {
public:
  explicit TPageScroller(TComponent* AOwner) : TWinControl(AOwner) {}
  const char* ClassName() const override { return "TPageScroller"; }
};

// A picture on the parent: BMP or icon from a file, JPEG from bytes, or any graphic set in code.
class TImage : public TGraphicControl {
public:
  explicit TImage(TComponent* AOwner);
  const char* ClassName() const override { return "TImage"; }
  TPicture* Picture() { return &picture_; }
  bool Stretch() const { return stretch_; }
  void SetStretch(bool on);
  bool Center() const { return center_; }
  void SetCenter(bool on);
  bool Transparent() const { return transparentPicture_; }
  void SetTransparent(bool on);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool on);
  void WndProc(TMessage& message) override;

protected:
  void Paint() override;

private:
  void PictureChanged();
  TPicture picture_;
  bool stretch_ = false;
  bool center_ = false;
  bool transparentPicture_ = false;
  bool autoSize_ = false;
};

// Calls OnTimer every Interval milliseconds while Enabled, on the main thread.
class TTimer : public TComponent {
public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;
  const char* ClassName() const override { return "TTimer"; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned ms);
  TNotifyEvent OnTimer;
  void Timer();  // fires OnTimer; the application's timer window calls it

private:
  void Update();
  bool enabled_ = true;
  unsigned interval_ = 1000;
  UINT_PTR id_ = 0;
};
