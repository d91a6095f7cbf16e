// Extraction by masks: progress, exclusions, output paths, overwrite confirmation,
// failures of single items, aborts, and confinement of stored names to the target
// folder.
#include <gtest/gtest.h>
#include "tests/archive/core/testformat.h"

namespace {

using artest::Failure;
using artest::TTestArchive;

class Extraction : public ::testing::Test {
protected:
  // Deep enough that every escape the hostile names try still lands inside folder,
  // where it can be seen.
  Extraction() { CreateDirectoryPath(base()); }
  std::string base() const { return folder / "p\\q\\out"; }
  std::unique_ptr<TTestArchive> Open(const std::vector<std::string>& lines, uint8_t options = 0) {
    auto a =
        std::make_unique<TTestArchive>(artest::MakeArchiveFile(folder.Path(), lines), fmOpenRead | fmShareDenyNone);
    a->Load();
    a->SetBaseDirectory(base());
    a->ExtractOptions = options;
    artest::RecordFailures(*a, failures);
    a->OnArchiveProgress = [this](TArArchive*, uint8_t p, bool& abort) {
      progress.push_back(p);
      abort = abortAfter >= 0 && static_cast<int>(progress.size()) > abortAfter;
    };
    return a;
  }
  artest::TempFolder folder;
  std::vector<Failure> failures;
  std::vector<int> progress;
  int abortAfter = -1;
};

TEST_F(Extraction, ReportsProgressAfterEveryItemThen100Again) {
  auto a = Open({"a.txt|1", "b.txt|2", "c.txt|3"});
  a->ExtractByMasks("*.*");
  EXPECT_EQ(progress, (std::vector<int>{33, 66, 100, 100}));
  EXPECT_EQ(artest::ReadFile(base() + "\\b.txt"), "2");
  EXPECT_TRUE(failures.empty());
}

TEST_F(Extraction, AnEmptyArchiveReportsNoProgress) {
  auto a = Open({});
  a->ExtractByMasks("*.*");
  EXPECT_TRUE(progress.empty());
}

TEST_F(Extraction, ExcludedItemsAreSkippedButCountInTheProgress) {
  auto a = Open({"setup.exe|x", "read.me|y", "tool.EXE|z", "docs/a.txt|w"});
  a->ExtractByMasks("*.*", "*.exe");
  EXPECT_EQ(artest::ListTree(base()), (std::vector<std::string>{"a.txt", "read.me"}));
  EXPECT_EQ(progress, (std::vector<int>{25, 50, 75, 100, 100}));
}

TEST_F(Extraction, RestorePathKeepsFoldersAndCreateDirsMakesThem) {
  {
    auto a = Open({"docs/readme.txt|r"});
    a->ExtractByMasks("*.*");
    EXPECT_EQ(artest::ListTree(base()), std::vector<std::string>{"readme.txt"});
  }
  artest::RemoveTree(base());
  CreateDirectoryPath(base());
  {
    auto a = Open({"docs/readme.txt|r", "second.txt|s"}, eoRestorePath);
    a->ExtractByMasks("*.*");
    // The missing folder is the item's failure; the walk goes on.
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].Type, ptExtract);
    EXPECT_EQ(failures[0].Class, ecArchiveError);
    EXPECT_EQ(failures[0].Code, 19);
    EXPECT_EQ(artest::ListTree(base()), std::vector<std::string>{"second.txt"});
  }
  failures.clear();
  {
    auto a = Open({"docs/readme.txt|r", "docs\\sub\\deep.txt|d", "docsx/x.txt|x", "docs/z.txt|z"},
                  eoRestorePath | eoCreateDirs);
    a->ExtractByMasks("*.*");
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(artest::ReadFile(base() + "\\docs\\readme.txt"), "r");
    EXPECT_EQ(artest::ReadFile(base() + "\\docs\\sub\\deep.txt"), "d");
    // Folders one walk made are looked for again by the next: these have gone since.
    artest::RemoveTree(base());
    CreateDirectoryPath(base());
    a->ExtractByMasks("*.*");
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(artest::ListTree(base()),
              (std::vector<std::string>{"docs", "docs\\readme.txt", "docs\\sub", "docs\\sub\\deep.txt", "docs\\z.txt",
                                        "docsx", "docsx\\x.txt"}));
  }
}

