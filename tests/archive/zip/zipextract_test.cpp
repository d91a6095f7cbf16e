// Extraction rules and hostile archives, on archives built field by field.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include "archive/unzipper.h"
#include "archive/zip/zipextract.h"
#include "tests/archive/zip/legacy_encoders.h"
#include "tests/archive/artestutil.h"
#include "tests/archive/zip/zipbuilder.h"

namespace {

std::string Str(const TBytes& b) { return std::string(b.begin(), b.end()); }

struct TFailure {
  std::string Name;
  TArProcessType Type;
  TArErrorClass Class;
  int32_t Code;
};

// An unzipper over one hand-made archive, extracting into its own folder.
class TUnzipRig {
public:
  explicit TUnzipRig(const TBytes& zip, uint8_t options = eoCreateDirs | eoRestorePath) {
    archive = dir / "update.zip";
    artest::WriteFile(archive, Str(zip));
    os::MakeDirectory(dir / "out");
    u.SetExtractOptions(options);
    u.OnProcessItemFailure = [this](TArBaseBrowser*, TArArchiveItem* item, TArProcessType t, TArErrorClass c,
                                    int32_t code) {
      failures.push_back({item->GetStoredName(), t, c, code});
    };
  }
  void Run(const std::string& masks = "*.*") {
    u.OpenArchiveFile(archive);
    u.SetBaseDirectory(dir / "out");
    u.ExtractMatchingFiles(masks);
  }
  std::string Out(const std::string& rel) const { return dir / ("out\\" + rel); }
  artest::TempFolder dir;
  std::string archive;
  TArUnZipper u;
  std::vector<TFailure> failures;
};

// Raw deflate of 100,000 zero bytes.
TBytes BombData() {
  TBytes b = {0xED, 0xC1, 0x31, 0x01, 0x00, 0x00, 0x00, 0xC2, 0xA0, 0xF5, 0x4F, 0x6D, 0x0D, 0x0F, 0xA0};
  b.insert(b.end(), 96, 0);
  b.insert(b.end(), {0x80, 0x57, 0x03});
  return b;
}

}  // namespace

TEST(HostileArchives, TraversalNamesAreRefusedOnceEachAndNothingIsWrittenOutside) {
  TZipBuilder z;
  for (const char* bad : {"../evil1.txt", "..\\evil2.txt", "/abs/evil3.txt", "C:\\evil4.txt", "\\\\srv\\sh\\evil5.txt",
                          "a/../../evil6.txt", "sub/.. /evil7.txt"})
    z.Add(Stored(bad, "evil"));
  z.Add(Stored("a/./b.txt", "fine"));
  z.Add(Stored("good.txt", "good"));
  TUnzipRig rig(z.Build());
  rig.Run();
  ASSERT_EQ(rig.failures.size(), 7u);
  for (const auto& f : rig.failures) EXPECT_EQ(f.Type, ptExtract);
  EXPECT_EQ(rig.u.FailedItems(), 7);
  EXPECT_EQ(artest::ReadFile(rig.Out("good.txt")), "good");
  EXPECT_EQ(artest::ReadFile(rig.Out("a\\b.txt")), "fine");
  EXPECT_EQ(artest::ListTree(rig.dir.Path()),
            (std::vector<std::string>{"out", "out\\a", "out\\a\\b.txt", "out\\good.txt", "update.zip"}));
}

