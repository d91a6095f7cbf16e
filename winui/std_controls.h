// The standard controls: label, edits, memos, rich edit, combo box, group box, push button,
// check box, radio button, panel.
// Windowed ones are copies of the native classes; click and change events arrive as
// notifications the parent hands back (CN_COMMAND), so they run inside the control's
// WindowProc like every other message.
#pragma once
#include "winui/control.h"

// A windowless text. Transparent labels show whatever their parent painted below them.
class TLabel : public TGraphicControl {
public:
  explicit TLabel(TComponent* AOwner);
  const char* ClassName() const override { return "TLabel"; }
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool on);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool on);
  bool Transparent() const { return !Opaque(); }
  void SetTransparent(bool on);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  void WndProc(TMessage& message) override;

protected:
  void Paint() override;
  void ApplyText(const std::string& text) override;
  void FontChanged() override;
  void AdjustSize();

private:
  bool autoSize_ = true;
  bool wordWrap_ = false;
  TAlignment alignment_ = taLeftJustify;
};

class TCustomEdit : public TWinControl {
public:
  explicit TCustomEdit(TComponent* AOwner);
  const char* ClassName() const override { return "TCustomEdit"; }
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle style);  // frame changed in place
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool on);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int n);
  bool Modified();
  void SetModified(bool on);
  int SelStart();
  void SetSelStart(int pos);
  int SelLength();
  void SetSelLength(int len);
  void SelectAll();
  void Clear() { SetText(""); }
  TNotifyEvent OnChange;
  void WndProc(TMessage& message) override;

protected:
  void CreateParams(TCreateParams& params) override;
  void HandleCreated() override;
  void UpdateFrameStyle() override;

private:
  TBorderStyle borderStyle_ = bsSingle;
  bool readOnly_ = false;
  int maxLength_ = 0;
};

// One-line edit. Enter and Escape reach OnKeyDown like any other key.
class TEdit : public TCustomEdit {
public:
  explicit TEdit(TComponent* AOwner);
  const char* ClassName() const override { return "TEdit"; }
};

// An edit that comes with a caption of its own in the class library; here only the edit.
class TCustomLabeledEdit : public TCustomEdit {
public:
  explicit TCustomLabeledEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
  const char* ClassName() const override { return "TCustomLabeledEdit"; }
};

class TLabeledEdit : public TCustomLabeledEdit {
public:
  explicit TLabeledEdit(TComponent* AOwner) : TCustomLabeledEdit(AOwner) {}
  const char* ClassName() const override { return "TLabeledEdit"; }
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TCustomMemo : public TCustomEdit {
public:
  explicit TCustomMemo(TComponent* AOwner);
  ~TCustomMemo() override;
  const char* ClassName() const override { return "TCustomMemo"; }
  TControlStrings* Lines() { return lines_.get(); }
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle s);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool on);

protected:
  void CreateParams(TCreateParams& params) override;

private:
  std::unique_ptr<TControlStrings> lines_;
  TScrollStyle scrollBars_ = ssNone;
  bool wordWrap_ = true;
};

class TMemo : public TCustomMemo {
public:
  explicit TMemo(TComponent* AOwner) : TCustomMemo(AOwner) {}
  const char* ClassName() const override { return "TMemo"; }
};

// The platform's rich edit control (text only). Its background colour is set on the control,
// not answered through WM_CTLCOLOR.
class TCustomRichEdit : public TCustomMemo {
public:
  explicit TCustomRichEdit(TComponent* AOwner);
  const char* ClassName() const override { return "TCustomRichEdit"; }

protected:
  void CreateParams(TCreateParams& params) override;
  void HandleCreated() override;
  void WndProc(TMessage& message) override;
};

class TRichEdit : public TCustomRichEdit {
public:
  explicit TRichEdit(TComponent* AOwner) : TCustomRichEdit(AOwner) {}
  const char* ClassName() const override { return "TRichEdit"; }
};

enum TComboBoxStyle { csDropDown, csDropDownList };

// Items are kept in the object as well as in the window, so they survive before the window exists.
// Height is the closed height; the window is made taller by the drop-down list.
class TCustomCombo : public TWinControl {
public:
  explicit TCustomCombo(TComponent* AOwner);
  ~TCustomCombo() override;
  const char* ClassName() const override { return "TCustomCombo"; }
  TControlStrings* Items() { return items_.get(); }
  int ItemIndex();  // the native selection, -1 when none
  void SetItemIndex(int index);
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int n);
  bool DroppedDown();
  void SetDroppedDown(bool on);
  void SetBounds(int left, int top, int width, int height) override;
  // The focus is in the combo box, its edit field or its list.
  bool Focused() override;
  // OnChange: selection changed or text typed into the edit field.
  TNotifyEvent OnChange;
  TNotifyEvent OnDropDown;
  void WndProc(TMessage& message) override;

