// Tool bars over the common controls' tool bar, with their buttons, and control bars: a
// container of bands (one per child control) that the layer draws itself, as the platform has
// no such control. A cool bar is a plain container here.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "winui/common_controls.h"
#include "winui/menus.h"

class TToolBar;

enum TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };

// Custom-draw states of a button, bit for bit as the platform reports them.
using TCustomDrawState = unsigned;
enum : unsigned { cdsSelected = 0x1, cdsDisabled = 0x4, cdsChecked = 0x8, cdsHot = 0x40, cdsIndeterminate = 0x100 };

using TTBCustomDrawBtnEvent = TMethodEvent<TToolBar*, class TToolButton*, TCustomDrawState, bool&>;

// One button of a tool bar. Not a window of its own: the tool bar shows it.
class TToolButton : public TComponent {
public:
  explicit TToolButton(TComponent* AOwner);
  ~TToolButton() override;
  const char* ClassName() const override { return "TToolButton"; }
  TToolBar* ToolBar() const { return bar_; }
  void SetToolBar(TToolBar* bar);  // appends the button to the bar
  int Index() const;
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int index);
  TToolButtonStyle Style() const { return style_; }
  void SetStyle(TToolButtonStyle style);
  bool Down() const { return down_; }
  void SetDown(bool on);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  bool Indeterminate() const { return indeterminate_; }
  void SetIndeterminate(bool on);
  TBiDiMode BiDiMode() const { return biDiMode_; }
  void SetBiDiMode(TBiDiMode mode) { biDiMode_ = mode; }
  TMenuItem* MenuItem() const { return menuItem_; }
  void SetMenuItem(TMenuItem* item);
  TPopupMenu* DropdownMenu() const { return dropdownMenu_; }
  void SetDropdownMenu(TPopupMenu* menu) { dropdownMenu_ = menu; }
  int Width() const { return width_; }
  void SetWidth(int w);     // separators and dividers
  RECT BoundsRect() const;  // in the tool bar
  TNotifyEvent OnClick;
  void Click();

private:
  friend class TToolBar;
  void Update();
  TToolBar* bar_ = nullptr;
  std::string caption_;
  int imageIndex_ = -1;
  TToolButtonStyle style_ = tbsButton;
  bool down_ = false, enabled_ = true, indeterminate_ = false;
  TBiDiMode biDiMode_ = bdLeftToRight;
  TMenuItem* menuItem_ = nullptr;
  TPopupMenu* dropdownMenu_ = nullptr;
  int width_ = 8;
  UINT command_;
};

class TToolBar : public TWinControl {
public:
  explicit TToolBar(TComponent* AOwner);
  ~TToolBar() override;
  const char* ClassName() const override { return "TToolBar"; }
  int ButtonCount() const { return static_cast<int>(buttons_.size()); }
  TToolButton* Buttons(int index) const;
  bool Flat() const { return flat_; }
  void SetFlat(bool on);
  bool List() const { return list_; }
  void SetList(bool on);
  bool ShowCaptions() const { return showCaptions_; }
  void SetShowCaptions(bool on);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);
  TImageList* Images() const { return images_; }
  void SetImages(TImageList* list);
  TImageList* HotImages() const { return hotImages_; }
  void SetHotImages(TImageList* list);
  TImageList* DisabledImages() const { return disabledImages_; }
  void SetDisabledImages(TImageList* list);
  // The canvas of the button being drawn, during OnCustomDrawButton.
  TCanvas* Canvas() { return &canvas_; }
  TTBCustomDrawBtnEvent OnCustomDrawButton;
  void WndProc(TMessage& message) override;

protected:
  void CreateParams(TCreateParams& params) override;
  void HandleCreated() override;

private:
  friend class TToolButton;
  void AddButton(TToolButton* button);
  void RemoveButton(TToolButton* button);
  void Rebuild();
  void ApplyStyle();
  LRESULT CustomDraw(NMTBCUSTOMDRAW* draw);
  std::vector<TToolButton*> buttons_;
  bool flat_ = false, list_ = false, showCaptions_ = false, transparent_ = false;
  TImageList *images_ = nullptr, *hotImages_ = nullptr, *disabledImages_ = nullptr;
  TCanvas canvas_;
};

// What a control bar draws around a band unless its band-paint handler says otherwise.
using TBandPaintOptions = unsigned;
enum : unsigned { bpoGrabber = 1, bpoFrame = 2 };
using TBandPaintEvent = TMethodEvent<TObject*, TControl*, TCanvas*, RECT&, TBandPaintOptions&>;

// Each child control is a band: the bar paints the band's background, a grabber at its left
// and a frame around it.
class TControlBar : public TCustomControl {
public:
  explicit TControlBar(TComponent* AOwner);
  const char* ClassName() const override { return "TControlBar"; }
  // The band of a child: the child's bounds with room for the grabber and the frame.
  static RECT BandRect(TControl* child);
  TBandPaintEvent OnBandPaint;

protected:
  void Paint() override;
};

class TCoolBar : public TWinControl {
public:
  explicit TCoolBar(TComponent* AOwner) : TWinControl(AOwner) {}
  const char* ClassName() const override { return "TCoolBar"; }
};
