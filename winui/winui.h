// The whole Win32 UI layer in one include.
//
// How a window is built: a form class derives from TForm and makes its controls in its
// constructor, each with the form as owner, then SetParent first and the properties after, in
// layout order. Application->CreateForm(ptr) creates forms in order (the first is the main form,
// shown by Run; closing it ends Run and leaves every object alive). Handlers are std::function
// members (OnClick = Handler(this, &TForm1::Button1Click)); a handler that throws ends in the
// application's exception box (Application->OnException replaces the box) and the program goes on.
//
// Every control has a replaceable window procedure (WindowProc / SetWindowProc with a
// TWndMethod::Of<&Class::Method>(object)); the component messages CM_* pass through it, and
// notifications about a child come back to the child as CN_* messages, so click and change
// handlers run inside that procedure. Windowless controls (TLabel, TImage, TSpeedButton) are
// painted by their parent after the parent's own painting and are reached by test drivers
// through the kGraphicTextMessage / kGraphicClickMessage messages of their parent window.
#pragma once
#include "winui/component.h"
#include "winui/graphics.h"
#include "winui/control.h"
#include "winui/automation.h"
#include "winui/form.h"
#include "winui/std_controls.h"
#include "winui/extra_controls.h"
#include "winui/common_controls.h"
#include "winui/menus.h"
#include "winui/bars.h"
