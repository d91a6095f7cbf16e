#include "winui/common_controls.h"

#include <algorithm>

#include "base/exception.h"

namespace {
std::string IndexError(int index) { return "List index out of bounds (" + std::to_string(index) + ")"; }
}  // namespace

// ---- status bar

void TStatusPanel::SetWidth(int w) {
  width_ = w;
  if (bar_) bar_->UpdatePanels();
}

void TStatusPanel::SetText(const std::string& text) {
  text_ = text;
  if (bar_) bar_->UpdatePanel(index_);
}

void TStatusPanel::SetAlignment(TAlignment a) {
  alignment_ = a;
  if (bar_) bar_->UpdatePanel(index_);
}

TStatusPanel* TStatusPanels::Add() {
  auto p = std::make_unique<TStatusPanel>();
  p->bar_ = bar_;
  p->index_ = Count();
  panels_.push_back(std::move(p));
  bar_->UpdatePanels();
  return panels_.back().get();
}

TStatusPanel* TStatusPanels::Items(int index) {
  if (index < 0 || index >= Count()) throw Exception(IndexError(index));
  return panels_[static_cast<size_t>(index)].get();
}

void TStatusPanels::Clear() {
  panels_.clear();
  bar_->UpdatePanels();
}

TStatusBar::TStatusBar(TComponent* AOwner) : TWinControl(AOwner), panels_(this) { SetBoundsFields(0, 0, 200, 19); }

TStatusBar::~TStatusBar() = default;

void TStatusBar::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.BaseClassName = STATUSCLASSNAMEA;
  // Placed where the layout says, not moved to the parent's bottom edge by the control itself.
  p.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER | WS_CLIPCHILDREN;
}

void TStatusBar::HandleCreated() { UpdatePanels(); }

void TStatusBar::UpdatePanels() {
  if (!handle_) return;
  SendMessageA(handle_, SB_SIMPLE, simplePanel_ ? TRUE : FALSE, 0);
  if (simplePanel_) {
    SendMessageA(handle_, SB_SETTEXTA, 255, reinterpret_cast<LPARAM>(simpleText_.c_str()));
    return;
  }
  std::vector<int> edges;
  int right = 0;
  for (int i = 0; i < panels_.Count(); ++i) {
    right += panels_.Items(i)->Width();
    edges.push_back(right);
  }
  if (edges.empty()) edges.push_back(-1);
  SendMessageA(handle_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
  for (int i = 0; i < panels_.Count(); ++i) UpdatePanel(i);
}

void TStatusBar::UpdatePanel(int index) {
  if (!handle_ || simplePanel_ || index < 0 || index >= panels_.Count()) return;
  TStatusPanel* p = panels_.Items(index);
  // A tab before the text centres it, two tabs align it right.
  std::string text = p->Alignment() == taCenter         ? "\t" + p->Text()
                     : p->Alignment() == taRightJustify ? "\t\t" + p->Text()
                                                        : p->Text();
  SendMessageA(handle_, SB_SETTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.c_str()));
}

