#include "archive/zip/legacyzip.h"
#include <algorithm>
#include <array>
#include "archive/core/arerrors.h"
#include "archive/core/arutils.h"
#include "archive/core/slidingwindow.h"
#include "archive/deflate/zipcrypt.h"

namespace {

constexpr int32_t kOutSize = 32768;
constexpr uint32_t kHistoryMask = 32767;
constexpr int kMaxCodes = 8192;
constexpr int kMaxWidth = 13;

// Every rejection of malformed data goes through here.
[[noreturn]] void Corrupt() { throw EArReadError(); }

// The percentage routine takes signed 32-bit counts; sizes above that are halved first.
uint8_t Percent(uint64_t part, uint64_t total) {
  while (total > 0x7FFFFFFF) part >>= 1, total >>= 1;
  return static_cast<uint8_t>(PercentOf(static_cast<int32_t>(std::min(part, total)), static_cast<int32_t>(total)));
}

}  // namespace

TArUnzipHelper::TArUnzipHelper(TStream* input, TArZDecoder* decoder, TStream* output)
    : input_(input), decoder_(decoder), output_(output), outBuf_(kOutSize), history_(kHistoryMask + 1) {
  CompressedSize = static_cast<uint32_t>(input->Size());
}

TArUnzipHelper::~TArUnzipHelper() = default;

void TArUnzipHelper::ReportProgress(uint8_t percent, bool& abort) {
  if (OnProgress && percent != currentProgress_) {
    currentProgress_ = percent;
    OnProgress(percent, abort);
  }
}

uint32_t TArUnzipHelper::Execute() {
  bitsLeft_ = 0;
  curByte_ = 0;
  inCount_ = 0;
  sent_ = 0;
  produced_ = 0;
  outPos_ = 0;
  eof_ = false;
  if (Method >= 2 && Method <= 6) {
    window_ = std::make_unique<TArSlidingWindowStream>(output_);
    writer_ = window_.get();
  } else {
    writer_ = output_;
  }
  bytesLeft_ = CompressedSize;
  inPos_ = sizeof(inBuf_);
  try {
    if (decoder_) {
      // A header longer than the item's data would make the count wrap and read on
      // into the next item.
      if (bytesLeft_ < ArZipCryptHeaderSize) Corrupt();
      decoder_->CheckPassword();
      bytesLeft_ -= ArZipCryptHeaderSize;
    }
    switch (Method) {
      case 1: Unshrink(); break;
      case 2:
      case 3:
      case 4:
      case 5: Unreduce(); break;
      case 6: Explode(); break;
      default: throw EArZipInvalidMethod();
    }
    Flush();
    if (window_) window_->Finish();
  } catch (...) {
    try {
      Flush();
      if (window_) window_->Finish();
    } catch (...) {}
    window_.reset();
    throw;
  }
  window_.reset();
  return ~crc_;
}

void TArUnzipHelper::Refill() {
  if (bytesLeft_ == 0) {
    eof_ = true;
    return;
  }
  if (Spanned && input_->Position() >= input_->Size()) {
    ++CurrentDisk;
    if (!RequestDisk) throw EArZipBadSpanStream();
    input_ = RequestDisk(CurrentDisk);
  }
  int64_t want = std::min<int64_t>(bytesLeft_, sizeof(inBuf_));
  const int64_t avail = input_->Size() - input_->Position();
  if (!Spanned) want = std::min(want, std::max<int64_t>(avail, 0));
  const int32_t n = want > 0 ? input_->Read(inBuf_, static_cast<int32_t>(want)) : 0;
  if (n <= 0) throw EArReadError();
  if (decoder_) decoder_->DecodeBuffer(inBuf_, n);
  bytesLeft_ -= static_cast<uint32_t>(n);
  inCount_ = n;
  inPos_ = 0;
}

// Bits of the input, lowest first; past the end of the input they read as zeros.
uint32_t TArUnzipHelper::Bits(int n) {
  uint32_t value = 0;
  int got = 0;
  while (got < n) {
    if (bitsLeft_ == 0) {
      if (inPos_ >= inCount_) {
        Refill();
        if (eof_) return value;
      }
      curByte_ = inBuf_[inPos_++];
      bitsLeft_ = 8;
    }
    const int take = std::min(n - got, bitsLeft_);
    value |= (curByte_ & ((1u << take) - 1)) << got;
    curByte_ >>= take;
    bitsLeft_ -= take;
    got += take;
  }
  return value;
}

