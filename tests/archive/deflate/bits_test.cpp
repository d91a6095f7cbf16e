// Bit readers and writers: field order, the end of the data, and where the source is
// left afterwards.
#include <gtest/gtest.h>
#include <random>
#include "archive/deflate/dfbits.h"
#include "tests/archive/deflate/support.h"

namespace {
// The value of `count` bits starting at bit `pos` of the bytes, least significant first.
uint32_t FieldAt(const Bytes& b, size_t pos, int count) {
  uint32_t v = 0;
  for (int i = 0; i < count; ++i, ++pos)
    if (pos / 8 < b.size() && (b[pos / 8] >> (pos % 8)) & 1) v |= 1u << i;
  return v;
}

std::string CauseOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EArInternalInflateError& e) { return e.what(); }
  return "no error";
}
}  // namespace

TEST(InBitStream, FieldsOfEveryWidthComeOutInStreamOrder) {
  const Bytes data = MakeRandom(70000, 21);
  TMemoryStream src = MemOf(data);
  TArDfInBitStream in(&src, 0, nullptr);
  std::mt19937 rng(5);
  size_t pos = 0;
  while (pos + 40 < data.size() * 8) {
    const int kind = static_cast<int>(rng() % 3);
    if (kind == 0) {
      ASSERT_EQ(in.ReadBit(), FieldAt(data, pos, 1)) << pos;
      pos += 1;
    } else if (kind == 1) {
      const int n = 1 + static_cast<int>(rng() % 16);
      ASSERT_EQ(in.ReadBits(n), FieldAt(data, pos, n)) << pos;
      pos += n;
    } else {
      const int n = 1 + static_cast<int>(rng() % 32);
      ASSERT_EQ(in.PeekBits(n), FieldAt(data, pos, n)) << pos;
      const int d = 1 + static_cast<int>(rng() % n);
      in.DiscardBits(d);
      pos += d;
    }
  }
}

TEST(InBitStream, TheLastWordIsCompletedWithZerosAndTheSourceIsGivenBackBehindTheLastByteUsed) {
  const Bytes data = {0x12, 0x34, 0x56, 0x78, 0x9A};
  TMemoryStream src = MemOf(data);
  {
    TArDfInBitStream in(&src, 0, nullptr);
    EXPECT_EQ(in.ReadBits(16), 0x3412u);
    EXPECT_EQ(in.ReadBits(16), 0x7856u);
    EXPECT_EQ(in.ReadBits(2), 0x9Au & 3);
    EXPECT_EQ(in.FillerCount(), 3);
    in.GiveBack();
  }
  EXPECT_EQ(src.Position(), 5);
  // The filler reads as zeros without complaint; past it the data has ended.
  src.SetPosition(0);
  TArDfInBitStream in(&src, 0, nullptr);
  in.ReadBits(16);
  in.ReadBits(16);
  EXPECT_EQ(in.ReadBits(16), 0x9Au);
  EXPECT_EQ(in.ReadBits(16), 0u);
  EXPECT_EQ(CauseOf([&] { in.ReadBit(); }), "no more compressed data in stream [TArDfInBitStream.ReadBit]");
  EXPECT_EQ(CauseOf([&] { in.ReadBits(3); }), "no more compressed data in stream [TArDfInBitStream.ReadBits]");
  EXPECT_EQ(in.PeekBits(20), 0u) << "a peek past the end sees zeros";
  EXPECT_EQ(CauseOf([&] { in.DiscardBits(1); }), "no more compressed data in stream [TArDfInBitStream.DiscardBits]");
}

TEST(InBitStream, GivingBackLeavesTheSourceAtTheFirstUnusedByteWhereverReadingStopped) {
  const Bytes data = MakeRandom(40000, 3);
  for (size_t bits : {0, 1, 8, 9, 31, 32, 33, 63, 64, 65, 131064, 131080, 200000, 319999}) {
    TMemoryStream src = MemOf(data);
    src.SetPosition(0);
    TArDfInBitStream in(&src, 0, nullptr);
    for (size_t left = bits; left > 0;) {
      const int n = static_cast<int>(std::min<size_t>(left, 16));
      in.ReadBits(n);
      left -= static_cast<size_t>(n);
    }
    in.GiveBack();
    EXPECT_EQ(src.Position(), static_cast<int64_t>((bits + 7) / 8)) << bits;
  }
}

TEST(InBitStream, BytewiseReadsNeedAlignmentAndContinueAfterTheBitsAlreadyTaken) {
  const Bytes data = MakeRandom(50000, 4);
  TMemoryStream src = MemOf(data);
  TArDfInBitStream in(&src, 0, nullptr);
  in.ReadBits(3);
  uint8_t buf[40000];
  EXPECT_THROW(in.ReadBuffer(buf, 4), EArDfAssertionFailed);
  in.AlignToByte();
  in.ReadBuffer(buf, 4);
  EXPECT_TRUE(std::equal(buf, buf + 4, data.begin() + 1));
  EXPECT_EQ(in.ReadBits(8), data[5]) << "bits continue right after the bytes";
  in.ReadBuffer(buf, 30000);
  EXPECT_TRUE(std::equal(buf, buf + 30000, data.begin() + 6));
  EXPECT_EQ(in.ReadBits(13), FieldAt(data, 8 * 30006, 13));
  in.AlignToByte();
  EXPECT_EQ(CauseOf([&] { in.ReadBuffer(buf, 40000); }),
            "no more compressed data in stream [TArDfInBitStream.ReadBuffer]");
}

