// Feeds arbitrary bytes to the zip record readers. The first byte picks the order in
// which records are read; each record that reads cleanly must write back to the same
// bytes it was read from. Anything but the library's own exceptions is a finding.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include "archive/core/arerrors.h"
#include "archive/zip/ziprecords.h"

namespace {

template <class Record>
void ReadAndCheck(TMemoryStream& in) {
  const int64_t start = in.Position();
  Record r;
  try {
    r.ReadRecord(in);
  } catch (const EArException&) { return; }
  const int64_t end = in.Position();
  TMemoryStream out;
  r.WriteRecord(out);
  if (out.Size() != end - start || std::memcmp(out.Memory(), in.Memory() + start, static_cast<size_t>(out.Size())) != 0)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  TMemoryStream in;
  in.Assign(data + 1, size - 1);
  const uint8_t plan = data[0];
  for (int step = 0; step < 8 && in.Position() < in.Size(); ++step) {
    switch ((plan >> (step % 4 * 2)) & 3) {
      case 0: ReadAndCheck<TArZipLocalFileHeader>(in); break;
      case 1: ReadAndCheck<TArZipDirectoryFileHeader>(in); break;
      case 2: ReadAndCheck<TArZipDirectoryFileFooter>(in); break;
      default: in.Seek(plan % 7 + 1, soFromCurrent); break;  // skip a few bytes
    }
  }
  return 0;
}
