// Forms and the application object. A form is built in its constructor: each control is made,
// given its parent first and then its properties in layout order. Forms have no owner window,
// so each top-level form has its own task-bar entry; the application's Title names the program
// in its error boxes and on its hidden application window.
#pragma once
#include <windows.h>

#include <exception>
#include <map>
#include <utility>
#include <string>
#include <vector>

#include "winui/control.h"
#include "winui/menus.h"

using TBorderIcons = unsigned;
enum : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };

enum TPosition { poDesigned, poScreenCenter, poDesktopCenter };
enum TCloseAction { caNone, caHide, caFree, caMinimize };

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

// The base of the windows that hold other controls as a whole: forms, frames and scroll boxes.
// A plain window of ours: it fills its background and paints its windowless children.
class TScrollingWinControl : public TWinControl {
public:
  explicit TScrollingWinControl(TComponent* AOwner) : TWinControl(AOwner) {}
  const char* ClassName() const override { return "TScrollingWinControl"; }
};

// A frame: a container whose controls belong to it (it owns them), placed on a form.
class TCustomFrame : public TScrollingWinControl {
public:
  explicit TCustomFrame(TComponent* AOwner);
  const char* ClassName() const override { return "TCustomFrame"; }
};

class TFrame : public TCustomFrame {
public:
  explicit TFrame(TComponent* AOwner) : TCustomFrame(AOwner) {}
  const char* ClassName() const override { return "TFrame"; }
};

class TScrollBox : public TScrollingWinControl {
public:
  explicit TScrollBox(TComponent* AOwner);
  const char* ClassName() const override { return "TScrollBox"; }
};

class TForm : public TScrollingWinControl {
public:
  explicit TForm(TComponent* AOwner);
  ~TForm() override;
  const char* ClassName() const override { return "TForm"; }

  // Shows the form and brings it to the front (it becomes the active window).
  void Show();
  void Hide() { SetVisible(false); }
  void SetVisible(bool visible) override;
  // OnCloseQuery, then OnClose; the action hides the form, and for the main form ends the
  // message loop (every object stays alive).
  void Close();
  bool CloseQuery();
  bool Active();

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons icons);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition position);
  void SetClientWidth(int w) override;
  void SetClientHeight(int h) override;
  // Sizes the window so that its client area is w x h.
  void SetClientSize(int w, int h);
  RECT ClientRect() override;

  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* control);
  // Repaints the form and every child at once.
  void RepaintNow();

  TCanvas* Canvas() { return canvas_.get(); }
  // The menu bar.
  TMainMenu* Menu() const { return menu_; }
  void SetMenu(TMainMenu* menu);
  void Notification(TComponent* AComponent, TOperation Operation) override;
  HICON Icon() const { return icon_; }
  void SetIcon(HICON icon);

  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnPaint;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

  void WndProc(TMessage& message) override;

protected:
  void CreateParams(TCreateParams& params) override;
  void HandleCreated() override;

private:
  friend class TWinControl;
  friend class TControl;
  void PlaceOnScreen();
  void ApplyFrame();
  bool DialogKey(WORD key, TWinControl* from);
  void FocusChanged(TWinControl* control);
  void UpdateHint(TControl* control);
  void RemoveHintTool(TControl* control);
  TFormBorderStyle borderStyle_ = bsSizeable;
  TBorderIcons borderIcons_ = biSystemMenu | biMinimize | biMaximize;
  TPosition position_ = poDesigned;
  TWinControl* activeControl_ = nullptr;
  std::unique_ptr<TCanvas> canvas_;
  HICON icon_ = nullptr;
  TMainMenu* menu_ = nullptr;
  HWND tooltip_ = nullptr;
  bool placed_ = false;
  int clientW_ = -1, clientH_ = -1;  // a client size asked for, kept across frame changes
  std::map<TControl*, std::pair<HWND, UINT_PTR>> hintTools_;
};

// Forms have one class here; the general name tests "is it a form of any kind".
using TCustomForm = TForm;

// What the application's exception box is given; tests replace the box through OnException.
using TExceptionEvent = std::function<void(TObject* Sender, const std::string& Message)>;

class TApplication : public TComponent {
public:
  TApplication();
  ~TApplication() override;
  const char* ClassName() const override { return "TApplication"; }

  void Initialize() {}
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title);
  HWND Handle();  // the hidden application window

  // Makes a form owned by the application; the first one becomes the main form.
  template <class T>
  void CreateForm(T*& reference) {
    reference = new T(this);
    FormCreated(reference);
  }
  TForm* MainForm() const { return mainForm_; }

  // Shows the main form and dispatches messages until Terminate.
  void Run();
  // Dispatches every waiting message, then returns.
  void ProcessMessages();
  // Waits for one message and dispatches it.
  void HandleMessage();
  void Terminate();
  bool Terminated() const { return terminated_; }

  // Called inside a catch block: shows the current exception in the default box (MB_ICONERROR,
  // the title as caption) or hands it to OnException; the program goes on.
  void HandleException(TObject* Sender);
  void ShowException(const std::string& message);
  TExceptionEvent OnException;

  // Frees every form (last created first) and forgets the main form, so a new one can be made.
  void DestroyForms();
  // Frees a form once the current message is done (close action caFree).
  void ReleaseForm(TForm* form);

  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  void FormCreated(TForm* form);
  bool ProcessMessage(MSG& msg);
  std::string title_;
  HWND handle_ = nullptr;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
  bool running_ = false;
};

extern TApplication* Application;

// The forms and the control with the input focus.
class TScreen {
public:
  TWinControl* ActiveControl();  // the focused control of the active form, or nullptr
  TForm* ActiveForm();
  int FormCount();
  TForm* Forms(int index);
  int Width() { return GetSystemMetrics(SM_CXSCREEN); }
  int Height() { return GetSystemMetrics(SM_CYSCREEN); }
};

extern TScreen* Screen;
