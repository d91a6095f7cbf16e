// Runs the legacy decoders on the input: the first byte picks the method (1..6) and the
// implode variant, the next three give the declared size (at most 16 MB).
#include <cstdint>
#include "archive/core/arerrors.h"
#include "archive/zip/legacyzip.h"
#include "fuzz/archive/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  TMemoryStream in;
  in.Assign(data + 4, size - 4);
  TNullStream out;
  TArUnzipHelper helper(&in, nullptr, &out);
  helper.Method = static_cast<uint8_t>(1 + data[0] % 6);
  helper.DictionarySize = (data[0] & 0x40) ? 2 : 1;
  helper.TreeCount = (data[0] & 0x80) ? 3 : 2;
  helper.UncompressedSize = static_cast<uint32_t>(data[1] | data[2] << 8 | data[3] << 16);
  helper.CompressedSize = static_cast<uint32_t>(size - 4);
  try {
    helper.Execute();
  } catch (const EArException&) {}
  return 0;
}
