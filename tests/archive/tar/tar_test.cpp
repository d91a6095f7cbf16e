#include <gtest/gtest.h>
#include <algorithm>
#include <random>
#include "archive/tar/tararchive.h"
#include "tests/archive/artestutil.h"
#include "tests/archive/tar/tarbuild.h"

using tartest::Block;
using tartest::Entry;

namespace {

int64_t Octal(const std::string& field) {
  return OctalToInt(reinterpret_cast<const uint8_t*>(field.data()), static_cast<int>(field.size()));
}

bool IsHeader(const std::string& block, int count) {
  return IsTarHeader(reinterpret_cast<const uint8_t*>(block.data()), count);
}

struct TFailure {
  std::string Name;
  TArProcessType Type;
  TArErrorClass Class;
  int32_t Code;
};

// An archive file over bytes, loaded, its failures recorded.
struct TLoaded {
  TLoaded(const std::string& path, const std::string& bytes) {
    artest::WriteFile(path, bytes);
    Archive = std::make_unique<TArTarArchive>(path, fmOpenRead | fmShareDenyNone);
    Archive->OnProcessItemFailure = [this](TArArchive*, TArArchiveItem* item, TArProcessType t, TArErrorClass c,
                                           int32_t code) {
      Failures.push_back({item->GetStoredName(), t, c, code});
    };
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (int32_t i = 0; i < Archive->Count(); ++i) out.push_back(Archive->Items->Get(i)->GetStoredName());
    return out;
  }
  std::unique_ptr<TArTarArchive> Archive;
  std::vector<TFailure> Failures;
};

}  // namespace

TEST(TarHeader, NumbersAreOctalTextPaddedWithSpaces) {
  EXPECT_EQ(Octal("  0001750 "), 1000);
  EXPECT_EQ(Octal(std::string("0001750\0", 8)), 1000);
  EXPECT_EQ(Octal("        "), 0);
  EXPECT_EQ(Octal("12x4    "), 10);
  EXPECT_EQ(Octal("777777777777"), 68719476735);  // no 32-bit wrap
  EXPECT_EQ(PadOctal(IntToOctal(5000), 8), "  11610 ");
  EXPECT_EQ(PadOctal("12345670", 8), "12345670");
  EXPECT_EQ(IntToOctal(-1), "");
}

// The record this program fills ends at byte 345, so its checksum is the whole block's;
// other writers put a name prefix behind it, which only the whole-block sum covers.
TEST(TarHeader, AWrittenHeaderIsTheOldGnuLayoutAndBothChecksumsAreKnown) {
  TArTarItem item;
  item.SetStoredName("docs/read.me");
  item.SetUnpackedSize(1000);
  item.SetUnixTime(1700000000);
  TMemoryStream m;
  item.WriteTarHeader(m);
  std::string want(512, '\0');
  want.replace(0, 12, "docs/read.me");
  want.replace(100, 8, "    744 ");
  want.replace(108, 16, "      0       0 ");
  want.replace(124, 24, "       1750 14524770400 ");
  want[156] = '0';
  want.replace(257, 8, std::string("ustar  \0", 8));
  want.replace(329, 16, "      0       0 ");
  unsigned sum = 0;
  for (int i = 0; i < 512; ++i) sum += i >= 148 && i < 156 ? ' ' : static_cast<uint8_t>(want[i]);
  char chk[9];
  std::snprintf(chk, sizeof chk, "%7o ", sum);
  want.replace(148, 8, chk);
  const std::string got(m.Bytes().begin(), m.Bytes().end());
  EXPECT_EQ(got, want);

  const std::string posix = Block("name.txt", '0', 5, "a/prefix/only/the/whole/block/sum/covers");
  EXPECT_TRUE(IsHeader(posix, 512));
  EXPECT_FALSE(IsHeader(posix, 345));
  std::string broken = posix;
  broken[400] ^= 1;
  EXPECT_FALSE(IsHeader(broken, 512));
  EXPECT_FALSE(IsHeader(posix, 344));
}

