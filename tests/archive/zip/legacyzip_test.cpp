#include <gtest/gtest.h>
#include "archive/core/arerrors.h"
#include "archive/core/arutils.h"
#include "archive/deflate/zipcrypt.h"
#include "archive/zip/legacyzip.h"
#include "tests/archive/zip/legacy_encoders.h"

namespace {

struct TDecoded {
  TBytes Data;
  uint32_t Crc;
  std::vector<int> Progress;
};

TDecoded Decode(const TBytes& packed, uint8_t method, uint32_t size, uint8_t dict = 0, uint8_t trees = 0) {
  TMemoryStream in, out;
  in.Assign(packed.data(), packed.size());
  TArUnzipHelper h(&in, nullptr, &out);
  h.Method = method;
  h.CompressedSize = static_cast<uint32_t>(packed.size());
  h.UncompressedSize = size;
  h.DictionarySize = dict;
  h.TreeCount = trees;
  TDecoded r;
  h.OnProgress = [&](uint8_t p, bool&) { r.Progress.push_back(p); };
  r.Crc = h.Execute();
  r.Data = out.Bytes();
  return r;
}

uint32_t CrcOf(const TBytes& d) {
  uint32_t c = 0xFFFFFFFF;
  UpdateCrc32Buffer(c, d.data(), d.size());
  return ~c;
}

std::vector<TBytes> Samples() {
  return {SampleText(70000), SampleBinary(90000, 1), SampleBinary(5000, 2), TBytes(40000, 'a'), TBytes{'x'}};
}

}  // namespace

TEST(LegacyDecoders, ShrunkDataRoundTripsThroughWidthGrowthAndPartialClears) {
  for (const auto& data : Samples()) {
    for (int clearEvery : {0, 300}) {
      const TDecoded r = Decode(ShrinkEncode(data, clearEvery), 1, static_cast<uint32_t>(data.size()));
      ASSERT_EQ(r.Data, data) << "size " << data.size() << " clear " << clearEvery;
      EXPECT_EQ(r.Crc, CrcOf(data));
    }
  }
}

TEST(LegacyDecoders, ASingleShrunkByteComesFromTheFirstNineBitCode) {
  TBitWriter w;
  w.Put('Q', 9);
  const TDecoded r = Decode(w.Finish(), 1, 1);
  EXPECT_EQ(r.Data, TBytes{'Q'});
}

TEST(LegacyDecoders, ReducedDataRoundTripsForEveryFactorWithAndWithoutFollowerSets) {
  for (const auto& data : Samples()) {
    for (int factor = 1; factor <= 4; ++factor) {
      for (bool followers : {false, true}) {
        const TDecoded r = Decode(ReduceEncode(data, factor, followers), static_cast<uint8_t>(factor + 1),
                                  static_cast<uint32_t>(data.size()));
        ASSERT_EQ(r.Data, data) << "factor " << factor << " followers " << followers;
        EXPECT_EQ(r.Crc, CrcOf(data));
      }
    }
  }
}

TEST(LegacyDecoders, AReduceMatchBeforeTheStartYieldsZeros) {
  TBitWriter w;
  for (int b = 255; b >= 0; --b) w.Put(0, 6);
  // 'A', then escape, V = length 1 (4 bytes), distance byte 9: the source lies 9 bytes
  // before the 'A'.
  for (uint32_t b : {65u, 144u, 1u, 9u}) w.Put(b, 8);
  const TDecoded r = Decode(w.Finish(), 2, 5);
  EXPECT_EQ(r.Data, (TBytes{'A', 0, 0, 0, 0}));
}

TEST(LegacyDecoders, ImplodedDataRoundTripsForBothDictionariesAndTreeCounts) {
  for (const auto& data : Samples()) {
    for (bool big : {false, true}) {
      for (bool lit : {false, true}) {
        const TDecoded r =
            Decode(ImplodeEncode(data, big, lit), 6, static_cast<uint32_t>(data.size()), big ? 2 : 1, lit ? 3 : 2);
        ASSERT_EQ(r.Data, data) << "big " << big << " literal tree " << lit;
        EXPECT_EQ(r.Crc, CrcOf(data));
      }
    }
  }
}

TEST(LegacyDecoders, UnknownMethodsRaiseBeforeAnyOutput) {
  for (uint8_t method : {7, 10, 11, 99}) {
    TMemoryStream in, out;
    in.Assign("abcdef", 6);
    TArUnzipHelper h(&in, nullptr, &out);
    h.Method = method;
    h.UncompressedSize = 6;
    EXPECT_THROW(h.Execute(), EArZipInvalidMethod);
    EXPECT_EQ(out.Size(), 0);
  }
}

