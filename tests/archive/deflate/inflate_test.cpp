// Inflate on streams built by hand: what each block kind produces, every malformed
// category with its message, the output limit, test-only mode, progress and abort.
#include <gtest/gtest.h>
#include <random>
#include "archive/deflate/dfdeflate.h"
#include "archive/deflate/dfhuff.h"
#include "archive/deflate/dfinflate.h"
#include "tests/archive/deflate/support.h"

namespace {
// Fixed-code match: length symbol and extra bits, distance code and extra bits.
void FixedMatch(BitWriter& w, int length, int distance, bool deflate64 = false) {
  if (length >= 258 && (!deflate64 || length == 258) && !deflate64) {
    w.Fixed(285);
  } else if (deflate64 && length > 257) {
    w.Fixed(285).Put(static_cast<uint32_t>(length - 3), 16);
  } else {
    int s = 0;
    while (s < 27 && ArDfLengthBase[s + 1] <= length) ++s;
    w.Fixed(257 + s).Put(static_cast<uint32_t>(length - ArDfLengthBase[s]), ArDfLengthExtraBits[s]);
  }
  int d = 0;
  while (d < 31 && ArDfDistanceBase[d + 1] <= static_cast<uint32_t>(distance)) ++d;
  w.Code(static_cast<uint32_t>(d), 5)
      .Put(static_cast<uint32_t>(distance) - ArDfDistanceBase[d], ArDfDistanceExtraBits[d]);
}

struct Result {
  uint32_t checksum = 0;
  Bytes output;
  std::string error;  // message of the exception, empty when none
  uint32_t compressed = 0, uncompressed = 0;
  int64_t sourcePosition = 0;
};

// Inflates from the given source (a memory stream, or one that reads differently).
Result RunInflateFrom(TMemoryStream& src, TArDeflateHelper h, TStream* dst = nullptr) {
  TMemoryStream mem;
  Result r;
  try {
    r.checksum = Inflate(&src, dst ? dst : &mem, &h);
  } catch (const EArInflateError& e) { r.error = e.what(); }
  r.output = mem.Bytes();
  r.compressed = h.CompressedCount;
  r.uncompressed = h.UncompressedCount;
  r.sourcePosition = src.Position();
  return r;
}

Result RunInflate(const Bytes& stream, TArDeflateHelper h = TArDeflateHelper(), TStream* dst = nullptr) {
  TMemoryStream src = MemOf(stream);
  return RunInflateFrom(src, h, dst);
}

std::string Cause(const std::string& cause) {
  return "Corvalen inflate error, possibly a corrupted compressed stream. (Internal cause: " + cause + ")";
}

TArDeflateHelper Deflate64() {
  TArDeflateHelper h;
  h.SetOptions(h.Options() | OptDeflate64);
  return h;
}

// A final fixed-code block with the given literals.
Bytes FixedLiterals(const Bytes& text) {
  BitWriter w;
  w.Put(1, 1).Put(1, 2);
  for (uint8_t c : text) w.Fixed(c);
  w.Fixed(256);
  return w.Data();
}

// Stored blocks of at most `piece` bytes each, the last one final.
void PutStored(BitWriter& w, const Bytes& data, size_t piece = 65535) {
  size_t at = 0;
  do {
    const size_t n = std::min(piece, data.size() - at);
    w.Put(at + n >= data.size() ? 1 : 0, 1).Put(0, 2).Align();
    w.Byte(static_cast<uint8_t>(n)).Byte(static_cast<uint8_t>(n >> 8));
    w.Byte(static_cast<uint8_t>(~n)).Byte(static_cast<uint8_t>(~n >> 8));
    for (size_t i = 0; i < n; ++i) w.Byte(data[at + i]);
    at += n;
  } while (at < data.size());
}

Bytes Stored(const Bytes& data, size_t piece = 65535) {
  BitWriter w;
  PutStored(w, data, piece);
  return w.Data();
}

uint32_t Crc(const Bytes& b) {
  uint32_t c = 0xFFFFFFFF;
  UpdateCrc32(c, b.data(), static_cast<int32_t>(b.size()));
  return ~c;
}
}  // namespace

TEST(Inflate, AnEmptyFixedBlockGivesTheChecksumsOfNothing) {
  const Result r = RunInflate({0x03, 0x00});
  EXPECT_EQ(r.error, "");
  EXPECT_TRUE(r.output.empty());
  EXPECT_EQ(r.checksum, 0u);
  TArDeflateHelper h;
  h.SetOptions(h.Options() | OptAdler32);
  EXPECT_EQ(RunInflate({0x03, 0x00}, h).checksum, 1u);
}

