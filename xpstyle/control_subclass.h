// The replacement window procedure of one styled control. Every message goes to the control's
// own procedure first; then, while the component is active, a few state flags follow the
// messages and the control is painted flat over its own painting. The first message after the
// component became inactive puts the saved procedure back and frees the object.
#pragma once
#include <cstdint>

#include "winui/winui.h"

class TXPStyle;

class TControlSubClass : public TObject {
public:
  TControlSubClass(TControl* control, TXPStyle* component);
  ~TControlSubClass() override;
  const char* ClassName() const override { return "TControlSubClass"; }

  TControl* Control = nullptr;  // cleared just before the object frees itself
  // While set, WM_DESTROY does not unhook: set by the messages that come before a frame change
  // or a repaint and by the edit painters, cleared by WM_PAINT.
  bool Recreating = false;
  bool Highlighted = false;  // focus or mouse-over highlight
  bool MouseDown = false;    // left button pressed on the control
  bool SpaceDown = false;    // space key held on the control
  bool SpaceRepeat = false;  // a key-down of this press was seen (auto-repeat paints once)
  bool HasFocus = false;     // the control had the focus at the start of the last paint
  TWndMethod SavedWindowProc;
  TXPStyle* MenuComponent = nullptr;  // not owned; cleared when the component goes first
  bool SavedCtl3D = false;            // edits only
  TBorderStyle SavedBorderStyle = bsNone;
  std::uint32_t LastMessage = 0;  // last message seen while active (group box and panel painters)
  HDC PaintDC = nullptr;          // the context a windowless control is being painted into

  void ControlWindowProc(TMessage& Message);
  void PaintControl();

  // Puts the control's own procedure (and frame) back and frees the object, at once or, while
  // the object is inside its own message handling, as soon as that ends.
  void Unhook();
  // Frees the object for a control that is going away; nothing of the control is touched.
  void Abandon();

  static TWndMethod::Code WindowProcCode() {
    return TWndMethod::CodeOf<&TControlSubClass::ControlWindowProc, TControlSubClass>();
  }
  // Subclasses alive in the whole program, for tests that look for leaks.
  static int LiveCount();

private:
  void Handle(TMessage& m);
  void Restore(bool frame);  // window procedure and exception setting; with frame also Ctl3D and border
  void Release();
  int depth_ = 0;          // nested ControlWindowProc calls in progress
  bool released_ = false;  // restored; freed when the outermost call ends
  bool savedSilent_ = false;
};
