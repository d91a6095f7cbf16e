// Saving zip archives, read back by a fresh load: files added through the insert hooks
// with every method and encryption, deletes and moves on the object that holds the file,
// spanned sets of image files and of (simulated) removable disks.
#include <gtest/gtest.h>
#include <algorithm>
#include <map>
#include <random>
#include "archive/zip/zipextract.h"
#include "tests/archive/artestutil.h"
#include "tests/archive/zip/insert_hook.h"
#include "tests/archive/zip/zipbuilder.h"

namespace {

std::string Noise(size_t n, uint32_t seed, bool text) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(text ? "Archiv Update Morgen \r\n"[rng() % 23] : rng());
  return s;
}

std::unique_ptr<TArZipArchive> Opened(const std::string& path) {
  auto a = std::make_unique<TArZipArchive>(path, fmOpenRead | fmShareDenyNone);
  a->Password = "geheim";
  a->Load();
  return a;
}

// Every item's name (as the file functions see it) and extracted bytes.
std::map<std::string, std::string> Contents(TArZipArchive& a) {
  std::map<std::string, std::string> out;
  for (int32_t i = 0; i < a.Count(); ++i) {
    TMemoryStream m;
    ExtractItemToStream(a, *a.ZipItem(i), &m);
    out[a.ZipItem(i)->GetStoredName()] = std::string(m.Bytes().begin(), m.Bytes().end());
  }
  return out;
}

int32_t IndexOf(TArZipArchive& a, const std::string& name) { return a.Items->Find(name); }

// Each data descriptor (general purpose bit 3) says what the item's central record says;
// returns how many there were.
int32_t ExpectDescriptorsMatchTheCentralRecords(const std::string& path) {
  auto a = Opened(path);
  TFileStream file(path, fmOpenRead | fmShareDenyNone);
  int32_t descriptors = 0;
  for (int32_t i = 0; i < a->Count(); ++i) {
    const TArZipDirectoryFileHeader& central = a->ZipItem(i)->CentralHeader;
    if (!(central.GpFlags & kZipDataDescriptorFlag)) continue;
    file.SetPosition(central.LocalHeaderOffset);
    TArZipLocalFileHeader local;
    local.ReadRecord(file);
    file.SetPosition(file.Position() + central.PackedSize);
    uint8_t d[kZipDataDescriptorSize];
    file.ReadBuffer(d, sizeof d);
    EXPECT_EQ(GetLE32(d), central.Crc32) << central.Name();
    EXPECT_EQ(GetLE32(d + 4), central.PackedSize) << central.Name();
    EXPECT_EQ(GetLE32(d + 8), central.UnpackedSize) << central.Name();
    ++descriptors;
  }
  return descriptors;
}

// Reads every record of a spanned set from its own piece alone, as other tools do: a
// record that runs on into the next piece comes up short there.
void ExpectRecordsWholeOnTheirPieces(TArZipArchive& a, const std::vector<std::string>& pieces) {
  const TArZipDirectoryFileFooter& end = a.EndRecord;
  int32_t records = 0;
  try {
    for (size_t d = end.DirectoryDisk; d <= end.ThisDisk; ++d) {
      TFileStream piece(pieces.at(d), fmOpenRead | fmShareDenyNone);
      piece.SetPosition(d == end.DirectoryDisk ? end.DirectoryOffset : 0);
      uint8_t signature[4];
      while (piece.Read(signature, 4) == 4 && GetLE32(signature) == kZipCentralHeaderSignature) {
        piece.SetPosition(piece.Position() - 4);
        TArZipDirectoryFileHeader().ReadRecord(piece);
        ++records;
      }
    }
    for (int32_t i = 0; i < a.Count(); ++i) {
      const TArZipItem& item = *a.ZipItem(i);
      TFileStream piece(pieces.at(item.StartDisk()), fmOpenRead | fmShareDenyNone);
      piece.SetPosition(item.LocalHeaderOffset());
      TArZipLocalFileHeader local;
      local.ReadRecord(piece);
      EXPECT_EQ(local.Name(), item.CentralHeader.Name());
    }
  } catch (const EArZipInvalid&) { ADD_FAILURE() << "a record runs on into the next piece"; }
  EXPECT_EQ(records, a.Count());
}

}  // namespace