TEST(LegacyDecoders, ProgressIsReportedOncePerChangeAndAnAbortStopsTheItem) {
  const TBytes data = SampleBinary(200000, 3);
  const TDecoded r = Decode(ShrinkEncode(data), 1, static_cast<uint32_t>(data.size()));
  ASSERT_FALSE(r.Progress.empty());
  for (size_t i = 1; i < r.Progress.size(); ++i) EXPECT_GT(r.Progress[i], r.Progress[i - 1]);
  EXPECT_EQ(r.Progress.back(), 100);

  const TBytes packed = ImplodeEncode(data, true, true);
  TMemoryStream in, out;
  in.Assign(packed.data(), packed.size());
  TArUnzipHelper h(&in, nullptr, &out);
  h.Method = 6;
  h.DictionarySize = 2;
  h.TreeCount = 3;
  h.CompressedSize = static_cast<uint32_t>(packed.size());
  h.UncompressedSize = static_cast<uint32_t>(data.size());
  int calls = 0;
  h.OnProgress = [&](uint8_t, bool& abort) { abort = ++calls == 2; };
  EXPECT_THROW(h.Execute(), EArUserAbort);
  EXPECT_EQ(calls, 2);
  // What was decoded before the abort reached the output.
  EXPECT_EQ(out.Size(), 65536);
  EXPECT_TRUE(std::equal(out.Bytes().begin(), out.Bytes().end(), data.begin()));
}

// Hostile data: every table index taken from the input is checked.
TEST(LegacyDecoders, MalformedTablesAndTruncatedInputFailCleanly) {
  {  // a follower set longer than 32 entries
    TBitWriter w;
    w.Put(33, 6);
    EXPECT_THROW(Decode(w.Finish(), 3, 10), EArReadError);
  }
  {  // Shannon-Fano tree describing more values than it has
    TBitWriter w;
    w.Put(4, 8);
    for (int i = 0; i < 5; ++i) w.Put(0xF5, 8);  // 5 runs of 16 values = 80 > 64
    EXPECT_THROW(Decode(w.Finish(), 6, 10, 1, 2), EArReadError);
  }
  {  // a tree describing fewer values than it has
    TBitWriter w;
    w.Put(0, 8);
    w.Put(0x05, 8);
    EXPECT_THROW(Decode(w.Finish(), 6, 10, 1, 2), EArReadError);
  }
  {  // code width growing past 13 bits: the fifth increase already (9 to 14) is one too
     // many, and the code that would follow points far beyond the 8192-entry tables
    TBitWriter w;
    w.Put('a', 9);
    int width = 9;
    for (int i = 0; i < 5; ++i) w.Put(256, width), w.Put(1, width), ++width;
    w.Put(0x3FFF, width);
    w.Put('b', width);
    EXPECT_THROW(Decode(w.Finish(), 1, 10), EArReadError);
  }
  {  // data that ends before the declared compressed size
    const TBytes data = SampleText(5000);
    TBytes packed = ImplodeEncode(data, false, true);
    TMemoryStream in, out;
    in.Assign(packed.data(), packed.size() / 2);
    TArUnzipHelper h(&in, nullptr, &out);
    h.Method = 6;
    h.DictionarySize = 1;
    h.TreeCount = 3;
    h.CompressedSize = static_cast<uint32_t>(packed.size());
    h.UncompressedSize = static_cast<uint32_t>(data.size());
    EXPECT_THROW(h.Execute(), EArReadError);
  }
  {  // an encrypted item shorter than its encryption header
    TMemoryStream in, out;
    in.Assign("12345", 5);
    TArZDecoder decoder("pw", true, 0, &in);
    TArUnzipHelper h(&in, &decoder, &out);
    h.Method = 1;
    h.CompressedSize = 5;
    h.UncompressedSize = 5;
    EXPECT_THROW(h.Execute(), EArReadError);
    EXPECT_EQ(in.Position(), 0) << "the header is not read at all";
  }
}

// Garbage shrunk data with freed and self-referring codes must end, never loop or
// overrun: whatever it produces is bounded by the declared size.
TEST(LegacyDecoders, ShrunkGarbageNeverProducesMoreThanTheDeclaredSize) {
  for (uint32_t seed = 1; seed < 200; ++seed) {
    TBytes junk = SampleBinary(3000, seed);
    try {
      const TDecoded r = Decode(junk, 1, 50000);
      EXPECT_LE(r.Data.size(), 50000u);
    } catch (const EArException&) {}
  }
}
