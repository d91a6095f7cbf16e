#include "updater/client_logic.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/inifiles.h"
#include "base/sysutils.h"
#include "tests/base/temp_folder.h"

using namespace skyvane;

namespace {

// The client's folder with its files, as "\" separated paths like the program builds them.
struct ClientFolder {
  TempFolder dir;
  std::string App() const { return dir.File(""); }
  std::string AppDir() const {
    std::string s = App();
    if (s.empty() || s.back() != '\\') s += '\\';
    return s;
  }
  void Put(const std::string& name, const std::string& text) const { dir.Put(name, text); }
};

std::string Fixture(const std::string& name) {
  std::string s = std::string(MB_SOURCE_DIR) + "/tests/updater/data/" + name;
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

class RecordingPlatform : public IInstallPlatform {
public:
  bool RunAndWait(const std::string& commandLine) override {
    commands.push_back(commandLine);
    return startable;
  }
  bool ShellOpen(const std::string& file) override {
    opened.push_back(file);
    return shellWorks;
  }
  void UnzipProgress(uint8_t percent) override { progress.push_back(percent); }
  std::vector<std::string> commands, opened;
  std::vector<uint8_t> progress;
  bool startable = true, shellWorks = true;
};

}  // namespace

TEST(UrlFileName, IsTheTextAfterTheLastSlashOrTheWholeUrl) {
  EXPECT_EQ(UrlFileName("http://h/a/b.zip"), "b.zip");
  EXPECT_EQ(UrlFileName("b.zip"), "b.zip");
  EXPECT_EQ(UrlFileName("http://h/dir/"), "");
  EXPECT_EQ(UrlFileName("http://h/x/..\\..\\evil.exe"), "..\\..\\evil.exe");
}

TEST(DownloadName, NamesThatLeaveTheFolderOrHitTheClientsFilesAreRefused) {
  EXPECT_TRUE(IsSafeDownloadName("tool_setup.exe"));
  EXPECT_TRUE(IsSafeDownloadName("Update 2.0 (final).zip"));
  for (const char* bad : {"",
                          ".",
                          "..",
                          "..\\..\\evil.exe",
                          "a\\b",
                          "a/b",
                          "C:evil",
                          "a<b",
                          "a>b",
                          "a\"b",
                          "a|b",
                          "a?b",
                          "a*b",
                          "ver.kvr",
                          "PROGS.KVR",
                          "skyvane.ini",
                          "self.zip",
                          "Self.Exe",
                          "skyvane.exe",
                          "ver.kvr.",
                          "progs.kvr . ",
                          "..."})
    EXPECT_FALSE(IsSafeDownloadName(bad)) << bad;
  EXPECT_FALSE(
      IsSafeDownloadName(std::string("a\x01"
                                     "b")));
  EXPECT_FALSE(IsSafeDownloadName(std::string("tab\there")));
}

TEST(ConnectionKind, LastMatchingFlagWins) {
  EXPECT_EQ(ConnectionKind(0), "");
  EXPECT_EQ(ConnectionKind(1), "Modem");
  EXPECT_EQ(ConnectionKind(2), "LAN");
  EXPECT_EQ(ConnectionKind(3), "LAN");
  EXPECT_EQ(ConnectionKind(6), "Proxy");
  EXPECT_EQ(ConnectionKind(8), "Modem");
  EXPECT_EQ(ConnectionKind(10), "Modem");
  EXPECT_EQ(ConnectionKind(0x20), "");
}

TEST(InstallerCommandLine, QuotesThePathAndAppendsTheModesSwitch) {
  std::string file = "C:\\Program Files\\Quillmoor\\tool setup.exe";
  EXPECT_EQ(InstallerCommandLine(file, 1), "\"" + file + "\" /VERYSILENT");
  EXPECT_EQ(InstallerCommandLine(file, 2), "\"" + file + "\" /SILENT");
  EXPECT_EQ(InstallerCommandLine(file, 3), "\"" + file + "\"");
  EXPECT_EQ(InstallerCommandLine(file, 0), "");
  EXPECT_EQ(InstallerCommandLine(file, 4), "");
  EXPECT_EQ(PositionText(2, 5), "2 von 5");
}

TEST(GermanTexts, ReachTheProgramInTheAnsiCodePage) {
#ifdef _WIN32
  EXPECT_EQ(static_cast<unsigned char>(std::string(kDefaultSize)[7]), 0xF6);  // ö
#else
  EXPECT_EQ(std::string(kDefaultSize).substr(7, 2), "\xC3\xB6");
#endif
}

TEST(OwnVersion, DefaultsAndNewverStartCopiesTheIndexVersion) {
  ClientFolder c;
  EXPECT_EQ(ReadOwnVersion(c.AppDir()), "1.2.0");
  c.Put("skyvane.ini", "[self]\r\nnewver=1.3.0\r\n");
  c.Put("ver.kvr", "[SELF]\r\nver=1.2.0\r\n");
  EXPECT_EQ(AdoptNewOwnVersion(c.AppDir()), "1.3.0");
  EXPECT_EQ(ReadOwnVersion(c.AppDir()), "1.3.0");
  // Without an index the default version is recorded.
  ClientFolder d;
  EXPECT_EQ(AdoptNewOwnVersion(d.AppDir()), "1.2.0");
  EXPECT_EQ(TIniFile(d.AppDir() + "ver.kvr").ReadString("self", "ver", "?"), "1.2.0");
}

TEST(ProgramList, CountZeroOrMissingMeansNoProgramsAndMissingKeysReadEmpty) {
  ClientFolder c;
  EXPECT_TRUE(ReadProgramList(c.AppDir()).empty());
  c.Put("progs.kvr", "[info]\r\ncount=0\r\npath1=C:\\a\\a.exe\r\n");
  EXPECT_TRUE(ReadProgramList(c.AppDir()).empty());
  c.Put("progs.kvr", "[info]\r\ncount=-3\r\n");
  EXPECT_TRUE(ReadProgramList(c.AppDir()).empty());
  c.Put("progs.kvr", "[info]\r\ncount=3\r\npath1=C:\\a\\a.exe\r\nname1=A\r\nver1=1\r\npath3=C:\\c\\c.exe\r\n");
  auto list = ReadProgramList(c.AppDir());
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[1].Number, 2);
  EXPECT_EQ(list[1].Path, "");
  EXPECT_EQ(list[2].Path, "C:\\c\\c.exe");
  // Not a number: the test for programs reads 0.
  c.Put("progs.kvr", "[info]\r\ncount=zwei\r\n");
  EXPECT_TRUE(ReadProgramList(c.AppDir()).empty());
}

