// Small helpers that build the console's windows from their stored layouts: each control is
// made with its owner, parent, name and bounds in one call, then given its texts.
#pragma once
#include <windows.h>

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
inline TLabel* PlaceLabel(TComponent* owner, TWinControl* parent, const char* name, int x, int y,
                          const char* caption) {
  TLabel* label = Place<TLabel>(owner, parent, name, x, y, 0, 0);
  label->SetCaption(caption);
  return label;
}

// A bitmap from the program's resources; the bottom-left pixel is the transparent colour.
inline void LoadGlyph(TSpeedButton* button, const char* resource) {
  HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), resource);
  if (!bitmap) return;
  TBitmap glyph;
  glyph.LoadFromHandle(bitmap);
  DeleteObject(bitmap);
  button->SetGlyph(glyph);
}

inline TSpeedButton* PlaceButton(TComponent* owner, TWinControl* parent, const char* name, int x,
                                 int y, int w, int h, const char* caption,
                                 const char* glyph = nullptr) {
  TSpeedButton* button = Place<TSpeedButton>(owner, parent, name, x, y, w, h);
  button->SetCaption(caption);
  if (glyph) LoadGlyph(button, glyph);
  return button;
}

// The settings every secondary window shares: dialog border without border icons, centred.
inline void DialogFrame(TForm* form, const char* name, const char* caption, int w, int h) {
  form->SetName(name);
  form->SetCaption(caption);
  form->SetBorderStyle(bsDialog);
  form->SetBorderIcons(0);
  form->SetPosition(poScreenCenter);
  form->SetClientSize(w, h);
}

// Controls whose handler exceptions end silently, as on every styled window.
inline void Quiet(std::initializer_list<TControl*> controls) {
  for (TControl* c : controls) c->SetSilentExceptions(true);
}
