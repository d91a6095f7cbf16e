// Path, mask, progress, time and mode helpers of the archive library, and the parts of
// the OS layer they stand on (folders, temporary names, the lock).
#include <gtest/gtest.h>
#include <set>
#include <thread>
#include "archive/core/arerrors.h"
#include "archive/core/arutils.h"
#include "archive/core/crc32fold.h"
#include "tests/archive/artestutil.h"
#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

TEST(PercentOf, RoundsDownAndStaysWithin0To100) {
  EXPECT_EQ(PercentOf(1, 3), 33);
  EXPECT_EQ(PercentOf(2, 3), 66);
  EXPECT_EQ(PercentOf(3, 3), 100);
  EXPECT_EQ(PercentOf(5, 0), 0);
  EXPECT_EQ(PercentOf(5, -4), 0);
  EXPECT_EQ(PercentOf(7, 3), 100);
  EXPECT_EQ(PercentOf(-5, 10), 0);
  EXPECT_EQ(PercentOf(-2147483647 - 1, 10), 0);
}

TEST(PercentOf, ScalesLargeTotalsBy256WithoutOverflow) {
  EXPECT_EQ(PercentOf(20000000, 40000000), 50);
  EXPECT_EQ(PercentOf(16384001, 16384002), 100);  // both scale to 64000
  EXPECT_EQ(PercentOf(2147483000, 2147483647), 99);
  EXPECT_EQ(ClampPercent(1638), 100);
  EXPECT_EQ(ClampPercent(-3), 0);
}

TEST(IsWildMatch, FollowsTheStarAndQuestionMarkRules) {
  EXPECT_TRUE(IsWildMatch("AB", 1, "*A*B", 1));
  EXPECT_FALSE(IsWildMatch("A", 1, "A**?", 1));
  EXPECT_TRUE(IsWildMatch("README", 1, "*.*", 1));
  EXPECT_FALSE(IsWildMatch("", 1, "*", 1));
  EXPECT_TRUE(IsWildMatch("", 1, "", 1));
  EXPECT_FALSE(IsWildMatch("A", 1, "", 1));
  EXPECT_TRUE(IsWildMatch("A.TXT", 1, "*.TXT", 1));
  EXPECT_FALSE(IsWildMatch("A.TXTX", 1, "*.TXT", 1));
  EXPECT_TRUE(IsWildMatch("ABC", 1, "A?C", 1));
  EXPECT_FALSE(IsWildMatch("AB", 1, "AB?", 1));  // "?" never matches the end
  EXPECT_TRUE(IsWildMatch("AB", 1, "AB*", 1));
  EXPECT_TRUE(IsWildMatch("ABC", 1, "A**C", 1));
  EXPECT_FALSE(IsWildMatch("ABC", 1, "ABCD", 1));
  EXPECT_FALSE(IsWildMatch("abc", 1, "ABC", 1));  // callers upper-case first
  EXPECT_TRUE(IsWildMatch("XABC", 2, "ABC", 1));
  EXPECT_TRUE(IsWildMatch("ABC", 1, "X*C", 2));
}

TEST(MatchFileMask, MatchesTheDirectoryPartOnlyWhenTheMaskHasOne) {
  EXPECT_TRUE(MatchFileMask("DOCS\\README.TXT", "*.TXT"));
  EXPECT_FALSE(MatchFileMask("DOCS\\README.TXT", "SRC\\*.TXT"));
  EXPECT_TRUE(MatchFileMask("docs\\readme.txt", "DOCS\\*.TXT"));
  EXPECT_FALSE(MatchFileMask("docs\\", "*.*"));  // a folder entry has no file name
}

TEST(Paths, AddBackslashAndPrefixes) {
  EXPECT_EQ(AddBackslash("D:"), "D:");
  EXPECT_EQ(AddBackslash("D:\\"), "D:\\");
  EXPECT_EQ(AddBackslash("D:\\TEMP"), "D:\\TEMP\\");
  EXPECT_EQ(AddBackslash(""), "");
  EXPECT_EQ(PrefixBeforeNthBackslash("a\\b\\c", 2), 3);
  EXPECT_EQ(PrefixBeforeNthBackslash("a\\b\\c", 3), 5);
  EXPECT_EQ(PrefixBeforeNthBackslash("\\x", 1), 0);
}

TEST(Paths, KindTellsBareRelativeAndAbsolute) {
  EXPECT_EQ(PathKind("file.txt"), pkBareName);
  EXPECT_EQ(PathKind("a\\b"), pkRelative);
  EXPECT_EQ(PathKind("a/b"), pkRelative);
  EXPECT_EQ(PathKind("C:\\a"), pkAbsolute);
  EXPECT_EQ(PathKind("C:a"), pkAbsolute);
  EXPECT_EQ(PathKind("\\\\srv\\sh\\a"), pkAbsolute);
  // Only a system whose names start at "/" takes a rooted path as complete.
  EXPECT_EQ(PathKind("\\tmp\\x"), os::kRootedPathIsAbsolute ? pkAbsolute : pkRelative);
}

