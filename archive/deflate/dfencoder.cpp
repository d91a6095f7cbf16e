#include "archive/deflate/dfencoder.h"
#include <algorithm>
#include <bit>
#include <cstring>

namespace {
constexpr const char* kWindowUnit = "ArDfInW";
constexpr const char* kEncUnit = "ArDfEnc";
// Bytes the buffer holds beyond the history and the longest match; slides happen once
// per this many input bytes.
constexpr int64_t kSlideSpan = 256 * 1024;
constexpr int64_t kPad = 64;  // zeroed room for word-wise reads past the look-ahead

}  // namespace

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
  // The first fill is as large as the history and one slide need; the buffer grows to
  // its full size when the input turns out to be longer.
  bufSize_ = windowSize + 16384 + longest_;
  buffer_.reset(new uint8_t[static_cast<size_t>(bufSize_ + kPad)]);
  std::memset(buffer_.get(), 0, static_cast<size_t>(bufSize_ + kPad));
  buf_ = buffer_.get();
  chain_.assign(static_cast<size_t>(windowSize), 0xFFFFFFFFu);
  head_.assign(16384, 0xFFFFFFFFu);
  sourceStart_ = source->Seek(0, soFromCurrent);
  ReadMore();
  if (end_ >= 2) hash_ = ((static_cast<uint32_t>(buf_[0]) << 5) ^ buf_[1]) & 0x3FFF;
}

