// The update client from the outside: the real program under Wine, driven through its windows,
// against the test server on 127.0.0.1 that stands in for the update server through http_proxy
// (the compiled-in address stays). Installers and the self-update program are stand-ins that
// leave a marker of their command line.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/inifiles.h"
#include "base/sysutils.h"
#include "tests/download/test_server.h"
#include "tools/driver/driver.h"
#include "xpstyle/xp_colors.h"

using namespace mbdriver;

namespace {

const int kWait = 30000;

std::string Host(const char* unixPath) { return testserver::HostPath(unixPath); }

std::string Fixture(const std::string& name) { return Host(MB_SOURCE_DIR) + "\\tests\\updater\\data\\" + name; }

std::string ReadAll(const std::string& file) {
  std::string data;
  LoadFileBytes(file, data);
  return data;
}

void CopyTo(const std::string& from, const std::string& to) {
  std::string data;
  ASSERT_TRUE(LoadFileBytes(from, data)) << from;
  SaveFileBytes(to, data);
}

void MakeDirs(const std::string& dir) {
  std::string partial;
  for (size_t i = 0; i < dir.size(); ++i) {
    partial += dir[i];
    if ((dir[i] == '\\' || i + 1 == dir.size()) && partial.size() > 3) CreateDirectoryA(partial.c_str(), nullptr);
  }
}

bool ContainsText(const std::vector<std::string>& lines, const std::string& tag) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.find(tag) != std::string::npos; });
}

// One client installation: the program in a folder whose name holds blanks, the programs it
// updates below, and the files the server offers under a path of this test's own.
class Client {
public:
  explicit Client(const std::string& tag) : tag_(tag) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    base_ = std::string(temp) + "sky e2e " + tag + "\\";
    app_ = base_ + "Quill moor\\Skyvane\\";
    MakeDirs(app_ + "data");
    CopyTo(Host(MB_SKYVANE_EXE), app_ + "skyvane.exe");
    for (const char* media : {"help.htm", "logo.bmp", "world.avi"})
      CopyTo(Host(MB_SOURCE_DIR) + "\\updater\\data\\" + media, app_ + "data\\" + media);
    SaveFileBytes(app_ + "ver.kvr", "[self]\r\nver=1.2.0\r\n");
  }
  ~Client() {
    // Leave the test server's files and the client's folder for the next run to replace.
  }
  const std::string& App() const { return app_; }
  std::string ProgramDir(const std::string& name) const { return base_ + "Apps\\" + name + "\\"; }
  std::string Url(const std::string& file) const { return "http://update.quillmoor.invalid/" + tag_ + "/" + file; }

  // A program of the maker installed on this machine; its executable is a stand-in.
  void AddProgram(const std::string& exe, const std::string& name, const std::string& version) {
    programs_.push_back({exe, name, version});
    MakeDirs(ProgramDir(name));
    CopyTo(Host(MB_STANDIN_EXE), ProgramDir(name) + exe);
    std::string text = "[info]\r\ncount=" + std::to_string(programs_.size()) + "\r\n";
    for (size_t i = 0; i < programs_.size(); ++i) {
      std::string n = std::to_string(i + 1);
      text += "path" + n + "=" + ProgramDir(programs_[i].name) + programs_[i].exe + "\r\nname" + n + "=" +
              programs_[i].name + "\r\nver" + n + "=" + programs_[i].version + "\r\n";
    }
    SaveFileBytes(app_ + "progs.kvr", text);
  }
  // A file on the server below this test's path.
  void Serve(const std::string& file, const std::string& bytes) const {
    std::string dir = testserver::Root() + "\\" + tag_ + "\\";
    MakeDirs(dir);
    SaveFileBytes(dir + file, bytes);
  }
  void ServeIndex(const std::string& text) const {
    std::string dir = testserver::Root() + "\\qm\\downloads\\kvr\\";
    MakeDirs(dir);
    SaveFileBytes(dir + "update.inf", text);
    DeleteFileA((dir + "update.inf.location").c_str());
  }
  // The index address answers with a redirect to this location (until the next ServeIndex).
  void RedirectIndex(const std::string& location) const {
    std::string dir = testserver::Root() + "\\qm\\downloads\\kvr\\";
    MakeDirs(dir);
    SaveFileBytes(dir + "update.inf.location", location);
  }
  std::string Standin() const { return ReadAll(Host(MB_STANDIN_EXE)); }
  // A logo of the given size beside the program, as an uncompressed 24-bit picture.
  void PlaceLogo(int width, int height) const {
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + stride * height;
    std::string data(reinterpret_cast<const char*>(&file), sizeof(file));
    data.append(reinterpret_cast<const char*>(&info), sizeof(info));
    for (int y = 0; y < height; ++y) {
      std::string row(stride, '\0');
      for (int x = 0; x < width; ++x) row[x * 3] = static_cast<char>(x * 255 / width), row[x * 3 + 2] = '\x80';
      data += row;
    }
    SaveFileBytes(app_ + "data\\logo.bmp", data);
  }
  std::string Version(int n) const {
    return TIniFile(app_ + "progs.kvr").ReadString("info", "ver" + std::to_string(n), "?");
  }

