#include "archive/deflate/dfbits.h"
#include <algorithm>

namespace {
constexpr const char* kUnit = "ArDfStrm";
}

TArDfInBitStream::TArDfInBitStream(TStream* stream, int32_t progressTotal, const TArProgressHook& hook)
    : stream_(stream) {
  ArDfCheck(stream != nullptr, "TArDfInBitStream.Create: Cannot create a bit stream wrapping a nil stream", kUnit);
  raw_.reset(new uint8_t[8 + BufferSize + 8]);
  ptr_ = end_ = raw_.get() + 8;
  if (hook && progressTotal > 0) {
    hook_ = hook;
    total_ = progressTotal;
  }
}

void TArDfInBitStream::NoMoreData(const char* where) {
  throw EArInternalInflateError(std::string("no more compressed data in stream [TArDfInBitStream.") + where + "]");
}

bool TArDfInBitStream::ibsFillBuffer() {
  const ptrdiff_t left = end_ - ptr_;
  ArDfCheck(left <= 3, "TArDfInBitStream.ibsFillBuffer: the buffer should be almost empty", kUnit);
  uint8_t* const start = raw_.get() + 8;
  std::memmove(start, ptr_, static_cast<size_t>(left));
  ptr_ = start;
  end_ = start + left;
  // One read per refill, as long as it brings a whole word; a source that delivers
  // less is asked again.
  while (!ended_) {
    const int32_t n = stream_->Read(end_, static_cast<int32_t>(start + BufferSize - end_));
    if (n <= 0) {
      ended_ = true;
      break;
    }
    end_ += n;
    bytesRead_ += n;
    if (hook_) hook_(ArDfPercent(bytesRead_, total_));
    if (end_ - ptr_ >= 4) break;
  }
  const ptrdiff_t have = end_ - ptr_;
  if (have == 0) return false;
  if (ended_ && have % 4 != 0) {
    filler_ = static_cast<int32_t>(4 - have % 4);
    std::memset(end_, 0, static_cast<size_t>(filler_));
    end_ += filler_;
  }
  return true;
}

uint32_t TArDfInBitStream::ReadBit() {
  if (!Need(1)) NoMoreData("ReadBit");
  const uint32_t bit = static_cast<uint32_t>(bitBuf_ & 1);
  Drop(1);
  return bit;
}

uint32_t TArDfInBitStream::ReadBits(int32_t count) {
  if (count < 1 || count > 16)
    throw EArInternalInflateError("count of bits must be between 1 and 16 inclusive [TArDfInBitStream.ReadBits]");
  if (!Need(count)) NoMoreData("ReadBits");
  const uint32_t bits = static_cast<uint32_t>(bitBuf_ & ((1u << count) - 1));
  Drop(count);
  return bits;
}

uint32_t TArDfInBitStream::PeekBits(int32_t count) {
  ArDfCheck(count >= 1 && count <= 32, "TArDfInBitStream.PeekBits: count of bits must be between 1 and 32 inclusive",
            kUnit);
  peekCount_ = count;
  Need(count);
  return static_cast<uint32_t>(bitBuf_ & ((uint64_t(1) << count) - 1));
}

void TArDfInBitStream::DiscardBits(int32_t count) {
  if (count < 1 || count > 32)
    throw EArInternalInflateError("count of bits must be between 1 and 32 inclusive [TArDfInBitStream.DiscardBits]");
  ArDfCheck(count <= peekCount_, "TArDfInBitStream.DiscardBits: discarding more bits than peeked", kUnit);
  peekCount_ = 0;
  if (!Need(count)) NoMoreData("DiscardBits");
  Drop(count);
}

