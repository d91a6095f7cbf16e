// The console program end to end under Wine: each test lays out a fresh program folder
// (morbell.exe, the shipped language files and documents, stand-ins for the outside
// programs), starts the program and drives it from this process through window messages.
// Datagrams go to a listener on 127.0.0.1 only.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>

#include "base/inifiles.h"
#include "base/sysutils.h"
#include "console/lang.h"
#include "console/wake.h"
#include "tools/driver/driver.h"
#include "tools/driver/net.h"
#include "xpstyle/xp_colors.h"

using namespace mbdriver;

namespace {

std::string WinPath(const std::string& unixPath) {
  std::string p = "Z:" + unixPath;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

std::string ReadAll(const std::string& path) {
  std::string bytes;
  LoadFileBytes(path, bytes);
  return bytes;
}

void WriteAll(const std::string& path, const std::string& bytes) { SaveFileBytes(path, bytes); }

void CopyInto(const std::string& from, const std::string& to) {
  ASSERT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE)) << from << " -> " << to;
}

// Message box texts come back with CR LF where the program wrote a lone CR.
std::string BoxText(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i] == '\n' ? '\r' : text[i];
  }
  return out;
}

const int Wait = 20000;

class Console : public ::testing::Test {
protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    dir = std::string(temp) + "mbconsole" + std::to_string(GetCurrentProcessId()) + "_" +
          ::testing::UnitTest::GetInstance()->current_test_info()->name() + "\\";
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    CreateDirectoryA((dir + "lang").c_str(), nullptr);
    CreateDirectoryA((dir + "doc").c_str(), nullptr);
    CopyInto(WinPath(MB_MORBELL_EXE), dir + "morbell.exe");
    for (const char* f : {"deu.txt", "eng.txt"}) CopyInto(WinPath(MB_SOURCE_DIR "/lang/") + f, dir + "lang\\" + f);
    CopyInto(WinPath(MB_STANDIN_DIR "/timer.exe"), dir + "timer.exe");
    lang.Assign(SplitTextLines(ReadAll(dir + "lang\\eng.txt")));
  }

  void TearDown() override {
    program.reset();
    RemoveTree(dir);
  }

  static void RemoveTree(const std::string& d) {
    for (const std::string& sub :
         {std::string("lang\\"), std::string("doc\\"), std::string("tools\\"), std::string()}) {
      for (const std::string& name : FindFiles(d + sub + "*")) DeleteFileA((d + sub + name).c_str());
      RemoveDirectoryA((d + sub).c_str());
    }
  }

  void Ini(const std::string& text) { WriteAll(dir + "profiles.ini", text); }

  void Start(const std::string& args) { program = std::make_unique<Process>(dir + "morbell.exe", args, dir); }

  // Starts without the splash delay and waits for the console window.
  HWND StartConsole(const std::string& extra = "") {
    Start("-nowait" + extra);
    HWND w = WaitForTopWindow(program->Id(), "", "Morrowbell 1.5", Wait);
    EXPECT_TRUE(w) << "console window";
    return w;
  }

  HWND Window(const std::string& caption) { return WaitForTopWindow(program->Id(), "", caption, Wait); }

  // The innermost child window that covers a point of the window's client area.
  static HWND ControlAt(HWND top, int x, int y) {
    HWND best = top;
    long bestArea = -1;
    for (HWND c : Children(top)) {
      if (!IsShown(c)) continue;
      RECT r;
      GetWindowRect(c, &r);
      MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
      long area = (r.right - r.left) * (r.bottom - r.top);
      if (x >= r.left && x < r.right && y >= r.top && y < r.bottom && (bestArea < 0 || area < bestArea)) {
        best = c;
        bestArea = area;
      }
    }
    return best;
  }

  // A user's click at a client point: speed buttons and link labels have no window of their
  // own, so the mouse messages go to the window below them.
  static void ClickPoint(HWND top, int x, int y) {
    HWND target = ControlAt(top, x, y);
    POINT p{x, y};
    MapWindowPoints(top, target, &p, 1);
    LPARAM at = MAKELPARAM(p.x, p.y);
    PostMessageA(target, WM_MOUSEMOVE, 0, at);
    PostMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(target, WM_LBUTTONUP, 0, at);
  }

  std::string StatusText(HWND console) {
    for (HWND c : Children(console))
      if (ClassOf(c).find("tatus") != std::string::npos) {
        // A centred panel's text starts with a tab.
        std::string text = StatusPanelText(c, 0);
        return text.substr(text.find_first_not_of('\t') == std::string::npos ? text.size()
                                                                             : text.find_first_not_of('\t'));
      }
    return "<no status bar>";
  }

  MessageBoxView Box() {
    HWND box = WaitForMessageBox(program->Id(), Wait);
    EXPECT_TRUE(box) << "message box";
    if (!box) return {};
    MessageBoxView v = ReadMessageBox(box);
    v.text = BoxText(v.text);
    return v;
  }

  bool Exited(int ms = Wait) { return program->WaitExit(ms); }

  // Fills the profile editor's fields (inside its second group box at 0, 48), saves, and
  // answers the message that the profile was saved.
  void SaveInEditor(HWND editor, const std::string& name, const std::string& mac, const std::string& host) {
    SetEditText(ControlAt(editor, 100, 48 + 30), name);
    SetEditText(ControlAt(editor, 100, 48 + 62), mac);
    SetEditText(ControlAt(editor, 100, 48 + 94), host);
    ClickGraphic(editor, lang[33]);
    MessageBoxView box = Box();
    EXPECT_EQ(box.text, lang[54] + name + lang[55]);
    AnswerMessageBox(box.handle, IDOK);
  }

  std::string dir;
  TLangLines lang;
  std::unique_ptr<Process> program;
};