TEST(ProgramList, AHugeCountIsCapped) {
  ClientFolder c;
  c.Put("progs.kvr", "[info]\r\ncount=2147483647\r\npath1=C:\\a\\a.exe\r\n");
  EXPECT_EQ(ReadProgramList(c.AppDir()).size(), static_cast<size_t>(kMaxPrograms));
}

TEST(ProgramList, TipIsReadFromTheFileWhenAsked) {
  ClientFolder c;
  c.Put("progs.kvr", "[info]\r\ncount=2\r\npath2=C:\\b\\b.exe\r\nname2=Bee\r\nver2=2.0\r\n");
  EXPECT_EQ(InstalledProgramTip(c.AppDir(), 2), "Bee\rVersion: 2.0\rPfad: C:\\b\\b.exe");
  c.Put("progs.kvr", "[info]\r\ncount=2\r\npath2=C:\\b\\b.exe\r\nname2=Bee\r\nver2=2.1\r\n");
  EXPECT_EQ(InstalledProgramTip(c.AppDir(), 2), "Bee\rVersion: 2.1\rPfad: C:\\b\\b.exe");
}

TEST(RunningPrograms, WholeNamesMatchWithoutRegardToCase) {
  std::vector<std::string> exes = {"tool.exe", "other.exe", "third.exe"};
  std::vector<std::string> names = {"Tool", "Other", "Third"};
  EXPECT_EQ(RunningProgramsText(exes, names, {"explorer.exe", "TOOL.EXE", "third.exe.bak", "Third.Exe"}),
            "\rTool\rThird");
  EXPECT_EQ(RunningProgramsText(exes, names, {"other"}), "");
  EXPECT_EQ(RunningProgramsText(exes, names, {}), "");
}

