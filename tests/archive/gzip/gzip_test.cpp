#include <gtest/gtest.h>
#include <functional>
#include "archive/core/arutils.h"
#include "archive/deflate/dfdeflate.h"
#include "archive/gzip/gziparchive.h"
#include "tests/archive/artestutil.h"
#include "tests/archive/gzip/gzipbuild.h"
#include "tests/archive/tar/tarbuild.h"

namespace {

using gziptest::LE32;
using gziptest::Member;

std::string Text(const TMemoryStream& m) { return std::string(m.Bytes().begin(), m.Bytes().end()); }

struct TFailure {
  TArErrorClass Class;
  int32_t Code;
};

struct TLoaded {
  TLoaded(const std::string& path, const std::string& bytes) : Path(path) {
    artest::WriteFile(path, bytes);
    Archive = std::make_unique<TArGzipArchive>(path, fmOpenRead | fmShareDenyNone);
    Archive->OnProcessItemFailure = [this](TArArchive*, TArArchiveItem*, TArProcessType, TArErrorClass c,
                                           int32_t code) {
      Failures.push_back({c, code});
    };
    Archive->Load();
  }
  // Extracts into folder as the unzipper does (flat names).
  void ExtractTo(const std::string& folder) {
    Archive->SetBaseDirectory(folder);
    Archive->ExtractByMasks("*.*");
  }
  std::string Path;
  std::unique_ptr<TArGzipArchive> Archive;
  std::vector<TFailure> Failures;
};

uint32_t DosTimeOf(const std::string& path) {
  const os::FileHandle h = os::OpenFile(path, 0, 0x40);
  const uint32_t t = os::FileDosDateTime(h);
  os::CloseFile(h);
  return t;
}

const std::string kData = "Gzip members hold deflate data. " + std::string(3000, 'x') + " the end";

// A source whose reads fail once they reach a given position.
class TBreakingStream : public TMemoryStream {
public:
  TBreakingStream(const std::string& data, int64_t breakAt) : breakAt_(breakAt) { Assign(data.data(), data.size()); }
  int32_t Read(void* buffer, int32_t count) override {
    if (Position() + count > breakAt_) throw EReadError("Stream read error");
    return TMemoryStream::Read(buffer, count);
  }

private:
  int64_t breakAt_;
};

}  // namespace

// Every optional field is read; only the file-name part of FNAME names the item; a save
// writes the fields back (never the header CRC) and a new member is FNAME, XFL 2, OS 0.
TEST(GzipArchive, HeaderFieldsAreReadAndWrittenBack) {
  artest::TempFolder dir;
  TLoaded g(dir / "a.gz",
            Member(kData, 1700000000, "../dir/name.txt", "a comment", std::string("AB\x02\x00hi", 6), true));
  ASSERT_EQ(g.Archive->Count(), 1);
  auto& item = dynamic_cast<TArGzipItem&>(*g.Archive->Items->Get(0));
  EXPECT_EQ(item.GetStoredName(), "name.txt");
  EXPECT_EQ(item.Comment, "a comment");
  EXPECT_EQ(item.Extra, std::string("AB\x02\x00hi", 6));
  EXPECT_EQ(item.GetUnpackedSize(), kData.size());
  g.ExtractTo(dir.Path());
  EXPECT_TRUE(g.Failures.empty());
  EXPECT_EQ(artest::ReadFile(dir / "name.txt"), kData);
  EXPECT_EQ(DosTimeOf(dir / "name.txt"), UnixSecondsToDos(1700000000));

  g.Archive->Move(&item, "other.txt");
  g.Archive->Save();
  const std::string saved = artest::ReadFile(g.Path);
  const std::string header = std::string("\x1F\x8B\x08\x1C", 4) + LE32(1700000000) + "\x04\x03" +
                             std::string(
                                 "\x06\x00"
                                 "AB\x02\x00hi",
                                 8) +
                             "other.txt" + '\0' + "a comment" + '\0';
  EXPECT_EQ(saved.substr(0, header.size()), header);
  EXPECT_NO_THROW(g.Archive->VerifyItem(0));
  TMemoryStream back;
  g.Archive->UnpackItemToStream(0, back);
  EXPECT_EQ(Text(back), kData);

  artest::WriteFile(dir / "src.txt", kData);
  {
    TArGzipArchive n(dir / "new.gz", fmCreate);
    n.Load();
    n.Add(std::unique_ptr<TArArchiveItem>(n.NewItem(dir / "src.txt")));
    n.Save();
  }
  const std::string made = artest::ReadFile(dir / "new.gz");
  EXPECT_EQ(made.substr(0, 4), std::string("\x1F\x8B\x08\x08", 4));
  EXPECT_EQ(made.substr(8, 10), std::string("\x02\x00src.txt\0", 10));
}