private:
  struct Program {
    std::string exe, name, version;
  };
  std::string tag_, base_, app_;
  std::vector<Program> programs_;
};

// The running client and its wizard window.
class Wizard {
public:
  explicit Wizard(const Client& client, const std::string& args = "")
      : process_(client.App() + "skyvane.exe", args, client.App()) {}
  Process& Proc() { return process_; }
  HWND Window(const std::string& caption = "Skyvane - 1.2.0") {
    if (!window_) window_ = WaitForTopWindow(process_.Id(), "", caption, kWait);
    return window_;
  }
  HWND Control(const std::string& text) { return FindChild(Window(), "", text); }
  HWND ListView(int nth) {
    int seen = 0;
    for (HWND w : Children(Window())) {
      std::string cls = ClassOf(w);
      std::transform(cls.begin(), cls.end(), cls.begin(), ::tolower);
      if (cls.find("listview") != std::string::npos && seen++ == nth) return w;
    }
    return nullptr;
  }
  bool Shown(const std::string& text) {
    HWND w = Control(text);
    return w && IsWindowVisible(w);
  }
  // A label (windowless) with this caption is shown.
  bool LabelShown(const std::string& caption) { return FindGraphicOwner(Window(), caption) != nullptr; }
  void Press(const std::string& text) {
    HWND button = Control(text);
    ASSERT_NE(button, nullptr) << text;
    ASSERT_TRUE(WaitUntil([&] { return IsEnabledWindow(button) && IsShown(button); }, kWait)) << text;
    Click(button);
  }
  // Walks from the welcome page through both lists, each showing `updates` rows, and starts the downloads.
  void StartDownloads(int updates) {
    Press("Weiter >>");
    ASSERT_TRUE(WaitUntil([&] { return ListViewItemCount(ListView(0)) == updates; }, kWait));
    Press("Weiter >>");
    ASSERT_TRUE(WaitUntil([&] { return ListViewItemCount(ListView(1)) == updates; }, kWait));
    Press("Weiter >>");
  }
  // Opens the about box, which takes the wizard's place; nullptr when it does not appear.
  HWND OpenAboutBox() {
    Press("Über...");
    HWND about = WaitForTopWindow(process_.Id(), "", "Über... Skyvane", kWait);
    if (about && !WaitUntil([&] { return !IsShown(Window()); }, kWait)) return nullptr;
    return about;
  }
  // Cancels the downloads; returns the dialog that waits for the transfer to end.
  HWND CancelDownloads() {
    Press("Abbrechen");
    return WaitForTopWindow(process_.Id(), "", "Bitte warten...", kWait);
  }
  // The lines the index page's memo shows.
  std::string StatusText() {
    HWND memo = FindChild(Window(), "MbEDIT", "");
    return memo ? TextOf(memo) : "<no memo>";
  }
  // Answers the next message box with OK and returns its text.
  std::string AcknowledgeBox() {
    HWND box = WaitForMessageBox(process_.Id(), kWait);
    if (!box) return "<no box>";
    std::string text = ReadMessageBox(box).text;
    AnswerMessageBox(box, IDOK);
    return text;
  }

private:
  Process process_;
  HWND window_ = nullptr;
};

// With MB_SHOT_DIR set (the rendering script does), the window as it is on the screen goes
// into <dir>\<name>.bmp; otherwise nothing happens.
void Shot(HWND window, const std::string& name) {
  std::string dir = testserver::Env("MB_SHOT_DIR");
  if (dir.empty() || !window) return;
  Sleep(300);  // let the page finish painting
  RECT r;
  GetClientRect(window, &r);
  ScreenPixels shot = Capture(window, r);
  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = shot.width;
  info.biHeight = shot.height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + static_cast<DWORD>(shot.bits.size());
  std::string data(reinterpret_cast<const char*>(&file), sizeof(file));
  data.append(reinterpret_cast<const char*>(&info), sizeof(info));
  data += shot.bits;
  SaveFileBytes(Host(dir.c_str()) + "\\" + name + ".bmp", data);
}

std::string RowText(HWND list, int row, int sub) { return list ? ListViewItemText(list, row, sub) : "<none>"; }

}  // namespace

class SkyvaneE2E : public ::testing::Test {
protected:
  void SetUp() override {
    if (!testserver::Available()) GTEST_SKIP() << "needs the test server";
  }
};