TEST_F(Extraction, OverwriteIsAskedOnlyForExistingFilesAndMayRefuseOrRename) {
  artest::WriteFile(base() + "\\a.txt", "old");
  artest::WriteFile(base() + "\\b.txt", "old");
  auto a = Open({"a.txt|new", "b.txt|new", "c.txt|new"});
  a->ExtractByMasks("*.*");  // no hook: overwritten
  EXPECT_EQ(artest::ReadFile(base() + "\\a.txt"), "new");
  artest::WriteFile(base() + "\\a.txt", "old");
  artest::WriteFile(base() + "\\b.txt", "old");
  os::EraseFile(base() + "\\c.txt");
  std::vector<std::string> asked;
  a->OnConfirmOverwrite = [&](std::string& name, bool& confirm) {
    asked.push_back(ExtractFileName(name));
    if (ExtractFileName(name) == "a.txt")
      confirm = false;
    else
      name = ExtractFilePath(name) + "renamed.txt";
  };
  a->ExtractByMasks("*.*");
  EXPECT_EQ(asked, (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(artest::ReadFile(base() + "\\a.txt"), "old");
  EXPECT_EQ(artest::ReadFile(base() + "\\b.txt"), "old");
  EXPECT_EQ(artest::ReadFile(base() + "\\renamed.txt"), "new");
  EXPECT_TRUE(failures.empty());
}

TEST_F(Extraction, AFailedItemIsReportedOnceAndTheNextStillExtracts) {
  auto a = Open({"one.txt|1", "two.txt|!crc", "three.txt|3"});
  a->ExtractByMasks("*.*");
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].Name, "two.txt");
  EXPECT_EQ(failures[0].Type, ptExtract);
  EXPECT_EQ(failures[0].Class, ecArchiveError);
  EXPECT_EQ(failures[0].Code, 23);
  EXPECT_EQ(artest::ListTree(base()), (std::vector<std::string>{"one.txt", "three.txt"}));
  EXPECT_EQ(a->Status, asIdle);
  EXPECT_EQ(a->Lock.Count(), 0);
}

TEST_F(Extraction, AbortFromTheArchiveProgressEndsTheWalkAndKeepsWhatWasWritten) {
  auto a = Open({"one.txt|1", "two.txt|2", "three.txt|3"});
  abortAfter = 0;
  try {
    a->ExtractByMasks("*.*");
    ADD_FAILURE();
  } catch (const EArUserAbort& e) { EXPECT_EQ(e.ErrorCode, 9); }
  EXPECT_EQ(artest::ListTree(base()), std::vector<std::string>{"one.txt"});
  EXPECT_EQ(progress, std::vector<int>{33});
}

TEST_F(Extraction, AnAbortInsideAnItemIsReportedAndEndsTheWalk) {
  auto a = Open({"one.txt|1", "two.txt|!abort", "three.txt|3"});
  EXPECT_THROW(a->ExtractByMasks("*.*"), EArUserAbort);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].Code, 9);
  EXPECT_EQ(artest::ListTree(base()), std::vector<std::string>{"one.txt"});
  EXPECT_EQ(a->Status, asIdle);

  failures.clear();
  auto b = Open({"x.txt|1", "stop.txt|2", "z.txt|3"});
  b->OnArchiveItemProgress = [](TArArchive*, TArArchiveItem* item, uint8_t, bool& abort) {
    abort = item->GetStoredName() == "stop.txt";
  };
  EXPECT_THROW(b->ExtractByMasks("*.*"), EArAbortProgress);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].Class, ecOther);
  EXPECT_FALSE(os::FileExists(base() + "\\z.txt"));
}

