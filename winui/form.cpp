// Forms, the application object and the message loop. OnActivate follows the program's active
// form, not every WM_ACTIVATE: a message box that closes hands the activation back to the same
// form, and that is no new activation.
#include "winui/form.h"

#include <commctrl.h>

#include <algorithm>

#include "base/exception.h"
#include "winui/dialogs.h"
#include "winui/std_controls.h"

namespace {
std::vector<TForm*> g_forms;
TForm* g_activeForm = nullptr;
bool g_destroyingForms = false;  // windows vanishing move the activation: no events then

// Every control of a form, windowless ones included, depth first.
void BroadcastAll(TWinControl* parent, UINT msg, WPARAM w, LPARAM l) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    c->Perform(msg, w, l);
    if (auto* win = dynamic_cast<TWinControl*>(c)) BroadcastAll(win, msg, w, l);
  }
}
}  // namespace

TApplication* Application = new TApplication();
TScreen* Screen = new TScreen();

// ---- frames and scroll boxes

TCustomFrame::TCustomFrame(TComponent* AOwner) : TScrollingWinControl(AOwner) { SetBoundsFields(0, 0, 320, 240); }

TScrollBox::TScrollBox(TComponent* AOwner) : TScrollingWinControl(AOwner) { SetBoundsFields(0, 0, 185, 41); }

// ---- TForm

TForm::TForm(TComponent* AOwner) : TScrollingWinControl(AOwner) {
  visible_ = false;
  SetBoundsFields(0, 0, 320, 240);
  canvas_ = std::make_unique<TControlCanvas>(this);
  g_forms.push_back(this);
  BeginLoading();
}

TForm::~TForm() {
  SetComponentStateFlag(csDestroying, true);
  g_forms.erase(std::remove(g_forms.begin(), g_forms.end(), this), g_forms.end());
  if (g_activeForm == this) g_activeForm = nullptr;
  canvas_.reset();
  if (tooltip_) DestroyWindow(tooltip_);
  tooltip_ = nullptr;
}

static void FormStyle(TFormBorderStyle border, TBorderIcons icons, DWORD& style, DWORD& ex) {
  style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  ex = 0;
  switch (border) {
    case bsNone: style |= WS_POPUP; break;
    case bsSingle: style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable: style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
      style |= WS_CAPTION | WS_DLGFRAME;
      ex |= WS_EX_DLGMODALFRAME;
      break;
    case bsToolWindow:
      style |= WS_CAPTION | WS_BORDER;
      ex |= WS_EX_TOOLWINDOW;
      break;
    case bsSizeToolWin:
      style |= WS_CAPTION | WS_THICKFRAME;
      ex |= WS_EX_TOOLWINDOW;
      break;
  }
  if (border != bsNone && (icons & biSystemMenu)) {
    style |= WS_SYSMENU;
    if (border == bsSingle || border == bsSizeable) {
      if (icons & biMinimize) style |= WS_MINIMIZEBOX;
      if (icons & biMaximize) style |= WS_MAXIMIZEBOX;
    }
  }
}

void TForm::CreateParams(TCreateParams& p) {
  p.Caption = text_;
  FormStyle(borderStyle_, borderIcons_, p.Style, p.ExStyle);
  if (!enabled_) p.Style |= WS_DISABLED;
  p.X = Left();
  p.Y = Top();
  p.Width = Width();
  p.Height = Height();
  p.WndParent = nullptr;
  p.WinClassName = "MbForm";
}

void TForm::HandleCreated() {
  tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, handle_, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  if (tooltip_) SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, 400);
  if (icon_) SendMessageA(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  if (menu_) {
    menu_->SetWindowHandle(handle_);
    if (clientW_ >= 0 && clientH_ >= 0) SetClientSize(clientW_, clientH_);
  }
}

// The hint tools: a windowed control is its own tool; a windowless one is a rectangle of its parent.
void TForm::UpdateHint(TControl* control) {
  if (!tooltip_) return;
  RemoveHintTool(control);
  if (!control->ShowHint() || control->Hint().empty() || !control->Parent()) return;
  TTTOOLINFOA ti{};
  ti.cbSize = TTTOOLINFOA_V2_SIZE;
  ti.uFlags = TTF_SUBCLASS;
  std::string text = control->Hint();
  ti.lpszText = text.data();
  if (auto* win = dynamic_cast<TWinControl*>(control)) {
    if (!win->HandleAllocated()) return;
    ti.uFlags |= TTF_IDISHWND;
    ti.hwnd = handle_;
    ti.uId = reinterpret_cast<UINT_PTR>(win->Handle());
  } else {
    if (!control->Parent()->HandleAllocated()) return;
    ti.hwnd = control->Parent()->Handle();
    ti.uId = reinterpret_cast<UINT_PTR>(control);
    ti.rect = control->BoundsRect();
  }
  SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
  hintTools_[control] = std::make_pair(ti.hwnd, ti.uId);
}

