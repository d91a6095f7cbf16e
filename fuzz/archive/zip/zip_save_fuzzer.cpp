// Loads the input as a zip archive from a scratch file of this process, deletes every
// second item and saves: the save either refuses with an exception or writes an archive
// that loads again and lists exactly the kept items, in order.
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>
#include "archive/zip/ziparchive.h"
#include "base/filestream.h"

namespace {

// The scratch file goes when the process ends.
struct TScratch {
  std::string Name = os::TempDirectory() + "zipsave_fuzz_" + std::to_string(::getpid()) + ".zip";
  ~TScratch() { os::EraseFile(Name); }
};

const std::string& Scratch() {
  static const TScratch scratch;
  return scratch.Name;
}

std::vector<std::string> Names(TArZipArchive& a) {
  std::vector<std::string> names;
  for (int32_t i = 0; i < a.Count(); ++i) names.push_back(a.ZipItem(i)->CentralHeader.Name());
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    TFileStream f(Scratch(), fmCreate);
    f.WriteBuffer(data, static_cast<int32_t>(size));
  }
  std::vector<std::string> kept;
  {
    TArZipArchive archive(Scratch(), fmOpenRead | fmShareDenyNone);
    try {
      archive.Load();
    } catch (const std::exception&) { return 0; }
    for (int32_t i = 0; i < archive.Count(); ++i) {
      if (i % 2)
        archive.ZipItem(i)->PendingAction = aaDelete;
      else
        kept.push_back(archive.ZipItem(i)->CentralHeader.Name());
    }
    archive.IsDirty = true;
    try {
      archive.Save();
    } catch (const std::exception&) { return 0; }
    if (Names(archive) != kept) std::abort();
  }
  TArZipArchive saved(Scratch(), fmOpenRead | fmShareDenyNone);
  saved.Load();  // an exception here is a finding
  if (Names(saved) != kept) std::abort();
  return 0;
}
