#include "winui/std_controls.h"

#include <richedit.h>
#include <windowsx.h>

#include <algorithm>

#include "base/exception.h"
#include "base/strings.h"
#include "winui/form.h"

namespace {

std::string IndexError(int index) { return "List index out of bounds (" + std::to_string(index) + ")"; }

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\r\n";
  return s;
}

// A bevel ring of the given width: light colour top and left, dark bottom and right.
void Frame3D(HDC dc, RECT& r, COLORREF topLeft, COLORREF bottomRight, int width) {
  HBRUSH tl = CreateSolidBrush(topLeft), br = CreateSolidBrush(bottomRight);
  for (int i = 0; i < width; ++i) {
    RECT top{r.left, r.top, r.right - 1, r.top + 1}, left{r.left, r.top, r.left + 1, r.bottom - 1};
    RECT bottom{r.left, r.bottom - 1, r.right, r.bottom}, right{r.right - 1, r.top, r.right, r.bottom};
    FillRect(dc, &top, tl);
    FillRect(dc, &left, tl);
    FillRect(dc, &bottom, br);
    FillRect(dc, &right, br);
    InflateRect(&r, -1, -1);
  }
  DeleteObject(tl);
  DeleteObject(br);
}

}  // namespace

// ---- TLabel

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetBoundsFields(0, 0, 65, 13);
  SetParentColor(true);
  SetOpaque(true);
}

void TLabel::SetAutoSize(bool on) {
  autoSize_ = on;
  AdjustSize();
}

void TLabel::SetWordWrap(bool on) {
  wordWrap_ = on;
  AdjustSize();
  Invalidate();
}

void TLabel::SetTransparent(bool on) {
  Invalidate();
  SetOpaque(!on);
  Invalidate();
}

void TLabel::SetAlignment(TAlignment a) {
  alignment_ = a;
  Invalidate();
}

void TLabel::ApplyText(const std::string& text) {
  Invalidate();
  TGraphicControl::ApplyText(text);
  AdjustSize();
}

void TLabel::FontChanged() {
  TGraphicControl::FontChanged();
  AdjustSize();
}

void TLabel::AdjustSize() {
  if (!autoSize_) return;
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  RECT r{0, 0, wordWrap_ ? std::max(Width(), 1) : 0, 0};
  const std::string text = text_.empty() ? std::string(" ") : text_;
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r,
            DT_CALCRECT | DT_EXPANDTABS | (wordWrap_ ? DT_WORDBREAK : 0));
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  const int w = wordWrap_ ? Width() : r.right;
  SetBounds(Left(), Top(), w, r.bottom);
}

void TLabel::Paint() {
  TCanvas* c = Canvas();
  RECT r = ClientRect();
  if (Opaque()) {
    c->Brush()->SetColor(Color());
    c->FillRect(r);
  }
  c->Brush()->SetStyle(bsClear);
  UINT format = DT_EXPANDTABS | (wordWrap_ ? DT_WORDBREAK : 0);
  if (alignment_ == taCenter) format |= DT_CENTER;
  if (alignment_ == taRightJustify) format |= DT_RIGHT;
  if (!Enabled()) {
    c->Font()->SetColor(clBtnHighlight);
    RECT shifted = r;
    OffsetRect(&shifted, 1, 1);
    c->DrawText(text_, shifted, format);
    c->Font()->SetColor(clBtnShadow);
  }
  c->DrawText(text_, r, format);
}

void TLabel::WndProc(TMessage& m) {
  if (m.Msg == WM_LBUTTONUP) {
    TGraphicControl::WndProc(m);
    const POINT p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
    const RECT r = ClientRect();
    if (PtInRect(&r, p)) Click();
    return;
  }
  TGraphicControl::WndProc(m);
}

// ---- edits

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
  SetBoundsFields(0, 0, 121, 21);
  SetColor(clWindow);
  SetTabStop(true);
}

static void EditFrame(TBorderStyle border, bool ctl3D, DWORD& style, DWORD& ex) {
  style &= ~static_cast<DWORD>(WS_BORDER);
  ex &= ~static_cast<DWORD>(WS_EX_CLIENTEDGE);
  if (border == bsSingle) {
    if (ctl3D)
      ex |= WS_EX_CLIENTEDGE;
    else
      style |= WS_BORDER;
  }
}