TEST_F(SkyvaneE2E, NormalRunInstallsBothProgramsSilentlyAndRecordsTheirVersions) {
  Client c("normal");
  c.AddProgram("tool.exe", "Tool", "1.0");
  c.AddProgram("other.exe", "Other", "3.1");
  c.Serve("tool_setup.exe", c.Standin());
  c.Serve("other_setup.exe", c.Standin());
  c.ServeIndex("[self]\r\nnewver=1.2.0\r\n[tool.exe]\r\nnewver=2.0\r\nupdurl=" + c.Url("tool_setup.exe") +
               "\r\nmodus=1\r\nsize=12 KB\r\n[other.exe]\r\nnewver=3.2\r\nupdurl=" + c.Url("other_setup.exe") +
               "\r\nmodus=2\r\n");
  Wizard w(c);
  ASSERT_NE(w.Window(), nullptr);
  // Found while the client answers: during the installation it is busy.
  HWND installPage = w.Control("Installation der Updates...");
  Shot(w.Window(), "skyvane-step0");
  w.Press("Weiter >>");
  ASSERT_TRUE(WaitUntil([&] { return ListViewItemCount(w.ListView(0)) == 2; }, kWait));
  EXPECT_EQ(RowText(w.ListView(0), 0, 0), "Tool");
  Shot(w.Window(), "skyvane-step1");
  w.Press("Weiter >>");
  if (WaitUntil([&] { return w.Shown("Bitte warten, es wird nach Updates gesucht..."); }, kWait, 5))
    Shot(w.Window(), "skyvane-step2");
  ASSERT_TRUE(WaitUntil([&] { return w.Shown("Folgende Updates sind verfügbar"); }, kWait));
  Shot(w.Window(), "skyvane-step3");
  ASSERT_EQ(ListViewItemCount(w.ListView(1)), 2);
  EXPECT_EQ(RowText(w.ListView(1), 1, 1), "3.1");
  EXPECT_EQ(RowText(w.ListView(1), 1, 2), "3.2");
  w.Press("Weiter >>");
  if (WaitUntil([&] { return installPage && IsWindowVisible(installPage); }, kWait)) Shot(w.Window(), "skyvane-step5");
  ASSERT_TRUE(WaitUntil([&] { return w.Control("Fertig.") != nullptr; }, 60000));
  Shot(w.Window(), "skyvane-step6");
  HWND summary = w.ListView(2);
  ASSERT_EQ(ListViewItemCount(summary), 2);
  EXPECT_EQ(RowText(summary, 0, 1), "Erfolgreich");
  EXPECT_EQ(RowText(summary, 1, 1), "Erfolgreich");

  std::string toolMarker = ReadAll(c.App() + "tool_setup.exe.marker");
  std::string otherMarker = ReadAll(c.App() + "other_setup.exe.marker");
  EXPECT_NE(toolMarker.find("\"" + c.App() + "tool_setup.exe\" /VERYSILENT"), std::string::npos) << toolMarker;
  EXPECT_NE(otherMarker.find("\"" + c.App() + "other_setup.exe\" /SILENT"), std::string::npos) << otherMarker;
  EXPECT_EQ(otherMarker.find("VERYSILENT"), std::string::npos);
  EXPECT_EQ(c.Version(1), "2.0");
  EXPECT_EQ(c.Version(2), "3.2");

  auto requests = testserver::Requests("update.quillmoor.invalid");
  EXPECT_TRUE(ContainsText(requests, "/qm/downloads/kvr/update.inf HTTP/1.0"));
  EXPECT_TRUE(ContainsText(requests, "/normal/tool_setup.exe HTTP/1.0"));
  EXPECT_TRUE(ContainsText(requests, "/normal/other_setup.exe HTTP/1.0"));
  EXPECT_TRUE(ContainsText(requests, "Skyvane"));

  w.Press("Fertig.");
  DWORD code = 1;
  EXPECT_TRUE(w.Proc().WaitExit(kWait, &code));
  EXPECT_EQ(code, 0u);
}

TEST_F(SkyvaneE2E, TheWelcomePageShowsTheGlobeTurning) {
  Client c("globe");
  c.AddProgram("tool.exe", "Tool", "1.0");
  Wizard w(c);
  ASSERT_NE(w.Window(), nullptr);
  const RECT animation{8, 132, 128, 180};
  ASSERT_TRUE(WaitUntil([&] { return Capture(w.Window(), animation).Colours() > 8; }, kWait)) << "no picture";
  const std::string first = Capture(w.Window(), animation).bits;
  EXPECT_TRUE(WaitUntil([&] { return Capture(w.Window(), animation).bits != first; }, 3000)) << "not playing";
  w.Press("Beenden");
  HWND box = WaitForMessageBox(w.Proc().Id(), kWait);
  ASSERT_NE(box, nullptr);
  AnswerMessageBox(box, IDYES);
  EXPECT_TRUE(w.Proc().WaitExit(kWait));
}

