// The unzipper's settings, events and password questions, the archive types it opens, and
// the disk and image requests of spanned sets.
#include <gtest/gtest.h>
#include "archive/unzipper.h"
#include "archive/deflate/zipcrypt.h"
#include "archive/gzip/gziparchive.h"
#include "tests/archive/zip/legacy_encoders.h"
#include "tests/archive/artestutil.h"
#include "tests/archive/gzip/gzipbuild.h"
#include "tests/archive/tar/tarbuild.h"
#include "tests/archive/zip/zipbuilder.h"

namespace {

std::string Str(const TBytes& b) { return std::string(b.begin(), b.end()); }

// A stored or shrunk item encrypted with password.
TZipEntry Encrypted(const std::string& name, const std::string& plain, const std::string& password, bool shrink) {
  TZipEntry e;
  e.Name = name;
  e.Method = shrink ? 1 : 0;
  e.Version = shrink ? 10 : 20;
  e.Flags = 1;
  const TBytes data = ToBytes(plain);
  e.Crc = Crc32Of(data);
  e.UnpackedSize = static_cast<uint32_t>(data.size());
  const TBytes body = shrink ? ShrinkEncode(data) : data;
  // The header proves a password by one byte only, so one wrong password in 256 passes
  // it; headers that would let a wrong password of these tests through are made again.
  auto acceptsWrong = [&](const TBytes& d) {
    for (const char* wrong : {"falsch", "auch falsch"}) {
      TArZipKeys k;
      k.Seed(wrong);
      uint8_t last = 0;
      for (int i = 0; i < 12; ++i) last = k.DecryptByte(d[static_cast<size_t>(i)]);
      if (last == static_cast<uint8_t>(e.Crc >> 24)) return true;
    }
    return false;
  };
  do {
    TMemoryStream m;
    {
      TArDfEncryptStream enc(&m, password, e.Crc);
      enc.WriteBuffer(body.data(), static_cast<int32_t>(body.size()));
    }
    e.Data = m.Bytes();
  } while (acceptsWrong(e.Data));
  return e;
}

struct TPasswordRun {
  int Asked = 0;
  std::vector<int32_t> Codes;
  std::string Extracted;
  std::string FinalPassword;
};

TPasswordRun RunWithPasswords(bool shrink, const std::string& preset, uint8_t retries,
                              std::vector<std::string> answers) {
  TZipBuilder z;
  z.Add(Encrypted("secret.txt", "top secret text", "richtig", shrink));
  artest::TempFolder dir;
  artest::WriteFile(dir / "p.zip", Str(z.Build()));
  os::MakeDirectory(dir / "out");
  TArUnZipper u;
  TPasswordRun run;
  u.SetPassword(preset);
  u.SetPasswordRetries(retries);
  u.OnNeedPassword = [&](TArBaseBrowser*, std::string& pw) {
    pw = run.Asked < static_cast<int>(answers.size()) ? answers[static_cast<size_t>(run.Asked)] : "falsch";
    ++run.Asked;
  };
  u.OnProcessItemFailure = [&](TArBaseBrowser*, TArArchiveItem*, TArProcessType, TArErrorClass, int32_t code) {
    run.Codes.push_back(code);
  };
  u.OpenArchiveFile(dir / "p.zip");
  u.SetBaseDirectory(dir / "out");
  u.ExtractMatchingFiles("*.*");
  if (os::FileExists(dir / "out\\secret.txt")) run.Extracted = artest::ReadFile(dir / "out\\secret.txt");
  run.FinalPassword = u.Password();
  return run;
}

// What the unzipper made of an archive, unpacked with its folders into "<archive>.out".
struct TUnpacked {
  std::string Out;
  ArchiveTypeCode Type;
  int32_t Failed;
};

TUnpacked UnpackBeside(const std::string& archive, TArExtractOptions options = eoCreateDirs | eoRestorePath) {
  TUnpacked r{archive + ".out", atUnknown, 0};
  os::MakeDirectory(r.Out);
  TArUnZipper u;
  u.SetExtractOptions(options);
  u.OpenArchiveFile(archive);
  r.Type = u.ArchiveType();
  u.SetBaseDirectory(r.Out);
  u.ExtractMatchingFiles("*.*");
  r.Failed = u.FailedItems();
  u.CloseArchiveFile();
  return r;
}

}  // namespace

