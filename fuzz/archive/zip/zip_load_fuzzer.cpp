// Loads a zip archive from the input and extracts and tests every item into a sink.
#include <cstdint>
#include <cstdio>
#include <string>
#include "archive/zip/zipextract.h"
#include "base/filestream.h"
#include "fuzz/archive/zip/fuzz_util.h"

namespace {

const std::string& Placeholder() {
  static const std::string name = [] {
    std::string n = os::TempDirectory() + "zipfuzz_placeholder.zip";
    TFileStream f(n, fmCreate);
    return n;
  }();
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TArZipArchive archive(Placeholder(), fmOpenRead | fmShareDenyNone);
  delete archive.Stream;
  auto* memory = new TMemoryStream();
  memory->Assign(data, size);
  archive.Stream = memory;
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