class ZipSaving : public ::testing::Test {
protected:
  // Files added under their file names only, each with the settings its name asks for.
  std::unique_ptr<TArZipArchive> NewArchive(const std::string& name) {
    artest::WriteFile(dir / name, "");
    auto a = Opened(dir / name);
    a->AddOptions |= aoStripPath;
    InstallInsertHooks(*a, [this](const TArZipItem& item) { return settings[item.GetStoredName()]; });
    return a;
  }
  void AddFile(TArZipArchive& a, const std::string& name, const std::string& data, const TInsertSettings& s) {
    artest::WriteFile(dir / name, data);
    settings[name] = s;
    expected[name] = data;
    EXPECT_EQ(a.Add(std::unique_ptr<TArArchiveItem>(a.NewItem(dir / name))), nullptr);
  }
  artest::TempFolder dir;
  std::map<std::string, TInsertSettings> settings;
  std::map<std::string, std::string> expected;
};

TEST_F(ZipSaving, AddedItemsLoadBackAndADeleteAndMoveRewriteTheFileTheObjectHolds) {
  auto a = NewArchive("new.zip");
  a->Save();  // an archive without items is its end record alone
  EXPECT_EQ(artest::ReadFile(dir / "new.zip"), std::string("PK\5\6", 4) + std::string(18, '\0'));

  const std::string oem = "M\xFCller.txt", euro = "Preis \x80.txt";  // OEM lacks ANSI's euro sign
  TInsertSettings stored, d64, secret, descriptor;
  stored.Method = 0;
  d64.Method = 9;
  d64.Attributes = os::faReadOnly | os::faArchive;
  secret.Password = descriptor.Password = "geheim";
  descriptor.Descriptor = true;
  descriptor.Time = 0x7A3C;
  AddFile(*a, oem, Noise(3000, 1, true), stored);
  AddFile(*a, "fast.txt", Noise(150000, 2, true) + Noise(40000, 3, false), {});
  AddFile(*a, "d64.txt", Noise(200000, 5, true), d64);
  AddFile(*a, "secret.txt", Noise(70000, 6, true), secret);
  AddFile(*a, "empty.txt", "", stored);
  AddFile(*a, "descriptor.txt", Noise(20000, 8, true), descriptor);
  AddFile(*a, euro, Noise(5000, 10, true), descriptor);
  TMemoryStream source;
  const std::string streamed = Noise(30000, 9, true);
  source.Assign(streamed.data(), streamed.size());
  a->SourceStream = &source;
  AddFile(*a, "streamed.dat", "", {});
  a->ZipItem(IndexOf(*a, "streamed.dat"))->PendingAction = aaStreamAdd;
  expected["streamed.dat"] = streamed;
  a->Save();
  EXPECT_FALSE(a->IsDirty);
  EXPECT_EQ(a->ZipItem(0)->PendingAction, aaNone);

  auto back = Opened(dir / "new.zip");
  EXPECT_EQ(Contents(*back), expected);
  EXPECT_EQ(ExpectDescriptorsMatchTheCentralRecords(dir / "new.zip"), 2);
  const TArZipItem& named = *back->ZipItem(0);
  ASSERT_GE(IndexOf(*back, euro), 0);
  TArZipItem& priced = *back->ZipItem(IndexOf(*back, euro));
  // Stored names are the format's OEM text, or UTF-8 marked by bit 11 where OEM lacks a
  // character, also through a hook that sets the flags; the file functions see them as
  // they were given.
#ifdef _WIN32
  EXPECT_EQ(named.CentralHeader.Name(), "M\x81ller.txt");
  EXPECT_EQ(priced.CentralHeader.Name(), "Preis \xE2\x82\xAC.txt");
  EXPECT_EQ(priced.GpFlags(), kZipUtf8Flag | kZipDataDescriptorFlag | 1);
#else
  EXPECT_EQ(named.CentralHeader.Name(), oem);
  EXPECT_EQ(priced.CentralHeader.Name(), euro);
#endif
  EXPECT_EQ(named.GpFlags(), 0);
  EXPECT_EQ(named.GetStoredName(), oem);
  EXPECT_NO_THROW(TestItem(*back, priced));  // its local header says the same
  const TArZipItem& ro = *back->ZipItem(IndexOf(*back, "d64.txt"));
  EXPECT_EQ(ro.NeededVersion(), 21);
  EXPECT_EQ(ro.GetAttributes(), uint32_t{os::faReadOnly | os::faArchive});
  EXPECT_EQ(back->ZipItem(IndexOf(*back, "descriptor.txt"))->GetModTime(), 0x7A3C);
  back.reset();

  // The object that wrote the file still holds it: a delete and a move rewrite it, and
  // the object reads the new file afterwards.
  a->ZipItem(IndexOf(*a, "fast.txt"))->PendingAction = aaDelete;
  a->ZipItem(IndexOf(*a, oem))->PendingAction = aaDelete;
  // A move names the item as an add would: the euro item takes an exact OEM name, the
  // other one a name that needs UTF-8.
  const std::string renamed = "renamed \x80.txt", umlauts = "Gr\xFC\xDF.txt";
  a->Move(a->ZipItem(IndexOf(*a, "secret.txt")), renamed);
  a->Move(a->ZipItem(IndexOf(*a, euro)), umlauts);
  a->IsDirty = true;
  a->Save();
  expected.erase("fast.txt");
  expected.erase(oem);
  expected[renamed] = expected["secret.txt"];
  expected.erase("secret.txt");
  expected[umlauts] = expected[euro];
  expected.erase(euro);
  EXPECT_EQ(Contents(*a), expected);
  EXPECT_EQ(Contents(*Opened(dir / "new.zip")), expected);
  EXPECT_EQ(ExpectDescriptorsMatchTheCentralRecords(dir / "new.zip"), 2);  // copied with its item
}