void TArUnzipHelper::Put(uint8_t b) {
  outBuf_[static_cast<size_t>(outPos_++)] = b;
  history_[produced_ & kHistoryMask] = b;
  ++produced_;
  if (outPos_ == kOutSize || produced_ >= UncompressedSize) Flush();
}

// The source lies distance + 1 bytes behind the end; before the start it reads zeros.
void TArUnzipHelper::CopyMatch(uint32_t distance, uint32_t length) {
  int64_t src = static_cast<int64_t>(produced_) - distance - 1;
  for (uint32_t i = 0; i < length && produced_ < UncompressedSize; ++i, ++src)
    Put(src < 0 ? 0 : history_[static_cast<uint64_t>(src) & kHistoryMask]);
}

void TArUnzipHelper::Flush() {
  if (outPos_ > 0) {
    writer_->WriteBuffer(outBuf_.data(), outPos_);
    sent_ += static_cast<uint64_t>(outPos_);
    UpdateCrc32Buffer(crc_, outBuf_.data(), static_cast<uint32_t>(outPos_));
    outPos_ = 0;
  }
  const uint8_t percent = Percent(sent_, UncompressedSize);
  bool abort = false;
  if (percent != currentProgress_) ReportProgress(percent, abort);
  if (abort) throw EArUserAbort();
}

void TArUnzipHelper::Unshrink() {
  std::vector<int16_t> prefix(kMaxCodes, -1);
  std::vector<uint8_t> suffix(kMaxCodes, 0);
  for (int c = 0; c < 256; ++c) {
    prefix[c] = 0;
    suffix[c] = static_cast<uint8_t>(c);
  }
  prefix[256] = 0;
  std::vector<uint8_t> stack;
  stack.reserve(kMaxCodes + 1);
  int width = 9;
  uint32_t prev = Bits(width);
  if (eof_ || UncompressedSize == 0) return;
  uint8_t prevFirst = static_cast<uint8_t>(prev);
  Put(prevFirst);
  int nextFree = 257;
  auto isFree = [&](uint32_t c) { return c > 256 && prefix[c] == -1; };

  while (!Done()) {
    uint32_t code = Bits(width);
    while (code == 256 && !eof_) {
      const uint32_t op = Bits(width);
      if (op == 1) {
        if (width >= kMaxWidth) Corrupt();
        ++width;
      } else if (op == 2) {
        std::vector<bool> marked(kMaxCodes, false);
        for (int c = 257; c < nextFree; ++c) marked[c] = true;
        for (int c = 257; c < nextFree; ++c)
          if (prefix[c] >= 257) marked[prefix[c]] = false;
        for (int c = 257; c < nextFree; ++c)
          if (marked[c]) prefix[c] = -1;
        nextFree = 257;
        while (nextFree < kMaxCodes && prefix[nextFree] != -1) ++nextFree;
      }
      code = Bits(width);
    }
    if (eof_) break;
    // A free code is the one being defined right now: the previous string plus its
    // own first byte. A chain through freed codes could cycle, so its length is bounded.
    stack.clear();
    uint32_t cur = code;
    while (cur > 256) {
      if (stack.size() > static_cast<size_t>(kMaxCodes)) Corrupt();
      if (isFree(cur)) {
        stack.push_back(prevFirst);
        cur = prev;
      } else {
        stack.push_back(suffix[cur]);
        cur = static_cast<uint32_t>(prefix[cur]);
      }
    }
    const uint8_t first = static_cast<uint8_t>(cur);
    Put(first);
    for (auto it = stack.rbegin(); it != stack.rend() && produced_ < UncompressedSize; ++it) Put(*it);
    if (nextFree < kMaxCodes) {
      prefix[nextFree] = static_cast<int16_t>(prev);
      suffix[nextFree] = first;
      while (nextFree < kMaxCodes && prefix[nextFree] != -1) ++nextFree;
    }
    prev = code;
    prevFirst = first;
  }
}

