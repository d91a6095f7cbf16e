// Deflate under options taken from the first two bytes, then inflate: the input must come
// back whole with the same checksum.
#include <cstdlib>
#include <cstring>
#include "archive/deflate/dfdeflate.h"
#include "archive/deflate/dfinflate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t a = data[0], b = data[1];
  TMemoryStream src, packed, back;
  src.Assign(data + 2, size - 2);
  TArDeflateHelper h;
  static const uint32_t blocks[4] = {1, 2, 4, 7};
  const bool deflate64 = (a & 0x10) != 0;
  h.SetOptions(blocks[a & 3] | ((a & 4) ? OptLazyMatch : 0) | (deflate64 ? OptDeflate64 : 0) |
               ((a & 8) ? OptAdler32 : 0));
  switch (b & 3) {
    case 0: break;
    case 1:
      h.SetTargetMatchLength(4);
      h.SetChainSearchLimit(4);
      h.SetLazyMatchLimit(4);
      break;
    case 2:
      h.SetTargetMatchLength(-1);
      h.SetChainSearchLimit(-1);
      h.SetLazyMatchLimit(-1);
      break;
    default:
      h.SetTargetMatchLength(3 + (b >> 4));
      h.SetChainSearchLimit(1 + (b >> 2));
      h.SetLazyMatchLimit(b >> 3);
      break;
  }
  static const int32_t histories[4] = {256, 4096, 32768, 65536};
  h.HistorySize = histories[(a >> 5) & 3];
  if (!deflate64 && h.HistorySize > 32768) h.HistorySize = 32768;
  if (a & 0x80) h.SetCryptPassword("fuzz");
  const uint32_t sum = Deflate(&src, &packed, &h);
  packed.SetPosition(0);
  TArDeflateHelper ih;
  ih.SetOptions(0x0F | (deflate64 ? OptDeflate64 : 0) | ((a & 8) ? OptAdler32 : 0));
  if (a & 0x80) ih.SetCryptPassword("fuzz");
  if (Inflate(&packed, &back, &ih) != sum) std::abort();
  if (back.Size() != static_cast<int64_t>(size - 2) ||
      (size > 2 && std::memcmp(back.Memory(), data + 2, size - 2) != 0))
    std::abort();
  return 0;
}
