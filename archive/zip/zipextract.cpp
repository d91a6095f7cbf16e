#include "archive/zip/zipextract.h"
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>
#include "archive/zip/legacyzip.h"
#include "archive/core/vmstream.h"
#include "archive/deflate/zipcrypt.h"
#include "archive/zip/zipinflate.h"
#include "archive/core/bufstreams.h"
#include "archive/core/pendingfile.h"
#include "base/filestream.h"

namespace {

constexpr uint16_t kDataDescriptorFlag = 0x08;
constexpr uint8_t kDeflate64 = 9;

// What one run of the decoders produced, judged against the central directory.
struct TOutcome {
  uint32_t Crc = 0;
  bool SizeMatches = true;
};

// Deflate64 needs version 2.1 by the format's own rules; everything else above 2.0 is
// beyond this library.
void CheckVersion(const TArZipItem& item) {
  const uint8_t needed = static_cast<uint8_t>(item.NeededVersion());
  if (needed > 20 && !(needed == 21 && item.MethodByte() == kDeflate64)) throw EArZipVersion();
}

void SelectDisk(TArZipArchive& archive, const TArZipItem& item) {
  if (!archive.Spanned) return;
  auto* span = dynamic_cast<TArSpanStream*>(archive.Stream);
  if (!span) throw EArZipBadSpanStream();
  // A stream that moved on by itself no longer stands on the piece DiskInUse names.
  if (span->MovedByItself) archive.DiskInUse = 0xFFFF;
  if (item.StartDisk() == archive.DiskInUse) return;
  archive.DiskInUse = item.StartDisk();
  archive.RequestDiskOrImage(item.StartDisk());
}

uint32_t CheckValueOf(const TArZipLocalFileHeader& local, const TArZipItem& item) {
  return (local.GpFlags & kDataDescriptorFlag) ? static_cast<uint32_t>(local.ModTime) << 16 : item.GetCrc();
}

bool IsFolderEntry(const TArZipItem& item, const std::string& name) {
  if (!name.empty() && (name.back() == '/' || name.back() == '\\')) return true;
  return (item.GetAttributes() & os::faDirectory) && item.GetUnpackedSize() == 0 && item.GetPackedSize() == 0;
}

TOutcome Decode(TArZipArchive& archive, TArZipItem& item, TStream* output) {
  if (!output) throw EArBadStream();
  CheckVersion(item);
  SelectDisk(archive, item);
  archive.Stream->SetPosition(item.LocalHeaderOffset());
  TArZipLocalFileHeader local;
  local.ReadRecord(*archive.Stream);
  const uint32_t check = CheckValueOf(local, item);
  const int64_t start = output->Position();
  TOutcome out;
  switch (local.MethodByte()) {
    case 0: out.Crc = UnstoreItem(archive, item, output, check); break;
    case 8:
    case kDeflate64: {
      // Inflating reports what it produced itself (nothing reaches a test's sink).
      out.Crc = InflateItem(archive, item, output, check);
      return out;
    }
    default: out.Crc = UnshrinkItem(archive, item, output, check); break;
  }
  out.SizeMatches = output->Position() - start == static_cast<int64_t>(item.GetUnpackedSize()) ||
                    dynamic_cast<TArBitBucketStream*>(output) != nullptr;
  return out;
}

// Inflate's own size check travels here: a wrong size counts as a failed check.
thread_local bool gInflateSizeWrong = false;

bool Verified(TArZipArchive& archive, TArZipItem& item, TStream* output) {
  gInflateSizeWrong = false;
  const TOutcome out = Decode(archive, item, output);
  // The check value of an item with a data descriptor proves the password only; the
  // data is judged by the central directory's CRC alone.
  return out.SizeMatches && !gInflateSizeWrong && out.Crc == item.GetCrc();
}

void ReportBadCrc(TArZipArchive& archive, TArZipItem& item) {
  if (!archive.OnProcessItemFailure) throw EArZipBadCRC();
  archive.OnProcessItemFailure(&archive, &item, ptExtract, ecArchiveError, arcZipBadCRC);
}

}  // namespace

void ExtractItemToFile(TArZipArchive& archive, TArZipItem& item, const std::string& name) {
  std::string path = name;
  if (!TArArchive::PrepareOutputPath(archive.BaseDirectory(), path, archive.ExtractOptions, archive.OnConfirmOverwrite))
    return;
  // A folder entry: PrepareOutputPath has made the folder (with eoCreateDirs).
  if (IsFolderEntry(item, name)) return;
  try {
    TPendingFile file(path);
    if (!Verified(archive, item, file.Stream())) {
      ReportBadCrc(archive, item);
      return;  // the old file stays as it was
    }
    file.Commit(static_cast<uint32_t>(item.GetModDate()) << 16 | item.GetModTime(), item.GetAttributes());
  } catch (const EArUserAbort&) {
    archive.Status = asInvalid;
    throw;
  }
}

