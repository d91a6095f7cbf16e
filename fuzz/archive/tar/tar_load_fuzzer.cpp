// Loads a tar archive from the input, then unpacks and tests every item into a sink.
#include <cstdint>
#include "archive/tar/tararchive.h"
#include "fuzz/archive/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto archive = ArchiveOverBytes<TArTarArchive>(data, size, "tarfuzz_placeholder.tar");
  try {
    archive->Load();
  } catch (const std::exception&) {}
  for (int32_t i = 0; i < archive->Count() && i < 64; ++i) {
    try {
      TNullStream sink;
      archive->UnpackItemToStream(i, sink);
    } catch (const std::exception&) {}
    try {
      archive->VerifyItem(i);
    } catch (const std::exception&) {}
  }
  return 0;
}
