// Common controls: status bar, list view with image lists, animation, date and time pickers.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>

#include "winui/control.h"

class TStatusBar;

class TStatusPanel {
public:
  int Width() const { return width_; }
  void SetWidth(int w);
  const std::string& Text() const { return text_; }
  void SetText(const std::string& text);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  int Index() const { return index_; }

private:
  friend class TStatusPanels;
  TStatusBar* bar_ = nullptr;
  int index_ = 0;
  int width_ = 50;
  std::string text_;
  TAlignment alignment_ = taLeftJustify;
};

class TStatusPanels {
public:
  explicit TStatusPanels(TStatusBar* bar) : bar_(bar) {}
  TStatusPanel* Add();
  int Count() const { return static_cast<int>(panels_.size()); }
  TStatusPanel* Items(int index);  // throws Exception when out of range
  TStatusPanel* operator[](int index) { return Items(index); }
  void Clear();

private:
  TStatusBar* bar_;
  std::vector<std::unique_ptr<TStatusPanel>> panels_;
};

// A status bar at the bounds it is given (it does not move itself to the parent's bottom).
// Controls can be put into it with SetParent; PanelRect gives a panel's rectangle (SB_GETRECT).
class TStatusBar : public TWinControl {
public:
  explicit TStatusBar(TComponent* AOwner);
  ~TStatusBar() override;
  const char* ClassName() const override { return "TStatusBar"; }
  TStatusPanels* Panels() { return &panels_; }
  RECT PanelRect(int index);
  bool SimplePanel() const { return simplePanel_; }
  void SetSimplePanel(bool on);
  const std::string& SimpleText() const { return simpleText_; }
  void SetSimpleText(const std::string& text);
  void UpdatePanels();
  void UpdatePanel(int index);

protected:
  void CreateParams(TCreateParams& params) override;
  void HandleCreated() override;

private:
  TStatusPanels panels_;
  bool simplePanel_ = false;
  std::string simpleText_;
};

// Small icons for list views.
class TImageList : public TComponent {
public:
  explicit TImageList(TComponent* AOwner);
  ~TImageList() override;
  const char* ClassName() const override { return "TImageList"; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetSize(int width, int height);  // clears the list
  int AddIcon(HICON icon);              // the icon is copied; returns its index
  int AddIcon(TIcon* icon) { return AddIcon(icon->Handle()); }
  // Adds the bitmap's images (one per list width), mask colour transparent; returns the first index.
  int AddMasked(TBitmap* bitmap, TColor maskColor);
  // Image index drawn transparently at (x, y) of canvas; nothing for an index out of range.
  void Draw(TCanvas* canvas, int x, int y, int index);
  int Count();
  void Clear();
  HIMAGELIST Handle();

private:
  int width_ = 16, height_ = 16;
  HIMAGELIST handle_ = nullptr;
};

class TListView;
class TListItems;

class TListColumn {
public:
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& c);
  int Width() const { return width_; }
  void SetWidth(int w);

private:
  friend class TListColumns;
  TListView* view_ = nullptr;
  int index_ = 0;
  std::string caption_;
  int width_ = 50;
};

class TListColumns {
public:
  explicit TListColumns(TListView* view) : view_(view) {}
  TListColumn* Add();
  int Count() const { return static_cast<int>(columns_.size()); }
  TListColumn* Items(int index);
  void Clear();

private:
  friend class TListView;
  TListView* view_;
  std::vector<std::unique_ptr<TListColumn>> columns_;
};

// Sub-item texts of a list item (columns 1 onwards).
class TListSubItems {
public:
  int Add(const std::string& s);
  int Count() const { return static_cast<int>(strings_.size()); }
  std::string Get(int index) const;  // throws Exception when out of range
  void Put(int index, const std::string& s);
  void Clear();
  std::string operator[](int index) const { return Get(index); }

private:
  friend class TListItem;
  friend class TListItems;
  class TListItem* item_ = nullptr;
  std::vector<std::string> strings_;
};

class TListItem {
public:
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& c);
  TListSubItems* SubItems() { return &subItems_; }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int i);
  void* Data() const { return data_; }
  void SetData(void* d) { data_ = d; }
  int Index() const;
  bool Selected();
  void SetSelected(bool on);
  TListView* ListView() const { return view_; }

private:
  friend class TListItems;
  friend class TListSubItems;
  friend class TListView;
  void Sync();
  TListView* view_ = nullptr;
  std::string caption_;
  TListSubItems subItems_;
  int imageIndex_ = -1;
  void* data_ = nullptr;
};

class TListItems {
public:
  explicit TListItems(TListView* view) : view_(view) {}
  TListItem* Add();
  int Count() const { return static_cast<int>(items_.size()); }
  TListItem* Item(int index);  // throws Exception when out of range
  TListItem* operator[](int index) { return Item(index); }
  void Delete(int index);
  void Clear();
  int IndexOf(const TListItem* item) const;

private:
  friend class TListView;
  TListView* view_;
  std::vector<std::unique_ptr<TListItem>> items_;
};

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