// A name marked as UTF-8 (bit 11, or a Unicode path field made for the name field as
// stored, which bit 11 overrides) is the name that masks, the confinement and device checks,
// the output and a search by name see; a marked name that is no UTF-8 fails its item alone
// and reads as an unmarked one.
TEST(HostileArchives, NamesMarkedAsUtf8AreTheNamesEveryCheckSees) {
  const struct {
    const char* Field;
    uint16_t Flags;
    const char* Unicode;     // the Unicode path field's name; none where empty
    const char* UnicodeFor;  // the name field its CRC-32 is of; null: Field
  } rows[] = {{"bit11 \xC3\xA4.txt", 0x800, "", nullptr},
              {"feld.txt", 0, "\303\274ber.txt", nullptr},
              {"stale.txt", 0, "frisch.txt", "renamed.txt"},
              {"flag wins.txt", 0x800, "field loses.txt", nullptr},
              {"bad\xC3(.txt", 0x800, "", nullptr},
              {"bad field.txt", 0, "bad\xFF.txt", nullptr},
              {"inside.txt", 0, "../outside.txt", nullptr},
              {"device.txt", 0, "nul.txt", nullptr},
              {"mask.dat", 0, "mask.txt", nullptr},
              {"unmask.txt", 0, "unmask.dat", nullptr},
              {"good.txt", 0, "", nullptr}};
  TZipBuilder z;
  for (const auto& r : rows) {
    TZipEntry e = Stored(r.Field, r.Field);
    e.Flags = r.Flags;
    if (*r.Unicode) {
      TBytes f = {0x75, 0x70, static_cast<uint8_t>(5 + std::strlen(r.Unicode)), 0, 1};
      const uint32_t crc = Crc32Of(ToBytes(r.UnicodeFor ? r.UnicodeFor : r.Field));
      for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(crc >> (8 * i)));
      const TBytes name = ToBytes(r.Unicode);
      f.insert(f.end(), name.begin(), name.end());
      e.CentralExtra = e.LocalExtra = f;
    }
    z.Add(e);
  }
  TUnzipRig rig(z.Build());
  rig.Run("*.txt");
  auto fileText = [](const std::string& utf8) {
    std::string text;
    EXPECT_TRUE(os::Utf8ToFileText(utf8, text)) << utf8;
    return text;
  };
  const std::string umlaut = fileText("bit11 \xC3\xA4.txt"), unicode = fileText("\303\274ber.txt");
  std::vector<std::string> failed;
  for (const auto& f : rig.failures) failed.push_back(f.Name);
  EXPECT_EQ(failed, (std::vector<std::string>{os::OemTextToAnsi("bad\xC3(.txt"), "bad field.txt", "../outside.txt",
                                              "nul.txt"}));
  EXPECT_EQ(rig.u.FailedItems(), 4);
  std::vector<std::string> written = {umlaut, "flag wins.txt", "good.txt", "mask.txt", "stale.txt", unicode};
  std::sort(written.begin(), written.end());
  ASSERT_EQ(artest::ListTree(rig.dir / "out"), written);
  EXPECT_EQ(artest::ReadFile(rig.Out(unicode)), "feld.txt");
  TArArchive& a = *rig.u.Archive();
  EXPECT_EQ(a.Items->Find(unicode), 1);
  EXPECT_EQ(a.Items->Find("feld.txt"), -1);
  EXPECT_NO_THROW(a.VerifyItem(1));  // the records agree on the raw name
}

TEST(HostileArchives, AFailedItemLeavesTheFileItWouldReplaceAsItWas) {
  TZipBuilder z;
  TZipEntry flipped = Stored("keep.txt", "new contents");
  flipped.Data[3] ^= 0x20;  // the CRC no longer matches the data
  z.Add(flipped);
  z.Add(Stored("next.txt", "next"));
  TUnzipRig rig(z.Build());
  artest::WriteFile(rig.Out("keep.txt"), "old contents");
  rig.Run();
  ASSERT_EQ(rig.failures.size(), 1u);
  EXPECT_EQ(rig.failures[0].Class, ecArchiveError);
  EXPECT_EQ(rig.failures[0].Code, 23);
  EXPECT_EQ(artest::ReadFile(rig.Out("keep.txt")), "old contents");
  EXPECT_EQ(artest::ReadFile(rig.Out("next.txt")), "next");
  // No temporary file stays behind.
  EXPECT_EQ(artest::ListTree(rig.dir / "out"), (std::vector<std::string>{"keep.txt", "next.txt"}));
}

TEST(HostileArchives, LyingSizesEndTheirItemOnly) {
  TZipBuilder z;
  TZipEntry hugeStored = Stored("huge.txt", "short data");
  hugeStored.UnpackedSize = 0xFFFFFFF0;
  z.Add(hugeStored);
  // A deflate stream of 100 KB of zeros declared as 10 bytes.
  TZipEntry bomb;
  bomb.Name = "bomb.bin";
  bomb.Method = 8;
  bomb.Data = BombData();
  bomb.UnpackedSize = 10;
  bomb.Crc = Crc32Of(TBytes(10, 0));
  z.Add(bomb);
  TZipEntry emptyClaim = bomb;
  emptyClaim.Name = "claims-empty.bin";
  emptyClaim.UnpackedSize = 0;
  emptyClaim.Crc = 0;
  z.Add(emptyClaim);
  z.Add(Stored("ok.txt", "ok"));
  TUnzipRig rig(z.Build());
  rig.Run();
  ASSERT_EQ(rig.failures.size(), 3u);
  EXPECT_FALSE(os::FileExists(rig.Out("huge.txt")));
  EXPECT_FALSE(os::FileExists(rig.Out("bomb.bin")));
  EXPECT_FALSE(os::FileExists(rig.Out("claims-empty.bin")));
  EXPECT_EQ(artest::ReadFile(rig.Out("ok.txt")), "ok");
}

