// What the archive fuzzers share: a sink that keeps nothing but where it stands, so
// fuzzed sizes cost no memory, and an archive over the input bytes.
#pragma once
#include <algorithm>
#include <memory>
#include <string>
#include "base/filestream.h"
#include "base/os.h"
#include "base/stream.h"

class TNullStream : public TStream {
public:
  int32_t Read(void*, int32_t) override { return 0; }
  int32_t Write(const void*, int32_t count) override {
    pos_ += std::max(count, 0);
    size_ = std::max(size_, pos_);
    return count;
  }
  int64_t Seek(int64_t offset, int origin) override {
    const int64_t base = origin == soFromCurrent ? pos_ : origin == soFromEnd ? size_ : 0;
    pos_ = std::max<int64_t>(0, base + offset);
    return pos_;
  }

private:
  int64_t pos_ = 0, size_ = 0;
};

// An archive of type A reading the bytes: made over an empty placeholder file (an archive
// needs a file name), its stream then replaced by the bytes in memory.
template <class A>
std::unique_ptr<A> ArchiveOverBytes(const uint8_t* data, size_t size, const std::string& placeholder) {
  static const std::string name = [&] {
    const std::string n = os::TempDirectory() + placeholder;
    TFileStream f(n, fmCreate);
    return n;
  }();
  auto archive = std::make_unique<A>(name, fmOpenRead | fmShareDenyNone);
  delete archive->Stream;
  auto* memory = new TMemoryStream();
  memory->Assign(data, size);
  archive->Stream = memory;
  return archive;
}
