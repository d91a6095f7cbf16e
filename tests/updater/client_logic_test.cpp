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

TEST(GetConnectionKind, LastMatchingFlagWins) {
  EXPECT_EQ(GetConnectionKind(0), "");
  EXPECT_EQ(GetConnectionKind(1), "Modem");
  EXPECT_EQ(GetConnectionKind(2), "LAN");
  EXPECT_EQ(GetConnectionKind(3), "LAN");
  EXPECT_EQ(GetConnectionKind(6), "Proxy");
  EXPECT_EQ(GetConnectionKind(8), "Modem");
  EXPECT_EQ(GetConnectionKind(10), "Modem");
  EXPECT_EQ(GetConnectionKind(0x20), "");
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
  EXPECT_EQ(static_cast<unsigned char>(std::string(DefaultSize)[7]), 0xF6);  // ö
#else
  EXPECT_EQ(std::string(DefaultSize).substr(7, 2), "\xC3\xB6");
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
  EXPECT_EQ(ReadProgramList(c.AppDir()).size(), static_cast<size_t>(MaxPrograms));
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

TEST(RecordVersion, WritesUnderTheProgramsNumberOnly) {
  ClientFolder c;
  c.Put("progs.kvr", "[info]\r\ncount=2\r\nver1=1.0\r\nver2=3.1\r\n");
  RecordVersion(c.AppDir(), "2", "3.2");
  TIniFile progs(c.AppDir() + "progs.kvr");
  EXPECT_EQ(progs.ReadString("info", "ver1", ""), "1.0");
  EXPECT_EQ(progs.ReadString("info", "ver2", ""), "3.2");
  EXPECT_EQ(progs.ReadInteger("info", "count", 0), 2);
}