TEST(Inflate, LiteralsMatchesAndStoredBlocksProduceTheirBytes) {
  BitWriter w;
  w.Put(0, 1).Put(1, 2);
  for (char c : std::string("abcabc")) w.Fixed(static_cast<uint8_t>(c));
  FixedMatch(w, 10, 3);   // overlapping copy repeats "abc"
  FixedMatch(w, 258, 1);  // symbol 285 in deflate: 258 with no extra bits
  w.Fixed(256);
  // Stored data long enough for the output buffer to grow and later move its unwritten
  // bytes, in blocks of a size that has a block straddle the write point by a few bytes
  // just when it does either.
  const Bytes stored = MakeRandom(1200000, 7);
  PutStored(w, stored, 1007);
  const Bytes stream = w.Data();
  const Result r = RunInflate(stream);
  ASSERT_EQ(r.error, "");
  Bytes expect;
  for (char c : std::string("abcabcabcabcabca")) expect.push_back(static_cast<uint8_t>(c));
  expect.insert(expect.end(), 258, 'a');
  expect.insert(expect.end(), stored.begin(), stored.end());
  EXPECT_TRUE(r.output == expect);
  EXPECT_EQ(r.checksum, Crc(expect));
  EXPECT_EQ(r.compressed, stream.size());
  EXPECT_EQ(r.uncompressed, expect.size());
}

TEST(Inflate, Deflate64LengthsTakeSixteenExtraBitsAndFarDistancesDecode) {
  const Bytes history = MakeRandom(65536, 17);
  BitWriter w;
  w.Put(1, 1).Put(1, 2);
  for (uint8_t c : history) w.Fixed(c);
  FixedMatch(w, 65538, 65536, true);  // 285 + 65535, distance 31 + 16383
  FixedMatch(w, 3, 32769, true);      // 285 + 0, distance 30 + 0
  w.Fixed(256);
  const Result r = RunInflate(w.Data(), Deflate64());
  ASSERT_EQ(r.error, "");
  Bytes expect = history;
  for (int i = 0; i < 65538; ++i) expect.push_back(expect[expect.size() - 65536]);
  for (int i = 0; i < 3; ++i) expect.push_back(expect[expect.size() - 32769]);
  EXPECT_TRUE(r.output == expect);
  // The same bits in plain deflate: 285 is 258 with no extra bits, and distance codes 30
  // and 31 do not exist.
  EXPECT_EQ(RunInflate(w.Data()).error, Cause("decoded an invalid distance symbol: greater than 29 [DecodeData]"));
}