RECT TStatusBar::PanelRect(int index) {
  RECT r{0, 0, 0, 0};
  SendMessageA(Handle(), SB_GETRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
  return r;
}

void TStatusBar::SetSimplePanel(bool on) {
  simplePanel_ = on;
  UpdatePanels();
}

void TStatusBar::SetSimpleText(const std::string& text) {
  simpleText_ = text;
  if (handle_ && simplePanel_) SendMessageA(handle_, SB_SETTEXTA, 255, reinterpret_cast<LPARAM>(text.c_str()));
}

// ---- image list

TImageList::TImageList(TComponent* AOwner) : TComponent(AOwner) {}

TImageList::~TImageList() {
  if (handle_) ImageList_Destroy(handle_);
}

HIMAGELIST TImageList::Handle() {
  if (!handle_) handle_ = ImageList_Create(width_, height_, ILC_COLOR32 | ILC_MASK, 4, 4);
  return handle_;
}

void TImageList::SetSize(int width, int height) {
  if (handle_) ImageList_Destroy(handle_);
  handle_ = nullptr;
  width_ = width;
  height_ = height;
}

int TImageList::AddIcon(HICON icon) {
  if (!icon) throw Exception("Invalid icon");
  const int index = ImageList_AddIcon(Handle(), icon);
  if (index < 0) throw Exception("Failed to add an icon to the image list");
  return index;
}

int TImageList::Count() { return handle_ ? ImageList_GetImageCount(handle_) : 0; }

int TImageList::AddMasked(TBitmap* bitmap, TColor maskColor) {
  // The list copies the pixels; a bitmap still selected into its canvas cannot be read.
  TBitmap copy;
  copy.Assign(*bitmap);
  const int index = ImageList_AddMasked(Handle(), copy.Handle(), ColorToRGB(maskColor));
  if (index < 0) throw Exception("Failed to add a bitmap to the image list");
  return index;
}

void TImageList::Draw(TCanvas* canvas, int x, int y, int index) {
  if (index < 0 || index >= Count()) return;
  ImageList_DrawEx(handle_, index, canvas->Handle(), x, y, 0, 0, CLR_NONE, CLR_DEFAULT, ILD_TRANSPARENT);
}

void TImageList::Clear() {
  if (handle_) ImageList_RemoveAll(handle_);
}

// ---- list view

void TListColumn::SetCaption(const std::string& c) {
  caption_ = c;
  if (view_) view_->UpdateNativeColumn(index_);
}

void TListColumn::SetWidth(int w) {
  width_ = w;
  if (view_) view_->UpdateNativeColumn(index_);
}

TListColumn* TListColumns::Add() {
  auto c = std::make_unique<TListColumn>();
  c->view_ = view_;
  c->index_ = Count();
  columns_.push_back(std::move(c));
  view_->InsertNativeColumn(Count() - 1);
  return columns_.back().get();
}

TListColumn* TListColumns::Items(int index) {
  if (index < 0 || index >= Count()) throw Exception(IndexError(index));
  return columns_[static_cast<size_t>(index)].get();
}

void TListColumns::Clear() {
  if (view_->HandleAllocated())
    for (int i = Count() - 1; i >= 0; --i) SendMessageA(view_->Handle(), LVM_DELETECOLUMN, static_cast<WPARAM>(i), 0);
  columns_.clear();
}

int TListSubItems::Add(const std::string& s) {
  strings_.push_back(s);
  if (item_) item_->Sync();
  return Count() - 1;
}

std::string TListSubItems::Get(int index) const {
  if (index < 0 || index >= Count()) throw Exception(IndexError(index));
  return strings_[static_cast<size_t>(index)];
}

void TListSubItems::Put(int index, const std::string& s) {
  if (index < 0 || index >= Count()) throw Exception(IndexError(index));
  strings_[static_cast<size_t>(index)] = s;
  if (item_) item_->Sync();
}

void TListSubItems::Clear() {
  strings_.clear();
  if (item_) item_->Sync();
}

void TListItem::SetCaption(const std::string& c) {
  caption_ = c;
  Sync();
}

void TListItem::SetImageIndex(int i) {
  imageIndex_ = i;
  Sync();
}

int TListItem::Index() const { return view_ ? view_->items_.IndexOf(this) : -1; }

void TListItem::Sync() {
  if (view_) view_->UpdateNativeItem(Index());
}

bool TListItem::Selected() {
  if (!view_ || !view_->HandleAllocated()) return false;
  return (SendMessageA(view_->Handle(), LVM_GETITEMSTATE, static_cast<WPARAM>(Index()), LVIS_SELECTED) &
          LVIS_SELECTED) != 0;
}

void TListItem::SetSelected(bool on) {
  if (!view_) return;
  LVITEMA item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = on ? (LVIS_SELECTED | LVIS_FOCUSED) : 0;
  SendMessageA(view_->Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(Index()), reinterpret_cast<LPARAM>(&item));
}

TListItem* TListItems::Add() {
  auto item = std::make_unique<TListItem>();
  item->view_ = view_;
  item->subItems_.item_ = item.get();
  items_.push_back(std::move(item));
  view_->InsertNativeItem(Count() - 1);
  return items_.back().get();
}

TListItem* TListItems::Item(int index) {
  if (index < 0 || index >= Count()) throw Exception(IndexError(index));
  return items_[static_cast<size_t>(index)].get();
}

void TListItems::Delete(int index) {
  Item(index);
  if (view_->HandleAllocated()) SendMessageA(view_->Handle(), LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
  items_.erase(items_.begin() + index);
}

void TListItems::Clear() {
  if (view_->HandleAllocated()) SendMessageA(view_->Handle(), LVM_DELETEALLITEMS, 0, 0);
  items_.clear();
}

int TListItems::IndexOf(const TListItem* item) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == item) return static_cast<int>(i);
  return -1;
}