TEST(IndexEvaluation, DifferingOwnVersionAsksForTheSelfUpdateOnly) {
  ClientFolder c;
  c.Put("progs.kvr", "[info]\r\ncount=1\r\npath1=C:\\a\\tool.exe\r\nname1=Tool\r\nver1=1.0\r\n");
  c.Put("skyvane.ini", "[self]\r\nnewver=1.2.1\r\nupdurl=http://u.invalid/self.zip\r\n[tool.exe]\r\nnewver=2.0\r\n");
  TIndexEvaluation e = EvaluateUpdateIndex(c.AppDir());
  EXPECT_TRUE(e.SelfUpdate);
  EXPECT_EQ(e.SelfUpdateUrl, "http://u.invalid/self.zip");
  EXPECT_TRUE(e.Offers.empty());
  // An index without [self] matches the default own version.
  c.Put("skyvane.ini", "[tool.exe]\r\nnewver=2.0\r\n");
  e = EvaluateUpdateIndex(c.AppDir());
  EXPECT_FALSE(e.SelfUpdate);
  EXPECT_EQ(e.Offers.size(), 1u);
}

TEST(IndexEvaluation, VersionsThatDifferAsTextAreOfferedWithTheirIndexData) {
  ClientFolder c;
  c.Put("progs.kvr",
        "[info]\r\ncount=4\r\n"
        "path1=C:\\apps\\tool\\Tool.EXE\r\nname1=Tool\r\nver1=2.0\r\n"
        "path2=C:\\apps\\same\\same.exe\r\nname2=Same\r\nver2=1.2\r\n"
        "path3=C:\\apps\\gone\\gone.exe\r\nname3=Gone\r\nver3=3.1\r\n"
        "path4=C:\\apps\\one\\one.exe\r\nname4=One\r\nver4=1.0\r\n");
  c.Put("skyvane.ini",
        "[tool.exe]\r\nnewver=1.9\r\nupdurl=http://u.invalid/f/tool.zip\r\nsize=12 KB\r\ndesurl=http://u.invalid/t\r\n"
        "modus=0\r\n[same.exe]\r\nnewver=1.2\r\n");
  TIndexEvaluation e = EvaluateUpdateIndex(c.AppDir());
  ASSERT_EQ(e.Offers.size(), 2u);
  const TOffer& tool = e.Offers[0];
  EXPECT_EQ(tool.UpdateUrl, "http://u.invalid/f/tool.zip");
  EXPECT_EQ(tool.InstallDir, "C:\\apps\\tool\\");
  EXPECT_EQ(tool.ProgramName, "Tool");
  EXPECT_EQ(tool.IndexSection, "Tool.EXE");
  EXPECT_EQ(tool.NewVersion, "1.9");
  EXPECT_EQ(tool.OldVersion, "2.0");
  EXPECT_EQ(tool.ProgramNumber, "1");
  EXPECT_EQ(tool.DownloadSize, "12 KB");
  EXPECT_EQ(tool.DescriptionUrl, "http://u.invalid/t");
  EXPECT_EQ(ReadInstallMode(c.AppDir(), tool.IndexSection), 0);
  // Not in the index: offered as "1.0" with an empty address and the default size text.
  const TOffer& gone = e.Offers[1];
  EXPECT_EQ(gone.ProgramNumber, "3");
  EXPECT_EQ(gone.NewVersion, "1.0");
  EXPECT_EQ(gone.UpdateUrl, "");
  EXPECT_EQ(gone.DownloadSize, kDefaultSize);
  EXPECT_EQ(ReadInstallMode(c.AppDir(), gone.IndexSection), 4);
}

TEST(IndexEvaluation, HostileIndexValuesAreOnlyData) {
  ClientFolder c;
  c.Put("progs.kvr", "[info]\r\ncount=1\r\npath1=C:\\a\\tool.exe\r\nname1=Tool\r\nver1=1.0\r\n");
  c.Put("skyvane.ini",
        "[tool.exe]\r\nnewver=2.0\r\nupdurl=http://u.invalid/..\\..\\progs.kvr\r\nmodus=99999999999\r\n");
  TIndexEvaluation e = EvaluateUpdateIndex(c.AppDir());
  ASSERT_EQ(e.Offers.size(), 1u);
  EXPECT_FALSE(IsSafeDownloadName(UrlFileName(e.Offers[0].UpdateUrl)));
  EXPECT_EQ(ReadInstallMode(c.AppDir(), "tool.exe"), 4);  // not a 32-bit number: the default
}

