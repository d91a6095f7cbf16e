// Loads a tar archive from the input, then unpacks and tests every item into a sink.
#include <cstdint>
#include <string>
#include "archive/tar/tararchive.h"
#include "base/filestream.h"
#include "fuzz/archive/zip/fuzz_util.h"

namespace {

const std::string& Placeholder() {
  static const std::string name = [] {
    std::string n = os::TempDirectory() + "tarfuzz_placeholder.tar";
    TFileStream f(n, fmCreate);
    return n;
  }();
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TArTarArchive archive(Placeholder(), fmOpenRead | fmShareDenyNone);
  delete archive.Stream;
  auto* memory = new TMemoryStream();
  memory->Assign(data, size);
  archive.Stream = memory;
  try {
    archive.Load();
  } catch (const std::exception&) {}
  for (int32_t i = 0; i < archive.Count() && i < 64; ++i) {
    try {
      TNullStream sink;
      archive.UnpackItemToStream(i, sink);
    } catch (const std::exception&) {}
    try {
      archive.VerifyItem(i);
    } catch (const std::exception&) {}
  }
  return 0;
}