// The insert hooks measure their source in 64 bits: one of 2 GiB or more is refused as the
// library refuses such an item (its sizes are signed 32-bit), before a byte of it is read,
// and never recorded with its size modulo 2^32. The sources are sparse files.
TEST_F(ZipSaving, TheInsertHooksRefuseASourceOf2GiBOrMoreAsTheLibraryDoes) {
  for (const bool streamed : {false, true})
    for (const int64_t size : {int64_t{1} << 31, (int64_t{1} << 32) + 10}) {
      SCOPED_TRACE(std::to_string(size) + (streamed ? " bytes from a stream" : " bytes from a file"));
      auto a = NewArchive("big.zip");
      TFileStream(dir / "big.bin", fmCreate).SetSize(size);
      TFileStream source(dir / "big.bin", fmOpenRead | fmShareDenyNone);
      settings["big.bin"] = {};
      EXPECT_EQ(a->Add(std::unique_ptr<TArArchiveItem>(a->NewItem(dir / "big.bin"))), nullptr);
      if (streamed) {
        a->SourceStream = &source;
        a->ZipItem(0)->PendingAction = aaStreamAdd;
      }
      try {
        a->Save();
        ADD_FAILURE() << "saved " << a->ZipItem(0)->GetUnpackedSize() << " bytes";
      } catch (const EArZipException& e) { EXPECT_STREQ(e.what(), "Item too large for a zip archive"); }
      EXPECT_EQ(artest::ReadFile(dir / "big.zip").size(), 0u);
    }
}

// A delete moves kept bytes to where readers look for records: the last kept central
// record's extra field or comment, or with every item gone the program stub, ends up just
// before the end record, where an archive beyond 4 GB has its locator.
TEST_F(ZipSaving, KeptBytesThatLookLikeARecordDoNotStopTheReload) {
  const std::string locator = std::string("PK\6\7", 4) + std::string(16, '\0');
  // Deletes the last item, then reads what is left through the object and a fresh load.
  auto saveAndReload = [&](const TZipBuilder& z, const std::map<std::string, std::string>& kept) {
    const TBytes bytes = z.Build();
    artest::WriteFile(dir / "kept.zip", std::string(bytes.begin(), bytes.end()));
    auto a = Opened(dir / "kept.zip");
    a->ZipItem(a->Count() - 1)->PendingAction = aaDelete;
    a->IsDirty = true;
    a->Save();
    EXPECT_EQ(Contents(*a), kept);
    EXPECT_EQ(Contents(*Opened(dir / "kept.zip")), kept);
  };
  for (const bool inExtra : {true, false}) {
    SCOPED_TRACE(inExtra ? "extra field" : "comment");
    TZipEntry alpha = Stored("a.txt", "alpha");
    if (inExtra)
      alpha.CentralExtra = ToBytes(std::string("\xFE\xCA\x14\0", 4) + locator);
    else
      alpha.Comment = "Stand 1" + locator;
    TZipBuilder z;
    z.Add(alpha);
    z.AddStored("b.txt", "beta");
    saveAndReload(z, {{"a.txt", "alpha"}});
  }
  SCOPED_TRACE("program stub");
  TZipBuilder z;
  z.Stub = ToBytes("MZ" + std::string(42, '\x90') + locator);
  z.AddStored("a.txt", "alpha");
  saveAndReload(z, {});
}