TEST(TarHeader, DateAndTimeSettersKeepTheOtherHalf) {
  TArTarItem item;
  item.SetUnixTime(86400 + 12 * 3600);         // 1970-01-02 12:00:00
  item.SetModDate((20 << 9) | (1 << 5) | 1);   // 2000-01-01
  EXPECT_EQ(item.UnixTime(), 946728000);       // 2000-01-01 12:00:00
  item.SetModTime((8 << 11) | (30 << 5) | 5);  // 08:30:10
  EXPECT_EQ(item.UnixTime(), 946715410);
  item.SetUnixTime(0);  // before 1980: the first day DOS knows, never an invalid date
  EXPECT_EQ(item.GetModDate(), (1 << 5) | 1);
  EXPECT_EQ(item.GetModTime(), 0);
}

// Directories, links and the extension records of GNU and pax writers are no items, but
// an item takes the whole name and the true size they give.
TEST(TarArchive, OnlyRegularFilesAreItemsUnderTheirWholeNames) {
  artest::TempFolder dir;
  const std::string longName = "long/" + std::string(120, 'l') + ".txt";
  const std::string paxName = "pax/" + std::string(150, 'p') + ".txt";
  const std::string bytes =
      Entry("d/", '5', "") + Entry("d/a.txt", '0', "alpha") + Entry("lnk", '2', "") +
      Entry("././@LongLink", 'L', longName + '\0') + Entry(longName.substr(0, 100), '0', "long") +
      Entry("PaxHeaders/x", 'x', tartest::Pax({{"mtime", "1"}, {"path", paxName}, {"size", "3"}})) +
      Block(paxName.substr(0, 100), '0', 999) + tartest::Padded("pax") +
      Entry("PaxHeaders/g", 'g', tartest::Pax({{"comment", "global"}})) +
      Entry("b.txt", '0', "bravo", "some/deep/folder") + std::string(512, '\0') + "after the end: not entries";
  TLoaded t(dir / "t.tar", bytes);
  t.Archive->Load();
  EXPECT_EQ(t.Names(), (std::vector<std::string>{"d/a.txt", longName, paxName, "some/deep/folder/b.txt"}));
  EXPECT_EQ(t.Archive->Items->Get(2)->GetUnpackedSize(), 3u);
  os::MakeDirectory(dir / "out");
  t.Archive->SetBaseDirectory(dir / "out");
  t.Archive->ExtractOptions = eoCreateDirs | eoRestorePath;
  t.Archive->ExtractByMasks("*.*");
  EXPECT_TRUE(t.Failures.empty());
  std::string native = longName, pax = paxName;
  ToBackslashes(native);
  ToBackslashes(pax);
  EXPECT_EQ(artest::ReadFile(dir / "out\\d\\a.txt"), "alpha");
  EXPECT_EQ(artest::ReadFile(dir / ("out\\" + native)), "long");
  EXPECT_EQ(artest::ReadFile(dir / ("out\\" + pax)), "pax");
  EXPECT_EQ(artest::ReadFile(dir / "out\\some\\deep\\folder\\b.txt"), "bravo");
}

