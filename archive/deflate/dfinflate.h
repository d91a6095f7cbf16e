// Decompression of raw deflate and deflate64 streams.
#pragma once
#include <cstdint>
#include <memory>
#include "archive/deflate/dfbase.h"

// Where the inflater puts every decoded byte: a linear buffer (not a ring) that keeps
// the history back-references copy from and passes the bytes on in slices of 32 KiB
// once the write point is reached (64 KiB, 96 KiB in deflate64, not yet passed on),
// running the checksum over what it passes on. Back-references always find their
// source contiguous below the current position. The buffer is larger than the write
// point needs, so the bytes not yet passed on move to its front only once in a while
// instead of after every slice.
class TArDfOutputWindow {
public:
  static constexpr int32_t SlideCount = 32768;

  // A limit of 0 or less means none; a limit above the write point acts as the write
  // point. The logger is kept, not written to.
  TArDfOutputWindow(TStream* dest, bool deflate64, bool crc32, int32_t outputLimit, bool testOnly, TArLogger* logger);
  TArDfOutputWindow(const TArDfOutputWindow&) = delete;
  TArDfOutputWindow& operator=(const TArDfOutputWindow&) = delete;

  void PutLiteral(uint8_t value) {
    *cur_++ = value;
    if (cur_ >= stop_) AfterWrite();
  }
  void CopyMatch(int32_t length, int32_t distance);
  // Stored data: passes the output limit.
  void PutBytes(const void* buffer, int32_t count);
  // Stored data read straight into the buffer: where `count` bytes fit at the write
  // position, the place to read them to (else nullptr); Accept then takes them as
  // PutBytes would, slice for slice.
  uint8_t* Space(int32_t count) { return end_ - cur_ >= count ? cur_ : nullptr; }
  void Accept(int32_t count);
  int64_t OutputPosition();
  // Flushes, then returns the checksum (CRC-32 inverted, Adler-32 as is).
  uint32_t FinishChecksum();
  // Passes on whatever is buffered; how the bytes of a run that ended early still
  // reach the destination.
  void Flush();
  int32_t BufferedCount() const { return static_cast<int32_t>(cur_ - start_); }

private:
  friend class TArDfInflater;
  void AfterWrite();  // output limit test, then slides
  // `carry` bytes behind the write position (read there, not yet accepted) move along
  // with the buffered ones.
  void PassOn(bool flush, int32_t carry = 0);

  std::unique_ptr<uint8_t[]> buffer_;
  uint8_t* start_;  // the first byte not yet passed on
  uint8_t* end_;
  uint32_t checksum_;
  uint8_t* cur_;
  [[maybe_unused]] TArLogger* logger_;  // kept, not written to
  int32_t outputLimit_;
  TStream* dest_;
  int64_t counted_ = 0;
  bool testOnly_;
  bool crc32_;
  int32_t writePoint_;
  int32_t room_;
  uint8_t* stop_;  // the nearer of the write point and the output limit
};

// Inflates the stream at the source's position into the destination and returns the
// checksum of the bytes produced (CRC-32 unless OptAdler32); 0 when the output limit or
// a progress hook's abort cut the run short. The source is left just behind the last
// byte consumed. With a helper, also reports CompressedCount and UncompressedCount.
uint32_t Inflate(TStream* source, TStream* dest, TArDeflateHelper* helper = nullptr);
