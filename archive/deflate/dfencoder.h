// The encoder's pieces below Deflate: the input window with its hash chains and match
// search, the token buffer of one block with its symbol counts, the run-length coding
// of code lengths, and the package-merge generator of length-limited code lengths.
//
// Positions in the window are stream offsets, not addresses, so chains never need
// rebasing when the buffer slides: an entry older than the window start ends a walk
// exactly as an emptied entry would. The buffer is larger than the history needs, so
// slides (one move and one refill each) are rare; the search sees the same bytes either
// way, because the look-ahead it may use is capped by the longest match.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>
#include "archive/deflate/dfbase.h"
#include "archive/deflate/dfbits.h"
#include "archive/deflate/dfhuff.h"

struct TArDfMatch {
  int32_t Length = 0;
  int32_t Distance = 0;
  uint8_t Literal = 0;
};

class TArDfInputWindow {
public:
  TArDfInputWindow(TStream* source, bool crc32, bool deflate64, int32_t chainLimit, int32_t windowSize,
                   int32_t progressTotal);
  TArDfInputWindow(const TArDfInputWindow&) = delete;
  TArDfInputWindow& operator=(const TArDfInputWindow&) = delete;

  void SetProgressHook(const TArProgressHook& hook) {
    hook_ = hook;
    reporting_ = hook_ && total_ > 0;
  }
  void SetChainLimit(int32_t limit) { chainLimit_ = limit; }

  // Inserts the current position and searches the chain for a match of at least 3 that
  // is longer than prevLength.
  bool FindLongestMatch(int32_t targetLength, TArDfMatch& match, int32_t prevLength);
  // Moves on by count; insertCount is count (insert every position passed) or count - 1
  // (the current one is in already).
  void Advance(int32_t count, int32_t insertCount);
  void AdvanceOne() { Step(1); }
  uint8_t TakeLiteral() { return buf_[cur_++ - base_]; }
  int32_t LookAheadCount() const { return static_cast<int32_t>(std::min<int64_t>(end_ - cur_, 3)); }
  uint32_t InputChecksum() const { return crc32_ ? ~checksum_ : checksum_; }
  int64_t StreamOffset() const { return cur_; }
  // Raw input bytes for stored blocks: from memory while the buffer still holds them,
  // otherwise read again from the source.
  void ReadRawBlock(void* buffer, int32_t count, int64_t offset);
  uint8_t ByteAt(int64_t offset) const { return buf_[offset - base_]; }

private:
  void Step(int32_t count) {
    cur_ += count;
    if (reporting_) Progress(count);
    // Keep at least the longest match ahead while the source has more.
    if (moreInput_ && end_ - cur_ < longest_ + 8) Slide();
  }
  void Progress(int32_t count);
  void Insert(int64_t pos) {
    hash_ = ((hash_ << 5) ^ buf_[pos + 2 - base_]) & 0x3FFF;
    chain_[static_cast<size_t>(pos & mask_)] = head_[hash_];
    head_[hash_] = static_cast<uint32_t>(pos);
  }
  void Slide();
  void ReadMore();

  std::unique_ptr<uint8_t[]> buffer_;
  uint8_t* buf_;  // buf_[0] holds the byte at stream offset base_
  int64_t base_ = 0;
  int64_t bufSize_;
  int64_t advanced_ = 0;  // for progress
  int32_t chainLimit_;
  // Positions modulo 2^32 (0xFFFFFFFF before the first insert); a candidate is taken by
  // its distance, which must lie within the history and grow along the walk.
  std::vector<uint32_t> chain_;
  std::vector<uint32_t> head_;
  uint32_t hash_ = 0;
  uint32_t checksum_;
  int64_t cur_ = 0;  // next byte to encode
  int64_t end_ = 0;  // one past the last byte read
  int32_t longest_;
  bool moreInput_ = true;
  TArProgressHook hook_;
  bool reporting_ = false;
  TStream* source_;
  int64_t sourceStart_;
  int32_t total_;
  bool crc32_;
  int64_t mask_;
  int32_t windowSize_;
};

// One block's tokens and symbol counts.
class TArDfLZStream {
public:
  static constexpr int32_t MaxTokens = 32768;

  TArDfLZStream(TArDfInputWindow* window, TArLogger* logger, bool deflate64);
  bool AppendLiteral(uint8_t value) {
    ArDfCheck(ptr_ + 2 <= limit_, "TArDfLZStream.AppendLiteral: the token buffer is full", "ArDfEnc");
    *ptr_++ = 1;
    *ptr_++ = value;
    ++literalCount_;
    ++litCounts_[value];
    ++covered_;
    return BlockFull();
  }
  bool AppendMatch(int32_t length, int32_t distance);
  void ResetBlock(int64_t startOffset);
  int32_t CoveredBytes() const { return covered_; }
  void Encode(TArDfOutBitStream& out, const TArDfDecodeHuffmanTree& litTree, bool deflate64,
              const TArDfDecodeHuffmanTree& distTree);
  int32_t EstimatedSize() const;
  int64_t StaticBitCount() const;
  void ReadStoredBytes(void* buffer, int32_t count);

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

  uint8_t* ptr_;
  int32_t distCounts_[32];
  int32_t matchCount_ = 0;
  int32_t litCounts_[286];
  int32_t literalCount_ = 0;
  [[maybe_unused]] TArLogger* logger_;  // kept, not written to
  TArDfInputWindow* window_;
  int64_t startOffset_ = 0;
  int32_t covered_ = 0;
  std::unique_ptr<uint8_t[]> tokens_;
  uint8_t* limit_;
  bool deflate64_;
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
