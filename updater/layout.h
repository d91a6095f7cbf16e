// Helpers that build Skyvane's windows from their stored layouts: each control is made with
// its owner, parent, name and bounds in one call, then given its texts.
#pragma once
#include <windows.h>

#include <initializer_list>

#include "winui/winui.h"

template <class T>
T* Place(TComponent* owner, TWinControl* parent, const char* name, int x, int y, int w, int h) {
  T* control = new T(owner);
  control->SetParent(parent);
  control->SetName(name);
  control->SetBounds(x, y, w, h);
  return control;
}

inline TLabel* PlaceLabel(TComponent* owner, TWinControl* parent, const char* name, int x, int y,
                          const char* caption) {
  TLabel* label = Place<TLabel>(owner, parent, name, x, y, 0, 0);
  label->SetCaption(caption);
  return label;
}

// A word-wrapped label of fixed width.
inline TLabel* PlaceText(TComponent* owner, TWinControl* parent, const char* name, int x, int y, int w, int h,
                         const char* caption) {
  TLabel* label = Place<TLabel>(owner, parent, name, x, y, w, h);
  label->SetAutoSize(false);
  label->SetWordWrap(true);
  label->SetCaption(caption);
  return label;
}

inline TButton* PlaceButton(TComponent* owner, TWinControl* parent, const char* name, int x, int y, int w, int h,
                            const char* caption) {
  TButton* button = Place<TButton>(owner, parent, name, x, y, w, h);
  button->SetCaption(caption);
  return button;
}

inline TGroupBox* PlacePage(TComponent* owner, TWinControl* parent, const char* name, const char* caption) {
  TGroupBox* page = Place<TGroupBox>(owner, parent, name, 136, 8, 289, 217);
  page->SetCaption(caption);
  page->SetVisible(false);
  return page;
}

inline TListColumn* AddColumn(TListView* view, const char* caption, int width) {
  TListColumn* column = view->Columns()->Add();
  column->SetCaption(caption);
  column->SetWidth(width);
  return column;
}

// Buttons whose handler exceptions end silently, as on every styled window.
inline void Quiet(std::initializer_list<TControl*> controls) {
  for (TControl* c : controls) c->SetSilentExceptions(true);
}
