// Menus. Items are found from native menus by their command number (kept in one table), never
// by a pointer stored in the native menu, so a stale menu can never reach a freed item.
#include "winui/menus.h"

#include <algorithm>
#include <map>

#include "base/exception.h"

namespace {

std::map<UINT, TMenuItem*> g_items;  // command number -> live item
UINT g_lastCommand = 99;

// Choices arrive as 16-bit command numbers: the next one that no live item holds.
UINT NextCommand() {
  do g_lastCommand = g_lastCommand >= 0xFFFF ? 100 : g_lastCommand + 1;
  while (g_items.count(g_lastCommand));
  return g_lastCommand;
}

TMenuItem* ItemOf(UINT command) {
  auto it = g_items.find(command);
  return it == g_items.end() ? nullptr : it->second;
}

// The key names of shortcut texts.
std::string KeyName(WORD key) {
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, static_cast<char>(key));
  if (key >= VK_F1 && key <= VK_F24) return "F" + std::to_string(key - VK_F1 + 1);
  switch (key) {
    case VK_BACK: return "BkSp";
    case VK_TAB: return "Tab";
    case VK_RETURN: return "Enter";
    case VK_ESCAPE: return "Esc";
    case VK_SPACE: return "Space";
    case VK_PRIOR: return "PgUp";
    case VK_NEXT: return "PgDn";
    case VK_END: return "End";
    case VK_HOME: return "Home";
    case VK_LEFT: return "Left";
    case VK_UP: return "Up";
    case VK_RIGHT: return "Right";
    case VK_DOWN: return "Down";
    case VK_INSERT: return "Ins";
    case VK_DELETE: return "Del";
    default: break;
  }
  char name[64] = {0};
  const UINT scan = MapVirtualKeyA(key, 0);
  if (scan && GetKeyNameTextA(static_cast<LONG>(scan << 16), name, sizeof(name)) > 0) return name;
  return "";
}

}  // namespace

TShortCut ShortCut(WORD key, unsigned shift) {
  TShortCut s = key & 0xFF;
  if (shift & ssShift) s |= scShift;
  if (shift & ssCtrl) s |= scCtrl;
  if (shift & ssAlt) s |= scAlt;
  return s;
}

std::string ShortCutToText(TShortCut shortCut) {
  const std::string key = KeyName(shortCut & 0xFF);
  if (key.empty()) return "";
  std::string s;
  if (shortCut & scShift) s += "Shift+";
  if (shortCut & scCtrl) s += "Ctrl+";
  if (shortCut & scAlt) s += "Alt+";
  return s + key;
}

// ---- TMenuItem

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner), command_(NextCommand()) { g_items[command_] = this; }

TMenuItem::~TMenuItem() {
  g_items.erase(command_);
  while (!items_.empty()) delete items_.back();
  if (parent_) parent_->Remove(this);
}

TMenuItem* TMenuItem::Items(int index) const {
  if (index < 0 || index >= Count()) throw Exception("List index out of bounds (" + std::to_string(index) + ")");
  return items_[static_cast<size_t>(index)];
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (!item || item->parent_) throw Exception("Menu item already used");
  if (index < 0 || index > Count()) throw Exception("List index out of bounds (" + std::to_string(index) + ")");
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
  Changed();
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  items_.erase(it);
  item->parent_ = nullptr;
  Changed();
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* root = this;
  while (root->parent_) root = root->parent_;
  return root->menu_;
}

TComponent* TMenuItem::GetParentComponent() const {
  if (parent_ && parent_->menu_) return parent_->menu_;
  return parent_;
}

void TMenuItem::Changed() {
  if (TMenu* menu = GetParentMenu(); menu && menu->HandleAllocated()) menu->Rebuild();
}