// The archive model's rules apply first, to the "\\" names they know; then "/" takes over.
TEST_F(ZipSaving, StoredNamesDropDriveParentStepsAndTakeForwardSlashes) {
  auto a = NewArchive("names.zip");
  a->AddOptions = aoStripDriveOrShare | aoRemoveParentPrefixes;
  EXPECT_EQ(a->NormalizeStoredName("D:\\DATA\\..\\A.TXT"), "DATA/../A.TXT");
  EXPECT_EQ(a->NormalizeStoredName("..\\..\\A.TXT"), "A.TXT");
  EXPECT_EQ(a->NormalizeStoredName("\\\\SERVER\\SHARE\\docs\\b.txt"), "docs/b.txt");
}

TEST_F(ZipSaving, AThresholdCutsNumberedImagesThatLoadBackAndASetIsNeverRewritten) {
  auto a = NewArchive("SET.zip");
  TInsertSettings stored;
  stored.Method = 0;
  // Sizes chosen so that the data ends 32 bytes before the end of image 3, and the end
  // record with its comment does not fit behind the directory on image 4.
  for (int i = 0; i < 6; ++i) AddFile(*a, "part" + std::to_string(i) + ".bin", Noise(6617, 20 + i, false), stored);
  const std::string comment(9800, 'c');
  a->EndRecord.SetComment(comment);
  a->SetSpanThreshold(10000);
  a->Save();
  EXPECT_TRUE(a->Spanned);
  EXPECT_EQ(artest::ReadFile(dir / "SET.zip").substr(0, 4), "PK\7\x08");
  for (const char* image : {"SET.z01", "SET.z04", "SET.z05"}) EXPECT_TRUE(os::FileExists(dir / image)) << image;
  EXPECT_FALSE(os::FileExists(dir / "SET.z06"));
  // The directory starts where its first record is, not at the end of image 3, and the
  // last image holds the whole end record.
  EXPECT_EQ(a->EndRecord.DirectoryDisk, 4);
  EXPECT_EQ(a->EndRecord.DirectoryOffset, 0u);
  EXPECT_EQ(a->EndRecord.ThisDisk, 5);
  EXPECT_EQ(Contents(*a), expected);

  auto back = Opened(dir / "SET.zip");
  EXPECT_TRUE(back->Spanned);
  EXPECT_EQ(back->EndRecord.Comment(), comment);
  EXPECT_EQ(Contents(*back), expected);
  const std::string last = artest::ReadFile(dir / "SET.z05");
  back->ZipItem(0)->PendingAction = aaDelete;
  back->IsDirty = true;
  EXPECT_THROW(back->Save(), EArZipSpanOverwrite);
  EXPECT_EQ(artest::ReadFile(dir / "SET.z05"), last);

  // A threshold that would need more than 99 further images is refused before writing.
  auto tiny = NewArchive("TINY.zip");
  AddFile(*tiny, "big.bin", Noise(60000, 30, false), stored);
  tiny->SetSpanThreshold(500);
  try {
    tiny->Save();
    ADD_FAILURE() << "saved";
  } catch (const EArZipException& e) { EXPECT_EQ(e.ErrorCode, 31); }
  EXPECT_EQ(artest::ReadFile(dir / "TINY.zip"), "");
  EXPECT_FALSE(os::FileExists(dir / "TINY.z01"));
  // So is one below a record's size: no piece could hold that record whole.
  auto narrow = NewArchive("NARROW.zip");
  AddFile(*narrow, std::string(150, 'n') + ".bin", "small", stored);
  narrow->SetSpanThreshold(170);
  try {
    narrow->Save();
    ADD_FAILURE() << "saved";
  } catch (const EArZipException& e) { EXPECT_EQ(e.ErrorCode, 31); }
  EXPECT_EQ(artest::ReadFile(dir / "NARROW.zip"), "");
  EXPECT_FALSE(os::FileExists(dir / "NARROW.z01"));

  // A set stopped half-written no longer matches its items: the object refuses further work.
  tiny->SetSpanThreshold(20000);
  tiny->OnSaveProgress = [](TArArchive*, uint8_t, bool& abort) { abort = true; };
  EXPECT_THROW(tiny->Save(), EArUserAbort);
  EXPECT_THROW(tiny->ExtractItemAt(0), EArNoArchive);
}