void TCustomEdit::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.BaseClassName = "EDIT";
  p.Style |= ES_AUTOHSCROLL | ES_LEFT;
  if (readOnly_) p.Style |= ES_READONLY;
  EditFrame(borderStyle_, Ctl3D(), p.Style, p.ExStyle);
}

void TCustomEdit::HandleCreated() {
  if (maxLength_ > 0) SendMessageA(handle_, EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

void TCustomEdit::UpdateFrameStyle() {
  DWORD style = static_cast<DWORD>(GetWindowLongPtrA(handle_, GWL_STYLE));
  DWORD ex = static_cast<DWORD>(GetWindowLongPtrA(handle_, GWL_EXSTYLE));
  EditFrame(borderStyle_, Ctl3D(), style, ex);
  SetWindowLongPtrA(handle_, GWL_STYLE, static_cast<LONG_PTR>(style));
  SetWindowLongPtrA(handle_, GWL_EXSTYLE, static_cast<LONG_PTR>(ex));
  SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCustomEdit::SetBorderStyle(TBorderStyle style) {
  if (style == borderStyle_) return;
  borderStyle_ = style;
  if (handle_) UpdateFrameStyle();
}

void TCustomEdit::SetReadOnly(bool on) {
  readOnly_ = on;
  if (handle_) SendMessageA(handle_, EM_SETREADONLY, on ? TRUE : FALSE, 0);
}

void TCustomEdit::SetMaxLength(int n) {
  maxLength_ = n;
  if (handle_) SendMessageA(handle_, EM_LIMITTEXT, static_cast<WPARAM>(std::max(n, 0)), 0);
}

bool TCustomEdit::Modified() { return handle_ && SendMessageA(handle_, EM_GETMODIFY, 0, 0) != 0; }
void TCustomEdit::SetModified(bool on) { SendMessageA(Handle(), EM_SETMODIFY, on ? TRUE : FALSE, 0); }

int TCustomEdit::SelStart() {
  DWORD start = 0;
  SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
  return static_cast<int>(start);
}

void TCustomEdit::SetSelStart(int pos) { SendMessageA(Handle(), EM_SETSEL, static_cast<WPARAM>(pos), pos); }

int TCustomEdit::SelLength() {
  DWORD start = 0, end = 0;
  SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(end - start);
}

void TCustomEdit::SetSelLength(int len) {
  const int start = SelStart();
  SendMessageA(Handle(), EM_SETSEL, static_cast<WPARAM>(start), start + len);
}

void TCustomEdit::SelectAll() { SendMessageA(Handle(), EM_SETSEL, 0, -1); }

void TCustomEdit::WndProc(TMessage& m) {
  if (m.Msg == CN_COMMAND) {
    if (HIWORD(m.WParam) == EN_CHANGE && OnChange) OnChange(this);
    return;
  }
  if (m.Msg == WM_CHAR && (m.WParam == VK_RETURN || m.WParam == VK_ESCAPE) &&
      !(GetWindowLongPtrA(handle_, GWL_STYLE) & ES_MULTILINE)) {
    // A one-line edit has no use for these characters and would only beep.
    char key = static_cast<char>(m.WParam);
    if (OnKeyPress) OnKeyPress(this, key);
    return;
  }
  TWinControl::WndProc(m);
}

TEdit::TEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}

// Memo lines are the window text split at line ends; Add appends at the end and scrolls there.
class TMemoLines : public TControlStrings {
public:
  explicit TMemoLines(TCustomMemo* memo) : memo_(memo) {}
  int Count() override { return static_cast<int>(SplitLines(memo_->Text()).size()); }
  std::string Get(int index) override {
    auto lines = SplitLines(memo_->Text());
    if (index < 0 || index >= static_cast<int>(lines.size())) throw Exception(IndexError(index));
    return lines[static_cast<size_t>(index)];
  }
  void Put(int index, const std::string& s) override {
    auto lines = SplitLines(memo_->Text());
    if (index < 0 || index >= static_cast<int>(lines.size())) throw Exception(IndexError(index));
    lines[static_cast<size_t>(index)] = s;
    memo_->SetText(JoinLines(lines));
  }
  int Add(const std::string& s) override {
    std::string text = memo_->Text();
    const int index = static_cast<int>(SplitLines(text).size());
    std::string piece = s + "\r\n";
    if (!text.empty() && text.back() != '\n' && text.back() != '\r') piece = "\r\n" + piece;
    if (memo_->HandleAllocated()) {
      HWND h = memo_->Handle();
      const int len = GetWindowTextLengthA(h);
      SendMessageA(h, EM_SETSEL, static_cast<WPARAM>(len), len);
      SendMessageA(h, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
      memo_->Perform(CM_TEXTCHANGED);
    } else {
      memo_->SetText(text + piece);
    }
    return index;
  }
  void Insert(int index, const std::string& s) override {
    auto lines = SplitLines(memo_->Text());
    if (index < 0 || index > static_cast<int>(lines.size())) throw Exception(IndexError(index));
    lines.insert(lines.begin() + index, s);
    memo_->SetText(JoinLines(lines));
  }
  void Delete(int index) override {
    auto lines = SplitLines(memo_->Text());
    if (index < 0 || index >= static_cast<int>(lines.size())) throw Exception(IndexError(index));
    lines.erase(lines.begin() + index);
    memo_->SetText(JoinLines(lines));
  }
  void Clear() override { memo_->SetText(""); }

private:
  TCustomMemo* memo_;
};

TCustomMemo::TCustomMemo(TComponent* AOwner) : TCustomEdit(AOwner), lines_(std::make_unique<TMemoLines>(this)) {
  SetBoundsFields(0, 0, 185, 89);
}

TCustomMemo::~TCustomMemo() = default;

void TCustomMemo::CreateParams(TCreateParams& p) {
  TCustomEdit::CreateParams(p);
  p.Style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
  if (wordWrap_) p.Style &= ~static_cast<DWORD>(ES_AUTOHSCROLL);
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) p.Style |= WS_VSCROLL;
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) p.Style |= WS_HSCROLL;
}

void TCustomMemo::SetScrollBars(TScrollStyle s) {
  scrollBars_ = s;
  if (handle_) {
    ShowScrollBar(handle_, SB_VERT, s == ssVertical || s == ssBoth);
    ShowScrollBar(handle_, SB_HORZ, s == ssHorizontal || s == ssBoth);
  }
}

void TCustomMemo::SetWordWrap(bool on) { wordWrap_ = on; }

// ---- rich edit

TCustomRichEdit::TCustomRichEdit(TComponent* AOwner) : TCustomMemo(AOwner) {}

void TCustomRichEdit::CreateParams(TCreateParams& p) {
  TCustomMemo::CreateParams(p);
  // The library registers the class; it stays loaded for the program's life.
  static HMODULE library = LoadLibraryA("riched20.dll");
  if (!library) throw Exception("The rich edit control is not available");
  p.BaseClassName = RICHEDIT_CLASSA;
  p.WinClassName = "MbRichEdit";
}

void TCustomRichEdit::HandleCreated() {
  TCustomMemo::HandleCreated();
  SendMessageA(handle_, EM_SETEVENTMASK, 0, ENM_CHANGE);
  SendMessageA(handle_, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
}

void TCustomRichEdit::WndProc(TMessage& m) {
  if (m.Msg == CM_COLORCHANGED && handle_)
    SendMessageA(handle_, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
  TCustomMemo::WndProc(m);
}

// ---- combo box

class TComboItems : public TControlStrings {
public:
  explicit TComboItems(TCustomCombo* combo) : combo_(combo) {}
  int Count() override { return static_cast<int>(items_.size()); }
  std::string Get(int index) override {
    Check(index, false);
    return items_[static_cast<size_t>(index)];
  }
  void Put(int index, const std::string& s) override {
    Check(index, false);
    const int selected = combo_->ItemIndex();
    Delete(index);
    Insert(index, s);
    if (selected == index) combo_->SetItemIndex(index);
  }
  int Add(const std::string& s) override {
    items_.push_back(s);
    if (combo_->HandleAllocated()) SendMessageA(combo_->Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
    return Count() - 1;
  }
  void Insert(int index, const std::string& s) override {
    Check(index, true);
    items_.insert(items_.begin() + index, s);
    if (combo_->HandleAllocated())
      SendMessageA(combo_->Handle(), CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.c_str()));
  }
  void Delete(int index) override {
    Check(index, false);
    items_.erase(items_.begin() + index);
    if (combo_->HandleAllocated()) SendMessageA(combo_->Handle(), CB_DELETESTRING, static_cast<WPARAM>(index), 0);
  }
  void Clear() override {
    items_.clear();
    combo_->itemIndex_ = -1;
    if (combo_->HandleAllocated()) SendMessageA(combo_->Handle(), CB_RESETCONTENT, 0, 0);
  }
  const std::vector<std::string>& All() const { return items_; }

private:
  void Check(int index, bool allowEnd) {
    if (index < 0 || index > Count() || (!allowEnd && index == Count())) throw Exception(IndexError(index));
  }
  TCustomCombo* combo_;
  std::vector<std::string> items_;
};

TCustomCombo::TCustomCombo(TComponent* AOwner) : TWinControl(AOwner), items_(std::make_unique<TComboItems>(this)) {
  SetBoundsFields(0, 0, 145, 21);
  SetColor(clWindow);
  SetTabStop(true);
}

TCustomCombo::~TCustomCombo() = default;

int TCustomCombo::ListHeight() {
  int itemHeight = -Font()->Height() + 5;
  if (handle_) {
    const LRESULT h = SendMessageA(handle_, CB_GETITEMHEIGHT, 0, 0);
    if (h > 0) itemHeight = static_cast<int>(h);
  }
  return std::max(dropDownCount_, 1) * itemHeight + 2;
}

void TCustomCombo::SetBounds(int left, int top, int width, int height) {
  SetBoundsFields(left, top, width, height);
  // The window's height includes the drop-down list; the combo shows its closed height.
  if (handle_) SetWindowPos(handle_, nullptr, left, top, width, height + ListHeight(), SWP_NOZORDER | SWP_NOACTIVATE);
  BoundsChanged();
}

void TCustomCombo::SetDropDownCount(int n) {
  dropDownCount_ = n;
  SetBounds(Left(), Top(), Width(), Height());
}

// The edit field of a drop-down combo box is a native window of its own: the pointer over it
// counts as over the combo box, which hears of it here.
LRESULT CALLBACK TCustomCombo::EditFieldProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* combo = dynamic_cast<TCustomCombo*>(FindControl(GetParent(hwnd)));
  if (!combo || !combo->editFieldProc_) return DefWindowProcA(hwnd, msg, wParam, lParam);
  const WNDPROC own = combo->editFieldProc_;
  if (msg == WM_MOUSEMOVE) {
    combo->TrackMouse(combo);
    TRACKMOUSEEVENT t{};
    t.cbSize = sizeof(t);
    t.dwFlags = TME_LEAVE;
    t.hwndTrack = hwnd;
    TrackMouseEvent(&t);
  } else if (msg == WM_MOUSELEAVE && !combo->PointerInside()) {
    combo->TrackMouse(nullptr);
  } else if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
    combo->editFieldProc_ = nullptr;
    combo->editField_ = nullptr;
  }
  return CallWindowProcA(own, hwnd, msg, wParam, lParam);
}

bool TCustomCombo::PointerInside() {
  if (!handle_) return false;
  POINT p;
  GetCursorPos(&p);
  RECT r;
  GetWindowRect(handle_, &r);
  r.bottom = r.top + Height();  // the closed combo box, not its list
  return PtInRect(&r, p) != FALSE;
}

bool TCustomCombo::Focused() {
  if (!handle_) return false;
  HWND focus = GetFocus();
  return focus && (focus == handle_ || IsChild(handle_, focus));
}

void TCustomCombo::HandleCreated() {
  editField_ = FindWindowExA(handle_, nullptr, "Edit", nullptr);
  if (editField_)
    editFieldProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(editField_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TCustomCombo::EditFieldProc)));
  auto* items = static_cast<TComboItems*>(items_.get());
  for (const auto& s : items->All()) SendMessageA(handle_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
  if (itemIndex_ >= 0) SendMessageA(handle_, CB_SETCURSEL, static_cast<WPARAM>(itemIndex_), 0);
  SetBounds(Left(), Top(), Width(), Height());
}