TEST(HostileArchives, AnItemInflatingBeyondItsSizeWritesNoMoreThanItsSize) {
  TZipBuilder z;
  TZipEntry e;
  e.Name = "zeros.bin";
  e.Method = 8;
  e.Data = BombData();
  e.UnpackedSize = 100000;
  e.Crc = Crc32Of(TBytes(100000, 0));
  z.Add(e);
  e.Name = "bomb.bin";
  e.UnpackedSize = 1000;
  e.Crc = Crc32Of(TBytes(1000, 0));
  z.Add(e);
  artest::TempFolder dir;
  artest::WriteFile(dir / "a.zip", Str(z.Build()));
  TArZipArchive archive(dir / "a.zip", fmOpenRead | fmShareDenyNone);
  archive.Load();
  TMemoryStream whole, cut;
  ExtractItemToStream(archive, *archive.ZipItem(0), &whole);  // the stream itself is sound
  EXPECT_EQ(whole.Size(), 100000);
  EXPECT_THROW(ExtractItemToStream(archive, *archive.ZipItem(1), &cut), EArZipBadCRC);
  EXPECT_EQ(cut.Size(), 1000);
}

TEST(HostileArchives, DirectoriesBeyondTheEndAndLargeArchiveMarkersRaiseOnOpen) {
  auto opens = [](TZipBuilder& z) {
    TUnzipRig rig(z.Build());
    try {
      rig.u.OpenArchiveFile(rig.archive);
    } catch (const EArZipInvalid&) {
      const std::string before = artest::ReadFile(rig.archive);
      rig.u.CloseArchiveFile();
      EXPECT_EQ(artest::ReadFile(rig.archive), before);
      return false;
    }
    return true;
  };
  TZipBuilder past;
  past.AddStored("a.txt", "a");
  past.ForcedDirectoryOffset = 100000;
  EXPECT_FALSE(opens(past));
  TZipBuilder count;
  count.AddStored("a.txt", "a");
  count.ForcedEntryCount = 0xFFFF;
  EXPECT_FALSE(opens(count));
  TZipBuilder offset;
  offset.AddStored("a.txt", "a");
  offset.ForcedDirectoryOffset = 0xFFFFFFFF;
  EXPECT_FALSE(opens(offset));
  TZipBuilder fine;
  fine.AddStored("a.txt", "a");
  EXPECT_TRUE(opens(fine));
}

TEST(HostileArchives, TruncatedArchivesRaiseOnOpenOrFailTheirItems) {
  TZipBuilder z;
  z.AddStored("a.txt", std::string(5000, 'a'));
  const TBytes whole = z.Build();
  {  // the end record is gone: the open fails and the file stays as it was
    TUnzipRig rig(TBytes(whole.begin(), whole.begin() + 3000));
    EXPECT_THROW(rig.u.OpenArchiveFile(rig.archive), EArException);
    rig.u.CloseArchiveFile();
    EXPECT_EQ(artest::ReadFile(rig.archive).size(), 3000u);
  }
  {  // a central record cut short
    TBytes cut = whole;
    cut.erase(cut.begin() + 5040, cut.begin() + 5060);
    TUnzipRig rig(cut);
    EXPECT_THROW(rig.u.OpenArchiveFile(rig.archive), EArException);
  }
}

// An archive whose load failed half-way holds only the items read so far; extracting from
// it would look like a complete update.
TEST(HostileArchives, AnArchiveWhoseLoadFailedOrWasStoppedRefusesToExtract) {
  TZipBuilder z;
  for (const char* name : {"1.txt", "2.txt", "3.txt"}) z.AddStored(name, name);
  TBytes broken = z.Build();
  broken[broken.size() - 22 - (46 + 5)] ^= 0xFF;  // the last central record's signature
  for (int stopped = 0; stopped < 2; ++stopped) {
    TUnzipRig rig(stopped ? z.Build() : broken);
    if (stopped) rig.u.OnArchiveProgress = [](TArBaseBrowser*, uint8_t p, bool& abort) { abort = p > 50; };
    EXPECT_ANY_THROW(rig.u.OpenArchiveFile(rig.archive));
    ASSERT_NE(rig.u.Archive(), nullptr);
    EXPECT_EQ(rig.u.Archive()->Count(), 2) << "two items were read before the load ended";
    rig.u.OnArchiveProgress = nullptr;
    EXPECT_THROW(rig.u.ExtractMatchingFiles("*.*"), EArNoArchive);
    EXPECT_TRUE(rig.failures.empty());
    EXPECT_EQ(artest::ListTree(rig.dir / "out"), std::vector<std::string>{});
  }
}

