// Cabinets through the platform's cabinet library (Windows builds only): cabinets made by
// the system's cabinet tool list and extract byte for byte; damaged ones and names that
// would leave the base folder fail cleanly; what this code writes reads back here and is
// left in the written folder, where a script checks it with the system's tools.
#include <gtest/gtest.h>
#include <random>
#include <stdexcept>
#include "archive/cab/cabarchive.h"
#include "archive/typedetect.h"
#include "archive/unzipper.h"
#include "tests/archive/artestutil.h"

namespace {

std::string Corpus(const std::string& name) { return std::string(MB_CAB_CORPUS) + "\\" + name; }

uint32_t DosTimeOf(const std::string& path) {
  const os::FileHandle h = os::OpenFile(path, 0, 0x40);
  const uint32_t t = os::FileDosDateTime(h);
  os::CloseFile(h);
  return t;
}

std::string CopyIn(const artest::TempFolder& dir, const std::string& corpusName, const std::string& leaf) {
  artest::WriteFile(dir / leaf, artest::ReadFile(Corpus(corpusName)));
  return dir / leaf;
}

// Replaces the first occurrence of from (same length) in a file.
void Patch(const std::string& file, const std::string& from, const std::string& to) {
  std::string bytes = artest::ReadFile(file);
  const size_t at = bytes.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  ASSERT_EQ(from.size(), to.size());
  bytes.replace(at, from.size(), to);
  artest::WriteFile(file, bytes);
}

struct TFailure {
  std::string Name;
  TArProcessType Type;
  TArErrorClass Class;
  int32_t Code;
};

// Records every item failure the archive reports.
std::vector<TFailure>& Record(TArArchive& a, std::vector<TFailure>& into) {
  a.OnProcessItemFailure = [&into](TArArchive*, TArArchiveItem* item, TArProcessType t, TArErrorClass c, int32_t code) {
    into.push_back({item ? item->GetStoredName() : std::string(), t, c, code});
  };
  return into;
}

std::vector<std::string> Names(const TArArchive& a) {
  std::vector<std::string> names;
  for (int32_t i = 0; i < a.Count(); ++i) names.push_back(a.Items->Get(i)->GetStoredName());
  return names;
}

const std::vector<std::string> kSources = {"a.txt", "docs\\readme.txt", "sub\\deep\\data.bin"};

// ---- reading -------------------------------------------------------------------------

TEST(CabinetReading, ToolMadeCabinetsAreDetectedListedAndExtractedByteForByte) {
  for (const char* leaf : {"none.cab", "mszip.cab"}) {
    SCOPED_TRACE(leaf);
    artest::TempFolder dir;
    const std::string cabinet = CopyIn(dir, leaf, "x.cab");
    EXPECT_EQ(DetectArchiveType(cabinet), atCabinet);
    EXPECT_EQ(artest::ListTree(dir.Path()), std::vector<std::string>{"x.cab"});  // detection extracts nothing

    TArCabArchive a(cabinet, fmOpenRead | fmShareDenyNone);
    std::vector<TFailure> failures;
    Record(a, failures);
    a.Load();
    ASSERT_EQ(Names(a), kSources);
    EXPECT_EQ(a.FileCount, 3);
    EXPECT_EQ(a.FolderCount, 1);
    EXPECT_FALSE(a.HasNext || a.HasPrevious);
    for (int32_t i = 0; i < a.Count(); ++i) {
      const TArArchiveItem* item = a.Items->Get(i);
      const std::string src = Corpus("src\\" + kSources[i]);
      EXPECT_EQ(item->GetUnpackedSize(), artest::ReadFile(src).size());
      EXPECT_EQ(static_cast<uint32_t>(item->GetModDate()) << 16 | item->GetModTime(), DosTimeOf(src));
      EXPECT_EQ(item->GetAttributes(), os::faArchive);
      EXPECT_FALSE(static_cast<const TArCabItem*>(item)->PartialFile);
    }

    const std::string base = dir / "out";
    os::MakeDirectory(base);
    a.SetBaseDirectory(base);
    a.ExtractOptions = eoCreateDirs | eoRestorePath;
    a.ExtractByMasks("*.*");
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(artest::ListTree(base), (std::vector<std::string>{"a.txt", "docs", "docs\\readme.txt", "sub", "sub\\deep",
                                                                "sub\\deep\\data.bin"}));
    for (int32_t i = 0; i < a.Count(); ++i) {
      const TArArchiveItem* item = a.Items->Get(i);
      EXPECT_EQ(artest::ReadFile(base + "\\" + kSources[i]), artest::ReadFile(Corpus("src\\" + kSources[i])));
      EXPECT_EQ(DosTimeOf(base + "\\" + kSources[i]),
                static_cast<uint32_t>(item->GetModDate()) << 16 | item->GetModTime());
    }

    const std::string flat = dir / "flat";
    os::MakeDirectory(flat);
    a.SetBaseDirectory(flat);
    a.ExtractOptions = 0;
    a.ExtractByMasks("*.bin;*.txt");
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(artest::ListTree(flat), (std::vector<std::string>{"a.txt", "data.bin", "readme.txt"}));
    EXPECT_EQ(artest::ReadFile(flat + "\\data.bin"), artest::ReadFile(Corpus("src\\sub\\deep\\data.bin")));
  }
}

TEST(CabinetReading, WhatIsNoCabinetIsRefusedWithTheCabinetErrors) {
  artest::TempFolder dir;
  artest::WriteFile(dir / "text.cab", "this is plain text, not a cabinet");
  try {
    DetectArchiveType(dir / "text.cab");
    ADD_FAILURE() << "a text file passed as a cabinet";
  } catch (const EArInvalidCabFile& e) {
    EXPECT_EQ(e.ErrorCode, 64);
    EXPECT_STREQ(e.what(), "Invalid file - not a cabinet file");
  }
  TArCabArchive missing(dir / "missing.cab", fmOpenRead | fmShareDenyNone);
  EXPECT_THROW(missing.ReadArchive(), EArReadError);

  const std::string header = artest::ReadFile(Corpus("none.cab")).substr(0, 30);
  artest::WriteFile(dir / "cut.cab", header);
  EXPECT_THROW(ProbeCabinetFile(dir / "cut.cab"), EArInvalidCabFile);

  // The unzipper recognises a cabinet and still does not open it.
  const std::string cabinet = CopyIn(dir, "mszip.cab", "real.cab");
  TArUnZipper u;
  EXPECT_THROW(u.OpenArchiveFile(cabinet), EArUnhandledType);
}

// Data that fails its checksum, or is cut off, is reported once and never replaces the
// file that was there.
TEST(CabinetReading, DamagedDataFailsWithoutTouchingTheTarget) {
  artest::TempFolder dir;
  const std::string bad = CopyIn(dir, "none.cab", "bad.cab");
  Patch(bad, "hello\n", "jello\n");
  const std::string cut = CopyIn(dir, "none.cab", "cut.cab");
  artest::WriteFile(cut, artest::ReadFile(cut).substr(0, 120000));
  for (const std::string& cabinet : {bad, cut}) {
    SCOPED_TRACE(cabinet);
    artest::TempFolder base;
    artest::WriteFile(base / "a.txt", "old");
    artest::WriteFile(base / "data.bin", "old");
    TArCabArchive a(cabinet, fmOpenRead | fmShareDenyNone);
    std::vector<TFailure> failures;
    Record(a, failures);
    a.Load();
    a.SetBaseDirectory(base.Path());
    a.ExtractItemAt(cabinet == bad ? 0 : 2);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].Class, ecCabError);
    EXPECT_EQ(failures[0].Type, ptExtract);
    EXPECT_EQ(artest::ReadFile(base / "a.txt"), "old");
    EXPECT_EQ(artest::ReadFile(base / "data.bin"), "old");
    EXPECT_EQ(artest::ListTree(base.Path()), (std::vector<std::string>{"a.txt", "data.bin"}));
  }
}

