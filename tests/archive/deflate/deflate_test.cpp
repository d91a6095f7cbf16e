// Deflate: block kinds, presets, checksums and counts, failures, and round trips through
// our Inflate.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <new>
#include "archive/deflate/dfdeflate.h"
#include "archive/deflate/dfhuff.h"
#include "archive/deflate/dfinflate.h"
#include "tests/archive/deflate/support.h"

// What the program allocates through operator new is added up while a count is set, so
// that what an encoder sets up shows without timing it.
namespace {
int64_t* gAllocated = nullptr;
void* Allocate(size_t n) {
  if (gAllocated) *gAllocated += static_cast<int64_t>(n);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace
void* operator new(size_t n) { return Allocate(n); }
void* operator new[](size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace {
Bytes Pack(const Bytes& in, TArDeflateHelper h = TArDeflateHelper(), uint32_t* sum = nullptr) {
  TMemoryStream src = MemOf(in), dst;
  const uint32_t c = Deflate(&src, &dst, &h);
  if (sum) *sum = c;
  return dst.Bytes();
}

Bytes Unpack(const Bytes& packed, TArDeflateHelper h = TArDeflateHelper(), uint32_t* sum = nullptr) {
  TMemoryStream src = MemOf(packed), dst;
  const uint32_t c = Inflate(&src, &dst, &h);
  if (sum) *sum = c;
  return dst.Bytes();
}

uint32_t Crc(const Bytes& b) {
  uint32_t c = 0xFFFFFFFF;
  UpdateCrc32(c, b.data(), static_cast<int32_t>(b.size()));
  return ~c;
}

TArDeflateHelper WithOptions(uint32_t options) {
  TArDeflateHelper h;
  h.SetOptions(options);
  return h;
}
}  // namespace

TEST(Deflate, AnEmptySourceIsOneEmptyFixedBlock) {
  uint32_t sum = 1;
  EXPECT_EQ(Pack({}, TArDeflateHelper(), &sum), (Bytes{0x03, 0x00}));
  EXPECT_EQ(sum, 0u);
  Pack({}, WithOptions(0x0F | OptAdler32), &sum);
  EXPECT_EQ(sum, 1u);
  EXPECT_EQ(Pack({}, WithOptions(1)), (Bytes{0x01, 0x00, 0x00, 0xFF, 0xFF}));
}

TEST(Deflate, TheLowOptionBitsChooseTheBlockKind) {
  const Bytes random = MakeRandom(100000), text = MakeText(100000);
  // First three bits of the stream: final flag, then the block type.
  auto type = [](const Bytes& s) { return (s[0] >> 1) & 3; };
  EXPECT_EQ(type(Pack(random, WithOptions(0x02 | OptLazyMatch))), 1) << "fixed codes only";
  EXPECT_EQ(type(Pack(random, WithOptions(0x04 | OptLazyMatch))), 2) << "dynamic codes only, even when it does not pay";
  EXPECT_EQ(type(Pack(text, WithOptions(0x04 | OptLazyMatch))), 2);
  const Bytes stored = Pack(random);
  EXPECT_EQ(type(stored), 0) << "random bytes are stored";
  // Stored blocks of the covered bytes: 32768 literals per block, five header bytes each.
  EXPECT_EQ(stored.size(), random.size() + 4 * 5);
  for (uint32_t options : {0x02u, 0x04u, 0x0Fu, 0x01u})
    for (const Bytes* in : {&random, &text}) EXPECT_TRUE(Unpack(Pack(*in, WithOptions(options))) == *in) << options;
}

TEST(Deflate, RoundTripsKeepEveryByteAndAgreeOnTheChecksum) {
  const std::vector<Bytes> inputs = {MakeText(200000), MakeBinary(100000), MakeRuns(300000),  Bytes(70000, 0),
                                     MakeRandom(1),    MakeText(3),        MakeRandom(65536), MakeFarRepeats(300000)};
  for (const Bytes& in : inputs)
    for (bool adler : {false, true})
      for (int32_t history : {256, 1024, 32768}) {
        TArDeflateHelper h;
        h.HistorySize = history;
        if (adler) h.SetOptions(h.Options() | OptAdler32);
        uint32_t packedSum = 0, unpackedSum = 0;
        const Bytes packed = Pack(in, h, &packedSum);
        TArDeflateHelper ih;
        if (adler) ih.SetOptions(ih.Options() | OptAdler32);
        ASSERT_TRUE(Unpack(packed, ih, &unpackedSum) == in);
        EXPECT_EQ(packedSum, unpackedSum);
        if (!adler) { EXPECT_EQ(packedSum, Crc(in)); }
      }
}

TEST(Deflate, Deflate64WithTheLargeHistoryReachesFartherBack) {
  const Bytes in = MakeFarRepeats(500000);
  TArDeflateHelper h = WithOptions(0x0F | OptDeflate64);
  h.HistorySize = 65536;
  const Bytes far = Pack(in, h);
  const Bytes near = Pack(in);
  EXPECT_LT(far.size() * 3, near.size() * 2) << "repeats beyond 32 KiB are found";
  TArDeflateHelper ih = WithOptions(0x0F | OptDeflate64);
  EXPECT_TRUE(Unpack(far, ih) == in);
  EXPECT_THROW(Unpack(far), EArInflateError) << "plain inflate does not read deflate64";
}

TEST(Deflate, CountsReportBytesReadAndWritten) {
  const Bytes in = MakeText(123456);
  TMemoryStream src = MemOf(in), dst;
  dst.WriteBuffer("prefix", 6);
  TArDeflateHelper h;
  Deflate(&src, &dst, &h);
  EXPECT_EQ(h.UncompressedCount, in.size());
  EXPECT_EQ(h.CompressedCount, dst.Size() - 6);
  EXPECT_EQ(src.Position(), static_cast<int64_t>(in.size()));
}

TEST(Deflate, TheFirstKilobyteOfTextDoublesTheSearchUnlessTheCallerTuned) {
  // Text without a zero byte: the default search doubles after 1 KiB, which a caller's
  // own setting (the same values, but set) prevents.
  Bytes text = MakeRandom(1100, 31);
  for (auto& b : text) b = static_cast<uint8_t>(1 + b % 255);  // literals only up to 1 KiB
  const Bytes words = MakeText(300000);
  text.insert(text.end(), words.begin(), words.end());
  TArDeflateHelper tuned;
  tuned.SetChainSearchLimit(40);
  tuned.SetChainSearchLimit(32);
  ASSERT_EQ(tuned.PresetCode(), '?');
  EXPECT_NE(Pack(text), Pack(text, tuned));
  EXPECT_LT(Pack(text).size(), Pack(text, tuned).size()) << "the doubled search finds more";
  // A zero byte among the first literals keeps the defaults: identical output.
  Bytes withZero = text;
  withZero[100] = 0;
  EXPECT_EQ(Pack(withZero), Pack(withZero, tuned));
}

TEST(Deflate, SourcesThatDeliverFewBytesPerReadAreEncodedWhole) {
  const Bytes in = MakeText(150000);
  const Bytes expect = Pack(in);
  for (int chunk : {1, 7, 1000}) {
    TTrickleStream src(chunk);
    src.Assign(in.data(), in.size());
    TMemoryStream dst;
    TArDeflateHelper h;
    EXPECT_EQ(Deflate(&src, &dst, &h), Crc(in)) << chunk;
    EXPECT_EQ(dst.Bytes(), expect) << chunk;
  }
}

TEST(Deflate, StoredOnlyModeStoresWhatTheSourceHoldsWhateverTheTotalSays) {
  const Bytes in = MakeRandom(200000);
  for (int32_t total : {0, 1000, 200000, 5000000}) {
    TArDeflateHelper h = WithOptions(1);
    std::vector<int32_t> seen;
    h.ProgressTotal = total;
    h.SetProgressHook([&](int32_t p) { seen.push_back(p); });
    uint32_t sum = 0;
    const Bytes packed = Pack(in, h, &sum);
    EXPECT_EQ(sum, Crc(in));
    EXPECT_TRUE(Unpack(packed) == in) << total;
    EXPECT_EQ(packed.size(), in.size() + 4 * 5);
    for (int32_t p : seen) EXPECT_TRUE(p >= 0 && p <= 100);
  }
}

TEST(Deflate, ProgressRisesToAHundredAndAnAbortPassesThrough) {
  const Bytes in = MakeText(400000);
  std::vector<int32_t> seen;
  TArDeflateHelper h;
  h.ProgressTotal = -1;
  h.SetProgressHook([&](int32_t p) { seen.push_back(p); });
  Pack(in, h);
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_LE(seen.back(), 100);
  EXPECT_GE(seen.back(), 95);
  TArDeflateHelper abort;
  abort.ProgressTotal = -1;
  abort.SetProgressHook([&](int32_t p) {
    if (p > 50) throw EArAbortProgress("Aborted");
  });
  EXPECT_THROW(Pack(in, abort), EArAbortProgress);
}

namespace {
class TShortWriter : public TMemoryStream {
public:
  int32_t Write(const void* buffer, int32_t count) override {
    return TMemoryStream::Write(buffer, count > 100 ? 100 : count);
  }
};
}  // namespace

TEST(Deflate, FailuresAreReportedAsDeflateErrorsOrContractFailures) {
  const Bytes in = MakeText(100000);
  TMemoryStream src = MemOf(in);
  TShortWriter dst;
  try {
    Deflate(&src, &dst);
    FAIL();
  } catch (const EArDeflateError& e) {
    EXPECT_STREQ(e.what(),
                 "Corvalen deflate error. (Internal cause: could not write to the output atream "
                 "[TArDfInBitStream.obsEmptyBuffer])");
  }
  TMemoryStream s;
  TArDeflateHelper none = WithOptions(OptLazyMatch);
  EXPECT_THROW(Deflate(&s, &s, &none), EArDfAssertionFailed);
  for (int32_t history : {0, 3000, 65536}) {
    TArDeflateHelper h;
    h.HistorySize = history;
    EXPECT_THROW(Deflate(&s, &s, &h), EArDfAssertionFailed) << history;
  }
  EXPECT_THROW(Deflate(nullptr, &s), EArDfAssertionFailed);
}

TEST(Deflate, UnlimitedSearchesFinishOnInputsThatDefeatHashChains) {
  TArDeflateHelper h;
  h.SetTargetMatchLength(-1);
  h.SetChainSearchLimit(-1);
  h.SetLazyMatchLimit(-1);
  // A period of exactly the history size, long runs of one byte, and two-symbol text.
  Bytes period = MakeRandom(32768, 3);
  const Bytes copy = period;
  for (int i = 0; i < 3; ++i) period.insert(period.end(), copy.begin(), copy.end());
  Bytes twoSymbols = MakeRandom(300000, 4);
  for (auto& b : twoSymbols) b = 'a' + (b & 1);
  for (const Bytes& in : {period, Bytes(1 << 20, 0), twoSymbols}) EXPECT_TRUE(Unpack(Pack(in, h)) == in);
}

// A chain limit the history cannot exhaust lets the search take a shortcut (a second
// chain over four-byte keys); a limit just below that walks the three-byte chain only.
// On inputs where neither limit can run out, both must write the same bytes.
TEST(Deflate, SearchesThatCannotRunOutOfBudgetFindTheSameMatchesByEitherChain) {
  Bytes twoSymbols = MakeRandom(60000, 9);
  for (auto& b : twoSymbols) b = 'a' + (b & 1);
  Bytes mixed = MakeText(30000, 5);
  const Bytes noise = MakeRandom(15000, 6), binary = MakeBinary(30000, 7);
  mixed.insert(mixed.end(), noise.begin(), noise.end());
  mixed.insert(mixed.end(), binary.begin(), binary.end());
  for (const Bytes* in : {&twoSymbols, &mixed}) {
    for (int32_t history : {4096, 32768, 65536}) {
      for (int32_t target : {-1, 8}) {
        auto packWith = [&](int32_t chain) {
          TArDeflateHelper h;
          if (history > 32768) h.SetOptions(h.Options() | OptDeflate64);
          h.HistorySize = history;
          h.SetTargetMatchLength(target);
          h.SetLazyMatchLimit(target == -1 ? -1 : 16);
          h.SetChainSearchLimit(chain);
          return Pack(*in, h);
        };
        const Bytes shortcut = packWith(4 * history), plain = packWith(4 * history - 4);
        ASSERT_TRUE(shortcut == plain) << "history " << history << ", target " << target;
        ASSERT_TRUE(Unpack(shortcut, history > 32768 ? WithOptions(0x0F | OptDeflate64) : TArDeflateHelper()) == *in);
      }
    }
  }
}

TEST(Deflate, APasswordEncryptsAndOnlyThatPasswordDecrypts) {
  const Bytes in = MakeText(100000);
  TArDeflateHelper h;
  h.SetCryptPassword("pass");
  h.SetCryptHeaderCheck(Crc(in));
  TMemoryStream plain = MemOf(in), out;
  Deflate(&plain, &out, &h);
  const Bytes packed = out.Bytes();
  EXPECT_EQ(h.CompressedCount, packed.size()) << "the header counts";
  EXPECT_TRUE(Unpack(packed, h) == in);
  // A wrong password passes the one-byte header check once in 256: of ten wrong ones,
  // those refused leave the source where it was, so the caller can try again.
  int refused = 0;
  for (int i = 0; i < 10; ++i) {
    TArDeflateHelper wrong = h;
    wrong.SetCryptPassword("Pass" + std::to_string(i));
    TMemoryStream src = MemOf(packed), dst;
    try {
      if (Inflate(&src, &dst, &wrong) == Crc(in)) ADD_FAILURE() << "a wrong password restored the data";
    } catch (const EArInflatePasswordError&) {
      ++refused;
      EXPECT_EQ(src.Position(), 0);
      EXPECT_EQ(dst.Size(), 0);
    } catch (const EArInflateError&) {}
  }
  EXPECT_GT(refused, 0);
}

namespace {
// Reads a stream made of fixed-code blocks and lists its matches; false when a block of
// another kind appears.
struct FixedStreamReader {
  const Bytes& s;
  size_t bit = 0;
  explicit FixedStreamReader(const Bytes& stream) : s(stream) {}
  uint32_t Bits(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++bit) v |= static_cast<uint32_t>((s[bit / 8] >> (bit % 8)) & 1) << i;
    return v;
  }
  uint32_t Code(int n) {  // most significant bit first
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++bit) v = (v << 1) | ((s[bit / 8] >> (bit % 8)) & 1);
    return v;
  }
  int Symbol() {
    uint32_t c = Code(7);
    if (c <= 23) return 256 + static_cast<int>(c);
    c = (c << 1) | Code(1);
    if (c >= 0x30 && c <= 0xBF) return static_cast<int>(c - 0x30);
    if (c >= 0xC0 && c <= 0xC7) return 280 + static_cast<int>(c - 0xC0);
    c = (c << 1) | Code(1);
    return 144 + static_cast<int>(c - 0x190);
  }
  bool Read(std::vector<std::pair<int, int>>& matches, Bytes& out) {
    bool final = false;
    while (!final) {
      final = Bits(1) != 0;
      if (Bits(2) != 1) return false;
      for (int sym; (sym = Symbol()) != 256;) {
        if (sym < 256) {
          out.push_back(static_cast<uint8_t>(sym));
          continue;
        }
        const int length =
            ArDfLengthBase[sym - 257] + static_cast<int>(Bits(sym == 285 ? 0 : ArDfLengthExtraBits[sym - 257]));
        const int d = static_cast<int>(Code(5));
        const int distance = static_cast<int>(ArDfDistanceBase[d] + Bits(ArDfDistanceExtraBits[d]));
        matches.emplace_back(length, distance);
        for (int i = 0; i < length; ++i) out.push_back(out[out.size() - static_cast<size_t>(distance)]);
      }
    }
    return true;
  }
};
}  // namespace

TEST(Deflate, AThreeByteMatchFartherBackThan4096IsNeverWritten) {
  for (int gap : {3990, 5000}) {
    Bytes in = {'Q', 'Z', 'X'};
    const Bytes filler = MakeRandom(static_cast<size_t>(gap) + 3000, 9);
    for (int i = 0; i < gap; ++i) in.push_back(static_cast<uint8_t>(0x80 | filler[static_cast<size_t>(i)]));
    in.insert(in.end(), {'Q', 'Z', 'X', '!'});
    const Bytes packed = Pack(in, WithOptions(0x02 | OptLazyMatch));
    std::vector<std::pair<int, int>> matches;
    Bytes out;
    ASSERT_TRUE(FixedStreamReader(packed).Read(matches, out)) << "every block uses the fixed codes";
    ASSERT_TRUE(out == in);
    bool farThree = false, qzx = false;
    for (const auto& [length, distance] : matches) {
      if (length == 3 && distance > 4096) farThree = true;
      if (distance == gap + 3) qzx = true;
    }
    EXPECT_FALSE(farThree) << gap;
    EXPECT_EQ(qzx, gap + 3 <= 4096) << "the repeat is matched only while it is near enough";
  }
}

TEST(Deflate, EveryBlockOfALongInputUsesTheFixedCodesWhenOnlyTheyAreAllowed) {
  const Bytes in = MakeText(400000);
  std::vector<std::pair<int, int>> matches;
  Bytes out;
  ASSERT_TRUE(FixedStreamReader(Pack(in, WithOptions(0x02 | OptLazyMatch))).Read(matches, out));
  EXPECT_TRUE(out == in);
  EXPECT_GT(matches.size(), 1000u);
}

TEST(Deflate, ALogFileRecordsTheRunAndInflateLogsTheCauseOfAFailure) {
  const std::string path = ::testing::TempDir() + "dfengine.log";
  TArDeflateHelper h;
  h.LogPath = path;
  const Bytes packed = Pack(MakeText(1000), h);
  auto read = [&] {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::string text;
    for (int c; f && (c = std::fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
    if (f) std::fclose(f);
    return text;
  };
  EXPECT_EQ(read(), "DEFLATING STREAM...\r\nNeed to recompile the app with UseLogging turned on\r\n");
  const Bytes broken = {0x07};  // a block of type 3
  TMemoryStream src = MemOf(broken), dst;
  EXPECT_THROW(Inflate(&src, &dst, &h), EArInflateError);
  EXPECT_EQ(read(),
            "INFLATING STREAM...\r\nNeed to recompile the app with UseLogging turned on\r\n"
            "Internal exception raised: starting new block, but invalid block type [Inflate]\r\n");
  std::remove(path.c_str());
}

TEST(Deflate, ABlockThatEndsWhileAMatchIsPendingStoresTheRightBytesNext) {
  // Bytes without any repeated three-byte sequence, except: at 32767 a three-byte match
  // that a four-byte match at 32768 replaces. The literal for 32767 is the block's
  // 32768th token, so the block ends while the longer match is pending, and both blocks
  // are stored (the bytes do not compress).
  std::mt19937 rng(21);
  const size_t p = 32767, size = 60000;
  Bytes in;
  std::vector<bool> seen(1 << 24);
  auto key = [&](size_t i) { return (in[i] << 16) | (in[i + 1] << 8) | in[i + 2]; };
  while (in.size() < size) {
    in.push_back(static_cast<uint8_t>(rng()));
    if (in.size() >= 3) {
      if (seen[static_cast<size_t>(key(in.size() - 3))])
        in.pop_back();
      else
        seen[static_cast<size_t>(key(in.size() - 3))] = true;
    }
  }
  // X Y Z at 30000 (then 0xEE), Y Z W V at 31000 (then 0xEF), X Y Z W V at p.
  const uint8_t x = 0x11, y = 0x22, z = 0x33, w = 0x44, v = 0x55;
  const uint8_t first[] = {x, y, z, 0xEE}, second[] = {y, z, w, v, 0xEF}, both[] = {x, y, z, w, v};
  std::copy(std::begin(first), std::end(first), in.begin() + 30000);
  std::copy(std::begin(second), std::end(second), in.begin() + 31000);
  std::copy(std::begin(both), std::end(both), in.begin() + static_cast<long>(p));
  const Bytes packed = Pack(in);
  EXPECT_EQ(packed[0] & 7, 0) << "the first block is stored";
  EXPECT_TRUE(Unpack(packed) == in);
}

// Items deflated one after another while a table keeper lives, as a save deflates them:
// each writes what it writes alone, and one whose end the first read (4 KiB) shows, its
// heads handed on, allocates little more than that read's buffer (with the hashes) and
// the output buffer, and per input byte its chains and tokens. (Its encoder used to take
// over 500 KiB for any input: the full window, chains, heads and token buffer.)
TEST(Deflate, UnderATableKeeperSmallInputsCostLittleAndWriteWhatTheyWriteAlone) {
  TArDeflateHelper fastest, maximum, maximum64;
  fastest.SetTargetMatchLength(4);
  fastest.SetChainSearchLimit(4);
  fastest.SetLazyMatchLimit(4);
  fastest.SetOptions(fastest.Options() & ~OptLazyMatch);
  for (TArDeflateHelper* h : {&maximum, &maximum64}) {
    h->SetTargetMatchLength(-1);
    h->SetChainSearchLimit(-1);
    h->SetLazyMatchLimit(-1);
  }
  maximum64.SetOptions(maximum64.Options() | OptDeflate64);
  maximum64.HistorySize = 65536;
  const TArDeflateHelper normal;
  const Bytes text = MakeText(200000, 8);
  const auto part = [&](size_t from, size_t size) { return Bytes(text.begin() + from, text.begin() + from + size); };
  struct TItem {
    Bytes Input;
    const TArDeflateHelper* Options;
  };
  // Small pieces of one text after longer ones of it: a head entry left over would lead
  // into the same words.
  const std::vector<TItem> items = {
      {part(0, 150000), &normal},       {part(70000, 60), &normal},
      {MakeRandom(40, 7), &normal},     {Bytes(), &normal},
      {part(70000, 1000), &maximum},    {MakeBinary(3000, 5), &fastest},
      {MakeRuns(90000, 6), &maximum64}, {part(70010, 100), &maximum64},
      {part(0, 4095), &normal},         {part(100, 10), &fastest},
      {part(69000, 30000), &maximum},   {part(70000, 60), &normal},
  };
  std::vector<Bytes> alone;
  for (const TItem& item : items) alone.push_back(Pack(item.Input, *item.Options));
  TArDeflateTableKeeper keeper;
  Pack(Bytes(), maximum);  // the keeper's first encoder sets up both heads
  for (size_t i = 0; i < items.size(); ++i) {
    const Bytes& in = items[i].Input;
    TMemoryStream src = MemOf(in), dst;
    TArDeflateHelper h = *items[i].Options;
    int64_t allocated = 0;
    gAllocated = &allocated;
    Deflate(&src, &dst, &h);
    gAllocated = nullptr;
    EXPECT_TRUE(dst.Bytes() == alone[i]) << "item " << i;
    if (in.size() < 4096) { EXPECT_LT(allocated, 32768 + 16 * static_cast<int64_t>(in.size())) << "item " << i; }
  }
}
