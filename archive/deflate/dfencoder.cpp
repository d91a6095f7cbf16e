#include "archive/deflate/dfencoder.h"
#include "archive/deflate/dfdeflate.h"
#include <algorithm>
#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
constexpr const char* kEncUnit = "ArDfEnc";
// Bytes the buffer holds beyond the history and the longest match; slides happen once
// per this many input bytes.
constexpr int64_t kSlideSpan = 256 * 1024;
constexpr int64_t kPad = 64;  // zeroed room for word-wise reads past the look-ahead
// The buffer's size until the first read has shown the input to be longer. An input of
// at most this size is small: its head slots are emptied one by one.
constexpr int64_t kFirstRead = 4096;
constexpr uint32_t kNoPosition = 0xFFFFFFFFu;

thread_local TArDeflateTableKeeper* tCurrentKeeper = nullptr;

}  // namespace

TArDeflateTableKeeper::TArDeflateTableKeeper() : outer_(tCurrentKeeper) { tCurrentKeeper = this; }

TArDeflateTableKeeper::~TArDeflateTableKeeper() { tCurrentKeeper = outer_; }

TArDeflateTableKeeper* TArDeflateTableKeeper::Current() { return tCurrentKeeper; }

// ---------------------------------------------------------------------------------------
// Input window

TArDfInputWindow::TArDfInputWindow(TStream* source, bool crc32, bool deflate64, int32_t chainLimit, int32_t windowSize,
                                   int32_t progressTotal)
    : chainLimit_(chainLimit),
      checksum_(crc32 ? 0xFFFFFFFFu : 1u),
      longest_(deflate64 ? 65536 : 258),
      source_(source),
      total_(progressTotal),
      crc32_(crc32),
      mask_(windowSize - 1),
      windowSize_(windowSize) {
  bufSize_ = kFirstRead;
  buffer_.reset(new uint8_t[static_cast<size_t>(bufSize_ + kPad)]);
  std::memset(buffer_.get(), 0, static_cast<size_t>(bufSize_ + kPad));
  buf_ = buffer_.get();
  hashes_.reset(new uint16_t[static_cast<size_t>(bufSize_)]);
  deep_ = chainLimit / 4 >= windowSize;
  sourceStart_ = source->Seek(0, soFromCurrent);
  ReadMore();
  SetUpTables();
}

TArDfInputWindow::~TArDfInputWindow() {
  if (!keeper_) return;
  GiveHead(head_, keeper_->Head, HeadSize, false);
  if (deep_) GiveHead(deepHead_, keeper_->DeepHead, DeepHeadSize, true);
}

void TArDfInputWindow::SetUpTables() {
  const int64_t size = FinalSize();
  small_ = size >= 0 && size <= kFirstRead;
  const int64_t slots =
      size < 0 ? windowSize_ : std::min<int64_t>(windowSize_, std::bit_ceil(uint64_t(std::max<int64_t>(size, 1))));
  mask_ = slots - 1;
  chain_.assign(static_cast<size_t>(slots), kNoPosition);
  if (deep_) deepChain_.assign(static_cast<size_t>(slots), kNoPosition);
  keeper_ = TArDeflateTableKeeper::Current();
  TakeHead(head_, keeper_ ? &keeper_->Head : nullptr, HeadSize, false);
  if (deep_) TakeHead(deepHead_, keeper_ ? &keeper_->DeepHead : nullptr, DeepHeadSize, true);
}

// A kept head comes empty. A new one is filled, unless the input is small and no keeper
// gets the head back: a slot is read only for the hash (or key) of a position of the
// input, by the insert of that position and by the look-ahead hints, which stay before
// the input's end.
void TArDfInputWindow::TakeHead(std::unique_ptr<uint32_t[]>& head, std::unique_ptr<uint32_t[]>* kept, size_t size,
                                bool deep) {
  if (kept && *kept) {
    head = std::move(*kept);
    return;
  }
  head.reset(new uint32_t[size]);
  if (small_ && !kept)
    EmptySlots(head.get(), deep);
  else
    std::fill_n(head.get(), size, kNoPosition);
}

