// Probes and loads a gzip file from the input, then unpacks and tests its item.
#include <cstdint>
#include "archive/gzip/gziparchive.h"
#include "fuzz/archive/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream probe;
  probe.Assign(data, size);
  try {
    ProbeGzipFile(probe);
  } catch (const std::exception&) {}
  const auto archive = ArchiveOverBytes<TArGzipArchive>(data, size, "gzipfuzz_placeholder.gz");
  try {
    archive->Load();
  } catch (const std::exception&) { return 0; }
  if (archive->Count() == 0) return 0;
  try {
    TNullStream sink;
    archive->UnpackItemToStream(0, sink);
  } catch (const std::exception&) {}
  try {
    archive->VerifyItem(0);
  } catch (const std::exception&) {}
  return 0;
}
