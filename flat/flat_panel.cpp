#include "flat/flat_panel.h"

#include "flat/flat_utils.h"

TFlatPanel::TFlatPanel(TComponent* AOwner) : TCustomPanel(AOwner) {
  SetParentFont(true);
  SetParentColor(true);
  // The whole client area is painted from the bitmap, so nothing needs erasing below it.
  SetOpaque(true);
  SetBounds(0, 0, 185, 41);
}

void TFlatPanel::SetTransparent(bool on) {
  transparent_ = on;
  Invalidate();
}

void TFlatPanel::SetColors(int index, TColor c) {
  colors_[index] = c;
  Invalidate();
}

void TFlatPanel::WndProc(TMessage& message) {
  TCustomPanel::WndProc(message);
  if (message.Msg == CM_ENABLEDCHANGED || message.Msg == CM_TEXTCHANGED) Invalidate();
}

void TFlatPanel::Paint() {
  const RECT client = ClientRect();
  // A panel without area has nothing to show, and a bitmap of no size cannot be made.
  if (client.right <= 0 || client.bottom <= 0) return;
  UINT format = DT_SINGLELINE | DT_VCENTER;
  switch (Alignment()) {
    case taLeftJustify: format |= DT_LEFT; break;
    case taRightJustify: format |= DT_RIGHT; break;
    case taCenter: format |= DT_CENTER; break;
  }
  TBitmap bitmap;
  bitmap.SetSize(client.right, client.bottom);
  TCanvas* canvas = bitmap.Canvas();
  if (transparent_) {
    DrawParentBackground(this, canvas);
  } else {
    canvas->Brush()->SetColor(Color());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(client);
  }
  DrawBevelFrame(canvas, client, colors_[0], colors_[1], 1);
  canvas->Font()->Assign(*Font());
  canvas->Brush()->SetStyle(bsClear);
  const std::string caption = Caption();
  RECT text = client;
  if (Enabled()) {
    canvas->DrawText(caption, text, format);
  } else {
    OffsetRect(&text, 1, 1);
    canvas->Font()->SetColor(clBtnHighlight);
    canvas->DrawText(caption, text, format);
    OffsetRect(&text, -1, -1);
    canvas->Font()->SetColor(clBtnShadow);
    canvas->DrawText(caption, text, format);
  }
  Canvas()->CopyRect(client, canvas, client);
}
