#include "archive/deflate/dfbase.h"
#include "archive/core/arutils.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void ArDfAssertFailed(const char* text, const char* unit) {
  throw EArDfAssertionFailed(std::string(text) + " (" + unit + ")");
}

void TArDeflateHelper::Assign(const TArDeflateHelper& source) {
  const uint32_t compressed = CompressedCount, uncompressed = UncompressedCount;
  *this = source;
  CompressedCount = compressed;
  UncompressedCount = uncompressed;
}

void TArDeflateHelper::SetTuning(int32_t& field, int32_t value) {
  if (value == field) return;
  if (value != -1 && value < 4) value = 4;
  field = value;
  presetCode_ = '?';
}

void TArDeflateHelper::ResolveProgressTotal(TStream& source) {
  if (!progressHook_)
    ProgressTotal = 0;
  else if (ProgressTotal == -1)
    ProgressTotal = static_cast<int32_t>(source.Size());
}

void TArDeflateHelper::SetOptions(uint32_t value) {
  if (value == options_) return;
  options_ = value;
  presetCode_ = '?';
}

// ---------------------------------------------------------------------------------------
// Logger

namespace {
// The logger's file: created anew, written through stdio.
class TLogFile : public TStream {
public:
  explicit TLogFile(const std::string& name) : file_(std::fopen(name.c_str(), "wb")) {
    if (!file_) throw EFCreateError("Cannot create file \"" + name + "\"");
  }
  ~TLogFile() override { std::fclose(file_); }
  int32_t Read(void*, int32_t) override { return 0; }
  int32_t Write(const void* buffer, int32_t count) override {
    if (count <= 0) return 0;
    const size_t n = std::fwrite(buffer, 1, static_cast<size_t>(count), file_);
    std::fflush(file_);
    return static_cast<int32_t>(n);
  }
  int64_t Seek(int64_t offset, int origin) override {
    const int whence = origin == soFromCurrent ? SEEK_CUR : origin == soFromEnd ? SEEK_END : SEEK_SET;
    if (!(offset == 0 && whence == SEEK_CUR) && std::fseek(file_, static_cast<long>(offset), whence) != 0)
      throw EStreamError("Invalid stream seek");
    return std::ftell(file_);
  }

private:
  std::FILE* file_;
};
}  // namespace

static std::unique_ptr<TStream> OpenLogFile(const std::string& fileName) {
  ArDfCheck(!fileName.empty(), "TArLogger.Create: a filename must be provided for the logger", "ArDfBase");
  return std::make_unique<TLogFile>(fileName);
}

TArLogger::TArLogger(const std::string& fileName) : TArLogger(OpenLogFile(fileName)) {}

TArLogger::TArLogger(std::unique_ptr<TStream> file) : buffer_(new uint8_t[BufferSize]), file_(std::move(file)) {}

TArLogger::~TArLogger() {
  if (used_ > 0) {
    try {
      Flush();
    } catch (...) {}
  }
}

bool TArLogger::Flush() {
  const int32_t written = std::max(0, file_->Write(buffer_.get(), used_));
  if (written == used_) {
    used_ = 0;
    return true;
  }
  if (written > 0) {
    std::memmove(buffer_.get(), buffer_.get() + written, static_cast<size_t>(used_ - written));
    used_ -= written;
  }
  return false;
}

int32_t TArLogger::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  if (used_ == BufferSize && !Flush()) return 0;
  const auto* src = static_cast<const uint8_t*>(buffer);
  int32_t done = std::min(count, BufferSize - used_);
  std::memcpy(buffer_.get() + used_, src, static_cast<size_t>(done));
  used_ += done;
  while (done < count) {
    if (!Flush()) break;
    const int32_t n = std::min(count - done, BufferSize - used_);
    std::memcpy(buffer_.get() + used_, src + done, static_cast<size_t>(n));
    used_ += n;
    done += n;
  }
  return done;
}

void TArLogger::WriteLine(const std::string& text) {
  if (!text.empty()) Write(text.data(), static_cast<int32_t>(text.size()));
  if (delimiter_ == dlCRLF)
    Write("\r\n", 2);
  else if (delimiter_ == dlLF)
    Write("\n", 1);
}

int32_t TArLogger::Read(void*, int32_t) {
  ArDfAssertFailed("TArLogger.Read: loggers are write-only, no reading allowed", "ArDfBase");
}

int64_t TArLogger::Seek(int64_t offset, int origin) {
  if (offset != 0 || (origin != soFromCurrent && origin != soFromEnd))
    ArDfAssertFailed("TArLogger.Seek: loggers are write-only, no seeking allowed", "ArDfBase");
  return file_->Seek(0, soFromCurrent) + used_;
}

// ---------------------------------------------------------------------------------------
// Node manager

namespace {
constexpr int32_t kLinkSize = static_cast<int32_t>(sizeof(void*));
constexpr int32_t kPageBytes = 8192;
}  // namespace

TArNodeManager::TArNodeManager(int32_t nodeSize) {
  nodeSize_ = nodeSize <= kLinkSize ? kLinkSize : (nodeSize + kLinkSize - 1) / kLinkSize * kLinkSize;
  nodesPerPage_ = (kPageBytes - kLinkSize) / nodeSize_;
  if (nodesPerPage_ <= 1) {
    nodesPerPage_ = 1;
    pageSize_ = nodeSize_ + kLinkSize;
  } else {
    pageSize_ = kPageBytes;
  }
}

TArNodeManager::~TArNodeManager() {
  while (pageList_) {
    void* next = *static_cast<void**>(pageList_);
    std::free(pageList_);
    pageList_ = next;
  }
}

void* TArNodeManager::AllocNode() {
  if (!freeList_) {
    auto* page = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(pageSize_)));
    if (!page) throw std::bad_alloc();
    *reinterpret_cast<void**>(page) = pageList_;
    pageList_ = page;
    uint8_t* node = page + kLinkSize;
    for (int32_t i = 0; i < nodesPerPage_; ++i, node += nodeSize_) {
      *reinterpret_cast<void**>(node) = freeList_;
      freeList_ = node;
    }
  }
  void* node = freeList_;
  freeList_ = *static_cast<void**>(node);
  return node;
}

// ---------------------------------------------------------------------------------------
// Checksums

void UpdateCrc32(uint32_t& value, const void* buffer, int32_t count) {
  if (count > 0) UpdateCrc32Buffer(value, buffer, static_cast<size_t>(count));
}

void UpdateAdler32(uint32_t& value, const void* buffer, int32_t count) {
  const auto* p = static_cast<const uint8_t*>(buffer);
  uint32_t a = value & 0xFFFF, b = value >> 16;
  int32_t left = count;
  while (left > 0) {
    int32_t chunk = std::min(left, 4096);
    left -= chunk;
    while (chunk >= 8) {
      a += p[0];
      b += a;
      a += p[1];
      b += a;
      a += p[2];
      b += a;
      a += p[3];
      b += a;
      a += p[4];
      b += a;
      a += p[5];
      b += a;
      a += p[6];
      b += a;
      a += p[7];
      b += a;
      p += 8;
      chunk -= 8;
    }
    while (chunk--) {
      a += *p++;
      b += a;
    }
    a %= 65521;
    b %= 65521;
  }
  value = (b << 16) | a;
}

int32_t ArDfPercent(int64_t part, int64_t total) {
  if (total <= 0 || part <= 0) return 0;
  const int64_t q = part * 100 / total, rem = part * 100 % total;
  int64_t r = q;
  if (2 * rem > total || (2 * rem == total && (q & 1))) ++r;
  return static_cast<int32_t>(std::min<int64_t>(r, 100));
}