void TArUnzipHelper::Unreduce() {
  const int factor = Method - 1;
  static constexpr uint8_t kMasks[5] = {0, 127, 63, 31, 15};
  const uint32_t mask = kMasks[factor];
  std::array<std::array<uint8_t, 33>, 256> followers{};  // [0] count, then the set
  for (int b = 255; b >= 0; --b) {
    const uint32_t n = Bits(6);
    if (n > 32) Corrupt();
    followers[b][0] = static_cast<uint8_t>(n);
    for (uint32_t i = 0; i < n; ++i) followers[b][i + 1] = static_cast<uint8_t>(Bits(8));
  }
  uint8_t last = 0;
  auto nextByte = [&]() -> uint8_t {
    const uint32_t n = followers[last][0];
    uint32_t b;
    if (n == 0 || Bits(1) == 1) {
      b = Bits(8);
    } else {
      int width = 1;
      while ((1u << width) < n) ++width;
      b = followers[last][Bits(width) + 1];  // width of at most 5: inside the 32 entries
    }
    last = static_cast<uint8_t>(b);
    return last;
  };
  int state = 0;
  uint32_t v = 0, length = 0;
  while (!Done()) {
    const uint8_t c = nextByte();
    if (eof_) break;
    switch (state) {
      case 0:
        if (c == 144)
          state = 1;
        else
          Put(c);
        break;
      case 1:
        if (c == 0) {
          Put(144);
          state = 0;
        } else {
          v = c;
          length = v & mask;
          state = length == mask ? 2 : 3;
        }
        break;
      case 2:
        length += c;
        state = 3;
        break;
      default: {
        const uint32_t distance = ((v >> (8 - factor)) << 8) + c;
        CopyMatch(distance, length + 3);
        state = 0;
        break;
      }
    }
  }
}

namespace {

struct TSfEntry {
  uint16_t Code;
  uint8_t Length;
  uint8_t Value;
};

}  // namespace

void TArUnzipHelper::Explode() {
  const int lowBits = DictionarySize == 2 ? 7 : 6;
  const bool literalTree = TreeCount == 3;
  auto readTree = [&](int size) {
    std::vector<TSfEntry> tree;
    const uint32_t bytes = Bits(8) + 1;
    for (uint32_t i = 0; i < bytes; ++i) {
      const uint32_t x = Bits(8);
      const uint32_t count = (x >> 4) + 1;
      const uint8_t len = static_cast<uint8_t>((x & 15) + 1);
      if (tree.size() + count > static_cast<size_t>(size)) Corrupt();
      for (uint32_t k = 0; k < count; ++k) tree.push_back({0, len, static_cast<uint8_t>(tree.size())});
    }
    if (tree.size() != static_cast<size_t>(size)) Corrupt();
    std::sort(tree.begin(), tree.end(), [](const TSfEntry& a, const TSfEntry& b) {
      return a.Length != b.Length ? a.Length < b.Length : a.Value < b.Value;
    });
    uint32_t code = 0, increment = 0, lastLength = 0;
    for (int i = size - 1; i >= 0; --i) {
      code += increment;
      if (tree[i].Length != lastLength) {
        lastLength = tree[i].Length;
        increment = 1u << (16 - lastLength);
      }
      uint16_t reversed = 0;
      for (int b = 0; b < 16; ++b)
        if (code & (1u << b)) reversed |= static_cast<uint16_t>(1u << (15 - b));
      tree[i].Code = reversed;
    }
    return tree;
  };
  auto decode = [&](const std::vector<TSfEntry>& tree) -> uint32_t {
    uint32_t acc = 0;
    size_t i = 0;
    for (int k = 1;; ++k) {
      acc |= Bits(1) << (k - 1);
      while (i < tree.size() && tree[i].Length < k) ++i;
      if (i == tree.size()) return 0;
      for (size_t j = i; j < tree.size() && tree[j].Length == k; ++j)
        if (tree[j].Code == acc) return tree[j].Value;
    }
  };
  std::vector<TSfEntry> literals;
  if (literalTree) literals = readTree(256);
  const std::vector<TSfEntry> lengths = readTree(64);
  const std::vector<TSfEntry> distances = readTree(64);
  const uint32_t minMatch = literalTree ? 3 : 2;
  while (!Done()) {
    const uint32_t flag = Bits(1);
    if (eof_) break;
    if (flag) {
      const uint32_t lit = literalTree ? decode(literals) : Bits(8);
      if (eof_) break;
      Put(static_cast<uint8_t>(lit));
    } else {
      const uint32_t low = Bits(lowBits);
      const uint32_t high = decode(distances);
      uint32_t length = decode(lengths);
      if (length == 63) length += Bits(8);
      if (eof_) break;
      CopyMatch((high << lowBits) | low, length + minMatch);
    }
  }
}