// A head goes back empty: a small input has written only the slots of its own positions,
// a larger one may have written any. An entry left over would be taken for a position
// of the next input, never a match there (its bytes differ from those searched, or the
// chain would hold that position nearer) but a walk for nothing.
void TArDfInputWindow::GiveHead(std::unique_ptr<uint32_t[]>& head, std::unique_ptr<uint32_t[]>& kept, size_t size,
                                bool deep) {
  if (kept || !head) return;
  if (small_)
    EmptySlots(head.get(), deep);
  else
    std::fill_n(head.get(), size, kNoPosition);
  kept = std::move(head);
}

// A small input is never slid nor read again, so the bytes past its end, which the keys
// of its last positions take in, are the same whenever the keys are made.
void TArDfInputWindow::EmptySlots(uint32_t* head, bool deep) const {
  for (int64_t i = 0; i < end_; ++i) head[deep ? DeepKey(buf_ + i) : hashes_[i]] = kNoPosition;
}

void TArDfInputWindow::ReadMore() {
  // Reads until the buffer is full or the source has ended, whatever each read brings. An
  // input that fills the first read gets at once what the history and one slide need;
  // the buffer grows to its full size in the first slide.
  const int64_t firstFill = windowSize_ + 16384 + longest_;
  while (moreInput_) {
    if (end_ - base_ == bufSize_) {
      if (bufSize_ >= firstFill) break;
      Reallocate(firstFill, base_);
    }
    uint8_t* at = buf_ + (end_ - base_);
    const int32_t n = source_->Read(at, static_cast<int32_t>(std::min<int64_t>(bufSize_ - (end_ - base_), 1 << 30)));
    if (n <= 0) {
      moreInput_ = false;
      break;
    }
    if (crc32_)
      UpdateCrc32(checksum_, at, n);
    else
      UpdateAdler32(checksum_, at, n);
    end_ += n;
  }
  slideAt_ = moreInput_ ? end_ - longest_ - 8 : INT64_MAX;
  HashUpTo(moreInput_ ? end_ - 2 : end_);
}

void TArDfInputWindow::HashUpTo(int64_t to) {
  // A position's hash keeps only the low four bits of its first byte, so it is the
  // three bytes taken directly: sixteen positions at a time in 16-bit lanes where the
  // processor has them, each reading at most two bytes past the last position (the pad
  // is there for that).
  const uint8_t* const p = buf_ - base_;
  uint16_t* const h = hashes_.get() - base_;
  int64_t i = hashedEnd_;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128(), mask = _mm_set1_epi16(0x3FFF);
  for (; i + 16 <= to; i += 16) {
    const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
    const __m128i b2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 2));
    const __m128i low = _mm_xor_si128(
        _mm_xor_si128(_mm_slli_epi16(_mm_unpacklo_epi8(b0, zero), 10), _mm_slli_epi16(_mm_unpacklo_epi8(b1, zero), 5)),
        _mm_unpacklo_epi8(b2, zero));
    const __m128i high = _mm_xor_si128(
        _mm_xor_si128(_mm_slli_epi16(_mm_unpackhi_epi8(b0, zero), 10), _mm_slli_epi16(_mm_unpackhi_epi8(b1, zero), 5)),
        _mm_unpackhi_epi8(b2, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(h + i), _mm_and_si128(low, mask));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(h + i + 8), _mm_and_si128(high, mask));
  }
#endif
  for (; i < to; ++i)
    h[i] = static_cast<uint16_t>(
        ((static_cast<uint32_t>(p[i]) << 10) ^ (static_cast<uint32_t>(p[i + 1]) << 5) ^ p[i + 2]) & 0x3FFF);
  hashedEnd_ = std::max(hashedEnd_, to);
}

void TArDfInputWindow::Reallocate(int64_t size, int64_t keepFrom) {
  const int64_t shift = keepFrom - base_, kept = end_ - keepFrom;
  std::unique_ptr<uint8_t[]> larger(new uint8_t[static_cast<size_t>(size + kPad)]);
  std::memcpy(larger.get(), buf_ + shift, static_cast<size_t>(kept));
  std::memset(larger.get() + kept, 0, static_cast<size_t>(size + kPad - kept));
  std::unique_ptr<uint16_t[]> hashes(new uint16_t[static_cast<size_t>(size)]);
  std::memcpy(hashes.get(), hashes_.get() + shift, sizeof(uint16_t) * static_cast<size_t>(hashedEnd_ - keepFrom));
  buffer_ = std::move(larger);
  buf_ = buffer_.get();
  hashes_ = std::move(hashes);
  bufSize_ = size;
  base_ = keepFrom;
}