void TArDfInputWindow::ReadMore() {
  // Reads until the buffer is full or the source has ended, whatever each read brings.
  while (moreInput_ && end_ - base_ < bufSize_) {
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
}

void TArDfInputWindow::Slide() {
  const int64_t keepFrom = std::max(base_, cur_ - windowSize_);
  const int64_t shift = keepFrom - base_;
  const int64_t fullSize = windowSize_ + kSlideSpan + longest_;
  if (bufSize_ < fullSize) {
    std::unique_ptr<uint8_t[]> larger(new uint8_t[static_cast<size_t>(fullSize + kPad)]);
    std::memset(larger.get(), 0, static_cast<size_t>(fullSize + kPad));
    std::memcpy(larger.get(), buf_ + shift, static_cast<size_t>(end_ - keepFrom));
    buffer_ = std::move(larger);
    buf_ = buffer_.get();
    bufSize_ = fullSize;
    base_ = keepFrom;
  } else if (shift > 0) {
    std::memmove(buf_, buf_ + shift, static_cast<size_t>(end_ - keepFrom));
    base_ = keepFrom;
  }
  ReadMore();
}

void TArDfInputWindow::Progress(int32_t count) {
  advanced_ += count;
  if ((advanced_ & 4095) == 0) hook_(ArDfPercent(advanced_, total_));
}

void TArDfInputWindow::ReadRawBlock(void* buffer, int32_t count, int64_t offset) {
  if (offset >= base_ && offset + count <= end_) {
    std::memcpy(buffer, buf_ + (offset - base_), static_cast<size_t>(count));
    return;
  }
  const int64_t here = source_->Seek(0, soFromCurrent);
  source_->Seek(sourceStart_ + offset, soFromBeginning);
  source_->ReadBuffer(buffer, count);
  source_->Seek(here, soFromBeginning);
}

// ---------------------------------------------------------------------------------------
// LZ token stream

TArDfLZStream::TArDfLZStream(TArDfInputWindow* window, TArLogger* logger, bool deflate64)
    : logger_(logger), window_(window), deflate64_(deflate64), translator_(ArDfTranslator()) {
  // Room for a full block of matches and the few tokens that may follow the token that
  // filled it.
  const size_t size = static_cast<size_t>(MaxTokens + 16) * 3;
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
  for (const uint16_t* p = tokens_.get(); p < ptr_;) {
    if (!(p[0] & MatchFlag)) {
      const uint32_t e = lit[p[0]];
      out.Put(e & 0xFFFF, static_cast<int32_t>((e >> 16) & 0xFF));
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
    out.Put(bits, codeLen);
    ArDfCheck(deflate64 || ds <= 29, "TArDfLZStream.Encode: a Deflate64 distance symbol has been generated for Deflate",
              kEncUnit);
    e = dist[ds];
    codeLen = static_cast<int32_t>((e >> 16) & 0xFF);
    bits = (e & 0xFFFF) | ((static_cast<uint32_t>(distance) - ArDfDistanceBase[ds]) << codeLen);
    out.Put(bits, codeLen + ArDfDistanceExtraBits[ds]);
  }
}

void TArDfLZStream::ReadStoredBytes(void* buffer, int32_t count) {
  window_->ReadRawBlock(buffer, count, startOffset_);
  startOffset_ += count;
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
struct TPmNode {
  uint64_t weight;
  int32_t counter;  // leaves: the code length being counted
  int32_t symbol;   // leaves: the symbol; packages: -1
  TPmNode* left;
  TPmNode* right;
};

void SortByWeight(TPmNode** items, int32_t low, int32_t high) {
  do {
    int32_t i = low, j = high;
    const uint64_t pivot = items[(low + high) / 2]->weight;
    do {
      while (items[i]->weight < pivot) ++i;
      while (items[j]->weight > pivot) --j;
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

void CountLeaves(TPmNode* node) {
  if (node->symbol >= 0) {
    ++node->counter;
    return;
  }
  CountLeaves(node->left);
  CountLeaves(node->right);
}
}  // namespace

void GenerateCodeLengths(int32_t maxLength, const int32_t* weights, int32_t count, uint8_t* lengths, int32_t start,
                         TArLogger*) {
  ArDfCheck(maxLength >= 1 && maxLength <= 15,
            "GenerateCodeLengths: the maximum code length should be in the range 1..15", "ArDfPkMg");
  ArDfCheck(count >= 1 && count <= 286, "GenerateCodeLengths: the weight array must have 1..286 elements", "ArDfPkMg");
  ArDfCheck(count < (1 << maxLength), "GenerateCodeLengths: the package-merge algorithm should always be feasible",
            "ArDfPkMg");
  uint8_t* const out = lengths + start;
  std::memset(out, 0, static_cast<size_t>(count));
  TArNodeManager nodes(static_cast<int32_t>(sizeof(TPmNode)));
  std::vector<TPmNode*> leaves;
  for (int32_t s = 0; s < count; ++s) {
    if (weights[s] <= 0) continue;
    auto* n = static_cast<TPmNode*>(nodes.AllocNode());
    *n = TPmNode{static_cast<uint64_t>(weights[s]), 1, s, nullptr, nullptr};
    leaves.push_back(n);
  }
  if (leaves.empty()) {
    out[0] = 1;
    return;
  }
  if (leaves.size() == 1) {
    out[leaves[0]->symbol] = 1;
    return;
  }
  const int32_t n = static_cast<int32_t>(leaves.size());
  SortByWeight(leaves.data(), 0, n - 1);
  std::vector<TPmNode*> list = leaves, merged;
  for (int32_t round = 1; round < maxLength; ++round) {
    merged.clear();
    size_t li = 0, pi = 0;
    const size_t packages = list.size() / 2;
    auto packageAt = [&](size_t k) {
      auto* p = static_cast<TPmNode*>(nodes.AllocNode());
      *p = TPmNode{list[2 * k]->weight + list[2 * k + 1]->weight, 0, -1, list[2 * k], list[2 * k + 1]};
      return p;
    };
    TPmNode* next = packages > 0 ? packageAt(0) : nullptr;
    while (li < leaves.size() || pi < packages) {
      if (pi >= packages || (li < leaves.size() && leaves[li]->weight <= next->weight)) {
        merged.push_back(leaves[li++]);
      } else {
        merged.push_back(next);
        if (++pi < packages) next = packageAt(pi);
      }
    }
    list.swap(merged);
  }
  for (int32_t i = 0; i < 2 * n - 2; ++i)
    if (list[static_cast<size_t>(i)]->symbol < 0) CountLeaves(list[static_cast<size_t>(i)]);
  for (TPmNode* leaf : leaves) out[leaf->symbol] = static_cast<uint8_t>(leaf->counter);
}
