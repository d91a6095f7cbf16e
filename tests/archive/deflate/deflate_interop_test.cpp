// Deflate output checked by other implementations (zlib's inflate, 7-Zip), and deflate64
// and encrypted archives made by other tools read by ours.
#include <gtest/gtest.h>
#include <algorithm>
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

namespace {
// A failure of the source or of the destination, as a failing disk would raise it.
class TDiskFailure : public Exception {
  using Exception::Exception;
};

// Hands out its bytes until `good` were read, then fails; the destination it is paired
// with refuses every write from then on, if asked to.
struct TFailingPair {
  TFailingPair(const Bytes& data, int64_t good, bool refuseAfter) : Source(this, good), Dest(this, refuseAfter) {
    Source.Assign(data.data(), data.size());
  }
  class TSource : public TMemoryStream {
  public:
    TSource(TFailingPair* pair, int64_t good) : pair_(pair), good_(good) {}
    int32_t Read(void* buffer, int32_t count) override {
      if (Position() >= good_) {
        pair_->Failed = true;
        throw TDiskFailure("read failed");
      }
      return TMemoryStream::Read(buffer, static_cast<int32_t>(std::min<int64_t>(count, good_ - Position())));
    }

  private:
    TFailingPair* pair_;
    int64_t good_;
  };
  class TDest : public TMemoryStream {
  public:
    TDest(TFailingPair* pair, bool refuseAfter) : pair_(pair), refuseAfter_(refuseAfter) {}
    int32_t Write(const void* buffer, int32_t count) override {
      return pair_->Failed && refuseAfter_ ? 0 : TMemoryStream::Write(buffer, count);
    }

  private:
    TFailingPair* pair_;
    bool refuseAfter_;
  };
  bool Failed = false;
  TSource Source;
  TDest Dest;
};

// Takes at most `chunk` bytes of each write, as a destination that runs out of room.
class TChoppyWriter : public TMemoryStream {
public:
  explicit TChoppyWriter(int32_t chunk) : chunk_(chunk) {}
  int32_t Write(const void* buffer, int32_t count) override {
    return TMemoryStream::Write(buffer, std::min(count, chunk_));
  }

private:
  int32_t chunk_;
};

// A stream cut off by an error, decoded block by block: what it gives, and whether its
// last byte, partly filled, ends right behind a block's end code.
struct TCutStream {
  Bytes Out;
  bool AllRead = false;
  bool EndsAtBlockEnd = false;
  int UnusedBits = 0;
};
TCutStream InflateCut(const Bytes& in, size_t room) {
  TCutStream r;
  z_stream z{};
  inflateInit2(&z, -15);
  r.Out.resize(room);
  z.next_in = const_cast<uint8_t*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = r.Out.data();
  z.avail_out = static_cast<uInt>(room);
  int rc = Z_OK;
  while (rc == Z_OK && z.avail_in > 0) rc = inflate(&z, Z_BLOCK);
  r.AllRead = rc == Z_OK && z.avail_in == 0;
  r.EndsAtBlockEnd = (z.data_type & 128) != 0;
  r.UnusedBits = z.data_type & 7;
  r.Out.resize(z.total_out);
  inflateEnd(&z);
  return r;
}
}  // namespace

// What the encoder had produced before an error, the last partly filled byte included,
// reaches the destination before the error goes on; a flush that fails as well does not
// hide the first error, and a destination that refused a write gets nothing more.
TEST(DeflateErrors, WhatWasEncodedIsWrittenAndTheFirstErrorGoesOn) {
  const Bytes text = MakeText(1000000);
  TFailingPair cut(text, 700000, false);
  TArDeflateHelper h;
  EXPECT_THROW(Deflate(&cut.Source, &cut.Dest, &h), TDiskFailure);
  const TCutStream r = InflateCut(cut.Dest.Bytes(), text.size());
  EXPECT_TRUE(r.AllRead);
  EXPECT_TRUE(r.EndsAtBlockEnd) << "the last block's end code reached the destination";
  EXPECT_NE(r.UnusedBits, 0) << "the end code ends inside a byte here, which had to be written too";
  EXPECT_GE(r.Out.size(), 300000u);
  EXPECT_TRUE(std::equal(r.Out.begin(), r.Out.end(), text.begin()));

  TFailingPair both(text, 700000, true);
  EXPECT_THROW(Deflate(&both.Source, &both.Dest, &h), TDiskFailure) << "not the failed flush's error";

  TFailingPair whole(text, 1 << 30, false);
  Deflate(&whole.Source, &whole.Dest, &h);
  for (int32_t chunk : {100, 16383}) {
    TChoppyWriter refusing(chunk);
    TMemoryStream src = MemOf(text);
    EXPECT_THROW(Deflate(&src, &refusing, &h), EArDeflateError);
    const Bytes& got = refusing.Bytes();
    EXPECT_EQ(got.size(), static_cast<size_t>(chunk));
    ASSERT_LE(got.size(), whole.Dest.Bytes().size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), whole.Dest.Bytes().begin())) << "nothing written twice";
  }
}