TEST_F(SkyvaneE2E, ALogoBesideTheProgramDoesNotStallTheUpdateDownloads) {
  Client c("logo");
  c.PlaceLogo(40, 30);
  c.AddProgram("tool.exe", "Tool", "1.0");
  c.AddProgram("other.exe", "Other", "1.0");
  // Many chunks each, so the transfer lives through many progress reports.
  std::string big = c.Standin();
  big.append(40000, 'x');
  c.Serve("tool_setup.exe", big);
  c.Serve("other_setup.exe", big);
  c.ServeIndex("[self]\r\nnewver=1.2.0\r\n[tool.exe]\r\nnewver=2.0\r\nmodus=1\r\nupdurl=" + c.Url("tool_setup.exe") +
               "\r\n[other.exe]\r\nnewver=2.0\r\nmodus=1\r\nupdurl=" + c.Url("other_setup.exe") + "\r\n");
  Wizard w(c);
  ASSERT_NE(w.Window(), nullptr);
  ASSERT_NO_FATAL_FAILURE(w.StartDownloads(2));
  ASSERT_TRUE(WaitUntil([&] { return w.Control("Fertig.") != nullptr; }, 60000)) << "the downloads stalled";
  HWND summary = w.ListView(2);
  ASSERT_EQ(ListViewItemCount(summary), 2);
  EXPECT_EQ(RowText(summary, 0, 1), "Erfolgreich");
  EXPECT_EQ(RowText(summary, 1, 1), "Erfolgreich");
  EXPECT_EQ(c.Version(1), "2.0");
  EXPECT_EQ(c.Version(2), "2.0");
  w.Press("Fertig.");
  EXPECT_TRUE(w.Proc().WaitExit(kWait));
}

TEST_F(SkyvaneE2E, ZipUpdatesUnpackAndBrokenOnesFailWithoutRecordingTheirVersion) {
  Client c("zips");
  // Broken archives first: the updates after a failure are still installed.
  c.AddProgram("crc.exe", "Crc", "1.0");
  c.AddProgram("tool.exe", "Tool", "1.0");
  c.AddProgram("trav.exe", "Trav", "1.0");
  c.AddProgram("lib.exe", "Lib", "1.0");
  c.AddProgram("dev.exe", "Dev", "1.0");
  c.AddProgram("doc.exe", "Doc", "1.0");
  // Its folder named in ANSI, as the installers write progs.kvr; beside it the folder that
  // name reads as in the OEM code page.
  c.AddProgram("mw.exe", "Müller Werkzeug", "1.0");
  MakeDirs(c.ProgramDir("M³ller Werkzeug"));
  c.Serve("tool_update.zip", ReadAll(Fixture("update_infozip.zip")));
  c.Serve("mw_update.zip", ReadAll(Fixture("update_infozip.zip")));
  c.Serve("lib_update.zip", ReadAll(Fixture("update_deflate64.zip")));
  c.Serve("crc_update.zip", ReadAll(Fixture("bad_crc.zip")));
  c.Serve("trav_update.zip", ReadAll(Fixture("traversal.zip")));
  // nul.txt names a device on Windows: its bytes would vanish there while the update looked
  // complete.
  c.Serve("dev_update.zip", ReadAll(Fixture("device.zip")));
  // Python's zipfile marks the name doc/Übersicht.txt as UTF-8.
  c.Serve("doc_update.zip", ReadAll(Fixture("update_utf8_names.zip")));
  std::string index = "[self]\r\nnewver=1.2.0\r\n";
  for (const char* p : {"tool", "lib", "crc", "trav", "dev", "doc", "mw"})
    index += std::string("[") + p +
             ".exe]\r\nnewver=2.0\r\nmodus=0\r\nupdurl=" + c.Url(std::string(p) + "_update.zip") + "\r\n";
  c.ServeIndex(index);
  std::string crcOld = ReadAll(c.ProgramDir("Crc") + "crc.exe");

  Wizard w(c);
  ASSERT_NE(w.Window(), nullptr);
  ASSERT_NO_FATAL_FAILURE(w.StartDownloads(7));
  ASSERT_TRUE(WaitUntil([&] { return w.Control("Fertig.") != nullptr; }, 60000));
  HWND summary = w.ListView(2);
  ASSERT_EQ(ListViewItemCount(summary), 7);
  EXPECT_EQ(RowText(summary, 0, 1), "Fehler!");
  EXPECT_EQ(RowText(summary, 1, 1), "Erfolgreich");
  EXPECT_EQ(RowText(summary, 2, 1), "Fehler!");
  EXPECT_EQ(RowText(summary, 3, 1), "Erfolgreich");
  EXPECT_EQ(RowText(summary, 4, 1), "Fehler!");
  EXPECT_EQ(RowText(summary, 5, 1), "Erfolgreich");
  EXPECT_EQ(RowText(summary, 6, 1), "Erfolgreich");

  for (const char* p : {"Tool", "Lib", "Müller Werkzeug"}) {
    std::string dir = c.ProgramDir(p);
    EXPECT_EQ(ReadAll(dir + "docs\\readme.txt").size(), 3300u) << p;
    EXPECT_EQ(ReadAll(dir + "lib\\x.dll").size(), 5000u) << p;
    EXPECT_EQ(ReadAll(dir + "tool.exe"), "new tool program\r\n") << p;
  }
  EXPECT_FALSE(FileExists(c.App() + "tool_update.zip"));
  EXPECT_FALSE(FileExists(c.App() + "lib_update.zip"));
  EXPECT_EQ(c.Version(1), "1.0");
  EXPECT_EQ(c.Version(2), "2.0");
  EXPECT_EQ(c.Version(3), "1.0");
  EXPECT_EQ(c.Version(4), "2.0");
  EXPECT_EQ(c.Version(5), "1.0");
  EXPECT_EQ(c.Version(6), "2.0");
  EXPECT_EQ(ReadAll(c.ProgramDir("Doc") + "doc\\\334bersicht.txt"), "\303\234bersicht der Neuerungen\r\n");
  EXPECT_EQ(c.Version(7), "2.0");
  EXPECT_FALSE(FileExists(c.ProgramDir("M³ller Werkzeug") + "tool.exe"));
  EXPECT_EQ(ReadAll(c.ProgramDir("Crc") + "crc.exe"), crcOld);
  EXPECT_TRUE(FileExists(c.ProgramDir("Trav") + "good.txt"));
  EXPECT_FALSE(FileExists(c.ProgramDir("Trav") + "..\\evil.txt"));
  EXPECT_FALSE(FileExists(c.ProgramDir("Trav") + "..\\..\\evil2.txt"));
  EXPECT_EQ(ReadAll(c.ProgramDir("Dev") + "good.txt"), "fine\n");
  w.Press("Fertig.");
  EXPECT_TRUE(w.Proc().WaitExit(kWait));
}

