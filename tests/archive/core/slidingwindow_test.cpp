#include <gtest/gtest.h>
#include <functional>
#include <random>
#include <vector>
#include "archive/core/slidingwindow.h"

namespace {

// Records where each write lands so the tests can see when chunks leave the window.
class SpyStream : public TMemoryStream {
public:
  std::vector<std::pair<int64_t, int32_t>> writes;
  int32_t Write(const void* buffer, int32_t count) override {
    writes.emplace_back(Position(), count);
    return TMemoryStream::Write(buffer, count);
  }
};

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) { return e.Message(); }
  return "";
}

}  // namespace

TEST(SlidingWindow, HistoryBeforeTheStartReadsAsZerosDownTo32K) {
  TMemoryStream out;
  TArSlidingWindowStream w(&out);
  EXPECT_EQ(w.Position(), 0);
  EXPECT_EQ(w.Size(), 0);
  w.Seek(-100, soFromBeginning);
  uint8_t b = 0xAA;
  // Reading is limited by the size only, so history is readable.
  EXPECT_EQ(w.Read(&b, 1), 1);
  EXPECT_EQ(b, 0);
  w.Seek(-32768, soFromBeginning);
  EXPECT_EQ(MessageOf([&] { w.Seek(-32769, soFromBeginning); }), "TArSlidingWindowStream.Seek: invalid new position");
  EXPECT_EQ(MessageOf([&] { w.Seek(1, soFromEnd); }), "TArSlidingWindowStream.Seek: invalid new position");
  EXPECT_EQ(MessageOf([&] { w.Seek(0, 3); }), "TArSlidingWindowStream.Seek: invalid origin");
}

TEST(SlidingWindow, WritesOnlyAtTheEndAndAtMost32KAtATime) {
  TMemoryStream out;
  TArSlidingWindowStream w(&out);
  std::vector<uint8_t> big(40000, 7);
  EXPECT_EQ(w.Write(big.data(), 40000), 32768);
  EXPECT_EQ(w.Size(), 32768);
  w.Seek(-10, soFromEnd);
  EXPECT_EQ(MessageOf([&] { w.Write(big.data(), 1); }), "TArSlidingWindowStream.Write: Not at end of stream");
  EXPECT_EQ(w.Size(), 32768);
  w.Seek(0, soFromEnd);
  EXPECT_EQ(w.Write(big.data(), 1), 1);
}

TEST(SlidingWindow, AChunkReachesTheOutputOnlyAfterItSlidesOut) {
  SpyStream out;
  {
    TArSlidingWindowStream w(&out);
    std::vector<uint8_t> chunk(8192, 1);
    w.Write(chunk.data(), 8192);  // slides once: the oldest chunk lies before the start
    EXPECT_TRUE(out.writes.empty());
    for (int i = 0; i < 3; ++i) w.Write(chunk.data(), 8192);
    EXPECT_TRUE(out.writes.empty());
    w.Write(chunk.data(), 8192);  // fifth slide pushes out the chunk at position 0
    ASSERT_EQ(out.writes.size(), 1u);
    EXPECT_EQ(out.writes[0].first, 0);
    EXPECT_EQ(out.writes[0].second, 8192);
  }
  EXPECT_EQ(out.Size(), 5 * 8192);
}

TEST(SlidingWindow, DestroyingWritesExactlyWhatWasWritten) {
  TMemoryStream out;
  {
    TArSlidingWindowStream w(&out);
    std::vector<uint8_t> data(100);
    for (int i = 0; i < 100; ++i) data[i] = static_cast<uint8_t>(i + 1);
    w.Write(data.data(), 100);
  }
  ASSERT_EQ(out.Size(), 100);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(out.Bytes()[i], i + 1);
}

// The decoders' pattern: append, seek back into the last 32K, read, seek to the end.
TEST(SlidingWindow, MatchesAPlainBufferUnderRandomAppendAndCopyBack) {
  std::mt19937 rng(42);
  TMemoryStream out;
  std::vector<uint8_t> model;
  {
    TArSlidingWindowStream w(&out);
    while (model.size() < 300000) {
      if (rng() % 3 || model.empty()) {
        std::vector<uint8_t> piece(1 + rng() % 9000);
        for (auto& b : piece) b = static_cast<uint8_t>(rng());
        ASSERT_EQ(w.Write(piece.data(), static_cast<int32_t>(piece.size())), static_cast<int32_t>(piece.size()));
        model.insert(model.end(), piece.begin(), piece.end());
      } else {
        const int64_t back = 1 + rng() % std::min<int64_t>(32768, static_cast<int64_t>(model.size()));
        const int32_t len = static_cast<int32_t>(std::min<int64_t>(back, 1 + rng() % 5000));
        w.Seek(-back, soFromEnd);
        std::vector<uint8_t> got(static_cast<size_t>(len));
        ASSERT_EQ(w.Read(got.data(), len), len);
        ASSERT_TRUE(std::equal(got.begin(), got.end(), model.end() - back));
        w.Seek(0, soFromEnd);
      }
    }
    w.Finish();
  }
  EXPECT_EQ(out.Bytes(), model);
}
