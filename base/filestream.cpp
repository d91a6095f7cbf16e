// File stream of the class library over the OS layer.
#include "base/filestream.h"

TFileStream::TFileStream(const std::string& fileName, uint16_t mode) : fileName_(fileName) {
  if (mode == fmCreate) {
    handle_ = os::CreateAlways(fileName, fmShareDenyWrite);
    if (handle_ == os::kInvalidHandle) throw EFCreateError("Cannot create file \"" + fileName + "\"");
  } else {
    handle_ = os::OpenFile(fileName, mode & 3, mode & 0x70);
    if (handle_ == os::kInvalidHandle) throw EFOpenError("Cannot open file \"" + fileName + "\"");
  }
}

TFileStream::~TFileStream() { os::CloseFile(handle_); }

int32_t TFileStream::Read(void* buffer, int32_t count) {
  if (count <= 0) return 0;
  const int32_t n = os::ReadFile(handle_, buffer, count);
  return n < 0 ? 0 : n;
}

int32_t TFileStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  const int32_t n = os::WriteFile(handle_, buffer, count);
  return n < 0 ? 0 : n;
}

int64_t TFileStream::Seek(int64_t offset, int origin) {
  const int64_t r = os::SeekFile(handle_, offset, origin);
  if (r < 0) throw EStreamError("Invalid stream seek");
  return r;
}

int64_t TFileStream::Size() {
  const int64_t size = os::FileSize(handle_);
  if (size < 0) throw EStreamError("Invalid stream seek");
  return size;
}

void TFileStream::SetSize(int64_t newSize) {
  if (newSize < 0) throw EStreamError("Invalid stream size");
  const int64_t pos = Position();
  Seek(newSize, soFromBeginning);
  if (!os::TruncateFile(handle_)) throw EStreamError("Cannot change the size of \"" + fileName_ + "\"");
  Seek(pos < newSize ? pos : newSize, soFromBeginning);
}
