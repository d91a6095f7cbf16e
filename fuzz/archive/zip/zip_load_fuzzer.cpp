// Loads a zip archive from the input and extracts and tests every item into a sink.
#include <cstdint>
#include <cstdio>
#include <string>
#include "archive/zip/zipextract.h"
#include "fuzz/archive/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto owned = ArchiveOverBytes<TArZipArchive>(data, size, "zipfuzz_placeholder.zip");
  TArZipArchive& archive = *owned;
  archive.Password = "fuzz";
  archive.PasswordRetries = 1;
  archive.OnNeedPassword = [](void*, std::string& pw) { pw = "again"; };
  archive.OnProcessItemFailure = [](TArArchive*, TArArchiveItem*, TArProcessType, TArErrorClass, int32_t) {};
  try {
    archive.Load();
  } catch (const std::exception&) { return 0; }
  for (int32_t i = 0; i < archive.Count() && i < 64; ++i) {
    TArZipItem& item = *archive.ZipItem(i);
    if (item.GetUnpackedSize() > (4u << 20)) continue;  // keeps a run short, not safe
    try {
      TNullStream sink;
      ExtractItemToStream(archive, item, &sink);
    } catch (const std::exception&) {}
    try {
      TestItem(archive, item);
    } catch (const std::exception&) {}
  }
  return 0;
}
