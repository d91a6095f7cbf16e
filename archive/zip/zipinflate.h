// The zip side's call into the inflater: the options, the password and the bounds of one
// item in one record, and how the run ended in another. The item's data is read through a
// window of its compressed size, and no more than its declared size reaches the output.
// The engine's own result is a checksum that is 0 also when a run was cut short; the zip
// side needs to know why a run ended, so that is said here explicitly.
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
  // May raise EArAbortProgress to stop; the run then ends with EArUserAbort.
  std::function<void(int32_t percent)> Progress;
};

enum TArZipInflateOutcome : uint8_t {
  ioComplete,       // the stream ended; Crc and Produced describe all it gave
  ioWrongPassword,  // the encryption header did not match; the source is back at it
  ioOverrun,        // the stream grew past UnpackedSize; Produced counts what it offered
};

struct TArZipInflateResult {
  TArZipInflateOutcome Outcome = ioComplete;
  uint32_t Crc = 0;
  int64_t Produced = 0;
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