TListView::TListView(TComponent* AOwner) : TWinControl(AOwner), columns_(this), items_(this) {
  SetBoundsFields(0, 0, 250, 150);
  SetColor(clWindow);
  SetTabStop(true);
}

TListView::~TListView() {
  // The native items go with the window; keep notifications from reaching a half-gone list.
  items_.items_.clear();
}

void TListView::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.BaseClassName = WC_LISTVIEWA;
  p.ExStyle |= WS_EX_CLIENTEDGE;
  p.Style |= LVS_SHAREIMAGELISTS | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
  static const DWORD styles[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
  p.Style |= styles[viewStyle_];
}

void TListView::HandleCreated() {
  ApplyExtendedStyle();
  SendMessageA(handle_, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
  SendMessageA(handle_, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
  if (smallImages_)
    SendMessageA(handle_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(smallImages_->Handle()));
  for (int i = 0; i < columns_.Count(); ++i) InsertNativeColumn(i);
  for (int i = 0; i < items_.Count(); ++i) InsertNativeItem(i);
}

void TListView::ApplyExtendedStyle() {
  if (!handle_) return;
  DWORD ex = LVS_EX_INFOTIP;
  if (rowSelect_) ex |= LVS_EX_FULLROWSELECT;
  if (hotTrack_) ex |= LVS_EX_TRACKSELECT | LVS_EX_ONECLICKACTIVATE | LVS_EX_UNDERLINEHOT;
  SendMessageA(handle_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(ex));
}

void TListView::SetViewStyle(TViewStyle v) {
  viewStyle_ = v;
  if (handle_) {
    static const DWORD styles[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
    LONG_PTR style = GetWindowLongPtrA(handle_, GWL_STYLE) & ~static_cast<LONG_PTR>(LVS_TYPEMASK);
    SetWindowLongPtrA(handle_, GWL_STYLE, style | static_cast<LONG_PTR>(styles[v]));
  }
}

void TListView::SetSmallImages(TImageList* list) {
  if (smallImages_) smallImages_->RemoveFreeNotification(this);
  smallImages_ = list;
  if (list) list->FreeNotification(this);
  if (handle_)
    SendMessageA(handle_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(list ? list->Handle() : nullptr));
}

void TListView::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == smallImages_) {
    smallImages_ = nullptr;
    if (handle_) SendMessageA(handle_, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
  }
}

void TListView::SetRowSelect(bool on) {
  rowSelect_ = on;
  ApplyExtendedStyle();
}

void TListView::SetHotTrack(bool on) {
  hotTrack_ = on;
  ApplyExtendedStyle();
}

void TListView::InsertNativeColumn(int index) {
  if (!handle_) return;
  TListColumn* c = columns_.Items(index);
  LVCOLUMNA col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  std::string text = c->Caption();
  col.pszText = text.data();
  col.cx = c->Width();
  col.iSubItem = index;
  SendMessageA(handle_, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&col));
}

void TListView::UpdateNativeColumn(int index) {
  if (!handle_) return;
  TListColumn* c = columns_.Items(index);
  LVCOLUMNA col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH;
  std::string text = c->Caption();
  col.pszText = text.data();
  col.cx = c->Width();
  SendMessageA(handle_, LVM_SETCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&col));
}

void TListView::InsertNativeItem(int index) {
  if (!handle_) return;
  TListItem* item = items_.Item(index);
  LVITEMA lv{};
  lv.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  lv.iItem = index;
  std::string text = item->Caption();
  lv.pszText = text.data();
  lv.iImage = item->ImageIndex();
  lv.lParam = reinterpret_cast<LPARAM>(item);
  SendMessageA(handle_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&lv));
  UpdateNativeItem(index);
}

