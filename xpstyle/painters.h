// The flat painters a styled control gets after its own painting, one per kind of control.
// Each reads the subclass's state flags and its component's working colours.
#pragma once
#include <initializer_list>

#include "winui/winui.h"

class TControlSubClass;
class TXPStyle;

// The frame every painter shares: a canvas on a control (or on the context of a paint in
// progress) with the component's working colours for its device, and the drawing steps the
// painters repeat. Rectangles follow GDI: right and bottom edges are not painted.
struct TPainterCanvas {
  TControlCanvas canvas;
  TXPStyle& xp;
  // prepare false: the working colours of the paint in progress stay.
  TPainterCanvas(TControl* on, TXPStyle& component, HDC paintContext = nullptr, bool prepare = true);
  TColor Lighten(TColor c, int percent);
  TColor Darken(TColor c, int amount);
  void Fill(const RECT& r, TColor color);
  void Frame(const RECT& r, TColor color);    // one pixel inside r, with a brush
  void Outline(const RECT& r, TColor color);  // a hollow rectangle, with a pen
  void Line(int x1, int y1, int x2, int y2, TColor color);
  void Poly(std::initializer_list<POINT> points, TColor color);
  // n one-pixel rings inside r, top and left in one colour, bottom and right in the other;
  // r shrinks by n.
  void Bevel(RECT& r, TColor topLeft, TColor bottomRight, int n);
};

// The colour of the brush behind a control.
TColor ParentColor(TControl* control);

// Edits, memos, rich edits, combo boxes, group boxes and panels: flat frames over the control's
// own drawing.
void PaintEdit(TControlSubClass& s);
void PaintRichEdit(TControlSubClass& s);
void PaintComboBox(TControlSubClass& s);
void PaintGroupBox(TControlSubClass& s);
void PaintPanel(TControlSubClass& s);

// Push buttons, bit buttons, check boxes, radio buttons and speed buttons: the whole face.
void PaintPushButton(TControlSubClass& s);
void PaintBitButton(TControlSubClass& s);
void PaintCheckBox(TControlSubClass& s);
void PaintRadioButton(TControlSubClass& s);
void PaintSpeedButton(TControlSubClass& s);