// Other tools read a set only where each record lies whole on one piece (an item's data
// may run on): saves keep to that. Sets whose records do run on into the next piece, as
// earlier saves wrote them, load all the same: each piece is asked for once, in order, and
// every record is read from where it lies.
TEST_F(ZipSaving, RecordsLieWholeOnAPieceAndSetsWhoseRecordsRunOnLoadAsWell) {
  std::vector<std::string> names;
  for (uint16_t i = 0; i < 99; ++i) {
    std::string n = dir / "SET.zip";
    if (i > 0) MakeSpanImageName(n, i);
    names.push_back(n);
  }
  // 60 items whose name, extra field or comment takes most of their records.
  auto source = [&](size_t name, size_t extra, size_t comment) {
    for (const std::string& n : names) os::EraseFile(n);
    expected.clear();
    TZipBuilder z;
    for (int i = 0; i < 60; ++i) {
      TZipEntry e =
          Stored("item" + std::to_string(10 + i) + std::string(name, 'n'), Noise(100 + 37 * i % 300, i, false));
      e.LocalExtra = e.CentralExtra = TBytes(extra, static_cast<uint8_t>('x' + i % 2));
      e.Comment = std::string(comment, 'k');
      expected[e.Name] = std::string(e.Data.begin(), e.Data.end());
      z.Add(e);
    }
    return z;
  };
  // Loads the set of the first count pieces, naming each piece asked for.
  auto load = [&](size_t count) {
    auto back = std::make_unique<TArZipArchive>(names[0], fmOpenRead | fmShareDenyNone);
    std::vector<int32_t> asked;
    back->OnRequestImage = [&](void*, int32_t n, std::string& name, bool&) {
      asked.push_back(n);
      name = names.at(n < 0 ? count - 1 : static_cast<size_t>(n));
    };
    try {
      back->Load();
    } catch (const std::exception& e) {
      ADD_FAILURE() << e.what() << " after asking for pieces " << ::testing::PrintToString(asked);
      return back;
    }
    const TArZipDirectoryFileFooter& end = back->EndRecord;
    EXPECT_EQ(end.ThisDisk + 1u, count);
    std::vector<int32_t> once{-1};
    for (int32_t d = end.DirectoryDisk; end.DirectoryDisk < end.ThisDisk && d <= end.ThisDisk; ++d) once.push_back(d);
    EXPECT_EQ(asked, once);
    for (int32_t i = 0; i < back->Count(); ++i) EXPECT_NO_THROW(TestItem(*back, *back->ZipItem(i))) << i;
    EXPECT_EQ(Contents(*back), expected);
    return back;
  };

  const struct {
    const char* What;
    size_t Name, Extra, Comment;
  } saved[] = {{"names", 200, 0, 0}, {"extra fields", 8, 200, 0}, {"comments", 8, 0, 200}};
  for (const auto& row : saved) {
    SCOPED_TRACE(std::string("saved, records mostly ") + row.What);
    const TBytes plain = source(row.Name, row.Extra, row.Comment).Build();
    artest::WriteFile(names[0], std::string(plain.begin(), plain.end()));
    size_t count = 0;
    {
      auto a = Opened(names[0]);
      a->SetSpanThreshold(2000);
      a->IsDirty = true;
      a->Save();
      count = a->EndRecord.ThisDisk + 1u;
    }
    ExpectRecordsWholeOnTheirPieces(*load(count), names);
  }

  // Cuts at a byte of the index-th record with that signature in the archive laid as one
  // piece. Its items' records: 30 bytes, or 46 and the 46-byte name, 40-byte extra field
  // and (central) 40-byte comment.
  struct TCut {
    const char* Signature;
    int Index;
    uint32_t Into;
  };
  const struct {
    const char* What;
    std::vector<TCut> Cuts;
  } cut[] = {
      {"inside a central record's fixed part", {{"PK\1\2", 30, 20}}},
      {"inside its name", {{"PK\1\2", 30, 46 + 10}}},
      {"inside its extra field", {{"PK\1\2", 30, 46 + 46 + 10}}},
      {"inside its comment", {{"PK\1\2", 30, 46 + 46 + 40 + 10}}},
      {"inside the last local header's name, before a shorter last piece", {{"PK\3\4", 59, 30 + 10}}},
      {"between central records, and before the end record", {{"PK\1\2", 30, 0}, {"PK\5\6", 0, 0}}},
  };
  for (const auto& row : cut) {
    SCOPED_TRACE(std::string("cut ") + row.What);
    const TZipBuilder z = source(46 - 6, 40, 40);
    const TBytes plain = z.Build();
    std::vector<uint32_t> at;
    for (const TCut& c : row.Cuts) {
      auto p = plain.begin();
      for (int k = 0; k <= c.Index; ++k) p = std::search(p + (k > 0), plain.end(), c.Signature, c.Signature + 4);
      ASSERT_NE(p, plain.end());
      at.push_back(static_cast<uint32_t>(p - plain.begin()) + 4 + c.Into);  // behind the spanning marker
    }
    const std::vector<TBytes> pieces = z.BuildCut(at);
    for (size_t i = 0; i < pieces.size(); ++i)
      artest::WriteFile(names[i], std::string(pieces[i].begin(), pieces[i].end()));
    load(pieces.size());
  }
}