void ExtractItemToStream(TArZipArchive& archive, TArZipItem& item, TStream* output) {
  if (!Verified(archive, item, output)) ReportBadCrc(archive, item);
}

// Local and central records must agree on what the data is; the extra fields differ
// by design (time stamps and sizes carried only in one of them), and the CRC and sizes
// of an item followed by a data descriptor are in the local record as zeros.
void TestItem(TArZipArchive& archive, TArZipItem& item) {
  CheckVersion(item);
  if (archive.Spanned) {
    auto* span = dynamic_cast<TArSpanStream*>(archive.Stream);
    if (!span) throw EArZipBadSpanStream();
    archive.DiskInUse = item.StartDisk();
    archive.RequestDiskOrImage(item.StartDisk());
  }
  TArBitBucketStream bucket(0);
  TArZipLocalFileHeader local;
  archive.Stream->SetPosition(item.LocalHeaderOffset());
  local.ReadRecord(*archive.Stream);
  archive.Stream->SetPosition(item.LocalHeaderOffset());
  const TArZipDirectoryFileHeader& c = item.CentralHeader;
  const bool descriptor = (c.GpFlags & kDataDescriptorFlag) != 0;
  if (local.NeededVersion != c.NeededVersion || local.GpFlags != c.GpFlags || local.Method != c.Method ||
      local.ModTime != c.ModTime || local.ModDate != c.ModDate ||
      (!descriptor &&
       (local.Crc32 != c.Crc32 || local.PackedSize != c.PackedSize || local.UnpackedSize != c.UnpackedSize)) ||
      local.Name() != c.Name())
    throw EArZipInvalidLFH();
  ExtractItemToStream(archive, item, &bucket);
}

void RequestNewPassword(TArZipArchive& archive, bool& abort) {
  abort = false;
  if (!archive.OnNeedPassword) return;
  std::string answer;
  archive.OnNeedPassword(&archive, answer);
  if (answer.empty())
    abort = true;
  else
    archive.Password = answer;
}

void EnsurePassword(TArZipArchive& archive, int32_t& requestCount, bool& abort) {
  if (archive.Password.empty()) {
    RequestNewPassword(archive, abort);
    ++requestCount;
  }
  if (archive.Password.empty()) throw EArZipInvalidPassword();
}

uint32_t UnstoreItem(TArZipArchive& archive, TArZipItem& item, TStream* output, uint32_t checkValue) {
  const uint32_t size = item.GetUnpackedSize();
  const int64_t packed = static_cast<uint32_t>(item.GetPackedSize());
  TArWindowStream window(archive.Stream, packed);
  TReadAhead ahead(&window);
  TStream* source = &ahead;
  std::unique_ptr<TArDfDecryptStream> decrypt;
  bool abort = false;
  if (item.GetEncrypted()) {
    int32_t requests = 0;
    try {
      EnsurePassword(archive, requests, abort);
      if (abort) throw EArUserAbort();
      decrypt = std::make_unique<TArDfDecryptStream>(&ahead, archive.Password, checkValue);
      bool ok = decrypt->VerifyStreamHeader();
      for (int32_t asked = 0; !ok && asked < archive.PasswordRetries; ++asked) {
        RequestNewPassword(archive, abort);
        if (abort) throw EArUserAbort();
        decrypt = std::make_unique<TArDfDecryptStream>(&ahead, archive.Password, checkValue);
        ok = decrypt->VerifyStreamHeader();
      }
      if (!ok) throw EArZipInvalidPassword();
    } catch (const EArUserAbort&) { abort = true; }
    source = decrypt.get();
  }
  uint32_t crc = 0xFFFFFFFF;
  uint32_t done = 0;
  uint8_t lastPercent = 0;
  std::vector<uint8_t> buf(1024);
  if (!abort) {
    int32_t n = source->Read(buf.data(), static_cast<int32_t>(std::min<uint32_t>(1024, size)));
    while (n > 0 && done < size && !abort) {
      done += static_cast<uint32_t>(n);
      const uint8_t percent = static_cast<uint8_t>(std::lround(static_cast<double>(done) * 100.0 / size));
      if (percent != lastPercent && archive.OnEngineProgress) archive.OnEngineProgress(percent, abort);
      lastPercent = percent;
      UpdateCrc32Buffer(crc, buf.data(), static_cast<size_t>(n));
      output->WriteBuffer(buf.data(), n);
      if (done >= size) break;
      n = source->Read(buf.data(), static_cast<int32_t>(std::min<uint32_t>(1024, size - done)));
    }
  }
  if (lastPercent < 100 && archive.OnEngineProgress) {
    bool ignored = false;
    archive.OnEngineProgress(100, ignored);
  }
  if (abort) throw EArUserAbort();
  return ~crc;
}

