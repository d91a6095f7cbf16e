// Bit streams over byte streams, least significant bit first.
//
// The reader keeps a 64-bit bit buffer in front of a 16 KiB byte buffer and takes bytes
// from the byte buffer only as whole 32-bit words, counted from the start of the data or
// from the end of the last byte-wise read. This is what fixes every observable detail:
// when the stream is read (and so which progress values are reported), how many zero
// bytes stand in after the end of the data (the last word is completed with zeros, the
// filler), where reading fails for lack of data, and where the source is left when the
// reader gives back its read-ahead. The bit buffer is larger than one word so that the
// careful decoder can peek a whole symbol; GiveBack and ReadBuffer account for the
// extra word. The decoder's fast loop works on a copy of this state and hands back the
// word-aligned state for the bits it consumed.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include "archive/deflate/dfbase.h"

class TArDfInBitStream {
public:
  static constexpr int32_t BufferSize = 16384;

  // No progress is reported unless the hook is assigned and the total is above 0.
  TArDfInBitStream(TStream* stream, int32_t progressTotal, const TArProgressHook& hook);
  TArDfInBitStream(const TArDfInBitStream&) = delete;
  TArDfInBitStream& operator=(const TArDfInBitStream&) = delete;

  uint32_t ReadBit();
  uint32_t ReadBits(int32_t count);  // 1..16
  // Missing bits after the end of the data read as zeros; the end is reported only when
  // they are discarded.
  uint32_t PeekBits(int32_t count);  // 1..32
  void DiscardBits(int32_t count);   // 1..32, at most the last peek
  void AlignToByte() { Drop(bitCount_ & 7); }
  void ReadBuffer(void* buffer, int32_t count);
  // Positions the stream just behind the last byte of which any bit was consumed.
  void GiveBack();
  int32_t FillerCount() const { return filler_; }

  // --- for the decoder's loops -----------------------------------------------------
  // The next bits, at least `count` (<= 32) of them valid or zero after the end of data.
  uint64_t Bits() const { return bitBuf_; }
  int32_t BitCount() const { return bitCount_; }
  // Makes at least `count` (<= 32) bits available, refilling the byte buffer when the
  // word load needs it; false when the data ends first.
  bool Need(int32_t count) {
    while (bitCount_ < count) {
      if (end_ - ptr_ < 4 && !ibsFillBuffer()) return false;
      LoadWord();
    }
    return true;
  }
  // Bytes buffered and not yet moved to the bit buffer.
  ptrdiff_t Unread() const { return end_ - ptr_; }
  void Drop(int32_t count) {
    bitBuf_ >>= count;
    bitCount_ -= count;
  }

private:
  friend class TArDfInflater;
  void LoadWord() {
    uint32_t w;
    std::memcpy(&w, ptr_, 4);
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap32(w);
    ptr_ += 4;
    bitBuf_ |= static_cast<uint64_t>(w) << bitCount_;
    bitCount_ += 32;
  }
  bool ibsFillBuffer();
  [[noreturn]] static void NoMoreData(const char* where);

  uint64_t bitBuf_ = 0;
  int32_t bitCount_ = 0;
  uint8_t* end_;
  std::unique_ptr<uint8_t[]> raw_;  // 8 bytes of room in front for words given back
  uint8_t* ptr_;
  int64_t bytesRead_ = 0;
  int32_t filler_ = 0;
  TArProgressHook hook_;
  int32_t peekCount_ = 0;
  TStream* stream_;
  int32_t total_ = 0;
  bool ended_ = false;
};

class TArDfOutBitStream {
public:
  static constexpr int32_t BufferSize = 16384;

  explicit TArDfOutBitStream(TStream* stream);
  TArDfOutBitStream(const TArDfOutBitStream&) = delete;
  TArDfOutBitStream& operator=(const TArDfOutBitStream&) = delete;

  void WriteBits(uint32_t bits, int32_t count);  // 1..16, checked
  void AlignToByte();
  void WriteBuffer(const void* buffer, int32_t count);
  // Writes the last partial byte and everything buffered: how the last bits of a
  // stream reach the destination, also of one that ends in an error. A destination that
  // refused a write gets nothing more.
  void Finish();

  // Unchecked: up to 32 bits that have no bit set at or above `count`.
  void Put(uint32_t bits, int32_t count) {
    TState s = Take();
    Put(s, bits, count);
    Give(s);
  }

  // The writer's state as a value, for loops that write many fields: in locals it stays
  // in registers, where the byte buffer's stores would otherwise make every field go
  // through memory. Hand it back before anything else uses the writer.
  struct TState {
    uint64_t acc;
    int32_t used;
    uint8_t* ptr;
  };
  TState Take() const { return {acc_, used_, ptr_}; }
  void Give(const TState& s) {
    acc_ = s.acc;
    used_ = s.used;
    ptr_ = s.ptr;
  }
  void Put(TState& s, uint32_t bits, int32_t count) {
    s.acc |= static_cast<uint64_t>(bits) << s.used;
    s.used += count;
    if (s.used >= 32) {
      if (end_ - s.ptr < 4) {
        Give(s);
        obsEmptyBuffer();
        s.ptr = ptr_;
      }
      uint32_t w = static_cast<uint32_t>(s.acc);
      if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap32(w);
      std::memcpy(s.ptr, &w, 4);
      s.ptr += 4;
      s.acc >>= 32;
      s.used -= 32;
    }
  }

private:
  void obsEmptyBuffer();

  uint64_t acc_ = 0;
  int32_t used_ = 0;
  uint8_t* end_;
  std::unique_ptr<uint8_t[]> buffer_;
  uint8_t* ptr_;
  TStream* stream_;
  bool refused_ = false;  // a write fell short; what it held is not offered again
};