// ---- extraction ----------------------------------------------------------------------

TEST(CabinetExtraction, NamesThatLeaveTheBaseFolderAreRefusedOnce) {
  for (const char* name : {"..\\", "C:\\", "\\x\\"}) {
    SCOPED_TRACE(name);
    artest::TempFolder dir;
    const std::string cabinet = CopyIn(dir, "evil.cab", "evil.cab");
    Patch(cabinet, "xx\\", name);
    const std::string base = dir / "base";
    os::MakeDirectory(base);
    TArCabArchive a(cabinet, fmOpenRead | fmShareDenyNone);
    std::vector<TFailure> failures;
    Record(a, failures);
    a.Load();
    ASSERT_EQ(a.Count(), 1);
    a.SetBaseDirectory(base);
    a.ExtractOptions = eoCreateDirs | eoRestorePath;
    a.ExtractByMasks("*.*");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].Name, std::string(name) + "evil.txt");
    EXPECT_EQ(artest::ListTree(dir.Path()), (std::vector<std::string>{"base", "evil.cab"}));
  }
  EXPECT_FALSE(os::FileExists("C:\\evil.txt"));
}

TEST(CabinetExtraction, OverwriteConfirmationAndHooksThatThrowInsideTheLibrary) {
  artest::TempFolder dir;
  const std::string cabinet = CopyIn(dir, "mszip.cab", "x.cab");
  TArCabArchive a(cabinet, fmOpenRead | fmShareDenyNone);
  std::vector<TFailure> failures;
  Record(a, failures);
  a.Load();
  artest::TempFolder base;
  a.SetBaseDirectory(base.Path());
  artest::WriteFile(base / "a.txt", "mine");
  std::vector<std::string> asked;
  a.OnConfirmOverwrite = [&](std::string& name, bool& confirm) {
    asked.push_back(name);
    confirm = false;
  };
  a.ExtractItemAt(0);
  EXPECT_EQ(asked, std::vector<std::string>{base / "a.txt"});
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(artest::ReadFile(base / "a.txt"), "mine");

  // An exception thrown while the library runs reaches the item's failure report, once.
  a.OnConfirmOverwrite = [](std::string&, bool&) { throw std::runtime_error("hook failed"); };
  a.ExtractItemAt(0);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].Class, ecOther);
  EXPECT_EQ(artest::ReadFile(base / "a.txt"), "mine");
  // A user abort from inside the library ends the walk.
  a.OnConfirmOverwrite = [](std::string&, bool&) { throw EArUserAbort(); };
  EXPECT_THROW(a.ExtractByMasks("*.*"), EArUserAbort);
  EXPECT_EQ(artest::ListTree(base.Path()), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(artest::ReadFile(base / "a.txt"), "mine");

  // Without the overwrite hook the file is replaced, and a missing folder is an error
  // of the item unless folders may be made.
  a.OnConfirmOverwrite = nullptr;
  failures.clear();
  a.ExtractOptions = eoRestorePath;
  a.ExtractByMasks("*.*");
  EXPECT_EQ(artest::ReadFile(base / "a.txt"), "hello\n");
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures[0].Code, 19);
  EXPECT_EQ(failures[1].Code, 19);
}