void TMenuItem::SetCaption(const std::string& caption) {
  caption_ = caption;
  Changed();
}
void TMenuItem::SetShortCut(TShortCut shortCut) {
  shortCut_ = shortCut;
  Changed();
}
void TMenuItem::SetChecked(bool on) {
  checked_ = on;
  Changed();
}
void TMenuItem::SetRadioItem(bool on) {
  radioItem_ = on;
  Changed();
}
void TMenuItem::SetEnabled(bool on) {
  enabled_ = on;
  Changed();
}
void TMenuItem::SetDefault(bool on) {
  default_ = on;
  Changed();
}
void TMenuItem::SetVisible(bool on) {
  visible_ = on;
  Changed();
}
void TMenuItem::SetImageIndex(int index) {
  imageIndex_ = index;
  Changed();
}
void TMenuItem::SetBitmap(const TBitmap& bitmap) {
  bitmap_.Assign(bitmap);
  Changed();
}
void TMenuItem::SetSubMenuImages(TImageList* images) {
  subMenuImages_ = images;
  Changed();
}

void TMenuItem::Click() {
  if (OnClick) OnClick(this);
}

void TMenuItem::MeasureItem(TCanvas* canvas, int& width, int& height) {
  if (OnMeasureItem) {
    OnMeasureItem(this, canvas, width, height);
    return;
  }
  if (IsLine()) {
    height = 8;
    return;
  }
  const std::string text = caption_ + (shortCut_ ? "\t" + ShortCutToText(shortCut_) : "");
  width = std::max(width, canvas->TextWidth(text) + 24);
  height = std::max(height, canvas->TextHeight("W") + 6);
}

void TMenuItem::DrawItem(TCanvas* canvas, RECT rect, bool selected) {
  if (OnDrawItem) {
    OnDrawItem(this, canvas, rect, selected);
    return;
  }
  // The plain look of a menu without a drawing handler.
  canvas->Brush()->SetColor(selected ? clHighlight : clMenu);
  canvas->FillRect(rect);
  if (IsLine()) {
    RECT line{rect.left + 2, (rect.top + rect.bottom) / 2, rect.right - 2, (rect.top + rect.bottom) / 2 + 1};
    canvas->Brush()->SetColor(clBtnShadow);
    canvas->FillRect(line);
    return;
  }
  canvas->Brush()->SetStyle(bsClear);
  canvas->Font()->SetColor(!enabled_ ? clGrayText : selected ? clHighlightText : clMenuText);
  RECT text{rect.left + 20, rect.top, rect.right - 8, rect.bottom};
  canvas->DrawText(caption_, text, DT_SINGLELINE | DT_VCENTER);
  if (shortCut_) canvas->DrawText(ShortCutToText(shortCut_), text, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
  if (checked_) canvas->DrawText(radioItem_ ? "o" : "v", rect, DT_SINGLELINE | DT_VCENTER);
}

// ---- TMenu

TMenu::TMenu(TComponent* AOwner, bool bar) : TComponent(AOwner), bar_(bar), items_(nullptr) { items_.menu_ = this; }

TMenu::~TMenu() {
  DestroyHandle();
  while (items_.Count() > 0) delete items_.Items(items_.Count() - 1);
}

void TMenu::DestroyHandle() {
  if (handle_) DestroyMenu(handle_);  // sub-menus go with it
  handle_ = nullptr;
}

HMENU TMenu::Handle() {
  if (!handle_) {
    handle_ = bar_ ? CreateMenu() : CreatePopupMenu();
    Build(handle_, &items_);
  }
  return handle_;
}

void TMenu::Build(HMENU menu, TMenuItem* parent) {
  for (TMenuItem* item : parent->items_) {
    if (!item->visible_) continue;
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_DATA | MIIM_STRING;
    info.fType = item->IsLine() ? MFT_SEPARATOR : MFT_STRING;
    if (ownerDraw_) info.fType |= MFT_OWNERDRAW;
    if (item->radioItem_) info.fType |= MFT_RADIOCHECK;
    if (IsRightToLeft()) info.fType |= MFT_RIGHTORDER;
    info.fState = (item->enabled_ ? MFS_ENABLED : MFS_DISABLED) | (item->checked_ ? MFS_CHECKED : 0) |
                  (item->default_ ? MFS_DEFAULT : 0);
    info.wID = item->command_;
    info.dwItemData = item->command_;
    std::string text = item->caption_;
    if (item->shortCut_) text += "\t" + ShortCutToText(item->shortCut_);
    info.dwTypeData = text.data();
    if (!item->items_.empty()) {
      info.fMask |= MIIM_SUBMENU;
      info.hSubMenu = CreatePopupMenu();
      Build(info.hSubMenu, item);
    }
    InsertMenuItemA(menu, GetMenuItemCount(menu), TRUE, &info);
  }
}

void TMenu::Rebuild() {
  if (!handle_) return;
  const HMENU old = handle_;
  handle_ = nullptr;
  Handle();
  Rebuilt();
  DestroyMenu(old);
}

void TMenu::SetImages(TImageList* images) {
  images_ = images;
  Rebuild();
}

void TMenu::SetOwnerDraw(bool on) {
  if (on == ownerDraw_) return;
  ownerDraw_ = on;
  Rebuild();
}

void TMenu::SetBiDiMode(TBiDiMode mode) {
  biDiMode_ = mode;
  Rebuild();
}

void TMainMenu::SetWindowHandle(HWND window) {
  window_ = window;
  if (window_) ::SetMenu(window_, Handle());
}

void TMainMenu::Rebuilt() {
  if (!window_) return;
  ::SetMenu(window_, handle_);
  DrawMenuBar(window_);
}

// ---- popup menus

namespace {
LRESULT CALLBACK PopupWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (AnswerMenuMessage(msg, wParam, lParam, result)) return result;
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}
}  // namespace