TEST_F(SkyvaneE2E, RunningProgramsAreNamedInAWarningAndTheWizardGoesOn) {
  Client c("running");
  c.AddProgram("tool.exe", "Tool", "1.0");
  c.AddProgram("other.exe", "Other", "1.0");
  Process tool(c.ProgramDir("Tool") + "tool.exe", "-sleep");
  Wizard w(c);
  ASSERT_NE(w.Window(), nullptr);
  w.Press("Weiter >>");
  EXPECT_EQ(w.AcknowledgeBox(), "Bitte beenden sie folgende Programme, bevor sie mit Skyvane fortfahren:\r\rTool");
  EXPECT_TRUE(WaitUntil([&] { return ListViewItemCount(w.ListView(0)) == 2; }, kWait));
  tool.Kill();
}

TEST_F(SkyvaneE2E, SelfUpdateHandsOverToSelfExeAndNewverRecordsTheVersion) {
  Client c("self");
  c.AddProgram("tool.exe", "Tool", "1.0");
  CopyTo(Host(MB_STANDIN_EXE), c.App() + "self.exe");
  c.Serve("self.zip", "PK self update archive");
  c.ServeIndex("[self]\r\nnewver=1.3.0\r\nupdurl=" + c.Url("self.zip") + "\r\n[tool.exe]\r\nnewver=2.0\r\n");
  {
    Wizard w(c);
    ASSERT_NE(w.Window(), nullptr);
    w.Press("Weiter >>");
    ASSERT_TRUE(WaitUntil([&] { return ListViewItemCount(w.ListView(0)) == 1; }, kWait));
    w.Press("Weiter >>");
    EXPECT_EQ(w.AcknowledgeBox().rfind("Es wurde eine neue Version von Skyvane gefunden.", 0), 0u);
    EXPECT_TRUE(w.Proc().WaitExit(kWait));
  }
  EXPECT_EQ(ReadAll(c.App() + "self.zip"), "PK self update archive");
  ASSERT_TRUE(WaitUntil([&] { return FileExists(c.App() + "self.exe.marker"); }, kWait));
  EXPECT_EQ(TIniFile(c.App() + "ver.kvr").ReadString("self", "ver", ""), "1.2.0");

  Wizard again(c, "-newver");
  EXPECT_EQ(again.AcknowledgeBox(), "Die Aktualisierung von Skyvane wurde erfolgreich abgeschlossen.");
  ASSERT_NE(again.Window("Skyvane - 1.3.0"), nullptr);
  EXPECT_EQ(TIniFile(c.App() + "ver.kvr").ReadString("self", "ver", ""), "1.3.0");
  again.Press("Beenden");
  HWND box = WaitForMessageBox(again.Proc().Id(), kWait);
  ASSERT_NE(box, nullptr);
  EXPECT_NE(ReadMessageBox(box).text.find("Möchten sie fortfahren?"), std::string::npos);
  AnswerMessageBox(box, IDYES);
  EXPECT_TRUE(again.Proc().WaitExit(kWait));
}

TEST_F(SkyvaneE2E, NoUpdatesAndNoProgramsEndTheClientWithTheirMessages) {
  Client c("none");
  c.AddProgram("tool.exe", "Tool", "2.0");
  c.ServeIndex("[self]\r\nnewver=1.2.0\r\n[tool.exe]\r\nnewver=2.0\r\n");
  {
    Wizard w(c);
    ASSERT_NE(w.Window(), nullptr);
    w.Press("Weiter >>");
    ASSERT_TRUE(WaitUntil([&] { return ListViewItemCount(w.ListView(0)) == 1; }, kWait));
    w.Press("Weiter >>");
    EXPECT_EQ(w.AcknowledgeBox(), "Es wurden keine Updates gefunden. Skyvane wird nun beendet.");
    DWORD code = 1;
    EXPECT_TRUE(w.Proc().WaitExit(kWait, &code));
    EXPECT_EQ(code, 0u);
  }
  DeleteFileA((c.App() + "progs.kvr").c_str());
  Wizard w(c);
  ASSERT_NE(w.Window(), nullptr);
  w.Press("Weiter >>");
  std::string text = w.AcknowledgeBox();
  EXPECT_EQ(text.rfind("Skyvane konnte keine Programme von Quillmoor", 0), 0u) << text;
  EXPECT_NE(text.find("welche  Skyvane"), std::string::npos);
  EXPECT_TRUE(w.Proc().WaitExit(kWait));
}

