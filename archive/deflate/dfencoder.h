// The encoder's pieces below Deflate: the input window with its hash chains and match
// search, the token buffer of one block with its symbol counts, the run-length coding
// of code lengths, and the package-merge generator of length-limited code lengths.
//
// Positions in the window are stream offsets, not addresses, so chains never need
// rebasing when the buffer slides: an entry older than the window start ends a walk
// exactly as an emptied entry would. The buffer is larger than the history needs, so
// slides (one move and one refill each) are rare; the search sees the same bytes either
// way, because the look-ahead it may use is capped by the longest match.
//
// A save of many small items builds one window per item, so what a window sets up is
// kept in proportion to its input: the buffer takes the size the history needs only
// when the first read (4 KiB) is filled, and an input that is all in after the first
// fill gets chains no longer than itself. The heads, whose size is the hash's, come from
// the current table keeper where it holds them (see dfdeflate.h) and go back to it
// emptied.
#pragma once
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>
#include "archive/deflate/dfbase.h"
#include "archive/deflate/dfbits.h"
#include "archive/deflate/dfhuff.h"

class TArDeflateTableKeeper;

inline uint16_t ArDfLoad16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

// Equal bytes of a and b from the start, at most limit; eight at a time.
inline int32_t ArDfMatchLength(const uint8_t* a, const uint8_t* b, int32_t limit) {
  int32_t n = 0;
  while (n + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) {
      x ^= y;
      return n + (std::endian::native == std::endian::little ? std::countr_zero(x) : std::countl_zero(x)) / 8;
    }
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

struct TArDfMatch {
  int32_t Length = 0;
  int32_t Distance = 0;
  uint8_t Literal = 0;
};

class TArDfInputWindow {
public:
  TArDfInputWindow(TStream* source, bool crc32, bool deflate64, int32_t chainLimit, int32_t windowSize,
                   int32_t progressTotal);
  ~TArDfInputWindow();
  TArDfInputWindow(const TArDfInputWindow&) = delete;
  TArDfInputWindow& operator=(const TArDfInputWindow&) = delete;

  void SetProgressHook(const TArProgressHook& hook) {
    hook_ = hook;
    reporting_ = hook_ && total_ > 0;
  }
  void SetChainLimit(int32_t limit) { chainLimit_ = limit; }

  // Inserts the current position and searches the chain for a match of at least 3 that
  // is longer than prevLength. (The search and the moves are defined below the class,
  // in this header, so that the encoder's loop compiles them in.)
  [[gnu::always_inline]] inline bool FindLongestMatch(int32_t targetLength, TArDfMatch& match, int32_t prevLength);
  // Moves on by count; insertCount is count (insert every position passed) or count - 1
  // (the current one is in already).
  inline void Advance(int32_t count, int32_t insertCount);
  void AdvanceOne() { Step(1); }
  uint8_t TakeLiteral() { return buf_[cur_++ - base_]; }
  int32_t LookAheadCount() const { return end_ - cur_ >= 3 ? 3 : static_cast<int32_t>(end_ - cur_); }
  uint32_t InputChecksum() const { return crc32_ ? ~checksum_ : checksum_; }
  int64_t StreamOffset() const { return cur_; }
  // Raw input bytes for stored blocks (at most 65,535): where the buffer still holds them,
  // in place (no copy); otherwise read again from the source.
  const uint8_t* RawBlock(int32_t count, int64_t offset);
  uint8_t ByteAt(int64_t offset) const { return buf_[offset - base_]; }
  // The size of the whole input once the source has ended, -1 before.
  int64_t FinalSize() const { return moreInput_ ? -1 : end_; }

private:
  void Step(int32_t count) {
    cur_ += count;
    if (reporting_) Progress(count);
    if (cur_ > slideAt_) Slide();
  }
  void Progress(int32_t count);
  // Brings the three-byte hashes up to the position `to` (exclusive).
  void HashUpTo(int64_t to);
  // Inserts the positions from .. to - 1, in order. The tables are taken into locals:
  // stores into them could otherwise alias the window's fields.
  [[gnu::always_inline]] void InsertRange(int64_t from, int64_t to) {
    uint32_t* const chain = chain_.data();
    uint32_t* const head = head_.get();
    const uint16_t* const hashes = hashes_.get() + (from - base_);
    const uint32_t mask = static_cast<uint32_t>(mask_);
    const uint32_t first = static_cast<uint32_t>(from), n = static_cast<uint32_t>(to - from);
    // A run of positions with one hash (a run of equal bytes) would pass each head
    // entry through memory to the next position; the newest one waits in a register
    // until the hash changes.
    uint32_t lastHash = hashes[0], last = head[lastHash];
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t hash = hashes[i];
      if (hash != lastHash) {
        head[lastHash] = last;
        last = head[hash];
        lastHash = hash;
      }
      chain[(first + i) & mask] = last;
      last = first + i;
    }
    head[lastHash] = last;
  }
  // The four-byte chain: keyed by a hash of a position's first four bytes, so that
  // positions sharing them share a chain. It is brought up to date only when a search
  // needs it (input without three-byte matches never does): positions older than the
  // history cannot be candidates and are left out, and every position caught up has
  // its four bytes in the buffer.
  void CatchUpDeep(int64_t to) {
    const int64_t from = std::max(deepNext_, to - windowSize_);
    if (from < to) InsertDeep(from, to);
    deepNext_ = to;
  }
  void InsertDeep(int64_t from, int64_t to) {
    uint32_t* const chain = deepChain_.data();
    uint32_t* const head = deepHead_.get();
    const uint8_t* p = buf_ + (from - base_);
    const uint32_t mask = static_cast<uint32_t>(mask_);
    for (uint32_t pos = static_cast<uint32_t>(from), stop = static_cast<uint32_t>(to); pos != stop; ++pos, ++p) {
      const uint32_t key = DeepKey(p);
      chain[pos & mask] = head[key];
      head[key] = pos;
    }
  }
  static uint32_t DeepKey(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return (v * 0x9E3779B1u) >> (32 - DeepHashBits);
  }
  static bool Found(TArDfMatch& match, int32_t best, int32_t distance, int32_t prevLength) {
    if (best < 3 || best <= prevLength) return false;
    match.Length = best;
    match.Distance = distance;
    return true;
  }
  void Slide();
  void ReadMore();
  // Moves the bytes from keepFrom on (and their hashes) into a buffer of `size`.
  void Reallocate(int64_t size, int64_t keepFrom);
  void SetUpTables();
  void TakeHead(std::unique_ptr<uint32_t[]>& head, std::unique_ptr<uint32_t[]>* kept, size_t size, bool deep);
  void GiveHead(std::unique_ptr<uint32_t[]>& head, std::unique_ptr<uint32_t[]>& kept, size_t size, bool deep);
  // Empties the slots of a small input's positions (by the hash, or the four-byte key).
  void EmptySlots(uint32_t* head, bool deep) const;

  std::unique_ptr<uint8_t[]> buffer_;
  uint8_t* buf_;  // buf_[0] holds the byte at stream offset base_
  // The three-byte hash of each position (indexed as buf_), made for all the bytes a
  // read brings in one pass that works on many positions at a time; inserts and
  // searches then only look them up. A position gets its hash once its three bytes are
  // in (at the source's end, with whatever the buffer holds past it, as the search
  // always had; no search reaches those last two positions).
  std::unique_ptr<uint16_t[]> hashes_;
  int64_t hashedEnd_ = 0;  // the first position without its hash
  int64_t base_ = 0;
  int64_t bufSize_;
  int64_t advanced_ = 0;  // for progress
  // The tuning the search reads at every position is kept 64 bits wide: the loop's
  // 32-bit stores (counts, chain entries) then cannot alias it.
  int64_t chainLimit_;
  // Positions modulo 2^32 (0xFFFFFFFF before the first insert); a candidate is taken by
  // its distance, which must lie within the history and grow along the walk. The chain
  // has a slot per position of the history, or per position of an input shorter than
  // that (mask_ is then the input's size to a power of two, less one): either way each
  // position has the slot it would have in the full chain.
  std::vector<uint32_t> chain_;
  static constexpr size_t HeadSize = 16384;
  std::unique_ptr<uint32_t[]> head_;
  // With a chain limit the history cannot exhaust, a second chain over four-byte keys
  // (entries as in chain_) lets searches skip candidates that share only three bytes.
  static constexpr int32_t DeepHashBits = 15;
  static constexpr size_t DeepHeadSize = size_t(1) << DeepHashBits;
  // Positions the four-byte chain must lag behind before a search tries to finish on the
  // three-byte chain instead of catching up: well beyond a usual match, so that text
  // (searched nearly everywhere) keeps catching up at once.
  static constexpr int64_t DeepTrialFrom = 128;
  static constexpr int32_t DeepTrialBudget = 8;
  bool deep_ = false;
  int64_t deepNext_ = 0;  // the first position not yet on the four-byte chain
  std::vector<uint32_t> deepChain_;
  std::unique_ptr<uint32_t[]> deepHead_;
  // The keeper current at set-up, which gets the heads back; and whether the input is
  // small: all of it, at most the first read's size, was in by then.
  TArDeflateTableKeeper* keeper_ = nullptr;
  bool small_ = false;
  std::unique_ptr<uint8_t[]> reread_;  // for RawBlock, made when first needed
  uint32_t checksum_;
  int64_t cur_ = 0;  // next byte to encode
  int64_t end_ = 0;  // one past the last byte read
  // The window slides once the current position passes this: the longest match (and a
  // little) must stay ahead while the source has more.
  int64_t slideAt_ = INT64_MAX;
  int64_t longest_;
  bool moreInput_ = true;
  TArProgressHook hook_;
  bool reporting_ = false;
  TStream* source_;
  int64_t sourceStart_;
  int32_t total_;
  bool crc32_;
  int64_t mask_;
  int64_t windowSize_;
};