void TArDfInputWindow::Slide() {
  const int64_t keepFrom = std::max(base_, cur_ - windowSize_);
  const int64_t shift = keepFrom - base_;
  const int64_t fullSize = windowSize_ + kSlideSpan + longest_;
  if (bufSize_ < fullSize) {
    Reallocate(fullSize, keepFrom);
  } else if (shift > 0) {
    std::memmove(buf_, buf_ + shift, static_cast<size_t>(end_ - keepFrom));
    std::memmove(hashes_.get(), hashes_.get() + shift, sizeof(uint16_t) * static_cast<size_t>(hashedEnd_ - keepFrom));
    base_ = keepFrom;
  }
  ReadMore();
}

void TArDfInputWindow::Progress(int32_t count) {
  advanced_ += count;
  if ((advanced_ & 4095) == 0) hook_(ArDfPercent(advanced_, total_));
}

const uint8_t* TArDfInputWindow::RawBlock(int32_t count, int64_t offset) {
  if (offset >= base_ && offset + count <= end_) return buf_ + (offset - base_);
  if (!reread_) reread_.reset(new uint8_t[65535]);
  const int64_t here = source_->Seek(0, soFromCurrent);
  source_->Seek(sourceStart_ + offset, soFromBeginning);
  source_->ReadBuffer(reread_.get(), count);
  source_->Seek(here, soFromBeginning);
  return reread_.get();
}

// ---------------------------------------------------------------------------------------
// LZ token stream

TArDfLZStream::TArDfLZStream(TArDfInputWindow* window, TArLogger* logger, bool deflate64)
    : logger_(logger), window_(window), deflate64_(deflate64), translator_(ArDfTranslator()) {
  // Room for a full block of matches and the few tokens that may follow the token that
  // filled it. A block never has more units than bytes (a match's three cover three or
  // more), so an input that is all in needs no more room than its size.
  size_t size = static_cast<size_t>(MaxTokens + 16) * 3;
  if (window && window->FinalSize() >= 0) size = std::min(size, static_cast<size_t>(window->FinalSize()) + 16);
  tokens_.reset(new uint16_t[size]);
  limit_ = tokens_.get() + size;
  ResetBlock(window ? window->StreamOffset() : 0);
}

void TArDfLZStream::ResetBlock(int64_t startOffset) {
  ptr_ = tokens_.get();
  matchCount_ = literalCount_ = covered_ = 0;
  startOffset_ = startOffset;
  std::memset(litCounts_, 0, sizeof litCounts_);
  std::memset(distCounts_, 0, sizeof distCounts_);
  litCounts_[256] = 1;
}

int32_t TArDfLZStream::EstimatedSize() const {
  int64_t bits = 13LL * matchCount_ + 8LL * literalCount_;
  for (int32_t d = 4; d < 32; ++d) bits += static_cast<int64_t>(distCounts_[d]) * ArDfDistanceExtraBits[d];
  return static_cast<int32_t>(bits / 8);
}

int64_t TArDfLZStream::StaticBitCount() const {
  int64_t bits = 0;
  for (int32_t s = 0; s < 144; ++s) bits += 8LL * litCounts_[s];
  for (int32_t s = 144; s < 256; ++s) bits += 9LL * litCounts_[s];
  bits += 7LL * litCounts_[256];
  for (int32_t s = 257; s < 285; ++s)
    bits += static_cast<int64_t>(litCounts_[s]) * ((s < 280 ? 7 : 8) + ArDfLengthExtraBits[s - 257]);
  bits += static_cast<int64_t>(litCounts_[285]) * (deflate64_ ? 24 : 8);
  for (int32_t d = 0; d < 32; ++d) bits += static_cast<int64_t>(distCounts_[d]) * (5 + ArDfDistanceExtraBits[d]);
  return bits;
}

