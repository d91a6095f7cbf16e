// Controls: the base of everything on a form. A windowed control (TWinControl) owns a real
// window of a class that is registered as a copy of the native class with our procedure in
// front; a windowless control (TGraphicControl) is painted and fed mouse messages by its parent.
// Every message reaches a control through its WindowProc property, and nothing thrown in C++
// ever unwinds into user32: the procedure behind every window is an exception barrier.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "winui/component.h"
#include "winui/graphics.h"

class TWinControl;
class TForm;
class TControlCanvas;

LRESULT CALLBACK LayerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
class TControl;
// Work a container does on behalf of a child (a message it passes on, a click): the child's
// exceptions stop here, in the application's box unless the child drops them.
void RunAsChild(TControl* child, const std::function<void()>& work);
LRESULT DeliverToChild(TControl* child, UINT msg, WPARAM wParam, LPARAM lParam);

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Shift state flags.
using TShiftState = unsigned;
enum : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };

using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;

// Cursors: 0 is the window class default; the others name a standard system cursor.
enum TCursor : int { crDefault = 0, crArrow = -2, crCross = -3, crIBeam = -4, crHourGlass = -11, crHandPoint = -21 };

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };

// What the system's locale says about reading order. MiddleEast is read from the system on
// first use; tests set it to see right-to-left drawing on systems that have no such locale.
struct TSysLocale {
  bool MiddleEast();
  void SetMiddleEast(bool on) { middleEast_ = on ? 1 : 0; }

private:
  int middleEast_ = -1;  // not read yet
};
extern TSysLocale SysLocale;
// Border styles of forms; controls use only bsNone and bsSingle.
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;

// The shift state of the keyboard and mouse buttons now (or of a mouse message's WParam).
TShiftState KeyboardShiftState();
TShiftState MouseShiftState(WPARAM mouseKeys);

class TControl : public TComponent {
public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;
  const char* ClassName() const override { return "TControl"; }

  TWinControl* Parent() const { return parent_; }
  // Puts the control on a parent (re-parenting a live window in place, without re-creating it).
  virtual void SetParent(TWinControl* parent);

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  void SetBoundsRect(const RECT& r) { SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top); }
  RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }
  virtual RECT ClientRect();
  int ClientWidth() { return ClientRect().right; }
  int ClientHeight() { return ClientRect().bottom; }
  virtual void SetClientWidth(int w);
  virtual void SetClientHeight(int h);
  POINT ClientToScreen(POINT p);
  POINT ScreenToClient(POINT p);

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible here and on every parent up to a shown top-level window.
  bool Showing();

  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);

  // Caption and Text are the same string: the window text of a windowed control.
  std::string Caption() { return GetText(); }
  void SetCaption(const std::string& text) { SetText(text); }
  std::string Text() { return GetText(); }
  void SetText(const std::string& text);

  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool on);

  TColor Color() const { return color_; }
  virtual void SetColor(TColor color);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool on);
  TFont* Font() { return &font_; }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool on);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  TBiDiMode BiDiMode() const { return biDiMode_; }
  virtual void SetBiDiMode(TBiDiMode mode);
  // Text runs right to left: a right-to-left locale and a mode other than left to right.
  bool UseRightToLeftReading() { return biDiMode_ != bdLeftToRight && SysLocale.MiddleEast(); }
  // The control is laid out from the right: a right-to-left locale and bdRightToLeft.
  bool UseRightToLeftAlignment() { return biDiMode_ == bdRightToLeft && SysLocale.MiddleEast(); }

  // The replaceable window procedure; it starts out as this control's own WndProc.
  TWndMethod WindowProc() const { return windowProc_; }
  // An empty method puts the control's own procedure back.
  void SetWindowProc(const TWndMethod& proc) { windowProc_ = proc ? proc : OwnWindowProc(); }
  TWndMethod OwnWindowProc() { return TWndMethod::Of<&TControl::WndProc>(this); }
  // Sends a message through WindowProc and returns its result.
  LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

  // Exceptions thrown while this control handles a message are dropped silently instead of
  // reaching the application's exception box.
  bool SilentExceptions() const { return silentExceptions_; }
  void SetSilentExceptions(bool on) { silentExceptions_ = on; }

  virtual void Invalidate();
  virtual void Update();
  void Repaint();
  void Refresh() { Repaint(); }
  // Opaque controls cover their whole rectangle; the parent's background is not erased below them.
  bool Opaque() const { return opaque_; }
  void SetOpaque(bool on) { opaque_ = on; }

  // Fires OnClick. Calling it from code works whether or not the control is enabled.
  virtual void Click();
  void BringToFront();

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;

  // The control's own message handling: layer bookkeeping, then DefaultHandler.
  virtual void WndProc(TMessage& message);
  virtual void DefaultHandler(TMessage& message);