// One block's tokens and symbol counts.
class TArDfLZStream {
public:
  static constexpr int32_t MaxTokens = 32768;

  TArDfLZStream(TArDfInputWindow* window, TArLogger* logger, bool deflate64);
  bool AppendLiteral(uint8_t value) {
    ArDfCheck(ptr_ + 1 <= limit_, "TArDfLZStream.AppendLiteral: the token buffer is full", "ArDfEnc");
    *ptr_++ = value;
    ++literalCount_;
    ++litCounts_[value];
    ++covered_;
    return BlockFull();
  }
  bool AppendMatch(int32_t length, int32_t distance) {
    ArDfCheck(ptr_ + 3 <= limit_, "TArDfLZStream.AppendMatch: the token buffer is full", "ArDfEnc");
    const int32_t ls = length >= 258 ? 28 : translator_.LengthSymbol(length) - 257;
    const int32_t ds = translator_.DistanceSymbol(distance);
    ptr_[0] = static_cast<uint16_t>(MatchFlag | ls | (ds << 5));
    ptr_[1] = static_cast<uint16_t>(length - 1);
    ptr_[2] = static_cast<uint16_t>(distance - 1);
    ptr_ += 3;
    ++matchCount_;
    covered_ += length;
    ++litCounts_[257 + ls];
    ++distCounts_[ds];
    return BlockFull();
  }
  void ResetBlock(int64_t startOffset);
  int32_t CoveredBytes() const { return covered_; }
  void Encode(TArDfOutBitStream& out, const TArDfDecodeHuffmanTree& litTree, bool deflate64,
              const TArDfDecodeHuffmanTree& distTree);
  int32_t EstimatedSize() const;
  int64_t StaticBitCount() const;
  // The block's next `count` bytes as they were read (see RawBlock).
  const uint8_t* TakeStoredBytes(int32_t count);

