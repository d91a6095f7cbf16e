#include <gtest/gtest.h>
#include <algorithm>
#include "base/sysutils.h"
#include "tests/base/temp_folder.h"
#ifdef _WIN32
#include <process.h>
static long ThisProcessId() { return _getpid(); }
#else
#include <unistd.h>
static long ThisProcessId() { return getpid(); }
#endif

TEST(StrToInt, AcceptsBlanksSignAndDecimalDigitsWithin32Bits) {
  EXPECT_EQ(StrToInt("42"), 42);
  EXPECT_EQ(StrToInt("  -17"), -17);
  EXPECT_EQ(StrToInt("\t-3 \t"), -3);
  EXPECT_EQ(StrToInt("+8"), 8);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
}

TEST(StrToInt, TextThatIsNotANumberRaisesOrGivesTheDefault) {
  for (const char* bad : {"", " ", "-", "12abc", "abc", "1 2", "- 1", "12\n", "0x10", "2147483648", "-2147483649",
                          "99999999999999999999"}) {
    EXPECT_THROW(StrToInt(bad), EConvertError) << bad;
    EXPECT_EQ(StrToIntDef(bad, -5), -5) << bad;
  }
  EXPECT_EQ(StrToIntDef("007", -5), 7);
}

TEST(Trim, RemovesBlanksAndControlCharactersOnlyAtTheEnds) {
  EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a "), "  a");
  EXPECT_EQ(Trim("   "), "");
}

TEST(CaseFolding, AnsiComparisonFoldsWindows1252LettersPlainComparisonOnlyAscii) {
  EXPECT_EQ(UpperCase("abz\xE4"), "ABZ\xE4");
  EXPECT_EQ(LowerCase("ABZ\xC4"), "abz\xC4");
  EXPECT_TRUE(SameText("Settings", "sETTINGS"));
  EXPECT_FALSE(SameText("\xC4", "\xE4"));
  EXPECT_TRUE(AnsiSameText("\xC4rger", "\xE4RGER"));  // Ärger / äRGER
  EXPECT_FALSE(AnsiSameText("\xD7", "\xF7"));         // × and ÷ are no letter pair
  EXPECT_FALSE(AnsiSameText("ab", "abc"));
  EXPECT_LT(AnsiCompareText("apple", "Banana"), 0);
  EXPECT_GT(AnsiCompareText("b", "A"), 0);
}

TEST(PathParts, BackslashAndDriveColonSeparateTheNameFromItsFolder) {
  EXPECT_EQ(ExtractFileName("C:\\Prog\\morbell.exe"), "morbell.exe");
  EXPECT_EQ(ExtractFilePath("C:\\Prog\\morbell.exe"), "C:\\Prog\\");
  EXPECT_EQ(ExtractFileName("C:x.txt"), "x.txt");
  EXPECT_EQ(ExtractFilePath("C:x.txt"), "C:");
  EXPECT_EQ(ExtractFileName("a/b.txt"), "a/b.txt");  // "/" is no separator here
  EXPECT_EQ(ExtractFilePath("plain"), "");
  EXPECT_EQ(ExtractFileDir("C:\\Prog\\x.exe"), "C:\\Prog");
  EXPECT_EQ(ExtractFileDir("C:\\x.exe"), "C:\\");
  EXPECT_EQ(ExtractFileDir("\\x.exe"), "\\");
}

TEST(PathParts, ExtensionIsTakenFromTheNameOnlyWithItsDot) {
  EXPECT_EQ(ExtractFileExt("a\\b.c\\name.TXT"), ".TXT");
  EXPECT_EQ(ExtractFileExt("a\\b.c\\name"), "");
  EXPECT_EQ(ExtractFileExt("archive.tar.gz"), ".gz");
}

TEST(PathParts, TrailingBackslashIsAddedOnceAndRemovedOnce) {
  EXPECT_EQ(IncludeTrailingBackslash("C:\\a"), "C:\\a\\");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\a\\"), "C:\\a\\");
  EXPECT_EQ(IncludeTrailingBackslash(""), "\\");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\a\\"), "C:\\a");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\a"), "C:\\a");
}

TEST(FileMask, StarAndQuestionMarkMatchIgnoringCase) {
  EXPECT_TRUE(MatchesFileMask("eng.txt", "*.txt"));
  EXPECT_TRUE(MatchesFileMask("DEU.TXT", "*.txt"));
  EXPECT_FALSE(MatchesFileMask("eng.txt.bak", "*.txt"));
  EXPECT_TRUE(MatchesFileMask("a1.z01", "a?.z0?"));
  EXPECT_FALSE(MatchesFileMask("a.z0", "a?.z0?"));
  EXPECT_TRUE(MatchesFileMask("README", "*.*"));
  EXPECT_TRUE(MatchesFileMask("x", "*"));
}