TEST(InBitStream, BadCountsAreRejected) {
  TMemoryStream src = MemOf(MakeRandom(100));
  TArDfInBitStream in(&src, 0, nullptr);
  EXPECT_EQ(CauseOf([&] { in.ReadBits(0); }),
            "count of bits must be between 1 and 16 inclusive [TArDfInBitStream.ReadBits]");
  EXPECT_EQ(CauseOf([&] { in.ReadBits(17); }),
            "count of bits must be between 1 and 16 inclusive [TArDfInBitStream.ReadBits]");
  EXPECT_THROW(in.PeekBits(33), EArDfAssertionFailed);
  in.PeekBits(4);
  EXPECT_THROW(in.DiscardBits(5), EArDfAssertionFailed);
  EXPECT_EQ(CauseOf([&] { in.DiscardBits(33); }),
            "count of bits must be between 1 and 32 inclusive [TArDfInBitStream.DiscardBits]");
  EXPECT_THROW(TArDfInBitStream(nullptr, 0, nullptr), EArDfAssertionFailed);
}

TEST(InBitStream, ProgressCountsBytesReadAheadAndStaysWithinAHundred) {
  const Bytes data = MakeRandom(50000, 8);
  std::vector<int32_t> seen;
  TArProgressHook hook = [&](int32_t p) { seen.push_back(p); };
  {
    TMemoryStream src = MemOf(data);
    TArDfInBitStream in(&src, 0, hook);
    in.ReadBits(8);
    EXPECT_TRUE(seen.empty()) << "a total of 0 reports nothing";
  }
  {
    TMemoryStream src = MemOf(data);
    TArDfInBitStream in(&src, 50000, hook);
    for (int i = 0; i < 25000; ++i) in.ReadBits(16);
    EXPECT_EQ(seen, (std::vector<int32_t>{33, 66, 98, 100})) << "one report per refill of 16 KiB";
  }
  seen.clear();
  {
    TMemoryStream src = MemOf(data);
    TArDfInBitStream in(&src, 1000, hook);
    in.ReadBits(8);
    EXPECT_EQ(seen, (std::vector<int32_t>{100})) << "read-ahead beyond the total is clamped";
  }
}

namespace {
class TShortWriter : public TMemoryStream {
public:
  int32_t Write(const void* buffer, int32_t count) override {
    return TMemoryStream::Write(buffer, count > 1 ? count - 1 : count);
  }
};
}  // namespace

TEST(OutBitStream, FieldsRoundTripThroughTheReaderAndTheLastByteIsPadded) {
  TMemoryStream dst;
  std::mt19937 rng(11);
  std::vector<std::pair<uint32_t, int>> fields;
  {
    TArDfOutBitStream out(&dst);
    for (int i = 0; i < 30000; ++i) {
      const int n = 1 + static_cast<int>(rng() % 16);
      const uint32_t v = rng() & ((1u << n) - 1);
      fields.emplace_back(v, n);
      out.WriteBits(v, n);
      if (i % 5000 == 0) {
        out.AlignToByte();
        fields.emplace_back(0, 0);  // the reader aligns here
        const Bytes raw = MakeRandom(20000, static_cast<uint32_t>(i));
        out.WriteBuffer(raw.data(), 20000);
        for (uint8_t b : raw) fields.emplace_back(b, 8);
      }
    }
    out.Finish();
  }
  TArDfInBitStream in(&dst, 0, nullptr);
  dst.SetPosition(0);
  for (const auto& [v, n] : fields) {
    if (n == 0)
      in.AlignToByte();
    else
      ASSERT_EQ(in.ReadBits(n), v);
  }
}

TEST(OutBitStream, ThreeBitsMakeOneByteAndBadFieldsAreRefused) {
  TMemoryStream dst;
  TArDfOutBitStream out(&dst);
  out.WriteBits(5, 3);
  out.Finish();
  EXPECT_EQ(dst.Bytes(), (Bytes{5}));
  EXPECT_THROW(out.WriteBits(0, 17), EArDfAssertionFailed);
  EXPECT_THROW(out.WriteBits(8, 3), EArDfAssertionFailed);
  out.WriteBits(1, 1);
  EXPECT_THROW(out.WriteBuffer("x", 1), EArDfAssertionFailed);
}

TEST(OutBitStream, ADestinationThatTakesLessThanOfferedIsAnError) {
  TShortWriter dst;
  TArDfOutBitStream out(&dst);
  for (int i = 0; i < 10; ++i) out.WriteBits(0xABC, 12);
  try {
    out.Finish();
    FAIL();
  } catch (const EArInternalDeflateError& e) {
    EXPECT_STREQ(e.what(), "could not write to the output atream [TArDfInBitStream.obsEmptyBuffer]");
  }
}