// Stored and legacy items ask the same way: a wrong password is asked again up to the
// retries and the last answer is tried too; an empty answer or no retries ask no more.
TEST(Passwords, WrongAnswersAreAskedAgainUpToTheRetries) {
  const struct {
    const char* Preset;
    uint8_t Retries;
    std::vector<std::string> Answers;
    int Asked;
    bool Extracted;
  } cases[] = {{"falsch", 3, {}, 3, false},
               {"falsch", 2, {"auch falsch", "richtig"}, 2, true},
               {"", 3, {""}, 1, false},
               {"falsch", 0, {"richtig"}, 0, false},
               {"richtig", 0, {}, 0, true}};
  for (bool shrink : {false, true})
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(shrink ? "shrunk, " : "stored, ") + "preset \"" + c.Preset + "\"");
      const TPasswordRun r = RunWithPasswords(shrink, c.Preset, c.Retries, c.Answers);
      EXPECT_EQ(r.Asked, c.Asked);
      EXPECT_EQ(r.Codes, c.Extracted ? std::vector<int32_t>{} : std::vector<int32_t>{4});
      EXPECT_EQ(r.Extracted, c.Extracted ? "top secret text" : "");
      if (c.Extracted) { EXPECT_EQ(r.FinalPassword, "richtig"); }  // the answer reached the component
    }
}

TEST(UnzipperComponent, FileNamesOpenOnlyArchivesOfAKnownType) {
  artest::TempFolder dir;
  TArUnZipper u;
  int changes = 0;
  u.OnChange = [&](TArBaseBrowser* sender) {
    EXPECT_EQ(sender, &u);
    ++changes;
  };
  u.OpenArchiveFile(dir / "missing.zip");
  EXPECT_EQ(u.Archive(), nullptr);
  EXPECT_EQ(u.FileName(), dir / "missing.zip");
  EXPECT_EQ(changes, 1);
  EXPECT_THROW(u.ExtractMatchingFiles("*.*"), EArNoArchive);
  artest::WriteFile(dir / "data.xyz", "whatever");
  EXPECT_THROW(u.OpenArchiveFile(dir / "data.xyz"), EArUnhandledType);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(u.FileName(), dir / "data.xyz");
  // Not a cabinet under the cabinet library, and no library at all natively.
  artest::WriteFile(dir / "a.cab", "MSCF and a cabinet");
  EXPECT_THROW(u.OpenArchiveFile(dir / "a.cab"), EArCabException);
  EXPECT_EQ(u.Archive(), nullptr);
  u.CloseArchiveFile();
  EXPECT_EQ(changes, 2);
  EXPECT_TRUE(u.FileName().empty());
  u.CloseArchiveFile();  // nothing open: nothing happens
  EXPECT_EQ(changes, 2);
}

TEST(UnzipperComponent, BaseDirectoryIsTheArchivesOnceOneIsOpen) {
  artest::TempFolder dir;
  TZipBuilder z;
  z.AddStored("a.txt", "a");
  artest::WriteFile(dir / "a.zip", Str(z.Build()));
  TArUnZipper u;
  EXPECT_EQ(u.Version(), "3.04");
  EXPECT_EQ(u.ExtractOptions(), eoCreateDirs);
  EXPECT_EQ(u.PasswordRetries(), 3);
  u.SetBaseDirectory(dir.Path() + "\\");
  EXPECT_EQ(u.BaseDirectory(), dir.Path() + "\\");  // kept as given without an archive
  u.OpenArchiveFile(dir / "a.zip");
  EXPECT_EQ(u.BaseDirectory(), dir.Path());
  EXPECT_EQ(u.Archive()->BaseDirectory(), dir.Path());
  EXPECT_THROW(u.SetBaseDirectory(dir / "nowhere"), EArNoSuchDirectory);
  EXPECT_EQ(u.BaseDirectory(), dir.Path());
  u.SetExtractOptions(eoRestorePath);
  EXPECT_EQ(u.Archive()->ExtractOptions, eoRestorePath);
}