TEST_F(SkyvaneE2E, AMissingUpdateStopsTheDownloadsAndOnlyTheCompleteOneIsInstalled) {
  Client c("missing");
  c.AddProgram("tool.exe", "Tool", "1.0");
  c.AddProgram("other.exe", "Other", "3.1");
  c.Serve("tool_setup.exe", c.Standin());
  c.ServeIndex("[tool.exe]\r\nnewver=2.0\r\nmodus=1\r\nupdurl=" + c.Url("tool_setup.exe") +
               "\r\n[other.exe]\r\nnewver=3.2\r\nmodus=2\r\nupdurl=" + c.Url("not_there.exe") + "\r\n");
  Wizard w(c);
  ASSERT_NE(w.Window(), nullptr);
  ASSERT_NO_FATAL_FAILURE(w.StartDownloads(2));
  ASSERT_TRUE(WaitUntil([&] { return w.LabelShown("Vorgang wird abgebrochen..."); }, kWait));
  EXPECT_FALSE(FileExists(c.App() + "not_there.exe"));
  EXPECT_TRUE(FileExists(c.App() + "tool_setup.exe"));
  HWND dialog = FindTopWindow(w.Proc().Id(), "", "Bitte warten...");
  EXPECT_EQ(dialog, nullptr);
  w.Press("Weiter >>");
  ASSERT_TRUE(WaitUntil([&] { return w.Control("Fertig.") != nullptr; }, 60000));
  HWND summary = w.ListView(2);
  EXPECT_EQ(RowText(summary, 0, 1), "Erfolgreich");
  EXPECT_EQ(RowText(summary, 1, 1), "Fehler!");
  EXPECT_EQ(c.Version(1), "2.0");
  EXPECT_EQ(c.Version(2), "3.1");
  w.Press("Fertig.");
  EXPECT_TRUE(w.Proc().WaitExit(kWait));
}

// "Abbrechen" during the second download, while its body comes slowly or while its server
// redirects without end, each answer after a second: the cancel takes effect at the next piece
// or the next redirect, not when the body or the redirects run out, and the wizard starts over.
TEST_F(SkyvaneE2E, CancelDuringTheSecondDownloadDeletesItsFileAndStartsOver) {
  // Addresses that still end in a plain file name.
  const struct {
    std::string id, url;
  } slow[] = {
      {"slowbody", "http://update.quillmoor.invalid/body/2000000?chunk=1024&delay=20&id=slowbody&name=/slow_setup.exe"},
      {"slowloop", "http://update.quillmoor.invalid/loop?hold=1000&id=slowloop&name=/slow_setup.exe"},
  };
  for (const auto& s : slow) {
    SCOPED_TRACE(s.id);
    Client c(s.id);
    c.AddProgram("tool.exe", "Tool", "1.0");
    c.AddProgram("other.exe", "Other", "3.1");
    c.Serve("tool_setup.exe", c.Standin());
    c.ServeIndex("[tool.exe]\r\nnewver=2.0\r\nmodus=1\r\nupdurl=" + c.Url("tool_setup.exe") +
                 "\r\n[other.exe]\r\nnewver=3.2\r\nmodus=2\r\nupdurl=" + s.url + "\r\n");
    const auto asked = [&] { return testserver::Requests("id=" + s.id).size(); };
    Wizard w(c);
    ASSERT_NE(w.Window(), nullptr);
    ASSERT_NO_FATAL_FAILURE(w.StartDownloads(2));
    ASSERT_TRUE(WaitUntil(
        [&] { return w.LabelShown("2 von 2") && (FileExists(c.App() + "slow_setup.exe") || asked() >= 2); }, kWait));
    if (s.id == "slowbody") Shot(w.Window(), "skyvane-step4");
    HWND dialog = w.CancelDownloads();
    ASSERT_NE(dialog, nullptr);
    HWND ok = FindChild(dialog, "", "OK");
    ASSERT_NE(ok, nullptr);
    ASSERT_TRUE(WaitUntil(
        [&] { return FindGraphicOwner(dialog, "Vorgang erfolgreich abgebrochen.") && IsEnabledWindow(ok); }, 5000))
        << "the cancel still waits after " << asked() << " requests";
    const size_t before = asked();
    EXPECT_LT(before, 21u);
    EXPECT_FALSE(WaitUntil([&] { return asked() > before; }, 2500)) << "the transfer went on after the cancel";
    EXPECT_FALSE(FileExists(c.App() + "slow_setup.exe"));
    EXPECT_TRUE(FileExists(c.App() + "tool_setup.exe"));
    EXPECT_FALSE(FileExists(c.App() + "tool_setup.exe.marker"));
    Click(ok);
    ASSERT_TRUE(WaitUntil([&] { return w.LabelShown("Willkommen bei Skyvane"); }, kWait));
    EXPECT_FALSE(IsShown(dialog));
    EXPECT_TRUE(IsEnabledWindow(w.Window()));
    EXPECT_EQ(c.Version(1), "1.0");
    EXPECT_EQ(c.Version(2), "3.1");
  }
}

