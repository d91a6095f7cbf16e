// The XP-style component as the windows of both programs store it: created after all controls
// of the window, with the same settings everywhere but the font's name, and switched on last.
#pragma once
#include "xpstyle/xp_style.h"

inline TXPStyle* PlaceXPStyle(TScrollingWinControl* window, const char* fontName) {
  auto* xp = new TXPStyle(window);
  xp->SetName("XPStyle1");
  xp->SetDimLevel(30);
  xp->SetGrayLevel(10);
  TFont font;
  font.SetCharset(DEFAULT_CHARSET);
  font.SetColor(clMenuText);
  font.SetHeight(-11);
  font.SetStyle(0);
  font.SetName(fontName);  // a face the system lacks is replaced by its font mapper
  xp->SetFont(font);
  xp->SetColor(clBtnFace);
  xp->SetIconBackColor(clBtnFace);
  xp->SetMenuBarColor(clBtnFace);
  xp->SetSelectColor(clHighlight);
  xp->SetSelectBorderColor(clHighlight);
  xp->SetSelectFontColor(clMenuText);
  xp->SetDisabledColor(clInactiveCaption);
  xp->SetSeparatorColor(clBtnFace);
  xp->SetCheckedColor(clHighlight);
  xp->SetIconWidth(24);
  xp->SetDrawSelect(true);
  xp->SetUseSystemColors(true);
  xp->SetOverrideOwnerDraw(false);
  xp->SetGradient(false);
  xp->SetFlatMenu(false);
  xp->SetAutoDetect(true);
  xp->SetActive(true);
  return xp;
}