TEST(Paths, SplitPathSeparatesRootFoldersAndName) {
  std::string root, dirs, name;
  SplitPath("D:\\a\\b.txt", root, dirs, name);
  EXPECT_EQ(root, "D:");
  EXPECT_EQ(dirs, "a\\");
  EXPECT_EQ(name, "b.txt");
  SplitPath("\\\\srv\\sh\\a\\b.txt", root, dirs, name);
  EXPECT_EQ(root, "\\\\srv\\sh");
  EXPECT_EQ(dirs, "a\\");
  EXPECT_EQ(name, "b.txt");
  SplitPath("a/b/c.txt", root, dirs, name);
  EXPECT_EQ(root, "");
  EXPECT_EQ(dirs, "a\\b\\");
  EXPECT_EQ(name, "c.txt");
  SplitPath("b.txt", root, dirs, name);
  EXPECT_EQ(root + "|" + dirs + "|" + name, "||b.txt");

  std::vector<std::string> list;
  SplitDirectories("a\\bb\\c\\", list);
  EXPECT_EQ(list, (std::vector<std::string>{"a", "bb", "c"}));
  list.clear();
  SplitDirectories("", list);
  EXPECT_TRUE(list.empty());
}

TEST(Paths, StrippingDrivesSharesAndParents) {
  std::string p = "D:\\data\\x.txt";
  StripDriveOrShare(p);
  EXPECT_EQ(p, "data\\x.txt");
  p = "\\\\srv\\sh\\data\\x.txt";
  StripDriveOrShare(p);
  EXPECT_EQ(p, "data\\x.txt");
  p = "..\\..\\x";
  StripParentPrefixes(p);
  EXPECT_EQ(p, "x");
  p = "a\\..\\x";
  StripParentPrefixes(p);
  EXPECT_EQ(p, "a\\..\\x");
}

TEST(SpanNames, MakeSpanImageNameNumbersTheExtension) {
  std::string n = "D:\\DATA\\SET.ZIP";
  MakeSpanImageName(n, 7);
  EXPECT_EQ(n, "D:\\DATA\\SET.Z07");
  n = "D:\\DATA\\SET.ZIP";
  MakeSpanImageName(n, 107);
  EXPECT_EQ(n, "D:\\DATA\\SET.Z07");
  n = "D:\\DATA\\SET";
  MakeSpanImageName(n, 7);
  EXPECT_EQ(n, "D:\\DATA\\SET.07");
  n = "D:\\V.1\\SET";
  MakeSpanImageName(n, 12);
  EXPECT_EQ(n, "D:\\V.1\\SET.12");
}

TEST(Crc32, MatchesTheCheckValueAndIsIndependentOfSplitting) {
  const std::string s = "123456789";
  uint32_t crc = 0xFFFFFFFF;
  UpdateCrc32Buffer(crc, s.data(), s.size());
  EXPECT_EQ(~crc, 0xCBF43926u);
  uint32_t bytewise = 0xFFFFFFFF;
  for (char c : s) bytewise = UpdateCrc32Byte(static_cast<uint8_t>(c), bytewise);
  EXPECT_EQ(bytewise, crc);
  std::string big(70000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 + (i >> 9));
  uint32_t whole = 0xFFFFFFFF, pieces = 0xFFFFFFFF;
  UpdateCrc32Buffer(whole, big.data(), big.size());
  for (size_t at = 0, step = 1; at < big.size(); at += step, step = step * 3 % 1001 + 1)
    UpdateCrc32Buffer(pieces, big.data() + at, std::min(step, big.size() - at));
  EXPECT_EQ(whole, pieces);
  EXPECT_EQ(Crc32Table()[1], 0x77073096u);
}

// The carry-less fold must give exactly the value of the byte-at-a-time definition,
// for every running value, length and alignment; its constants are derived in code.
TEST(Crc32, FoldingGivesTheBytewiseValue) {
  if (!Crc32FoldSupported()) GTEST_SKIP() << "no carry-less multiply on this processor";
  std::vector<uint8_t> data(4096 + 16);
  uint32_t seed = 0x9E3779B9;
  for (auto& b : data) b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 23);
  auto bytewise = [](uint32_t c, const uint8_t* p, size_t n) {
    while (n--) c = UpdateCrc32Byte(*p++, c);
    return c;
  };
  for (size_t n = 64; n <= 4096; n += n < 320 ? 16 : 272) {
    for (size_t offset = 0; offset < 16; offset += 5) {
      const uint32_t start = seed = seed * 1103515245 + 12345;
      uint8_t remainder[16];
      FoldCrc32(start, data.data() + offset, n, remainder);
      ASSERT_EQ(bytewise(0, remainder, 16), bytewise(start, data.data() + offset, n)) << n << " at " << offset;
    }
  }
}