TEST(Inflate, EveryMalformedCategoryFailsWithItsOwnCause) {
  struct Case {
    const char* what;
    Bytes stream;
    bool deflate64;
    std::string cause;
  };
  std::vector<Case> cases;
  cases.push_back({"block type 3", BitWriter().Put(1, 1).Put(3, 2).Data(), false,
                   "starting new block, but invalid block type [Inflate]"});
  cases.push_back({"stored NLEN", BitWriter().Put(1, 1).Put(0, 2).Byte(5).Byte(0).Byte(0xFA).Byte(0xFE).Data(), false,
                   "invalid stored block (length and NOT length do not match) [InflateStoredBlock]"});
  const Bytes stored = Stored(MakeText(100));
  cases.push_back({"stored truncated", Bytes(stored.begin(), stored.end() - 10), false,
                   "no more compressed data in stream [TArDfInBitStream.ReadBuffer]"});
  cases.push_back({"HLIT 287", BitWriter().Put(1, 1).Put(2, 2).Put(30, 5).Put(0, 5).Put(0, 4).Data(), false,
                   "count of literal codes in dynamic block is greater than 286 [InflateDynamicBlock]"});
  cases.push_back({"HDIST 31", BitWriter().Put(1, 1).Put(2, 2).Put(0, 5).Put(30, 5).Put(0, 4).Data(), false,
                   "count of distance codes in dynamic block is greater than 30 [InflateDynamicBlock]"});
  {
    // Code-length code: symbols 16 and 1 with one bit each; the first length is a repeat.
    BitWriter w;
    w.Put(1, 1).Put(2, 2).Put(0, 5).Put(0, 5).Put(14, 4);
    for (int i = 0; i < 18; ++i) w.Put(ArDfCodeLengthOrder[i] == 16 || ArDfCodeLengthOrder[i] == 1 ? 1 : 0, 3);
    w.Code(1, 1).Put(0, 2);
    cases.push_back(
        {"repeat first", w.Data(), false, "repeat of a previous code length without one {ReadLitDistCodeLengths}"});
  }
  {
    BitWriter w;
    w.Put(1, 1).Put(2, 2).Put(0, 5).Put(0, 5).Put(0, 4).Put(0, 12).Put(0, 8);
    cases.push_back(
        {"no code-length codes", w.Data(), false, "decoded a symbol not between 0 and 18 {ReadLitDistCodeLengths}"});
  }
  cases.push_back({"fixed symbol 286", BitWriter().Put(1, 1).Put(1, 2).Fixed(286).Put(0, 16).Data(), false,
                   "decoded an invalid length symbol: greater than 285 [DecodeData]"});
  cases.push_back({"fixed symbol 287", BitWriter().Put(1, 1).Put(1, 2).Fixed(287).Put(0, 16).Data(), true,
                   "decoded an invalid length symbol: greater than 285 [DecodeData]"});
  {
    BitWriter w;
    w.Put(1, 1).Put(1, 2).Fixed('a');
    FixedMatch(w, 3, 32769);
    w.Fixed(256);
    cases.push_back(
        {"distance 30", w.Data(), false, "decoded an invalid distance symbol: greater than 29 [DecodeData]"});
  }
  {
    BitWriter w;
    w.Put(1, 1).Put(1, 2).Fixed('a').Fixed('b');
    FixedMatch(w, 3, 3);
    w.Fixed(256);
    cases.push_back(
        {"distance before the start", w.Data(), false, "distance is farther back than the output so far [CopyMatch]"});
  }
  {
    BitWriter w;
    w.Put(0, 1).Put(1, 2);
    for (int i = 0; i < 3; ++i) w.Fixed('x');
    w.Fixed(256);
    // The zeros that complete the last word read as a stored block header.
    cases.push_back(
        {"no final block", w.Data(), false, "no more compressed data in stream [TArDfInBitStream.ReadBuffer]"});
  }
  {
    const Bytes long_ = FixedLiterals(MakeText(3000));
    cases.push_back({"fixed truncated", Bytes(long_.begin(), long_.begin() + 1500), false,
                     "no more compressed data in stream [TArDfInBitStream.DiscardBits]"});
  }
  for (const auto& c : cases) {
    TArDeflateHelper h;
    if (c.deflate64) h = Deflate64();
    EXPECT_EQ(RunInflate(c.stream, h).error, Cause(c.cause)) << c.what;
  }
}

TEST(Inflate, Deflate64AcceptsThirtyTwoDistanceCodesButRejectsUnassignedOnes) {
  // Dynamic block: literal/length symbols 0..253 with 8 bits and 254..257 with 9 (a
  // complete code), 32 distance codes of which only symbol 0 has a code (one bit): the
  // bit pattern 1 is unassigned.
  BitWriter w;
  w.Put(1, 1).Put(2, 2).Put(1, 5).Put(31, 5).Put(15, 4);
  // Code-length code: symbols 0, 1, 8, 9 with two bits each: 00, 01, 10, 11.
  uint8_t cl[19] = {};
  cl[0] = cl[1] = cl[8] = cl[9] = 2;
  for (int i = 0; i < 19; ++i) w.Put(cl[ArDfCodeLengthOrder[i]], 3);
  auto put = [&](int len) { w.Code(len == 0 ? 0 : len == 1 ? 1 : len == 8 ? 2 : 3, 2); };
  for (int i = 0; i < 254; ++i) put(8);
  for (int i = 0; i < 4; ++i) put(9);
  put(1);
  for (int i = 1; i < 32; ++i) put(0);
  w.Code(65, 8);              // 'A'
  w.Code(511, 9).Code(0, 1);  // length symbol 257 (3), distance symbol 0 (1)
  w.Code(511, 9).Code(1, 1);  // unassigned distance pattern
  const Result r = RunInflate(w.Data(), Deflate64());
  EXPECT_EQ(r.error, Cause("decoded an invalid distance symbol: not assigned [DecodeData]"));
  EXPECT_EQ(r.output, (Bytes{'A', 'A', 'A', 'A'})) << "bytes before the failure still arrive";
  EXPECT_EQ(RunInflate(w.Data()).error,
            Cause("count of distance codes in dynamic block is greater than 30 [InflateDynamicBlock]"));
}