// Client points of the console window's controls (stored layout); the resolve button has no
// caption to find it by.
const POINT ResolveButton{291, 99}, Edit1At{100, 74}, Edit2At{100, 98};

TEST_F(Console, StartSendsWakeTimesDatagramsToTheHostWithoutShowingTheConsole) {
  UdpListener listener;
  const std::string ini =
      "[settings]\r\nwaketimes=3\r\nwakewait=20\r\nwakeupport=" + std::to_string(listener.Port()) + "\r\n";
  Ini(ini);
  Start("-start 001122334455 127.0.0.1");
  bool consoleSeen = false;
  WaitUntil(
      [&] {
        try {
          if (FindTopWindow(program->Id(), "", "Morrowbell 1.5")) consoleSeen = true;
        } catch (const DriverError&) {
          // a window that goes away while it is asked for its text
        }
        return !program->Running();
      },
      Wait);
  ASSERT_FALSE(program->Running());
  EXPECT_FALSE(consoleSeen);
  ASSERT_TRUE(listener.WaitForCount(3, 5000));
  TWakePayload golden = BuildWakePayload({0x00, 0x11, 0x22, 0x33, 0x44, 0x55});
  std::vector<std::string> got = listener.Datagrams();
  ASSERT_EQ(got.size(), 3u);
  for (const std::string& d : got) EXPECT_EQ(d, std::string(golden.begin(), golden.end()));
  // The wake keys are only read; the start-up adds the profile choice and the language.
  EXPECT_EQ(ReadAll(dir + "profiles.ini"), ini + "lpro=\r\nlang=eng.txt\r\n");
}

TEST_F(Console, AShortMacFailsWhileReadingItAndSendsNothing) {
  UdpListener listener;
  Ini("[settings]\r\nwakeupport=" + std::to_string(listener.Port()) + "\r\n");
  Start("-start 0011223344 127.0.0.1");
  MessageBoxView box = Box();
  EXPECT_EQ(box.text, lang[46] + "0011223344" + lang[47] + "\r\r" + lang[48] + "\r" + lang[40]);
  AnswerMessageBox(box.handle, IDOK);
  EXPECT_TRUE(Exited());
  EXPECT_EQ(listener.Count(), 0u);
}

// Values another hand put into profiles.ini: the start neither hangs on a count far above the
// profiles there nor sends the datagram to a port other than the one asked for.
TEST_F(Console, DamagedSettingsNeitherHangTheStartNorSendToAnotherPort) {
  UdpListener listener;
  const int port = listener.Port();
  const std::string twoProfiles =
      "profilename0=a\r\nprofilemac0=001122334455\r\nprofilesub0=127.0.0.1\r\n"
      "profilename1=b\r\nprofilemac1=001122334455\r\nprofilesub1=127.0.0.1\r\n";
  const std::string stageSend = lang[46] + "001122334455" + lang[47] + "\r\r" + lang[48] + "\r" + lang[42];
  const struct {
    std::string ini;
    bool sent;  // else the wake-up's error box at the sending stage
  } cases[] = {
      {"[settings]\r\nwakeupport=" + std::to_string(port) + "\r\n[profiles]\r\ncount=2147483647\r\n" + twoProfiles,
       true},
      {"[settings]\r\nwakeupport=" + std::to_string(port + 65536) + "\r\n", false},  // wraps to the listener's port
      {"[settings]\r\nwakeupport=" + std::to_string(port - 65536) + "\r\n", false},  // and so does this
      {"[settings]\r\nwakeupport=0\r\n", false},
  };
  for (const auto& c : cases) {
    const size_t before = listener.Count();
    Ini(c.ini);
    Start("-start 001122334455 127.0.0.1");
    if (!c.sent) {
      MessageBoxView box = Box();
      EXPECT_EQ(box.text, stageSend) << c.ini;
      AnswerMessageBox(box.handle, IDOK);
    }
    EXPECT_TRUE(Exited()) << c.ini;
    program.reset();
    EXPECT_EQ(listener.WaitForCount(before + 1, c.sent ? 5000 : 500), c.sent) << c.ini;
  }
}