TEST(UnixTime, ConvertsWithoutTimeZoneAndFloorsBeforeTheEpoch) {
  int y, mo, d, h, mi, s;
  DecodeDateTime(UnixTimeToDateTime(0), y, mo, d, h, mi, s);
  EXPECT_EQ((std::vector<int>{y, mo, d, h, mi, s}), (std::vector<int>{1970, 1, 1, 0, 0, 0}));
  EXPECT_EQ(DateTimeToUnixTime(UnixTimeToDateTime(0)), 0);
  DecodeDateTime(UnixTimeToDateTime(86399), y, mo, d, h, mi, s);
  EXPECT_EQ((std::vector<int>{y, mo, d, h, mi, s}), (std::vector<int>{1970, 1, 1, 23, 59, 59}));
  DecodeDateTime(UnixTimeToDateTime(-1), y, mo, d, h, mi, s);
  EXPECT_EQ((std::vector<int>{y, mo, d, h, mi, s}), (std::vector<int>{1969, 12, 31, 23, 59, 59}));
  EXPECT_EQ(DateTimeToUnixTime(UnixTimeToDateTime(1700000000)), 1700000000);
  EXPECT_EQ(DateTimeToUnixTime(EncodeDateTime(1960, 5, 1, 1, 2, 3)), 3723);  // earlier date counts 0 days
  EXPECT_EQ(DateTimeToUnixTime(EncodeDateTime(2100, 1, 1, 0, 0, 0)), 2147483647);
}

TEST(DosTime, RoundTripsThroughDateTime) {
  const uint32_t dos = DateTimeToDosDateTime(EncodeDateTime(2024, 2, 29, 13, 45, 58));
  EXPECT_EQ(dos >> 16, ((2024u - 1980) << 9) | (2 << 5) | 29);
  EXPECT_EQ(dos & 0xFFFF, (13u << 11) | (45 << 5) | 29);
  EXPECT_EQ(DateTimeToDosDateTime(DosDateTimeToDateTime(dos)), dos);
  EXPECT_EQ(DateTimeToDosDateTime(EncodeDateTime(1979, 12, 31, 0, 0, 0)), 0xFFFFFFFFu);
}

TEST(UnixMode, MapsFileTypesAndTheOwnerWriteBit) {
  EXPECT_EQ(UnixModeToAttributes(040755), os::faDirectory);
  EXPECT_EQ(UnixModeToAttributes(0100444), os::faReadOnly);
  EXPECT_EQ(UnixModeToAttributes(0100644), 0u);
  EXPECT_EQ(UnixModeToAttributes(0120777), os::faSysFile);
  EXPECT_EQ(UnixModeToAttributes(0140755), os::faSysFile);
  EXPECT_EQ(UnixModeToAttributes(0), os::faReadOnly);
  EXPECT_EQ(AttributesToUnixMode(os::faReadOnly | os::faArchive), 0444u);
  EXPECT_EQ(AttributesToUnixMode(os::faArchive), 0744u);
}

TEST(PadLock, UnlockWithoutLockDoesNothingAndTheHolderMayReenter) {
  TArPadLock lock;
  lock.SetLocked(false);
  EXPECT_EQ(lock.Count(), 0);
  lock.SetLocked(true);
  lock.SetLocked(true);
  EXPECT_EQ(lock.Count(), 2);
  std::thread([&] { lock.SetLocked(false); }).join();  // not the holder: ignored
  EXPECT_EQ(lock.Count(), 2);
  lock.SetLocked(false);
  lock.SetLocked(false);
  lock.SetLocked(false);
  EXPECT_EQ(lock.Count(), 0);
}