TEST(DownloadChain, AlternatesComponentsAndInstallsAfterTheLast) {
  TDownloadChain chain;
  chain.Start(3);
  EXPECT_EQ(chain.LastIndex(), 2);
  EXPECT_EQ(TDownloadChain::ComponentFor(0), 0);
  EXPECT_EQ(TDownloadChain::ComponentFor(1), 1);
  EXPECT_EQ(TDownloadChain::ComponentFor(2), 0);
  EXPECT_EQ(chain.Done(), TDownloadChain::dnStartNext);
  EXPECT_EQ(chain.Index(), 1);
  EXPECT_EQ(chain.Done(), TDownloadChain::dnStartNext);
  EXPECT_EQ(chain.Done(), TDownloadChain::dnInstall);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(chain.Downloaded(i));
  EXPECT_FALSE(chain.Downloaded(3));
}

TEST(DownloadChain, AFailureStopsItAndLeavesLaterUpdatesNotDownloaded) {
  TDownloadChain chain;
  chain.Start(3);
  EXPECT_EQ(chain.Done(), TDownloadChain::dnStartNext);
  chain.Failed();
  EXPECT_TRUE(chain.Stopped());
  EXPECT_TRUE(chain.Downloaded(0));
  EXPECT_FALSE(chain.Downloaded(1));
  EXPECT_FALSE(chain.Downloaded(2));
  // A late done of the failed position does not revive the chain.
  EXPECT_EQ(chain.Done(), TDownloadChain::dnStopped);
  EXPECT_FALSE(chain.Downloaded(1));
}

TEST(DownloadChain, ACancelThatArrivesAfterTheLastReadStillStops) {
  TDownloadChain chain;
  chain.Start(2);
  chain.RequestCancel();
  EXPECT_EQ(chain.Done(), TDownloadChain::dnStopped);
  EXPECT_FALSE(chain.Downloaded(0));
  chain.Start(1);  // a new run forgets the cancel
  EXPECT_FALSE(chain.CancelRequested());
  EXPECT_EQ(chain.Done(), TDownloadChain::dnInstall);
  chain.Reset();
  EXPECT_EQ(chain.Done(), TDownloadChain::dnStopped);  // nothing to download
}

TEST(Install, WaitingModesRunTheQuotedCommandAndOnlyExistingFiles) {
  ClientFolder c;
  c.Put("setup.exe", "MZ");
  RecordingPlatform p;
  std::string file = c.AppDir() + "setup.exe";
  EXPECT_TRUE(InstallUpdate(1, file, "", p));
  EXPECT_TRUE(InstallUpdate(2, file, "", p));
  EXPECT_TRUE(InstallUpdate(3, file, "", p));
  ASSERT_EQ(p.commands.size(), 3u);
  EXPECT_EQ(p.commands[0], "\"" + file + "\" /VERYSILENT");
  EXPECT_EQ(p.commands[1], "\"" + file + "\" /SILENT");
  EXPECT_EQ(p.commands[2], "\"" + file + "\"");
  EXPECT_FALSE(InstallUpdate(1, c.AppDir() + "missing.exe", "", p));
  p.startable = false;
  EXPECT_FALSE(InstallUpdate(2, file, "", p));
  EXPECT_EQ(p.commands.size(), 4u);
}

TEST(Install, ShellModeReportsTheShellsAnswerAndOtherModesFail) {
  RecordingPlatform p;
  EXPECT_TRUE(InstallUpdate(4, "C:\\x\\page.htm", "", p));
  p.shellWorks = false;
  EXPECT_FALSE(InstallUpdate(4, "C:\\x\\page.htm", "", p));
  for (int32_t mode : {5, -1, 1000000}) EXPECT_FALSE(InstallUpdate(mode, "C:\\x\\setup.exe", "", p)) << mode;
  EXPECT_TRUE(p.commands.empty());
}

TEST(Install, VersionIsRecordedUnderTheProgramsNumberOnly) {
  ClientFolder c;
  c.Put("progs.kvr", "[info]\r\ncount=2\r\nver1=1.0\r\nver2=3.1\r\n");
  RecordVersion(c.AppDir(), "2", "3.2");
  TIniFile progs(c.AppDir() + "progs.kvr");
  EXPECT_EQ(progs.ReadString("info", "ver1", ""), "1.0");
  EXPECT_EQ(progs.ReadString("info", "ver2", ""), "3.2");
  EXPECT_EQ(progs.ReadInteger("info", "count", 0), 2);
}