TEST(Inflate, AnOutputLimitEndsQuietlyAfterTheSymbolThatReachesIt) {
  BitWriter w;
  w.Put(1, 1).Put(1, 2);
  for (int i = 0; i < 342; ++i) w.Fixed('a' + i % 3);
  FixedMatch(w, 258, 3);
  for (int i = 0; i < 20000; ++i) w.Fixed('z');
  w.Fixed(256);
  TArDeflateHelper h;
  h.OutputLimit = 512;
  const Result r = RunInflate(w.Data(), h);
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.checksum, 0u);
  EXPECT_EQ(r.output.size(), 600u) << "the match that crosses the limit is written whole";
  EXPECT_EQ(r.uncompressed, 600u);
  EXPECT_LT(r.compressed, w.Data().size()) << "only what was read counts";
  EXPECT_EQ(r.sourcePosition, r.compressed);

  // A limit above the write point acts as the write point.
  const Bytes text = MakeText(200000);
  TArDeflateHelper big;
  big.OutputLimit = 1000000;
  const Result b = RunInflate(FixedLiterals(text), big);
  EXPECT_EQ(b.output.size(), 65536u);
  EXPECT_TRUE(std::equal(b.output.begin(), b.output.end(), text.begin()));
}

namespace {
class TRecordingStream : public TMemoryStream {
public:
  std::vector<int32_t> writes;
  int32_t Write(const void* buffer, int32_t count) override {
    writes.push_back(count);
    return TMemoryStream::Write(buffer, count);
  }
};
}  // namespace

TEST(Inflate, StoredDataPassesTheLimitAndReachesTheDestinationInSlices) {
  const Bytes data = MakeRandom(80000, 5);
  TRecordingStream dst;
  TArDeflateHelper h;
  h.OutputLimit = 512;
  TMemoryStream src = MemOf(Stored(data));
  Inflate(&src, &dst, &h);
  EXPECT_EQ(dst.writes, (std::vector<int32_t>{32768, 47232}));
  EXPECT_TRUE(dst.Bytes() == data);
}

TEST(Inflate, TestOnlyModeWritesNothingAndStillCountsTheBytes) {
  const Bytes text = MakeText(150000);
  const Bytes stream = FixedLiterals(text);
  TRecordingStream dst;
  TArDeflateHelper h;
  h.SetOptions(h.Options() | OptTestOnly);
  TMemoryStream src = MemOf(stream);
  EXPECT_EQ(Inflate(&src, &dst, &h), Crc(text));
  EXPECT_TRUE(dst.writes.empty());
  EXPECT_EQ(h.UncompressedCount, text.size());
  EXPECT_EQ(h.CompressedCount, stream.size());
  // Cut short by the limit, the count still says what was produced.
  h.OutputLimit = 1000;
  src.SetPosition(0);
  EXPECT_EQ(Inflate(&src, &dst, &h), 0u);
  EXPECT_EQ(h.UncompressedCount, 1000u);
}

TEST(Inflate, AProgressAbortEndsLikeTheEndOfTheStreamAndKeepsWhatWasDecoded) {
  const Bytes text = MakeRandom(300000, 6);
  const Bytes stream = Stored(text);
  std::vector<int32_t> seen;
  TArDeflateHelper h;
  h.ProgressTotal = -1;
  h.SetProgressHook([&](int32_t p) {
    seen.push_back(p);
    if (seen.size() == 3) throw EArAbortProgress("Aborted");
  });
  const Result r = RunInflate(stream, h);
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.checksum, 0u);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], ArDfPercent(16384, static_cast<int64_t>(stream.size())));
  EXPECT_GT(r.output.size(), 0u) << "buffered bytes are passed on";
  EXPECT_TRUE(std::equal(r.output.begin(), r.output.end(), text.begin()));
  EXPECT_EQ(r.sourcePosition, r.compressed);
  EXPECT_LT(r.compressed, 3u * 16384u);
}

