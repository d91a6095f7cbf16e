// A sink that keeps nothing but where it stands, so fuzzed sizes cost no memory.
#pragma once
#include <algorithm>
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