class ZipInstall : public ::testing::TestWithParam<const char*> {};

TEST_P(ZipInstall, UnpacksWithSubfoldersAndRemovesTheArchive) {
  ClientFolder c;
  c.dir.Put("tool.exe", "old program");
  std::string archive = c.AppDir() + "tool_update.zip";
  std::string bytes;
  ASSERT_TRUE(LoadFileBytes(Fixture(GetParam()), bytes));
  c.Put("tool_update.zip", bytes);
  std::filesystem::create_directories(c.dir.Native("prog"));
  RecordingPlatform p;
  ASSERT_TRUE(InstallFromZip(archive, c.AppDir() + "prog\\", p));
  EXPECT_EQ(c.dir.Get("prog/tool.exe"), "new tool program\r\n");
  EXPECT_EQ(c.dir.Get("prog/docs/readme.txt").size(), 3300u);
  EXPECT_EQ(c.dir.Get("prog/lib/x.dll").size(), 5000u);
  EXPECT_FALSE(c.dir.Has("tool_update.zip"));
  ASSERT_FALSE(p.progress.empty());
  EXPECT_EQ(p.progress.back(), 100);
}

INSTANTIATE_TEST_SUITE_P(Archivers, ZipInstall, ::testing::Values("update_infozip.zip", "update_deflate64.zip"));

TEST(ZipInstallFailure, ABadCrcFailsKeepsTheOldFileAndTheArchive) {
  ClientFolder c;
  std::filesystem::create_directories(c.dir.Native("prog"));
  c.Put("prog/tool.exe", "old program");
  std::string bytes;
  ASSERT_TRUE(LoadFileBytes(Fixture("bad_crc.zip"), bytes));
  c.Put("bad.zip", bytes);
  RecordingPlatform p;
  EXPECT_FALSE(InstallUpdate(0, c.AppDir() + "bad.zip", c.AppDir() + "prog\\", p));
  EXPECT_EQ(c.dir.Get("prog/tool.exe"), "old program");
  EXPECT_TRUE(c.dir.Has("bad.zip"));
}

TEST(ZipInstallFailure, TraversalNamesFailAndWriteNothingOutsideTheFolder) {
  ClientFolder c;
  std::filesystem::create_directories(c.dir.Native("apps/prog"));
  std::string bytes;
  ASSERT_TRUE(LoadFileBytes(Fixture("traversal.zip"), bytes));
  c.Put("t.zip", bytes);
  RecordingPlatform p;
  EXPECT_FALSE(InstallUpdate(0, c.AppDir() + "t.zip", c.AppDir() + "apps\\prog\\", p));
  EXPECT_TRUE(c.dir.Has("apps/prog/good.txt"));
  EXPECT_FALSE(c.dir.Has("apps/evil.txt"));
  EXPECT_FALSE(c.dir.Has("evil2.txt"));
  EXPECT_FALSE(c.dir.Has("apps/evil2.txt"));
}

TEST(ZipInstallFailure, MissingArchiveFolderOrGarbageFailWithoutRaising) {
  ClientFolder c;
  std::filesystem::create_directories(c.dir.Native("prog"));
  RecordingPlatform p;
  EXPECT_FALSE(InstallUpdate(0, c.AppDir() + "none.zip", c.AppDir() + "prog\\", p));
  c.Put("junk.zip", "this is not an archive at all");
  EXPECT_FALSE(InstallUpdate(0, c.AppDir() + "junk.zip", c.AppDir() + "prog\\", p));
  EXPECT_TRUE(c.dir.Has("junk.zip"));
  std::string bytes;
  ASSERT_TRUE(LoadFileBytes(Fixture("update_infozip.zip"), bytes));
  c.Put("u.zip", bytes);
  EXPECT_FALSE(InstallUpdate(0, c.AppDir() + "u.zip", c.AppDir() + "nofolder\\", p));
  EXPECT_FALSE(InstallUpdate(0, c.AppDir() + "u.zip", "", p));
  EXPECT_TRUE(c.dir.Has("u.zip"));
  EXPECT_FALSE(c.dir.Has("tool.exe"));
}