void TArDfInBitStream::ReadBuffer(void* buffer, int32_t count) {
  ArDfCheck((bitCount_ & 7) == 0, "TArDfInBitStream.ReadBuffer. cannot read a buffer unless the stream is byte-aligned",
            kUnit);
  // The whole bytes of the bit buffer go back in front of the byte buffer (there is
  // room for two words), so that the read continues with them and the next word
  // boundary is counted from where this read ends.
  const int32_t held = bitCount_ / 8;
  ptr_ -= held;
  for (int32_t i = 0; i < held; ++i) ptr_[i] = static_cast<uint8_t>(bitBuf_ >> (8 * i));
  bitBuf_ = 0;
  bitCount_ = 0;
  auto* dst = static_cast<uint8_t*>(buffer);
  while (count > 0) {
    if (ptr_ == end_ && !ibsFillBuffer()) NoMoreData("ReadBuffer");
    const int32_t n = static_cast<int32_t>(std::min<ptrdiff_t>(count, end_ - ptr_));
    std::memcpy(dst, ptr_, static_cast<size_t>(n));
    ptr_ += n;
    dst += n;
    count -= n;
  }
}

void TArDfInBitStream::GiveBack() {
  const int64_t here = stream_->Seek(0, soFromCurrent);
  int64_t pos = here - (end_ - ptr_) + filler_ - bitCount_ / 8;
  // Consumed filler never puts the source behind its end.
  pos = std::clamp<int64_t>(pos, 0, here);
  stream_->Seek(pos, soFromBeginning);
}

// ---------------------------------------------------------------------------------------

TArDfOutBitStream::TArDfOutBitStream(TStream* stream) : stream_(stream) {
  ArDfCheck(stream != nullptr, "TArDfOutBitStream.Create: Cannot create a bit stream wrapping a nil stream", kUnit);
  buffer_.reset(new uint8_t[BufferSize]);
  ptr_ = buffer_.get();
  end_ = ptr_ + BufferSize;
}

void TArDfOutBitStream::WriteBits(uint32_t bits, int32_t count) {
  ArDfCheck(count >= 1 && count <= 16, "TArDfOutBitStream.WriteBits: aCount should be from 1 to 16", kUnit);
  ArDfCheck((bits >> count) == 0, "TArDfOutBitStream.WriteBits: aBits has more than aCount bits", kUnit);
  Put(bits, count);
}

void TArDfOutBitStream::AlignToByte() {
  if (used_ & 7) Put(0, 8 - (used_ & 7));
}

void TArDfOutBitStream::obsEmptyBuffer() {
  const int32_t n = static_cast<int32_t>(ptr_ - buffer_.get());
  ptr_ = buffer_.get();
  if (n > 0 && (refused_ || stream_->Write(buffer_.get(), n) != n)) {
    refused_ = true;
    throw EArInternalDeflateError("could not write to the output atream [TArDfInBitStream.obsEmptyBuffer]");
  }
}

void TArDfOutBitStream::WriteBuffer(const void* buffer, int32_t count) {
  ArDfCheck((used_ & 7) == 0, "TArDfOutBitStream.WriteBuffer: must be byte aligned", kUnit);
  while (used_ > 0) {
    if (ptr_ == end_) obsEmptyBuffer();
    *ptr_++ = static_cast<uint8_t>(acc_);
    acc_ >>= 8;
    used_ -= 8;
  }
  const auto* src = static_cast<const uint8_t*>(buffer);
  while (count > 0) {
    if (ptr_ == end_) obsEmptyBuffer();
    const int32_t n = static_cast<int32_t>(std::min<ptrdiff_t>(count, end_ - ptr_));
    std::memcpy(ptr_, src, static_cast<size_t>(n));
    ptr_ += n;
    src += n;
    count -= n;
  }
  obsEmptyBuffer();
}

void TArDfOutBitStream::Finish() {
  if (used_ > 0) {
    AlignToByte();
    if (end_ - ptr_ < used_ / 8) obsEmptyBuffer();
    while (used_ > 0) {
      *ptr_++ = static_cast<uint8_t>(acc_);
      acc_ >>= 8;
      used_ -= 8;
    }
  }
  if (ptr_ != buffer_.get()) obsEmptyBuffer();
}