TEST(CabinetExtraction, OnlyFileSystemAttributesAreRestoredAndAnEntryMustBeFound) {
  artest::TempFolder dir;
  const std::string cabinet = CopyIn(dir, "none.cab", "x.cab");
  // a.txt's attributes (0x20) become executable, UTF-8 name, read-only.
  Patch(cabinet,
        std::string("\x20\x00"
                    "a.txt",
                    7),
        std::string("\xC1\x00"
                    "a.txt",
                    7));
  TArCabArchive a(cabinet, fmOpenRead | fmShareDenyNone);
  std::vector<TFailure> failures;
  Record(a, failures);
  a.Load();
  EXPECT_EQ(a.Items->Get(0)->GetAttributes(), 0xC1u);
  artest::TempFolder base;
  a.SetBaseDirectory(base.Path());
  a.ExtractItemAt(0);
  EXPECT_TRUE(failures.empty());
  const uint32_t attributes = os::GetAttributes(base / "a.txt");
  EXPECT_TRUE(attributes & os::faReadOnly);
  EXPECT_FALSE(attributes & 0x40);
  EXPECT_EQ(artest::ReadFile(base / "a.txt"), "hello\n");

  // The cabinet no longer holds what was listed: no entry matches, and that is a failure.
  artest::WriteFile(cabinet, artest::ReadFile(Corpus("evil.cab")));
  a.ExtractItemAt(1);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].Name, "docs\\readme.txt");
  EXPECT_EQ(failures[0].Class, ecCabError);
  EXPECT_EQ(failures[0].Code, 0);
  EXPECT_EQ(artest::ListTree(base.Path()), std::vector<std::string>{"a.txt"});
}