TEST_F(Console, StartAtWritesTimerDatStartsTimerAndTheConsoleFollows) {
  Start("-startat 001122334455 pc1 01.02.2030 07:30:00");
  ASSERT_TRUE(WaitUntil([&] { return FileExists(dir + "timer.marker"); }, Wait));
  EXPECT_EQ(ReadAll(dir + "timer.dat"), "001122334455\r\npc1\r\n01.02.2030\r\n07:30:00\r\n");
  HWND console = Window("Morrowbell 1.5");
  ASSERT_TRUE(console) << "the start-up goes on to the console";
  // The close box ends the program without asking.
  PostClose(console);
  EXPECT_TRUE(Exited());
}

TEST_F(Console, StartAtWithMissingArgumentsWritesEmptyLines) {
  WriteAll(dir + "timer.dat", "a much longer old file\r\nwith\r\nmore\r\nlines\r\nthan four\r\n");
  Start("-startat 001122334455 pc1");
  ASSERT_TRUE(WaitUntil([&] { return FileExists(dir + "timer.marker"); }, Wait));
  EXPECT_EQ(ReadAll(dir + "timer.dat"), "001122334455\r\npc1\r\n\r\n\r\n");
}

TEST_F(Console, ATimerDatThatCannotBeWrittenIsReportedAndNoTimerStarts) {
  // A folder in the file's place: every write of it fails.
  ASSERT_TRUE(CreateDirectoryA((dir + "timer.dat").c_str(), nullptr));
  Start("-startat 001122334455 pc1 01.02.2030 07:30:00");
  MessageBoxView box = Box();
  EXPECT_NE(box.text.find(dir + "timer.dat"), std::string::npos) << box.text;
  AnswerMessageBox(box.handle, IDOK);
  HWND console = Window("Morrowbell 1.5");
  ASSERT_TRUE(console) << "the start-up goes on to the console";
  // The timed-wake window's button says the same.
  ClickGraphic(console, lang[8]);
  HWND clock = Window(lang[21]);
  ASSERT_TRUE(clock);
  ClickGraphic(clock, lang[25]);
  box = Box();
  EXPECT_NE(box.text.find(dir + "timer.dat"), std::string::npos) << box.text;
  AnswerMessageBox(box.handle, IDOK);
  EXPECT_FALSE(FileExists(dir + "timer.marker")) << "timer.exe would arm an old timer";
  RemoveDirectoryA((dir + "timer.dat").c_str());
}

TEST_F(Console, WakeButtonWaitsForTheEchoAnswerAndReportsIt) {
  UdpListener listener;
  Ini("[settings]\r\nwakeupport=" + std::to_string(listener.Port()) + "\r\nwaketimes=2\r\nwakewait=0\r\n");
  HWND console = StartConsole();
  ASSERT_TRUE(console);
  SetEditText(ControlAt(console, Edit1At.x, Edit1At.y), "AABBCCDDEEFF");
  SetEditText(ControlAt(console, Edit2At.x, Edit2At.y), "127.0.0.1");
  ClickGraphic(console, lang[7]);
  MessageBoxView box = Box();
  EXPECT_EQ(box.text, "127.0.0.1" + lang[43]);
  EXPECT_TRUE(FindTopWindow(program->Id(), "", lang[35])) << "the wait dialog is up meanwhile";
  EXPECT_FALSE(IsEnabledWindow(console));
  AnswerMessageBox(box.handle, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return StatusText(console) == lang[44] + "AABBCCDDEEFF"; }, Wait)) << StatusText(console);
  EXPECT_TRUE(IsEnabledWindow(console));
  EXPECT_TRUE(NoTopWindowFor(program->Id(), "", lang[35], 200));
  EXPECT_EQ(listener.Datagrams().size(), 2u);
  TWakePayload golden = BuildWakePayload({0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF});
  EXPECT_EQ(listener.Datagrams()[0], std::string(golden.begin(), golden.end()));
}