// Pax values are UTF-8 unless a hdrcharset record, the entry's own or the last global one,
// says they are raw bytes; other names are bytes. A UTF-8 name that does not decode fails
// its item alone.
TEST(TarArchive, PaxNamesAreUtf8UnlessTheirCharsetSaysBytes) {
  using tartest::Pax;
  artest::TempFolder dir;
  const std::string umlaut = "doc/\303\234ber.txt";
  const std::string bytes =
      Entry("h1", 'x', Pax({{"path", umlaut}})) + Entry("doc/Ueber.txt", '0', "1") +
      Entry("h2", 'x', Pax({{"path", "bad\xFF.txt"}})) + Entry("bad.txt", '0', "2") +
      Entry("h3", 'x', Pax({{"hdrcharset", "BINARY"}, {"path", "raw\xFF.txt"}})) + Entry("raw.txt", '0', "3") +
      Entry("g1", 'g', Pax({{"hdrcharset", "BINARY"}})) + Entry("h4", 'x', Pax({{"path", "global\xFE.txt"}})) +
      Entry("global.txt", '0', "4") + Entry("g2", 'g', Pax({{"hdrcharset", "ISO-IR 10646 2000 UTF-8"}})) +
      Entry("h5", 'x', Pax({{"path", "again\xFD.txt"}})) + Entry("again.txt", '0', "5") +
      Entry("././@LongLink", 'L', std::string("long\xFC.txt") + '\0') + Entry("long.txt", '0', "6");
  TLoaded t(dir / "t.tar", bytes);
  t.Archive->Load();
  std::string decoded;
  ASSERT_TRUE(os::Utf8ToFileText(umlaut, decoded));
  EXPECT_EQ(t.Names(), (std::vector<std::string>{decoded, "bad\xFF.txt", "raw\xFF.txt", "global\xFE.txt",
                                                 "again\xFD.txt", "long\xFC.txt"}));
  os::MakeDirectory(dir / "out");
  t.Archive->SetBaseDirectory(dir / "out");
  t.Archive->ExtractOptions = eoCreateDirs | eoRestorePath;
  t.Archive->ExtractByMasks("*.*");
  std::vector<std::string> failed;
  for (const TFailure& f : t.Failures) failed.push_back(f.Name);
  EXPECT_EQ(failed, (std::vector<std::string>{"bad\xFF.txt", "again\xFD.txt"}));
  ToBackslashes(decoded);
  std::vector<std::string> written = {"doc", decoded, "global\xFE.txt", "long\xFC.txt", "raw\xFF.txt"};
  std::sort(written.begin(), written.end());
  ASSERT_EQ(artest::ListTree(dir / "out"), written);
  EXPECT_EQ(artest::ReadFile(dir / ("out\\" + decoded)), "1");
}

// Headers and small items are read in pieces that span many entries; whatever the mix of
// sizes around those pieces and whatever order the items are taken in, each item comes
// out whole, and the listing misses no entry.
TEST(TarArchive, EveryItemComesOutWholeWhateverTheMixOfSizesAndTheOrder) {
  artest::TempFolder dir;
  std::mt19937 random(7);
  const int64_t sizes[] = {0, 1, 100, 511, 512, 513, 3000, 65535, 65536, 65537, 200000, 262144, 300000};
  std::vector<std::string> names, contents;
  std::string bytes;
  for (int i = 0; i < 240; ++i) {
    // Runs of tiny entries between larger ones, so that pieces grow and shrink.
    const int64_t size = (i / 20) % 2 ? sizes[random() % 13] : static_cast<int64_t>(random() % 700);
    std::string data(static_cast<size_t>(size), '\0');
    for (char& c : data) c = static_cast<char>(random());
    std::string name = "f" + std::to_string(i) + ".bin";
    if (i % 23 == 0) bytes += Entry("folder" + std::to_string(i) + "/", '5', "");
    if (i % 17 == 0) {
      name = std::string(110, 'n') + name;
      bytes += Entry("././@LongLink", 'L', name + '\0');
    }
    bytes += Entry(name.substr(0, 100), '0', data);
    names.push_back(name);
    contents.push_back(data);
  }
  TLoaded t(dir / "mix.tar", bytes + std::string(1024, '\0'));
  t.Archive->Load();
  ASSERT_EQ(t.Names(), names);
  os::MakeDirectory(dir / "all");
  t.Archive->SetBaseDirectory(dir / "all");
  t.Archive->ExtractByMasks("*.*");
  if constexpr (os::kFoldersHeldOpen) {
    // The next walk writes into the folder now under the name, not into the one the last
    // walk held open (moved aside and emptied here).
    ASSERT_TRUE(os::RenameFile(dir / "all", dir / "old"));
    for (const auto& n : names) os::EraseFile(dir / ("old\\" + n));
    os::MakeDirectory(dir / "all");
    t.Archive->ExtractByMasks("*.*");
    EXPECT_TRUE(artest::ListTree(dir / "old").empty());
  }
  os::MakeDirectory(dir / "back");
  t.Archive->SetBaseDirectory(dir / "back");
  for (int32_t i = t.Archive->Count() - 1; i >= 0; i -= 2) t.Archive->ExtractItemAt(i);
  EXPECT_TRUE(t.Failures.empty());
  for (size_t i = 0; i < names.size(); ++i) {
    ASSERT_EQ(artest::ReadFile(dir / ("all\\" + names[i])), contents[i]) << names[i];
    if ((names.size() - 1 - i) % 2 == 0) {
      ASSERT_EQ(artest::ReadFile(dir / ("back\\" + names[i])), contents[i]) << names[i];
    }
  }
}

