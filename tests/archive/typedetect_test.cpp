#include <gtest/gtest.h>
#include "archive/core/arerrors.h"
#include "archive/typedetect.h"
#include "archive/zip/zipfind.h"
#include "tests/archive/artestutil.h"
#include "tests/archive/zip/zipbuilder.h"

namespace {

TMemoryStream StreamOf(const TBytes& b) {
  TMemoryStream s;
  s.Assign(b.data(), b.size());
  return s;
}

std::string Str(const TBytes& b) { return std::string(b.begin(), b.end()); }

TBytes SmallZip() {
  TZipBuilder z;
  z.AddStored("a.txt", "hello");
  return z.Build();
}

}  // namespace

// A record whose comment would run past the end is not the end record; one with the
// longest comment lies at most 65,557 bytes from the end, and nothing further back counts.
TEST(EndRecordSearch, RejectsOvershootingCommentsAndLooksNoFurtherThanTheLongestComment) {
  TBytes zip = SmallZip();
  const TBytes fake = {0x50, 0x4B, 0x05, 0x06, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0x00};
  TBytes withFake = zip;
  withFake.insert(withFake.end(), fake.begin(), fake.end());
  withFake.insert(withFake.end(), 30, 'x');  // the fake says 255 comment bytes; 30 follow
  TMemoryStream s = StreamOf(withFake);
  EXPECT_EQ(FindEndRecord(s), static_cast<int64_t>(zip.size()) - 22);

  TBytes far = zip;
  far.insert(far.end(), 65536, 'x');  // a real end record, then more than any comment
  TMemoryStream f = StreamOf(far);
  f.SetPosition(7);
  EXPECT_EQ(FindEndRecord(f), -1);
  EXPECT_EQ(f.Position(), 7);

  TMemoryStream tiny = StreamOf(TBytes{0x50, 0x4B, 0x05, 0x06, 1, 2});
  tiny.SetPosition(2);
  EXPECT_EQ(FindEndRecord(tiny), -1);
  EXPECT_EQ(tiny.Position(), 2);
}

TEST(ZipProbes, TellPlainSpannedAndSelfExtractingFilesAndKeepThePosition) {
  TMemoryStream plain = StreamOf(SmallZip());
  plain.SetPosition(5);
  EXPECT_EQ(ProbeZipFile(plain), 1);
  EXPECT_EQ(plain.Position(), 5);
  for (uint8_t third : {0x07, 0x30}) {
    TBytes spanned = {0x50, 0x4B, third, static_cast<uint8_t>(third == 0x07 ? 0x08 : 0x30), 1, 2, 3};
    TMemoryStream s = StreamOf(spanned);
    EXPECT_EQ(ProbeZipFile(s), 2);
  }
  TBytes exe = ToBytes("MZ stub program");
  TBytes zip = SmallZip();
  exe.insert(exe.end(), zip.begin(), zip.end());
  TMemoryStream e = StreamOf(exe);
  EXPECT_EQ(ProbeSelfExtractingZip(e), 3);
  TBytes elf = {0x7F, 'E', 'L', 'F'};
  elf.insert(elf.end(), zip.begin(), zip.end());
  TMemoryStream el = StreamOf(elf);
  EXPECT_EQ(ProbeSelfExtractingZip(el), 3);
  TMemoryStream bareExe = StreamOf(ToBytes("MZ and nothing else"));
  EXPECT_EQ(ProbeSelfExtractingZip(bareExe), 0);
  TMemoryStream zipNotExe = StreamOf(zip);
  EXPECT_EQ(ProbeSelfExtractingZip(zipNotExe), 0);
  TMemoryStream text = StreamOf(ToBytes("just some text that is not an archive"));
  EXPECT_EQ(ProbeZipFile(text), 0);
}

TEST(TypeDetection, MissingOrEmptyFilesGoByTheirExtension) {
  artest::TempFolder dir;
  EXPECT_EQ(DetectArchiveType(dir / "x.zip"), atZip);
  EXPECT_EQ(DetectArchiveType(dir / "x.exe"), atUnknown);
  EXPECT_EQ(DetectArchiveType(dir / "x.TGZ"), atGzippedTar);
  EXPECT_EQ(DetectArchiveType(dir / "x.tgz"), atGzippedTar);
  EXPECT_EQ(DetectArchiveType(dir / "x.gz"), atGzip);
  EXPECT_EQ(DetectArchiveType(dir / "x.cab"), atCabinet);
  EXPECT_EQ(DetectArchiveType(dir / "noextension"), atUnknown);
  artest::WriteFile(dir / "empty.tar", "");
  EXPECT_EQ(DetectArchiveType(dir / "empty.tar"), atTar);
}

TEST(TypeDetection, ExistingFilesAreProbedByExtension) {
  artest::TempFolder dir;
  artest::WriteFile(dir / "a.zip", Str(SmallZip()));
  artest::WriteFile(dir / "a.txt", Str(SmallZip()));
  artest::WriteFile(dir / "text.zip", "plain text, no archive here");
  TBytes exe = ToBytes("MZ");
  TBytes zip = SmallZip();
  exe.insert(exe.end(), zip.begin(), zip.end());
  artest::WriteFile(dir / "setup.EXE", Str(exe));
  artest::WriteFile(dir / "set.zip", "PK\x07\x08rest of a first piece");
  artest::WriteFile(dir / "a.gz", std::string("\x1F\x8B\x08\0\0\0\0\0\0\x03\x01\x01\0\xFE\xFFx", 16));
  artest::WriteFile(dir / "notgz.gz", "hello");
  EXPECT_EQ(DetectArchiveType(dir / "a.zip"), atZip);
  EXPECT_EQ(DetectArchiveType(dir / "a.txt"), atUnknown);
  EXPECT_EQ(DetectArchiveType(dir / "text.zip"), atUnknown);
  EXPECT_EQ(DetectArchiveType(dir / "setup.EXE"), atSelfExtractingZip);
  EXPECT_EQ(DetectArchiveType(dir / "set.zip"), atSpannedZip);
  EXPECT_EQ(DetectArchiveType(dir / "a.gz"), atGzip);
  EXPECT_EQ(DetectArchiveType(dir / "notgz.gz"), atUnknown);
}

TEST(TypeDetection, TarHeadersAreKnownByChecksumOrMagic) {
  artest::TempFolder dir;
  std::string block(512, '\0');
  block.replace(0, 5, "a.txt");
  block.replace(100, 8, "0000644 ");
  block.replace(124, 12, "00000000005 ");
  block.replace(257, 6, std::string("ustar\0", 6));
  block.replace(263, 2, "00");
  uint32_t sum = 0;
  for (int i = 0; i < 512; ++i) sum += i >= 148 && i < 156 ? ' ' : static_cast<uint8_t>(block[i]);
  char chk[9];
  std::snprintf(chk, sizeof chk, "%06o", sum);
  block.replace(148, 8, std::string(chk, 6) + std::string("\0 ", 2));
  artest::WriteFile(dir / "posix.tar", block + std::string(1024, '\0'));
  EXPECT_EQ(DetectArchiveType(dir / "posix.tar"), atTar);
  block[148] = '7';  // wrong checksum, POSIX magic: not a tar
  artest::WriteFile(dir / "bad.tar", block + std::string(1024, '\0'));
  EXPECT_EQ(DetectArchiveType(dir / "bad.tar"), atUnknown);
  block.replace(257, 8, std::string("ustar  \0", 8));  // the old magic alone suffices
  artest::WriteFile(dir / "old.tar", block + std::string(1024, '\0'));
  EXPECT_EQ(DetectArchiveType(dir / "old.tar"), atTar);
}