TEST(PadLock, KeepsASecondThreadOutWhileHeld) {
  TArPadLock lock;
  int shared = 0;
  auto work = [&] {
    for (int i = 0; i < 20000; ++i) {
      lock.SetLocked(true);
      const int v = shared;
      std::this_thread::yield();
      shared = v + 1;
      lock.SetLocked(false);
      if (i % 5000 == 0) std::this_thread::yield();
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(shared, 40000);
}

TEST(Folders, CreateDirectoryPathBuildsEveryMissingLevelFromTheTop) {
  artest::TempFolder t;
  os::MakeDirectory(t / "A");
  CreateDirectoryPath(t / "A\\B\\X");
  EXPECT_TRUE(os::DirectoryExists(t / "A\\B"));
  EXPECT_TRUE(os::DirectoryExists(t / "A\\B\\X"));
  CreateDirectoryPath(t / "p\\q\\r\\s\\t\\");
  EXPECT_TRUE(os::DirectoryExists(t / "p\\q\\r\\s\\t"));
  // A level blocked by a file is passed over without an error.
  artest::WriteFile(t / "f", "x");
  EXPECT_NO_THROW(CreateDirectoryPath(t / "f\\g"));
  EXPECT_FALSE(os::DirectoryExists(t / "f\\g"));
  EXPECT_FALSE(DirectoryExistsNoWild(t / "A*"));
  EXPECT_TRUE(DirectoryExistsNoWild(t / "A"));
}

TEST(Folders, FindMatchingFilesFiltersByMaskAndRecurses) {
  artest::TempFolder t;
  CreateDirectoryPath(t / "sub\\deeper");
  artest::WriteFile(t / "a.txt", "1");
  artest::WriteFile(t / "b.doc", "22");
  artest::WriteFile(t / "sub\\c.TXT", "333");
  artest::WriteFile(t / "sub\\deeper\\d.txt", "4444");
  std::vector<std::string> found;
  FindMatchingFiles(t / "*.txt", os::faReadOnly | os::faArchive, found, true);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{t / "a.txt", t / "sub\\c.TXT", t / "sub\\deeper\\d.txt"}));
  found.clear();
  FindMatchingFiles(t / "*.txt", os::faArchive, found, false);
  EXPECT_EQ(found, (std::vector<std::string>{t / "a.txt"}));
  EXPECT_EQ(GetFileSize64(t / "sub\\deeper\\d.txt"), 4);
  EXPECT_EQ(GetFileSize64(t / "nothing.txt"), -1);
}

#ifndef _WIN32
TEST(Folders, RecursiveSearchDoesNotFollowALinkBackUpTheTree) {
  artest::TempFolder t;
  CreateDirectoryPath(t / "a\\b");
  artest::WriteFile(t / "a\\b\\f.txt", "x");
  std::string target = t.Path(), link = t / "a\\b\\loop";
  ToForwardSlashes(target);
  ToForwardSlashes(link);
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  std::vector<std::string> found;
  FindMatchingFiles(t / "*.txt", os::faArchive, found, true);
  EXPECT_EQ(found, std::vector<std::string>{t / "a\\b\\f.txt"});
}
#endif

TEST(Folders, GetShortPathNeedsEveryLevelToExist) {
  artest::TempFolder t;
  CreateDirectoryPath(t / "dir");
  artest::WriteFile(t / "dir\\f.txt", "x");
  const std::string shortPath = GetShortPath(t / "dir\\f.txt");
  EXPECT_EQ(artest::ReadFile(shortPath), "x");
  try {
    GetShortPath(t / "missing\\f.txt");
    ADD_FAILURE();
  } catch (const EArException& e) {
    EXPECT_STREQ(e.what(), "Path not found");
    EXPECT_EQ(e.ErrorCode, 0);
  }
  EXPECT_THROW(GetShortPath(t / "dir\\none.txt"), EArFileNotFound);
}

TEST(TempNames, EveryCallGivesADistinctVMSName) {
  artest::TempFolder t;
  std::set<std::string> names;
  for (int i = 0; i < 100; ++i) {
    const std::string made = GetTempFileNameIn(t.Path(), true);
    EXPECT_TRUE(os::FileExists(made));
    names.insert(made);
    names.insert(GetTempFileNameIn(t.Path(), false));
  }
  EXPECT_EQ(names.size(), 200u);
  for (const auto& n : names) {
    EXPECT_EQ(ExtractFilePath(n), AddBackslash(t.Path()));
    EXPECT_EQ(ExtractFileName(n).substr(0, 3), "VMS");
  }
  EXPECT_EQ(artest::ListTree(t.Path()).size(), 100u);  // only the created ones exist
  const std::string fallback = GetTempFileNameIn(t / "missing", false);
  EXPECT_EQ(ExtractFilePath(fallback), os::TempDirectory());
}

TEST(FreeSpace, OnlyCompletePathsHaveAVolume) {
  artest::TempFolder t;
  EXPECT_EQ(GetDiskFreeSpaceOfPath("file.zip"), -1);
  EXPECT_EQ(GetDiskFreeSpaceOfPath("a\\file.zip"), -1);
  EXPECT_GT(GetDiskFreeSpaceOfPath(t / "new.zip"), 0);
}

}  // namespace
