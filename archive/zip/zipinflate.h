// The zip side's call into the inflater: the options, the password and the bounds of one
// item in one record. The item's data is read through a window of its compressed size, and no more
// than its declared size reaches the output.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include "base/stream.h"

struct TArZipInflateCall {
  TStream* Source = nullptr;  // at the item's data (its encryption header first)
  TStream* Output = nullptr;
  uint32_t PackedSize = 0;
  uint32_t UnpackedSize = 0;
  bool Deflate64 = false;
  bool TestOnly = false;  // decode and check without writing
  std::string Password;   // empty: not encrypted
  uint32_t CheckValue = 0;
  std::function<void(int32_t percent)> Progress;
};

struct TArZipInflateResult {
  bool WrongPassword = false;  // the encryption header did not match; the source is back at it
  uint32_t Crc = 0;
  uint32_t Produced = 0;
};

TArZipInflateResult ZipInflate(const TArZipInflateCall& call);

// Reads at most a given number of bytes from another stream; positions are the other
// stream's own.
class TArWindowStream : public TStream {
public:
  TArWindowStream(TStream* inner, int64_t limit) : inner_(inner), left_(limit) {}
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void*, int32_t) override { return 0; }
  int64_t Seek(int64_t offset, int origin) override;

private:
  TStream* inner_;
  int64_t left_;
};