TEST(HostileArchives, BadLegacyTablesFailTheirItemAndGoodLegacyItemsExtract) {
  const TBytes text = SampleText(30000);
  auto legacy = [&](const std::string& name, uint16_t method, uint16_t flags, const TBytes& packed) {
    TZipEntry e;
    e.Name = name;
    e.Method = method;
    e.Flags = flags;
    e.Version = 10;
    e.Data = packed;
    e.UnpackedSize = static_cast<uint32_t>(text.size());
    e.Crc = Crc32Of(text);
    return e;
  };
  TBitWriter overfull;
  overfull.Put(4, 8);
  for (int i = 0; i < 5; ++i) overfull.Put(0xF5, 8);
  TBitWriter longSet;
  longSet.Put(40, 6);
  TZipBuilder z;
  z.Add(legacy("imploded.txt", 6, 6, ImplodeEncode(text, true, true)));
  z.Add(legacy("reduced.txt", 5, 0, ReduceEncode(text, 4, true)));
  z.Add(legacy("shrunk.txt", 1, 0, ShrinkEncode(text)));
  z.Add(legacy("badtree.txt", 6, 0, overfull.Finish()));
  z.Add(legacy("badset.txt", 3, 0, longSet.Finish()));
  TUnzipRig rig(z.Build());
  rig.Run();
  ASSERT_EQ(rig.failures.size(), 2u);
  EXPECT_EQ(rig.failures[0].Name, "badtree.txt");
  EXPECT_EQ(rig.failures[0].Code, 29);
  EXPECT_EQ(rig.failures[1].Name, "badset.txt");
  for (const char* good : {"imploded.txt", "reduced.txt", "shrunk.txt"})
    EXPECT_EQ(artest::ReadFile(rig.Out(good)), Str(text)) << good;
}

// Deflate64 needs version 2.1, so that version is accepted for it and for nothing else.
TEST(ExtractionRules, VersionNeededAbove20IsRefusedExceptDeflate64At21) {
  const std::string data = "stored in a deflate block";
  TBytes block = {0x01, static_cast<uint8_t>(data.size()), 0, static_cast<uint8_t>(~data.size()), 0xFF};
  block.insert(block.end(), data.begin(), data.end());
  auto entry = [&](const std::string& name, uint16_t method, uint16_t version) {
    TZipEntry e = Stored(name, data);
    e.Method = method;
    e.Version = version;
    if (method != 0) e.Data = block;
    return e;
  };
  TZipBuilder z;
  z.Add(entry("d64.txt", 9, 21));
  z.Add(entry("d8.txt", 8, 21));
  z.Add(entry("d64new.txt", 9, 22));
  z.Add(entry("plain.txt", 8, 20));
  TUnzipRig rig(z.Build());
  rig.Run();
  ASSERT_EQ(rig.failures.size(), 2u);
  EXPECT_EQ(rig.failures[0].Name, "d8.txt");
  EXPECT_EQ(rig.failures[0].Code, 1);
  EXPECT_EQ(rig.failures[1].Name, "d64new.txt");
  EXPECT_EQ(artest::ReadFile(rig.Out("d64.txt")), data);
  EXPECT_EQ(artest::ReadFile(rig.Out("plain.txt")), data);
}

TEST(ExtractionRules, WithoutAFailureHookAChecksumMismatchRaises) {
  TZipBuilder z;
  TZipEntry e = Stored("a.txt", "abcdef");
  e.Crc ^= 1;
  z.Add(e);
  artest::TempFolder dir;
  artest::WriteFile(dir / "a.zip", Str(z.Build()));
  TArZipArchive archive(dir / "a.zip", fmOpenRead | fmShareDenyNone);
  archive.Load();
  TMemoryStream out;
  EXPECT_THROW(ExtractItemToStream(archive, *archive.ZipItem(0), &out), EArZipBadCRC);
  EXPECT_THROW(ExtractItemToStream(archive, *archive.ZipItem(0), nullptr), EArBadStream);
}

