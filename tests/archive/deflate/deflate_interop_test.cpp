// Deflate output checked by other implementations (zlib's inflate, 7-Zip), and deflate64
// and encrypted archives made by other tools read by ours.
#include <gtest/gtest.h>
#include "archive/deflate/dfdeflate.h"
#include "archive/deflate/dfinflate.h"
#include "archive/deflate/zipcrypt.h"
#include "tests/archive/deflate/zip_util.h"
#include "tests/archive/deflate/zlib_oracle.h"

namespace {
Bytes OurDeflate(const Bytes& in, TArDeflateHelper& h, uint32_t* checksum = nullptr) {
  TMemoryStream src = MemOf(in), dst;
  const uint32_t c = Deflate(&src, &dst, &h);
  if (checksum) *checksum = c;
  return dst.Bytes();
}

struct Preset {
  const char* name;
  int32_t target, chain, lazy;
};
const Preset kPresets[] = {{"default", 8, 32, 16}, {"fastest", 4, 4, 4}, {"maximum", -1, -1, -1}};

TArDeflateHelper Make(const Preset& p, uint32_t blockBits, bool lazy, int32_t history, bool adler) {
  TArDeflateHelper h;
  if (p.target != 8) {
    h.SetTargetMatchLength(p.target);
    h.SetChainSearchLimit(p.chain);
    h.SetLazyMatchLimit(p.lazy);
  }
  uint32_t o = blockBits | (lazy ? OptLazyMatch : 0) | (adler ? OptAdler32 : 0);
  h.SetOptions(o);
  h.HistorySize = history;
  return h;
}
}  // namespace

TEST(DeflateInterop, EveryOptionCombinationIsRestoredByZlibAndByOurInflate) {
  const std::vector<std::pair<const char*, Bytes>> inputs = {
      {"text", MakeText(300000)}, {"binary", MakeBinary(200000)}, {"random", MakeRandom(100000)},
      {"runs", MakeRuns(300000)}, {"zeros", Bytes(200000, 0)},    {"tiny", MakeText(5)},
      {"empty", Bytes()},
  };
  for (const auto& [name, data] : inputs)
    for (uint32_t blocks : {1u, 2u, 4u, 7u})
      for (bool lazy : {true, false})
        for (const Preset& p : kPresets)
          for (int32_t history : {256, 4096, 32768}) {
            if (blocks == 1 && (p.target != 8 || history != 32768 || !lazy)) continue;  // tuning is unused
            const bool adler = history == 4096;
            TArDeflateHelper h = Make(p, blocks, lazy, history, adler);
            uint32_t sum = 0;
            const Bytes packed = OurDeflate(data, h, &sum);
            const std::string what = std::string(name) + " blocks " + std::to_string(blocks) + " lazy " +
                                     std::to_string(lazy) + " " + p.name + " history " + std::to_string(history);
            EXPECT_EQ(sum, adler ? ZlibAdler(data) : ZlibCrc(data)) << what;
            EXPECT_EQ(h.UncompressedCount, data.size()) << what;
            EXPECT_EQ(h.CompressedCount, packed.size()) << what;
            Bytes back;
            ASSERT_TRUE(ZlibInflate(packed, back, data.size())) << what;
            ASSERT_TRUE(back == data) << what;
            TMemoryStream src = MemOf(packed), dst;
            TArDeflateHelper ih;
            if (adler) ih.SetOptions(ih.Options() | OptAdler32);
            EXPECT_EQ(Inflate(&src, &dst, &ih), sum) << what;
            ASSERT_TRUE(dst.Bytes() == data) << what;
          }
}

TEST(DeflateInterop, Deflate64OutputWrappedAsMethodNinePassesSevenZipsTest) {
  if (!HaveTool("7z")) GTEST_SKIP() << "7z is not installed";
  ScratchDir dir;
  const Bytes inputs[] = {MakeFarRepeats(600000), MakeRuns(400000), MakeText(300000)};
  int n = 0;
  for (const Bytes& data : inputs) {
    for (const Preset& p : kPresets) {
      TArDeflateHelper h = Make(p, 7, true, 65536, false);
      h.SetOptions(h.Options() | OptDeflate64);
      uint32_t crc = 0;
      const Bytes packed = OurDeflate(data, h, &crc);
      const std::string zip = dir / ("d64_" + std::to_string(n++) + ".zip");
      WriteFile(zip, MakeZip("item.bin", 9, 0, crc, packed, static_cast<uint32_t>(data.size())));
      EXPECT_EQ(Sh("7z t '" + zip + "'"), 0) << p.name;
      TMemoryStream src = MemOf(packed), dst;
      TArDeflateHelper ih;
      ih.SetOptions(ih.Options() | OptDeflate64);
      EXPECT_EQ(Inflate(&src, &dst, &ih), crc);
      EXPECT_TRUE(dst.Bytes() == data);
    }
  }
}