// An address that has moved still works: the index behind a redirect and an update behind two
// install as before. A server that redirects to the same address again and again fails its
// download after 20 redirects, as any failed download does, and the rest of the wizard goes on.
TEST_F(SkyvaneE2E, UpdatesBehindRedirectsInstallAndEndlessRedirectsFailAfterTwenty) {
  Client c("redir");
  c.AddProgram("tool.exe", "Tool", "1.0");
  c.AddProgram("other.exe", "Other", "3.1");
  c.Serve("tool_setup.exe", c.Standin());
  const std::string host = "http://update.quillmoor.invalid/";
  c.ServeIndex("");
  c.Serve("update.inf", "[tool.exe]\r\nnewver=2.0\r\nmodus=1\r\nupdurl=" + host +
                            "redirect/2/redir/tool_setup.exe?style=rel&code=301&name=/tool_setup.exe\r\n"
                            "[other.exe]\r\nnewver=3.2\r\nmodus=2\r\nupdurl=" +
                            host + "loop?id=loopupdate&name=/loop_setup.exe\r\n");
  c.RedirectIndex("/redirect/1/redir/update.inf?code=307");
  Wizard w(c);
  ASSERT_NE(w.Window(), nullptr);
  ASSERT_NO_FATAL_FAILURE(w.StartDownloads(2));
  ASSERT_TRUE(WaitUntil([&] { return w.LabelShown("Vorgang wird abgebrochen..."); }, kWait))
      << testserver::Requests("id=loopupdate").size() << " requests so far";
  EXPECT_EQ(testserver::Requests("id=loopupdate").size(), 21u) << "the first request and 20 redirects";
  EXPECT_FALSE(FileExists(c.App() + "loop_setup.exe"));
  w.Press("Weiter >>");
  ASSERT_TRUE(WaitUntil([&] { return w.Control("Fertig.") != nullptr; }, 60000));
  HWND summary = w.ListView(2);
  ASSERT_EQ(ListViewItemCount(summary), 2);
  EXPECT_EQ(RowText(summary, 0, 1), "Erfolgreich");
  EXPECT_EQ(RowText(summary, 1, 1), "Fehler!");
  EXPECT_EQ(c.Version(1), "2.0");
  EXPECT_EQ(c.Version(2), "3.1");
  const std::string toolMarker = ReadAll(c.App() + "tool_setup.exe.marker");
  EXPECT_NE(toolMarker.find("\"" + c.App() + "tool_setup.exe\" /VERYSILENT"), std::string::npos) << toolMarker;
  EXPECT_FALSE(FileExists(c.App() + "loop_setup.exe.marker"));
  // Each reached its file at the end of its redirects, the relative one resolved against its address.
  const auto requests = testserver::Requests("/redir/");
  EXPECT_TRUE(ContainsText(requests, "/redirect/0/redir/update.inf?code=307 ")) << requests.size();
  EXPECT_TRUE(ContainsText(requests, "/redirect/0/redir/tool_setup.exe?style=rel")) << requests.size();
  w.Press("Fertig.");
  EXPECT_TRUE(w.Proc().WaitExit(kWait));
}

// The index address redirecting to itself: the index download fails after 20 redirects with
// the index page's transfer error, and the wizard's buttons work again.
TEST_F(SkyvaneE2E, AnIndexThatRedirectsWithoutEndEndsInTheTransferError) {
  Client c("indexloop");
  c.AddProgram("tool.exe", "Tool", "1.0");
  c.ServeIndex("[tool.exe]\r\nnewver=2.0\r\n");
  c.RedirectIndex("http://update.quillmoor.invalid/qm/downloads/kvr/update.inf");
  DeleteFileA((c.App() + "skyvane.ini").c_str());
  const size_t before = testserver::Requests("/qm/downloads/kvr/update.inf").size();
  Wizard w(c);
  ASSERT_NE(w.Window(), nullptr);
  w.Press("Weiter >>");
  ASSERT_TRUE(WaitUntil([&] { return ListViewItemCount(w.ListView(0)) == 1; }, kWait));
  w.Press("Weiter >>");
  ASSERT_TRUE(
      WaitUntil([&] { return w.StatusText().find("Fehler beim Übertragen der Daten!") != std::string::npos; }, kWait))
      << w.StatusText() << "\n"
      << testserver::Requests("/qm/downloads/kvr/update.inf").size() - before << " requests so far";
  EXPECT_EQ(testserver::Requests("/qm/downloads/kvr/update.inf").size() - before, 21u)
      << "the first request and 20 redirects";
  EXPECT_FALSE(FileExists(c.App() + "skyvane.ini"));
  EXPECT_TRUE(IsEnabledWindow(w.Control("Weiter >>")));
  EXPECT_TRUE(IsEnabledWindow(w.Control("Beenden")));
  c.ServeIndex("[tool.exe]\r\nnewver=2.0\r\n");
  w.Press("Beenden");
  HWND box = WaitForMessageBox(w.Proc().Id(), kWait);
  ASSERT_NE(box, nullptr);
  AnswerMessageBox(box, IDYES);
  EXPECT_TRUE(w.Proc().WaitExit(kWait));
}

