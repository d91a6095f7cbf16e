// Output stream of the reduce and implode decoders. They write only at the end and copy
// earlier output back from up to 32 KB behind it, so the newest 40 KB stay in five
// 8 KB chunks and each chunk goes to the real output when it slides out. Positions down
// to 32 KB before the start read as zeros: the history these methods assume.
#pragma once
#include <cstdint>
#include <memory>
#include "base/stream.h"

class TArSlidingWindowStream : public TStream {
public:
  static constexpr int32_t kChunkSize = 8192;
  static constexpr int32_t kChunks = 5;
  static constexpr int32_t kHistory = kChunkSize * (kChunks - 1);  // 32768

  explicit TArSlidingWindowStream(TStream* underlying);
  // Flushes a dirty window; a failure here is lost, so callers that care call Finish.
  ~TArSlidingWindowStream() override;

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() override { return size_; }

  // Writes what the window still holds to the underlying stream.
  void Finish();
  void bsWriteChunk(int index);

private:
  void Slide();

  std::unique_ptr<uint8_t[]> storage_;
  uint8_t* chunks_[kChunks];
  int64_t bufferStart_ = -kHistory;
  int32_t lastPosition_ = 0;
  int32_t currentChunk_ = kChunks - 1;
  int32_t positionInChunk_ = 0;
  int64_t positionInBuffer_ = kHistory;
  int64_t size_ = 0;
  bool dirty_ = false;
  TStream* underlying_;
};
