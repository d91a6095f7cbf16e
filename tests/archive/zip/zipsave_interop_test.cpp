// Saved archives as the system's zip tools and Python's zipfile see them. Native only: the
// tools run here.
#include <gtest/gtest.h>
#include <cctype>
#include <cstdio>
#include <map>
#include <random>
#include "archive/zip/zipextract.h"
#include "tests/archive/artestutil.h"
#include "tests/archive/zip/corpus.h"
#include "tests/archive/zip/insert_hook.h"
#include "tests/archive/zip/zipbuilder.h"

namespace {

std::string Native(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

// Exit code and output (both streams) of a shell command.
std::pair<int, std::string> Shell(const std::string& command) {
  std::string out;
  FILE* p = ::popen((command + " 2>&1").c_str(), "r");
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  return {::pclose(p), out};
}

// The tools test every item clean: no failure and no warning.
void ExpectToolsAccept(const std::string& archive, const std::string& password) {
  const std::string a = "'" + Native(archive) + "'";
  for (const std::string& tool : {"unzip -t -P '" + password + "' ", "7z t -tzip -p'" + password + "' "}) {
    auto [code, out] = Shell(tool + a);
    EXPECT_EQ(code, 0) << out;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(out.find("warning"), std::string::npos) << out;
  }
}

// Compares the central records of two archives item by item (names mapped through the
// deletes and moves), and each local header's name and extra field with the old archive's:
// its own bytes as read (Info-ZIP keeps access and creation times there alone), but the new
// name for the moved item.
const char* kCompareRecords = R"PY(
import struct, sys, zipfile
old, new, gone, moved = sys.argv[1], sys.argv[2], sys.argv[3].split("|"), sys.argv[4].split("|")
a, b, raw_a, raw_b = zipfile.ZipFile(old), zipfile.ZipFile(new), open(old, "rb").read(), open(new, "rb").read()
fields = ["extra", "comment", "date_time", "external_attr", "internal_attr", "create_system", "create_version",
          "extract_version", "flag_bits", "compress_type", "CRC", "compress_size", "file_size"]
def local(raw, info):
    at = info.header_offset + 26
    name_length, extra_length = struct.unpack("<HH", raw[at:at + 4])
    return raw[at + 4:at + 4 + name_length], raw[at + 4 + name_length:at + 4 + name_length + extra_length]
want = [(moved[1] if i.filename == moved[0] else i.filename, i) for i in a.infolist() if i.filename not in gone]
bad = [] if [n for n, _ in want] == b.namelist() else ["names %r" % b.namelist()]
for (n, i), j in zip(want, b.infolist()):
    bad += ["%s %s %r %r" % (n, f, getattr(i, f), getattr(j, f)) for f in fields if getattr(i, f) != getattr(j, f)]
    old_name, old_extra = local(raw_a, i)
    if n != i.filename: old_name = j.orig_filename.encode("utf-8" if j.flag_bits & 0x800 else "cp437")
    if local(raw_b, j) != (old_name, old_extra): bad.append(n + " local header")
if a.comment != b.comment: bad.append("archive comment")
print("\n".join(bad) or "same")
)PY";

struct TCorpusCase {
  const char* Archive;
  const char* Password;
};

class SavedToolArchives : public ::testing::TestWithParam<TCorpusCase> {};

}  // namespace