void TForm::RemoveHintTool(TControl* control) {
  auto it = hintTools_.find(control);
  if (it == hintTools_.end()) return;
  if (tooltip_) {
    TTTOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.hwnd = it->second.first;
    ti.uId = it->second.second;
    SendMessageA(tooltip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
  }
  hintTools_.erase(it);
}

void TForm::PlaceOnScreen() {
  placed_ = true;
  if (position_ == poScreenCenter || position_ == poDesktopCenter) {
    const int x = (GetSystemMetrics(SM_CXSCREEN) - Width()) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - Height()) / 2;
    SetBounds(std::max(x, 0), std::max(y, 0), Width(), Height());
  }
}

void TForm::SetVisible(bool visible) {
  if (visible == visible_) return;
  if (visible) {
    HandleNeeded();
    if (ComponentState() & csLoading) EndLoading();
    if (!placed_) PlaceOnScreen();
    visible_ = true;
    if (OnShow) OnShow(this);
    if (visible_) ShowWindow(handle_, SW_SHOW);
  } else {
    visible_ = false;
    if (handle_) ShowWindow(handle_, SW_HIDE);
    if (OnHide) OnHide(this);
  }
  Perform(CM_VISIBLECHANGED, visible ? 1 : 0);
}

void TForm::Show() {
  SetVisible(true);
  if (visible_ && handle_) {
    SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(handle_);
  }
}

bool TForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TForm::Close() {
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) return;
  if (Application->MainForm() == this) {
    Hide();
    Application->Terminate();
    return;
  }
  switch (action) {
    case caMinimize:
      if (handle_) ShowWindow(handle_, SW_MINIMIZE);
      break;
    case caFree:
      Hide();
      Application->ReleaseForm(this);
      break;
    default: Hide(); break;
  }
}

bool TForm::Active() { return handle_ && GetActiveWindow() == handle_; }

void TForm::SetBorderStyle(TFormBorderStyle style) {
  borderStyle_ = style;
  ApplyFrame();
}

void TForm::SetBorderIcons(TBorderIcons icons) {
  borderIcons_ = icons;
  ApplyFrame();
}

// Frame changes happen in place; a client size asked for before stays the client size.
void TForm::ApplyFrame() {
  if (handle_) {
    DWORD style, ex;
    FormStyle(borderStyle_, borderIcons_, style, ex);
    const LONG_PTR keep = GetWindowLongPtrA(handle_, GWL_STYLE) & (WS_VISIBLE | WS_DISABLED);
    SetWindowLongPtrA(handle_, GWL_STYLE, static_cast<LONG_PTR>(style) | keep);
    SetWindowLongPtrA(handle_, GWL_EXSTYLE, static_cast<LONG_PTR>(ex));
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (clientW_ >= 0 || clientH_ >= 0)
    SetClientSize(clientW_ >= 0 ? clientW_ : ClientWidth(), clientH_ >= 0 ? clientH_ : ClientHeight());
}

void TForm::SetPosition(TPosition position) {
  position_ = position;
  if (visible_) PlaceOnScreen();
}

void TForm::SetClientWidth(int w) { SetClientSize(w, clientH_ >= 0 ? clientH_ : ClientHeight()); }
void TForm::SetClientHeight(int h) { SetClientSize(clientW_ >= 0 ? clientW_ : ClientWidth(), h); }

void TForm::SetClientSize(int w, int h) {
  clientW_ = w;
  clientH_ = h;
  DWORD style, ex;
  FormStyle(borderStyle_, borderIcons_, style, ex);
  RECT r{0, 0, w, h};
  AdjustWindowRectEx(&r, style, FALSE, ex);
  SetBounds(Left(), Top(), r.right - r.left, r.bottom - r.top);
  if (handle_) {
    // Menus or odd frames: correct by what the window really got.
    RECT c;
    GetClientRect(handle_, &c);
    if (c.right != w || c.bottom != h) SetBounds(Left(), Top(), Width() + (w - c.right), Height() + (h - c.bottom));
  }
  if (visible_ && (position_ == poScreenCenter || position_ == poDesktopCenter)) PlaceOnScreen();
}

RECT TForm::ClientRect() {
  if (handle_) return TWinControl::ClientRect();
  if (clientW_ >= 0 && clientH_ >= 0) return RECT{0, 0, clientW_, clientH_};
  DWORD style, ex;
  FormStyle(borderStyle_, borderIcons_, style, ex);
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, style, FALSE, ex);
  return RECT{0, 0, Width() - (frame.right - frame.left), Height() - (frame.bottom - frame.top)};
}