  const int32_t* LitCounts() const { return litCounts_; }
  const int32_t* DistCounts() const { return distCounts_; }
  int32_t MatchCount() const { return matchCount_; }
  int32_t LiteralCount() const { return literalCount_; }

private:
  bool BlockFull() const {
    const int32_t tokens = literalCount_ + matchCount_;
    if ((tokens & 8191) == 0 && matchCount_ < literalCount_ && EstimatedSize() < covered_ / 2) return true;
    return matchCount_ >= MaxTokens || tokens >= MaxTokens;
  }

  // Tokens in 16-bit units (so that storing them cannot alias the counts or the
  // window's state): a literal is its byte; a match is MatchFlag with its length
  // symbol's offset from 257 in bits 0..4 and its distance symbol in bits 5..9,
  // followed by length - 1 and distance - 1.
  static constexpr uint16_t MatchFlag = 0x8000;
  uint16_t* ptr_;
  int32_t distCounts_[32];
  int32_t matchCount_ = 0;
  int32_t litCounts_[286];
  int32_t literalCount_ = 0;
  [[maybe_unused]] TArLogger* logger_;  // kept, not written to
  TArDfInputWindow* window_;
  int64_t startOffset_ = 0;
  int32_t covered_ = 0;
  std::unique_ptr<uint16_t[]> tokens_;
  uint16_t* limit_;
  bool deflate64_;
  const TArDfTranslator& translator_;
};