TEST_F(Console, CancelInTheWaitDialogEndsTheWakeUpWithoutAnAnswerBox) {
  UdpListener listener;
  Ini("[settings]\r\nwakeupport=" + std::to_string(listener.Port()) + "\r\n");
  HWND console = StartConsole();
  ASSERT_TRUE(console);
  HWND wait = FindTopWindow(program->Id(), "", lang[35], false);
  ASSERT_TRUE(wait);
  SetEditText(ControlAt(console, Edit1At.x, Edit1At.y), "001122334455");
  SetEditText(ControlAt(console, Edit2At.x, Edit2At.y), "127.0.0.1");
  // The cancel button, then Alt+F4 on the dialog, which counts as the same. Each time both
  // actions are queued together: the cancel reaches the wait dialog as soon as the wake-up
  // shows it and lets window messages through, before any answer is awaited.
  for (int round = 0; round < 2; ++round) {
    ClickGraphic(console, lang[7]);
    if (round == 0) {
      PostMessageA(wait, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 80));
      PostMessageA(wait, WM_LBUTTONUP, 0, MAKELPARAM(120, 80));
    } else {
      PostClose(wait);
    }
    // One datagram goes out per round before the wait notices the cancel.
    ASSERT_TRUE(WaitUntil(
        [&] {
          return listener.Count() == static_cast<size_t>(round + 1) && !IsShown(wait) && IsEnabledWindow(console);
        },
        Wait))
        << "round " << round;
    EXPECT_EQ(StatusText(console), lang[45]) << "round " << round;
    EXPECT_TRUE(NoTopWindowFor(program->Id(), "#32770", "", 500));
  }
  EXPECT_TRUE(program->Running());
}

TEST_F(Console, AShortLanguageFileStillReachesTheConsole) {
  std::string shortFile = "Kurz\r\nreadme.txt\r\nhelp.txt\r\nWecken (kurz)\r\nL4\r\nL5\r\nL6\r\nL7\r\nL8\r\nL9\r\n";
  WriteAll(dir + "lang\\eng.txt", shortFile);
  HWND console = StartConsole();
  ASSERT_TRUE(console);
  EXPECT_TRUE(FindChild(console, "", "Wecken (kurz)")) << "line 3 of the short file";
  // Lines the file lacks keep the built-in texts, e.g. the profile editor's caption.
  EXPECT_TRUE(FindTopWindow(program->Id(), "", BuiltinLangLines()[27], false));
}

TEST_F(Console, AProfilesFileThatCannotBeWrittenStillReachesTheConsole) {
  // A folder in the file's place: it reads as empty, and every write fails.
  ASSERT_TRUE(CreateDirectoryA((dir + "profiles.ini").c_str(), nullptr));
  HWND console = StartConsole();
  EXPECT_TRUE(console);
  EXPECT_TRUE(DirectoryExists(dir + "profiles.ini"));
  RemoveDirectoryA((dir + "profiles.ini").c_str());
}

TEST_F(Console, ExitButtonAsksLine49AndEndsOnlyOnYes) {
  HWND console = StartConsole();
  ASSERT_TRUE(console);
  ClickGraphic(console, lang[11]);
  MessageBoxView box = Box();
  EXPECT_EQ(box.text, lang[49]);
  AnswerMessageBox(box.handle, IDNO);
  EXPECT_FALSE(Exited(500));
  ClickGraphic(console, lang[11]);
  box = Box();
  AnswerMessageBox(box.handle, IDYES);
  EXPECT_TRUE(Exited());
}

TEST_F(Console, HostNamesResolveByButtonAndEnterAndUnknownNamesStay) {
  HWND console = StartConsole();
  ASSERT_TRUE(console);
  HWND edit2 = ControlAt(console, Edit2At.x, Edit2At.y);
  SetEditText(edit2, "localhost");
  PressEnter(edit2);
  EXPECT_TRUE(WaitUntil([&] { return TextOf(edit2) == "127.0.0.1"; }, Wait)) << TextOf(edit2);

  SetEditText(edit2, "127.0.0.1");
  ClickPoint(console, ResolveButton.x, ResolveButton.y);
  EXPECT_TRUE(NoTopWindowFor(program->Id(), "#32770", "", 1000));
  EXPECT_EQ(TextOf(edit2), "127.0.0.1");

  for (const std::string& unknown : {std::string("no-such-host.invalid"), std::string(300, 'a')}) {
    SetEditText(edit2, unknown);
    ClickPoint(console, ResolveButton.x, ResolveButton.y);
    MessageBoxView box = Box();
    EXPECT_EQ(box.text, lang[39]);
    AnswerMessageBox(box.handle, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return TextOf(edit2) == unknown; }, Wait));
  }
}