// ---- writing -------------------------------------------------------------------------

std::string WrittenFolder() {
  static const std::string folder = [] {
    const std::string f = MB_CAB_WRITTEN;
    artest::RemoveTree(f);
    CreateDirectoryPath(f);
    return f;
  }();
  return folder;
}

// Writes the three corpus sources into folder\leaf and leaves a copy of each, under the
// name it has in the cabinet, in folder\<stem>.src for the tools' check.
void WriteThree(TArCabArchive& a, const std::string& folder, const std::string& stem) {
  const std::string src = folder + "\\" + stem + ".src";
  os::MakeDirectory(src);
  for (const std::string& name : kSources) {
    auto item = std::unique_ptr<TArArchiveItem>(a.NewItem(Corpus("src\\" + name)));
    EXPECT_EQ(item->SourcePath, Corpus("src\\" + name));
    EXPECT_EQ(a.Add(std::move(item)), nullptr);
    artest::WriteFile(src + "\\" + ExtractFileName(name), artest::ReadFile(Corpus("src\\" + name)));
  }
}

TEST(CabinetWriting, WrittenCabinetsReadBackAndAreLeftForTheTools) {
  for (uint8_t compression : {cab::tcompTYPE_NONE, cab::tcompTYPE_MSZIP}) {
    const std::string stem = compression ? "mszip" : "plain";
    SCOPED_TRACE(stem);
    const std::string cabinet = WrittenFolder() + "\\" + stem + ".cab";
    int saved = 0;
    {
      TArCabArchive a(cabinet, 1);
      a.CompressionType = compression;
      a.AddOptions = aoStripPath;                     // stored names that are no path to their source
      a.FolderThreshold = compression ? 1000000 : 0;  // 0 closes a folder after each file
      a.OnAfterSave = [&](TArArchive*) { ++saved; };
      a.Load();
      EXPECT_EQ(a.CabinetParameters.cb, 0x7FFFFFFFu);  // no span threshold: no limit
      WriteThree(a, WrittenFolder(), stem);
      EXPECT_TRUE(a.IsDirty);
      a.Save();
      EXPECT_FALSE(a.IsDirty);
      EXPECT_GE(saved, 1);
      EXPECT_TRUE(os::FileExists(cabinet));
    }  // the archive is gone; the cabinet it wrote must still be the one Save wrote

    TArCabArchive r(cabinet, fmOpenRead | fmShareDenyNone);
    r.Load();
    ASSERT_EQ(Names(r), (std::vector<std::string>{"a.txt", "readme.txt", "data.bin"}));
    EXPECT_EQ(r.FolderCount, compression ? 1 : 3);
    artest::TempFolder base;
    r.SetBaseDirectory(base.Path());
    std::vector<TFailure> failures;
    Record(r, failures);
    r.ExtractByMasks("*.*");
    EXPECT_TRUE(failures.empty());
    for (const std::string& name : kSources) {
      const std::string out = base / ExtractFileName(name);
      EXPECT_EQ(artest::ReadFile(out), artest::ReadFile(Corpus("src\\" + name)));
      EXPECT_EQ(DosTimeOf(out), DosTimeOf(Corpus("src\\" + name)));
    }
  }
}