using TLVSelectItemEvent = std::function<void(TObject* Sender, TListItem* Item, bool Selected)>;
using TLVInfoTipEvent = std::function<void(TObject* Sender, TListItem* Item, std::string& InfoTip)>;

// A report list view: columns, items with caption, sub items, image index and data.
class TListView : public TWinControl {
public:
  explicit TListView(TComponent* AOwner);
  ~TListView() override;
  const char* ClassName() const override { return "TListView"; }
  TListColumns* Columns() { return &columns_; }
  TListItems* Items() { return &items_; }
  TViewStyle ViewStyle() const { return viewStyle_; }
  void SetViewStyle(TViewStyle v);
  TImageList* SmallImages() const { return smallImages_; }
  void SetSmallImages(TImageList* list);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool on) { readOnly_ = on; }
  bool RowSelect() const { return rowSelect_; }
  void SetRowSelect(bool on);
  // Hot tracking: the item under the mouse is underlined and shows a hand.
  bool HotTrack() const { return hotTrack_; }
  void SetHotTrack(bool on);
  TListItem* Selected();
  int ItemIndex();
  void SetItemIndex(int index);

  TLVSelectItemEvent OnSelectItem;
  TLVInfoTipEvent OnInfoTip;
  void WndProc(TMessage& message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
  void CreateParams(TCreateParams& params) override;
  void HandleCreated() override;

private:
  friend class TListColumns;
  friend class TListColumn;
  friend class TListItems;
  friend class TListItem;
  void ApplyExtendedStyle();
  void InsertNativeColumn(int index);
  void UpdateNativeColumn(int index);
  void InsertNativeItem(int index);
  void UpdateNativeItem(int index);
  TListColumns columns_;
  TListItems items_;
  TViewStyle viewStyle_ = vsIcon;
  TImageList* smallImages_ = nullptr;
  bool readOnly_ = false;
  bool rowSelect_ = false;
  bool hotTrack_ = false;
  std::string tipBuffer_;
};

enum TCommonAVI {
  aviNone,
  aviFindFolder,
  aviFindFile,
  aviFindComputer,
  aviCopyFiles,
  aviCopyFile,
  aviRecycleFile,
  aviEmptyRecycle,
  aviDeleteFile
};

// An animation control. A missing clip or codec leaves it empty, without an error.
class TAnimate : public TWinControl {
public:
  explicit TAnimate(TComponent* AOwner);
  const char* ClassName() const override { return "TAnimate"; }
  TCommonAVI CommonAVI() const { return commonAVI_; }
  void SetCommonAVI(TCommonAVI avi);
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& name);
  bool Open() const { return open_; }
  void SetOpen(bool on);
  bool Active() const { return active_; }
  void SetActive(bool on);  // plays from StartFrame to StopFrame, repeating
  int StartFrame() const { return startFrame_; }
  void SetStartFrame(int f) { startFrame_ = f; }
  int StopFrame() const { return stopFrame_; }
  void SetStopFrame(int f) { stopFrame_ = f; }
  void Play(int fromFrame, int toFrame, int count);
  void Stop();

protected:
  void CreateParams(TCreateParams& params) override;
  void HandleCreated() override;

private:
  void OpenClip();
  TCommonAVI commonAVI_ = aviNone;
  std::string fileName_;
  bool open_ = false;
  bool active_ = false;
  int startFrame_ = 1;
  int stopFrame_ = 0;  // 0: the last frame
};

enum TDateTimeKind { dtkDate, dtkTime };
enum TDTDateFormat { dfShort, dfLong };

// Date or time picker. Values are SYSTEMTIME; Date keeps only the date part, Time only the time.
class TDateTimePicker : public TWinControl {
public:
  explicit TDateTimePicker(TComponent* AOwner);
  const char* ClassName() const override { return "TDateTimePicker"; }
  TDateTimeKind Kind() const { return kind_; }
  void SetKind(TDateTimeKind k);  // before the window is made
  TDTDateFormat DateFormat() const { return dateFormat_; }
  void SetDateFormat(TDTDateFormat f);
  SYSTEMTIME DateTime();
  void SetDateTime(const SYSTEMTIME& st);
  // The value as the control shows it (the user's short date or long time format).
  std::string DisplayText();
  TNotifyEvent OnChange;
  void WndProc(TMessage& message) override;

protected:
  void CreateParams(TCreateParams& params) override;
  void HandleCreated() override;

private:
  TDateTimeKind kind_ = dtkDate;
  TDTDateFormat dateFormat_ = dfShort;
  SYSTEMTIME value_{};
};