// A size past the end fails its item and leaves the file it would replace. A block that
// is no header, a long name cut short, a size that is negative or beyond any file, or a
// sparse entry's extension blocks running past the end fail the load: nothing is listed
// under a name the archive did not finish, and no entry is lost with success.
TEST(TarArchive, DamagedInputFailsTheItemOrTheLoadAndNothingElse) {
  artest::TempFolder dir;
  os::MakeDirectory(dir / "out");
  artest::WriteFile(dir / "out\\big.bin", "old");
  TLoaded cut(dir / "cut.tar", Entry("good.txt", '0', "good") + Block("big.bin", '0', 037777777000) + "short");
  cut.Archive->Load();
  ASSERT_EQ(cut.Archive->Count(), 2);
  cut.Archive->SetBaseDirectory(dir / "out");
  cut.Archive->ExtractByMasks("*.*");
  ASSERT_EQ(cut.Failures.size(), 1u);
  EXPECT_EQ(cut.Failures[0].Name, "big.bin");
  EXPECT_EQ(cut.Failures[0].Class, ecFilerError);  // a short read, not a request for another image
  EXPECT_EQ(artest::ReadFile(dir / "out\\big.bin"), "old");
  EXPECT_EQ(artest::ReadFile(dir / "out\\good.txt"), "good");
  EXPECT_EQ(artest::ListTree(dir / "out").size(), 2u);

  const std::string one = Entry("one.txt", '0', "1"), rest = Entry("two.txt", '0', "2") + std::string(1024, '\0');
  const std::string wrapper = Block("wrap.bin", '0', 0);
  const std::string sparse = tartest::Patched(Block("holes.bin", 'S', 0), 482, "\x01");
  const std::vector<std::string> damaged = {
      one + std::string(512, 'z') + rest,
      Block("././@LongLink", 'L', 3000) + "a/very/long/name",
      one + tartest::Patched(wrapper, 124, std::string(12, '\xFF')) + rest,                                  // negative
      one + tartest::Patched(wrapper, 124, std::string("\x80\x01", 2) + std::string(10, '\0')) + rest,       // 2^80
      one + tartest::Patched(wrapper, 124, std::string("\x80\0\0\0\x40", 5) + std::string(7, '\0')) + rest,  // 2^62
      one + sparse + tartest::Patched(std::string(512, '\0'), 504, "\x01"),  // the next one is missing
  };
  for (size_t i = 0; i < damaged.size(); ++i) {
    TLoaded t(dir / ("damaged" + std::to_string(i) + ".tar"), damaged[i]);
    t.Archive->SetBaseDirectory(dir / "out");
    try {
      t.Archive->Load();
      ADD_FAILURE() << i;
    } catch (const EArException& e) { EXPECT_STREQ(e.what(), "Invalid Item") << i; }
    EXPECT_EQ(t.Names(), i == 1 ? std::vector<std::string>{} : std::vector<std::string>{"one.txt"}) << i;
    EXPECT_THROW(t.Archive->ExtractByMasks("*.*"), EArNoArchive);
  }
}

