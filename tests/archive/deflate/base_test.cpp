// Options record, logger, node pool and checksums of the deflate engine.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include "archive/deflate/dfbase.h"
#include "tests/archive/deflate/support.h"

TEST(DeflateHelper, TuningSettersRaiseSmallValuesToFourAndMarkThePresetChanged) {
  TArDeflateHelper h;
  EXPECT_EQ(h.TargetMatchLength(), 8);
  EXPECT_EQ(h.ChainSearchLimit(), 32);
  EXPECT_EQ(h.LazyMatchLimit(), 16);
  EXPECT_EQ(h.Options(), 0x0Fu);
  EXPECT_EQ(h.HistorySize, 32768);
  EXPECT_EQ(h.CryptHeaderCheck(), 0xFFFFFFFFu);
  h.SetChainSearchLimit(32);
  EXPECT_EQ(h.PresetCode(), 'n') << "an equal value changes nothing";
  h.SetChainSearchLimit(2);
  EXPECT_EQ(h.ChainSearchLimit(), 4);
  EXPECT_EQ(h.PresetCode(), '?');

  TArDeflateHelper g;
  g.SetTargetMatchLength(-1);
  EXPECT_EQ(g.TargetMatchLength(), -1) << "-1 means no limit and is kept";
  TArDeflateHelper l;
  l.SetLazyMatchLimit(0);
  EXPECT_EQ(l.LazyMatchLimit(), 4);
  EXPECT_EQ(l.PresetCode(), '?');
}

TEST(DeflateHelper, OnlyOptionChangesTouchThePresetCode) {
  TArDeflateHelper h;
  h.SetOptions(0x0F);
  h.SetCryptPassword("secret");
  h.SetCryptHeaderCheck(123);
  h.SetProgressHook([](int32_t) {});
  EXPECT_EQ(h.PresetCode(), 'n');
  h.SetOptions(0x0F | OptAdler32);
  EXPECT_EQ(h.PresetCode(), '?');
}

TEST(DeflateHelper, AssignCopiesEverythingButTheResultCounts) {
  TArDeflateHelper a;
  int calls = 0;
  a.SetChainSearchLimit(100);
  a.SetCryptPassword("pw");
  a.SetProgressHook([&](int32_t) { ++calls; });
  a.LogPath = "x.log";
  a.OutputLimit = 512;
  a.ProgressTotal = -1;
  a.HistorySize = 4096;
  a.CompressedCount = 11;
  a.UncompressedCount = 22;
  TArDeflateHelper b;
  b.CompressedCount = 1;
  b.UncompressedCount = 2;
  b.Assign(a);
  EXPECT_EQ(b.ChainSearchLimit(), 100);
  EXPECT_EQ(b.PresetCode(), '?');
  EXPECT_EQ(b.CryptPassword(), "pw");
  EXPECT_EQ(b.LogPath, "x.log");
  EXPECT_EQ(b.OutputLimit, 512);
  EXPECT_EQ(b.ProgressTotal, -1);
  EXPECT_EQ(b.HistorySize, 4096);
  EXPECT_EQ(b.CompressedCount, 1u);
  EXPECT_EQ(b.UncompressedCount, 2u);
  b.ProgressHook()(5);
  EXPECT_EQ(calls, 1);
}

namespace {
// What a file stand-in saw; it outlives the logger that owns the file.
struct TFileRecord {
  Bytes data;
  std::vector<int32_t> writes;
  int32_t acceptAtMost = -1;
};

class TRecordingFile : public TStream {
public:
  explicit TRecordingFile(std::shared_ptr<TFileRecord> record) : rec_(std::move(record)) {}
  int32_t Read(void*, int32_t) override { return 0; }
  int32_t Write(const void* buffer, int32_t count) override {
    rec_->writes.push_back(count);
    if (rec_->acceptAtMost >= 0 && count > rec_->acceptAtMost) count = rec_->acceptAtMost;
    const auto* p = static_cast<const uint8_t*>(buffer);
    rec_->data.insert(rec_->data.end(), p, p + count);
    return count;
  }
  int64_t Seek(int64_t, int) override { return static_cast<int64_t>(rec_->data.size()); }

private:
  std::shared_ptr<TFileRecord> rec_;
};
}  // namespace

TEST(DeflateLogger, LargeWritesPassWholeBuffersAndKeepTheRestUntilDestroyed) {
  auto f = std::make_shared<TFileRecord>();
  const Bytes data = MakeText(10000);
  {
    TArLogger log(std::make_unique<TRecordingFile>(f));
    EXPECT_EQ(log.Write(data.data(), 10000), 10000);
    EXPECT_EQ(f->writes, (std::vector<int32_t>{4096, 4096}));
    EXPECT_EQ(log.BufferedCount(), 1808);
    EXPECT_EQ(log.Seek(0, soFromCurrent), 8192 + 1808);
    EXPECT_EQ(log.Seek(0, soFromEnd), 8192 + 1808);
  }
  EXPECT_EQ(f->writes.back(), 1808);
  EXPECT_TRUE(f->data == data);
}

