// Inflate against streams made by zlib: every byte and the checksum must come out as
// zlib's own inflate and crc32/adler32 say.
#include <gtest/gtest.h>
#include "archive/deflate/dfinflate.h"
#include "tests/archive/deflate/zlib_oracle.h"

namespace {
struct Input {
  const char* name;
  Bytes data;
};

const std::vector<Input>& Inputs() {
  static const std::vector<Input> inputs = {
      {"text", MakeText(150000)}, {"binary", MakeBinary(150000)}, {"random", MakeRandom(70000)},
      {"runs", MakeRuns(150000)}, {"zeros", Bytes(100000, 0)},
  };
  return inputs;
}

void ExpectInflates(const Bytes& plain, const Bytes& packed, const std::string& what, bool adler = false) {
  TMemoryStream src = MemOf(packed), dst;
  TArDeflateHelper h;
  if (adler) h.SetOptions(h.Options() | OptAdler32);
  uint32_t sum = 0;
  ASSERT_NO_THROW(sum = Inflate(&src, &dst, &h)) << what;
  ASSERT_EQ(dst.Bytes().size(), plain.size()) << what;
  ASSERT_TRUE(dst.Bytes() == plain) << what;
  EXPECT_EQ(sum, adler ? ZlibAdler(plain) : ZlibCrc(plain)) << what;
  EXPECT_EQ(h.CompressedCount, packed.size()) << what;
  EXPECT_EQ(h.UncompressedCount, plain.size()) << what;
}
}  // namespace

TEST(InflateInterop, EveryLevelAndStrategyOfZlibDecodesByteForByte) {
  const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  for (const auto& in : Inputs())
    for (int level = 0; level <= 9; ++level)
      for (int strategy : strategies)
        ExpectInflates(
            in.data, ZlibDeflate(in.data, level, strategy),
            std::string(in.name) + " level " + std::to_string(level) + " strategy " + std::to_string(strategy));
}

TEST(InflateInterop, EveryWindowSizeAndMemoryLevelOfZlibDecodes) {
  for (const auto& in : Inputs())
    for (int bits = 9; bits <= 15; ++bits)
      for (int memLevel : {1, 9})
        for (int level : {1, 6, 9})
          ExpectInflates(in.data, ZlibDeflate(in.data, level, Z_DEFAULT_STRATEGY, bits, memLevel),
                         std::string(in.name) + " bits " + std::to_string(bits) + " mem " + std::to_string(memLevel) +
                             " level " + std::to_string(level));
}

TEST(InflateInterop, SizesAroundWindowAndMatchLimitsDecode) {
  for (size_t size : {0, 1, 2, 3, 257, 258, 259, 32767, 32768, 32769, 65535, 65536, 65537, 98304, 131073}) {
    for (const Bytes& data : {MakeText(size), MakeRandom(size), MakeRuns(size)})
      for (int level : {0, 1, 6, 9}) ExpectInflates(data, ZlibDeflate(data, level), "size " + std::to_string(size));
  }
}

TEST(InflateInterop, MultiMegabyteInputsDecodeWithBothChecksums) {
  Bytes big = MakeText(3 << 20, 7);
  Bytes bin = MakeBinary(2 << 20, 8);
  big.insert(big.end(), bin.begin(), bin.end());
  for (int level : {1, 6, 9}) {
    const Bytes packed = ZlibDeflate(big, level);
    ExpectInflates(big, packed, "big crc level " + std::to_string(level));
    ExpectInflates(big, packed, "big adler level " + std::to_string(level), true);
  }
}

TEST(InflateInterop, SourceIsLeftAtTheFirstByteAfterTheStream) {
  const Bytes trailer = MakeRandom(20000, 99);
  for (const auto& in : Inputs())
    for (int level : {0, 1, 9}) {
      Bytes packed = ZlibDeflate(in.data, level);
      const size_t streamSize = packed.size();
      packed.insert(packed.end(), trailer.begin(), trailer.end());
      TMemoryStream src = MemOf(packed), dst;
      TArDeflateHelper h;
      Inflate(&src, &dst, &h);
      EXPECT_EQ(src.Position(), static_cast<int64_t>(streamSize)) << in.name << " " << level;
      EXPECT_EQ(h.CompressedCount, streamSize);
      EXPECT_TRUE(dst.Bytes() == in.data);
    }
}

TEST(InflateInterop, ASourceThatDeliversFewBytesPerReadDecodesTheSame) {
  const Bytes data = MakeText(200000, 12);
  const Bytes packed = ZlibDeflate(data, 6);
  for (int chunk : {1, 3, 5, 4097}) {
    TTrickleStream src(chunk);
    src.Assign(packed.data(), packed.size());
    TMemoryStream dst;
    EXPECT_EQ(Inflate(&src, &dst), ZlibCrc(data)) << chunk;
    EXPECT_TRUE(dst.Bytes() == data) << chunk;
  }
}