// Closing, re-pointing or destroying the component never writes the archive, also one
// that did not load.
TEST(UnzipperComponent, LettingAnArchiveGoNeverWritesIt) {
  artest::TempFolder dir;
  TZipBuilder z;
  z.AddStored("a.txt", "a");
  TBytes broken = z.Build();
  broken[broken.size() - 22 - 51] ^= 0xFF;  // the central record's signature
  artest::WriteFile(dir / "broken.zip", Str(broken));
  TZipBuilder none;
  artest::WriteFile(dir / "none.zip", Str(none.Build()));
  for (const char* leaf : {"broken.zip", "none.zip"}) {
    const std::string before = artest::ReadFile(dir / leaf);
    {
      TArUnZipper u;
      auto open = [&](const std::string& name) {
        try {
          u.OpenArchiveFile(name);
        } catch (const EArException&) {}
      };
      open(dir / leaf);
      open(dir / "none.zip");
      open(dir / leaf);
      u.CloseArchiveFile();
      open(dir / leaf);
    }
    EXPECT_EQ(artest::ReadFile(dir / leaf), before) << leaf;
  }
}

// Tar and gzip files take only the base settings: their names come out without folders,
// and a gzipped tar, seen as a gzip file, gives its one tar image.
TEST(UnzipperComponent, TarAndGzipFilesUnpackFlatThroughTheSameCalls) {
  artest::TempFolder dir;
  const std::string tar =
      tartest::Entry("docs/a.txt", '0', "alpha") + tartest::Entry("b.txt", '0', "bravo") + std::string(1024, '\0');
  artest::WriteFile(dir / "t.tar", tar);
  artest::WriteFile(dir / "payload.bin", "gzip me");
  for (const auto& [from, to] : {std::pair{"t.tar", "t.tgz"}, std::pair{"payload.bin", "p.gz"}}) {
    TArGzipArchive g(dir / to, fmCreate);
    g.Load();
    g.Add(std::unique_ptr<TArArchiveItem>(g.NewItem(dir / from)));
    g.Save();
  }
  const struct {
    const char* File;
    ArchiveTypeCode Type;
    std::vector<std::string> Names;
  } cases[] = {
      {"t.tar", atTar, {"a.txt", "b.txt"}}, {"t.tgz", atGzippedTar, {"t.tar"}}, {"p.gz", atGzip, {"payload.bin"}}};
  for (const auto& c : cases) {
    const TUnpacked u = UnpackBeside(dir / c.File);
    EXPECT_EQ(u.Type, c.Type);
    EXPECT_EQ(u.Failed, 0);
    EXPECT_EQ(artest::ListTree(u.Out), c.Names) << c.File;
  }
  EXPECT_EQ(artest::ReadFile(dir / "t.tgz.out\\t.tar"), tar);
  EXPECT_EQ(artest::ReadFile(dir / "t.tar.out\\a.txt"), "alpha");
  EXPECT_EQ(artest::ReadFile(dir / "p.gz.out\\payload.bin"), "gzip me");
}

// A name Windows reads as a device fails its item in every format the unzipper opens, the
// gzip name by its file-name part alone; the other items come out.
TEST(UnzipperComponent, NamesOfDevicesFailTheirItemInEveryFormat) {
  artest::TempFolder dir;
  TZipBuilder z;
  z.AddStored("nul.txt", "device");
  z.AddStored("Sub/Aux.log", "device");
  z.AddStored("good.txt", "good");
  artest::WriteFile(dir / "u.zip", Str(z.Build()));
  artest::WriteFile(dir / "t.tar", tartest::Entry("CON.", '0', "device") + tartest::Entry("good.txt", '0', "good") +
                                       std::string(1024, '\0'));
  artest::WriteFile(dir / "p.gz", gziptest::Member("device", 1700000000, "from/lpt1 .txt"));
  const struct {
    const char* File;
    int32_t Failed;
    std::vector<std::string> Names;
  } cases[] = {{"u.zip", 2, {"good.txt"}}, {"t.tar", 1, {"good.txt"}}, {"p.gz", 1, {}}};
  for (const auto& c : cases) {
    const TUnpacked u = UnpackBeside(dir / c.File);
    EXPECT_EQ(u.Failed, c.Failed) << c.File;
    EXPECT_EQ(artest::ListTree(u.Out), c.Names) << c.File;
  }
}