// Run-length coded code lengths (symbols 0..18 with their extra values).
class TArDfCodeLenStream {
public:
  void Build(const uint8_t* lengths, int32_t count);
  void Encode(TArDfOutBitStream& out, const TArDfDecodeHuffmanTree& tree) const;
  const int32_t* Counts() const { return counts_; }
  // Tokens: a length 0..15 alone, or 16/17/18 followed by its extra value.
  const std::vector<uint8_t>& Tokens() const { return tokens_; }

private:
  void Emit(int32_t symbol) {
    tokens_.push_back(static_cast<uint8_t>(symbol));
    ++counts_[symbol];
  }
  void Emit(int32_t symbol, int32_t extra) {
    Emit(symbol);
    tokens_.push_back(static_cast<uint8_t>(extra));
  }
  int32_t counts_[19] = {};
  std::vector<uint8_t> tokens_;
};

// Length-limited code lengths for the weights (package-merge); written to
// lengths[start ..]. A symbol with weight 0 gets length 0, except that a set with no
// used symbol gives the first symbol length 1.
void GenerateCodeLengths(int32_t maxLength, const int32_t* weights, int32_t count, uint8_t* lengths, int32_t start,
                         TArLogger* logger);

// ---------------------------------------------------------------------------------------
// The window's hot path, compiled into the encoder's loop.

void TArDfInputWindow::Advance(int32_t count, int32_t insertCount) {
  ArDfCheck(count <= end_ - cur_, "TArDfInputWindow.Advance: seem to be advancing into the unknown", "ArDfInW");
  ArDfCheck(insertCount == count || insertCount == count - 1,
            "TArDfInputWindow.Advance: the parameters are plain wrong", "ArDfInW");
  InsertRange(cur_ + (count - insertCount), cur_ + count);
  Step(count);
}

// Walks a chain from `cand`, nearest candidate first, for a match longer than `best`
// (at most `avail`, stopping at `target`); `budget` counts the candidates examined.
// Candidates lie at most `reach` back and never before the stream's start; each must be
// older than the one before (`lastDistance` holds the distance of the one before `cand`,
// 0 at a chain's start, and on return that of the last one examined), since a slot
// reused by a newer position would lead back into candidates already seen.
inline void ArDfWalkChain(const uint32_t* chain, uint32_t mask, uint32_t cand, const uint8_t* s, uint32_t here,
                          uint32_t reach, int32_t avail, int32_t target, int32_t& budget, int32_t& best,
                          int32_t& distance, uint32_t& lastDistance) {
  const uint16_t head = ArDfLoad16(s);
  uint16_t tail = ArDfLoad16(s + best - 1);
  while (budget > 0) {
    const uint32_t d = here - cand;
    if (d - lastDistance - 1 >= reach - lastDistance) break;  // d not in (lastDistance, reach]
    const uint8_t* const p = s - d;
    const uint32_t next = chain[cand & mask];
    // The bytes around the best length so far tell candidates apart sooner than the
    // first two, which the shared hash makes likely to match anyway.
    if (ArDfLoad16(p + best - 1) == tail && ArDfLoad16(p) == head) {
      const int32_t len = 2 + ArDfMatchLength(p + 2, s + 2, avail - 2);
      if (len > best) {
        best = len;
        distance = static_cast<int32_t>(d);
        if (best >= target) break;
        tail = ArDfLoad16(s + best - 1);
      }
    }
    --budget;
    lastDistance = d;
    cand = next;
  }
}