// GNU tar writes sizes of 8 GiB and more in base-256 (a first byte of 0x80), and an
// archive may end without its zero blocks: the walk steps over each entry's whole data,
// whatever it holds, and reads the file up to its last block. Links, devices, folders and
// FIFOs carry no data whatever their size field says (old writers put a hard link's
// target size there); only a body that does follow them is stepped over.
TEST(TarArchive, TheListingStepsOverWholeEntriesUpToTheLastBlock) {
  const std::string wrapped = Entry("smuggled.txt", '0', "smuggled");  // data, not an entry
  const std::string size1024 = std::string("\x80", 1) + std::string(9, '\0') + std::string("\x04\0", 2);
  const std::string target(5000, 't'), end(1024, '\0');
  std::string noBodies;
  std::vector<std::pair<std::string, std::string>> afterEach;
  for (char type : std::string("123456")) {
    noBodies += Block(std::string("entry") + type, type, 321) + Entry(std::string("after") + type, '0', "ok");
    afterEach.push_back({std::string("after") + type, "ok"});
  }
  struct TCase {
    std::string Bytes;
    std::vector<std::pair<std::string, std::string>> Files;  // in archive order
  };
  const std::vector<TCase> cases = {
      {tartest::Patched(Block("wrap.bin", '0', 0), 124, size1024) + wrapped + Entry("ok.txt", '0', "ok") + end,
       {{"wrap.bin", wrapped}, {"ok.txt", "ok"}}},
      {Entry("a.txt", '0', "alpha") + Block("empty.txt", '0', 0), {{"a.txt", "alpha"}, {"empty.txt", ""}}},
      {Entry("target.txt", '0', target) + tartest::Patched(Block("link.txt", '1', target.size()), 157, "target.txt") +
           end,
       {{"target.txt", target}}},
      {noBodies + end, afterEach},
      {Entry("a.txt", '0', "alpha") + Block("fifo", '6', 100000), {{"a.txt", "alpha"}}},
      // A pax hard link may carry data: it is no header, and it fits.
      {Entry("PaxHeaders/link", 'x', tartest::Pax({{"size", "600"}})) + Block("link", '1', 0) +
           tartest::Padded(std::string(600, 'd')) + Entry("b.txt", '0', "bravo") + end,
       {{"b.txt", "bravo"}}},
  };
  for (const TCase& c : cases) {
    artest::TempFolder dir;
    TLoaded t(dir / "t.tar", c.Bytes);
    t.Archive->Load();
    std::vector<std::string> names;
    for (const auto& [name, data] : c.Files) names.push_back(name);
    EXPECT_EQ(t.Names(), names);
    os::MakeDirectory(dir / "out");
    t.Archive->SetBaseDirectory(dir / "out");
    t.Archive->ExtractByMasks("*.*");
    EXPECT_TRUE(t.Failures.empty());
    for (const auto& [name, data] : c.Files) EXPECT_TRUE(artest::ReadFile(dir / ("out\\" + name)) == data) << name;
  }
}

TEST(TarArchive, NamesThatLeaveTheBaseFolderAreRefusedWhateverTheOptions) {
  for (uint8_t options : {uint8_t{0}, uint8_t{eoCreateDirs | eoRestorePath}}) {
    artest::TempFolder dir;
    os::MakeDirectory(dir / "base");
    TLoaded t(dir / "t.tar", Entry("../up.txt", '0', "x") + Entry("/abs.txt", '0', "x") +
                                 Entry("C:\\drive.txt", '0', "x") + Entry("a/../../deep.txt", '0', "x") +
                                 Entry("ok.txt", '0', "fine"));
    t.Archive->Load();
    t.Archive->SetBaseDirectory(dir / "base");
    t.Archive->ExtractOptions = options;
    t.Archive->ExtractByMasks("*.*");
    ASSERT_EQ(t.Failures.size(), 4u);
    for (const TFailure& f : t.Failures) {
      EXPECT_EQ(f.Type, ptExtract);
      EXPECT_EQ(f.Class, ecArchiveError);
    }
    EXPECT_EQ(artest::ListTree(dir.Path()), (std::vector<std::string>{"base", "base\\ok.txt", "t.tar"}));
  }
}

