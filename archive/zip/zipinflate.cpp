#include "archive/zip/zipinflate.h"
#include <algorithm>
#include "archive/core/arerrors.h"
#include "archive/deflate/dfinflate.h"

int32_t TArWindowStream::Read(void* buffer, int32_t count) {
  const int32_t n = inner_->Read(buffer, static_cast<int32_t>(std::min<int64_t>(std::max(count, 0), left_)));
  if (n > 0) left_ -= n;
  return n;
}

int64_t TArWindowStream::Seek(int64_t offset, int origin) {
  const int64_t before = inner_->Seek(0, soFromCurrent);
  const int64_t after = inner_->Seek(offset, origin);
  left_ = std::max<int64_t>(0, left_ - (after - before));
  return after;
}

namespace {

// Passes at most limit bytes on and then stops the inflater: a stream that would grow
// past its declared size is cut off instead of being written out in full.
class TOverrun {};
class TLimitStream : public TStream {
public:
  TLimitStream(TStream* inner, int64_t limit) : inner_(inner), left_(limit) {}
  int32_t Read(void*, int32_t) override { return 0; }
  int32_t Write(const void* buffer, int32_t count) override {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(std::max(count, 0), left_));
    if (n > 0) inner_->WriteBuffer(buffer, n);
    left_ -= n;
    offered_ += std::max(count, 0);
    if (n < count) throw TOverrun();
    return count;
  }
  int64_t Seek(int64_t offset, int origin) override { return inner_->Seek(offset, origin); }
  int64_t Offered() const { return offered_; }

private:
  TStream* inner_;
  int64_t left_;
  int64_t offered_ = 0;
};

}  // namespace

TArZipInflateResult ZipInflate(const TArZipInflateCall& call) {
  TArDeflateHelper helper;
  uint32_t options = helper.Options();
  if (call.TestOnly) options |= OptTestOnly;
  if (call.Deflate64) options |= OptDeflate64;
  helper.SetOptions(options);
  helper.ProgressTotal = static_cast<int32_t>(std::min<uint32_t>(call.PackedSize, 0x7FFFFFFF));
  // The engine ends quietly when its hook stops it, just as when the data ends; the
  // user's stop has to end the item, so it leaves the engine as the abort it is.
  if (call.Progress)
    helper.SetProgressHook([&call](int32_t percent) {
      try {
        call.Progress(percent);
      } catch (const EArAbortProgress&) { throw EArUserAbort(); }
    });
  if (!call.Password.empty()) {
    helper.SetCryptPassword(call.Password);
    helper.SetCryptHeaderCheck(call.CheckValue);
  }
  TArWindowStream source(call.Source, call.PackedSize);
  TLimitStream output(call.Output, call.UnpackedSize);
  TArZipInflateResult result;
  try {
    result.Crc = Inflate(&source, &output, &helper);
    result.Produced = helper.UncompressedCount;
  } catch (const EArInflatePasswordError&) { result.Outcome = ioWrongPassword; } catch (const TOverrun&) {
    result.Outcome = ioOverrun;
    result.Produced = output.Offered();
  }
  return result;
}
