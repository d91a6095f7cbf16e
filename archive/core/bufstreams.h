// Buffering adapters over a file stream. Archive items are read and written in the small
// chunks that progress is counted in; these turn them into large system calls.
#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>
#include "base/stream.h"

// Item data is read in large blocks and handed out in the small chunks that progress is
// counted in; a step back over an encryption header stays inside the block.
class TReadAhead : public TStream {
public:
  explicit TReadAhead(TStream* inner) : inner_(inner), buf_(65536) {}
  int32_t Read(void* buffer, int32_t count) override {
    if (pos_ == len_) {
      len_ = std::max(inner_->Read(buf_.data(), static_cast<int32_t>(buf_.size())), 0);
      pos_ = 0;
    }
    const int32_t n = std::min(std::max(count, 0), len_ - pos_);
    std::copy(buf_.data() + pos_, buf_.data() + pos_ + n, static_cast<uint8_t*>(buffer));
    pos_ += n;
    return n;
  }
  int32_t Write(const void*, int32_t) override { return 0; }
  int64_t Seek(int64_t offset, int origin) override {
    if (origin == soFromCurrent && pos_ + offset >= 0 && pos_ + offset <= len_) {
      pos_ += static_cast<int32_t>(offset);
      return inner_->Seek(0, soFromCurrent) - (len_ - pos_);
    }
    const int64_t logical = inner_->Seek(0, soFromCurrent) - (len_ - pos_);
    pos_ = len_ = 0;
    return origin == soFromCurrent ? inner_->Seek(logical + offset, soFromBeginning) : inner_->Seek(offset, origin);
  }

private:
  TStream* inner_;
  std::vector<uint8_t> buf_;
  int32_t pos_ = 0, len_ = 0;
};

// Collects small writes into large ones for the file under a temporary name. A write of
// a few pages or more goes straight to the file (after what is collected): copying it
// would cost more than the system call it saves.
class TWriteBehind : public TStream {
public:
  explicit TWriteBehind(TStream* inner) : inner_(inner) { buf_.reserve(65536); }
  // A read sees what was written: the buffer goes out first.
  int32_t Read(void* buffer, int32_t count) override {
    Flush();
    return inner_->Read(buffer, count);
  }
  int32_t Write(const void* buffer, int32_t count) override {
    if (count <= 0) return 0;
    if (buf_.size() + static_cast<size_t>(count) > buf_.capacity() || count >= kDirect) Flush();
    if (count >= kDirect) {
      inner_->WriteBuffer(buffer, count);
    } else {
      const auto* p = static_cast<const uint8_t*>(buffer);
      buf_.insert(buf_.end(), p, p + count);
    }
    return count;
  }
  int64_t Seek(int64_t offset, int origin) override {
    if (origin == soFromCurrent && offset == 0)
      return inner_->Seek(0, soFromCurrent) + static_cast<int64_t>(buf_.size());
    Flush();
    return inner_->Seek(offset, origin);
  }
  void Flush() {
    if (!buf_.empty()) inner_->WriteBuffer(buf_.data(), static_cast<int32_t>(buf_.size()));
    buf_.clear();
  }

private:
  static constexpr int32_t kDirect = 16384;
  TStream* inner_;
  std::vector<uint8_t> buf_;
};