// What this program writes it reads back; a file that cannot be added is reported once
// and left out; a save that fails leaves the archive as it was, with no scratch file.
TEST(TarArchive, SavesWriteWhatWasQueuedOrNothingAtAll) {
  artest::TempFolder dir;
  artest::WriteFile(dir / "a.txt", "alpha");
  artest::WriteFile(dir / "b.bin", std::string(1000, 'b'));
  const std::string path = dir / "new.tar";
  std::vector<TFailure> failures;
  {
    TArTarArchive t(path, fmCreate);
    t.Load();
    t.OnProcessItemFailure = [&](TArArchive*, TArArchiveItem* item, TArProcessType type, TArErrorClass c,
                                 int32_t code) {
      failures.push_back({item->GetStoredName(), type, c, code});
    };
    t.AddOptions = aoStripPath;
    EXPECT_EQ(std::unique_ptr<TArArchiveItem>(t.NewItem(dir / std::string(99, 'n')))->GetStoredName().size(), 99u);
    EXPECT_THROW(t.NewItem(dir / std::string(100, 'n')), EArException);
#ifdef _WIN32
    // Stored names are OEM text, and a header can mark no other code page: a name OEM lacks
    // a character of is refused rather than stored under another one.
    EXPECT_EQ(std::unique_ptr<TArArchiveItem>(t.NewItem(dir / "\334bersicht.txt"))->GetStoredName(),
              "\232bersicht.txt");
    EXPECT_THROW(t.NewItem(dir / "Preis \x80.txt"), EArException);
#endif
    for (const char* name : {"a.txt", "b.bin", "missing.txt"})
      t.Add(std::unique_ptr<TArArchiveItem>(t.NewItem(dir / name)));
    t.Save();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].Name, "missing.txt");
    EXPECT_EQ(failures[0].Class, ecFileOpenError);
    EXPECT_EQ(t.Count(), 2);
    t.Move(t.Items->Get(0), "renamed.txt");
    t.Save();
  }
  const std::string image = artest::ReadFile(path);
  ASSERT_EQ(image.size(), 512u * 6);
  EXPECT_EQ(image.substr(image.size() - 512), std::string(512, '\0'));
  TLoaded back(dir / "copy.tar", image);
  back.Archive->Load();
  EXPECT_EQ(back.Names(), (std::vector<std::string>{"renamed.txt", "b.bin"}));
  EXPECT_EQ(back.Archive->Items->Get(0)->GetAttributes(), 0744u);
  TMemoryStream data;
  back.Archive->UnpackItemToStream(0, data);
  EXPECT_EQ(std::string(data.Bytes().begin(), data.Bytes().end()), "alpha");

  {
    TArTarArchive empty(dir / "empty.tar", fmCreate);
    empty.Load();
    empty.Save();
  }
  EXPECT_EQ(artest::ReadFile(dir / "empty.tar"), std::string(512, '\0'));

  const std::string cutBytes = Entry("a.txt", '0', "alpha") + Block("cut.bin", '0', 5000) + "a little";
  TLoaded cut(dir / "cut.tar", cutBytes);
  cut.Archive->Load();
  cut.Archive->Move(cut.Archive->Items->Get(0), "b.txt");
  EXPECT_ANY_THROW(cut.Archive->Save());
  EXPECT_TRUE(cut.Archive->IsDirty);
  EXPECT_EQ(artest::ReadFile(dir / "cut.tar"), cutBytes);
  EXPECT_EQ(artest::ListTree(dir.Path()).size(), 6u);  // no scratch file beside them
}