TEST_F(Console, ProfilesSavedInTheEditorCanBeChosenInTheConsole) {
  HWND console = StartConsole();
  ASSERT_TRUE(console);
  ClickGraphic(console, lang[10]);
  HWND editor = Window(lang[27]);
  ASSERT_TRUE(editor);
  // The editor is shown before the console hides, so the hiding is awaited.
  EXPECT_TRUE(WaitUntil([&] { return !IsShown(console); }, Wait));
  SaveInEditor(editor, "pc1", "001122334455", "127.0.0.1");
  ASSERT_TRUE(
      WaitUntil([&] { return TIniFile(dir + "profiles.ini").ReadString("profiles", "count", "") == "1"; }, Wait));
  TIniFile ini(dir + "profiles.ini");
  EXPECT_EQ(ini.ReadString("profiles", "profilename0", ""), "pc1");
  EXPECT_EQ(ini.ReadString("profiles", "profilemac0", ""), "001122334455");
  EXPECT_EQ(ini.ReadString("profiles", "profilesub0", ""), "127.0.0.1");

  ClickGraphic(editor, lang[34]);
  ASSERT_TRUE(WaitUntil([&] { return IsShown(console); }, Wait));
  EXPECT_TRUE(WaitUntil([&] { return !IsShown(editor); }, Wait));
  HWND profiles = ControlAt(console, 100, 30);
  EXPECT_EQ(ComboItems(profiles), std::vector<std::string>{"pc1"});
  SelectComboItem(profiles, 0);
  HWND edit1 = ControlAt(console, Edit1At.x, Edit1At.y);
  EXPECT_TRUE(WaitUntil([&] { return TextOf(edit1) == "001122334455"; }, Wait));
  EXPECT_EQ(TextOf(ControlAt(console, Edit2At.x, Edit2At.y)), "127.0.0.1");
  EXPECT_TRUE(
      WaitUntil([&] { return TIniFile(dir + "profiles.ini").ReadString("settings", "lpro", "") == "pc1"; }, Wait));
}

// A count far above the profiles the file holds, or profiles deleted by hand: every profile
// left is listed and wakes with its own keys, and a saved one goes after the highest.
TEST_F(Console, TheEditorSavesAfterTheListedProfilesWhateverTheCountSays) {
  UdpListener listener;
  const std::string twoProfiles =
      "profilename0=pc1\r\nprofilemac0=111111111111\r\nprofilesub0=127.0.0.1\r\n"
      "profilename1=pc2\r\nprofilemac1=222222222222\r\nprofilesub1=127.0.0.1\r\n";
  const std::string onlyFourLeft = "profilename4=Vier\r\nprofilemac4=444444444444\r\nprofilesub4=127.0.0.1\r\n";
  // Names in the ANSI code page, keys in another letter case, a gap between them.
  const std::string umlauts =
      "profilename1=K\xFChlraum\r\nProfileMac1=111111111111\r\nprofilesub1=127.0.0.1\r\n"
      "PROFILENAME3=B\xFCro\r\nPROFILEMAC3=333333333333\r\nPROFILESUB3=127.0.0.1\r\n";
  const struct {
    std::string profiles, saved;
    int index;  // where the saved profile goes
    std::vector<std::string> listed;
    int chosen;  // the box position woken
    std::string mac;
  } cases[] = {
      {"count=-1\r\n", "Gamma", 0, {"Gamma"}, 0, "AABBCCDDEEFF"},
      {"count=2147483647\r\n" + twoProfiles, "Gamma", 2, {"pc1", "pc2", "Gamma"}, 1, "222222222222"},
      {"count=5\r\n" + onlyFourLeft, "Gamma", 5, {"Vier", "Gamma"}, 0, "444444444444"},
      {"count=4\r\n" + umlauts, "G\xE4mma", 4, {"K\xFChlraum", "B\xFCro", "G\xE4mma"}, 1, "333333333333"},
  };
  for (const auto& c : cases) {
    Ini("[settings]\r\nwakeupport=" + std::to_string(listener.Port()) + "\r\n[profiles]\r\n" + c.profiles);
    HWND console = StartConsole();
    ASSERT_TRUE(console) << c.profiles;
    ClickGraphic(console, lang[10]);
    HWND editor = Window(lang[27]);
    ASSERT_TRUE(editor);
    SaveInEditor(editor, c.saved, "AABBCCDDEEFF", "127.0.0.1");
    const std::string count = std::to_string(c.index + 1);
    ASSERT_TRUE(
        WaitUntil([&] { return TIniFile(dir + "profiles.ini").ReadString("profiles", "count", "") == count; }, Wait))
        << c.profiles;
    TIniFile ini(dir + "profiles.ini");
    EXPECT_EQ(ini.ReadString("profiles", "profilename" + std::to_string(c.index), ""), c.saved);
    EXPECT_EQ(ini.ReadString("profiles", "profilemac" + std::to_string(c.index), ""), "AABBCCDDEEFF");
    HWND editorList = GetParent(ControlAt(editor, 100, 26));
    EXPECT_TRUE(WaitUntil([&] { return ComboItems(editorList) == c.listed; }, Wait)) << c.profiles;
    ClickGraphic(editor, lang[34]);
    ASSERT_TRUE(WaitUntil([&] { return IsShown(console); }, Wait));
    HWND profiles = ControlAt(console, 100, 30);
    EXPECT_EQ(ComboItems(profiles), c.listed);
    SelectComboItem(profiles, c.chosen);
    HWND edit1 = ControlAt(console, Edit1At.x, Edit1At.y);
    EXPECT_TRUE(WaitUntil([&] { return TextOf(edit1) == c.mac; }, Wait)) << TextOf(edit1);
    const size_t before = listener.Count();
    ClickGraphic(console, lang[7]);
    MessageBoxView box = Box();
    EXPECT_EQ(box.text, "127.0.0.1" + lang[43]);
    AnswerMessageBox(box.handle, IDOK);
    ASSERT_TRUE(listener.WaitForCount(before + 1, 5000)) << c.profiles;
    TMacBytes mac = ParseMacText(c.mac);
    TWakePayload golden = BuildWakePayload(mac);
    EXPECT_EQ(listener.Datagrams()[before], std::string(golden.begin(), golden.end())) << c.profiles;
    program.reset();
  }
}

