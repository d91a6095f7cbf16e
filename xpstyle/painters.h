// The flat painters a styled control gets after its own painting, one per kind of control.
// Each reads the subclass's state flags and its component's working colours.
#pragma once

class TControlSubClass;

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
