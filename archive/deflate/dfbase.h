// What every piece of the deflate engine shares: the per-call options record, the
// write-only log stream, the engine's exceptions, a page allocator for fixed-size
// nodes and the two running checksums (CRC-32 is the archive utilities' routine,
// one implementation for the whole library).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include "base/exception.h"
#include "base/stream.h"

// Options bits.
constexpr uint32_t OptStored = 0x01;
constexpr uint32_t OptStatic = 0x02;
constexpr uint32_t OptDynamic = 0x04;
constexpr uint32_t OptLazyMatch = 0x08;
constexpr uint32_t OptDeflate64 = 0x10;
constexpr uint32_t OptAdler32 = 0x20;
constexpr uint32_t OptTestOnly = 0x40000000;

// Called with a completion percentage (0..100).
using TArProgressHook = std::function<void(int32_t percent)>;

// Failed contract checks: programming errors, never bad input. The message is the
// check's text followed by the unit name in brackets.
using EArDfAssertionFailed = EAssertionFailed;
[[noreturn]] void ArDfAssertFailed(const char* text, const char* unit);
inline void ArDfCheck(bool ok, const char* text, const char* unit) {
  if (!ok) ArDfAssertFailed(text, unit);
}

class EArInternalInflateError : public Exception {
  using Exception::Exception;
};
class EArInflateError : public Exception {
public:
  explicit EArInflateError(const std::string& cause)
      : Exception("Corvalen inflate error, possibly a corrupted compressed stream. (Internal cause: " + cause + ")") {}
};
class EArInternalDeflateError : public Exception {
  using Exception::Exception;
};
class EArDeflateError : public Exception {
public:
  explicit EArDeflateError(const std::string& cause)
      : Exception("Corvalen deflate error. (Internal cause: " + cause + ")") {}
};
class EArInflatePasswordError : public Exception {
public:
  EArInflatePasswordError() : Exception("Inflate: stream is encrypted but passphrase is wrong") {}
};
class EArPartSizedInflate : public Exception {
public:
  EArPartSizedInflate() : Exception("") {}
};
// A progress hook that wants to stop; it carries its raiser's text and no code.
class EArAbortProgress : public Exception {
  using Exception::Exception;
};

class TArDeflateHelper {
public:
  TArDeflateHelper() = default;
  // Copies every field except the two result counts.
  void Assign(const TArDeflateHelper& source);

  int32_t TargetMatchLength() const { return targetMatchLength_; }
  int32_t ChainSearchLimit() const { return chainSearchLimit_; }
  int32_t LazyMatchLimit() const { return lazyMatchLimit_; }
  uint32_t Options() const { return options_; }
  uint32_t CryptHeaderCheck() const { return cryptHeaderCheck_; }
  const std::string& CryptPassword() const { return cryptPassword_; }
  const TArProgressHook& ProgressHook() const { return progressHook_; }
  char PresetCode() const { return presetCode_; }

  // Tuning setters: an equal value changes nothing; otherwise a value other than -1
  // below 4 becomes 4 and the preset code turns to '?'.
  void SetTargetMatchLength(int32_t value) { SetTuning(targetMatchLength_, value); }
  void SetChainSearchLimit(int32_t value) { SetTuning(chainSearchLimit_, value); }
  void SetLazyMatchLimit(int32_t value) { SetTuning(lazyMatchLimit_, value); }
  void SetOptions(uint32_t value);
  void SetCryptHeaderCheck(uint32_t value) { cryptHeaderCheck_ = value; }
  void SetCryptPassword(const std::string& value) { cryptPassword_ = value; }
  void SetProgressHook(TArProgressHook value) { progressHook_ = std::move(value); }
  // Before a run: without a hook there is nothing to scale; with one, a total of -1
  // becomes the source's size.
  void ResolveProgressTotal(TStream& source);

  std::string LogPath;
  int32_t OutputLimit = 0;
  uint32_t CompressedCount = 0;
  uint32_t UncompressedCount = 0;
  int32_t ProgressTotal = 0;  // -1: the size of the source stream
  int32_t HistorySize = 32768;

private:
  void SetTuning(int32_t& field, int32_t value);

  int32_t targetMatchLength_ = 8;
  int32_t chainSearchLimit_ = 32;
  uint32_t cryptHeaderCheck_ = 0xFFFFFFFFu;
  int32_t lazyMatchLimit_ = 16;
  TArProgressHook progressHook_;
  uint32_t options_ = 0x0F;
  std::string cryptPassword_;
  char presetCode_ = 'n';
};

// Write-only log stream with a 4 KiB buffer in front of its file.
class TArLogger : public TStream {
public:
  enum TDelimiter { dlCRLF, dlLF, dlNone };
  static constexpr int32_t BufferSize = 4096;

  explicit TArLogger(const std::string& fileName);
  // The logger over an already open file stream, which it then owns.
  explicit TArLogger(std::unique_ptr<TStream> file);
  ~TArLogger() override;

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  void WriteLine(const std::string& text);
  int32_t BufferedCount() const { return used_; }

private:
  bool Flush();

  std::unique_ptr<uint8_t[]> buffer_;
  int32_t used_ = 0;
  TDelimiter delimiter_ = dlCRLF;
  std::unique_ptr<TStream> file_;
};

// Page allocator for fixed-size nodes; nodes die with the manager. Links are pointer
// sized, so nodes are at least a pointer wide and a multiple of the pointer size.
class TArNodeManager {
public:
  explicit TArNodeManager(int32_t nodeSize);
  ~TArNodeManager();
  TArNodeManager(const TArNodeManager&) = delete;
  TArNodeManager& operator=(const TArNodeManager&) = delete;
  void* AllocNode();
  int32_t NodeSize() const { return nodeSize_; }
  int32_t NodesPerPage() const { return nodesPerPage_; }
  int32_t PageSize() const { return pageSize_; }

private:
  void* freeList_ = nullptr;
  int32_t nodeSize_;
  int32_t nodesPerPage_;
  void* pageList_ = nullptr;
  int32_t pageSize_;
};

// Running checksums. Adler-32 values start at 1; CRC-32 values start at 0xFFFFFFFF and
// are inverted by the caller at the end.
void UpdateAdler32(uint32_t& value, const void* buffer, int32_t count);
void UpdateCrc32(uint32_t& value, const void* buffer, int32_t count);

// round(part * 100 / total) with ties to even, clamped to 0..100; 0 when total is not
// above 0.
int32_t ArDfPercent(int64_t part, int64_t total);