TEST(DeflateInterop, Deflate64ItemsMadeBySevenZipInflateByteForByte) {
  if (!HaveTool("7z")) GTEST_SKIP() << "7z is not installed";
  ScratchDir dir;
  std::vector<Bytes> inputs = {MakeFarRepeats(700000, 1), MakeFarRepeats(300000, 2), MakeRuns(500000),
                               MakeText(400000),          MakeRandom(70000),         Bytes(300000, 'x')};
  for (size_t i = 0; i < inputs.size(); ++i) WriteFile(dir / ("f" + std::to_string(i)), inputs[i]);
  for (const char* level : {"-mx=1", "-mx=9"}) {
    const std::string zip = dir / (std::string("a") + level + ".zip");
    ASSERT_EQ(Sh("cd '" + dir.Path() + "' && 7z a -tzip -mm=Deflate64 " + level + " '" + zip + "' f0 f1 f2 f3 f4 f5"),
              0);
    const auto items = ReadZip(ReadFile(zip));
    ASSERT_EQ(items.size(), inputs.size());
    for (const auto& it : items) {
      const Bytes& plain = inputs[static_cast<size_t>(std::stoi(it.name.substr(1)))];
      TMemoryStream src = MemOf(it.data), dst;
      TArDeflateHelper h;
      if (it.method == 9) h.SetOptions(h.Options() | OptDeflate64);
      if (it.method == 0) continue;  // 7-Zip may store what does not compress
      EXPECT_EQ(Inflate(&src, &dst, &h), it.crc) << it.name << level;
      EXPECT_TRUE(dst.Bytes() == plain) << it.name << level;
      EXPECT_EQ(h.CompressedCount, it.packedSize);
    }
  }
}

namespace {
// Decrypts and inflates (or just decrypts, for stored items) one item.
bool OpenItem(const ZipItem& it, const std::string& password, Bytes& out, std::string& error) {
  TMemoryStream src = MemOf(it.data), dst;
  try {
    if (it.method == 8) {
      TArDeflateHelper h;
      h.SetCryptPassword(password);
      h.SetCryptHeaderCheck(it.CheckValue());
      const uint32_t crc = Inflate(&src, &dst, &h);
      out = dst.Bytes();
      return crc == it.crc;
    }
    TArDfDecryptStream d(&src, password, it.CheckValue());
    if (!d.VerifyStreamHeader()) throw EArInflatePasswordError();
    out.assign(it.packedSize - 12, 0);
    d.ReadBuffer(out.data(), static_cast<int32_t>(out.size()));
    return ~[&] {
      uint32_t c = 0xFFFFFFFF;
      UpdateCrc32(c, out.data(), static_cast<int32_t>(out.size()));
      return c;
    }() == it.crc;
  } catch (const Exception& e) {
    error = e.what();
    return false;
  }
}
}  // namespace

TEST(ZipCryptInterop, ArchivesEncryptedByInfoZipAndSevenZipOpenOnlyWithTheirPassword) {
  if (!HaveTool("zip") || !HaveTool("7z")) GTEST_SKIP() << "zip or 7z is not installed";
  ScratchDir dir;
  const Bytes text = MakeText(200000), random = MakeRandom(30000);
  WriteFile(dir / "t.txt", text);
  WriteFile(dir / "r.bin", random);
  const std::string cd = "cd '" + dir.Path() + "' && ";
  ASSERT_EQ(Sh(cd + "zip -q -P secret info.zip t.txt r.bin"), 0);
  ASSERT_EQ(Sh(cd + "zip -q -0 -P secret info0.zip t.txt r.bin"), 0);
  ASSERT_EQ(Sh(cd + "7z a -tzip -mem=ZipCrypto -psecret seven.zip t.txt r.bin"), 0);
  ASSERT_EQ(Sh(cd + "7z a -tzip -mm=Copy -mem=ZipCrypto -psecret seven0.zip t.txt r.bin"), 0);
  for (const char* name : {"info.zip", "info0.zip", "seven.zip", "seven0.zip"}) {
    for (const auto& it : ReadZip(ReadFile(dir / name))) {
      ASSERT_TRUE(it.flags & 1) << name << " " << it.name << " is not encrypted";
      const Bytes& plain = it.name == "t.txt" ? text : random;
      Bytes out;
      std::string error;
      EXPECT_TRUE(OpenItem(it, "secret", out, error)) << name << " " << it.name << " " << error;
      EXPECT_TRUE(out == plain) << name << " " << it.name;
      // A wrong password fails cleanly: the header check (or, once in 256, the data).
      for (const char* wrong : {"Secret", "secret ", "x"}) {
        error.clear();
        EXPECT_FALSE(OpenItem(it, wrong, out, error)) << name << " " << it.name << " " << wrong;
      }
    }
  }
}

TEST(ZipCryptInterop, OurEncryptedItemsAreAcceptedByUnzip) {
  if (!HaveTool("unzip")) GTEST_SKIP() << "unzip is not installed";
  ScratchDir dir;
  const Bytes data = MakeText(250000);
  const uint32_t crc = ZlibCrc(data);
  // Deflated through the encrypting stream, and stored through it.
  TArDeflateHelper h;
  h.SetCryptPassword("open sesame");
  h.SetCryptHeaderCheck(crc);
  const Bytes packed = OurDeflate(data, h);
  WriteFile(dir / "d.zip", MakeZip("d.txt", 8, 1, crc, packed, static_cast<uint32_t>(data.size())));
  TMemoryStream stored;
  {
    TArDfEncryptStream enc(&stored, "open sesame", crc);
    enc.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
  }
  WriteFile(dir / "s.zip", MakeZip("s.txt", 0, 1, crc, stored.Bytes(), static_cast<uint32_t>(data.size())));
  for (const char* name : {"d", "s"}) {
    const std::string zip = dir / (std::string(name) + ".zip");
    EXPECT_EQ(Sh("unzip -P 'open sesame' -t '" + zip + "'"), 0) << name;
    EXPECT_NE(Sh("unzip -P 'wrong' -t '" + zip + "'"), 0) << name;
    ASSERT_EQ(Sh("cd '" + dir.Path() + "' && unzip -o -P 'open sesame' '" + zip + "'"), 0);
    EXPECT_TRUE(ReadFile(dir / (std::string(name) + ".txt")) == data) << name;
  }
}
