// Loading the central directory into items.
#include <gtest/gtest.h>
#include "archive/zip/ziparchive.h"
#include "tests/archive/artestutil.h"
#include "tests/archive/zip/zipbuilder.h"

namespace {

std::string Str(const TBytes& b) { return std::string(b.begin(), b.end()); }

struct TLoaded {
  std::unique_ptr<TArZipArchive> Archive;
  std::vector<int> Progress;
};

}  // namespace

class ZipLoading : public ::testing::Test {
protected:
  TLoaded Load(const TBytes& bytes) {
    artest::WriteFile(dir / "a.zip", Str(bytes));
    TLoaded l;
    l.Archive = std::make_unique<TArZipArchive>(dir / "a.zip", fmOpenRead | fmShareDenyNone);
    l.Archive->OnArchiveProgress = [&l](TArArchive*, uint8_t p, bool&) { l.Progress.push_back(p); };
    l.Archive->Load();
    return l;
  }
  artest::TempFolder dir;
};

TEST_F(ZipLoading, ItemsComeFromTheCentralDirectoryWithProgressPerItem) {
  TZipBuilder z;
  for (const char* n : {"a.txt", "docs/b.txt", "docs/deep/c.txt", "d.txt"}) z.AddStored(n, n);
  const TLoaded l = Load(z.Build());
  ASSERT_EQ(l.Archive->Count(), 4);
  EXPECT_EQ(l.Progress, (std::vector<int>{25, 50, 75, 100, 100}));
  const TArZipItem* b = l.Archive->ZipItem(1);
  EXPECT_EQ(b->StoredName, "docs/b.txt");
  EXPECT_EQ(b->SourcePath, "docs\\b.txt");
  EXPECT_EQ(b->GetUnpackedSize(), 10u);
  EXPECT_EQ(b->GetCrc(), Crc32Of(ToBytes("docs/b.txt")));
  EXPECT_EQ(b->PendingAction, aaNone);
  EXPECT_FALSE(l.Archive->IsDirty);
  EXPECT_FALSE(l.Archive->Spanned);
}

TEST_F(ZipLoading, EmptyFilesLoadNothingAndOtherFilesAreRefused) {
  const TLoaded empty = Load({});
  EXPECT_EQ(empty.Archive->Count(), 0);
  artest::WriteFile(dir / "t.zip", "this is only text, no archive at all");
  TArZipArchive text(dir / "t.zip", fmOpenRead | fmShareDenyNone);
  EXPECT_THROW(text.Load(), EArZipInvalid);
  EXPECT_EQ(text.Count(), 0);
}

TEST_F(ZipLoading, AnEntryCountOfZeroBeforeRecordsReportsNoPercentage) {
  TZipBuilder z;
  z.AddStored("a.txt", "a");
  TBytes bytes = z.Build();
  bytes[bytes.size() - 22 + 8] = 0;   // entries on this disk
  bytes[bytes.size() - 22 + 10] = 0;  // entries in all
  const TLoaded l = Load(bytes);
  EXPECT_EQ(l.Archive->Count(), 1);
  EXPECT_EQ(l.Progress, (std::vector<int>{0, 100}));
}

TEST_F(ZipLoading, AnAbortDuringLoadingStopsAtTheItemReported) {
  TZipBuilder z;
  z.AddStored("a.txt", "a");
  z.AddStored("b.txt", "b");
  artest::WriteFile(dir / "a.zip", Str(z.Build()));
  TArZipArchive a(dir / "a.zip", fmOpenRead | fmShareDenyNone);
  a.OnArchiveProgress = [](TArArchive*, uint8_t p, bool& abort) { abort = p == 50; };
  EXPECT_THROW(a.Load(), EArUserAbort);
  EXPECT_EQ(a.Count(), 1);
}

TEST(ZipItems, NamesKeepTheirBytesAndEmptyNamesLeaveNoBuffer) {
  TArZipItem item;
  item.SetStoredName("");
  EXPECT_EQ(item.CentralHeader.NameBytes, nullptr);
  EXPECT_EQ(item.CentralHeader.NameLength, 0);
  item.SetStoredName("x\x81y.txt");
  EXPECT_EQ(item.CentralHeader.NameLength, 7);
  EXPECT_EQ(item.StoredName, "x\x81y.txt");
  item.SetUnpackedSize(77);
  EXPECT_EQ(item.UnpackedSize, 77u);
  EXPECT_EQ(item.CentralHeader.UnpackedSize, 77u);
  item.SetMethodByte(0x88);
  EXPECT_EQ(item.MethodByte(), 8);
  EXPECT_EQ(item.ExtraText(), "");
}