void TForm::SetActiveControl(TWinControl* control) {
  if (control && handle_ && visible_ && Active() && control->CanFocus()) {
    ::SetFocus(control->Handle());
    return;
  }
  activeControl_ = control;
}

void TForm::FocusChanged(TWinControl* control) {
  if (activeControl_ == control) return;
  TWinControl* old = activeControl_;
  activeControl_ = control;
  if (old) old->Perform(CM_EXIT);
  if (activeControl_ != control) return;  // a handler moved the focus on
  control->Perform(CM_ENTER);
  Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(control));
  BroadcastAll(this, CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(control));
}

namespace {
TButton* FindDefaultButton(TWinControl* parent) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    auto* w = dynamic_cast<TWinControl*>(parent->Controls(i));
    if (!w || !w->Visible()) continue;
    if (auto* b = dynamic_cast<TButton*>(w); b && b->Default() && b->Enabled()) return b;
    if (TButton* inner = FindDefaultButton(w)) return inner;
  }
  return nullptr;
}
}  // namespace

// Enter that the focused control left alone: a focused push button presses itself, otherwise
// the form's default button is pressed. Controls that take Enter themselves (memos) keep it.
bool TForm::DialogKey(WORD key, TWinControl* from) {
  if (key != VK_RETURN) return false;
  if (auto* button = dynamic_cast<TButton*>(from)) {
    button->Click();
    return true;
  }
  if (from->HandleAllocated() &&
      (SendMessageA(from->Handle(), WM_GETDLGCODE, key, 0) & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)))
    return false;
  if (TButton* b = FindDefaultButton(this)) {
    b->Click();
    return true;
  }
  return false;
}

void TForm::RepaintNow() {
  if (handle_) RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TForm::SetMenu(TMainMenu* menu) {
  if (menu == menu_) return;
  if (menu_) {
    menu_->SetWindowHandle(nullptr);
    menu_->RemoveFreeNotification(this);
  }
  menu_ = menu;
  if (menu_) menu_->FreeNotification(this);
  if (!handle_) return;
  ::SetMenu(handle_, menu_ ? menu_->Handle() : nullptr);
  if (menu_) menu_->SetWindowHandle(handle_);
  if (clientW_ >= 0 && clientH_ >= 0) SetClientSize(clientW_, clientH_);  // the bar takes client height
}

void TForm::Notification(TComponent* AComponent, TOperation Operation) {
  TScrollingWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == menu_) {
    menu_ = nullptr;
    if (handle_) ::SetMenu(handle_, nullptr);
  }
}

void TForm::SetIcon(HICON icon) {
  icon_ = icon;
  if (handle_) SendMessageA(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

void TForm::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_CLOSE:
      Close();
      m.Result = 0;
      return;
    case WM_ERASEBKGND: EraseBackground(m); return;
    case WM_PAINT:
      PaintWindow(m, static_cast<TControlCanvas&>(*canvas_), [this] {
        if (OnPaint) OnPaint(this);
      });
      return;
    case WM_ACTIVATE:
      DefaultHandler(m);
      if (g_destroyingForms || (ComponentState() & csDestroying)) return;
      if (LOWORD(m.WParam) != WA_INACTIVE) {
        if (activeControl_ && activeControl_->HandleAllocated() && activeControl_->CanFocus())
          ::SetFocus(activeControl_->Handle());
        if (g_activeForm != this) {
          TForm* old = g_activeForm;
          g_activeForm = this;
          if (old && old->OnDeactivate && !(old->ComponentState() & csDestroying)) old->OnDeactivate(old);
          if (OnActivate) OnActivate(this);
        }
      }
      return;
    case WM_SETFOCUS:
      // The form itself got the focus (activation without an active control): give it on.
      DefaultHandler(m);
      if (activeControl_ && activeControl_->HandleAllocated() && activeControl_->CanFocus())
        ::SetFocus(activeControl_->Handle());
      return;
    default: TScrollingWinControl::WndProc(m);
  }
}