void TListView::UpdateNativeItem(int index) {
  if (!handle_ || index < 0) return;
  TListItem* item = items_.Item(index);
  LVITEMA lv{};
  lv.mask = LVIF_TEXT | LVIF_IMAGE;
  lv.iItem = index;
  std::string text = item->Caption();
  lv.pszText = text.data();
  lv.iImage = item->ImageIndex();
  SendMessageA(handle_, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&lv));
  for (int s = 0; s < item->SubItems()->Count(); ++s) {
    std::string sub = item->SubItems()->Get(s);
    LVITEMA si{};
    si.iSubItem = s + 1;
    si.pszText = sub.data();
    SendMessageA(handle_, LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&si));
  }
}

TListItem* TListView::Selected() {
  const int i = ItemIndex();
  return i >= 0 && i < items_.Count() ? items_.Item(i) : nullptr;
}

int TListView::ItemIndex() {
  if (!handle_) return -1;
  return static_cast<int>(SendMessageA(handle_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void TListView::SetItemIndex(int index) {
  if (index >= 0 && index < items_.Count())
    items_.Item(index)->SetSelected(true);
  else if (TListItem* s = Selected())
    s->SetSelected(false);
}

void TListView::WndProc(TMessage& m) {
  if (m.Msg == CN_NOTIFY) {
    auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
    switch (hdr->code) {
      case LVN_ITEMCHANGED: {
        auto* nm = reinterpret_cast<NMLISTVIEW*>(m.LParam);
        if ((nm->uChanged & LVIF_STATE) && ((nm->uOldState ^ nm->uNewState) & LVIS_SELECTED) && nm->iItem >= 0 &&
            nm->iItem < items_.Count() && OnSelectItem)
          OnSelectItem(this, items_.Item(nm->iItem), (nm->uNewState & LVIS_SELECTED) != 0);
        return;
      }
      case NM_CLICK: Click(); return;
      case NM_DBLCLK:
        if (OnDblClick) OnDblClick(this);
        return;
      case LVN_GETINFOTIPA: {
        auto* tip = reinterpret_cast<NMLVGETINFOTIPA*>(m.LParam);
        if (tip->iItem < 0 || tip->iItem >= items_.Count() || !OnInfoTip) return;
        std::string text = items_.Item(tip->iItem)->Caption();
        OnInfoTip(this, items_.Item(tip->iItem), text);
        if (tip->pszText && tip->cchTextMax > 0) lstrcpynA(tip->pszText, text.c_str(), tip->cchTextMax);
        return;
      }
      case LVN_GETINFOTIPW: {
        auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(m.LParam);
        if (tip->iItem < 0 || tip->iItem >= items_.Count() || !OnInfoTip) return;
        std::string text = items_.Item(tip->iItem)->Caption();
        OnInfoTip(this, items_.Item(tip->iItem), text);
        if (tip->pszText && tip->cchTextMax > 0) {
          const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, tip->pszText, tip->cchTextMax);
          if (n == 0) tip->pszText[tip->cchTextMax - 1] = 0;
        }
        return;
      }
      default: return;
    }
  }
  TWinControl::WndProc(m);
}

// ---- animation

TAnimate::TAnimate(TComponent* AOwner) : TWinControl(AOwner) { SetBoundsFields(0, 0, 100, 80); }

void TAnimate::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.BaseClassName = ANIMATE_CLASSA;
  p.Style |= ACS_TRANSPARENT | ACS_CENTER;
}

void TAnimate::HandleCreated() {
  if (open_ || active_) OpenClip();
  if (active_) Play(startFrame_, stopFrame_, 0);
}

void TAnimate::OpenClip() {
  if (!handle_) return;
  BOOL ok = FALSE;
  if (commonAVI_ != aviNone) {
    // The system's animations are resources of the shell library.
    static const int ids[] = {0, 150, 151, 152, 160, 161, 162, 163, 164};
    HMODULE shell = GetModuleHandleA("shell32.dll");
    if (!shell) shell = LoadLibraryA("shell32.dll");
    if (shell)
      ok = static_cast<BOOL>(
          SendMessageA(handle_, ACM_OPENA, reinterpret_cast<WPARAM>(shell), static_cast<LPARAM>(ids[commonAVI_])));
  } else if (!fileName_.empty()) {
    ok = static_cast<BOOL>(SendMessageA(handle_, ACM_OPENA, 0, reinterpret_cast<LPARAM>(fileName_.c_str())));
  }
  open_ = ok != FALSE;  // a missing clip or codec leaves the control empty
}

void TAnimate::SetCommonAVI(TCommonAVI avi) {
  commonAVI_ = avi;
  if (avi != aviNone) fileName_.clear();
  if (handle_) {
    SendMessageA(handle_, ACM_OPENA, 0, 0);
    open_ = false;
    if (avi != aviNone) OpenClip();
  }
}

void TAnimate::SetFileName(const std::string& name) {
  fileName_ = name;
  if (!name.empty()) commonAVI_ = aviNone;
  if (handle_) {
    SendMessageA(handle_, ACM_OPENA, 0, 0);
    open_ = false;
    if (!name.empty()) OpenClip();
  }
}

void TAnimate::SetOpen(bool on) {
  if (on) {
    open_ = true;
    if (handle_) OpenClip();
  } else {
    Stop();
    if (handle_) SendMessageA(handle_, ACM_OPENA, 0, 0);
    open_ = false;
  }
}

void TAnimate::SetActive(bool on) {
  if (on) {
    active_ = true;
    Play(startFrame_, stopFrame_, 0);
  } else {
    Stop();
  }
}

void TAnimate::Play(int fromFrame, int toFrame, int count) {
  active_ = true;
  if (!handle_) return;
  if (!open_) OpenClip();
  if (!open_) return;
  const int from = std::max(fromFrame - 1, 0);
  const int to = toFrame <= 0 ? 0xFFFF : toFrame - 1;
  SendMessageA(handle_, ACM_PLAY, count <= 0 ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(count),
               MAKELPARAM(from, to));
}

void TAnimate::Stop() {
  active_ = false;
  if (handle_ && open_) SendMessageA(handle_, ACM_STOP, 0, 0);
}

// ---- date and time picker

TDateTimePicker::TDateTimePicker(TComponent* AOwner) : TWinControl(AOwner) {
  SetBoundsFields(0, 0, 186, 21);
  SetTabStop(true);
  GetLocalTime(&value_);
}

void TDateTimePicker::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.BaseClassName = DATETIMEPICK_CLASSA;
  if (kind_ == dtkTime)
    p.Style |= DTS_TIMEFORMAT;
  else
    p.Style |= dateFormat_ == dfShort ? DTS_SHORTDATEFORMAT : DTS_LONGDATEFORMAT;
}