TEST_F(Extraction, ItemProgressReachesTheHookClampedTo100) {
  auto a = Open({"a.txt|1"});
  std::vector<int> seen;
  a->OnArchiveItemProgress = [&](TArArchive*, TArArchiveItem*, uint8_t p, bool&) { seen.push_back(p); };
  a->ExtractByMasks("*.*");
  EXPECT_EQ(seen, (std::vector<int>{50, 100}));
}

TEST_F(Extraction, PendingChangesAreSavedFirstAndDroppedItemsDoNotBreakTheWalk) {
  auto a = Open({"a.txt|1", "b.txt|2", "c.txt|3"});
  a->Items->Get(0)->PendingAction = aaDelete;
  a->Items->Get(1)->PendingAction = aaMove;
  a->IsDirty = true;
  a->ExtractByMasks("*.*");
  EXPECT_EQ(a->Writes, 1);
  EXPECT_EQ(a->Count(), 2);
  EXPECT_EQ(artest::ListTree(base()), (std::vector<std::string>{"b.txt", "c.txt"}));
}

// Stored names from a hostile archive, extracted with folders restored and created:
// nothing appears outside the target folder, each is refused once, and legitimate
// nested names still extract.
TEST_F(Extraction, StoredNamesCannotLeaveTheTargetFolder) {
  const std::vector<std::string> hostile = {
      "..\\x1",   "a\\..\\..\\x2", "\\x3",       "/x4",        "C:\\x5",
      "C:x6",     "\\\\s\\h\\x7",  "../x8",      "a/../../x9", "sub\\..\\..\\..\\x10",
      ".. \\x11", "sub\\...\\x12", "x13:stream", "//s/h/x14",
  };
  std::vector<std::string> lines = {"ok\\nested\\good1.txt|g1", "plain.txt|g2", "dir/good3.txt|g3"};
  for (const auto& n : hostile) lines.push_back(n + "|evil");
  artest::WriteFile(folder / "sibling.txt", "keep");
  auto a = Open(lines, eoRestorePath | eoCreateDirs);
  auto outsideOfBase = [this] {
    std::vector<std::string> out;
    for (const auto& e : artest::ListTree(folder.Path()))
      if (e.rfind("p\\q\\out\\", 0) != 0) out.push_back(e);
    return out;
  };
  const auto before = outsideOfBase();

  a->ExtractByMasks("*.*");

  std::vector<std::string> refused;
  for (const auto& f : failures) {
    EXPECT_EQ(f.Type, ptExtract);
    EXPECT_EQ(f.Class, ecArchiveError);
    EXPECT_EQ(f.Code, 0);
    refused.push_back(f.Name);
  }
  EXPECT_EQ(refused, hostile);
  EXPECT_EQ(artest::ListTree(base()), (std::vector<std::string>{"dir", "dir\\good3.txt", "ok", "ok\\nested",
                                                                "ok\\nested\\good1.txt", "plain.txt"}));
  EXPECT_EQ(outsideOfBase(), before);
  EXPECT_EQ(a->Unpacked.size(), 3u);
}

