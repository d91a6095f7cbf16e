// Cabinets through the platform's cabinet library (Windows builds only): cabinets made by
// the system's cabinet tool list and extract byte for byte; damaged ones and names that
// would leave the base folder fail cleanly; what this code writes reads back here and is
// left in the written folder, where a script checks it with the system's tools.
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <random>
#include <stdexcept>
#include "archive/cab/cabarchive.h"
#include "archive/typedetect.h"
#include "archive/unzipper.h"
#include "tests/archive/artestutil.h"

namespace {

using Strings = std::vector<std::string>;
const Strings kSources = {"a.txt", "docs\\readme.txt", "sub\\deep\\data.bin"};

std::string Corpus(const std::string& name) { return std::string(MB_CAB_CORPUS) + "\\" + name; }
std::string Source(const std::string& name) { return Corpus("src\\" + name); }

uint32_t DosTimeOf(const std::string& path) {
  const os::FileHandle h = os::OpenFile(path, 0, 0x40);
  const uint32_t t = os::FileDosDateTime(h);
  os::CloseFile(h);
  return t;
}

// Compared without printing: the data is binary.
bool SameContent(const std::string& a, const std::string& b) { return artest::ReadFile(a) == artest::ReadFile(b); }

uint32_t DosTimeOf(const TArArchiveItem& item) {
  return static_cast<uint32_t>(item.GetModDate()) << 16 | item.GetModTime();
}

// A copy of a corpus cabinet, with one run of bytes replaced by another as long.
std::string CopyIn(const artest::TempFolder& dir, const std::string& corpusName, const std::string& from = "",
                   const std::string& to = "") {
  std::string bytes = artest::ReadFile(Corpus(corpusName));
  if (!from.empty()) {
    const size_t at = bytes.find(from);
    EXPECT_TRUE(at != std::string::npos && from.size() == to.size()) << from;
    if (at != std::string::npos) bytes.replace(at, from.size(), to);
  }
  artest::WriteFile(dir / "x.cab", bytes);
  return dir / "x.cab";
}

struct TFailure {
  std::string Name;
  TArErrorClass Class;
  int32_t Code;
};

// A cabinet opened for reading, with its item failures recorded.
struct TReader {
  explicit TReader(const std::string& file) : Archive(file, fmOpenRead | fmShareDenyNone) {
    Archive.OnProcessItemFailure = [this](TArArchive*, TArArchiveItem* item, TArProcessType type, TArErrorClass c,
                                          int32_t code) {
      EXPECT_EQ(type, ptExtract);
      Failures.push_back({item->GetStoredName(), c, code});
    };
    Archive.Load();
  }
  Strings Names() const {
    Strings names;
    for (int32_t i = 0; i < Archive.Count(); ++i) names.push_back(Archive.Items->Get(i)->GetStoredName());
    return names;
  }
  void Extract(const std::string& base, uint8_t options) {
    Archive.SetBaseDirectory(base);
    Archive.ExtractOptions = options;
    Archive.ExtractByMasks("*.*");
  }
  TArCabArchive Archive;
  std::vector<TFailure> Failures;
};

void Add(TArCabArchive& a, const std::string& path) { a.Add(std::unique_ptr<TArArchiveItem>(a.NewItem(path))); }

// ---- reading -------------------------------------------------------------------------

TEST(CabinetReading, ToolMadeCabinetsListAndExtractByteForByte) {
  for (const char* leaf : {"none.cab", "mszip.cab"}) {
    SCOPED_TRACE(leaf);
    artest::TempFolder dir;
    const std::string cabinet = CopyIn(dir, leaf);
    EXPECT_EQ(DetectArchiveType(cabinet), atCabinet);
    EXPECT_EQ(artest::ListTree(dir.Path()), Strings{"x.cab"});  // detection extracts nothing

    TReader r(cabinet);
    ASSERT_EQ(r.Names(), kSources);
    EXPECT_EQ(r.Archive.FileCount, 3);
    EXPECT_EQ(r.Archive.FolderCount, 1);
    EXPECT_FALSE(r.Archive.HasPrevious);
    for (int32_t i = 0; i < 3; ++i) {
      const TArArchiveItem& item = *r.Archive.Items->Get(i);
      EXPECT_EQ(item.GetUnpackedSize(), artest::ReadFile(Source(kSources[i])).size());
      EXPECT_EQ(DosTimeOf(item), DosTimeOf(Source(kSources[i])));
      EXPECT_EQ(item.GetAttributes(), os::faArchive);
    }
    os::MakeDirectory(dir / "out");
    r.Extract(dir / "out", eoCreateDirs | eoRestorePath);
    EXPECT_EQ(artest::ListTree(dir / "out"),
              (Strings{"a.txt", "docs", "docs\\readme.txt", "sub", "sub\\deep", "sub\\deep\\data.bin"}));
    for (int32_t i = 0; i < 3; ++i) {
      EXPECT_TRUE(SameContent(dir / "out\\" + kSources[i], Source(kSources[i]))) << kSources[i];
      EXPECT_EQ(DosTimeOf(dir / "out\\" + kSources[i]), DosTimeOf(*r.Archive.Items->Get(i)));
    }
    os::MakeDirectory(dir / "flat");
    r.Extract(dir / "flat", 0);
    EXPECT_EQ(artest::ListTree(dir / "flat"), (Strings{"a.txt", "data.bin", "readme.txt"}));
    EXPECT_TRUE(r.Failures.empty());
  }
}

// Names the tool marks as UTF-8 list and extract in the code page of the file functions;
// one with a character that page lacks lists as its bytes and fails its item alone.
TEST(CabinetReading, NamesMarkedAsUtf8ComeOutUnderTheirOwnNamesOrFailAlone) {
  artest::TempFolder dir;
  TReader r(CopyIn(dir, "names.cab"));
  Strings listed, written, failed;
  for (const char* name : {"doc\\\303\234bersicht.txt", "Preis \xE2\x82\xAC.txt", "\xCE\xA9mega.txt",
                           "\305\202\303\263d\xC5\xBA.txt", "plain.txt"}) {
    std::string text;
    if (!os::Utf8ToFileText(name, text)) {
      listed.push_back(name);
      failed.push_back(name);
      continue;
    }
    listed.push_back(text);
    if (text.find('\\') != std::string::npos) written.push_back(text.substr(0, text.find('\\')));
    written.push_back(text);
  }
  EXPECT_EQ(r.Names(), listed);
  os::MakeDirectory(dir / "out");
  r.Extract(dir / "out", eoCreateDirs | eoRestorePath);
  Strings failures;
  for (const TFailure& f : r.Failures) failures.push_back(f.Name);
  EXPECT_EQ(failures, failed);
  std::sort(written.begin(), written.end());
  ASSERT_EQ(artest::ListTree(dir / "out"), written);
  for (const std::string& name : written) {
    if (name == "doc") continue;
    EXPECT_TRUE(SameContent(dir / ("out\\" + name), Corpus("names\\" + name))) << name;
  }
}

TEST(CabinetReading, ForeignAndDamagedFilesFailCleanly) {
  artest::TempFolder dir;
  artest::WriteFile(dir / "text.cab", "this is plain text, not a cabinet");
  try {
    DetectArchiveType(dir / "text.cab");
    ADD_FAILURE() << "a text file passed as a cabinet";
  } catch (const EArInvalidCabFile& e) { EXPECT_EQ(e.ErrorCode, 64); }
  EXPECT_THROW(TReader(dir / "missing.cab"), EArReadError);
  artest::WriteFile(dir / "head.cab", artest::ReadFile(Corpus("none.cab")).substr(0, 30));
  EXPECT_THROW(ProbeCabinetFile(dir / "head.cab"), EArInvalidCabFile);
  // A library that cannot make a decompression context tells detection nothing.
  cab::TCabinetLibrary& library = cab::CabinetLibrary();
  const cab::PFDICreate create = library.FDICreate;
  library.FDICreate = nullptr;
  EXPECT_EQ(DetectArchiveType(Corpus("none.cab")), atUnknown);
  library.FDICreate = create;
  TArUnZipper u;  // recognises a cabinet and still does not open it
  EXPECT_THROW(u.OpenArchiveFile(Corpus("mszip.cab")), EArUnhandledType);

  // Data that fails its checksum or is cut off is one failure of its item and never
  // replaces the file that was there.
  for (bool cut : {false, true}) {
    SCOPED_TRACE(cut ? "cut" : "checksum");
    artest::TempFolder d;
    const std::string cabinet = CopyIn(d, "none.cab", "hello\n", "jello\n");
    if (cut) artest::WriteFile(cabinet, artest::ReadFile(Corpus("none.cab")).substr(0, 120000));
    artest::TempFolder base;
    artest::WriteFile(base / "a.txt", "old");
    artest::WriteFile(base / "data.bin", "old");
    TReader r(cabinet);
    r.Archive.SetBaseDirectory(base.Path());
    r.Archive.ExtractItemAt(cut ? 2 : 0);
    ASSERT_EQ(r.Failures.size(), 1u);
    EXPECT_EQ(r.Failures[0].Class, ecCabError);
    EXPECT_EQ(artest::ListTree(base.Path()), (Strings{"a.txt", "data.bin"}));
    EXPECT_TRUE(artest::ReadFile(base / "a.txt") + artest::ReadFile(base / "data.bin") == "oldold");
  }
}

// ---- extraction ----------------------------------------------------------------------

TEST(CabinetExtraction, NamesThatLeaveTheBaseFolderAreRefusedOnce) {
  for (const char* name : {"..\\", "C:\\", "\\x\\"}) {
    SCOPED_TRACE(name);
    artest::TempFolder dir;
    TReader r(CopyIn(dir, "evil.cab", "xx\\", name));
    os::MakeDirectory(dir / "base");
    r.Extract(dir / "base", eoCreateDirs | eoRestorePath);
    ASSERT_EQ(r.Failures.size(), 1u);
    EXPECT_EQ(r.Failures[0].Name, std::string(name) + "evil.txt");
    EXPECT_EQ(artest::ListTree(dir.Path()), (Strings{"base", "x.cab"}));
  }
  EXPECT_FALSE(os::FileExists("C:\\evil.txt"));
}

// Without their folders two names land on one file: the later entry fails and does not
// replace the earlier one's file.
TEST(CabinetExtraction, AFlatNameAnEarlierEntryWroteFailsTheLaterOne) {
  artest::TempFolder dir;
  TReader r(CopyIn(dir, "mszip.cab", "sub\\deep\\data.bin", "sub\\deepxxx\\a.txt"));
  os::MakeDirectory(dir / "flat");
  r.Extract(dir / "flat", 0);
  EXPECT_EQ(artest::ListTree(dir / "flat"), (Strings{"a.txt", "readme.txt"}));
  EXPECT_TRUE(artest::ReadFile(dir / "flat\\a.txt") == "hello\n");
  ASSERT_EQ(r.Failures.size(), 1u);
  EXPECT_EQ(r.Failures[0].Name, "sub\\deepxxx\\a.txt");
  EXPECT_EQ(r.Failures[0].Class, ecFileCreateError);
}

TEST(CabinetExtraction, HooksAttributesAndEntriesThatAreGone) {
  artest::TempFolder dir;
  // a.txt's attributes (0x20) become executable, UTF-8 name, read-only.
  TReader r(CopyIn(dir, "none.cab", std::string("\x20\0a.txt", 7), std::string("\xC1\0a.txt", 7)));
  EXPECT_EQ(r.Archive.Items->Get(0)->GetAttributes(), 0xC1u);
  artest::TempFolder base;
  artest::WriteFile(base / "a.txt", "mine");
  Strings asked;
  r.Archive.OnConfirmOverwrite = [&](std::string& name, bool& confirm) {
    asked.push_back(name);
    confirm = false;
  };
  r.Extract(base.Path(), eoRestorePath);  // no folders may be made: two items fail
  EXPECT_EQ(asked, Strings{base / "a.txt"});
  EXPECT_EQ(artest::ReadFile(base / "a.txt"), "mine");
  ASSERT_EQ(r.Failures.size(), 2u);
  EXPECT_EQ(r.Failures[0].Code, 19);

  // What a hook throws while the library runs is the item's failure, reported once; a
  // user abort ends the walk.
  r.Failures.clear();
  r.Archive.OnConfirmOverwrite = [](std::string&, bool&) { throw std::runtime_error("hook failed"); };
  r.Archive.ExtractItemAt(0);
  ASSERT_EQ(r.Failures.size(), 1u);
  EXPECT_EQ(r.Failures[0].Class, ecOther);
  r.Archive.OnConfirmOverwrite = [](std::string&, bool&) { throw EArUserAbort(); };
  EXPECT_THROW(r.Extract(base.Path(), eoCreateDirs), EArUserAbort);
  EXPECT_EQ(artest::ReadFile(base / "a.txt"), "mine");

  // Only the file system's attributes are restored.
  r.Archive.OnConfirmOverwrite = nullptr;
  r.Archive.ExtractItemAt(0);
  EXPECT_EQ(artest::ReadFile(base / "a.txt"), "hello\n");
  EXPECT_EQ(os::GetAttributes(base / "a.txt") & 0x41, os::faReadOnly);

  // The cabinet no longer holds what was listed: no entry matches, and that is a failure.
  r.Failures.clear();
  artest::WriteFile(dir / "x.cab", artest::ReadFile(Corpus("evil.cab")));
  r.Archive.ExtractItemAt(1);
  ASSERT_EQ(r.Failures.size(), 1u);
  EXPECT_EQ(r.Failures[0].Class, ecCabError);
  EXPECT_EQ(artest::ListTree(base.Path()), Strings{"a.txt"});
}

// ---- writing -------------------------------------------------------------------------

std::string WrittenFolder() {
  static const std::string folder = [] {
    artest::RemoveTree(MB_CAB_WRITTEN);
    CreateDirectoryPath(MB_CAB_WRITTEN);
    return std::string(MB_CAB_WRITTEN);
  }();
  return folder;
}

// Adds the three corpus sources and leaves a copy of each, under its name in the cabinet,
// in the written folder's <stem>.src for the tools' check.
void AddSources(TArCabArchive& a, const std::string& stem) {
  const std::string src = WrittenFolder() + "\\" + stem + ".src";
  os::MakeDirectory(src);
  for (const std::string& name : kSources) {
    Add(a, Source(name));
    artest::WriteFile(src + "\\" + ExtractFileName(name), artest::ReadFile(Source(name)));
  }
}

TEST(CabinetWriting, WrittenCabinetsReadBackAndAreLeftForTheTools) {
  for (uint8_t compression : {cab::tcompTYPE_NONE, cab::tcompTYPE_MSZIP}) {
    const std::string stem = compression ? "mszip" : "plain";
    SCOPED_TRACE(stem);
    const std::string cabinet = WrittenFolder() + "\\" + stem + ".cab";
    {
      TArCabArchive a(cabinet, 1);
      a.CompressionType = compression;
      a.AddOptions = aoStripPath;                     // stored names that are no path to their source
      a.FolderThreshold = compression ? 1000000 : 0;  // 0 closes a folder after each file
      int saved = 0;
      a.OnAfterSave = [&](TArArchive*) { ++saved; };
      a.Load();
      EXPECT_EQ(a.CabinetParameters.cb, 0x7FFFFFFFu);  // no span threshold: no limit
      AddSources(a, stem);
      a.Save();
      EXPECT_GE(saved, 1);
    }  // the archive is gone, and the cabinet is still the one Save wrote
    TReader r(cabinet);
    ASSERT_EQ(r.Names(), (Strings{"a.txt", "readme.txt", "data.bin"}));
    EXPECT_EQ(r.Archive.FolderCount, compression ? 1 : 3);
    artest::TempFolder base;
    r.Extract(base.Path(), 0);
    EXPECT_TRUE(r.Failures.empty());
    for (const std::string& name : kSources) {
      EXPECT_TRUE(SameContent(base / ExtractFileName(name), Source(name))) << name;
      EXPECT_EQ(DosTimeOf(base / ExtractFileName(name)), DosTimeOf(Source(name)));
    }
  }
}

// A name OEM lacks a character of is stored in UTF-8 and marked so; it reads back under
// its own name, and the tools' check extracts it under that name too.
TEST(CabinetWriting, ANameOemLacksACharacterOfIsStoredInUtf8) {
  const std::string src = WrittenFolder() + "\\names.src", cabinet = WrittenFolder() + "\\names.cab";
  const Strings names = {"Preis \x80.txt", "plain.txt"};
  os::MakeDirectory(src);
  {
    TArCabArchive a(cabinet, 1);
    a.AddOptions = aoStripPath;
    a.Load();
    for (const std::string& name : names) {
      artest::WriteFile(src + "\\" + name, "content of " + name);
      Add(a, src + "\\" + name);
    }
    a.Save();
  }
  TReader r(cabinet);
  ASSERT_EQ(r.Names(), names);
  EXPECT_EQ(r.Archive.Items->Get(0)->GetAttributes() & cab::kAttrNameIsUtf, cab::kAttrNameIsUtf);
  EXPECT_EQ(r.Archive.Items->Get(1)->GetAttributes() & cab::kAttrNameIsUtf, 0);
  artest::TempFolder base;
  r.Extract(base.Path(), 0);
  EXPECT_TRUE(r.Failures.empty());
  for (const std::string& name : names) EXPECT_TRUE(SameContent(base / name, src + "\\" + name)) << name;
}

TEST(CabinetWriting, ASpanThresholdCutsASetWhosePiecesNameEachOther) {
  const std::string folder = WrittenFolder() + "\\spanned";
  os::MakeDirectory(folder);
  {
    TArCabArchive a(folder + "\\set.cab", 1);
    a.SetSpanThreshold(60000);
    AddSources(a, "spanned");
    a.Save();
  }
  const Strings pieces = artest::ListTree(folder);
  EXPECT_EQ(pieces, (Strings{"set.c01", "set.c02", "set.c03", "set.cab"}));
  for (const std::string& piece : pieces) EXPECT_LE(artest::ReadFile(folder + "\\" + piece).size(), 60000u);
  // The reader lists the first cabinet of a set; the next one knows its start is partial.
  TReader first(folder + "\\set.cab");
  EXPECT_EQ(first.Names(), (Strings{"a.txt", "readme.txt", "data.bin"}));
  EXPECT_EQ(first.Archive.NextCabinetName, "set.c01");
  TReader second(folder + "\\set.c01");
  EXPECT_TRUE(second.Archive.HasPrevious);
  ASSERT_EQ(second.Names(), Strings{"data.bin"});
  EXPECT_TRUE(static_cast<TArCabItem*>(second.Archive.Items->Get(0))->PartialFile);

  // Extraction follows the set to its end, and gives up when a piece is missing.
  for (bool complete : {true, false}) {
    SCOPED_TRACE(complete ? "complete set" : "a piece missing");
    artest::TempFolder copy, base;
    for (const std::string& piece : pieces)
      if (complete || piece != "set.c02") artest::WriteFile(copy / piece, artest::ReadFile(folder + "\\" + piece));
    TReader r(copy / "set.cab");
    r.Archive.SetBaseDirectory(base.Path());
    r.Archive.ExtractItemAt(2);
    EXPECT_EQ(r.Failures.size(), complete ? 0u : 1u);
    EXPECT_EQ(artest::ListTree(base.Path()), complete ? Strings{"data.bin"} : Strings{});
    if (complete) { EXPECT_TRUE(SameContent(base / "data.bin", Source("sub\\deep\\data.bin"))); }
  }

  // Pieces named by the image hook, numbered from 1.
  artest::TempFolder dir;
  std::vector<int32_t> numbers;
  {
    TArCabArchive a(dir / "first.cab", 1);
    a.SetSpanThreshold(100000);
    a.OnRequestImage = [&](void*, int32_t number, std::string& name, bool&) {
      numbers.push_back(number);
      name = "next" + std::to_string(number) + ".cab";
    };
    Add(a, Source("sub\\deep\\data.bin"));
    a.Save();
  }
  EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(artest::ListTree(dir.Path()), (Strings{"first.cab", "next1.cab", "next2.cab"}));
}

TEST(CabinetWriting, MisuseAndFilesThatCannotBeOpenedRaiseInTheCaller) {
  artest::TempFolder dir;
  TArCabArchive a(dir / "x.cab", 1);
  Add(a, Source("a.txt"));
  EXPECT_THROW(Add(a, Source("a.txt")), EArDuplicateName);
  EXPECT_THROW(Add(a, dir / "none.txt"), EArFileNotFound);
  a.Save();
  const std::string written = artest::ReadFile(dir / "x.cab");
  EXPECT_THROW(Add(a, Source("docs\\readme.txt")), EArFCIAddFileError);  // a finished cabinet takes nothing
  EXPECT_EQ(artest::ReadFile(dir / "x.cab"), written);
  EXPECT_EQ(a.Count(), 1);

  os::MakeDirectory(dir / "gone");
  TArCabArchive b(dir / "gone\\y.cab", 1);
  Add(b, Source("a.txt"));
  os::RemoveFolder(dir / "gone");
  try {
    b.Save();
    ADD_FAILURE() << "a cabinet that could not be written was reported saved";
  } catch (const EArFCIFileOpenError& e) { EXPECT_EQ(e.ErrorCode, 51); }
}

// Incompressible, so that every 32 KiB block of it is one progress report and a small span
// threshold means many pieces.
void WriteRandomFile(const std::string& name, size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& b : bytes) b = static_cast<char>(random());
  artest::WriteFile(name, bytes);
}

