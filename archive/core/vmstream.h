// Two scratch streams of the archive library. TArVirtualMemoryStream keeps its data in
// 4 KB pages, at most a fixed number in memory, and swaps the least recently used ones
// to a temporary file, so rebuilding an archive needs bounded memory whatever its size.
// TArBitBucketStream keeps only the last few kilobytes written, in a ring, enough for a
// decoder that reads its own recent output back while testing an item.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "base/os.h"
#include "base/stream.h"

class TArVirtualMemoryStream : public TStream {
public:
  static constexpr int32_t kPageSize = 4096;

  TArVirtualMemoryStream();
  ~TArVirtualMemoryStream() override;  // closes and deletes the swap file

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  void SetSize(int64_t newSize) override;
  int64_t Size() override { return size_; }

  // Rounded up to whole pages, at most 256 (1 MB).
  void SetMemoryLimit(int32_t bytes);
  int32_t MemoryLimit() const { return pageLimit_ * kPageSize; }
  int32_t PagesInMemory() const { return static_cast<int32_t>(pages_.size()); }
  // Empty until the first page is swapped out.
  const std::string& SwapFileName() const { return swapName_; }

  std::string SwapFolder;

private:
  struct TPage {
    int64_t Offset;
    uint32_t Stamp;
    bool Dirty;
    uint8_t Data[kPageSize];
  };
  uint32_t NextStamp();
  TPage* PageAt(int64_t pageOffset);
  void SwapOut(TPage& page);
  void SwapIn(TPage& page);
  void OpenSwap();

  TPage* cache_ = nullptr;
  uint32_t useCounter_ = 0;
  int32_t pageLimit_ = 0;
  std::vector<std::unique_ptr<TPage>> pages_;  // ordered by offset
  int64_t position_ = 0;
  int64_t size_ = 0;
  std::string swapName_;
  int64_t swapSize_ = 0;
  os::FileHandle swap_ = os::kInvalidHandle;
};

class TArBitBucketStream : public TStream {
public:
  // 4096, 8192 or 32768 are kept; anything else becomes 32768. The ring holds 1 KB more.
  explicit TArBitBucketStream(int32_t requestedSize);

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() override { return size_; }
  int32_t BufferSize() const { return bufferSize_; }

private:
  std::vector<uint8_t> buffer_;
  int32_t bufferSize_;
  int32_t bufferPosition_ = 0;
  int64_t position_ = 0;
  int64_t size_ = 0;
  int32_t tail_ = 0;
};
