// The update road on archives made by the system's own zip tools: every file comes out
// byte-identical to its source, with its folders, date and read-only attribute, and the
// archive file is the same after the component let it go.
#include <gtest/gtest.h>
#include "archive/unzipper.h"
#include "tests/archive/zip/corpus.h"
#include "tests/archive/artestutil.h"

namespace {

uint32_t DosTimeOf(const std::string& path) {
  const os::FileHandle h = os::OpenFile(path, 0, 0x40);
  const uint32_t t = os::FileDosDateTime(h);
  os::CloseFile(h);
  return t;
}

constexpr uint32_t Dos(int y, int mo, int d, int h, int mi, int s) {
  return static_cast<uint32_t>(((y - 1980) << 25) | (mo << 21) | (d << 16) | (h << 11) | (mi << 5) | (s / 2));
}

struct TRun {
  std::vector<int> Progress;
  std::vector<int32_t> FailureCodes;
  int32_t Failed = 0;
};

TRun Unpack(const std::string& archive, const std::string& target, const std::string& password = "") {
  TArUnZipper u;
  u.SetExtractOptions(eoCreateDirs | eoRestorePath);
  u.SetPassword(password);
  TRun run;
  u.OnArchiveProgress = [&](TArBaseBrowser*, uint8_t p, bool&) { run.Progress.push_back(p); };
  u.OnProcessItemFailure = [&](TArBaseBrowser* sender, TArArchiveItem*, TArProcessType, TArErrorClass, int32_t code) {
    EXPECT_EQ(sender, &u);
    run.FailureCodes.push_back(code);
  };
  u.OpenArchiveFile(archive);
  u.SetBaseDirectory(target + "\\");
  EXPECT_EQ(u.BaseDirectory(), target);
  run.Progress.clear();  // loading reports too; only the extraction's walk counts here
  u.ExtractMatchingFiles("*.*");
  run.Failed = u.FailedItems();
  u.CloseArchiveFile();
  EXPECT_EQ(u.Archive(), nullptr);
  return run;
}

// Folders come with the files in them. A folder entry has an empty file-name part, which
// no mask matches, so an empty folder is not made.
void ExpectSameTree(const std::string& src, const std::string& out, bool readOnly) {
  const auto srcTree = artest::ListTree(src);
  auto outTree = artest::ListTree(out);
  outTree.push_back("empty folder");
  std::sort(outTree.begin(), outTree.end());
  ASSERT_EQ(outTree, srcTree);
  for (const auto& rel : srcTree) {
    const std::string a = src + "\\" + rel, b = out + "\\" + rel;
    if (os::DirectoryExists(a)) continue;
    ASSERT_EQ(artest::ReadFile(b), artest::ReadFile(a)) << rel;
    EXPECT_EQ(DosTimeOf(b), DosTimeOf(a)) << rel;
  }
  EXPECT_EQ(DosTimeOf(out + "\\readme.txt"), Dos(2023, 11, 30, 8, 0, 10));
  if (readOnly) {
    EXPECT_TRUE(os::GetAttributes(out + "\\docs\\deep\\er\\nested.ini") & os::faReadOnly);
    EXPECT_FALSE(os::GetAttributes(out + "\\readme.txt") & os::faReadOnly);
  }
}

void ExpectUpdateRoad(const std::string& archiveLeaf, bool readOnly, const std::string& password = "") {
  const std::string archive = CorpusFolder() + "\\" + archiveLeaf;
  const std::string before = artest::ReadFile(archive);
  artest::TempFolder out;
  const TRun run = Unpack(archive, out.Path(), password);
  EXPECT_EQ(run.Failed, 0);
  EXPECT_TRUE(run.FailureCodes.empty()) << run.FailureCodes.size() << " failures, first code "
                                        << (run.FailureCodes.empty() ? 0 : run.FailureCodes[0]);
  ASSERT_GE(run.Progress.size(), 2u);
  for (size_t i = 1; i < run.Progress.size(); ++i) EXPECT_GE(run.Progress[i], run.Progress[i - 1]);
  EXPECT_EQ(run.Progress[run.Progress.size() - 1], 100);
  EXPECT_EQ(run.Progress[run.Progress.size() - 2], 100);
  ExpectSameTree(CorpusFolder() + "\\src", out.Path(), readOnly);
  EXPECT_TRUE(artest::ReadFile(archive) == before) << "the archive file changed";
}

}  // namespace