void TArDfLZStream::Encode(TArDfOutBitStream& out, const TArDfDecodeHuffmanTree& litTree, bool deflate64,
                           const TArDfDecodeHuffmanTree& distTree) {
  const uint32_t* const lit = litTree.EncodeTable();
  const uint32_t* const dist = distTree.EncodeTable();
  TArDfOutBitStream::TState w = out.Take();
  for (const uint16_t* p = tokens_.get(); p < ptr_;) {
    if (!(p[0] & MatchFlag)) {
      const uint32_t e = lit[p[0]];
      out.Put(w, e & 0xFFFF, static_cast<int32_t>((e >> 16) & 0xFF));
      ++p;
      continue;
    }
    const int32_t ls = 257 + (p[0] & 31), ds = (p[0] >> 5) & 31;
    const int32_t length = p[1] + 1, distance = p[2] + 1;
    p += 3;
    uint32_t e = lit[ls];
    int32_t codeLen = static_cast<int32_t>((e >> 16) & 0xFF);
    uint32_t bits = e & 0xFFFF;
    if (ls == 285) {
      if (deflate64) {
        bits |= static_cast<uint32_t>(length - 3) << codeLen;
        codeLen += 16;
      }
    } else if (const int32_t extra = ArDfLengthExtraBits[ls - 257]) {
      bits |= static_cast<uint32_t>(length - ArDfLengthBase[ls - 257]) << codeLen;
      codeLen += extra;
    }
    out.Put(w, bits, codeLen);
    if (!deflate64 && ds > 29) {
      out.Give(w);
      ArDfAssertFailed("TArDfLZStream.Encode: a Deflate64 distance symbol has been generated for Deflate", kEncUnit);
    }
    e = dist[ds];
    codeLen = static_cast<int32_t>((e >> 16) & 0xFF);
    bits = (e & 0xFFFF) | ((static_cast<uint32_t>(distance) - ArDfDistanceBase[ds]) << codeLen);
    out.Put(w, bits, codeLen + ArDfDistanceExtraBits[ds]);
  }
  out.Give(w);
}

const uint8_t* TArDfLZStream::TakeStoredBytes(int32_t count) {
  const uint8_t* const bytes = window_->RawBlock(count, startOffset_);
  startOffset_ += count;
  return bytes;
}

// ---------------------------------------------------------------------------------------
// Code-length run-length coding

void TArDfCodeLenStream::Build(const uint8_t* lengths, int32_t count) {
  std::memset(counts_, 0, sizeof counts_);
  tokens_.clear();
  int32_t state = 0, run = 0, remembered = -1;
  auto flushRun = [&] {
    if (remembered == 0) {
      while (run >= 11) {
        const int32_t n = std::min(run, 138);
        Emit(18, n - 11);
        run -= n;
      }
      if (run >= 3)
        Emit(17, run - 3);
      else
        for (int32_t i = 0; i < run; ++i) Emit(0);
    } else {
      Emit(remembered);
      --run;
      while (run >= 3) {
        const int32_t n = std::min(run, 6);
        Emit(16, n - 3);
        run -= n;
      }
      for (int32_t i = 0; i < run; ++i) Emit(remembered);
    }
    run = 0;
  };
  for (int32_t i = 0; i <= count; ++i) {
    const int32_t v = i < count ? lengths[i] : -2;  // the end marker differs from every length
    switch (state) {
      case 0:
        remembered = v;
        state = 1;
        break;
      case 1:
        if (v == remembered) {
          state = 2;
        } else {
          Emit(remembered);
          remembered = v;
        }
        break;
      case 2:
        if (v == remembered) {
          run = 3;
          state = 3;
        } else {
          Emit(remembered);
          Emit(remembered);
          remembered = v;
          state = 1;
        }
        break;
      default:
        if (v == remembered) {
          ++run;
        } else {
          flushRun();
          remembered = v;
          state = 1;
        }
    }
  }
}

void TArDfCodeLenStream::Encode(TArDfOutBitStream& out, const TArDfDecodeHuffmanTree& tree) const {
  static const int32_t extraBits[3] = {2, 3, 7};
  for (size_t i = 0; i < tokens_.size(); ++i) {
    const int32_t symbol = tokens_[i];
    const uint32_t e = tree.Encode(symbol);
    out.Put(e & 0xFFFF, static_cast<int32_t>((e >> 16) & 0xFF));
    if (symbol >= 16) out.Put(tokens_[++i], extraBits[symbol - 16]);
  }
}

// ---------------------------------------------------------------------------------------
// Package-merge

