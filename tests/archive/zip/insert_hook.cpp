#include "tests/archive/zip/insert_hook.h"
#include <cstdint>
#include <memory>
#include <vector>
#include "archive/core/arutils.h"
#include "archive/deflate/dfdeflate.h"
#include "archive/deflate/zipcrypt.h"
#include "base/filestream.h"

namespace {

// Item sizes are signed 32-bit: a source of 2 GiB or more is refused as the library's save
// refuses such an item. Cut to 32 bits, its size would pass.
void CheckSourceSize(int64_t size) {
  if (size > INT32_MAX) throw EArZipException("Item too large for a zip archive");
}

}  // namespace

void ApplyDeflatePreset(TArDeflateHelper& helper, char preset) {
  const int32_t tuning = preset == 'f' ? 4 : -1;
  if (preset == 'n') return;
  helper.SetTargetMatchLength(tuning);
  helper.SetChainSearchLimit(tuning);
  helper.SetLazyMatchLimit(tuning);
  if (preset == 'f') helper.SetOptions(helper.Options() & ~OptLazyMatch);
}

void CompressInto(TArZipItem& item, TStream& source, TStream& output, const TInsertSettings& s) {
  // Before any of it is read, and again as read (it may have grown).
  const int64_t start = source.Position();
  CheckSourceSize(source.Size() - start);
  // The CRC comes first: an encryption header carries it before any data is written.
  std::vector<uint8_t> buffer(65536);
  uint32_t crc = 0xFFFFFFFF;
  for (int32_t n; (n = source.Read(buffer.data(), static_cast<int32_t>(buffer.size()))) > 0;)
    UpdateCrc32Buffer(crc, buffer.data(), static_cast<size_t>(n));
  crc = ~crc;
  const int64_t size = source.Position() - start;
  CheckSourceSize(size);
  source.SetPosition(start);
  const uint32_t check = s.Descriptor ? uint32_t{s.Time} << 16 : crc;
  if (s.Method == 0) {
    std::unique_ptr<TArDfEncryptStream> encrypt;
    if (!s.Password.empty()) encrypt = std::make_unique<TArDfEncryptStream>(&output, s.Password, check);
    TStream& to = encrypt ? *encrypt : output;
    for (int32_t n; (n = source.Read(buffer.data(), static_cast<int32_t>(buffer.size()))) > 0;)
      to.WriteBuffer(buffer.data(), n);
  } else {
    TArDeflateHelper helper;
    ApplyDeflatePreset(helper, s.Preset);
    if (s.Method == 9) helper.SetOptions(helper.Options() | OptDeflate64);
    helper.SetCryptPassword(s.Password);
    helper.SetCryptHeaderCheck(check);
    Deflate(&source, &output, &helper);
  }
  item.SetMethodByte(s.Method);
  item.SetGpFlags(static_cast<uint16_t>((s.Password.empty() ? 0 : 1) | (s.Descriptor ? 8 : 0)));
  item.SetCrc(crc);
  item.SetPackedSize(static_cast<int32_t>(output.Size()));
  item.SetUnpackedSize(static_cast<uint32_t>(size));
  item.CentralHeader.NeededVersion = s.Method == 9 ? 21 : 20;
  item.CentralHeader.MadeByVersion = 20;
  item.SetModDate(s.Date);
  item.SetModTime(s.Time);
  item.SetAttributes(s.Attributes);
}

void InstallInsertHooks(TArZipArchive& archive, std::function<TInsertSettings(const TArZipItem&)> settingsOf) {
  archive.OnInsert = [settingsOf](TArZipArchive&, TArZipItem& item, TStream* output) {
    TFileStream source(item.SourcePath, fmOpenRead | fmShareDenyWrite);
    CompressInto(item, source, *output, settingsOf(item));
  };
  archive.OnInsertFromStream = [settingsOf](TArZipArchive&, TArZipItem& item, TStream* output, TStream* source) {
    source->SetPosition(0);
    CompressInto(item, *source, *output, settingsOf(item));
  };
}