TEST(CommandLine, QuotesGroupAndVanishBackslashesStayOrdinary) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitCommandLine("prog.exe -start 001122334455 127.0.0.1"),
            (V{"prog.exe", "-start", "001122334455", "127.0.0.1"}));
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\m.exe\"  \"a b\"c  d\"e f\""),
            (V{"C:\\Program Files\\m.exe", "a bc", "de f"}));
  EXPECT_EQ(SplitCommandLine("p \"C:\\dir\\\" next"), (V{"p", "C:\\dir\\", "next"}));
  EXPECT_EQ(SplitCommandLine("p \"\" x"), (V{"p", "", "x"}));
  EXPECT_EQ(SplitCommandLine("p \"unterminated arg"), (V{"p", "unterminated arg"}));
  EXPECT_EQ(SplitCommandLine("   "), V{});
  EXPECT_EQ(SplitCommandLine("p\ta\r\nb"), (V{"p", "a", "b"}));
}

TEST(ProgramFolder, IsTheExecutablesFolderWithTrailingBackslash) {
  const std::string exe = ProgramFileName();
  ASSERT_FALSE(exe.empty());
  EXPECT_TRUE(FileExists(exe)) << exe;
  EXPECT_EQ(ProgramFolder(), ExtractFilePath(exe));
  EXPECT_EQ(ProgramFolder().back(), '\\');
  EXPECT_EQ(ParamStr(0), exe);
  EXPECT_EQ(ParamStr(ParamCount() + 1), "");
  EXPECT_EQ(ParamStr(-1), "");
}

TEST(Files, ExistsTellsFilesFromFoldersAndDeleteRemovesOnlyFiles) {
  TempFolder t;
  t.Put("a.txt", "x");
  std::filesystem::create_directory(t.Native("sub"));
  EXPECT_TRUE(FileExists(t.File("a.txt")));
  EXPECT_FALSE(FileExists(t.File("sub")));
  EXPECT_TRUE(DirectoryExists(t.File("sub")));
  EXPECT_FALSE(DirectoryExists(t.File("a.txt")));
  EXPECT_FALSE(FileExists(t.File("missing.txt")));
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(DeleteFile(t.File("sub")));
  EXPECT_TRUE(DirectoryExists(t.File("sub")));
  EXPECT_TRUE(DeleteFile(t.File("a.txt")));
  EXPECT_FALSE(t.Has("a.txt"));
  EXPECT_FALSE(DeleteFile(t.File("a.txt")));
}

TEST(Files, FindFilesListsMatchingNamesOfTheMasksFolder) {
  TempFolder t;
  std::filesystem::create_directory(t.Native("lang"));
  t.Put("lang/eng.txt", "");
  t.Put("lang/DEU.TXT", "");
  t.Put("lang/notes.md", "");
  t.Put("top.txt", "");
  std::vector<std::string> found = FindFiles(t.File("lang") + "\\*.txt");
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{"DEU.TXT", "eng.txt"}));
  EXPECT_TRUE(FindFiles(t.File("nofolder") + "\\*.txt").empty());
}

TEST(Files, SaveReplacesTheWholeFileAndLeavesNoTemporaryBehind) {
  TempFolder t;
  t.Put("f.bin", "old content that is longer");
  const std::string bytes("new\0\r\nbytes", 11);
  SaveFileBytes(t.File("f.bin"), bytes);
  EXPECT_EQ(t.Get("f.bin"), bytes);
  EXPECT_EQ(t.EntryCount(), 1u);
  std::string back;
  ASSERT_TRUE(LoadFileBytes(t.File("f.bin"), back));
  EXPECT_EQ(back, bytes);
  EXPECT_FALSE(LoadFileBytes(t.File("none.bin"), back));
  EXPECT_EQ(back, bytes);
}

TEST(Files, SaveStepsOverTemporaryNamesThatAreTakenAndLeavesThemAlone) {
  TempFolder t;
  // Leftovers with the names this process would use next (a crash of an earlier process
  // with the same id): they must be skipped, not reused or removed.
  const std::string prefix = "f.txt.~" + std::to_string(ThisProcessId()) + "-";
  for (int i = 0; i < 80; ++i) std::filesystem::create_directory(t.Native(prefix + std::to_string(i)));
  SaveFileBytes(t.File("f.txt"), "one");
  SaveFileBytes(t.File("f.txt"), "two");
  EXPECT_EQ(t.Get("f.txt"), "two");
  EXPECT_EQ(t.EntryCount(), 81u);
}

TEST(Files, SaveIntoAMissingFolderRaisesAndCreatesNothing) {
  TempFolder t;
  try {
    SaveFileBytes(t.File("no\\such\\f.txt"), "x");
    ADD_FAILURE() << "no exception";
  } catch (const EInOutError& e) {
    EXPECT_NE(e.ErrorCode, 0);  // the system's reason travels with it
  }
  EXPECT_EQ(t.EntryCount(), 0u);
}
