#include <gtest/gtest.h>
#include <functional>
#include <random>
#include "archive/core/arerrors.h"
#include "archive/core/vmstream.h"
#include "base/os.h"

namespace {

template <class E>
E Caught(const std::function<void()>& f) {
  try {
    f();
  } catch (const E& e) { return e; }
  ADD_FAILURE() << "no exception";
  return E(0);
}

}  // namespace

TEST(VirtualMemoryStream, KeepsTwentyFivePagesInMemoryBeforeSwapping) {
  TArVirtualMemoryStream s;
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.PagesInMemory(), 1);
  uint8_t b;
  EXPECT_EQ(s.Read(&b, 1), 0);
  std::vector<uint8_t> data(102400, 0x5A);
  s.WriteBuffer(data.data(), 102400);
  EXPECT_EQ(s.PagesInMemory(), 25);
  EXPECT_TRUE(s.SwapFileName().empty());
  s.WriteBuffer("x", 1);
  ASSERT_FALSE(s.SwapFileName().empty());
  EXPECT_TRUE(os::FileExists(s.SwapFileName()));
  EXPECT_EQ(s.PagesInMemory(), 25);
}

TEST(VirtualMemoryStream, AWriteBeyondTheEndLeavesZerosInBetween) {
  TArVirtualMemoryStream s;
  s.Seek(10000, soFromBeginning);
  s.WriteBuffer("z", 1);
  EXPECT_EQ(s.Size(), 10001);
  std::vector<uint8_t> back(10001, 0xFF);
  s.SetPosition(0);
  ASSERT_EQ(s.Read(back.data(), 10001), 10001);
  for (int i = 0; i < 10000; ++i) ASSERT_EQ(back[i], 0) << i;
  EXPECT_EQ(back[10000], 'z');
}

TEST(VirtualMemoryStream, BadOriginsAndPositionsBeforeTheStartRaise) {
  TArVirtualMemoryStream s;
  const auto e = Caught<EArVMSInvalidOrigin>([&] { s.Seek(0, 3); });
  EXPECT_EQ(e.ErrorCode, 201);
  EXPECT_EQ(e.Message(), "VMS: invalid origin 3, should be 0, 1, 2");
  EXPECT_THROW(s.Seek(-1, soFromBeginning), EArVMSSeekFail);
}

// Random writes, reads, seeks and shrinks against a plain buffer, with two pages in
// memory so almost every access goes through the swap file, which is gone afterwards.
TEST(VirtualMemoryStream, MatchesAPlainBufferThroughHeavySwapping) {
  std::mt19937 rng(5);
  std::vector<uint8_t> model;
  std::string swapName;
  {
    TArVirtualMemoryStream s;
    s.SetMemoryLimit(2 * 4096);
    for (int step = 0; step < 3000; ++step) {
      const uint32_t op = rng() % 10;
      if (op < 5) {
        const int64_t pos = rng() % (model.size() + 9000);
        std::vector<uint8_t> piece(1 + rng() % 7000);
        for (auto& b : piece) b = static_cast<uint8_t>(rng());
        s.Seek(pos, soFromBeginning);
        s.WriteBuffer(piece.data(), static_cast<int32_t>(piece.size()));
        if (model.size() < pos + piece.size()) model.resize(pos + piece.size(), 0);
        std::copy(piece.begin(), piece.end(), model.begin() + pos);
      } else if (op < 9) {
        const int64_t pos = model.empty() ? 0 : rng() % model.size();
        std::vector<uint8_t> got(rng() % 9000);
        s.Seek(pos, soFromBeginning);
        const int32_t n = s.Read(got.data(), static_cast<int32_t>(got.size()));
        ASSERT_EQ(n, static_cast<int32_t>(std::min<int64_t>(got.size(), model.size() - pos)));
        ASSERT_TRUE(std::equal(got.begin(), got.begin() + n, model.begin() + pos)) << "step " << step;
      } else {
        const size_t newSize = model.empty() ? 0 : rng() % model.size();
        s.SetSize(static_cast<int64_t>(newSize));
        model.resize(newSize);
      }
      ASSERT_EQ(s.Size(), static_cast<int64_t>(model.size()));
      ASSERT_LE(s.PagesInMemory(), 2);
    }
    swapName = s.SwapFileName();
    ASSERT_FALSE(swapName.empty());
  }
  EXPECT_FALSE(os::FileExists(swapName));
}

TEST(BitBucket, SizesAndLimits) {
  EXPECT_EQ(TArBitBucketStream(0).BufferSize(), 33792);
  EXPECT_EQ(TArBitBucketStream(4096).BufferSize(), 5120);
  EXPECT_EQ(TArBitBucketStream(8192).BufferSize(), 9216);
  EXPECT_EQ(TArBitBucketStream(5000).BufferSize(), 33792);
  TArBitBucketStream b(0);
  std::vector<uint8_t> big(33793);
  const auto e = Caught<EArBBSWriteTooManyBytes>([&] { b.Write(big.data(), 33793); });
  EXPECT_EQ(e.ErrorCode, 43);
  EXPECT_EQ(e.Message(), "BBS: request to write too many bytes [33793]");
}

TEST(BitBucket, OnlyTheLastBufferOfBytesCanBeSoughtAndReadBack) {
  TArBitBucketStream b(0);
  std::vector<uint8_t> chunk(10000);
  for (int i = 0; i < 10; ++i) {
    for (size_t k = 0; k < chunk.size(); ++k) chunk[k] = static_cast<uint8_t>(i * 10000 + k);
    b.WriteBuffer(chunk.data(), 10000);
  }
  EXPECT_EQ(b.Seek(66209, soFromBeginning), 66209);
  EXPECT_THROW(b.Seek(66208, soFromBeginning), EArBBSSeekOutsideBuffer);
  EXPECT_THROW(b.Seek(100001, soFromBeginning), EArBBSSeekOutsideBuffer);
  EXPECT_THROW(b.Seek(0, 7), EArBBSInvalidOrigin);
  EXPECT_EQ(b.Seek(0, soFromEnd), 100000);
  uint8_t x;
  const auto e = Caught<EArBBSReadTooManyBytes>([&] { b.Read(&x, 1); });
  EXPECT_EQ(e.Message(), "BBS: request to read too many bytes [1]");
  b.Seek(-300, soFromEnd);
  std::vector<uint8_t> back(300);
  ASSERT_EQ(b.Read(back.data(), 300), 300);
  for (int k = 0; k < 300; ++k) EXPECT_EQ(back[k], static_cast<uint8_t>(99700 + k));
  EXPECT_THROW(b.Read(&x, 1), EArBBSReadTooManyBytes);
}
