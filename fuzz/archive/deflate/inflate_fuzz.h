// Inflate over arbitrary bytes. Every run must end in output or EArInflateError; the
// output of a limited run and the count of a test-only run must agree with the full run,
// and so must everything a run over a source that trickles (which keeps the decoder on
// its careful path) leaves behind, unless the run stops near the end of the data.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include "archive/deflate/dfinflate.h"

// Hands out at most three bytes per read.
class TFuzzTrickleStream : public TMemoryStream {
public:
  int32_t Read(void* buffer, int32_t count) override { return TMemoryStream::Read(buffer, std::min(count, 3)); }
};

inline int InflateFuzzOne(const uint8_t* data, size_t size, bool deflate64) {
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  TMemoryStream src;
  src.Assign(data + 1, size - 1);
  auto run = [&](int32_t limit, bool testOnly, TMemoryStream& dst, TArDeflateHelper& h, bool& failed) {
    uint32_t options = 0x0F | (deflate64 ? OptDeflate64 : 0) | ((mode & 1) ? OptAdler32 : 0);
    if (testOnly) options |= OptTestOnly;
    h.SetOptions(options);
    h.OutputLimit = limit;
    src.SetPosition(0);
    failed = false;
    uint32_t sum = 0;
    try {
      sum = Inflate(&src, &dst, &h);
    } catch (const EArInflateError&) { failed = true; }
    if (src.Position() > static_cast<int64_t>(size - 1)) std::abort();
    return sum;
  };
  // A bomb is stopped by the limit; without one the output is bounded by the input
  // anyway (at most 258 bytes, or 65,538 in deflate64, per bit or two).
  const int32_t limit = (mode & 2) ? 512 : (mode & 4) ? 70000 : 0;
  TMemoryStream full;
  TArDeflateHelper hf;
  bool fullFailed;
  const uint32_t fullSum = run(0, false, full, hf, fullFailed);
  TMemoryStream counted;
  TArDeflateHelper ht;
  bool countFailed;
  const uint32_t countSum = run(0, true, counted, ht, countFailed);
  if (counted.Size() != 0 || countFailed != fullFailed) std::abort();
  if (!fullFailed &&
      (countSum != fullSum || ht.UncompressedCount != hf.UncompressedCount || hf.UncompressedCount != full.Size()))
    std::abort();
  {
    TFuzzTrickleStream slow;
    slow.Assign(data + 1, size - 1);
    TMemoryStream out;
    TArDeflateHelper h;
    h.SetOptions(0x0F | (deflate64 ? OptDeflate64 : 0) | ((mode & 1) ? OptAdler32 : 0));
    std::string error;
    uint32_t sum = 0;
    try {
      sum = Inflate(&slow, &out, &h);
    } catch (const EArInflateError& e) { error = e.what(); }
    src.SetPosition(0);
    TMemoryStream again;
    std::string againError;
    TArDeflateHelper ha;
    ha.SetOptions(h.Options());
    uint32_t againSum = 0;
    try {
      againSum = Inflate(&src, &again, &ha);
    } catch (const EArInflateError& e) { againError = e.what(); }
    // Near the end of the data, how the source was read decides whether the last word
    // is completed with zeros; well before it nothing may differ.
    if (src.Position() + 8 < static_cast<int64_t>(size - 1) &&
        (error != againError || sum != againSum || slow.Position() != src.Position() || out.Size() != again.Size() ||
         (out.Size() > 0 && std::memcmp(out.Memory(), again.Memory(), static_cast<size_t>(out.Size())) != 0) ||
         h.CompressedCount != ha.CompressedCount))
      std::abort();
  }
  if (limit > 0) {
    TMemoryStream part;
    TArDeflateHelper hp;
    bool partFailed;
    run(limit, false, part, hp, partFailed);
    if (part.Size() > full.Size() && !fullFailed) std::abort();
    const int64_t n = std::min(part.Size(), full.Size());
    if (n > 0 && std::memcmp(part.Memory(), full.Memory(), static_cast<size_t>(n)) != 0) std::abort();
  }
  return 0;
}
