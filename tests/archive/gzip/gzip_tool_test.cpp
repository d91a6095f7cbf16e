// Gzip files made at test time by gzip, tar and Python go through the update road; a gzip
// file this program writes goes through gzip, zcat and Python.
#include <gtest/gtest.h>
#include "archive/gzip/gziparchive.h"
#include "tests/archive/tooltest.h"

namespace {

const char* kMakeFiles = R"(
{ cat /usr/share/common-licenses/GPL-3 2>/dev/null || seq 1 40000; head -c 100000 /dev/urandom; } > data.txt
gzip -9 -c data.txt > best.gz
gzip -1 -n -c data.txt > fast.gz
printf 'first member, ' > one.txt; printf 'second member' > two.txt
gzip -c one.txt > a.gz; gzip -c two.txt > b.gz; cat a.gz b.gz > two.gz
mkdir -p tree/sub; cp data.txt tree/sub/; echo hi > tree/hi.txt
tar czf t.tgz -C tree .; cp t.tgz t.tar.gz; gzip -dc t.tgz > t.tar
python3 - <<'PY'
import struct, zlib
data = open("data.txt", "rb").read()
c = zlib.compressobj(9, zlib.DEFLATED, -15)
body = c.compress(data) + c.flush()
head = b"\x1f\x8b\x08" + bytes([0x04 | 0x08 | 0x10 | 0x02]) + struct.pack("<I", 1600000000) + b"\x00\x03"
head += struct.pack("<H", 6) + b"XY\x02\x00ab" + b"../../fields.txt\x00" + b"a comment\x00"
head += struct.pack("<H", zlib.crc32(head) & 0xFFFF)
trailer = struct.pack("<II", zlib.crc32(data), len(data) & 0xFFFFFFFF)
open("fields.gz", "wb").write(head + body + trailer)
PY
)";

}  // namespace

// Their members come out as their data, named by FNAME's file-name part ("unknown"
// without one); two members are one item; a gzipped tar opens in its gzip view and
// gives the tar image.
TEST(GzipTools, TheirGzipFilesComeOutAsTheirData) {
  artest::TempFolder dir;
  ASSERT_EQ(tooltest::Run(dir.Path(), kMakeFiles), 0);
  const std::string data = artest::ReadFile(dir / "data.txt");
  const std::string tar = artest::ReadFile(dir / "t.tar");
  const std::vector<std::pair<std::string, std::map<std::string, std::string>>> cases = {
      {"best.gz", {{"data.txt", data}}},     {"fast.gz", {{"unknown", data}}},
      {"fields.gz", {{"fields.txt", data}}}, {"two.gz", {{"one.txt", "first member, second member"}}},
      {"t.tgz", {{"unknown", tar}}},         {"t.tar.gz", {{"unknown", tar}}},
  };
  for (const auto& [name, files] : cases) {
    const std::string out = dir / (name + ".out");
    EXPECT_EQ(tooltest::UnpackAsTheClientDoes(dir / name, out), 0) << name;
    EXPECT_TRUE(tooltest::FlatFiles(out) == files) << name;
  }
  EXPECT_EQ(DetectArchiveType(dir / "t.tgz"), atGzippedTar);
  EXPECT_EQ(DetectArchiveType(dir / "best.gz"), atGzip);
}

TEST(GzipTools, TheirToolsReadWhatWeWrite) {
  artest::TempFolder dir;
  ASSERT_EQ(tooltest::Run(dir.Path(), "head -c 2621440 /dev/urandom > big.bin; seq 1 400000 >> big.bin"), 0);
  {
    TArGzipArchive g(dir / "ours.gz", fmCreate);
    g.Load();
    g.Add(std::unique_ptr<TArArchiveItem>(g.NewItem(dir / "big.bin")));
    g.Save();
  }
  EXPECT_EQ(tooltest::Run(dir.Path(),
                          "gzip -t ours.gz && zcat ours.gz | cmp - big.bin && "
                          "gzip -l -N ours.gz | grep -q ' big.bin$' && "
                          "python3 -c \"import gzip; assert gzip.open('ours.gz').read() == "
                          "open('big.bin','rb').read()\""),
            0);
}