protected:
  virtual std::string GetText() { return text_; }
  virtual void ApplyText(const std::string& text);  // stores, updates the window; CM_TEXTCHANGED follows
  virtual void FontChanged();
  virtual void BoundsChanged() {}
  void ParentChanged(TMessage& message);  // CM_PARENTCOLORCHANGED / CM_PARENTFONTCHANGED
  void DoMouse(TMessage& message);
  void SetBoundsFields(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
  }

  std::string text_;
  bool visible_ = true;
  bool enabled_ = true;

private:
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  std::string hint_;
  bool showHint_ = false;
  TColor color_ = clBtnFace;
  bool parentColor_ = true;
  TFont font_;
  bool parentFont_ = true;
  TCursor cursor_ = crDefault;
  TBiDiMode biDiMode_ = bdLeftToRight;
  TWndMethod windowProc_;
  bool silentExceptions_ = false;
  bool opaque_ = false;
  friend class TWinControl;
};

// How a windowed control's window is made. The base class name is the native class copied
// ("EDIT", "BUTTON", ...; empty for a plain window of our own).
struct TCreateParams {
  std::string Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  std::string BaseClassName;
  std::string WinClassName;  // our registered class; "Mb" + base class by default
  UINT ClassStyle = CS_DBLCLKS;
};

class TWinControl : public TControl {
public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;
  const char* ClassName() const override { return "TWinControl"; }

  // The window, made on first need. A control without a parent lives under a hidden
  // parking window until it gets one.
  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  void HandleNeeded() { Handle(); }

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const;
  // The topmost visible child (windowed or not) at a client point, or nullptr.
  TControl* ControlAtPos(POINT p, bool allowDisabled, bool windowless_only = false);

  // The input focus is in this control (or, for a control made of native windows, in one of them).
  virtual bool Focused();
  bool CanFocus();
  virtual void SetFocus();
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool on);
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool on);  // changes the frame in place; CM_CTL3DCHANGED follows
  bool ParentCtl3D() const { return parentCtl3D_; }
  void SetParentCtl3D(bool on);
  // A band of this width in the background colour inside the window's frame, outside the
  // client area.
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int width);

  void SetBounds(int left, int top, int width, int height) override;
  void SetBiDiMode(TBiDiMode mode) override;
  RECT ClientRect() override;
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  void SetColor(TColor color) override;
  void Invalidate() override;
  void Update() override;

  // Sends a message to every child control through its WindowProc.
  void Broadcast(TMessage& message);
  // Paints the windowless children into dc (the parent's client coordinates).
  void PaintControls(HDC dc);
  // Brush of the background colour, for WM_CTLCOLOR answers.
  HBRUSH BackgroundBrush();

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

  void WndProc(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;

protected:
  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  // Called once the window exists: the place to push stored state into it.
  virtual void HandleCreated() {}
  void DestroyHandle();
  std::string GetText() override;
  void ApplyText(const std::string& text) override;
  void FontChanged() override;
  // The native frame styles for the current Ctl3D (edits and list boxes differ).
  virtual void UpdateFrameStyle() {}
  // The native styles for the reading order (right-to-left reading here; controls that lay
  // themselves out add their own), on the parameters of a new window.
  virtual void ReadingOrderStyle(DWORD& style, DWORD& exStyle);
  virtual bool DoKeyDown(WORD& key, TShiftState shift);
  // The painting every self-painting window shares: WM_ERASEBKGND fills the client area with
  // the background colour; WM_PAINT runs paint on canvas, then paints the windowless children.
  void EraseBackground(TMessage& message);
  void PaintWindow(TMessage& message, TControlCanvas& canvas, const std::function<void()>& paint);
  // Runs paint with the context of a WM_PAINT: the one a parent passed in WParam, or BeginPaint's.
  void WithPaintContext(TMessage& message, const std::function<void(HDC)>& paint);
  // The control under the mouse becomes target (CM_MOUSELEAVE / CM_MOUSEENTER as it changes).
  void TrackMouse(TControl* target);
  // Tells the form that this control now has the focus (for controls whose focus sits in a
  // native child window, such as the edit field of a combo box).
  void NotifyFocus();

  HWND handle_ = nullptr;
  WNDPROC defWndProc_ = nullptr;

private:
  friend class TControl;
  friend LRESULT CALLBACK LayerWindowProc(HWND, UINT, WPARAM, LPARAM);
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  // The handlers WndProc dispatches to, one per kind of message; each returns true when it
  // answered the message (nothing else then sees it).
  bool Dispatch(TMessage& message);
  bool MouseMessage(TMessage& message);    // forwarded to windowless children
  bool PointerMessage(TMessage& message);  // cursor shape, leaving, losing the capture
  bool KeyMessage(TMessage& message);
  bool FocusMessage(TMessage& message);
  bool PaintMessage(TMessage& message);        // a native control's windowless children
  bool WindowStateMessage(TMessage& message);  // text, place, system colours
  bool ReflectNotify(TMessage& message);       // notifications handed back to the child they are about
  bool ComponentMessage(TMessage& message);    // CM_* and CN_CTLCOLOR*
  bool FrameMessage(TMessage& message);        // the border band, a plain window's background
  bool PlainWindow() const { return defWndProc_ == DefWindowProcA || !defWndProc_; }
  std::vector<TControl*> controls_;
  bool tabStop_ = false;
  bool ctl3D_ = true;
  bool parentCtl3D_ = true;
  int borderWidth_ = 0;
  TBrush background_;
  TControl* captured_ = nullptr;
};