// The load takes the trailer of the file's end as it is; extraction and the test check
// every member against its own, and a failed item leaves the file it would replace.
TEST(GzipArchive, DamagedMembersFailTheItemNotTheLoad) {
  const std::string good = Member(kData, 1700000000, "f.txt");
  struct TCase {
    std::string Bytes;
    TArErrorClass Class;
    int32_t Code;
    bool Existed = true;  // a file was there before; a failed new file is not left behind either
  };
  std::string badCrc = good, badSize = good, badData = good;
  badCrc[badCrc.size() - 8] ^= 1;
  badSize[badSize.size() - 4] ^= 1;
  badData[16] |= 0x06;  // the first block's type becomes the reserved one
  const std::vector<TCase> cases = {{badCrc, ecArchiveError, 401, false},
                                    {badSize, ecArchiveError, 402},
                                    {good.substr(0, good.size() - 3), ecArchiveError, 400},
                                    {good.substr(0, 40), ecOther, 0},
                                    {badData, ecOther, 0}};
  for (const TCase& c : cases) {
    artest::TempFolder dir;
    if (c.Existed) artest::WriteFile(dir / "f.txt", "old");
    TLoaded g(dir / "f.gz", c.Bytes);
    ASSERT_EQ(g.Archive->Count(), 1);
    g.ExtractTo(dir.Path());
    ASSERT_EQ(g.Failures.size(), 1u) << c.Code;
    EXPECT_EQ(g.Failures[0].Class, c.Class);
    EXPECT_EQ(g.Failures[0].Code, c.Code);
    if (c.Existed) { EXPECT_EQ(artest::ReadFile(dir / "f.txt"), "old"); }
    EXPECT_ANY_THROW(g.Archive->VerifyItem(0));
    EXPECT_EQ(artest::ListTree(dir.Path()).size(), c.Existed ? 2u : 1u);
  }
  artest::TempFolder dir;
  TLoaded g(dir / "f.gz", good);
  EXPECT_NO_THROW(g.Archive->VerifyItem(0));
}

// Members after the first are data too; zero padding and garbage after the last are not.
// A member without a time leaves the file its own, and a save keeps every member's data.
TEST(GzipArchive, EveryMemberIsDataAndWhatFollowsIsNot) {
  artest::TempFolder dir;
  artest::WriteFile(dir / "before.txt", "");
  const uint32_t before = DosTimeOf(dir / "before.txt");
  TLoaded g(dir / "m.gz", Member("first, ", 0, "m.txt") + Member("second") + std::string(100, '\0') + "garbage!");
  g.ExtractTo(dir.Path());
  EXPECT_TRUE(g.Failures.empty());
  EXPECT_EQ(artest::ReadFile(dir / "m.txt"), "first, second");
  EXPECT_GE(DosTimeOf(dir / "m.txt"), before);
  g.Archive->Move(g.Archive->Items->Get(0), "n.txt");
  g.Archive->Save();
  TLoaded back(dir / "copy.gz", artest::ReadFile(g.Path));
  TMemoryStream data;
  back.Archive->UnpackItemToStream(0, data);
  EXPECT_EQ(Text(data), "first, second");
}

