// Byte streams of the class library. Read and Write move at most Count bytes and return
// how many moved; ReadBuffer and WriteBuffer insist on all of them. Seek origins are
// 0 from the start, 1 from the current position, 2 from the end.
#pragma once
#include <cstdint>
#include <vector>
#include "base/exception.h"

enum TSeekOrigin : int { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

class TStream {
public:
  virtual ~TStream() = default;
  virtual int32_t Read(void* buffer, int32_t count) = 0;
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
  virtual int64_t Seek(int64_t offset, int origin) = 0;
  // Streams that cannot change their size raise EStreamError.
  virtual void SetSize(int64_t newSize);

  int64_t Position() { return Seek(0, soFromCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, soFromBeginning); }
  virtual int64_t Size();

  void ReadBuffer(void* buffer, int32_t count);
  void WriteBuffer(const void* buffer, int32_t count);
  // Copies count bytes from source's current position; count 0 copies the whole source
  // from its start. Returns the bytes copied.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// Growable in-memory stream; writing past the end extends it.
class TMemoryStream : public TStream {
public:
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  void SetSize(int64_t newSize) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  void Clear() {
    data_.clear();
    pos_ = 0;
  }
  uint8_t* Memory() { return data_.data(); }
  const std::vector<uint8_t>& Bytes() const { return data_; }
  void Assign(const void* buffer, size_t count);

private:
  std::vector<uint8_t> data_;
  int64_t pos_ = 0;
};