// ---- TApplication

namespace {
constexpr UINT kReleaseForm = WM_APP + 0x31;
constexpr UINT kInsertionNotices = WM_APP + 0x32;

LRESULT CALLBACK ApplicationWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kInsertionNotices) {
    try {
      DeliverInsertionNotices();
    } catch (...) { Application->HandleException(Application); }
    return 0;
  }
  if (msg == kReleaseForm) {
    try {
      delete reinterpret_cast<TForm*>(lParam);
    } catch (...) { Application->HandleException(Application); }
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}
}  // namespace

TApplication::TApplication() : TComponent(nullptr) {
  // Until a title is set, the program's file name without extension names it.
  char path[MAX_PATH] = {0};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name = path;
  name = name.substr(name.find_last_of("\\/") + 1);
  if (const size_t dot = name.find_last_of('.'); dot != std::string::npos) name.resize(dot);
  title_ = name;
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof(icc);
  icc.dwICC = ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_ANIMATE_CLASS | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES;
  InitCommonControlsEx(&icc);
  InsertionNoticesDue = [] { PostMessageA(Application->Handle(), kInsertionNotices, 0, 0); };
}

TApplication::~TApplication() {
  DestroyForms();
  if (handle_) DestroyWindow(handle_);
}

HWND TApplication::Handle() {
  if (!handle_) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ApplicationWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MbApplication";
    RegisterClassExA(&wc);
    handle_ = CreateWindowExA(WS_EX_TOOLWINDOW, "MbApplication", title_.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  }
  return handle_;
}

void TApplication::SetTitle(const std::string& title) {
  title_ = title;
  if (handle_) SetWindowTextA(handle_, title.c_str());
  SetDialogTitle(title);  // message boxes without a caption carry the program's title
}

void TApplication::FormCreated(TForm* form) {
  if (!mainForm_) mainForm_ = form;
  form->HandleNeeded();
  if (form->ComponentState() & csLoading) form->EndLoading();
}

void TApplication::ReleaseForm(TForm* form) { PostMessageA(Handle(), kReleaseForm, 0, reinterpret_cast<LPARAM>(form)); }

void TApplication::Run() {
  running_ = true;
  if (mainForm_ && !terminated_) {
    try {
      mainForm_->Show();
    } catch (...) { HandleException(mainForm_); }
  }
  while (!terminated_) HandleMessage();
  running_ = false;
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  // Tab moves between controls; no dialog manager, so Enter reaches the edit that has the focus.
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0) {
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    if (dynamic_cast<TForm*>(FindControl(root))) {
      HWND next = GetNextDlgTabItem(root, msg.hwnd, GetKeyState(VK_SHIFT) < 0);
      if (next) {
        ::SetFocus(next);
        return true;
      }
    }
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {}
}

void TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg)) {
    FreeControlCanvasContexts();
    WaitMessage();
  }
}

void TApplication::Terminate() {
  terminated_ = true;
  PostQuitMessage(0);
}

void TApplication::HandleException(TObject* Sender) {
  std::string text = "Unknown exception";
  if (std::exception_ptr current = std::current_exception()) {  // outside a catch: nothing to rethrow
    try {
      std::rethrow_exception(current);
    } catch (const std::exception& e) { text = e.what(); } catch (...) {
    }
  }
  try {
    if (OnException)
      OnException(Sender, text);
    else
      ShowException(text);
  } catch (...) {
    // A failing exception handler must not end the program either.
  }
}

void TApplication::ShowException(const std::string& message) {
  MessageBoxA(nullptr, message.c_str(), title_.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

void TApplication::DestroyForms() {
  g_destroyingForms = true;
  DestroyComponents();
  g_destroyingForms = false;
  mainForm_ = nullptr;
  terminated_ = false;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == mainForm_) mainForm_ = nullptr;
}

// ---- TScreen

TForm* TScreen::ActiveForm() {
  if (auto* f = dynamic_cast<TForm*>(FindControl(GetActiveWindow()))) return f;
  return g_activeForm;
}

TWinControl* TScreen::ActiveControl() {
  TForm* f = ActiveForm();
  return f ? f->ActiveControl() : nullptr;
}

int TScreen::FormCount() { return static_cast<int>(g_forms.size()); }

TForm* TScreen::Forms(int index) {
  if (index < 0 || index >= FormCount()) throw Exception("List index out of bounds (" + std::to_string(index) + ")");
  return g_forms[static_cast<size_t>(index)];
}
