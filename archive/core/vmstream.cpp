#include "archive/core/vmstream.h"
#include <algorithm>
#include <cstring>
#include "archive/core/arerrors.h"
#include "archive/core/arutils.h"

TArVirtualMemoryStream::TArVirtualMemoryStream() {
  auto first = std::make_unique<TPage>();
  first->Offset = 0;
  first->Stamp = NextStamp();
  first->Dirty = false;
  std::memset(first->Data, 0, kPageSize);
  cache_ = first.get();
  pages_.push_back(std::move(first));
  SetMemoryLimit(102400);
}

TArVirtualMemoryStream::~TArVirtualMemoryStream() {
  if (swap_ != os::kInvalidHandle) {
    os::CloseFile(swap_);
    os::EraseFile(swapName_);
  }
}

void TArVirtualMemoryStream::SetMemoryLimit(int32_t bytes) {
  int32_t pages = bytes <= 0 ? 1 : static_cast<int32_t>((static_cast<int64_t>(bytes) + kPageSize - 1) / kPageSize);
  pageLimit_ = std::clamp(pages, 1, 256);
}

uint32_t TArVirtualMemoryStream::NextStamp() {
  if (useCounter_ >= 2147483647u) {
    for (auto& p : pages_) p->Stamp = 0;
    useCounter_ = 0;
  }
  return ++useCounter_;
}

void TArVirtualMemoryStream::OpenSwap() {
  swapName_ = CreateTempFile(SwapFolder);
  // Without a name the folder takes no file: the message names the folder instead.
  if (swapName_.empty()) throw EArVMSErrorOpenSwap(SwapFolder);
  swap_ = os::OpenFile(swapName_, 2, 0x20);
  if (swap_ == os::kInvalidHandle) {
    os::EraseFile(swapName_);
    throw EArVMSErrorOpenSwap(swapName_);
  }
  swapSize_ = 0;
}

void TArVirtualMemoryStream::SwapOut(TPage& page) {
  if (swap_ == os::kInvalidHandle) OpenSwap();
  if (os::SeekFile(swap_, page.Offset, 0) != page.Offset) throw EArVMSSeekFail(swapName_);
  if (os::WriteFile(swap_, page.Data, kPageSize) != kPageSize) throw EArVMSWriteFail(kPageSize, swapName_);
  swapSize_ = std::max(swapSize_, page.Offset + kPageSize);
  page.Dirty = false;
}

void TArVirtualMemoryStream::SwapIn(TPage& page) {
  if (swap_ == os::kInvalidHandle || page.Offset >= swapSize_) {
    std::memset(page.Data, 0, kPageSize);
    return;
  }
  if (os::SeekFile(swap_, page.Offset, 0) != page.Offset) throw EArVMSSeekFail(swapName_);
  if (os::ReadFile(swap_, page.Data, kPageSize) != kPageSize) throw EArVMSReadFail(kPageSize, swapName_);
}

TArVirtualMemoryStream::TPage* TArVirtualMemoryStream::PageAt(int64_t pageOffset) {
  if (cache_ && cache_->Offset == pageOffset) return cache_;
  auto at = std::lower_bound(pages_.begin(), pages_.end(), pageOffset,
                             [](const std::unique_ptr<TPage>& p, int64_t off) { return p->Offset < off; });
  if (at != pages_.end() && (*at)->Offset == pageOffset) {
    (*at)->Stamp = NextStamp();
    cache_ = at->get();
    return cache_;
  }
  size_t insertAt = static_cast<size_t>(at - pages_.begin());
  std::unique_ptr<TPage> page;
  if (static_cast<int32_t>(pages_.size()) < pageLimit_) {
    page = std::make_unique<TPage>();
  } else {
    const size_t candidates = std::min(pages_.size(), static_cast<size_t>(pageLimit_));
    size_t oldest = 0;
    for (size_t i = 1; i < candidates; ++i)
      if (pages_[i]->Stamp < pages_[oldest]->Stamp) oldest = i;
    if (pages_[oldest]->Dirty) SwapOut(*pages_[oldest]);
    page = std::move(pages_[oldest]);
    pages_.erase(pages_.begin() + static_cast<std::ptrdiff_t>(oldest));
    if (oldest < insertAt) --insertAt;
    if (cache_ == page.get()) cache_ = nullptr;
  }
  page->Offset = pageOffset;
  page->Stamp = NextStamp();
  page->Dirty = false;
  SwapIn(*page);  // on failure the page is released here and the stream stays usable
  cache_ = page.get();
  pages_.insert(pages_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(page));
  return cache_;
}

int32_t TArVirtualMemoryStream::Read(void* buffer, int32_t count) {
  const int64_t avail = std::max<int64_t>(size_ - position_, 0);
  count = static_cast<int32_t>(std::min<int64_t>(std::max(count, 0), avail));
  auto* dst = static_cast<uint8_t*>(buffer);
  int32_t done = 0;
  while (done < count) {
    const int64_t off = position_ % kPageSize;
    TPage* page = PageAt(position_ - off);
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(count - done, kPageSize - off));
    std::memcpy(dst + done, page->Data + off, static_cast<size_t>(n));
    done += n;
    position_ += n;
  }
  return count;
}