TEST_F(Console, TheEditorTakesTheChosenProfilesNameAndKeepsItsTextWhenSaving) {
  Ini("[profiles]\r\ncount=2\r\nprofilename0=pc1\r\nprofilemac0=111111111111\r\nprofilesub0=host1\r\n"
      "profilename1=pc2\r\nprofilemac1=222222222222\r\nprofilesub1=host2\r\n");
  HWND console = StartConsole();
  ASSERT_TRUE(console);
  ClickGraphic(console, lang[10]);
  HWND editor = Window(lang[27]);
  ASSERT_TRUE(editor);
  HWND comboEdit = ControlAt(editor, 100, 26);  // the edit field inside ComboBox1
  HWND combo = GetParent(comboEdit);
  HWND name = ControlAt(editor, 100, 48 + 30), mac = ControlAt(editor, 100, 48 + 62),
       host = ControlAt(editor, 100, 48 + 94);
  // Chosen with the arrow key as a user does: the list reports the choice before the edit
  // field shows it.
  PressKey(comboEdit, VK_DOWN);
  PressKey(comboEdit, VK_DOWN);
  ASSERT_TRUE(WaitUntil([&] { return ComboSelectedIndex(combo) == 1 && TextOf(mac) == "222222222222"; }, Wait));
  EXPECT_EQ(TextOf(name), "pc2");
  EXPECT_EQ(TextOf(host), "host2");

  SetEditText(host, "host2b");
  ClickGraphic(editor, lang[33]);
  MessageBoxView box = Box();
  EXPECT_EQ(box.text, lang[54] + "pc2" + lang[55]);
  AnswerMessageBox(box.handle, IDOK);
  ASSERT_TRUE(WaitUntil(
      [&] { return TIniFile(dir + "profiles.ini").ReadString("profiles", "profilesub1", "") == "host2b"; }, Wait));
  TIniFile ini(dir + "profiles.ini");
  EXPECT_EQ(ini.ReadString("profiles", "count", ""), "2");
  EXPECT_EQ(ini.ReadString("profiles", "profilesub0", ""), "host1");
  // The lists were filled anew; the editor keeps its texts.
  EXPECT_EQ(ComboItems(combo), (std::vector<std::string>{"pc1", "pc2"}));
  EXPECT_EQ(TextOf(comboEdit), "pc2");
  EXPECT_EQ(TextOf(name), "pc2");
  EXPECT_EQ(TextOf(mac), "222222222222");
  EXPECT_EQ(TextOf(host), "host2b");
}

TEST_F(Console, ClosingASecondaryWindowReturnsToTheConsoleAsItsBackButtonDoes) {
  HWND console = StartConsole();
  ASSERT_TRUE(console);
  // The opening button's line and the window's caption line: editor, timed wake, about box.
  for (const auto& [button, caption] : {std::pair{10, 27}, std::pair{8, 21}, std::pair{13, 17}}) {
    ClickGraphic(console, lang[button]);
    HWND window = Window(lang[caption]);
    ASSERT_TRUE(window) << lang[caption];
    ASSERT_TRUE(WaitUntil([&] { return !IsShown(console); }, Wait));
    PostClose(window);  // Alt+F4: these windows have no close box
    EXPECT_TRUE(WaitUntil([&] { return IsShown(console) && !IsShown(window); }, Wait)) << lang[caption];
  }
  EXPECT_FALSE(Exited(200));
}

