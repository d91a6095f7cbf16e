// Inflate over arbitrary bytes. Every run must end in output or EArInflateError; the
// output of a limited run and the count of a test-only run must agree with the full run.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include "archive/deflate/dfinflate.h"

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
