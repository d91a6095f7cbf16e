// Menus: a main menu on a form's menu bar, popup menus, and their items. The native menus are
// built from the items and rebuilt when an item changes; owner-drawn menus ask each item for
// its size and drawing (WM_MEASUREITEM / WM_DRAWITEM, routed by the menu, not taken for a
// control), and a chosen item runs its OnClick.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "winui/common_controls.h"
#include "winui/component.h"
#include "winui/graphics.h"

// A key and its shift keys, as menus show and accept them.
using TShortCut = std::uint16_t;
enum : TShortCut { scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000 };
TShortCut ShortCut(WORD key, unsigned shift);  // shift: ssShift, ssCtrl, ssAlt
// "Ctrl+S", "Shift+Ctrl+F1", "Alt+Del"; empty for 0.
std::string ShortCutToText(TShortCut shortCut);

class TMenu;

using TMenuDrawItemEvent = TMethodEvent<TObject*, TCanvas*, RECT, bool>;
using TMenuMeasureItemEvent = TMethodEvent<TObject*, TCanvas*, int&, int&>;

class TMenuItem : public TComponent {
public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;  // frees its sub-items and leaves its parent
  const char* ClassName() const override { return "TMenuItem"; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);  // "-" makes a separator
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut shortCut);
  bool Checked() const { return checked_; }
  void SetChecked(bool on);
  bool RadioItem() const { return radioItem_; }
  void SetRadioItem(bool on);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  bool Default() const { return default_; }
  void SetDefault(bool on);
  bool Visible() const { return visible_; }
  void SetVisible(bool on);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int index);
  TBitmap* Bitmap() { return &bitmap_; }
  void SetBitmap(const TBitmap& bitmap);
  // Images for the sub-items of this item, instead of the menu's.
  TImageList* SubMenuImages() const { return subMenuImages_; }
  void SetSubMenuImages(TImageList* images);
  bool IsLine() const { return caption_ == "-"; }

  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int index) const;  // throws Exception when out of range
  int IndexOf(const TMenuItem* item) const;
  void Add(TMenuItem* item);
  void Insert(int index, TMenuItem* item);
  void Remove(TMenuItem* item);
  TMenuItem* Parent() const { return parent_; }
  // The menu whose tree holds the item, or nullptr.
  TMenu* GetParentMenu() const;
  // The menu for a top-level item, the parent item for any other.
  TComponent* GetParentComponent() const;

  // Runs OnClick (a chosen item).
  virtual void Click();
  TNotifyEvent OnClick;
  TMenuDrawItemEvent OnDrawItem;
  TMenuMeasureItemEvent OnMeasureItem;

  // The owner-draw requests: the handlers when set, a plain menu look otherwise.
  void MeasureItem(TCanvas* canvas, int& width, int& height);
  void DrawItem(TCanvas* canvas, RECT rect, bool selected);
  UINT Command() const { return command_; }

private:
  friend class TMenu;
  void Changed();
  std::string caption_;
  TShortCut shortCut_ = 0;
  bool checked_ = false, radioItem_ = false, enabled_ = true, default_ = false, visible_ = true;
  int imageIndex_ = -1;
  TBitmap bitmap_;
  TImageList* subMenuImages_ = nullptr;
  std::vector<TMenuItem*> items_;
  TMenuItem* parent_ = nullptr;
  TMenu* menu_ = nullptr;  // set on the root item only
  UINT command_;
};

class TMenu : public TComponent {
public:
  ~TMenu() override;
  const char* ClassName() const override { return "TMenu"; }
  TMenuItem* Items() { return &items_; }  // the root; its sub-items are the menu's items
  TImageList* Images() const { return images_; }
  void SetImages(TImageList* images);
  bool OwnerDraw() const { return ownerDraw_; }
  void SetOwnerDraw(bool on);
  TBiDiMode BiDiMode() const { return biDiMode_; }
  void SetBiDiMode(TBiDiMode mode);
  bool IsRightToLeft() const { return biDiMode_ != bdLeftToRight; }
  // The native menu, built on first need.
  HMENU Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  // Builds the native menu again from the items (done whenever an item changes).
  void Rebuild();

protected:
  TMenu(TComponent* AOwner, bool bar);
  virtual void Rebuilt() {}
  HMENU handle_ = nullptr;

private:
  void Build(HMENU menu, TMenuItem* parent);
  void DestroyHandle();
  bool bar_;
  TMenuItem items_;
  TImageList* images_ = nullptr;
  bool ownerDraw_ = false;
  TBiDiMode biDiMode_ = bdLeftToRight;
};

// The menu bar of a form (TForm::SetMenu).
class TMainMenu : public TMenu {
public:
  explicit TMainMenu(TComponent* AOwner) : TMenu(AOwner, true) {}
  const char* ClassName() const override { return "TMainMenu"; }
  HWND WindowHandle() const { return window_; }
  void SetWindowHandle(HWND window);

protected:
  void Rebuilt() override;

private:
  HWND window_ = nullptr;
};

class TPopupMenu : public TMenu {
public:
  explicit TPopupMenu(TComponent* AOwner) : TMenu(AOwner, false) {}
  const char* ClassName() const override { return "TPopupMenu"; }
  // Shows the menu at a screen point and returns when it closes (a chosen item has run).
  void Popup(int x, int y);
  // The window that receives the popup menus' messages.
  static HWND Window();
};

// Handles the menu messages a window receives (measure, draw and choice of an item); false for
// anything else, which the window handles itself.
bool AnswerMenuMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