// Entries that land on one file, from other folders where names land flat or in other
// letter case where the file system ignores it: the first one's file stays and each later
// one fails, whether or not a file was there before. A later copy of the same entry is its
// newer version and replaces it, as tar files keep one.
TEST(UnzipperComponent, AnEntryDoesNotReplaceAFileTheExtractionWroteForAnother) {
  artest::TempFolder dir;
  artest::WriteFile(dir / "probe", "");
  const bool oneFileForBothCases = os::FileExists(dir / "PROBE");
  const std::string end(1024, '\0');
  const std::string flat = tartest::Entry("a/same.txt", '0', "first") + tartest::Entry("b/same.txt", '0', "second") +
                           tartest::Entry("c/other.txt", '0', "other") + tartest::Entry("d/same.txt", '0', "third");
  artest::WriteFile(dir / "flat.tar", flat + end);
  artest::WriteFile(dir / "before.tar", flat + end);
  TZipBuilder z;
  for (const auto& [name, data] :
       {std::pair{"a/same.txt", "first"}, {"b/same.txt", "second"}, {"c/other.txt", "other"}, {"d/same.txt", "third"}})
    z.AddStored(name, data);
  artest::WriteFile(dir / "flat.zip", Str(z.Build()));
  artest::WriteFile(dir / "case.tar",
                    tartest::Entry("Same.txt", '0', "first") + tartest::Entry("same.TXT", '0', "second") + end);
  artest::WriteFile(dir / "again.tar",
                    tartest::Entry("a/same.txt", '0', "old") + tartest::Entry("a/same.txt", '0', "first") + end);
  os::MakeDirectory(dir / "before.tar.out");
  artest::WriteFile(dir / "before.tar.out\\same.txt", "there before");
  const struct {
    const char* File;
    int32_t Failed;
    std::vector<std::string> Names;
    const char* First;  // the file that holds "first"
  } cases[] = {
      {"flat.tar", 2, {"other.txt", "same.txt"}, "same.txt"},
      {"before.tar", 2, {"other.txt", "same.txt"}, "same.txt"},
      {"flat.zip", 2, {"other.txt", "same.txt"}, "same.txt"},
      {"case.tar", oneFileForBothCases ? 1 : 0,
       oneFileForBothCases ? std::vector<std::string>{"Same.txt"} : std::vector<std::string>{"Same.txt", "same.TXT"},
       "Same.txt"},
      {"again.tar", 0, {"same.txt"}, "same.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    const TUnpacked u = UnpackBeside(dir / c.File, eoCreateDirs);
    EXPECT_EQ(u.Failed, c.Failed);
    ASSERT_EQ(artest::ListTree(u.Out), c.Names);
    EXPECT_EQ(artest::ReadFile(u.Out + "\\" + c.First), "first");
  }
}

TEST(SpannedSets, ALoaderAsksForTheLastPieceAtMost99Times) {
  artest::TempFolder dir;
  artest::WriteFile(dir / "set.zip", "PK\x07\x08 first piece without a directory");
  artest::WriteFile(dir / "other.bin", "no end record here either");
  TArUnZipper u;
  int asked = 0;
  u.SetOnRequestImage([&](void*, int32_t, std::string& name, bool& abort) {
    ++asked;
    name = dir / "other.bin";
    abort = false;
  });
  EXPECT_THROW(u.OpenArchiveFile(dir / "set.zip"), EArFileNotFound);
  EXPECT_EQ(asked, 99);
}

TEST(SpannedSets, PiecesAreFoundByNameAndMissingOnesRaise) {
  artest::TempFolder dir;
  TZipBuilder z;
  z.AddStored("a.txt", "a");
  artest::WriteFile(dir / "set.zip", "PK\x07\x08 first piece");
  artest::WriteFile(dir / "set.z01", "PK second piece, no directory");
  artest::WriteFile(dir / "set.z02", Str(z.Build()));
  {
    TArZipArchive a(dir / "set.zip", fmOpenRead | fmShareDenyNone);
    a.Load();
    EXPECT_TRUE(a.Spanned);
    EXPECT_TRUE(a.AutoNamedImages);
    EXPECT_EQ(a.Count(), 1);
    a.RequestDiskOrImage(1);
    auto* span = dynamic_cast<TArSpanStream*>(a.Stream);
    ASSERT_NE(span, nullptr);
    EXPECT_EQ(span->ImageName(), dir / "set.z01");
    a.RequestDiskOrImage(0);
    EXPECT_EQ(dynamic_cast<TArSpanStream*>(a.Stream)->ImageName(), dir / "set.zip");
    EXPECT_THROW(a.RequestDiskOrImage(5), EArFileNotFound);
  }
  os::EraseFile(dir / "set.z02");
  TArZipArchive b(dir / "set.zip", fmOpenRead | fmShareDenyNone);
  EXPECT_THROW(b.Load(), EArFileNotFound);
  EXPECT_EQ(b.Stream, nullptr);
}

TEST(SpannedSets, PromptsNameTheDiskOrPieceAndCancelAborts) {
  artest::TempFolder dir;
  artest::WriteFile(dir / "set.zip", "PK\x07\x08 first piece");
  std::vector<std::string> prompts;
  const TArPromptFunction saved = ArZipPrompt;
  ArZipPrompt = [&](const std::string& text, const std::string& caption) {
    prompts.push_back(caption + ": " + text);
    return false;
  };
  TArZipArchive a(dir / "set.zip", fmOpenRead | fmShareDenyNone);
  bool abort = false;
  a.RequestDiskNumber(1, abort);
  EXPECT_TRUE(abort);
  a.RequestLastDisk(abort);
  std::string name = "x";
  a.AskImageName(false, 3, name, abort);
  int nth = -1;
  a.OnRequestNthDisk = [&](void*, uint8_t n, bool& ab) {
    nth = n;
    ab = false;
  };
  a.RequestDiskNumber(2, abort);
  EXPECT_FALSE(abort);
  EXPECT_EQ(nth, 2);
  a.RequestBlankDisk(abort);
  EXPECT_TRUE(a.Spanned);
  ArZipPrompt = saved;
  EXPECT_EQ(prompts, (std::vector<std::string>{"Insert floppy: Insert disk number 1 of the spanned disk set",
                                               "Insert floppy: Insert the last disk in the spanned disk set",
                                               "Image file name: Insert span number 3 of the spanned file set",
                                               "Insert floppy: Insert a blank floppy disk"}));
}

// Every request for a piece of a set on floppies is a prompt: testing items, like
// extracting them, asks only when an item lies on another piece than the stream.
TEST(SpannedSets, TestingAsksForAPieceOnlyWhenTheItemLiesOnAnother) {
  artest::TempFolder dir;
  TZipBuilder z;
  const std::pair<const char*, uint16_t> layout[] = {{"a.txt", 0}, {"b.txt", 0}, {"c.txt", 1}, {"d.txt", 2}};
  for (const auto& [name, disk] : layout) {
    TZipEntry e = Stored(name, std::string(300, name[0]));
    e.Disk = disk;
    z.Add(e);
  }
  const std::vector<TBytes> pieces = z.BuildPieces();
  ASSERT_EQ(pieces.size(), 3u);
  const std::vector<std::string> names = {dir / "set.zip", dir / "set.z01", dir / "set.z02"};
  for (size_t i = 0; i < pieces.size(); ++i) artest::WriteFile(names[i], Str(pieces[i]));
  TArUnZipper u;
  std::vector<int32_t> asked;
  u.SetOnRequestImage([&](void*, int32_t number, std::string& name, bool& abort) {
    asked.push_back(number);
    name = names[number < 0 ? 2 : static_cast<size_t>(number)];
    abort = false;
  });
  int failures = 0;
  u.OnProcessItemFailure = [&](TArBaseBrowser*, TArArchiveItem*, TArProcessType, TArErrorClass, int32_t) {
    ++failures;
  };
  u.OpenArchiveFile(names[0]);
  EXPECT_EQ(asked, std::vector<int32_t>{-1});
  asked.clear();
  for (int32_t i : {0, 1, 2, 3, 0, 1}) u.Archive()->VerifyItem(i);
  EXPECT_EQ(asked, (std::vector<int32_t>{0, 1, 2, 0}));
  EXPECT_EQ(failures, 0);
}