void TDateTimePicker::HandleCreated() {
  SendMessageA(handle_, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&value_));
}

void TDateTimePicker::SetKind(TDateTimeKind k) { kind_ = k; }

void TDateTimePicker::SetDateFormat(TDTDateFormat f) {
  dateFormat_ = f;
  if (handle_ && kind_ == dtkDate) {
    LONG_PTR style =
        GetWindowLongPtrA(handle_, GWL_STYLE) & ~static_cast<LONG_PTR>(DTS_LONGDATEFORMAT | DTS_SHORTDATEFORMAT);
    style |= f == dfShort ? DTS_SHORTDATEFORMAT : DTS_LONGDATEFORMAT;
    SetWindowLongPtrA(handle_, GWL_STYLE, style);
    InvalidateRect(handle_, nullptr, TRUE);
  }
}

SYSTEMTIME TDateTimePicker::DateTime() {
  if (handle_) {
    SYSTEMTIME st{};
    if (SendMessageA(handle_, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) == GDT_VALID) value_ = st;
  }
  return value_;
}

void TDateTimePicker::SetDateTime(const SYSTEMTIME& st) {
  value_ = st;
  if (handle_) SendMessageA(handle_, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&value_));
}

std::string TDateTimePicker::DisplayText() {
  SYSTEMTIME st = DateTime();
  char buf[128] = {0};
  if (kind_ == dtkTime)
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, buf, sizeof(buf));
  else
    GetDateFormatA(LOCALE_USER_DEFAULT, dateFormat_ == dfShort ? DATE_SHORTDATE : DATE_LONGDATE, &st, nullptr, buf,
                   sizeof(buf));
  return buf;
}

void TDateTimePicker::WndProc(TMessage& m) {
  if (m.Msg == CN_NOTIFY) {
    if (reinterpret_cast<NMHDR*>(m.LParam)->code == DTN_DATETIMECHANGE && OnChange) OnChange(this);
    return;
  }
  TWinControl::WndProc(m);
}
