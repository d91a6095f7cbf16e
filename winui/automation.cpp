// The automation messages, answered from the public face of a window's children only, so the
// protocol stays apart from the message handling of the controls themselves.
#include "winui/automation.h"

#include <string>

#include "winui/control.h"

namespace {

UINT TextMessage() {
  static const UINT id = RegisterWindowMessageA(kGraphicTextMessage);
  return id;
}

UINT ClickMessage() {
  static const UINT id = RegisterWindowMessageA(kGraphicClickMessage);
  return id;
}

bool Windowless(TControl* c) { return dynamic_cast<TWinControl*>(c) == nullptr; }

LRESULT DescribeChild(TWinControl& window, WPARAM index) {
  WPARAM left = index;
  for (int i = 0; i < window.ControlCount(); ++i) {
    TControl* c = window.Controls(i);
    if (!Windowless(c)) continue;
    if (left-- == 0) {
      std::string s = std::string(c->Visible() ? "V" : "-") + (c->Enabled() ? "E" : "-") + ":" + c->Caption();
      if (s.size() > 255) s.resize(255);  // the longest atom name
      return GlobalAddAtomA(s.c_str());
    }
  }
  return 0;
}

TControl* ChildByCaption(TWinControl& window, LPARAM atom) {
  char name[256] = {0};
  GlobalGetAtomNameA(static_cast<ATOM>(atom), name, sizeof(name));
  for (int i = 0; i < window.ControlCount(); ++i) {
    TControl* c = window.Controls(i);
    if (Windowless(c) && c->Visible() && c->Enabled() && c->Caption() == name) return c;
  }
  return nullptr;
}

}  // namespace

bool AnswerAutomation(TWinControl& window, TMessage& m) {
  if (m.Msg == 0) return false;
  if (m.Msg == TextMessage()) {
    m.Result = DescribeChild(window, m.WParam);
    return true;
  }
  if (m.Msg == ClickMessage()) {
    TControl* target = ChildByCaption(window, m.LParam);
    m.Result = target ? 1 : 0;  // answered before the handler runs, whatever it throws
    if (target) RunAsChild(target, [target] { target->Click(); });
    return true;
  }
  return false;
}
