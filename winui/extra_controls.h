// Speed button, image and timer.
#pragma once
#include "winui/control.h"

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

// A windowless button with a glyph and a caption. It never takes the focus. Flat buttons show a
// frame only while the mouse is over them; transparent ones (the default) let the parent's
// background show around the face.
class TSpeedButton : public TGraphicControl {
public:
  explicit TSpeedButton(TComponent* AOwner);
  const char* ClassName() const override { return "TSpeedButton"; }
  TBitmap* Glyph() { return &glyph_; }
  void SetGlyph(const TBitmap& bitmap);
  bool Flat() const { return flat_; }
  void SetFlat(bool on);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout l);
  int Spacing() const { return spacing_; }
  void SetSpacing(int s);
  int Margin() const { return margin_; }
  void SetMargin(int m);  // -1 centres glyph and caption together
  bool Down() const { return down_; }
  void SetDown(bool on);
  bool MouseInControl() const { return mouseInControl_; }
  TButtonState State() const { return state_; }
  void WndProc(TMessage& message) override;

protected:
  void Paint() override;

private:
  TBitmap glyph_;
  bool flat_ = false;
  bool transparent_ = true;
  TButtonLayout layout_ = blGlyphLeft;
  int spacing_ = 4;
  int margin_ = -1;
  bool down_ = false;
  bool mouseInControl_ = false;
  bool dragging_ = false;
  TButtonState state_ = bsUp;
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