protected:
  void HandleCreated() override;
  // While a choice from the list is reported, the edit field still shows the text before it:
  // the text is then the chosen entry.
  std::string GetText() override;
  int ListHeight();

private:
  friend class TComboItems;
  static LRESULT CALLBACK EditFieldProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  bool PointerInside();
  HWND editField_ = nullptr;  // the native edit of a drop-down combo box
  WNDPROC editFieldProc_ = nullptr;
  std::unique_ptr<TControlStrings> items_;
  int dropDownCount_ = 8;
  int itemIndex_ = -1;     // kept while there is no window
  bool choosing_ = false;  // inside OnChange of a choice from the list
};

class TComboBox : public TCustomCombo {
public:
  explicit TComboBox(TComponent* AOwner) : TCustomCombo(AOwner) {}
  const char* ClassName() const override { return "TComboBox"; }
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle style);  // before the window is made

protected:
  void CreateParams(TCreateParams& params) override;

private:
  TComboBoxStyle style_ = csDropDown;
};

// A captioned frame that holds controls. Mouse messages over it reach it (and its windowless
// children), not the window below.
class TCustomGroupBox : public TWinControl {
public:
  explicit TCustomGroupBox(TComponent* AOwner);
  const char* ClassName() const override { return "TCustomGroupBox"; }
  void WndProc(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;

protected:
  void CreateParams(TCreateParams& params) override;
  void ReadingOrderStyle(DWORD& style, DWORD& exStyle) override;  // the caption on the right
};

class TGroupBox : public TCustomGroupBox {
public:
  explicit TGroupBox(TComponent* AOwner) : TCustomGroupBox(AOwner) {}
  const char* ClassName() const override { return "TGroupBox"; }
};

class TButton : public TWinControl {
public:
  explicit TButton(TComponent* AOwner);
  const char* ClassName() const override { return "TButton"; }
  bool Default() const { return default_; }
  void SetDefault(bool on);
  void WndProc(TMessage& message) override;

protected:
  void CreateParams(TCreateParams& params) override;

private:
  bool default_ = false;
};

// A check box or radio button: a mark and its caption. Checked is kept by the control (the
// native button only shows it); a click changes it as the kind says, then OnClick runs.
class TButtonControl : public TWinControl {
public:
  const char* ClassName() const override { return "TButtonControl"; }
  bool Checked() const { return checked_; }
  virtual void SetChecked(bool on);
  void WndProc(TMessage& message) override;

protected:
  TButtonControl(TComponent* AOwner, DWORD buttonStyle);
  void CreateParams(TCreateParams& params) override;
  void HandleCreated() override;
  void ReadingOrderStyle(DWORD& style, DWORD& exStyle) override;  // the mark on the right
  virtual void Clicked() = 0;

private:
  DWORD buttonStyle_;
  bool checked_ = false;
};

class TCustomCheckBox : public TButtonControl {
public:
  explicit TCustomCheckBox(TComponent* AOwner);
  const char* ClassName() const override { return "TCustomCheckBox"; }

protected:
  void Clicked() override { SetChecked(!Checked()); }
};

class TCheckBox : public TCustomCheckBox {
public:
  explicit TCheckBox(TComponent* AOwner) : TCustomCheckBox(AOwner) {}
  const char* ClassName() const override { return "TCheckBox"; }
};

// Checking a radio button clears the other radio buttons of its parent.
class TRadioButton : public TButtonControl {
public:
  explicit TRadioButton(TComponent* AOwner);
  const char* ClassName() const override { return "TRadioButton"; }
  void SetChecked(bool on) override;

protected:
  void Clicked() override { SetChecked(true); }
};

enum TBevelCut { bvNone, bvLowered, bvRaised };

// A windowed container that paints its own background, bevels and caption.
class TCustomPanel : public TCustomControl {
public:
  explicit TCustomPanel(TComponent* AOwner);
  const char* ClassName() const override { return "TCustomPanel"; }
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut b);
  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut b);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int w);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle s);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);

protected:
  void Paint() override;
  void CreateParams(TCreateParams& params) override;

private:
  TBevelCut bevelOuter_ = bvRaised;
  TBevelCut bevelInner_ = bvNone;
  int bevelWidth_ = 1;
  TBorderStyle borderStyle_ = bsNone;
  TAlignment alignment_ = taCenter;
};

class TPanel : public TCustomPanel {
public:
  explicit TPanel(TComponent* AOwner) : TCustomPanel(AOwner) {}
  const char* ClassName() const override { return "TPanel"; }
};