bool TArDfInputWindow::FindLongestMatch(int32_t targetLength, TArDfMatch& match, int32_t prevLength) {
  InsertRange(cur_, cur_ + 1);
  const uint8_t* const s = buf_ + (cur_ - base_);
  // The next positions' walks are wanted soon; asking for them now hides their latency
  // behind this search. Each walk goes from link to link, every one a load that waits
  // for the one before, so the links are fetched a stage ahead: the first link of the
  // position after next, and the next position's first two candidates with their
  // links (the first link was asked for one position ago). Where a match moves the
  // search on, the hints are merely wasted.
  {
    const uint32_t mask = static_cast<uint32_t>(mask_);
    const uint16_t* const hashes = hashes_.get() + (cur_ - base_);
    __builtin_prefetch(&chain_[head_[hashes[2]] & mask]);
    const uint32_t first = head_[hashes[1]], second = chain_[first & mask];
    __builtin_prefetch(&chain_[second & mask]);
    // (Addresses, not pointers: a candidate may lie outside the buffer.)
    const uint32_t next = static_cast<uint32_t>(cur_ + 1);
    __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(s) + 1 - (next - first)));
    __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(s) + 1 - (next - second)));
  }
  match.Literal = *s;
  match.Length = 0;
  const int32_t avail = static_cast<int32_t>(std::min<int64_t>(longest_, end_ - cur_));
  const int32_t target = std::min(targetLength, avail);
  // No match can be longer than what is available: when the match held from the
  // previous position already reaches that far, no candidate can beat it and the walk
  // is skipped (a run of equal bytes would otherwise compare the whole chain in vain).
  if (prevLength >= avail) return false;
  int32_t best = prevLength == 0 ? 2 : prevLength;
  int32_t budget = static_cast<int32_t>(best >= target ? chainLimit_ / 4 : chainLimit_);
  const uint32_t reach = static_cast<uint32_t>(std::min<int64_t>(cur_, windowSize_));
  const uint32_t here = static_cast<uint32_t>(cur_);
  const uint32_t mask = static_cast<uint32_t>(mask_);
  int32_t distance = 0;
  if (deep_ && avail >= 4 && chainLimit_ / 4 >= windowSize_) {
    // The budget cannot run out before the history does, so the answer is the nearest
    // of the longest matches in the history, whichever chain leads to it. Without a
    // match held, the three-byte chain gives the nearest match of three bytes or more
    // (none at all ends the search). Every longer match further back is on the
    // four-byte chain, in the same order, without the candidates that share only
    // three bytes.
    uint32_t walked = 0;  // the three-byte chain has been searched this far back
    if (prevLength == 0)
      ArDfWalkChain(chain_.data(), mask, chain_[here & mask], s, here, reach, avail, 3, budget, best, distance, walked);
    if (prevLength > 0 || (best >= 3 && best < target)) {
      // Where the four-byte chain lags far behind (input whose three-byte matches are
      // rare, such as random bytes), finishing the walk on the three-byte chain is
      // usually cheaper than catching up: it is tried with a budget of a fraction of
      // the catch-up it may save, and whatever it examined the four-byte walk skips.
      walked = static_cast<uint32_t>(distance);
      const int64_t behind = cur_ + 1 - std::max(deepNext_, cur_ + 1 - windowSize_);
      if (behind > DeepTrialFrom) {
        int32_t trial = DeepTrialBudget;
        ArDfWalkChain(chain_.data(), mask, chain_[(here - walked) & mask], s, here, reach, avail, target, trial, best,
                      distance, walked);
        if (trial > 0 || best >= target) return Found(match, best, distance, prevLength);
      }
      CatchUpDeep(cur_ + 1);
      // Skip what the three-byte chain has shown.
      const uint32_t none = here + 1;  // a candidate that ends any walk
      uint32_t cand = deepChain_[here & mask];
      for (uint32_t last = 0; cand != none;) {
        const uint32_t d = here - cand;
        if (d - last - 1 >= reach - last) {
          cand = none;
        } else if (d > walked) {
          break;
        } else {
          last = d;
          cand = deepChain_[cand & mask];
        }
      }
      uint32_t last = 0;
      ArDfWalkChain(deepChain_.data(), mask, cand, s, here, reach, avail, target, budget, best, distance, last);
    }
  } else {
    uint32_t last = 0;
    ArDfWalkChain(chain_.data(), mask, chain_[here & mask], s, here, reach, avail, target, budget, best, distance,
                  last);
  }
  return Found(match, best, distance, prevLength);
}
