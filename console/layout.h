// Helpers of the console's windows beyond the shared layout helpers: glyph buttons and the
// common frame of its secondary windows.
#pragma once
#include <windows.h>

#include "winui/layout.h"

// A bitmap from the program's resources; the bottom-left pixel is the transparent colour.
inline void LoadGlyph(TSpeedButton* button, const char* resource) {
  HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), resource);
  if (!bitmap) return;
  TBitmap glyph;
  glyph.LoadFromHandle(bitmap);
  DeleteObject(bitmap);
  button->SetGlyph(glyph);
}

inline TSpeedButton* PlaceButton(TComponent* owner, TWinControl* parent, const char* name, int x, int y, int w, int h,
                                 const char* caption, const char* glyph = nullptr) {
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