TEST(CabinetWriting, ASpanThresholdCutsASetWhosePiecesNameEachOther) {
  const std::string folder = WrittenFolder() + "\\spanned";
  os::MakeDirectory(folder);
  const std::string first = folder + "\\set.cab";
  {
    TArCabArchive a(first, 1);
    a.SetSpanThreshold(60000);
    a.Load();
    EXPECT_EQ(a.CabinetParameters.cb, 60000u);
    WriteThree(a, WrittenFolder(), "spanned");
    a.Save();
  }
  std::vector<std::string> pieces = artest::ListTree(folder);
  ASSERT_GE(pieces.size(), 4u);
  EXPECT_EQ(pieces[0], "set.c01");
  EXPECT_EQ(pieces.back(), "set.cab");
  for (const std::string& piece : pieces) EXPECT_LE(artest::ReadFile(folder + "\\" + piece).size(), 60000u);

  // The reader lists the first cabinet of a set; the next one knows its start is partial.
  TArCabArchive r(first, fmOpenRead | fmShareDenyNone);
  r.Load();
  EXPECT_FALSE(r.HasPrevious);
  EXPECT_EQ(r.NextCabinetName, "set.c01");
  ASSERT_EQ(Names(r), (std::vector<std::string>{"a.txt", "readme.txt", "data.bin"}));
  TArCabArchive second(folder + "\\set.c01", fmOpenRead | fmShareDenyNone);
  second.Load();
  EXPECT_TRUE(second.HasPrevious);
  ASSERT_EQ(Names(second), std::vector<std::string>{"data.bin"});
  EXPECT_TRUE(static_cast<TArCabItem*>(second.Items->Get(0))->PartialFile);

  // Extraction follows the set to its end, and gives up when a piece is missing.
  for (bool complete : {true, false}) {
    SCOPED_TRACE(complete ? "complete set" : "a piece missing");
    artest::TempFolder copy;
    for (const std::string& piece : pieces)
      if (complete || piece != "set.c02") artest::WriteFile(copy / piece, artest::ReadFile(folder + "\\" + piece));
    TArCabArchive c(copy / "set.cab", fmOpenRead | fmShareDenyNone);
    std::vector<TFailure> failures;
    Record(c, failures);
    c.Load();
    artest::TempFolder base;
    c.SetBaseDirectory(base.Path());
    c.ExtractItemAt(2);
    EXPECT_EQ(failures.size(), complete ? 0u : 1u);
    if (complete)
      EXPECT_EQ(artest::ReadFile(base / "data.bin"), artest::ReadFile(Corpus("src\\sub\\deep\\data.bin")));
    else
      EXPECT_TRUE(artest::ListTree(base.Path()).empty());
  }

  // Pieces named by the image hook, numbered from 1.
  artest::TempFolder dir;
  std::vector<int32_t> numbers;
  {
    TArCabArchive a(dir / "first.cab", 1);
    a.SetSpanThreshold(100000);
    a.OnRequestImage = [&](void* sender, int32_t number, std::string& name, bool&) {
      EXPECT_EQ(sender, &a);
      numbers.push_back(number);
      name = "next" + std::to_string(number) + ".cab";
    };
    a.Add(std::unique_ptr<TArArchiveItem>(a.NewItem(Corpus("src\\sub\\deep\\data.bin"))));
    a.Save();
  }
  EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(artest::ListTree(dir.Path()), (std::vector<std::string>{"first.cab", "next1.cab", "next2.cab"}));
}

TEST(CabinetWriting, MisuseAndFailedFilesRaiseTheirErrors) {
  artest::TempFolder dir;
  const std::string cabinet = dir / "x.cab";
  TArCabArchive a(cabinet, 1);
  a.Add(std::unique_ptr<TArArchiveItem>(a.NewItem(Corpus("src\\a.txt"))));
  EXPECT_THROW(a.Add(std::unique_ptr<TArArchiveItem>(a.NewItem(Corpus("src\\a.txt")))), EArDuplicateName);
  EXPECT_THROW(a.Add(std::unique_ptr<TArArchiveItem>(a.NewItem(dir / "none.txt"))), EArFileNotFound);
  EXPECT_EQ(a.Count(), 1);
  a.Save();
  const std::string written = artest::ReadFile(cabinet);
  // A finished cabinet takes nothing more and stays as it was.
  EXPECT_THROW(a.Add(std::unique_ptr<TArArchiveItem>(a.NewItem(Corpus("src\\docs\\readme.txt")))), EArFCIAddFileError);
  EXPECT_EQ(artest::ReadFile(cabinet), written);

  // A cabinet whose folder is gone by the time it is written.
  const std::string gone = dir / "gone";
  os::MakeDirectory(gone);
  TArCabArchive b(gone + "\\y.cab", 1);
  b.Add(std::unique_ptr<TArArchiveItem>(b.NewItem(Corpus("src\\a.txt"))));
  os::RemoveFolder(gone);
  try {
    b.Save();
    ADD_FAILURE() << "a cabinet that could not be written was reported saved";
  } catch (const EArCabException& e) { EXPECT_EQ(e.ErrorCode, 51); }
}