namespace {
struct TPmLeaf {
  uint64_t weight;
  int32_t symbol;
};

// Quicksort by weight (Hoare partition, the middle element's weight as pivot; the left
// part by recursion, the right part by iteration). Equal weights keep no particular
// order, and the code lengths depend on the order it leaves them in: this is the sort
// every encoder of this format must use to write the same bytes.
void SortByWeight(TPmLeaf* items, int32_t low, int32_t high) {
  do {
    int32_t i = low, j = high;
    const uint64_t pivot = items[(low + high) / 2].weight;
    do {
      while (items[i].weight < pivot) ++i;
      while (items[j].weight > pivot) --j;
      if (i <= j) {
        std::swap(items[i], items[j]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (low < j) SortByWeight(items, low, j);
    low = i;
  } while (low < high);
}
}  // namespace

// Package-merge without building the packages as trees. Each round's list is the sorted
// leaves merged with the pairs of the list before (a leaf first among equal weights);
// only its weights and which of its items are leaves are kept. The code length of a
// leaf is 1 plus the number of times it lies below one of the packages among the first
// 2n - 2 items of the last list. Those packages are the first ones of that list, so
// what lies below them is a prefix of the list before: twice as many items as there
// were packages. Going back round by round, each prefix holds a prefix of the sorted
// leaves (each of which gains one) and again a first run of packages.
void GenerateCodeLengths(int32_t maxLength, const int32_t* weights, int32_t count, uint8_t* lengths, int32_t start,
                         TArLogger*) {
  ArDfCheck(maxLength >= 1 && maxLength <= 15,
            "GenerateCodeLengths: the maximum code length should be in the range 1..15", "ArDfPkMg");
  ArDfCheck(count >= 1 && count <= 286, "GenerateCodeLengths: the weight array must have 1..286 elements", "ArDfPkMg");
  ArDfCheck(count < (1 << maxLength), "GenerateCodeLengths: the package-merge algorithm should always be feasible",
            "ArDfPkMg");
  uint8_t* const out = lengths + start;
  std::memset(out, 0, static_cast<size_t>(count));
  TPmLeaf leaves[286];
  int32_t n = 0;
  for (int32_t s = 0; s < count; ++s)
    if (weights[s] > 0) leaves[n++] = TPmLeaf{static_cast<uint64_t>(weights[s]), s};
  if (n == 0) {
    out[0] = 1;
    return;
  }
  if (n == 1) {
    out[leaves[0].symbol] = 1;
    return;
  }
  SortByWeight(leaves, 0, n - 1);

  constexpr int32_t kMaxItems = 2 * 286;
  uint64_t list[kMaxItems], merged[kMaxItems];
  bool isLeaf[15][kMaxItems];  // per round: which items of its list are leaves
  int32_t size = n;
  for (int32_t i = 0; i < n; ++i) list[i] = leaves[i].weight;
  const int32_t rounds = maxLength - 1;
  for (int32_t r = 1; r <= rounds; ++r) {
    const int32_t packages = size / 2;
    int32_t li = 0, pi = 0, m = 0;
    while (li < n || pi < packages) {
      const uint64_t package = pi < packages ? list[2 * pi] + list[2 * pi + 1] : 0;
      if (pi >= packages || (li < n && leaves[li].weight <= package)) {
        isLeaf[r][m] = true;
        merged[m++] = leaves[li++].weight;
      } else {
        isLeaf[r][m] = false;
        merged[m++] = package;
        ++pi;
      }
    }
    std::memcpy(list, merged, sizeof(uint64_t) * static_cast<size_t>(m));
    size = m;
  }

  int32_t counter[286];
  std::fill_n(counter, n, 1);
  int32_t prefix = std::min(2 * n - 2, size);
  for (int32_t r = rounds; r >= 1 && prefix > 0; --r) {
    int32_t leafCount = 0;
    for (int32_t i = 0; i < prefix; ++i) leafCount += isLeaf[r][i];
    // The leaves of the last list count through the counter's start, not here.
    if (r < rounds)
      for (int32_t i = 0; i < leafCount; ++i) ++counter[i];
    prefix = 2 * (prefix - leafCount);
  }
  if (rounds >= 1)
    for (int32_t i = 0; i < prefix; ++i) ++counter[i];  // the first list is all leaves
  for (int32_t i = 0; i < n; ++i) out[leaves[i].symbol] = static_cast<uint8_t>(counter[i]);
}