// Every window but the splash carries the XP-style component, which paints an idle framed speed
// button's left edge in the button shadow lightened by 30 % and a one-pixel flat panel in the
// face darkened by 60, where their own painting puts a raised edge and a black line. The
// screen is read, so the pointer is parked where it makes nothing hot.
TEST_F(Console, EveryWindowWithTheComponentPaintsItsControlsFlat) {
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
  const COLORREF buttonEdge = LightenRGB(GetSysColor(COLOR_BTNSHADOW), 30);
  const COLORREF panelLine = DarkenRGB(GetSysColor(COLOR_BTNFACE), 60);
  COLORREF seen = 0;
  auto shows = [&](HWND window, POINT at, COLORREF colour) {
    const RECT pixel{at.x, at.y, at.x + 1, at.y + 1};
    return WaitUntil([&] { return (seen = Capture(window, pixel).At(0, 0)) == colour; }, 5000);
  };
  UdpListener listener;
  Ini("[settings]\r\nwakeupport=" + std::to_string(listener.Port()) + "\r\nwaketimes=1\r\nwakewait=0\r\n");
  HWND console = StartConsole();
  ASSERT_TRUE(console);
  EXPECT_TRUE(shows(console, POINT{480, 108}, buttonEdge)) << "exit button: " << std::hex << seen;
  // The opening button's line, the window's caption line, and a point of a styled control:
  // the editor's and the timed wake's back buttons, the about box's upper panel.
  const struct {
    int button, caption;
    POINT at;
    COLORREF colour;
  } windows[] = {{10, 27, {0, 187}, buttonEdge}, {8, 21, {0, 123}, buttonEdge}, {13, 17, {100, 48}, panelLine}};
  for (const auto& w : windows) {
    ClickGraphic(console, lang[w.button]);
    HWND window = Window(lang[w.caption]);
    ASSERT_TRUE(window) << lang[w.caption];
    ASSERT_TRUE(WaitUntil([&] { return !IsShown(console); }, Wait));
    EXPECT_TRUE(shows(window, w.at, w.colour)) << lang[w.caption] << ": " << std::hex << seen;
    PostClose(window);
    ASSERT_TRUE(WaitUntil([&] { return IsShown(console); }, Wait));
  }
  // The wait dialog is up while the answer's box is; the box is moved off it.
  SetEditText(ControlAt(console, Edit1At.x, Edit1At.y), "001122334455");
  SetEditText(ControlAt(console, Edit2At.x, Edit2At.y), "127.0.0.1");
  ClickGraphic(console, lang[7]);
  MessageBoxView box = Box();
  ASSERT_TRUE(box.handle);
  SetWindowPos(box.handle, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  HWND wait = FindTopWindow(program->Id(), "", lang[35]);
  ASSERT_TRUE(wait);
  EXPECT_TRUE(shows(wait, POINT{0, 80}, buttonEdge)) << "wait dialog: " << std::hex << seen;
  AnswerMessageBox(box.handle, IDOK);
}

TEST_F(Console, TheAboutBoxsTermsTextCannotBeTypedInto) {
  HWND console = StartConsole();
  ASSERT_TRUE(console);
  ClickGraphic(console, lang[13]);
  HWND aboutBox = Window(lang[17]);
  ASSERT_TRUE(aboutBox);
  HWND memo = ControlAt(aboutBox, 100, 80);
  const std::string terms = TextOf(memo);
  ASSERT_FALSE(terms.empty());
  PostMessageA(memo, WM_CHAR, 'x', 1);
  PostMessageA(memo, WM_KEYDOWN, VK_DELETE, 1);
  PostMessageA(memo, WM_KEYDOWN, VK_BACK, 1);
  EXPECT_FALSE(WaitUntil([&] { return TextOf(memo) != terms; }, 500));
}

TEST_F(Console, TimedWakeWritesThePickedDateAndTimeAndStartsTimer) {
  HWND console = StartConsole();
  ASSERT_TRUE(console);
  SetEditText(ControlAt(console, Edit1At.x, Edit1At.y), "001122334455");
  SetEditText(ControlAt(console, Edit2At.x, Edit2At.y), "pc1");
  SYSTEMTIME before;
  GetLocalTime(&before);
  ClickGraphic(console, lang[8]);
  HWND clock = Window(lang[21]);
  ASSERT_TRUE(clock);
  ClickGraphic(clock, lang[25]);
  ASSERT_TRUE(WaitUntil([&] { return FileExists(dir + "timer.marker"); }, Wait));
  std::vector<std::string> lines = SplitTextLines(ReadAll(dir + "timer.dat"));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "001122334455");
  EXPECT_EQ(lines[1], "pc1");
  char date[64], time[64];
  GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &before, nullptr, date, sizeof(date));
  EXPECT_EQ(lines[2], date);
  // The picked time is the time the window was opened, in the long time format.
  bool matched = false;
  FILETIME ft;
  SystemTimeToFileTime(&before, &ft);
  for (int s = -1; s <= 30 && !matched; ++s) {
    ULARGE_INTEGER u{{ft.dwLowDateTime, ft.dwHighDateTime}};
    u.QuadPart += static_cast<ULONGLONG>(static_cast<LONGLONG>(s) * 10000000LL);
    FILETIME f2{u.LowPart, u.HighPart};
    SYSTEMTIME t;
    FileTimeToSystemTime(&f2, &t);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &t, nullptr, time, sizeof(time));
    matched = lines[3] == time;
  }
  EXPECT_TRUE(matched) << lines[3];
  EXPECT_TRUE(ReadAll(dir + "timer.dat").find("\r\n") != std::string::npos);
}