int32_t SaveErrorCode(TArCabArchive& a) {
  try {
    a.Save();
  } catch (const EArCabException& e) { return e.ErrorCode; }
  return -1;
}

TEST(CabinetWriting, AFailedAddOrARefusedSaveLeavesTheOldCabinetAsItWas) {
  struct TCase {
    const char* Name;
    int32_t Threshold;  // above 0: pieces are written while the file is added
    std::function<void(TArCabArchive&)> Arm;
    std::string Error;  // what the add raises; empty: it succeeds and the save is refused
  };
  const std::vector<TCase> cases = {
      {"progress aborted halfway", 100000,
       [](TArCabArchive& a) {
         a.OnArchiveItemProgress = [](TArArchive*, TArArchiveItem*, uint8_t p, bool& abort) { abort = p >= 50; };
       },
       ArMessage(57)},
      {"progress hook throws", 0,
       [](TArCabArchive& a) {
         a.OnArchiveItemProgress = [](TArArchive*, TArArchiveItem*, uint8_t, bool&) {
           throw std::runtime_error("hook failed");
         };
       },
       "hook failed"},
      {"image hook throws", 100000,
       [](TArCabArchive& a) {
         a.OnRequestImage = [](void*, int32_t, std::string&, bool&) { throw EArSpanningNotSupported(); };
       },
       ArMessage(arcSpanningNotSupported)},
      {"old cabinet read-only", 100000, [](TArCabArchive& a) { os::SetAttributes(a.ArchiveName, os::faReadOnly); },
       ArMessage(51)},
      {"save refused", 100000,
       [](TArCabArchive& a) { a.OnBeforeSave = [](TArArchive*, bool& confirm) { confirm = false; }; }, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    artest::TempFolder sources, dir;
    WriteRandomFile(sources / "big.bin", 1 << 20, 11);
    const std::string old = artest::ReadFile(Corpus("mszip.cab"));
    artest::WriteFile(dir / "x.cab", old);
    os::MakeDirectory(dir / "tmp");
    const Strings untouched = {"tmp", "x.cab"};  // the library's scratch files went with it
    {
      TArCabArchive a(dir / "x.cab", 1);
      a.TempDirectory = dir / "tmp";
      a.SetSpanThreshold(c.Threshold);
      c.Arm(a);
      if (c.Error.empty()) {
        Add(a, sources / "big.bin");
        a.Save();
      } else {
        try {
          Add(a, sources / "big.bin");
          ADD_FAILURE() << "the add succeeded";
        } catch (const std::exception& e) { EXPECT_EQ(e.what(), c.Error); }
        EXPECT_EQ(artest::ListTree(dir.Path()), untouched);
        EXPECT_TRUE(os::EraseFile(sources / "big.bin")) << "the source is still held open";
        // Nothing more goes in, and nothing comes out.
        a.OnArchiveItemProgress = nullptr;
        a.OnRequestImage = nullptr;
        EXPECT_THROW(Add(a, Source("a.txt")), EArFCIAddFileError);
        EXPECT_EQ(SaveErrorCode(a), 59);
        EXPECT_EQ(SaveErrorCode(a), 59);  // a refused save is no save: still dirty
      }
      EXPECT_TRUE(artest::ReadFile(dir / "x.cab") == old);
    }
    EXPECT_TRUE(artest::ReadFile(dir / "x.cab") == old);
    EXPECT_EQ(artest::ListTree(dir.Path()), untouched);
    os::SetAttributes(dir / "x.cab", 0);
  }
}

TEST(CabinetWriting, AutomaticPieceNamesEndWithTheNinetyNinthFurtherPiece) {
  Strings whole;  // sorted as listed
  for (int i = 1; i <= 99; ++i) whole.push_back((i < 10 ? "set.c0" : "set.c") + std::to_string(i));
  whole.push_back("set.cab");
  // With a threshold of 8,000 bytes: 100 pieces, and 134.
  for (size_t size : {785000u, 1u << 20}) {
    SCOPED_TRACE(size);
    const bool fits = size < 1u << 20;
    artest::TempFolder sources, dir;
    WriteRandomFile(sources / "big.bin", size, 12);
    {
      TArCabArchive a(dir / "set.cab", 1);
      a.SetSpanThreshold(8000);
      try {
        Add(a, sources / "big.bin");
        a.Save();
        EXPECT_TRUE(fits) << "a set beyond .c99 was written";
      } catch (const EArCabException& e) {
        EXPECT_FALSE(fits) << e.what();
        EXPECT_EQ(e.ErrorCode, arcInvalidThreshold);
      }
    }
    EXPECT_EQ(artest::ListTree(dir.Path()), fits ? whole : Strings{});
    if (!fits) continue;
    artest::TempFolder base;
    TReader r(dir / "set.cab");
    r.Archive.SetBaseDirectory(base.Path());
    r.Archive.ExtractItemAt(0);
    EXPECT_TRUE(SameContent(base / "big.bin", sources / "big.bin"));
  }
}

// ---- damage --------------------------------------------------------------------------

// Bytes flipped at random, and cabinets cut at random points: each one lists, extracts
// or fails with the library's exceptions, and nothing lands outside the base folder.
TEST(CabinetDamage, FlippedAndCutCabinetsFailCleanlyInsideTheirFolder) {
  Strings sources = {"none.cab", "mszip.cab"};
  for (int i = 0; i < 8; ++i) sources.push_back("varied\\v" + std::to_string(i) + ".cab");
  std::mt19937 random(20240);
  int listed = 0;
  for (const std::string& source : sources) {
    for (int variant = 0; variant < 4; ++variant) {
      SCOPED_TRACE(source + " variant " + std::to_string(variant));
      std::string bytes = artest::ReadFile(Corpus(source));
      if (variant == 3) bytes.resize(std::uniform_int_distribution<size_t>(1, bytes.size() - 1)(random));
      // The headers are where damage tells most; every other flip hits anywhere.
      for (int f = 0; variant < 3 && f < 1 + variant * 3; ++f) {
        const size_t range = f % 2 ? bytes.size() : std::min<size_t>(bytes.size(), 120);
        bytes[std::uniform_int_distribution<size_t>(0, range - 1)(random)] ^= static_cast<char>(1 << (f % 8));
      }
      artest::TempFolder dir;
      artest::WriteFile(dir / "d.cab", bytes);
      os::MakeDirectory(dir / "base");
      try {
        TReader r(dir / "d.cab");
        ++listed;
        r.Extract(dir / "base", eoCreateDirs | eoRestorePath);
      } catch (const EArException&) {}
      for (const std::string& entry : artest::ListTree(dir.Path())) {
        EXPECT_TRUE(entry == "d.cab" || entry == "base" || entry.rfind("base\\", 0) == 0) << entry;
        EXPECT_NE(ExtractFileName(entry).rfind("VMS", 0), 0u) << entry;  // no temporary file left
      }
    }
  }
  EXPECT_GT(listed, 0);
}

}  // namespace