TEST(CabinetWriting, HooksThatThrowOrAbortInsideTheLibraryReachTheCaller) {
  artest::TempFolder dir;
  {
    TArCabArchive a(dir / "x.cab", 1);
    a.OnArchiveItemProgress = [](TArArchive*, TArArchiveItem*, uint8_t, bool&) { throw std::runtime_error("hook"); };
    EXPECT_THROW(a.Add(std::unique_ptr<TArArchiveItem>(a.NewItem(Corpus("src\\sub\\deep\\data.bin")))),
                 std::runtime_error);
  }
  {
    TArCabArchive a(dir / "y.cab", 1);
    std::vector<int> progress;
    a.OnArchiveItemProgress = [&](TArArchive*, TArArchiveItem*, uint8_t p, bool& abort) {
      progress.push_back(p);
      abort = true;
    };
    EXPECT_THROW(a.Add(std::unique_ptr<TArArchiveItem>(a.NewItem(Corpus("src\\sub\\deep\\data.bin")))),
                 EArFCIAddFileError);
    EXPECT_EQ(progress.size(), 1u);
  }
  {
    TArCabArchive a(dir / "z.cab", 1);
    a.SetSpanThreshold(50000);
    a.OnRequestImage = [](void*, int32_t, std::string&, bool&) { throw EArSpanningNotSupported(); };
    EXPECT_THROW(
        {
          a.Add(std::unique_ptr<TArArchiveItem>(a.NewItem(Corpus("src\\sub\\deep\\data.bin"))));
          a.Save();
        },
        EArSpanningNotSupported);
  }
}

// ---- damage --------------------------------------------------------------------------

// Bytes flipped at random and cabinets cut at random points: each one lists, extracts
// or fails with the library's exceptions, and nothing lands outside the base folder.
TEST(CabinetDamage, FlippedAndCutCabinetsFailCleanlyInsideTheirFolder) {
  std::vector<std::string> sources = {"none.cab", "mszip.cab"};
  for (int i = 0; i < 8; ++i) sources.push_back("varied\\v" + std::to_string(i) + ".cab");
  std::mt19937 random(20240);
  int cases = 0, listed = 0;
  for (const std::string& source : sources) {
    const std::string original = artest::ReadFile(Corpus(source));
    for (int variant = 0; variant < 4; ++variant, ++cases) {
      std::string bytes = original;
      if (variant == 3) {
        bytes.resize(std::uniform_int_distribution<size_t>(1, bytes.size() - 1)(random));
      } else {
        // Headers are where most of the damage tells; the rest hits the data.
        const int flips = 1 + variant * 3;
        for (int f = 0; f < flips; ++f) {
          const size_t range = f % 2 ? bytes.size() : std::min<size_t>(bytes.size(), 120);
          bytes[std::uniform_int_distribution<size_t>(0, range - 1)(random)] ^=
              static_cast<char>(1 << std::uniform_int_distribution<int>(0, 7)(random));
        }
      }
      SCOPED_TRACE(source + " variant " + std::to_string(variant));
      artest::TempFolder dir;
      artest::WriteFile(dir / "d.cab", bytes);
      const std::string base = dir / "base";
      os::MakeDirectory(base);
      try {
        TArCabArchive a(dir / "d.cab", fmOpenRead | fmShareDenyNone);
        a.Load();
        ++listed;
        a.SetBaseDirectory(base);
        a.ExtractOptions = eoCreateDirs | eoRestorePath;
        a.ExtractByMasks("*.*");
      } catch (const EArException&) {}
      for (const std::string& entry : artest::ListTree(dir.Path())) {
        EXPECT_TRUE(entry == "d.cab" || entry == "base" || entry.rfind("base\\", 0) == 0) << entry;
        EXPECT_NE(ExtractFileName(entry).rfind("VMS", 0), 0u) << entry;  // no temporary file left
      }
    }
  }
  EXPECT_EQ(cases, 40);
  EXPECT_GT(listed, 0);
}

}  // namespace