int TCustomCombo::ItemIndex() {
  if (!handle_) return itemIndex_;
  return static_cast<int>(SendMessageA(handle_, CB_GETCURSEL, 0, 0));
}

void TCustomCombo::SetItemIndex(int index) {
  if (index < -1 || index >= items_->Count()) index = -1;
  itemIndex_ = index;
  if (handle_) SendMessageA(handle_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::string TCustomCombo::GetText() { return choosing_ ? text_ : TWinControl::GetText(); }

bool TCustomCombo::DroppedDown() { return handle_ && SendMessageA(handle_, CB_GETDROPPEDSTATE, 0, 0) != 0; }
void TCustomCombo::SetDroppedDown(bool on) { SendMessageA(Handle(), CB_SHOWDROPDOWN, on ? TRUE : FALSE, 0); }

void TCustomCombo::WndProc(TMessage& m) {
  if (m.Msg == CN_COMMAND) {
    switch (HIWORD(m.WParam)) {
      case CBN_SELCHANGE: {
        const int i = ItemIndex();
        if (i < 0 || i >= items_->Count()) {
          if (OnChange) OnChange(this);
          break;
        }
        text_ = items_->Get(i);
        choosing_ = true;
        try {
          if (OnChange) OnChange(this);
        } catch (...) {
          choosing_ = false;
          throw;
        }
        choosing_ = false;
        break;
      }
      case CBN_EDITCHANGE:
        if (OnChange) OnChange(this);
        break;
      case CBN_DROPDOWN:
        if (OnDropDown) OnDropDown(this);
        break;
      case CBN_SETFOCUS: NotifyFocus(); break;
      default: break;
    }
    return;
  }
  // Moving onto the edit field leaves the combo box's own window, not the combo box.
  if (m.Msg == WM_MOUSELEAVE && PointerInside()) return;
  TWinControl::WndProc(m);
}

void TComboBox::SetStyle(TComboBoxStyle style) { style_ = style; }

void TComboBox::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.BaseClassName = "COMBOBOX";
  p.Style |= WS_VSCROLL | CBS_AUTOHSCROLL | (style_ == csDropDownList ? CBS_DROPDOWNLIST : CBS_DROPDOWN);
  p.Height = Height() + ListHeight();
}

// ---- group box

TCustomGroupBox::TCustomGroupBox(TComponent* AOwner) : TWinControl(AOwner) { SetBoundsFields(0, 0, 185, 105); }

void TCustomGroupBox::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.BaseClassName = "BUTTON";
  p.Style |= BS_GROUPBOX | WS_CLIPCHILDREN;
}

void TCustomGroupBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_NCHITTEST:
      // The native group box lets the mouse fall through to the window below; ours holds
      // windowless controls that need it.
      m.Result = HTCLIENT;
      return;
    case WM_ERASEBKGND: EraseBackground(m); return;
    default: TWinControl::WndProc(m);
  }
}

void TCustomGroupBox::ReadingOrderStyle(DWORD& style, DWORD& exStyle) {
  TWinControl::ReadingOrderStyle(style, exStyle);
  style = UseRightToLeftAlignment() ? (style | BS_RIGHT) : (style & ~static_cast<DWORD>(BS_RIGHT));
}

void TCustomGroupBox::DefaultHandler(TMessage& m) {
  // Clicks on the frame do nothing (the native button would take the focus).
  if (m.Msg >= WM_MOUSEFIRST && m.Msg <= WM_MBUTTONDBLCLK) return;
  TWinControl::DefaultHandler(m);
}

// ---- button

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
  SetBoundsFields(0, 0, 75, 25);
  SetTabStop(true);
}

void TButton::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.BaseClassName = "BUTTON";
  p.Style |= default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool on) {
  default_ = on;
  // An owner-drawn button keeps its style; it draws the default frame itself.
  if (handle_ && (GetWindowLongPtrA(handle_, GWL_STYLE) & BS_TYPEMASK) != BS_OWNERDRAW)
    SendMessageA(handle_, BM_SETSTYLE, on ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::WndProc(TMessage& m) {
  if (m.Msg == CN_COMMAND) {
    // Some platforms let BM_CLICK through to a disabled button; a user could not click it.
    if (HIWORD(m.WParam) == BN_CLICKED && Enabled()) Click();
    return;
  }
  TWinControl::WndProc(m);
}

// ---- check box and radio button

TButtonControl::TButtonControl(TComponent* AOwner, DWORD buttonStyle) : TWinControl(AOwner), buttonStyle_(buttonStyle) {
  SetTabStop(true);
}

void TButtonControl::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.BaseClassName = "BUTTON";
  p.Style |= buttonStyle_;
}

void TButtonControl::ReadingOrderStyle(DWORD& style, DWORD& exStyle) {
  TWinControl::ReadingOrderStyle(style, exStyle);
  style = UseRightToLeftAlignment() ? (style | BS_LEFTTEXT) : (style & ~static_cast<DWORD>(BS_LEFTTEXT));
}

void TButtonControl::HandleCreated() { SendMessageA(handle_, BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0); }

void TButtonControl::SetChecked(bool on) {
  checked_ = on;
  if (handle_) SendMessageA(handle_, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TButtonControl::WndProc(TMessage& m) {
  if (m.Msg == CN_COMMAND) {
    if (HIWORD(m.WParam) == BN_CLICKED && Enabled()) {
      Clicked();
      Click();
    }
    return;
  }
  TWinControl::WndProc(m);
}

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TButtonControl(AOwner, BS_CHECKBOX) {
  SetBoundsFields(0, 0, 97, 17);
}

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner, BS_RADIOBUTTON) {
  SetBoundsFields(0, 0, 113, 17);
}

void TRadioButton::SetChecked(bool on) {
  TButtonControl::SetChecked(on);
  if (!on || !Parent()) return;
  for (int i = 0; i < Parent()->ControlCount(); ++i)
    if (auto* other = dynamic_cast<TRadioButton*>(Parent()->Controls(i)); other && other != this && other->Checked())
      other->SetChecked(false);
}

// ---- panel

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  SetBoundsFields(0, 0, 185, 41);
  SetOpaque(true);
}

void TCustomPanel::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.WinClassName = "MbPanel";
  p.Style |= WS_CLIPCHILDREN;
  if (borderStyle_ == bsSingle) {
    if (Ctl3D())
      p.ExStyle |= WS_EX_CLIENTEDGE;
    else
      p.Style |= WS_BORDER;
  }
}

