// Probes and loads a gzip file from the input, then unpacks and tests its item.
#include <cstdint>
#include <string>
#include "archive/gzip/gziparchive.h"
#include "base/filestream.h"
#include "fuzz/archive/zip/fuzz_util.h"

namespace {

const std::string& Placeholder() {
  static const std::string name = [] {
    std::string n = os::TempDirectory() + "gzipfuzz_placeholder.gz";
    TFileStream f(n, fmCreate);
    return n;
  }();
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream probe;
  probe.Assign(data, size);
  try {
    ProbeGzipFile(probe);
  } catch (const std::exception&) {}
  TArGzipArchive archive(Placeholder(), fmOpenRead | fmShareDenyNone);
  delete archive.Stream;
  auto* memory = new TMemoryStream();
  memory->Assign(data, size);
  archive.Stream = memory;
  try {
    archive.Load();
  } catch (const std::exception&) { return 0; }
  if (archive.Count() == 0) return 0;
  try {
    TNullStream sink;
    archive.UnpackItemToStream(0, sink);
  } catch (const std::exception&) {}
  try {
    archive.VerifyItem(0);
  } catch (const std::exception&) {}
  return 0;
}