uint32_t InflateItem(TArZipArchive& archive, TArZipItem& item, TStream* output, uint32_t checkValue) {
  TArZipInflateCall call;
  call.Source = archive.Stream;
  call.Output = output;
  call.PackedSize = static_cast<uint32_t>(item.GetPackedSize());
  call.UnpackedSize = item.GetUnpackedSize();
  call.Deflate64 = item.MethodByte() == kDeflate64;
  call.TestOnly = dynamic_cast<TArBitBucketStream*>(output) != nullptr;
  call.CheckValue = checkValue;
  // The engine ends quietly when its progress hook stops it; the user's stop must still
  // end the whole walk, so it is taken up again here.
  bool stopped = false;
  call.Progress = [&archive, &stopped](int32_t percent) {
    try {
      archive.ReportInflateProgress(percent);
    } catch (const EArAbortProgress&) {
      stopped = true;
      throw;
    }
  };
  TArZipInflateResult r;
  if (!item.GetEncrypted()) {
    r = ZipInflate(call);
  } else {
    int32_t requests = 0;
    bool abort = false;
    EnsurePassword(archive, requests, abort);
    if (abort) throw EArUserAbort();
    for (int32_t asked = 0;; ++asked) {
      call.Password = archive.Password;
      r = ZipInflate(call);
      if (!r.WrongPassword) break;
      if (asked >= archive.PasswordRetries) throw EArZipInvalidPassword();
      RequestNewPassword(archive, abort);
      if (abort) throw EArUserAbort();
    }
  }
  if (stopped) throw EArUserAbort();
  if (r.Produced != item.GetUnpackedSize()) gInflateSizeWrong = true;
  return r.Crc;
}

// The legacy methods' password check: tried with the current password, and after each
// failure a new one is asked for and tried, up to the archive's retries.
uint32_t UnshrinkItem(TArZipArchive& archive, TArZipItem& item, TStream* output, uint32_t checkValue) {
  TArUnzipHelper helper(archive.Stream, output);
  auto keys = std::make_shared<TArZipKeys>();
  if (item.GetEncrypted()) {
    helper.CheckPassword = [&archive, keys, checkValue] {
      TStream* in = archive.Stream;
      const int64_t at = in->Position();
      int32_t requests = 0;
      bool abort = false;
      EnsurePassword(archive, requests, abort);
      if (abort) throw EArUserAbort();
      for (int32_t asked = 0;; ++asked) {
        uint8_t header[12] = {};
        keys->Seed(archive.Password);
        in->SetPosition(at);
        in->Read(header, 12);
        for (uint8_t& b : header) b = keys->DecryptByte(b);
        if (header[11] == static_cast<uint8_t>(checkValue >> 24)) return;
        if (asked >= archive.PasswordRetries) throw EArZipInvalidPassword();
        RequestNewPassword(archive, abort);
        if (abort) throw EArUserAbort();
      }
    };
    helper.Decrypt = [keys](uint8_t* buffer, int32_t count) {
      for (int32_t i = 0; i < count; ++i) buffer[i] = keys->DecryptByte(buffer[i]);
    };
  }
  helper.DictionarySize = item.ImplodeDictionarySize();
  helper.TreeCount = item.ImplodeTreeCount();
  helper.CompressedSize = static_cast<uint32_t>(item.GetPackedSize());
  helper.UncompressedSize = item.GetUnpackedSize();
  helper.Method = item.MethodByte();
  helper.OnProgress = archive.OnEngineProgress;
  if (archive.Spanned) {
    helper.Spanned = true;
    helper.CurrentDisk = archive.DiskInUse;
    helper.RequestDisk = [&archive](uint16_t disk) {
      if (!dynamic_cast<TArSpanStream*>(archive.Stream)) throw EArZipBadSpanStream();
      archive.DiskInUse = disk;
      archive.RequestDiskOrImage(disk);
      return archive.Stream;
    };
  }
  return helper.Execute();
}