TEST_P(SavedToolArchives, KeepTheirRecordsAndDataAfterDeletesAndAMove) {
  artest::TempFolder dir;
  const std::string original = CorpusFolder() + "\\" + GetParam().Archive, copy = dir / GetParam().Archive;
  artest::WriteFile(copy, artest::ReadFile(original));
  {
    TArZipArchive a(copy, fmOpenRead | fmShareDenyNone);
    a.Load();
    for (const char* gone : {"bin/exact1024.bin", "docs/deep/er/nested.ini"}) {
      ASSERT_GE(a.Items->Find(gone), 0) << gone;
      a.Items->Get(a.Items->Find(gone))->PendingAction = aaDelete;
    }
    a.Move(a.Items->Get(a.Items->Find("readme.txt")), "docs\\readme moved.txt");
    a.Save();
    EXPECT_EQ(a.Count(), original.find("py_stream") == std::string::npos ? 11 : 6);
  }
  ExpectToolsAccept(copy, GetParam().Password);
  artest::WriteFile(dir / "compare.py", kCompareRecords);
  const auto compared =
      Shell("python3 '" + Native(dir / "compare.py") + "' '" + Native(original) + "' '" + Native(copy) +
            "' 'bin/exact1024.bin|docs/deep/er/nested.ini' 'readme.txt|docs/readme moved.txt'");
  EXPECT_EQ(compared.second, "same\n");
  const auto extracted = Shell("7z x -y -p'" + std::string(GetParam().Password) + "' -o'" + Native(dir / "out") +
                               "' '" + Native(copy) + "'");
  ASSERT_EQ(extracted.first, 0) << extracted.second;
  const std::string src = CorpusFolder() + "\\src\\";
  EXPECT_EQ(artest::ReadFile(dir / "out\\docs\\readme moved.txt"), artest::ReadFile(src + "readme.txt"));
  for (const char* kept : {"empty.txt", "docs\\manual.txt", "bin\\exact65536.bin", "bin\\mixed.dat", "bin\\random.bin"})
    EXPECT_EQ(artest::ReadFile(dir / ("out\\" + std::string(kept))), artest::ReadFile(src + kept)) << kept;
  // A self-extracting archive keeps its program in front.
  if (std::string(GetParam().Archive) == "sfx.exe") {
    EXPECT_EQ(artest::ReadFile(copy).substr(0, 4098), artest::ReadFile(original).substr(0, 4098));
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, SavedToolArchives,
                         ::testing::Values(TCorpusCase{"zip_deflate.zip", ""}, TCorpusCase{"zip_store.zip", ""},
                                           TCorpusCase{"zip_extras.zip", ""},
                                           TCorpusCase{"zip_password.zip", "geheim 1"},
                                           TCorpusCase{"7z_deflate.zip", ""}, TCorpusCase{"7z_deflate64.zip", ""},
                                           TCorpusCase{"7z_zipcrypto.zip", "geheim 1"},
                                           TCorpusCase{"py_stream.zip", ""}, TCorpusCase{"sfx.exe", ""}),
                         [](const ::testing::TestParamInfo<TCorpusCase>& info) {
                           std::string name = info.param.Archive;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

TEST(SavedNewItems, EveryMethodPresetAndEncryptionReadsBackInTheTools) {
  artest::TempFolder dir;
  artest::WriteFile(dir / "new.zip", "");
  TArZipArchive a(dir / "new.zip", fmOpenRead | fmShareDenyNone);
  a.Load();
  a.AddOptions |= aoStripPath;
  std::map<std::string, TInsertSettings> settings;
  InstallInsertHooks(a, [&](const TArZipItem& item) { return settings.at(item.GetStoredName()); });
  std::mt19937 rng(7);
  int n = 0;
  auto add = [&](uint8_t method, char preset, bool secret, bool descriptor) {
    TInsertSettings s;
    s.Method = method;
    s.Preset = preset;
    s.Password = secret ? "geheim" : "";
    s.Descriptor = descriptor;
    s.Time = static_cast<uint16_t>(0x6000 + 33 * n);
    const std::string name = "item" + std::to_string(n++) + ".dat";
    std::string data(20000 + rng() % 90000, '\0');
    for (size_t i = 0; i < data.size(); ++i)
      data[i] = static_cast<char>(i % 3000 < 2000 ? "zip tools\r\n"[rng() % 11] : rng());
    artest::WriteFile(dir / name, data);
    settings[name] = s;
    a.Add(std::unique_ptr<TArArchiveItem>(a.NewItem(dir / name)));
  };
  for (bool secret : {false, true}) {
    add(0, 'n', secret, false);
    for (char preset : {'f', 'n', 'm'}) add(8, preset, secret, false);
    add(9, 'n', secret, false);
    add(0, 'n', secret, true);
    add(8, 'n', secret, true);
  }
  // The last item takes its data from the archive's source stream; its file is away meanwhile.
  add(8, 'm', true, false);
  TArZipItem& streamed = *a.ZipItem(a.Count() - 1);
  streamed.PendingAction = aaStreamAdd;
  const std::string file = dir / streamed.GetStoredName(), bytes = artest::ReadFile(file);
  TMemoryStream source;
  source.Assign(bytes.data(), bytes.size());
  a.SourceStream = &source;
  os::EraseFile(file);
  a.Save();
  artest::WriteFile(file, bytes);
  ExpectToolsAccept(dir / "new.zip", "geheim");
  const auto py =
      Shell("cd '" + Native(dir.Path()) +
            "' && python3 -c \"import zipfile\nz = zipfile.ZipFile('new.zip')\n"
            "for i in z.infolist():\n"
            "    if i.compress_type != 9: assert z.read(i, pwd=b'geheim') == open(i.filename, 'rb').read()\n"
            "print(len(z.infolist()))\"");
  EXPECT_EQ(py.second, "15\n");
}

// After a delete, bytes of the kept item's central record that read as the locator of an
// archive beyond 4 GB stand right before the end record; the tools look there too.
TEST(SavedDeletes, AKeptRecordEndingInALocatorSignatureListsAloneInTheTools) {
  artest::TempFolder dir;
  TZipEntry kept = Stored("a.txt", "alpha");
  kept.CentralExtra = ToBytes(std::string("\xFE\xCA\x14\0PK\6\7", 8) + std::string(16, '\0'));
  TZipBuilder z;
  z.Add(kept);
  z.AddStored("b.txt", "beta");
  const TBytes bytes = z.Build();
  artest::WriteFile(dir / "kept.zip", std::string(bytes.begin(), bytes.end()));
  {
    TArZipArchive a(dir / "kept.zip", fmOpenRead | fmShareDenyNone);
    a.Load();
    a.ZipItem(1)->PendingAction = aaDelete;
    a.IsDirty = true;
    a.Save();
  }
  ExpectToolsAccept(dir / "kept.zip", "");
  EXPECT_EQ(Shell("unzip -Z1 '" + Native(dir / "kept.zip") + "'").second, "a.txt\n");
  const auto listed = Shell("7z l -slt '" + Native(dir / "kept.zip") + "' | grep '^Path = '");
  EXPECT_EQ(listed.second, "Path = " + Native(dir / "kept.zip") + "\nPath = a.txt\n");
}
