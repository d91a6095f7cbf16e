#include <gtest/gtest.h>
#include "base/sysutils.h"
#include "tests/base/temp_folder.h"
#include "tools/driver/driver.h"
#include "tools/driver/net.h"

using namespace mbdriver;

namespace {

const int kWait = 10000;

std::string TargetExe() { return ProgramFolder() + "driver_target.exe"; }

// The target's main window, started fresh for each test.
class DriverTarget : public ::testing::Test {
protected:
  void SetUp() override {
    process_ = std::make_unique<Process>(TargetExe(), "");
    window_ = WaitForTopWindow(process_->Id(), "MbDriverTarget", "Driver Target", kWait);
    ASSERT_NE(window_, nullptr);
    status_ = FindChild(window_, "msctls_statusbar32", "");
    ASSERT_NE(status_, nullptr);
  }
  bool PanelBecomes(int panel, const std::string& text) {
    return WaitUntil([&] { return StatusPanelText(status_, panel) == text; }, kWait);
  }
  std::unique_ptr<Process> process_;
  HWND window_ = nullptr;
  HWND status_ = nullptr;
};

}  // namespace

TEST(DriverProcess, ReportsTheExitCodeOfAProgramThatEnds) {
  Process p(TargetExe(), "--exit 42");
  DWORD code = 0;
  ASSERT_TRUE(p.WaitExit(kWait, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_FALSE(p.Running());
}

TEST(DriverProcess, TheProgramRunsInTheGivenWorkingFolder) {
  TempFolder t;
  Process p(TargetExe(), "--cwd", t.File(""));
  ASSERT_TRUE(p.WaitExit(kWait));
  EXPECT_EQ(ExcludeTrailingBackslash(t.Get("cwd.txt")), ExcludeTrailingBackslash(t.File("")));
}

TEST(DriverProcess, ArgumentsReachTheProgramSplitAtBlanksAndGroupedByQuotes) {
  TempFolder t;
  Process p(TargetExe(), "--args -start \"a b\"c C:\\dir\\ \"\" last", t.File(""));
  ASSERT_TRUE(p.WaitExit(kWait));
  EXPECT_EQ(t.Get("args.txt"), "6|--args|-start|a bc|C:\\dir\\||last");
}

TEST(DriverProcess, StartingAMissingProgramRaises) {
  EXPECT_THROW(Process(ProgramFolder() + "no_such_program.exe", ""), DriverError);
}

TEST(DriverProcess, KillEndsARunningProgram) {
  Process p(TargetExe(), "");
  ASSERT_NE(WaitForTopWindow(p.Id(), "", "Driver Target", kWait), nullptr);
  EXPECT_TRUE(p.Running());
  EXPECT_FALSE(p.WaitExit(50));
  p.Kill();
  EXPECT_FALSE(p.Running());
  EXPECT_EQ(FindTopWindow(p.Id(), "", "Driver Target"), nullptr);
}

TEST_F(DriverTarget, FindsWindowsByClassAndTitleOfTheProcessOnly) {
  EXPECT_EQ(FindTopWindow(process_->Id(), "", "Driver Target"), window_);
  EXPECT_EQ(FindTopWindow(process_->Id(), "MbDriverTarget", "Other title"), nullptr);
  EXPECT_EQ(FindTopWindow(process_->Id() + 4, "MbDriverTarget", ""), nullptr);
  EXPECT_TRUE(NoTopWindowFor(process_->Id(), "", "Never there", 100));
  EXPECT_FALSE(NoTopWindowFor(process_->Id(), "", "Driver Target", 100));
}

TEST_F(DriverTarget, TitlesAreReadWhileTheProgramIsBusyAndTextsOfClosedWindowsAreEmpty) {
  HWND label = FindChild(window_, "Static", "Label text");
  ASSERT_NE(label, nullptr);
  HANDLE busy = CreateEventA(nullptr, TRUE, FALSE, "MbDriverTargetBusy");
  HANDLE idle = CreateEventA(nullptr, TRUE, FALSE, "MbDriverTargetIdle");
  SetEditText(FindChildById(window_, 102), "busy");  // Enter then blocks the target's thread
  PressEnter(FindChildById(window_, 102));
  ASSERT_EQ(WaitForSingleObject(busy, kWait), WAIT_OBJECT_0);
  EXPECT_EQ(FindTopWindow(process_->Id(), "", "Driver Target"), window_);
  EXPECT_EQ(WaitForSingleObject(idle, 0), static_cast<DWORD>(WAIT_TIMEOUT));  // found while still busy
  EXPECT_EQ(TextOf(label), "Label text");                                     // a message waits for the busy thread
  EXPECT_EQ(WaitForSingleObject(idle, 0), WAIT_OBJECT_0);
  CloseHandle(busy);
  CloseHandle(idle);
  PostClose(window_);
  ASSERT_TRUE(process_->WaitExit(kWait));
  EXPECT_EQ(TextOf(label), "");
}

TEST_F(DriverTarget, ReadsChildTextsByClassTextAndId) {
  HWND label = FindChild(window_, "Static", "Label text");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(GetDlgCtrlID(label), 107);
  EXPECT_EQ(FindChildById(window_, 106), FindChild(window_, "Button", "Quit"));
  EXPECT_EQ(FindChild(window_, "Button", "", 1), FindChild(window_, "Button", "Quit"));
  EXPECT_EQ(FindChild(window_, "Button", "", 2), nullptr);
  EXPECT_TRUE(IsShown(label));
  EXPECT_TRUE(IsEnabledWindow(label));
  EXPECT_EQ(ProcessOf(label), process_->Id());
}

TEST_F(DriverTarget, ReadsStatusPanelsAndListViewCellsAcrossProcesses) {
  EXPECT_EQ(StatusPanelCount(status_), 3);
  EXPECT_EQ(StatusPanelText(status_, 0), "ready");
  EXPECT_EQ(StatusPanelText(status_, 1), "");
  HWND lv = FindChildById(window_, 104);
  ASSERT_NE(lv, nullptr);
  EXPECT_EQ(ListViewItemCount(lv), 3);
  EXPECT_EQ(ListViewColumnCount(lv), 2);
  EXPECT_EQ(ListViewItemText(lv, 0, 0), "row0");
  EXPECT_EQ(ListViewItemText(lv, 1, 1),
            "\xDC"
            "ber");
  EXPECT_EQ(ListViewItemText(lv, 2, 1), "");
  EXPECT_EQ(ListViewSelectedIndex(lv), -1);
}

TEST_F(DriverTarget, APickersDateIsSetAndReadAcrossProcesses) {
  HWND picker = FindChildById(window_, 108);
  ASSERT_NE(picker, nullptr);
  SYSTEMTIME st = {};
  st.wYear = 2030;
  st.wMonth = 2;
  st.wDay = 1;
  st.wHour = 7;
  st.wMinute = 30;
  SetDateTime(picker, st);
  const SYSTEMTIME back = DateTimeOf(picker);
  EXPECT_EQ(back.wYear, 2030);
  EXPECT_EQ(back.wMonth, 2);
  EXPECT_EQ(back.wDay, 1);
  EXPECT_EQ(back.wHour, 7);
  EXPECT_EQ(back.wMinute, 30);
}

TEST_F(DriverTarget, ComboSelectionIsReportedToTheOwnerLikeAUsersChoice) {
  HWND combo = FindChildById(window_, 103);
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(ComboItems(combo), (std::vector<std::string>{"alpha", "beta", "gamma",
                                                         "\xDC"
                                                         "ber"}));
  EXPECT_EQ(ComboSelectedIndex(combo), -1);
  SelectComboItem(combo, 2);
  EXPECT_TRUE(PanelBecomes(2, "combo:gamma"));
  EXPECT_EQ(ComboSelectedIndex(combo), 2);
  EXPECT_THROW(SelectComboItem(combo, 4), DriverError);
}

TEST_F(DriverTarget, EditTextAndEnterReachTheControl) {
  HWND edit = FindChildById(window_, 102);
  ASSERT_NE(edit, nullptr);
  SetEditText(edit, "127.0.0.1");
  EXPECT_EQ(TextOf(edit), "127.0.0.1");
  EXPECT_TRUE(PanelBecomes(2, "changed"));
  PressEnter(edit);
  EXPECT_TRUE(PanelBecomes(1, "enter:127.0.0.1"));
}

TEST_F(DriverTarget, AClickThatOpensAModalBoxDoesNotBlockAndTheBoxCanBeAnswered) {
  Click(FindChild(window_, "Button", "Press me"));
  HWND box = WaitForMessageBox(process_->Id(), kWait);
  ASSERT_NE(box, nullptr);
  const MessageBoxView v = ReadMessageBox(box);
  EXPECT_EQ(v.title, "Question");
  EXPECT_EQ(v.text, "Really\rpress?");
  EXPECT_EQ(v.buttons.size(), 2u);
  EXPECT_THROW(AnswerMessageBox(box, IDOK), DriverError);
  AnswerMessageBox(box, IDNO);
  EXPECT_TRUE(PanelBecomes(0, "no"));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, kWait));

  Click(FindChild(window_, "Button", "Press me"));
  box = WaitForMessageBox(process_->Id(), kWait);
  ASSERT_NE(box, nullptr);
  AnswerMessageBox(box, IDYES);
  EXPECT_TRUE(PanelBecomes(0, "yes"));
}

