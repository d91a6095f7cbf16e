// The window shown while Skyvane updates itself and while it closes.
#pragma once
#include "flat/flat_progress_bar.h"
#include "winui/winui.h"

class Tself1 : public TForm {
public:
  explicit Tself1(TComponent* AOwner);
  const char* ClassName() const override { return "Tself1"; }
  TLabel* Label1;
  TFlatProgressBar* FlatProgressBar1;
};

extern Tself1* self1;
