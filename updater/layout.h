// Helpers of Skyvane's windows beyond the shared layout helpers: plain buttons, word-wrapped
// texts, wizard pages and list columns.
#pragma once
#include <windows.h>

#include "winui/layout.h"

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