TEST(UpdateRoad, InfoZipDeflatedArchive) { ExpectUpdateRoad("zip_deflate.zip", true); }
TEST(UpdateRoad, InfoZipStoredArchive) { ExpectUpdateRoad("zip_store.zip", true); }
TEST(UpdateRoad, InfoZipArchiveWithExtraFields) { ExpectUpdateRoad("zip_extras.zip", true); }
TEST(UpdateRoad, InfoZipEncryptedArchive) { ExpectUpdateRoad("zip_password.zip", true, "geheim 1"); }
TEST(UpdateRoad, SevenZipDeflatedArchive) { ExpectUpdateRoad("7z_deflate.zip", false); }
TEST(UpdateRoad, SevenZipDeflate64Archive) { ExpectUpdateRoad("7z_deflate64.zip", false); }
TEST(UpdateRoad, SevenZipZipCryptoArchive) { ExpectUpdateRoad("7z_zipcrypto.zip", false, "geheim 1"); }
TEST(UpdateRoad, StreamedArchiveWithDataDescriptors) { ExpectUpdateRoad("py_stream.zip", false); }
TEST(UpdateRoad, SelfExtractingExecutable) { ExpectUpdateRoad("sfx.exe", true); }
TEST(UpdateRoad, SpannedSetOfImageFiles) { ExpectUpdateRoad("spanned\\set.zip", true); }

// Names marked as UTF-8 come out under their own names in the code page of the file
// functions, and one with a character that page lacks fails its item alone: nothing is
// written under a substitute. Tar files come out flat, as the unzipper unpacks them; pax
// values that bsdtar marks as raw bytes (it ran without a UTF-8 locale) stay bytes.
TEST(UpdateRoad, NamesMarkedAsUtf8ComeOutUnderTheirOwnNamesOrFailAlone) {
  const std::vector<std::string> names = {"doc\\\303\234bersicht.txt", "Preis \xE2\x82\xAC.txt", "\xCE\xA9mega.txt",
                                          "\305\202\303\263d\xC5\xBA.txt", "plain.txt"};
  const struct {
    const char* Archive;
    bool Flat, Raw;
  } cases[] = {{"python.zip", false, false},       {"7z.zip", false, false},     {"infozip.zip", false, false},
               {"unicode_path.zip", false, false}, {"gnu_pax.tar", true, false}, {"bsd_pax.tar", true, false},
               {"bsd_binary.tar", true, true}};
  const std::string folder = CorpusFolder() + "\\names\\";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Archive);
    std::vector<std::string> want;
    std::vector<std::pair<std::string, std::string>> sources;  // output file, its source
    int32_t failing = 0;
    artest::TempFolder out;
    const TRun run = Unpack(folder + c.Archive, out.Path());
    for (const std::string& name : names) {
      const std::string path = c.Flat ? name.substr(name.rfind('\\') + 1) : name;
      std::string file, source;
      if (c.Raw)
        file = path;
      else if (!os::Utf8ToFileText(path, file)) {
        ++failing;
        continue;
      }
      if (file.find('\\') != std::string::npos) want.push_back(file.substr(0, file.find('\\')));
      want.push_back(file);
      if (os::Utf8ToFileText(name, source)) sources.emplace_back(file, source);
    }
    std::sort(want.begin(), want.end());
    const std::vector<std::string> tree = artest::ListTree(out.Path());
    EXPECT_EQ(tree, want);
    for (const auto& [file, source] : sources) {
      if (tree != want) break;  // a missing file is told above
      EXPECT_EQ(artest::ReadFile(out / file), artest::ReadFile(folder + "src\\" + source)) << file;
    }
    EXPECT_EQ(run.Failed, failing);
    EXPECT_EQ(run.FailureCodes.size(), static_cast<size_t>(failing));
  }
}

TEST(UpdateRoad, TheOpenedTypeIsTheDetectedOne) {
  TArUnZipper u;
  u.OpenArchiveFile(CorpusFolder() + "\\sfx.exe");
  EXPECT_EQ(u.ArchiveType(), atSelfExtractingZip);
  auto* zip = dynamic_cast<TArZipArchive*>(u.Archive());
  ASSERT_NE(zip, nullptr);
  EXPECT_EQ(zip->ProgramStubLength, 2 + 256 * 16);
  u.OpenArchiveFile(CorpusFolder() + "\\spanned\\set.zip");
  EXPECT_EQ(u.ArchiveType(), atSpannedZip);
  EXPECT_TRUE(u.Archive()->Spanned);
  EXPECT_EQ(u.Archive()->Count(), 13);
}

// A spanned set's directory lies where its end record says: on that record's piece, or
// from an earlier piece on. 7-Zip's volumes are one archive cut into pieces of bytes; the
// directory that their end record names would start past the end of the piece it is on.
// Such a zip is not read as a set without items, whatever its pieces are called.
TEST(SpannedSets, VolumesOfOneArchiveAreNotAZipWhateverTheirNames) {
  for (const char* first : {"volumes\\set.zip.001", "volumes-renamed\\set.zip"}) {
    SCOPED_TRACE(first);
    TArZipArchive a(CorpusFolder() + "\\" + first, fmOpenRead | fmShareDenyNone);
    try {
      a.Load();
      ADD_FAILURE() << "loaded " << a.Count() << " items" << (a.Spanned ? " as a spanned set" : "");
    } catch (const EArZipInvalid&) {
    } catch (const std::exception& e) { ADD_FAILURE() << e.what(); }
    EXPECT_EQ(a.Status, asInvalid);
  }
}