// Windows reads these parts as devices, with an extension or trailing dots and blanks, in
// any folder and letter case: each item is refused once and nothing is sent to a device.
// Names that merely begin like one are files there and extract.
TEST_F(Extraction, PartsThatNameADeviceAreRefusedAndLookalikesExtract) {
  const std::vector<std::string> devices = {
      "nul.txt",     "CON",      "Aux.log",     "prn .txt", "CON.",      "con  ",  "com1",        "LPT9.a.b",
      "sub\\Nul\\x", "d/lpt3/y", "COM\xB9.txt", "lpt\xB2",  "com\xB3 .", "conin$", "CONOUT$.log",
  };
  std::vector<std::string> lookalikes = {"console.txt", "nulls.dat", "com10", "lpt0.txt", "auxiliary",
                                         "x.nul",       "com.txt",   "lpt",   "conin",    "nul_ .txt"};
  std::vector<std::string> lines;
  for (const auto& n : devices) lines.push_back(n + "|device");
  for (const auto& n : lookalikes) lines.push_back(n + "|file");
  auto a = Open(lines, eoRestorePath | eoCreateDirs);

  a->ExtractByMasks("*.*");

  std::vector<std::string> refused;
  for (const auto& f : failures) {
    EXPECT_EQ(f.Class, ecArchiveError);
    refused.push_back(f.Name);
  }
  EXPECT_EQ(refused, devices);
  std::sort(lookalikes.begin(), lookalikes.end());
  EXPECT_EQ(artest::ListTree(base()), lookalikes);
}

TEST_F(Extraction, WithoutRestorePathOnlyTheFileNameCountsAndStaysInside) {
  auto a = Open({"..\\..\\up.txt|u", "C:\\abs\\name.txt|n", "a\\..|dots"});
  a->ExtractByMasks("*.*");
  EXPECT_EQ(artest::ListTree(base()), (std::vector<std::string>{"name.txt", "up.txt"}));
  ASSERT_EQ(failures.size(), 1u);  // "a\.." would name the parent folder itself
  EXPECT_EQ(failures[0].Name, "a\\..");
}

TEST_F(Extraction, PrepareOutputPathRefusesEscapingNamesForEveryFormat) {
  std::string name = "..\\evil.txt";
  EXPECT_THROW(TArArchive::PrepareOutputPath(base(), name, eoRestorePath | eoCreateDirs, nullptr), EArException);
  EXPECT_EQ(name, "..\\evil.txt");
  name = "fine\\name.txt";
  EXPECT_TRUE(TArArchive::PrepareOutputPath(base(), name, eoRestorePath | eoCreateDirs, nullptr));
  EXPECT_EQ(name, base() + "\\fine\\name.txt");
  EXPECT_TRUE(os::DirectoryExists(base() + "\\fine"));
  EXPECT_TRUE(TArArchive::IsConfinedName("a..b\\c..\\..d", eoRestorePath));
  EXPECT_TRUE(TArArchive::IsConfinedName(".\\x", eoRestorePath));
}

// The folder the caller names is the folder used, also where its OEM reading names another
// folder beside it. Only a folder that is not there as given is read as OEM text, once: a
// second extraction must not convert the converted name again.
TEST_F(Extraction, TheFolderAsGivenIsUsedAndOnlyAMissingOneIsReadAsOem) {
  std::string given;
  ASSERT_TRUE(os::Utf8ToFileText("M\xC3\xBCller", given));
  const std::string oemReading = os::OemTextToAnsi(given);
  if (oemReading == given) GTEST_SKIP() << "the code pages read this name alike";
  for (const bool goneBeforeTheWalk : {false, true}) {
    SCOPED_TRACE(goneBeforeTheWalk ? "gone before the walk" : "there as given");
    artest::RemoveTree(folder / given);
    artest::RemoveTree(folder / oemReading);
    os::MakeDirectory(folder / given);
    os::MakeDirectory(folder / oemReading);
    auto a = Open({"a.txt|1"});
    a->SetBaseDirectory(folder / given);
    if (goneBeforeTheWalk) artest::RemoveTree(folder / given);
    const std::string used = folder / (goneBeforeTheWalk ? oemReading : given);
    for (int walk = 0; walk < 2; ++walk) {
      EXPECT_NO_THROW(a->ExtractByMasks("*.*"));
      EXPECT_EQ(a->BaseDirectory(), used);
    }
    EXPECT_EQ(artest::ListTree(used), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(artest::ListTree(folder / (goneBeforeTheWalk ? given : oemReading)), std::vector<std::string>{});
    EXPECT_TRUE(failures.empty());
  }
}

}  // namespace