// A save of two items is refused; one of none, or whose only add failed (at its source's
// opening or in the middle of its data), leaves the file byte for byte.
TEST(GzipArchive, ASaveWritesOneItemOrLeavesTheFileAsItWas) {
  artest::TempFolder dir;
  artest::WriteFile(dir / "other.txt", "other");
  const std::string bytes = Member(kData, 1, "f.txt");
  TLoaded g(dir / "f.gz", bytes);
  g.Archive->Add(std::unique_ptr<TArArchiveItem>(g.Archive->NewItem(dir / "other.txt")));
  EXPECT_THROW(g.Archive->Save(), EArException);
  EXPECT_EQ(artest::ReadFile(g.Path), bytes);

  TBreakingStream breaking(std::string(200000, 'b'), 100000);
  const std::vector<std::function<void(TArGzipArchive&)>> failingAdds = {
      [&](TArGzipArchive& a) {
        a.SetBaseDirectory(dir.Path());  // where f.txt is not
        a.ReplaceAt(0);
      },
      [&](TArGzipArchive& a) {
        a.Items->Get(0)->PendingAction = aaDelete;
        a.Add(std::unique_ptr<TArArchiveItem>(a.NewItem(dir / "other.txt")));
        a.Items->Get(1)->PendingAction = aaStreamAdd;
        a.SourceStream = &breaking;
      },
  };
  for (size_t i = 0; i < failingAdds.size(); ++i) {
    TLoaded f(dir / ("f" + std::to_string(i) + ".gz"), bytes);
    failingAdds[i](*f.Archive);
    f.Archive->Save();
    EXPECT_EQ(f.Failures.size(), 1u);
    EXPECT_TRUE(artest::ReadFile(f.Path) == bytes);
  }

  TLoaded none(dir / "none.gz", "no gzip member here");
  EXPECT_EQ(none.Archive->Count(), 0);
  none.Archive->Save();
  EXPECT_EQ(artest::ReadFile(none.Path), "no gzip member here");
  EXPECT_EQ(artest::ListTree(dir.Path()).size(), 5u);  // no scratch file beside them
}

// A stored name with no file-name part (empty, or a folder's) is as good as none: the
// member comes out under the name a member without one gets, and a save writes it
// without a name, never under the fallback.
TEST(GzipArchive, AStoredNameWithoutAFileNamePartFallsBackToUnknown) {
  std::string empty = Member(kData, 1, "x");
  empty.erase(10, 1);  // FNAME flagged, its text empty
  for (const std::string& bytes : {empty, Member(kData, 1, "sub/"), Member(kData, 1, "sub\\")}) {
    artest::TempFolder dir;
    TLoaded g(dir / "f.gz", bytes);
    g.ExtractTo(dir.Path());
    EXPECT_TRUE(g.Failures.empty());
    EXPECT_EQ(artest::ListTree(dir.Path()), (std::vector<std::string>{"f.gz", "unknown"}));
    EXPECT_TRUE(os::FileExists(dir / "unknown") && artest::ReadFile(dir / "unknown") == kData);
    g.Archive->IsDirty = true;
    g.Archive->Save();
    const std::string saved = artest::ReadFile(g.Path);
    EXPECT_EQ(saved[3] & 8, 0);
    EXPECT_EQ(saved.find("unknown"), std::string::npos);
  }
}

// With automatic tar handling the archive is the tar inside: its entries are the items,
// and a save packs the new tar into a member that keeps its header fields.
TEST(GzipArchive, TarModeShowsAndSavesTheTarInside) {
  artest::TempFolder dir;
  artest::WriteFile(dir / "c.txt", "charlie");
  const std::string tar =
      tartest::Entry("a.txt", '0', "alpha") + tartest::Entry("b.txt", '0', "bravo") + std::string(1024, '\0');
  artest::WriteFile(dir / "t.tgz", Member(tar, 1700000000, "t.tar", "kept"));
  {
    TArGzipArchive g(dir / "t.tgz", fmOpenRead | fmShareDenyNone);
    g.HoldsTar = true;
    g.SetAutoUnpackTar(true);
    g.Load();
    ASSERT_EQ(g.Count(), 2);
    TMemoryStream b;
    g.UnpackItemToStream(1, b);
    EXPECT_EQ(Text(b), "bravo");
    g.Add(std::unique_ptr<TArArchiveItem>(g.NewItem(dir / "c.txt")));
    g.Save();
    EXPECT_EQ(g.Count(), 3);
  }
  TArGzipArchive plain(dir / "t.tgz", fmOpenRead | fmShareDenyNone);
  plain.Load();
  auto& member = dynamic_cast<TArGzipItem&>(*plain.Items->Get(0));
  EXPECT_EQ(member.GetStoredName(), "t.tar");
  EXPECT_EQ(member.Comment, "kept");
  EXPECT_EQ(member.MTime(), 1700000000u);
  TMemoryStream image;
  plain.UnpackItemToStream(0, image);
  artest::WriteFile(dir / "inner.tar", Text(image));
  TArTarArchive inner(dir / "inner.tar", fmOpenRead | fmShareDenyNone);
  inner.Load();
  ASSERT_EQ(inner.Count(), 3);
  EXPECT_EQ(inner.Items->Get(2)->GetStoredName(), "c.txt");
}