HWND TPopupMenu::Window() {
  static HWND window = [] {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = PopupWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MbPopupMenus";
    RegisterClassExA(&wc);
    return CreateWindowExA(WS_EX_TOOLWINDOW, "MbPopupMenus", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  }();
  return window;
}

void TPopupMenu::Popup(int x, int y) {
  HWND owner = Window();
  SetForegroundWindow(owner);
  const UINT flags = TPM_RETURNCMD | TPM_RIGHTBUTTON | (IsRightToLeft() ? TPM_RIGHTALIGN : TPM_LEFTALIGN);
  const UINT command = static_cast<UINT>(TrackPopupMenuEx(Handle(), flags, x, y, owner, nullptr));
  PostMessageA(owner, WM_NULL, 0, 0);
  if (TMenuItem* item = command ? ItemOf(command) : nullptr) item->Click();
}

// ---- routing

bool AnswerMenuMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_MEASUREITEM: {
      auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (mi->CtlType != ODT_MENU) return false;
      TMenuItem* item = ItemOf(static_cast<UINT>(mi->itemData));
      if (!item) return false;
      HDC dc = GetDC(nullptr);
      TCanvas canvas;
      canvas.SetHandle(dc);
      int w = static_cast<int>(mi->itemWidth), h = static_cast<int>(mi->itemHeight);
      try {
        item->MeasureItem(&canvas, w, h);
      } catch (...) {
        canvas.SetHandle(nullptr);
        ReleaseDC(nullptr, dc);
        throw;
      }
      canvas.SetHandle(nullptr);
      ReleaseDC(nullptr, dc);
      mi->itemWidth = static_cast<UINT>(std::max(w, 0));
      mi->itemHeight = static_cast<UINT>(std::max(h, 0));
      result = TRUE;
      return true;
    }
    case WM_DRAWITEM: {
      auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      if (di->CtlType != ODT_MENU) return false;
      TMenuItem* item = ItemOf(static_cast<UINT>(di->itemData));
      if (!item) return false;
      TCanvas canvas;
      TCanvasLease lease(canvas, di->hDC);
      item->DrawItem(&canvas, di->rcItem, (di->itemState & ODS_SELECTED) != 0);
      result = TRUE;
      return true;
    }
    case WM_COMMAND: {
      if (lParam != 0 || HIWORD(wParam) != 0) return false;
      TMenuItem* item = ItemOf(LOWORD(wParam));
      if (!item) return false;
      item->Click();
      result = 0;
      return true;
    }
    default: return false;
  }
}