TEST_F(DriverTarget, WindowlessControlsAreListedAndClickedThroughTheirWindow) {
  const std::vector<GraphicControlView> g = GraphicChildren(window_);
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(g[0].caption, "Paint me");
  EXPECT_TRUE(g[0].visible && g[0].enabled);
  EXPECT_EQ(g[1].caption, "Hidden");
  EXPECT_FALSE(g[1].visible || g[1].enabled);
  EXPECT_TRUE(GraphicChildren(FindChildById(window_, 106)).empty());  // a plain button holds none
  EXPECT_EQ(FindGraphicOwner(window_, "Paint me"), window_);
  EXPECT_EQ(FindGraphicOwner(window_, "Hidden"), nullptr);
  EXPECT_THROW(ClickGraphic(window_, "Hidden"), DriverError);
  ClickGraphic(window_, "Paint me");
  EXPECT_TRUE(PanelBecomes(0, "graphic click"));
}

TEST_F(DriverTarget, AMouseClickGoesToTheWindowUnderThePointInItsOwnCoordinates) {
  EXPECT_EQ(WindowAt(window_, 300, 150), window_);
  ClickAt(window_, 300, 150);
  EXPECT_TRUE(PanelBecomes(0, "mouse at 300,150"));
  HWND button = FindChild(window_, "Button", "Press me");
  EXPECT_EQ(WindowAt(window_, 50, 20), button);
  ClickAt(window_, 50, 20);
  HWND box = WaitForMessageBox(process_->Id(), kWait);
  ASSERT_NE(box, nullptr);
  AnswerMessageBox(box, IDYES);
  EXPECT_TRUE(PanelBecomes(0, "yes"));
}

