// The application object and forms: creation order, the main form, closing, activation and
// the exception barrier around every window procedure.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/exception.h"
#include "tests/winui/ui_test_util.h"

namespace {

class TFirstForm : public TForm {
public:
  explicit TFirstForm(TComponent* owner) : TForm(owner) {
    SetName("First");
    SetCaption("First form");
    SetBorderStyle(bsSingle);
    SetPosition(poScreenCenter);
    SetClientSize(200, 100);
    Button1 = new TButton(this);
    Button1->SetParent(this);
    Button1->SetName("Button1");
    Button1->SetBounds(8, 8, 80, 25);
    Button1->SetCaption("Go");
  }
  const char* ClassName() const override { return "TFirstForm"; }
  TButton* Button1;
};

class TSecondForm : public TForm {
public:
  explicit TSecondForm(TComponent* owner) : TForm(owner) {
    SetName("Second");
    SetCaption("Second form");
    SetBorderStyle(bsDialog);
    SetBorderIcons(0);
    SetClientSize(150, 80);
  }
  const char* ClassName() const override { return "TSecondForm"; }
};

TEST(Application, FirstCreatedFormIsTheMainFormAndFormsKeepTheirOrder) {
  FormsGuard guard;
  TFirstForm* first = nullptr;
  TSecondForm* second = nullptr;
  Application->CreateForm(first);
  Application->CreateForm(second);
  EXPECT_EQ(Application->MainForm(), first);
  ASSERT_EQ(Application->ComponentCount(), 2);
  EXPECT_EQ(Application->Components(0), first);
  EXPECT_EQ(Application->Components(1), second);
  // Created, not yet shown.
  EXPECT_TRUE(IsWindow(first->Handle()));
  EXPECT_FALSE(IsWindowVisible(first->Handle()));
  EXPECT_EQ(FindWindowA(nullptr, "Second form"), second->Handle());
  // Layout building is over once the form is created.
  EXPECT_EQ(first->ComponentState() & csLoading, 0u);
  EXPECT_EQ(first->Button1->ComponentState() & csLoading, 0u);
}

TEST(Application, ClosingTheMainFormEndsRunAndLeavesEveryObjectAlive) {
  FormsGuard guard;
  TFirstForm* first = nullptr;
  TSecondForm* second = nullptr;
  Application->CreateForm(first);
  Application->CreateForm(second);
  int closeCalls = 0;
  first->OnClose = [&](TObject*, TCloseAction&) { ++closeCalls; };
  TTimer* timer = new TTimer(first);
  timer->SetInterval(20);
  timer->OnTimer = [&](TObject*) {
    timer->SetEnabled(false);
    second->Show();
    first->Close();
  };
  Application->Run();  // returns only through the main form's Close
  EXPECT_EQ(closeCalls, 1);
  EXPECT_TRUE(Application->Terminated());
  EXPECT_TRUE(IsWindow(first->Handle()));
  EXPECT_TRUE(IsWindow(second->Handle()));
  EXPECT_EQ(first->Button1->Caption(), "Go");
}

TEST(Application, ClosingASecondaryFormHidesItAndTheProgramGoesOn) {
  FormsGuard guard;
  TFirstForm* first = nullptr;
  TSecondForm* second = nullptr;
  Application->CreateForm(first);
  Application->CreateForm(second);
  first->Show();
  second->Show();
  int hides = 0;
  second->OnHide = [&](TObject*) { ++hides; };
  SendMessageA(second->Handle(), WM_CLOSE, 0, 0);  // the close box
  EXPECT_FALSE(IsWindowVisible(second->Handle()));
  EXPECT_EQ(hides, 1);
  EXPECT_FALSE(Application->Terminated());
  EXPECT_TRUE(IsWindowVisible(first->Handle()));
}

TEST(Application, CloseQueryCanKeepTheFormOpenAndCloseActionNoneToo) {
  FormsGuard guard;
  TFirstForm* first = nullptr;
  Application->CreateForm(first);
  first->Show();
  bool allow = false;
  first->OnCloseQuery = [&](TObject*, bool& canClose) { canClose = allow; };
  first->Close();
  EXPECT_TRUE(IsWindowVisible(first->Handle()));
  EXPECT_FALSE(Application->Terminated());
  allow = true;
  first->OnClose = [](TObject*, TCloseAction& action) { action = caNone; };
  first->Close();
  EXPECT_TRUE(IsWindowVisible(first->Handle()));
  EXPECT_FALSE(Application->Terminated());
}

TEST(Forms, ShowFiresOnShowAndOnActivateOnceAndCentresOnTheScreen) {
  FormsGuard guard;
  TFirstForm* first = nullptr;
  TSecondForm* second = nullptr;
  Application->CreateForm(first);
  Application->CreateForm(second);
  int shows = 0, activations = 0;
  first->OnShow = [&](TObject*) { ++shows; };
  first->OnActivate = [&](TObject*) { ++activations; };
  first->Show();
  ASSERT_TRUE(PumpUntil([&] { return activations > 0; }));
  EXPECT_EQ(shows, 1);
  RECT r;
  GetWindowRect(first->Handle(), &r);
  EXPECT_NEAR((r.left + r.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((r.top + r.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
  // The asked client size holds after the frame was chosen.
  EXPECT_EQ(first->ClientWidth(), 200);
  EXPECT_EQ(first->ClientHeight(), 100);

  // A window that is not one of our forms takes the activation and gives it back: no new OnActivate.
  HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  SetForegroundWindow(other);
  PumpFor(50);
  DestroyWindow(other);
  first->Show();
  PumpFor(50);
  EXPECT_EQ(activations, 1);

  // Another form of ours becoming active and then this one again is a new activation.
  second->Show();
  PumpFor(50);
  first->Show();
  EXPECT_TRUE(PumpUntil([&] { return activations == 2; }));
}

TEST(Forms, DialogBorderWithoutIconsHasNoSystemMenu) {
  FormsGuard guard;
  TSecondForm* second = nullptr;
  Application->CreateForm(second);
  const LONG_PTR style = GetWindowLongPtrA(second->Handle(), GWL_STYLE);
  EXPECT_EQ(style & WS_SYSMENU, 0);
  EXPECT_NE(style & WS_CAPTION, 0);
  EXPECT_EQ(second->ClientWidth(), 150);
}

TEST(ExceptionBarrier, AHandlerThatThrowsReachesTheExceptionBoxAndTheProgramGoesOn) {
  FormsGuard guard;
  ExceptionCatcher catcher;
  TFirstForm* first = nullptr;
  Application->CreateForm(first);
  first->Show();
  int clicks = 0;
  first->Button1->OnClick = [&](TObject*) {
    ++clicks;
    throw Exception("List index out of bounds (59)");
  };
  SendMessageA(first->Button1->Handle(), BM_CLICK, 0, 0);
  SendMessageA(first->Button1->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 2);
  ASSERT_EQ(catcher.messages.size(), 2u);
  EXPECT_EQ(catcher.messages[0], "List index out of bounds (59)");
  // Not only our own exception class: anything thrown stops at the window procedure.
  first->Button1->OnClick = [](TObject*) { throw 42; };
  SendMessageA(first->Button1->Handle(), BM_CLICK, 0, 0);
  ASSERT_EQ(catcher.messages.size(), 3u);
  EXPECT_FALSE(catcher.messages[2].empty());
}

TEST(ExceptionBarrier, SilentControlsDropHandlerExceptionsWithoutABox) {
  FormsGuard guard;
  ExceptionCatcher catcher;
  TFirstForm* first = nullptr;
  Application->CreateForm(first);
  first->Button1->SetSilentExceptions(true);
  int clicks = 0;
  first->Button1->OnClick = [&](TObject*) {
    ++clicks;
    throw Exception("dropped");
  };
  SendMessageA(first->Button1->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(catcher.messages.empty());
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM out) {
  char cls[32] = {0};
  GetClassNameA(child, cls, sizeof(cls));
  if (lstrcmpiA(cls, "Static") == 0 && GetWindowTextLengthA(child) > 0)
    GetWindowTextA(child, reinterpret_cast<char*>(out), 256);
  return TRUE;
}

TEST(ExceptionBarrier, TheDefaultBoxIsAnErrorBoxTitledWithTheApplicationTitle) {
  FormsGuard guard;
  EXPECT_EQ(Application->Title(), "winui_test");  // the program's name until one is set
  const std::string before = Application->Title();
  Application->SetTitle("Layer Test");
  TFirstForm* first = nullptr;
  Application->CreateForm(first);
  first->Button1->OnClick = [](TObject*) { throw Exception("Something failed"); };
  // A second thread plays the user: it finds the box, reads it and presses OK.
  std::atomic<bool> seen{false};
  std::string text;
  std::thread user([&] {
    for (int i = 0; i < 500 && !seen; ++i) {
      HWND box = FindWindowA("#32770", "Layer Test");
      if (box) {
        char buf[256] = {0};
        EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(buf));
        text = buf;
        seen = true;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        break;
      }
      Sleep(10);
    }
  });
  SendMessageA(first->Button1->Handle(), BM_CLICK, 0, 0);  // returns once the box is closed
  user.join();
  EXPECT_TRUE(seen);
  EXPECT_EQ(text, "Something failed");
  first->Button1->OnClick = nullptr;
  EXPECT_TRUE(IsWindow(first->Handle()));
  Application->SetTitle(before);
}

}  // namespace

namespace {

TEST(Forms, AFormComingBackToTheFrontGivesTheFocusBackToItsLastControl) {
  FormsGuard guard;
  auto* form = new TForm(Application);
  form->SetCaption("Focus form");
  auto* label = new TLabel(form);
  label->SetParent(form);
  auto* box = new TGroupBox(form);
  box->SetParent(form);
  box->SetBounds(0, 0, 200, 100);
  auto* inner = new TEdit(form);
  inner->SetParent(box);
  inner->SetTop(20);
  auto* later = new TEdit(form);
  later->SetParent(form);
  later->SetTop(120);
  form->Show();
  inner->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == inner->Handle(); }));
  EXPECT_EQ(form->ActiveControl(), inner);
  later->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return form->ActiveControl() == later; }));
  // Another window takes the activation; coming back, the form's last focused control has it again.
  auto* other = new TForm(Application);
  other->SetCaption("Other form");
  other->Show();
  ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == other->Handle(); }));
  form->Show();
  EXPECT_TRUE(PumpUntil([&] { return GetFocus() == later->Handle(); }));
}

}  // namespace