// The machine has no removable drive: the drive queries stand in for one whose disks
// hold 20,000 bytes, and the disk requests swap the file in the drive for another.
TEST_F(ZipSaving, ASaveThatDoesNotFitItsRemovableDiskGoesOnLabelledDisks) {
  const std::string drivePath = dir / "A.ZIP";
  std::vector<std::string> disks;  // the contents of the disks taken out
  std::map<size_t, std::string> labels;
  struct TRestore {
    ~TRestore() { ArDriveQueries = SystemDriveQueries(); }
  } restore;
  ArDriveQueries.IsRemovable = [&](const std::string& p) { return p == drivePath; };
  ArDriveQueries.FreeSpace = [&](const std::string&) {
    return static_cast<int32_t>(20000 - std::max<int64_t>(GetFileSize64(drivePath), 0));
  };
  ArDriveQueries.SetLabel = [&](const std::string& label, char) {
    labels[disks.size()] = label;
    return 0u;
  };
  auto a = NewArchive("A.ZIP");
  a->OnRequestBlankDisk = [&](void*, bool&) {
    disks.push_back(artest::ReadFile(drivePath));
    os::EraseFile(drivePath);
  };
  TInsertSettings stored;
  stored.Method = 0;
  for (int i = 0; i < 4; ++i) AddFile(*a, "disk" + std::to_string(i) + ".bin", Noise(12000, 40 + i, false), stored);
  a->Save();
  ASSERT_EQ(disks.size(), 2u);
  disks.push_back(artest::ReadFile(drivePath));
  for (const std::string& d : disks) EXPECT_LE(d.size(), 20000u);
  EXPECT_EQ(labels, (std::map<size_t, std::string>{{0, "PKBACK# 001"}, {1, "PKBACK# 002"}, {2, "PKBACK# 003"}}));

  auto back = std::make_unique<TArZipArchive>(drivePath, fmOpenRead | fmShareDenyNone);
  back->OnRequestNthDisk = [&](void*, uint8_t n, bool&) { artest::WriteFile(drivePath, disks.at(n - 1u)); };
  back->Load();
  EXPECT_TRUE(back->Spanned);
  EXPECT_EQ(Contents(*back), expected);
}

#ifdef MB_ZIP_WRITTEN
// A name OEM lacks a character of, as this library saves it, left in the written folder,
// where a script checks that the system's zip tools extract it under the name it was given.
// (Unmarked OEM names stay as they were; the unzip here writes those in ISO 8859-1.)
TEST(SavedNames, AreLeftForTheToolsInTheWrittenFolder) {
  const std::string written = MB_ZIP_WRITTEN, src = written + "\\names.src";
  artest::RemoveTree(written);
  CreateDirectoryPath(src);
  artest::WriteFile(written + "\\names.zip", "");
  auto a = Opened(written + "\\names.zip");
  a->AddOptions |= aoStripPath;
  InstallInsertHooks(*a, [](const TArZipItem&) { return TInsertSettings(); });
  std::map<std::string, std::string> files;
  for (const char* name : {"Preis \x80.txt", "plain.txt"}) {
    files[name] = std::string("content of ") + name;
    artest::WriteFile(src + "\\" + name, files[name]);
    a->Add(std::unique_ptr<TArArchiveItem>(a->NewItem(src + "\\" + name)));
  }
  a->Save();
  EXPECT_EQ(Contents(*Opened(written + "\\names.zip")), files);
}
#endif
