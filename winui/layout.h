// Helpers for windows built from stored layouts declared in code: each control is made
// with its owner, parent, name and bounds in one call (parent first, as loading does),
// then the caller sets its remaining properties in layout order.
#pragma once

#include "winui/winui.h"

template <class T>
T* Place(TComponent* owner, TWinControl* parent, const char* name, int x, int y, int w, int h) {
  T* control = new T(owner);
  control->SetParent(parent);
  control->SetName(name);
  control->SetBounds(x, y, w, h);
  return control;
}

// An auto-sized label.
inline TLabel* PlaceLabel(TComponent* owner, TWinControl* parent, const char* name, int x, int y, const char* caption) {
  TLabel* label = Place<TLabel>(owner, parent, name, x, y, 0, 0);
  label->SetCaption(caption);
  return label;
}