TEST(ExtractionRules, StoredItemsReportProgressPerKilobyteChunk) {
  TZipBuilder z;
  z.AddStored("a.bin", std::string(2500, 'x'));
  z.AddStored("empty.bin", "");
  artest::TempFolder dir;
  artest::WriteFile(dir / "a.zip", Str(z.Build()));
  TArZipArchive archive(dir / "a.zip", fmOpenRead | fmShareDenyNone);
  archive.Load();
  std::vector<int> seen;
  archive.OnEngineProgress = [&](uint8_t p, bool&) { seen.push_back(p); };
  TMemoryStream out;
  ExtractItemToStream(archive, *archive.ZipItem(0), &out);
  EXPECT_EQ(seen, (std::vector<int>{41, 82, 100}));
  seen.clear();
  ExtractItemToStream(archive, *archive.ZipItem(1), &out);
  EXPECT_EQ(seen, (std::vector<int>{100}));
}

TEST(ExtractionRules, TestingComparesTheRecordsButNotExtraFieldsOrDescriptorZeros) {
  TZipBuilder z;
  z.AddStored("ok.txt", "fine");
  TZipEntry descriptor = Stored("streamed.txt", "streamed");
  descriptor.Flags = 0x08;
  descriptor.LocalDiffers = true;  // CRC and sizes follow the data; the local record says 0
  z.Add(descriptor);
  TZipEntry lying = Stored("lying.txt", "data");
  lying.LocalDiffers = true;
  lying.LocalCrc = lying.Crc;
  lying.LocalPacked = 4;
  lying.LocalUnpacked = 5;
  z.Add(lying);
  TZipEntry broken = Stored("broken.txt", "data");
  broken.Crc ^= 0x100;
  z.Add(broken);
  TUnzipRig rig(z.Build());
  rig.u.OpenArchiveFile(rig.archive);
  TArArchive* a = rig.u.Archive();
  EXPECT_NO_THROW(a->VerifyItem(0));
  EXPECT_NO_THROW(a->VerifyItem(1));
  EXPECT_THROW(a->VerifyItem(2), EArZipInvalidLFH);
  EXPECT_NO_THROW(a->VerifyItem(3));  // its records agree; the data's CRC is reported
  ASSERT_EQ(rig.failures.size(), 1u);
  EXPECT_EQ(rig.failures[0].Code, 23);
}

TEST(ExtractionRules, AnAbortAskedByTheUserEndsTheWalkAndKeepsWhatWasWritten) {
  TZipBuilder z;
  z.AddStored("1.txt", "one");
  z.AddStored("2.txt", std::string(50000, '2'));
  z.AddStored("3.txt", "three");
  {
    TUnzipRig rig(z.Build());
    rig.u.OpenArchiveFile(rig.archive);
    rig.u.SetBaseDirectory(rig.dir / "out");
    rig.u.OnArchiveProgress = [](TArBaseBrowser*, uint8_t p, bool& abort) { abort = p >= 33 && p < 100; };
    EXPECT_THROW(rig.u.ExtractMatchingFiles("*.*"), EArUserAbort);
    EXPECT_TRUE(os::FileExists(rig.Out("1.txt")));
    EXPECT_FALSE(os::FileExists(rig.Out("2.txt")));
  }
  TZipEntry deflated;
  deflated.Name = "4.bin";
  deflated.Method = 8;
  deflated.Data = BombData();
  deflated.UnpackedSize = 100000;
  deflated.Crc = Crc32Of(TBytes(100000, 0));
  z.Add(deflated);
  z.AddStored("5.txt", "five");
  for (const char* stopAt : {"2.txt", "4.bin"}) {
    TUnzipRig rig(z.Build());
    rig.u.OnArchiveItemProgress = [stopAt](TArBaseBrowser*, TArArchiveItem* item, uint8_t p, bool& abort) {
      abort = item->GetStoredName() == stopAt && p > 50;
    };
    EXPECT_ANY_THROW(rig.Run());
    EXPECT_TRUE(os::FileExists(rig.Out("1.txt")));
    EXPECT_FALSE(os::FileExists(rig.Out(stopAt)));
    EXPECT_FALSE(os::FileExists(rig.Out("5.txt"))) << stopAt;
  }
}