TEST_F(DriverTarget, QuitButtonEndsTheProgramWithItsExitCode) {
  Click(FindChild(window_, "Button", "Quit"));
  DWORD code = 0;
  ASSERT_TRUE(process_->WaitExit(kWait, &code));
  EXPECT_EQ(code, 7u);
}

TEST_F(DriverTarget, CloseMessageEndsTheProgram) {
  PostClose(window_);
  DWORD code = 1;
  ASSERT_TRUE(process_->WaitExit(kWait, &code));
  EXPECT_EQ(code, 0u);
}

TEST(DriverMessageBox, AnOwnerlessBoxOfAnotherProgramIsFoundReadAndAnswered) {
  Process p(TargetExe(), "--box \"first line\rsecond\"");
  HWND box = WaitForMessageBox(p.Id(), kWait);
  ASSERT_NE(box, nullptr);
  const MessageBoxView v = ReadMessageBox(box);
  EXPECT_EQ(v.title, "Target Box");
  EXPECT_EQ(v.text, "first line\rsecond");
  EXPECT_EQ(v.buttons.size(), 1u);
  AnswerMessageBox(box, IDOK);
  DWORD code = 0;
  ASSERT_TRUE(p.WaitExit(kWait, &code));
  EXPECT_EQ(code, 3u);
}

TEST(DriverNet, ListenerCollectsEveryDatagramSentTo127001) {
  UdpListener listener;
  ASSERT_GT(listener.Port(), 0);
  Process p(TargetExe(), "--udp " + std::to_string(listener.Port()) + " 3");
  ASSERT_TRUE(p.WaitExit(kWait));
  ASSERT_TRUE(listener.WaitForCount(3, kWait));
  EXPECT_EQ(listener.Datagrams(), (std::vector<std::string>{"ping 0", "ping 1", "ping 2"}));
  EXPECT_FALSE(listener.WaitForCount(4, 200));
}

TEST(DriverNet, FreePortsCanBeBoundAndABoundPortIsNotHandedOut) {
  const int udp = FreeUdpPort();
  const int tcp = FreeTcpPort();
  EXPECT_GT(udp, 0);
  EXPECT_GT(tcp, 0);
  UdpListener first(udp);
  EXPECT_EQ(first.Port(), udp);
  EXPECT_THROW(UdpListener second(udp), DriverError);
  EXPECT_NE(FreeUdpPort(), udp);
}