TEST(DeflateLogger, APartialFlushKeepsTheUnwrittenTailAndReportsWhatWasAccepted) {
  auto f = std::make_shared<TFileRecord>();
  TArLogger log(std::make_unique<TRecordingFile>(f));
  const Bytes data = MakeRandom(6000);
  f->acceptAtMost = 1000;
  // The buffer fills, the flush places only 1000 bytes: the rest moves to the front and
  // the write ends with what was accepted so far.
  EXPECT_EQ(log.Write(data.data(), 6000), 4096);
  EXPECT_EQ(f->data.size(), 1000u);
  EXPECT_EQ(log.BufferedCount(), 3096);
  f->acceptAtMost = 0;
  const Bytes more = MakeRandom(5000, 9);
  EXPECT_EQ(log.Write(more.data(), 5000), 1000) << "a flush that writes nothing ends the write";
  EXPECT_EQ(log.Write(more.data(), 5000), 0) << "a full buffer that cannot be flushed accepts nothing";
  f->acceptAtMost = -1;
  log.WriteLine("end");
  ASSERT_GE(f->data.size(), 4096u);
  EXPECT_TRUE(std::equal(data.begin(), data.begin() + 4096, f->data.begin())) << "bytes reach the file in order";
  EXPECT_TRUE(std::equal(more.begin(), more.begin() + 1000, f->data.begin() + 4096));
}

TEST(DeflateLogger, ReadingSeekingAndEmptyNamesAreContractFailures) {
  EXPECT_THROW(TArLogger(std::string()), EArDfAssertionFailed);
  TArLogger log(std::make_unique<TRecordingFile>(std::make_shared<TFileRecord>()));
  char c;
  try {
    log.Read(&c, 1);
    FAIL();
  } catch (const EArDfAssertionFailed& e) {
    EXPECT_NE(std::string(e.what()).find("TArLogger.Read: loggers are write-only, no reading allowed"),
              std::string::npos);
  }
  EXPECT_THROW(log.Seek(5, soFromBeginning), EArDfAssertionFailed);
  EXPECT_THROW(log.Seek(0, soFromBeginning), EArDfAssertionFailed);
}

TEST(DeflateLogger, LinesEndInCrLfAndTheFileIsCreatedAnew) {
  const std::string path = ::testing::TempDir() + "dflogger.log";
  {
    std::ofstream old(path);
    old << "old content that must go";
  }
  {
    TArLogger log(path);
    log.WriteLine("INFLATING STREAM...");
    log.WriteLine("");
  }
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "INFLATING STREAM...\r\n\r\n");
  std::remove(path.c_str());
}

TEST(DeflateNodeManager, PagesHoldAsManyNodesAsFitAndBigNodesGetAPageEach) {
  const int32_t link = static_cast<int32_t>(sizeof(void*));
  TArNodeManager m(16);
  EXPECT_EQ(m.PageSize(), 8192);
  EXPECT_EQ(m.NodesPerPage(), (8192 - link) / 16);
  TArNodeManager big(5000);
  EXPECT_EQ(big.NodesPerPage(), 1);
  EXPECT_EQ(big.PageSize(), 5000 + link);
  TArNodeManager tiny(1);
  EXPECT_EQ(tiny.NodeSize(), link);
  // The last node of a page is handed out first; nodes never overlap.
  std::vector<uint8_t*> nodes;
  for (int i = 0; i < m.NodesPerPage() + 3; ++i) {
    auto* p = static_cast<uint8_t*>(m.AllocNode());
    std::memset(p, 0xAB, 16);
    nodes.push_back(p);
  }
  EXPECT_EQ(nodes[0] - nodes[1], 16);
  std::sort(nodes.begin(), nodes.end());
  EXPECT_EQ(std::adjacent_find(nodes.begin(), nodes.end()), nodes.end());
}

// (The CRC-32 is the archive utilities' routine, tested with them.)
TEST(DeflateChecksums, AdlerMatchesItsPublishedValueWhateverThePieces) {
  // Check value of the standard "123456789" test string.
  uint32_t adler = 1;
  UpdateAdler32(adler, "123456789", 9);
  EXPECT_EQ(adler, 0x091E01DEu);
  // Running updates in odd pieces equal one update over the whole.
  const Bytes data = MakeRandom(100000);
  uint32_t a1 = 1, a2 = 1;
  UpdateAdler32(a1, data.data(), 100000);
  for (size_t at = 0, step = 1; at < data.size(); at += step, step = step * 3 % 9973 + 1)
    UpdateAdler32(a2, data.data() + at, static_cast<int32_t>(std::min(step, data.size() - at)));
  EXPECT_EQ(a1, a2);
  // All 0xFF bytes drive both Adler sums to their largest values before the modulo.
  const Bytes ff(100000, 0xFF);
  uint32_t a3 = 1;
  UpdateAdler32(a3, ff.data(), 100000);
  uint64_t s1 = 1, s2 = 0;
  for (uint8_t b : ff) {
    s1 = (s1 + b) % 65521;
    s2 = (s2 + s1) % 65521;
  }
  EXPECT_EQ(a3, static_cast<uint32_t>((s2 << 16) | s1));
}

TEST(DeflateChecksums, PercentagesRoundHalfToEvenAndStayWithinZeroToHundred) {
  EXPECT_EQ(ArDfPercent(1, 200), 0);  // 0.5 -> 0
  EXPECT_EQ(ArDfPercent(3, 200), 2);  // 1.5 -> 2
  EXPECT_EQ(ArDfPercent(5, 8), 62);   // 62.5 -> 62
  EXPECT_EQ(ArDfPercent(16384, 1000), 100);
  EXPECT_EQ(ArDfPercent(5, 0), 0);
  EXPECT_EQ(ArDfPercent(2000000000, 2100000000), 95);
}