// A control without a window, drawn on its parent.
class TGraphicControl : public TControl {
public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;
  const char* ClassName() const override { return "TGraphicControl"; }
  // The canvas of the current paint; outside painting, a canvas on the parent clipped to the control.
  TCanvas* Canvas() { return canvas_.get(); }
  void WndProc(TMessage& message) override;

protected:
  virtual void Paint() {}
  std::unique_ptr<TCanvas> canvas_;
};

// A windowed control of our own window class that paints itself on its Canvas.
class TCustomControl : public TWinControl {
public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;
  const char* ClassName() const override { return "TCustomControl"; }
  TCanvas* Canvas() { return canvas_.get(); }
  void WndProc(TMessage& message) override;

protected:
  virtual void Paint() {}
  std::unique_ptr<TCanvas> canvas_;
};

// A canvas on a control, usable at any time: the control's window, or for a windowless control
// its parent's window, moved to and clipped to the control. The context is released when the
// canvas goes or FreeHandle is called.
class TControlCanvas : public TCanvas {
public:
  TControlCanvas() = default;
  explicit TControlCanvas(TControl* control) : control_(control) {}
  ~TControlCanvas() override;
  const char* ClassName() const override { return "TControlCanvas"; }
  TControl* Control() const { return control_; }
  void SetControl(TControl* control);
  void FreeHandle();

protected:
  void CreateHandle() override;

private:
  TControl* control_ = nullptr;
  HWND window_ = nullptr;
  HDC dc_ = nullptr;
};

// A list of strings kept by a control (combo box items, memo lines). Indexes are checked.
class TControlStrings {
public:
  virtual ~TControlStrings() = default;
  virtual int Count() = 0;
  virtual std::string Get(int index) = 0;  // throws Exception when out of range
  virtual void Put(int index, const std::string& s) = 0;
  virtual int Add(const std::string& s) = 0;
  virtual void Insert(int index, const std::string& s) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;
  std::string operator[](int index) { return Get(index); }
  int IndexOf(const std::string& s);      // case-insensitive, -1 if absent
  std::string Text();                     // every line followed by CR LF
  void SetText(const std::string& text);  // splits at CR LF, LF or CR
  void Assign(const std::vector<std::string>& lines);
};

// Releases the device contexts that control canvases took outside painting. Called when the
// message loop goes idle and whenever a control moves, so no canvas keeps a stale context.
void FreeControlCanvasContexts();

// The control object behind a window of this program (nullptr for other windows).
TControl* FindControl(HWND window);
// The form a control sits on (through its parents), or nullptr.
TForm* GetParentForm(TControl* control);
