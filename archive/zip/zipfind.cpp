#include "archive/zip/zipfind.h"
#include <algorithm>
#include <vector>

namespace {

// Restores the stream position on every way out unless told to keep the new one.
class TPositionKeeper {
public:
  explicit TPositionKeeper(TStream& s) : s_(s), pos_(s.Position()) {}
  ~TPositionKeeper() {
    if (restore_) {
      try {
        s_.SetPosition(pos_);
      } catch (...) {}
    }
  }
  void Keep() { restore_ = false; }

private:
  TStream& s_;
  int64_t pos_;
  bool restore_ = true;
};

}  // namespace

int64_t FindEndRecord(TStream& stream) {
  TPositionKeeper keeper(stream);
  const int64_t size = stream.Size();
  int32_t limit = 65536;
  if (size > 0 && size < limit) limit = static_cast<int32_t>(size);
  uint8_t rec[kZipEndRecordSize];
  if (size >= kZipEndRecordSize) {
    stream.SetPosition(size - kZipEndRecordSize);
    stream.ReadBuffer(rec, kZipEndRecordSize);
    if (GetU32(rec) == kZipEndRecordSignature && GetU16(rec + 20) == 0) {
      stream.SetPosition(size - kZipEndRecordSize);
      keeper.Keep();
      return size - kZipEndRecordSize;
    }
  }
  // Backward windows of growing size. Each reaches 21 bytes into the one after it, so
  // that every position where a whole 22-byte record can start is a candidate in exactly
  // one window; none reaches further back than an end record with the longest comment.
  constexpr int32_t kOverlap = kZipEndRecordSize - 1;
  const int64_t earliest = std::max<int64_t>(0, size - kZipEndSearchSpan);
  int32_t windowSize = 512;
  int64_t end = size;  // the current window ends here
  std::vector<uint8_t> window;
  while (end - earliest >= kZipEndRecordSize) {
    const int64_t start = std::max(end - windowSize, earliest);
    stream.SetPosition(start);
    window.resize(static_cast<size_t>(end - start));
    const int32_t n = stream.Read(window.data(), static_cast<int32_t>(end - start));
    for (int32_t p = n - kZipEndRecordSize; p >= 0; --p) {
      if (GetU32(&window[static_cast<size_t>(p)]) != kZipEndRecordSignature) continue;
      // A hit whose comment would run past the end is a stray signature (in a comment,
      // say); the search goes on below it rather than giving the archive up.
      const int64_t after = size - (start + p + kZipEndRecordSize);
      if (GetU16(&window[static_cast<size_t>(p) + 20]) <= after) {
        stream.SetPosition(start + p);
        keeper.Keep();
        return start + p;
      }
    }
    if (start == earliest) break;
    if (windowSize < limit) windowSize = std::min(2 * windowSize, limit);
    end = start + kOverlap;
  }
  return -1;
}

uint8_t ProbeZipFile(TStream& stream) {
  TPositionKeeper keeper(stream);
  uint8_t head[4] = {0, 0, 0, 0};
  stream.SetPosition(0);
  if (stream.Read(head, 4) == 4 && (GetU32(head) == kZipSpanningMarker || GetU32(head) == kZipSingleSpanMarker))
    return 2;
  const int64_t end = FindEndRecord(stream);
  if (end < 0) return 0;
  uint8_t sig[4];
  return stream.Read(sig, 4) == 4 && GetU32(sig) == kZipEndRecordSignature ? 1 : 0;
}

uint8_t ProbeSelfExtractingZip(TStream& stream) {
  TPositionKeeper keeper(stream);
  uint8_t head[4] = {0, 0, 0, 0};
  stream.SetPosition(0);
  const int32_t n = stream.Read(head, 4);
  const bool exe = (n >= 2 && head[0] == 'M' && head[1] == 'Z') ||
                   (n == 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F');
  return exe && ProbeZipFile(stream) == 1 ? 3 : 0;
}