namespace {

TEST(Application, FreeingTheFormsRunsNoActivationHandlersOnHalfGoneForms) {
  TFirstForm* first = nullptr;
  TSecondForm* second = nullptr;
  Application->CreateForm(first);
  Application->CreateForm(second);
  first->Show();
  second->Show();
  ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == second->Handle(); }));
  int events = 0;
  first->OnActivate = [&](TObject*) { ++events; };
  first->OnDeactivate = [&](TObject*) { ++events; };
  second->OnDeactivate = [&](TObject*) { ++events; };
  Application->DestroyForms();  // the second goes first and would hand the activation back
  EXPECT_EQ(events, 0);
  EXPECT_EQ(Application->ComponentCount(), 0);
  EXPECT_EQ(Application->MainForm(), nullptr);
}

}  // namespace

namespace {

TEST(ExceptionBarrier, HandleExceptionOutsideACatchReportsInsteadOfEndingTheProgram) {
  ExceptionCatcher catcher;
  Application->HandleException(Application);
  ASSERT_EQ(catcher.messages.size(), 1u);
  EXPECT_EQ(catcher.messages[0], "Unknown exception");
  // A box replacement that throws itself is contained too.
  int calls = 0;
  Application->OnException = [&](TObject*, const std::string& message) {
    ++calls;
    EXPECT_EQ(message, "first");
    throw Exception("box failed");
  };
  try {
    throw Exception("first");
  } catch (...) { Application->HandleException(Application); }
  EXPECT_EQ(calls, 1);
}

}  // namespace