// The 32-bit view of the local machine's registry, as the shipped program sees it.
struct RegistryKey {
  explicit RegistryKey(const std::string& path) : path(path) {
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY, nullptr, &key,
                    nullptr);
  }
  void Set(const std::string& name, const std::string& value) {
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
  }
  ~RegistryKey() {
    RegCloseKey(key);
    size_t cut = path.rfind('\\');
    HKEY parent = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.substr(0, cut).c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &parent) ==
        ERROR_SUCCESS) {
      RegDeleteKeyA(parent, path.substr(cut + 1).c_str());
      RegCloseKey(parent);
    }
  }
  std::string path;
  HKEY key = nullptr;
};

const char* const ShutdownKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Penhollow Shutdown";

TEST_F(Console, ShutdownToolIsStartedFromItsRegisteredFolderOrReportedMissing) {
  HWND console = StartConsole();
  ASSERT_TRUE(console);
  ClickGraphic(console, lang[9]);
  MessageBoxView box = Box();
  EXPECT_EQ(box.text, lang[50] + "\r" + lang[51] + "\r" + lang[52]);
  AnswerMessageBox(box.handle, IDOK);

  CreateDirectoryA((dir + "tools").c_str(), nullptr);
  CopyInto(WinPath(MB_STANDIN_DIR "/shutdown.exe"), dir + "tools\\shutdown.exe");
  RegistryKey key(ShutdownKey);
  key.Set("userdir", dir + "tools");
  ClickGraphic(console, lang[9]);
  EXPECT_TRUE(WaitUntil([&] { return FileExists(dir + "tools\\shutdown.marker"); }, Wait));
  EXPECT_TRUE(NoTopWindowFor(program->Id(), "#32770", "", 300));
}

TEST_F(Console, UpdateClientIsStartedFromProgramFilesOrReportedMissing) {
  // A prefix without a 32-bit Wine has no Program Files folder in the 32-bit view yet; the
  // test then registers the usual one there for its run.
  HKEY cv = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, nullptr, 0,
                            KEY_READ | KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &cv, nullptr),
            ERROR_SUCCESS);
  char pf[MAX_PATH] = {};
  DWORD size = sizeof(pf) - 1;
  bool registered = false;
  if (RegQueryValueExA(cv, "ProgramFilesDir", nullptr, nullptr, reinterpret_cast<BYTE*>(pf), &size) != ERROR_SUCCESS) {
    strcpy(pf, "C:\\Program Files (x86)");
    RegSetValueExA(cv, "ProgramFilesDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(pf),
                   static_cast<DWORD>(strlen(pf) + 1));
    CreateDirectoryA(pf, nullptr);
    registered = true;
  }
  struct Unregister {
    HKEY key;
    bool on;
    ~Unregister() {
      if (on) RegDeleteValueA(key, "ProgramFilesDir");
      RegCloseKey(key);
    }
  } unregister{cv, registered};
  const std::string clientDir = std::string(pf) + "\\Quillmoor\\Skyvane\\";
  DeleteFileA((clientDir + "skyvane.exe").c_str());
  DeleteFileA((clientDir + "skyvane.marker").c_str());

  HWND console = StartConsole();
  ASSERT_TRUE(console);
  ClickGraphic(console, lang[13]);
  HWND aboutBox = Window(lang[17]);
  ASSERT_TRUE(aboutBox);
  ClickGraphic(aboutBox, lang[19]);
  MessageBoxView box = Box();
  EXPECT_EQ(box.text, lang[53]);
  AnswerMessageBox(box.handle, IDOK);

  CreateDirectoryA((std::string(pf) + "\\Quillmoor").c_str(), nullptr);
  CreateDirectoryA(clientDir.c_str(), nullptr);
  CopyInto(WinPath(MB_STANDIN_DIR "/skyvane.exe"), clientDir + "skyvane.exe");
  ClickGraphic(aboutBox, lang[19]);
  EXPECT_TRUE(WaitUntil([&] { return FileExists(clientDir + "skyvane.marker"); }, Wait));
  DeleteFileA((clientDir + "skyvane.exe").c_str());
  DeleteFileA((clientDir + "skyvane.marker").c_str());
  RemoveDirectoryA(clientDir.c_str());

  ClickGraphic(aboutBox, lang[20]);
  EXPECT_TRUE(WaitUntil([&] { return IsShown(console); }, Wait));
}

}  // namespace