void TCustomPanel::SetBevelOuter(TBevelCut b) {
  bevelOuter_ = b;
  Invalidate();
}
void TCustomPanel::SetBevelInner(TBevelCut b) {
  bevelInner_ = b;
  Invalidate();
}
void TCustomPanel::SetBevelWidth(int w) {
  bevelWidth_ = w;
  Invalidate();
}
void TCustomPanel::SetBorderStyle(TBorderStyle s) {
  borderStyle_ = s;
  if (handle_) {
    LONG_PTR style = GetWindowLongPtrA(handle_, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_BORDER);
    LONG_PTR ex = GetWindowLongPtrA(handle_, GWL_EXSTYLE) & ~static_cast<LONG_PTR>(WS_EX_CLIENTEDGE);
    if (s == bsSingle) {
      if (Ctl3D())
        ex |= WS_EX_CLIENTEDGE;
      else
        style |= WS_BORDER;
    }
    SetWindowLongPtrA(handle_, GWL_STYLE, style);
    SetWindowLongPtrA(handle_, GWL_EXSTYLE, ex);
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}
void TCustomPanel::SetAlignment(TAlignment a) {
  alignment_ = a;
  Invalidate();
}

void TCustomPanel::Paint() {
  TCanvas* c = Canvas();
  HDC dc = c->Handle();
  RECT r = ClientRect();
  const COLORREF light = ColorToRGB(clBtnHighlight), dark = ColorToRGB(clBtnShadow);
  if (bevelOuter_ != bvNone)
    Frame3D(dc, r, bevelOuter_ == bvLowered ? dark : light, bevelOuter_ == bvLowered ? light : dark, bevelWidth_);
  if (bevelInner_ != bvNone)
    Frame3D(dc, r, bevelInner_ == bvLowered ? dark : light, bevelInner_ == bvLowered ? light : dark, bevelWidth_);
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  const std::string text = Caption();
  if (!text.empty()) {
    c->Brush()->SetStyle(bsClear);
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
    format |= alignment_ == taCenter ? DT_CENTER : alignment_ == taRightJustify ? DT_RIGHT : DT_LEFT;
    c->DrawText(text, r, format);
  }
}
