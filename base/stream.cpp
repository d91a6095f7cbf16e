#include "base/stream.h"
#include <algorithm>
#include <cstring>

void TStream::SetSize(int64_t) { throw EStreamError("Stream size cannot be changed"); }

int64_t TStream::Size() {
  const int64_t pos = Seek(0, soFromCurrent);
  const int64_t end = Seek(0, soFromEnd);
  Seek(pos, soFromBeginning);
  return end;
}

void TStream::ReadBuffer(void* buffer, int32_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(count, 64 * 1024)) + 1);
  int64_t left = count;
  while (left > 0) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(left, static_cast<int64_t>(buf.size())));
    source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    left -= n;
  }
  return count;
}

int32_t TMemoryStream::Read(void* buffer, int32_t count) {
  if (count <= 0 || pos_ >= Size()) return 0;
  const int32_t n = static_cast<int32_t>(std::min<int64_t>(count, Size() - pos_));
  std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  const int64_t end = pos_ + count;
  if (end > Size()) data_.resize(static_cast<size_t>(end));
  std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
  pos_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, int origin) {
  int64_t base = 0;
  if (origin == soFromCurrent)
    base = pos_;
  else if (origin == soFromEnd)
    base = Size();
  const int64_t target = base + offset;
  if (target < 0) throw EStreamError("Invalid stream seek");
  pos_ = target;  // past the end is allowed; the next write fills the gap with zeros
  return pos_;
}

void TMemoryStream::SetSize(int64_t newSize) {
  if (newSize < 0) throw EStreamError("Invalid stream size");
  data_.resize(static_cast<size_t>(newSize));
  if (pos_ > newSize) pos_ = newSize;
}

void TMemoryStream::Assign(const void* buffer, size_t count) {
  const auto* p = static_cast<const uint8_t*>(buffer);
  data_.assign(p, p + count);
  pos_ = 0;
}
