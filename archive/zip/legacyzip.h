// Decoder of the legacy zip methods: 1 shrunk (LZW), 2 to 5 reduced with factors 1 to 4,
// 6 imploded (Shannon-Fano trees over a sliding dictionary). Bits are read lowest first.
// Every table index that comes from the data is checked: a malformed item ends with
// EArReadError instead of reading or writing outside a table. Matches are copied from a
// private 32 KB history ring (the bytes the sliding window holds) so that a match costs
// no stream calls; the sliding window stays the writer of the output.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>
#include "base/stream.h"

class TArSlidingWindowStream;
class TArZDecoder;

class TArUnzipHelper {
public:
  using TProgressHook = std::function<void(uint8_t progress, bool& abort)>;
  // Asked for the next piece of a spanned set when the input ends; returns the stream to
  // read on (EArUserAbort when the request was cancelled).
  using TDiskRequest = std::function<TStream*(uint16_t disk)>;

  // The decoder of an encrypted item (not owned; none for a plain one) checks the
  // 12-byte header with its own password procedure and deciphers what follows.
  TArUnzipHelper(TStream* input, TArZDecoder* decoder, TStream* output);
  virtual ~TArUnzipHelper();

  uint8_t DictionarySize = 0;  // 1 = 4 KB, 2 = 8 KB
  uint8_t TreeCount = 0;       // 2 or 3
  uint8_t Method = 8;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
  TProgressHook OnProgress;
  bool Spanned = false;
  uint16_t CurrentDisk = 0;
  TDiskRequest RequestDisk;

  // Decodes the item; returns its CRC-32.
  uint32_t Execute();
  // Bytes the last Execute produced (fewer than UncompressedSize when the data ended).
  uint64_t Produced() const { return produced_; }

protected:
  virtual void ReportProgress(uint8_t percent, bool& abort);

private:
  void Refill();
  uint32_t Bits(int n);
  void Put(uint8_t b);
  void CopyMatch(uint32_t distance, uint32_t length);
  void Flush();
  bool Done() const { return eof_ || produced_ >= UncompressedSize; }
  void Unshrink();
  void Unreduce();
  void Explode();

  TStream* input_;
  TArZDecoder* decoder_;
  TStream* output_;
  TStream* writer_ = nullptr;
  std::unique_ptr<TArSlidingWindowStream> window_;
  uint32_t crc_ = 0xFFFFFFFF;
  uint8_t currentProgress_ = 0;
  std::vector<uint8_t> outBuf_;
  int32_t outPos_ = 0;
  uint64_t sent_ = 0;
  uint64_t produced_ = 0;
  std::vector<uint8_t> history_;
  uint8_t inBuf_[4096];
  int32_t inPos_ = 0;
  int32_t inCount_ = 0;
  uint32_t bytesLeft_ = 0;
  bool eof_ = false;
  uint32_t curByte_ = 0;
  int bitsLeft_ = 0;
};