TEST(Inflate, TheSourceStandsAtTheFirstByteAfterTheStream) {
  Bytes stream = FixedLiterals(MakeText(5000));
  const size_t size = stream.size();
  for (int i = 0; i < 8; ++i) stream.push_back(static_cast<uint8_t>(0xA0 + i));
  const Result r = RunInflate(stream);
  EXPECT_EQ(r.sourcePosition, static_cast<int64_t>(size));
  EXPECT_EQ(r.compressed, size);
}

TEST(Inflate, MissingStreamsAreContractFailures) {
  TMemoryStream s;
  EXPECT_THROW(Inflate(nullptr, &s), EArDfAssertionFailed);
  EXPECT_THROW(Inflate(&s, nullptr), EArDfAssertionFailed);
}

TEST(Inflate, RandomBytesEndInOutputOrAnInflateErrorAndNeverElse) {
  std::mt19937 rng(77);
  for (int i = 0; i < 3000; ++i) {
    Bytes junk = MakeRandom(1 + rng() % 600, static_cast<uint32_t>(i));
    if (i % 3 == 0) junk[0] = static_cast<uint8_t>((junk[0] & ~6) | 4);  // dynamic block
    for (bool d64 : {false, true}) {
      TArDeflateHelper h;
      if (d64) h = Deflate64();
      h.OutputLimit = i % 2 ? 0 : 512;
      TMemoryStream src = MemOf(junk), dst;
      try {
        Inflate(&src, &dst, &h);
      } catch (const EArInflateError&) {}
      EXPECT_LE(src.Position(), static_cast<int64_t>(junk.size()));
    }
  }
}

namespace {
// A source that hands out at most a few bytes per read, so that the reader's buffer
// never holds enough for the decoder's fast loop: every symbol takes the careful path.
class TTrickleStream : public TMemoryStream {
public:
  int32_t Read(void* buffer, int32_t count) override { return TMemoryStream::Read(buffer, std::min(count, 5)); }
};

Result RunTrickled(const Bytes& stream, TArDeflateHelper h) {
  TTrickleStream src;
  src.Assign(stream.data(), stream.size());
  return RunInflateFrom(src, h);
}
}  // namespace

// The decoder has a fast loop for the bulk of a block and a careful path for its last
// bytes; wherever either stops (end of stream, output limit, malformed data), what it
// leaves behind must be the same: output, checksum, counts, error, source position.
// Runs that read up to the end of the data are left out: there the zeros that complete
// the last word depend on how the source was read, whichever path decodes.
TEST(Inflate, TheFastLoopAndTheCarefulPathLeaveTheSameResult) {
  std::mt19937 rng(19);
  std::vector<std::pair<Bytes, bool>> streams;  // stream, deflate64
  const Bytes inputs[] = {MakeText(90000), MakeBinary(70000), MakeRuns(60000), MakeFarRepeats(150000)};
  for (const Bytes& in : inputs) {
    for (bool d64 : {false, true}) {
      TArDeflateHelper h;
      if (d64) {
        h.SetOptions(h.Options() | OptDeflate64);
        h.HistorySize = 65536;
      }
      TMemoryStream src = MemOf(in), dst;
      Deflate(&src, &dst, &h);
      Bytes packed = dst.Bytes();
      for (int i = 0; i < 8; ++i) packed.push_back(static_cast<uint8_t>(0x5A ^ i));  // a trailer
      streams.emplace_back(packed, d64);
      for (int k = 0; k < 12; ++k) {  // damaged copies fail somewhere inside
        Bytes bad = packed;
        bad[rng() % bad.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
        streams.emplace_back(bad, d64);
      }
    }
  }
  int compared = 0;
  for (const auto& [stream, d64] : streams) {
    for (int32_t limit : {0, 700, 33333, 65536}) {
      TArDeflateHelper h = d64 ? Deflate64() : TArDeflateHelper();
      h.OutputLimit = limit;
      const Result fast = RunInflate(stream, h);
      if (fast.sourcePosition >= static_cast<int64_t>(stream.size())) continue;
      const Result careful = RunTrickled(stream, h);
      ASSERT_EQ(fast.error, careful.error);
      ASSERT_TRUE(fast.output == careful.output) << "limit " << limit;
      ASSERT_EQ(fast.checksum, careful.checksum);
      ASSERT_EQ(fast.compressed, careful.compressed);
      ASSERT_EQ(fast.uncompressed, careful.uncompressed);
      ASSERT_EQ(fast.sourcePosition, careful.sourcePosition);
      ++compared;
    }
  }
  EXPECT_GT(compared, 300);
}
