// The wizard's flow through its fake windows and components: the client's files are real files
// in a fresh folder, downloads arrive when a test lets them, installers only leave their
// command lines.
#include "updater/core.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/inifiles.h"
#include "base/sysutils.h"
#include "tests/base/temp_folder.h"
#include "tests/updater/fakes.h"

namespace {

using Page = TWizardPage;
using Button = TWizardButton;
using Pages = std::vector<TWizardPage>;

std::string Fixture(const std::string& name) {
  std::string s = std::string(MB_SOURCE_DIR) + "/tests/updater/data/" + name;
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

std::string AppDirOf(const TempFolder& dir) {
  std::string s = dir.File("");
  if (s.empty() || s.back() != '\\') s += '\\';
  return s;
}

// One client installation with the programs it updates below "apps", the index the server
// offers and the files behind its update addresses.
struct Rig {
  Rig() : app(AppDirOf(dir)), core(host, view, app) {
    view.core = &core;
    dir.Put("ver.kvr", "[self]\r\nver=1.2.0\r\n");
  }

  std::string ProgramPath(const std::string& name, const std::string& exe) const {
    return app + "apps\\" + name + "\\" + exe;
  }
  // A program of the maker registered in progs.kvr; its executable exists unless onDisk is false.
  void AddProgram(const std::string& exe, const std::string& name, const std::string& version, bool onDisk = true) {
    programs.push_back(ProgramPath(name, exe) + "|" + name + "|" + version);
    if (onDisk) {
      std::filesystem::create_directories(dir.Native("apps/" + name));
      dir.Put("apps/" + name + "/" + exe, "MZ");
    }
    std::string text = "[info]\r\ncount=" + std::to_string(programs.size()) + "\r\n";
    for (size_t i = 0; i < programs.size(); ++i) {
      std::string n = std::to_string(i + 1), p = programs[i];
      size_t a = p.find('|'), b = p.rfind('|');
      text += "path" + n + "=" + p.substr(0, a) + "\r\nname" + n + "=" + p.substr(a + 1, b - a - 1) + "\r\nver" + n +
              "=" + p.substr(b + 1) + "\r\n";
    }
    dir.Put("progs.kvr", text);
  }
  // An index entry whose update file the server holds.
  void Offer(const std::string& exe, const std::string& newver, int mode, const std::string& extra = "") {
    std::string url = "http://u.invalid/f/" + exe + "_setup";
    index += "[" + exe + "]\r\nnewver=" + newver + "\r\nmodus=" + std::to_string(mode) + "\r\nupdurl=" + url + "\r\n" +
             extra;
    served[url] = "body of " + exe;
  }
  // Three programs, each with an update: two silent installers and one for the shell.
  void ThreeUpdates() {
    AddProgram("tool.exe", "Tool", "1.0");
    AddProgram("other.exe", "Other", "3.1");
    AddProgram("docs.exe", "Docs", "1.0");
    index = "[self]\r\nnewver=1.2.0\r\n";
    Offer("tool.exe", "2.0", 1, "desurl=http://u.invalid/tool.htm\r\nsize=12 KB\r\n");
    Offer("other.exe", "3.2", 2);
    Offer("docs.exe", "1.1", 4);
  }

  void Press() {
    ASSERT_TRUE(view.Usable(Button::Next)) << "\"Weiter >>\" cannot be pressed";
    core.Button4Click();
  }
  const FakeWizardHost::Start& Current() const { return host.starts.back(); }
  // The index download of step 1 arrives in one chunk.
  void ArriveIndex() {
    ASSERT_EQ(Current().fetch, TFetch::HTTPFetch1);
    dir.Put("skyvane.ini", index);
    core.HTTPFetch1Progress();
    core.HTTPFetch1DoneFile();
    host.busy[0] = false;
  }
  void Progress(TFetch f, int32_t total, int32_t readed) {
    if (f == TFetch::HTTPFetch2) core.HTTPFetch2Progress(total, readed);
    if (f == TFetch::HTTPFetch3) core.HTTPFetch3Progress(total, readed);
    if (f == TFetch::HTTPFetch4) core.HTTPFetch4Progress(total, readed);
  }
  // The running update or self-update download arrives whole; the component stays busy
  // until its done handler returns.
  void Complete() {
    FakeWizardHost::Start s = Current();
    std::string body = served[s.url];
    Put(s.file, body);
    Progress(s.fetch, static_cast<int32_t>(body.size()), static_cast<int32_t>(body.size()));
    if (s.fetch == TFetch::HTTPFetch2) core.HTTPFetch2DoneFile();
    if (s.fetch == TFetch::HTTPFetch3) core.HTTPFetch3DoneFile();
    if (s.fetch == TFetch::HTTPFetch4) core.HTTPFetch4DoneFile();
    host.busy[FakeWizardHost::Slot(s.fetch)] = false;
  }
  // The running download ends in its error handler after part of the file was written.
  void Fail() {
    FakeWizardHost::Start s = Current();
    Put(s.file, "partial");
    if (s.fetch == TFetch::HTTPFetch1) core.HTTPFetch1Error();
    if (s.fetch == TFetch::HTTPFetch2) core.HTTPFetch2Error();
    if (s.fetch == TFetch::HTTPFetch3) core.HTTPFetch3Error();
    if (s.fetch == TFetch::HTTPFetch4) core.HTTPFetch4Error();
    host.busy[FakeWizardHost::Slot(s.fetch)] = false;
  }
  void Put(const std::string& file, const std::string& bytes) { SaveFileBytes(file, bytes); }
  bool Has(const std::string& name) const { return FileExists(app + name); }
  std::string Version(int n) const {
    return TIniFile(app + "progs.kvr").ReadString("info", "ver" + std::to_string(n), "?");
  }
  std::vector<std::string> SummaryResults() const {
    std::vector<std::string> results;
    for (const auto& row : view.summary) results.push_back(row.name + ":" + row.a);
    return results;
  }
  // From the start to the offered updates, the index arriving.
  void ToOffers() {
    core.FormShow({});
    Press();
    Press();
    ArriveIndex();
  }

  TempFolder dir;
  std::string app;
  FakeWizardHost host;
  FakeWizardView view;
  TWizardCore core;
  std::vector<std::string> programs;
  std::string index;
  std::map<std::string, std::string> served;
};

}  // namespace

TEST(WizardSteps, AFullRunWalksEveryPageWithTheButtonsOfEachStep) {
  Rig r;
  r.ThreeUpdates();
  r.core.FormShow({});
  EXPECT_EQ(r.view.caption, "Skyvane - 1.2.0");
  EXPECT_EQ(r.view.media, r.app + "data\\logo.bmp|" + r.app + "data\\world.avi");
  EXPECT_EQ(r.view.VisiblePages(), Pages{Page::Welcome});
  EXPECT_TRUE(r.view.Usable(Button::Quit));

  r.Press();  // the installed programs
  EXPECT_EQ(r.view.VisiblePages(), Pages{Page::Programs});
  ASSERT_EQ(r.view.installed.size(), 3u);
  EXPECT_EQ(r.view.installed[1].name, "Other");
  EXPECT_EQ(r.view.installed[1].number, 2);
  EXPECT_TRUE(r.view.enabled);
  EXPECT_TRUE(r.view.infos.empty());

  r.Press();  // the index download: nothing may advance until it arrives
  EXPECT_EQ(r.view.VisiblePages(), Pages{Page::Index});
  EXPECT_EQ(r.Current().file, r.app + "skyvane.ini");
  EXPECT_FALSE(r.view.Usable(Button::Next));
  EXPECT_FALSE(r.view.Usable(Button::Quit));
  r.ArriveIndex();  // evaluated, and the offers page comes by itself
  EXPECT_EQ(r.view.statusLines,
            (std::vector<std::string>{"Verbindung wird aufgebaut...", "Informationen wird abgerufen...",
                                      "Informationen werden ausgewertet...", "Überprüfung abgeschlossen."}));
  EXPECT_EQ(r.view.VisiblePages(), Pages{Page::Offers});
  EXPECT_EQ(r.core.WizardStep, wsOffers);
  EXPECT_EQ(r.view.offers.size(), 3u);
  EXPECT_EQ(r.host.sleeps, std::vector<int32_t>{500});
  EXPECT_TRUE(r.view.Usable(Button::Quit));

  r.Press();  // downloads, alternating the two components
  EXPECT_EQ(r.view.VisiblePages(), Pages{Page::Downloads});
  EXPECT_EQ(r.core.LastDownloadIndex, 2);
  const TFetch expected[] = {TFetch::HTTPFetch2, TFetch::HTTPFetch3, TFetch::HTTPFetch2};
  const char* files[] = {"tool.exe_setup", "other.exe_setup", "docs.exe_setup"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(r.core.DownloadIndex, i);
    EXPECT_EQ(r.Current().fetch, expected[i]) << i;
    EXPECT_EQ(r.Current().file, r.app + files[i]);
    EXPECT_EQ(r.view.texts[TWizardText::DownloadPosition], std::to_string(i + 1) + " von 3");
    EXPECT_EQ(r.view.texts[TWizardText::DownloadState], "Lade Update...");
    EXPECT_FALSE(r.view.Usable(Button::Next));
    EXPECT_FALSE(r.view.Usable(Button::Quit));
    if (i > 0) { EXPECT_EQ(r.view.barPosition[TWizardBar::Download], 0); }
    if (i < 2) r.Complete();
  }
  // The last download installs inside its done handler, on the installation page.
  std::vector<Pages> pagesDuringInstall;
  r.host.onRun = [&] { pagesDuringInstall.push_back(r.view.VisiblePages()); };
  r.Complete();
  EXPECT_EQ(pagesDuringInstall, (std::vector<Pages>{{Page::Install}, {Page::Install}}));
  EXPECT_EQ(r.host.sleeps, (std::vector<int32_t>{500, 2500}));
  EXPECT_EQ(r.host.commands, (std::vector<std::string>{"\"" + r.app + "tool.exe_setup\" /VERYSILENT",
                                                       "\"" + r.app + "other.exe_setup\" /SILENT"}));
  EXPECT_EQ(r.host.opened, std::vector<std::string>{r.app + "docs.exe_setup"});
  EXPECT_EQ(r.view.texts[TWizardText::InstallPosition], "3 von 3");
  EXPECT_EQ(r.view.texts[TWizardText::InstallState], "Installiere Update...Docs");
  EXPECT_EQ(r.SummaryResults(),
            (std::vector<std::string>{"Tool:Erfolgreich", "Other:Erfolgreich", "Docs:Erfolgreich"}));
  EXPECT_EQ(r.view.summary[2].number, 2);  // the icon of offer row 2
  EXPECT_EQ(r.Version(1), "2.0");
  EXPECT_EQ(r.Version(2), "3.2");
  EXPECT_EQ(r.Version(3), "1.1");

  EXPECT_EQ(r.view.VisiblePages(), Pages{Page::Summary});
  EXPECT_EQ(r.core.WizardStep, wsSummary);
  EXPECT_EQ(r.view.nextCaption, "Fertig.");
  EXPECT_FALSE(r.view.buttonVisible[Button::Quit]);
  EXPECT_TRUE(r.view.Usable(Button::Next));
  r.core.ListView3SelectItem(0);
  r.core.ListView3Click();
  EXPECT_EQ(r.host.opened.back(), "http://u.invalid/tool.htm");

  r.Press();  // "Fertig." closes behind the closing window, without a question
  EXPECT_TRUE(r.view.selfVisible);
  EXPECT_TRUE(r.view.closed);
  EXPECT_TRUE(r.view.questions.empty());
}

TEST(WizardSteps, WithoutAConnectionAktualisierenStandsInForWeiterUntilATestSucceeds) {
  Rig r;
  r.host.connected = false;
  r.core.FormShow({});
  EXPECT_EQ(r.view.texts[TWizardText::Connected], "Nein");
  EXPECT_EQ(r.view.texts[TWizardText::ConnectionKind], "---");
  EXPECT_FALSE(r.view.buttonVisible[Button::Next]);
  EXPECT_TRUE(r.view.buttonVisible[Button::Refresh]);
  EXPECT_TRUE(r.view.offlineNotice);

  r.host.connectionFails = true;  // no library to ask counts as offline
  r.core.Button6Click();
  EXPECT_FALSE(r.view.buttonVisible[Button::Next]);

  r.host.connectionFails = false;
  r.host.connected = true;
  r.host.flags = 2 | 4;  // LAN behind a proxy
  r.core.Button6Click();
  EXPECT_EQ(r.view.texts[TWizardText::Connected], "Ja");
  EXPECT_EQ(r.view.texts[TWizardText::ConnectionKind], "Proxy");
  EXPECT_TRUE(r.view.buttonVisible[Button::Next]);
  EXPECT_FALSE(r.view.buttonVisible[Button::Refresh]);
  EXPECT_FALSE(r.view.offlineNotice);
}

TEST(WizardSteps, TheStartUpRunsOnceAndNewverRecordsTheIndexVersion) {
  Rig r;
  r.dir.Put("skyvane.ini", "[self]\r\nnewver=1.3.0\r\n");
  r.core.FormShow({"-NEWVER"});
  EXPECT_EQ(r.view.caption, "Skyvane - 1.2.0");
  EXPECT_TRUE(r.view.infos.empty());

  Rig n;
  n.dir.Put("skyvane.ini", "[self]\r\nnewver=1.3.0\r\n");
  n.core.FormShow({"-newver"});
  EXPECT_EQ(n.view.infos, std::vector<std::string>{"Die Aktualisierung von Skyvane wurde erfolgreich abgeschlossen."});
  EXPECT_EQ(n.view.caption, "Skyvane - 1.3.0");
  // The return from the about box shows the window again and changes nothing.
  n.core.WizardStep = wsOffers;
  n.core.FormShow({"-newver"});
  EXPECT_EQ(n.core.WizardStep, wsOffers);
  EXPECT_EQ(n.view.infos.size(), 1u);
}

TEST(InstalledPrograms, MissingExecutablesAreNotListedAndRunningOnesAreNamed) {
  Rig r;
  r.AddProgram("gone.exe", "Gone", "1.0", false);
  r.AddProgram("tool.exe", "Tool", "1.0");
  r.AddProgram("other.exe", "Other", "1.0");
  r.host.processes = {"explorer.exe", "TOOL.EXE", "other.exe.bak"};
  r.core.FormShow({});
  r.Press();
  ASSERT_EQ(r.view.installed.size(), 2u);
  EXPECT_EQ(r.view.installed[0].number, 2);
  EXPECT_EQ(r.core.ListView1InfoTip(2), "Tool\rVersion: 1.0\rPfad: " + r.ProgramPath("Tool", "tool.exe"));
  EXPECT_EQ(r.view.infos, std::vector<std::string>{
                              "Bitte beenden sie folgende Programme, bevor sie mit Skyvane fortfahren:\r\rTool"});
  EXPECT_EQ(r.core.WizardStep, wsPrograms);  // a warning only

  Rig none;  // no progs.kvr: the client ends without a question
  none.core.FormShow({});
  none.Press();
  ASSERT_EQ(none.view.infos.size(), 1u);
  EXPECT_EQ(none.view.infos[0].rfind("Skyvane konnte keine Programme von Quillmoor", 0), 0u);
  EXPECT_TRUE(none.view.closed);
  EXPECT_TRUE(none.view.questions.empty());
  EXPECT_TRUE(none.view.enabled);
}

TEST(IndexEvaluation, VersionsThatDifferAsTextFillTheNineListsInProgramOrder) {
  Rig r;
  r.AddProgram("Tool.EXE", "Tool", "2.0");
  r.AddProgram("same.exe", "Same", "1.2");
  r.AddProgram("gone.exe", "Gone", "3.1", false);
  r.AddProgram("one.exe", "One", "1.0");
  r.index =
      "[tool.exe]\r\nnewver=1.9\r\nupdurl=http://u.invalid/f/tool.zip\r\nsize=12 KB\r\ndesurl=http://u.invalid/t\r\n"
      "[same.exe]\r\nnewver=1.2\r\n";
  r.ToOffers();
  const TWizardCore& c = r.core;
  ASSERT_EQ(c.UpdateUrls.Count(), 2);
  // An older index version is offered like a newer one; a program missing on disk and in the
  // index is offered as "1.0" with an empty address and the default size text.
  EXPECT_EQ(c.UpdateUrls[0], "http://u.invalid/f/tool.zip");
  EXPECT_EQ(c.InstallDirs[0], r.app + "apps\\Tool\\");
  EXPECT_EQ(c.ProgramNames[0], "Tool");
  EXPECT_EQ(c.IndexSections[0], "Tool.EXE");
  EXPECT_EQ(c.NewVersions[0], "1.9");
  EXPECT_EQ(c.ProgramNumbers[0], "1");
  EXPECT_EQ(c.DescriptionUrls[0], "http://u.invalid/t");
  EXPECT_EQ(c.ListView2InfoTip(0), "Downloadgröße: 12 KB");
  EXPECT_EQ(c.ProgramNumbers[1], "3");
  EXPECT_EQ(c.NewVersions[1], "1.0");
  EXPECT_EQ(c.UpdateUrls[1], "");
  EXPECT_EQ(c.ListView2InfoTip(1), "Downloadgröße: Dateigröße konnte nicht bestimmt werden.");
  EXPECT_EQ(c.DownloadFiles.Count(), 0);
  ASSERT_EQ(r.view.offers.size(), 2u);
  EXPECT_EQ(r.view.offers[0].a, "2.0");
  EXPECT_EQ(r.view.offers[0].b, "1.9");
  EXPECT_EQ(r.view.offers[1].path, r.ProgramPath("Gone", "gone.exe"));

  // An empty address fails at once when its turn comes, and nothing is fetched for it.
  r.Press();
  r.Complete();
  EXPECT_EQ(r.host.starts.size(), 2u);
  EXPECT_EQ(r.view.texts[TWizardText::DownloadState], "Vorgang wird abgebrochen...");
  EXPECT_TRUE(r.view.Usable(Button::Next));
}

TEST(IndexEvaluation, NothingToUpdateEndsTheClientWithItsMessage) {
  Rig r;
  r.AddProgram("tool.exe", "Tool", "2.0");
  r.index = "[self]\r\nnewver=1.2.0\r\n[TOOL.exe]\r\nnewver=2.0\r\n";
  r.ToOffers();
  EXPECT_EQ(r.view.infos, std::vector<std::string>{"Es wurden keine Updates gefunden. Skyvane wird nun beendet."});
  EXPECT_EQ(r.view.statusLines.back(), "Skyvane wird nun beendet...");
  EXPECT_TRUE(r.view.closed);
  EXPECT_TRUE(r.view.questions.empty());
  EXPECT_TRUE(r.view.offers.empty());
}

TEST(IndexEvaluation, AFailedIndexDownloadLeavesTheButtonsUsableAndOffersNothing) {
  Rig r;
  r.ThreeUpdates();
  r.core.FormShow({});
  r.Press();
  r.Press();
  r.Fail();
  EXPECT_EQ(r.view.statusLines.back(), "Fehler beim Übertragen der Daten!");
  EXPECT_EQ(r.core.WizardStep, wsIndex);
  EXPECT_EQ(r.view.VisiblePages(), Pages{Page::Index});
  EXPECT_TRUE(r.view.Usable(Button::Next));
  EXPECT_TRUE(r.view.Usable(Button::Quit));
  r.Press();  // an empty list of offers
  EXPECT_TRUE(r.view.offers.empty());
  r.Press();  // nothing to download: the client ends as when nothing is offered
  EXPECT_EQ(r.host.starts.size(), 1u);
  EXPECT_EQ(r.view.infos, std::vector<std::string>{"Es wurden keine Updates gefunden. Skyvane wird nun beendet."});
  EXPECT_TRUE(r.view.closed);
}

TEST(SelfUpdate, ANewClientVersionIsFetchedFirstAndHandedToSelfExe) {
  Rig r;
  r.ThreeUpdates();
  r.index = "[self]\r\nnewver=1.2.1\r\nupdurl=http://u.invalid/self.zip\r\n" + r.index.substr(r.index.find("[tool"));
  r.served["http://u.invalid/self.zip"] = "PK self";
  r.ToOffers();
  ASSERT_EQ(r.view.infos.size(), 1u);
  EXPECT_EQ(r.view.infos[0].rfind("Es wurde eine neue Version von Skyvane gefunden.", 0), 0u);
  EXPECT_EQ(r.core.UpdateUrls.Count(), 0);  // the programs wait for the new client
  EXPECT_FALSE(r.view.enabled);
  EXPECT_TRUE(r.view.selfVisible);
  EXPECT_EQ(r.Current().fetch, TFetch::HTTPFetch4);
  EXPECT_EQ(r.Current().url, "http://u.invalid/self.zip");
  EXPECT_EQ(r.Current().file, r.app + "self.zip");
  r.Progress(TFetch::HTTPFetch4, 7, 3);
  EXPECT_EQ(r.view.barMax[TWizardBar::Self], 7);
  EXPECT_EQ(r.view.barPosition[TWizardBar::Self], 3);
  r.Complete();
  EXPECT_EQ(r.host.selfStarts, std::vector<std::string>{r.app + "self.exe"});
  EXPECT_TRUE(r.view.closed);
  EXPECT_TRUE(r.view.questions.empty());
}

TEST(SelfUpdate, AFailedSelfUpdateDownloadReturnsToTheWelcomePageWithEmptyLists) {
  Rig r;
  r.ThreeUpdates();
  r.index = "[self]\r\nnewver=1.2.1\r\nupdurl=http://u.invalid/self.zip\r\n";
  r.ToOffers();
  r.Fail();
  EXPECT_TRUE(r.view.enabled);
  EXPECT_FALSE(r.view.selfVisible);
  EXPECT_FALSE(r.view.closed);
  EXPECT_EQ(r.core.WizardStep, wsWelcome);
  EXPECT_EQ(r.view.VisiblePages(), Pages{Page::Welcome});
  EXPECT_TRUE(r.view.installed.empty());
  EXPECT_TRUE(r.view.statusLines.empty());
  EXPECT_EQ(r.view.infos.size(), 1u);  // no message for the failure
  r.Press();                           // a new round refills the installed programs
  EXPECT_EQ(r.view.installed.size(), 3u);
  EXPECT_EQ(r.view.VisiblePages(), Pages{Page::Programs});
}

// "Abbrechen" while download `position` of three runs; the transfer then ends in its error
// handler, or, when the cancel came after its last read, in its done handler.
class CancelDownload : public ::testing::TestWithParam<std::pair<int, bool>> {};

TEST_P(CancelDownload, TheDialogWaitsForTheEndThenOkStartsOverWithEarlierFilesKept) {
  const auto [position, endsInDone] = GetParam();
  Rig r;
  r.ThreeUpdates();
  r.ToOffers();
  r.Press();
  for (int i = 0; i < position; ++i) r.Complete();
  const FakeWizardHost::Start running = r.Current();
  // The click arrives while a progress report processes messages.
  bool cancelled = false;
  r.view.onProcessMessages = [&] {
    if (cancelled) return;
    cancelled = true;
    r.core.Button7Click();
  };
  r.Progress(running.fetch, 100, 40);
  EXPECT_FALSE(r.view.enabled);
  EXPECT_TRUE(r.view.cancelDialog);
  EXPECT_EQ(r.view.cancelText, "Vorgang wird abgebrochen...");
  EXPECT_FALSE(r.view.cancelOk);
  EXPECT_EQ(r.host.cancels, (std::vector<TFetch>{TFetch::HTTPFetch2, TFetch::HTTPFetch3}));

  if (endsInDone)
    r.Complete();
  else
    r.Fail();
  EXPECT_EQ(r.view.cancelText, "Vorgang erfolgreich abgebrochen.");
  EXPECT_TRUE(r.view.cancelOk);
  EXPECT_EQ(r.view.texts[TWizardText::DownloadState], "Vorgang wird abgebrochen...");
  EXPECT_EQ(r.host.starts.back().file, running.file);  // no further download
  EXPECT_TRUE(r.host.commands.empty() && r.host.opened.empty());
  EXPECT_FALSE(FileExists(running.file));
  for (int i = 0; i < position; ++i) EXPECT_TRUE(FileExists(r.host.starts[static_cast<size_t>(i) + 1].file)) << i;

  r.core.ResetWizard();  // the dialog's OK
  EXPECT_FALSE(r.view.cancelDialog);
  EXPECT_TRUE(r.view.enabled);
  EXPECT_EQ(r.core.WizardStep, wsWelcome);
  EXPECT_TRUE(r.view.pages[Page::Welcome]);
  EXPECT_FALSE(r.view.pages[Page::Downloads]);
  EXPECT_EQ(r.view.texts[TWizardText::DownloadPosition], "");
  EXPECT_EQ(r.view.barPosition[TWizardBar::Download], 0);
  EXPECT_TRUE(r.view.offers.empty());
  EXPECT_EQ(r.core.UpdateUrls.Count() + r.core.DownloadFiles.Count() + r.core.DescriptionUrls.Count(), 0);
  EXPECT_EQ(r.Version(1), "1.0");

  // A new round starts from the programs and downloads from the first update again.
  r.Press();
  r.Press();
  r.ArriveIndex();
  r.Press();
  EXPECT_EQ(r.Current().fetch, TFetch::HTTPFetch2);
  EXPECT_EQ(r.view.texts[TWizardText::DownloadPosition], "1 von 3");
  r.Complete();
  r.Complete();
  r.Complete();
  EXPECT_EQ(r.SummaryResults(),
            (std::vector<std::string>{"Tool:Erfolgreich", "Other:Erfolgreich", "Docs:Erfolgreich"}));
}

INSTANTIATE_TEST_SUITE_P(FirstMiddleLast, CancelDownload,
                         ::testing::Values(std::pair{0, false}, std::pair{1, false}, std::pair{2, false},
                                           std::pair{2, true}));

TEST(Downloads, AFailureStopsTheChainAndWeiterInstallsOnlyCompleteFiles) {
  Rig r;
  r.ThreeUpdates();
  r.ToOffers();
  r.Press();
  r.Complete();
  r.Fail();  // the server lost the second file: no dialog, the wizard stays on the page
  EXPECT_FALSE(r.view.cancelDialog);
  EXPECT_EQ(r.view.VisiblePages(), Pages{Page::Downloads});
  EXPECT_EQ(r.host.starts.size(), 3u);
  EXPECT_FALSE(r.Has("other.exe_setup"));
  r.Press();
  EXPECT_EQ(r.SummaryResults(), (std::vector<std::string>{"Tool:Erfolgreich", "Other:Fehler!", "Docs:Fehler!"}));
  EXPECT_EQ(r.host.commands.size(), 1u);
  EXPECT_TRUE(r.host.opened.empty());
  EXPECT_EQ(r.Version(1), "2.0");
  EXPECT_EQ(r.Version(2), "3.1");
  EXPECT_EQ(r.Version(3), "1.0");
}

TEST(Downloads, ANameThatWouldLeaveTheFolderIsNeverFetchedOrInstalled) {
  Rig r;
  r.AddProgram("tool.exe", "Tool", "1.0");
  r.index = "[tool.exe]\r\nnewver=2.0\r\nmodus=1\r\nupdurl=http://u.invalid/..\\..\\progs.kvr\r\n";
  std::string progs = r.dir.Get("progs.kvr");
  r.ToOffers();
  r.Press();
  EXPECT_EQ(r.host.starts.size(), 1u);  // only the index
  EXPECT_TRUE(r.view.Usable(Button::Next));
  r.Press();
  EXPECT_EQ(r.SummaryResults(), std::vector<std::string>{"Tool:Fehler!"});
  EXPECT_TRUE(r.host.commands.empty());
  EXPECT_EQ(r.dir.Get("progs.kvr"), progs);
}

// "Beenden" at every step where it can be pressed, and the close box on the summary page.
class QuitQuestion : public ::testing::TestWithParam<std::tuple<TWizardStep, bool>> {};

TEST_P(QuitQuestion, NoKeepsTheStepAndThePageYesCloses) {
  const auto [step, yes] = GetParam();
  Rig r;
  r.ThreeUpdates();
  r.core.FormShow({});
  if (step >= wsPrograms) r.Press();
  if (step >= wsIndex) r.Press();
  if (step == wsIndex) r.Fail();
  if (step >= wsOffers) r.ArriveIndex();
  if (step >= wsDownloads) r.Press();
  if (step == wsDownloads) r.Fail();
  if (step == wsSummary) {
    r.Complete();
    r.Complete();
    r.Complete();
  }
  ASSERT_EQ(r.core.WizardStep, step);
  const Pages before = r.view.VisiblePages();
  r.view.answers = {yes};
  if (step == wsSummary) {
    EXPECT_FALSE(r.view.buttonVisible[Button::Quit]);
    r.view.CloseWizard();
  } else {
    ASSERT_TRUE(r.view.Usable(Button::Quit));
    r.core.Button1Click();
  }
  ASSERT_EQ(r.view.questions.size(), 1u);
  EXPECT_EQ(r.view.questions[0].rfind("Wenn sie Skyvane jetzt beenden wird die Aktualisierung", 0), 0u);
  EXPECT_EQ(r.view.closed, yes);
  EXPECT_EQ(r.core.WizardStep, step);
  EXPECT_EQ(r.view.VisiblePages(), before);
}

INSTANTIATE_TEST_SUITE_P(EachStep, QuitQuestion,
                         ::testing::Combine(::testing::Values(wsWelcome, wsPrograms, wsIndex, wsOffers, wsDownloads,
                                                              wsSummary),
                                            ::testing::Bool()),
                         [](const auto& info) {
                           return "Step" + std::to_string(std::get<0>(info.param)) +
                                  (std::get<1>(info.param) ? "Yes" : "No");
                         });

TEST(Installation, TheStatusLabelRunsTheInstallationAgainWithAFurtherRowPerUpdate) {
  Rig r;
  r.ThreeUpdates();
  r.ToOffers();
  r.Press();
  r.Complete();
  r.Complete();
  r.host.startable = false;  // the first round cannot start its installers
  r.Complete();
  EXPECT_EQ(r.SummaryResults(), (std::vector<std::string>{"Tool:Fehler!", "Other:Fehler!", "Docs:Erfolgreich"}));
  EXPECT_EQ(r.Version(1), "1.0");

  r.host.startable = true;
  r.core.Label12Click();
  EXPECT_EQ(r.SummaryResults(),
            (std::vector<std::string>{"Tool:Fehler!", "Other:Fehler!", "Docs:Erfolgreich", "Tool:Erfolgreich",
                                      "Other:Erfolgreich", "Docs:Erfolgreich"}));
  EXPECT_EQ(r.host.commands.size(), 4u);
  EXPECT_EQ(r.Version(1), "2.0");
  EXPECT_EQ(r.Version(2), "3.2");
  // The run again ends where the first one did: on the summary, not closing the client.
  EXPECT_EQ(r.core.WizardStep, wsSummary);
  EXPECT_EQ(r.view.VisiblePages(), Pages{Page::Summary});
  EXPECT_TRUE(r.view.Usable(Button::Next));
  EXPECT_FALSE(r.view.closed);
}

TEST(Installation, AVersionThatCannotBeRecordedIsListedAsAFailure) {
  Rig r;
  r.AddProgram("tool.exe", "Tool", "1.0");
  r.AddProgram("other.exe", "Other", "3.1");
  r.index.clear();
  r.Offer("tool.exe", "2.0", 1);
  r.Offer("other.exe", "3.2", 1);
  r.ToOffers();
  r.Press();
  r.Complete();
  // While the second installer runs, progs.kvr turns into something that cannot be written.
  r.host.onRun = [&] {
    if (r.host.commands.size() != 2) return;
    std::filesystem::remove(r.dir.Native("progs.kvr"));
    std::filesystem::create_directory(r.dir.Native("progs.kvr"));
  };
  r.Complete();
  EXPECT_EQ(r.SummaryResults(), (std::vector<std::string>{"Tool:Erfolgreich", "Other:Fehler!"}));
  EXPECT_EQ(r.view.VisiblePages(), Pages{Page::Summary});
}

TEST(Installation, ModesRunTheQuotedCommandOpenThroughTheShellOrFail) {
  Rig r;
  r.dir.Put("setup.exe", "MZ");
  const std::string file = r.app + "setup.exe";
  EXPECT_TRUE(r.core.RunInstallerVerySilent(file));
  EXPECT_TRUE(r.core.RunInstallerSilent(file));
  EXPECT_TRUE(r.core.RunInstallerAndWait(file));
  EXPECT_EQ(r.host.commands,
            (std::vector<std::string>{"\"" + file + "\" /VERYSILENT", "\"" + file + "\" /SILENT", "\"" + file + "\""}));
  EXPECT_FALSE(r.core.RunInstallerSilent(r.app + "missing.exe"));
  r.host.startable = false;
  EXPECT_FALSE(r.core.RunInstallerAndWait(file));
  EXPECT_EQ(r.host.commands.size(), 4u);
  EXPECT_TRUE(r.core.OpenWithShell(r.app + "page.htm"));
  r.host.shellWorks = false;
  EXPECT_FALSE(r.core.OpenWithShell(r.app + "page.htm"));
}

TEST(Installation, AnUnknownModeOrAMissingModusIsHandledByTheIndexRules) {
  Rig r;
  r.AddProgram("five.exe", "Five", "1.0");
  r.AddProgram("plain.exe", "Plain", "1.0");
  r.index =
      "[five.exe]\r\nnewver=2.0\r\nmodus=5\r\nupdurl=http://u.invalid/five\r\n"
      "[plain.exe]\r\nnewver=2.0\r\nupdurl=http://u.invalid/plain\r\n";
  r.ToOffers();
  r.Press();
  r.Complete();
  r.Complete();
  EXPECT_EQ(r.SummaryResults(), (std::vector<std::string>{"Five:Fehler!", "Plain:Erfolgreich"}));
  EXPECT_EQ(r.host.opened, std::vector<std::string>{r.app + "plain"});
  EXPECT_TRUE(r.host.commands.empty());
  EXPECT_EQ(r.Version(1), "1.0");
  EXPECT_EQ(r.Version(2), "2.0");
}

TEST(ZipInstall, ArchivesUnpackWithSubfoldersAndReportProgressThenGo) {
  Rig r;
  std::filesystem::create_directories(r.dir.Native("prog"));
  for (const char* fixture : {"update_infozip.zip", "update_deflate64.zip"}) {
    std::string bytes;
    ASSERT_TRUE(LoadFileBytes(Fixture(fixture), bytes));
    r.dir.Put("update.zip", bytes);
    r.view.unzipProgress.clear();
    ASSERT_TRUE(r.core.InstallFromZip(r.app + "update.zip", r.app + "prog\\")) << fixture;
    EXPECT_EQ(r.dir.Get("prog/tool.exe"), "new tool program\r\n");
    EXPECT_EQ(r.dir.Get("prog/docs/readme.txt").size(), 3300u);
    EXPECT_EQ(r.dir.Get("prog/lib/x.dll").size(), 5000u);
    EXPECT_FALSE(r.Has("update.zip"));
    ASSERT_FALSE(r.view.unzipProgress.empty());
    EXPECT_EQ(r.view.unzipProgress.back(), 100);
    std::filesystem::remove_all(r.dir.Native("prog/docs"));
  }
}

TEST(ZipInstall, BrokenArchivesFailKeepTheirFilesAndWriteNothingOutside) {
  Rig r;
  std::filesystem::create_directories(r.dir.Native("apps/prog"));
  r.dir.Put("apps/prog/tool.exe", "old program");
  const std::string folder = r.app + "apps\\prog\\";
  std::string bytes;
  ASSERT_TRUE(LoadFileBytes(Fixture("bad_crc.zip"), bytes));
  r.dir.Put("bad.zip", bytes);
  EXPECT_FALSE(r.core.InstallFromZip(r.app + "bad.zip", folder));
  EXPECT_EQ(r.dir.Get("apps/prog/tool.exe"), "old program");
  EXPECT_TRUE(r.Has("bad.zip"));

  ASSERT_TRUE(LoadFileBytes(Fixture("traversal.zip"), bytes));
  r.dir.Put("t.zip", bytes);
  EXPECT_FALSE(r.core.InstallFromZip(r.app + "t.zip", folder));
  EXPECT_TRUE(r.dir.Has("apps/prog/good.txt"));
  EXPECT_FALSE(r.dir.Has("apps/evil.txt"));
  EXPECT_FALSE(r.dir.Has("evil2.txt"));

  EXPECT_FALSE(r.core.InstallFromZip(r.app + "none.zip", folder));
  r.dir.Put("junk.zip", "this is not an archive at all");
  EXPECT_FALSE(r.core.InstallFromZip(r.app + "junk.zip", folder));
  EXPECT_TRUE(r.Has("junk.zip"));
  ASSERT_TRUE(LoadFileBytes(Fixture("update_infozip.zip"), bytes));
  r.dir.Put("u.zip", bytes);
  EXPECT_FALSE(r.core.InstallFromZip(r.app + "u.zip", r.app + "nofolder\\"));
  EXPECT_FALSE(r.core.InstallFromZip(r.app + "u.zip", ""));
  EXPECT_TRUE(r.Has("u.zip"));
  // The same unzipper still serves a good archive after all of these.
  EXPECT_TRUE(r.core.InstallFromZip(r.app + "u.zip", folder));
  EXPECT_EQ(r.dir.Get("apps/prog/tool.exe"), "new tool program\r\n");
}