TEST_F(SkyvaneE2E, TheAboutBoxAndTheCancelDialogCloseAsTheirButtonsDo) {
  Client c("closing");
  c.AddProgram("tool.exe", "Tool", "1.0");
  // The body's first piece comes only after five seconds.
  std::string slow = "http://update.quillmoor.invalid/body/2000000?chunk=1024&delay=5000&name=/slow_setup.exe";
  c.ServeIndex("[tool.exe]\r\nnewver=2.0\r\nmodus=1\r\nupdurl=" + slow + "\r\n");
  // The about box's picture is compiled into the program, so the copy beside it is not needed.
  DeleteFileA((c.App() + "data\\logo.bmp").c_str());
  Wizard w(c);
  ASSERT_NE(w.Window(), nullptr);
  HWND about = w.OpenAboutBox();
  ASSERT_NE(about, nullptr);
  Sleep(300);
  EXPECT_GT(Capture(about, RECT{193, 8, 257, 72}).Colours(), 8u) << "no picture in the about box";
  Shot(about, "skyvane-about");
  PostClose(about);  // its close box
  EXPECT_TRUE(WaitUntil([&] { return IsShown(w.Window()) && !IsShown(about); }, kWait));

  ASSERT_NO_FATAL_FAILURE(w.StartDownloads(1));
  ASSERT_TRUE(WaitUntil([&] { return FileExists(c.App() + "slow_setup.exe"); }, kWait));
  HWND dialog = w.CancelDownloads();
  ASSERT_NE(dialog, nullptr);
  HWND ok = FindChild(dialog, "", "OK");
  ASSERT_NE(ok, nullptr);
  // While the transfer still runs, Alt+F4 leaves the dialog up.
  PostClose(dialog);
  EXPECT_FALSE(WaitUntil([&] { return !IsShown(dialog); }, 1000));
  EXPECT_FALSE(IsEnabledWindow(ok));
  ASSERT_TRUE(WaitUntil([&] { return IsEnabledWindow(ok); }, kWait));
  // Once the transfer has ended, it does what OK does: the wizard starts over.
  PostClose(dialog);
  EXPECT_TRUE(WaitUntil([&] { return !IsShown(dialog) && w.LabelShown("Willkommen bei Skyvane"); }, kWait));
  EXPECT_TRUE(IsEnabledWindow(w.Window()));
  EXPECT_FALSE(FileExists(c.App() + "slow_setup.exe"));
}

// Every window but the self-update window carries the XP-style component, which paints the push
// buttons flat: an idle one's left edge in the button shadow lightened by 30 %, where its own
// painting puts a raised edge. The screen is read, so the pointer is parked where it makes
// nothing hot.
TEST_F(SkyvaneE2E, EveryWindowWithTheComponentPaintsItsButtonsFlat) {
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
  const COLORREF flatEdge = LightenRGB(GetSysColor(COLOR_BTNSHADOW), 30);
  COLORREF seen = 0;
  auto paintedFlat = [&](HWND window, const std::string& caption) {
    HWND button = FindChild(window, "", caption);
    RECT r;
    if (!button || !GetClientRect(button, &r)) return false;
    const RECT edge{0, r.bottom / 2, 1, r.bottom / 2 + 1};
    return WaitUntil([&] { return (seen = Capture(button, edge).At(0, 0)) == flatEdge; }, 5000);
  };
  Client c("styled");
  c.AddProgram("tool.exe", "Tool", "1.0");
  // The body's first piece comes only after five seconds: time to see the cancel dialog.
  std::string slow = "http://update.quillmoor.invalid/body/2000000?chunk=1024&delay=5000&name=/slow_setup.exe";
  c.ServeIndex("[tool.exe]\r\nnewver=2.0\r\nmodus=1\r\nupdurl=" + slow + "\r\n");
  Wizard w(c);
  ASSERT_NE(w.Window(), nullptr);
  EXPECT_TRUE(paintedFlat(w.Window(), "Beenden")) << "wizard: " << std::hex << seen;
  HWND about = w.OpenAboutBox();
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(paintedFlat(about, "OK")) << "about box: " << std::hex << seen;
  PostClose(about);
  ASSERT_TRUE(WaitUntil([&] { return IsShown(w.Window()) && !IsShown(about); }, kWait));
  ASSERT_NO_FATAL_FAILURE(w.StartDownloads(1));
  ASSERT_TRUE(WaitUntil([&] { return FileExists(c.App() + "slow_setup.exe"); }, kWait));
  HWND dialog = w.CancelDownloads();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(paintedFlat(dialog, "OK")) << "cancel dialog: " << std::hex << seen;
}
