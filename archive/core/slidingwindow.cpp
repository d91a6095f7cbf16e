#include "archive/core/slidingwindow.h"
#include <algorithm>
#include <cstring>

TArSlidingWindowStream::TArSlidingWindowStream(TStream* underlying)
    : storage_(new uint8_t[kChunkSize * kChunks]()), underlying_(underlying) {
  for (int i = 0; i < kChunks; ++i) chunks_[i] = storage_.get() + i * kChunkSize;
  underlying_->SetPosition(0);
}

TArSlidingWindowStream::~TArSlidingWindowStream() {
  try {
    Finish();
  } catch (...) {}
}

void TArSlidingWindowStream::Finish() {
  if (!dirty_) return;
  for (int i = 0; i < kChunks; ++i) bsWriteChunk(i);
  dirty_ = false;
}

void TArSlidingWindowStream::bsWriteChunk(int index) {
  const int64_t pos = bufferStart_ + static_cast<int64_t>(index) * kChunkSize;
  if (pos < 0) return;
  if (underlying_->Seek(pos, soFromBeginning) == -1)
    throw Exception("TArSlidingWindowStream.bsWriteChunk: seek failed");
  const int32_t n = index == kChunks - 1 ? lastPosition_ : kChunkSize;
  if (n > 0 && underlying_->Write(chunks_[index], n) != n)
    throw Exception("TArSlidingWindowStream.bsWriteChunk: write failed");
}

void TArSlidingWindowStream::Slide() {
  bsWriteChunk(0);
  uint8_t* oldest = chunks_[0];
  for (int i = 0; i < kChunks - 1; ++i) chunks_[i] = chunks_[i + 1];
  chunks_[kChunks - 1] = oldest;
  bufferStart_ += kChunkSize;
  positionInChunk_ = 0;
  currentChunk_ = kChunks - 1;
  positionInBuffer_ = kHistory;
  lastPosition_ = 0;
}

int32_t TArSlidingWindowStream::Write(const void* buffer, int32_t count) {
  if (bufferStart_ + positionInBuffer_ != size_) throw Exception("TArSlidingWindowStream.Write: Not at end of stream");
  if (count <= 0) return 0;
  count = std::min(count, kHistory);
  const auto* src = static_cast<const uint8_t*>(buffer);
  int32_t piece = std::min(count, kChunkSize - positionInChunk_);
  std::memcpy(chunks_[kChunks - 1] + positionInChunk_, src, static_cast<size_t>(piece));
  dirty_ = true;
  int32_t done = piece;
  int32_t last = piece;
  bool slid = false;
  while (done < count) {
    Slide();
    slid = true;
    last = std::min(count - done, kChunkSize);
    std::memcpy(chunks_[kChunks - 1], src + done, static_cast<size_t>(last));
    done += last;
  }
  positionInChunk_ = (slid ? 0 : positionInChunk_) + last;
  currentChunk_ = kChunks - 1;
  positionInBuffer_ = positionInChunk_ + kHistory;
  lastPosition_ = positionInChunk_;
  size_ += count;
  if (positionInChunk_ == kChunkSize) Slide();
  return count;
}

int64_t TArSlidingWindowStream::Seek(int64_t offset, int origin) {
  int64_t target;
  switch (origin) {
    case soFromBeginning: target = offset; break;
    case soFromCurrent: target = offset + bufferStart_ + positionInBuffer_; break;
    case soFromEnd: target = offset + size_; break;
    default: throw Exception("TArSlidingWindowStream.Seek: invalid origin");
  }
  if (target < bufferStart_ || target > size_) throw Exception("TArSlidingWindowStream.Seek: invalid new position");
  positionInBuffer_ = target - bufferStart_;
  currentChunk_ = static_cast<int32_t>(positionInBuffer_ / kChunkSize);
  positionInChunk_ = static_cast<int32_t>(positionInBuffer_ % kChunkSize);
  return target;
}

// Unlike the seek-before-every-read use of the decoders needs, reading also moves the
// position, so consecutive reads see consecutive bytes.
int32_t TArSlidingWindowStream::Read(void* buffer, int32_t count) {
  count = std::min(count, kHistory);
  const int64_t pos = bufferStart_ + positionInBuffer_;
  if (pos + count > size_) count = static_cast<int32_t>(size_ - pos);
  if (count <= 0) return 0;
  auto* dst = static_cast<uint8_t*>(buffer);
  int32_t piece = std::min(count, kChunkSize - positionInChunk_);
  std::memcpy(dst, chunks_[currentChunk_] + positionInChunk_, static_cast<size_t>(piece));
  int32_t done = piece;
  while (done < count) {
    ++currentChunk_;
    positionInChunk_ = 0;
    piece = std::min(count - done, kChunkSize);
    std::memcpy(dst + done, chunks_[currentChunk_], static_cast<size_t>(piece));
    done += piece;
  }
  positionInBuffer_ += count;
  currentChunk_ = static_cast<int32_t>(positionInBuffer_ / kChunkSize);
  positionInChunk_ = static_cast<int32_t>(positionInBuffer_ % kChunkSize);
  return count;
}