int32_t TArVirtualMemoryStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  const auto* src = static_cast<const uint8_t*>(buffer);
  int32_t done = 0;
  while (done < count) {
    const int64_t off = position_ % kPageSize;
    TPage* page = PageAt(position_ - off);
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(count - done, kPageSize - off));
    std::memcpy(page->Data + off, src + done, static_cast<size_t>(n));
    page->Dirty = true;
    done += n;
    position_ += n;
    size_ = std::max(size_, position_);
  }
  return count;
}

// A position before the start has no page; it is refused here rather than at the next
// read or write.
int64_t TArVirtualMemoryStream::Seek(int64_t offset, int origin) {
  int64_t target;
  switch (origin) {
    case soFromBeginning: target = offset; break;
    case soFromCurrent: target = position_ + offset; break;
    case soFromEnd: target = size_ + offset; break;
    default: throw EArVMSInvalidOrigin(origin);
  }
  if (target < 0) throw EArVMSSeekFail(swapName_);
  position_ = target;
  return position_;
}

void TArVirtualMemoryStream::SetSize(int64_t newSize) {
  if (newSize < 0) newSize = 0;
  if (newSize < size_) {
    for (size_t i = pages_.size(); i-- > 0;) {
      if (pages_[i]->Offset >= newSize) {
        if (cache_ == pages_[i].get()) cache_ = nullptr;
        pages_.erase(pages_.begin() + static_cast<std::ptrdiff_t>(i));
      }
    }
    const int64_t rounded = (newSize + kPageSize - 1) / kPageSize * kPageSize;
    // The file is cut too: a page swapped out later past the new end would otherwise
    // bring the old bytes in between back to life.
    if (swapSize_ > rounded) {
      swapSize_ = rounded;
      if (os::SeekFile(swap_, rounded, 0) != rounded || !os::TruncateFile(swap_)) throw EArVMSSeekFail(swapName_);
    }
    // Bytes past the new end must read as zeros if the stream grows again.
    const int64_t off = newSize % kPageSize;
    if (off != 0) {
      TPage* page = PageAt(newSize - off);
      std::memset(page->Data + off, 0, static_cast<size_t>(kPageSize - off));
      page->Dirty = true;
    }
  }
  size_ = newSize;
  position_ = std::min(position_, newSize);
}

TArBitBucketStream::TArBitBucketStream(int32_t requestedSize) {
  const int32_t size = requestedSize == 4096 || requestedSize == 8192 || requestedSize == 32768 ? requestedSize : 32768;
  bufferSize_ = size + 1024;
  buffer_.assign(static_cast<size_t>(bufferSize_), 0);
}

int32_t TArBitBucketStream::Write(const void* buffer, int32_t count) {
  if (count > bufferSize_) throw EArBBSWriteTooManyBytes(count);
  if (count <= 0) return 0;
  const auto* src = static_cast<const uint8_t*>(buffer);
  const int32_t first = std::min(count, bufferSize_ - tail_);
  std::memcpy(buffer_.data() + tail_, src, static_cast<size_t>(first));
  std::memcpy(buffer_.data(), src + first, static_cast<size_t>(count - first));
  tail_ = (tail_ + count) % bufferSize_;
  size_ += count;
  position_ = size_;
  bufferPosition_ = tail_;
  return count;
}

int32_t TArBitBucketStream::Read(void* buffer, int32_t count) {
  if (count > bufferSize_) throw EArBBSReadTooManyBytes(count);
  if (count <= 0) return 0;
  const int32_t avail = (tail_ - bufferPosition_ + bufferSize_) % bufferSize_;
  if (avail < count) throw EArBBSReadTooManyBytes(count);
  auto* dst = static_cast<uint8_t*>(buffer);
  const int32_t first = std::min(count, bufferSize_ - bufferPosition_);
  std::memcpy(dst, buffer_.data() + bufferPosition_, static_cast<size_t>(first));
  std::memcpy(dst + first, buffer_.data(), static_cast<size_t>(count - first));
  bufferPosition_ = (bufferPosition_ + count) % bufferSize_;
  position_ += count;
  return count;
}

int64_t TArBitBucketStream::Seek(int64_t offset, int origin) {
  if (origin == soFromEnd && offset == 0) {
    bufferPosition_ = tail_;
    position_ = size_;
    return size_;
  }
  int64_t target;
  switch (origin) {
    case soFromBeginning: target = offset; break;
    case soFromCurrent: target = position_ + offset; break;
    case soFromEnd: target = size_ + offset; break;
    default: throw EArBBSInvalidOrigin();
  }
  if (target > size_ || target <= size_ - bufferSize_) throw EArBBSSeekOutsideBuffer();
  position_ = target;
  int64_t bp = tail_ - (size_ - target);
  if (bp < 0) bp += bufferSize_;
  bufferPosition_ = static_cast<int32_t>(bp);
  return target;
}
