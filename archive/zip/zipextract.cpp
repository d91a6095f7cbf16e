#include "archive/zip/zipextract.h"
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>
#include "archive/core/bufstreams.h"
#include "archive/core/pendingfile.h"
#include "archive/core/vmstream.h"
#include "archive/deflate/zipcrypt.h"
#include "archive/zip/legacyzip.h"
#include "archive/zip/zipinflate.h"
#include "base/filestream.h"

namespace {

constexpr uint8_t kDeflate64 = 9;

// Deflate64 needs version 2.1 by the format's own rules; everything else above 2.0 is
// beyond this library.
void CheckVersion(const TArZipItem& item) {
  const uint8_t needed = static_cast<uint8_t>(item.NeededVersion());
  if (needed > 20 && !(needed == 21 && item.MethodByte() == kDeflate64)) throw EArZipVersion();
}

// The one place that puts the archive's stream on a piece of a spanned set: for an
// item's first piece and for the next one a legacy decoder reads on into.
void UseDisk(TArZipArchive& archive, uint16_t disk) {
  if (!dynamic_cast<TArSpanStream*>(archive.Stream)) throw EArZipBadSpanStream();
  archive.DiskInUse = disk;
  archive.RequestDiskOrImage(disk);
}

// Extracting and testing ask for an item's piece only when the stream is not already on
// it: a disk prompt for every item of a set on floppies would be one prompt too many.
void SelectDisk(TArZipArchive& archive, const TArZipItem& item) {
  if (!archive.Spanned) return;
  auto* span = dynamic_cast<TArSpanStream*>(archive.Stream);
  if (!span) throw EArZipBadSpanStream();
  // A stream that moved on by itself no longer stands on the piece DiskInUse names.
  if (span->MovedByItself) archive.DiskInUse = 0xFFFF;
  if (item.StartDisk() != archive.DiskInUse) UseDisk(archive, item.StartDisk());
}

uint32_t CheckValueOf(const TArZipLocalFileHeader& local, const TArZipItem& item) {
  return (local.GpFlags & kZipDataDescriptorFlag) ? static_cast<uint32_t>(local.ModTime) << 16 : item.GetCrc();
}

bool IsFolderEntry(const TArZipItem& item, const std::string& name) {
  if (!name.empty() && (name.back() == '/' || name.back() == '\\')) return true;
  return (item.GetAttributes() & os::faDirectory) && item.GetUnpackedSize() == 0 && item.GetPackedSize() == 0;
}

// The need-password hook's answer becomes the password; false when it answered nothing
// (the user cancelled). Without a hook the password stays and the answer counts as given.
bool AskForPassword(TArZipArchive& archive) {
  if (!archive.OnNeedPassword) return true;
  std::string answer;
  archive.OnNeedPassword(&archive, answer);
  if (answer.empty()) return false;
  archive.Password = answer;
  return true;
}

// Stored and inflated items prove a password the same way: the current one is tried (one
// is asked for first when there is none), and after each wrong one a new one is asked for,
// up to the archive's retries. `accepts` tries archive.Password on the item's encryption
// header. Legacy items keep their decoder's own procedure.
void ProvePassword(TArZipArchive& archive, const std::function<bool()>& accepts) {
  EnsurePassword(archive);
  for (int32_t asked = 0; !accepts(); ++asked) {
    if (asked >= archive.PasswordRetries) throw EArZipInvalidPassword();
    RequestNewPassword(archive);
  }
}

TArItemResult Decode(TArZipArchive& archive, TArZipItem& item, TStream* output) {
  if (!output) throw EArBadStream();
  CheckVersion(item);
  SelectDisk(archive, item);
  archive.Stream->SetPosition(item.LocalHeaderOffset());
  TArZipLocalFileHeader local;
  local.ReadRecord(*archive.Stream);
  const uint32_t check = CheckValueOf(local, item);
  switch (local.MethodByte()) {
    case 0: return UnstoreItem(archive, item, output, check);
    case 8:
    case kDeflate64: return InflateItem(archive, item, output, check);
    default: return UnshrinkItem(archive, item, output, check);
  }
}

bool Verified(TArZipArchive& archive, TArZipItem& item, TStream* output) {
  const TArItemResult r = Decode(archive, item, output);
  // The check value of an item with a data descriptor proves the password only; the
  // data is judged by the central directory's CRC alone.
  return r.Produced == static_cast<int64_t>(item.GetUnpackedSize()) && r.Crc == item.GetCrc();
}

void ReportBadCrc(TArZipArchive& archive, TArZipItem& item) {
  if (!archive.OnProcessItemFailure) throw EArZipBadCRC();
  archive.OnProcessItemFailure(&archive, &item, ptExtract, ecArchiveError, arcZipBadCRC);
}

}  // namespace

void ExtractItemToFile(TArZipArchive& archive, TArZipItem& item, const std::string& name) {
  std::string path = name;
  if (!TArArchive::PrepareOutputPath(archive.BaseDirectory(), path, archive.ExtractOptions, archive.OnConfirmOverwrite,
                                     archive.WalkFolders()))
    return;
  // A folder entry: PrepareOutputPath has made the folder (with eoCreateDirs).
  if (IsFolderEntry(item, name)) return;
  try {
    TPendingFile file(path, archive.WalkFolders());
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
  SelectDisk(archive, item);
  TArBitBucketStream bucket(0);
  TArZipLocalFileHeader local;
  archive.Stream->SetPosition(item.LocalHeaderOffset());
  // A header that ran on into the next piece (as earlier saves wrote them) leaves the
  // stream there; the extraction below puts it back on the item's piece itself.
  local.ReadRecord(*archive.Stream);
  const TArZipDirectoryFileHeader& c = item.CentralHeader;
  const bool descriptor = (c.GpFlags & kZipDataDescriptorFlag) != 0;
  if (local.NeededVersion != c.NeededVersion || local.GpFlags != c.GpFlags || local.Method != c.Method ||
      local.ModTime != c.ModTime || local.ModDate != c.ModDate ||
      (!descriptor &&
       (local.Crc32 != c.Crc32 || local.PackedSize != c.PackedSize || local.UnpackedSize != c.UnpackedSize)) ||
      local.Name() != c.Name())
    throw EArZipInvalidLFH();
  ExtractItemToStream(archive, item, &bucket);
}

void RequestNewPassword(TArZipArchive& archive) {
  if (!AskForPassword(archive)) throw EArUserAbort();
}

// A cancelled first question leaves the item without a password, which is what it then
// fails with.
void EnsurePassword(TArZipArchive& archive) {
  if (archive.Password.empty()) AskForPassword(archive);
  if (archive.Password.empty()) throw EArZipInvalidPassword();
}

// Read in chunks of 1 KB, the steps progress is counted in. The hook hears 100 at the end
// also when the user stopped the item.
TArItemResult UnstoreItem(TArZipArchive& archive, TArZipItem& item, TStream* output, uint32_t checkValue) {
  const uint32_t size = item.GetUnpackedSize();
  TArWindowStream window(archive.Stream, static_cast<uint32_t>(item.GetPackedSize()));
  TReadAhead ahead(&window);
  TStream* source = &ahead;
  std::unique_ptr<TArDfDecryptStream> decrypt;
  uint8_t lastPercent = 0;
  auto finishProgress = [&] {
    bool ignored = false;
    if (lastPercent < 100 && archive.OnEngineProgress) archive.OnEngineProgress(100, ignored);
  };
  TArItemResult result;
  try {
    if (item.GetEncrypted()) {
      ProvePassword(archive, [&] {
        decrypt = std::make_unique<TArDfDecryptStream>(&ahead, archive.Password, checkValue);
        return decrypt->VerifyStreamHeader();
      });
      source = decrypt.get();
    }
    uint32_t crc = 0xFFFFFFFF;
    uint32_t done = 0;
    std::vector<uint8_t> buf(1024);
    int32_t n = source->Read(buf.data(), static_cast<int32_t>(std::min<uint32_t>(1024, size)));
    while (n > 0 && done < size) {
      done += static_cast<uint32_t>(n);
      const uint8_t percent = static_cast<uint8_t>(std::lround(static_cast<double>(done) * 100.0 / size));
      bool abort = false;
      if (percent != lastPercent && archive.OnEngineProgress) archive.OnEngineProgress(percent, abort);
      lastPercent = percent;
      UpdateCrc32Buffer(crc, buf.data(), static_cast<size_t>(n));
      output->WriteBuffer(buf.data(), n);
      if (abort) throw EArUserAbort();
      if (done >= size) break;
      n = source->Read(buf.data(), static_cast<int32_t>(std::min<uint32_t>(1024, size - done)));
    }
    result.Crc = ~crc;
    result.Produced = done;
  } catch (const EArUserAbort&) {
    finishProgress();
    throw;
  }
  finishProgress();
  return result;
}

TArItemResult InflateItem(TArZipArchive& archive, TArZipItem& item, TStream* output, uint32_t checkValue) {
  TArZipInflateCall call;
  call.Source = archive.Stream;
  call.Output = output;
  call.PackedSize = static_cast<uint32_t>(item.GetPackedSize());
  call.UnpackedSize = item.GetUnpackedSize();
  call.Deflate64 = item.MethodByte() == kDeflate64;
  call.TestOnly = dynamic_cast<TArBitBucketStream*>(output) != nullptr;
  call.CheckValue = checkValue;
  call.Progress = [&archive](int32_t percent) { archive.ReportInflateProgress(percent); };
  TArZipInflateResult r;
  auto inflate = [&] {
    r = ZipInflate(call);
    return r.Outcome != ioWrongPassword;
  };
  if (item.GetEncrypted())
    ProvePassword(archive, [&] {
      call.Password = archive.Password;
      return inflate();
    });
  else
    inflate();
  TArItemResult result;
  result.Crc = r.Crc;
  result.Produced = r.Produced;
  return result;
}

// The legacy methods check their password with the decoder's own loop, which tries the
// current password and asks for another after each failure, up to the retries.
TArItemResult UnshrinkItem(TArZipArchive& archive, TArZipItem& item, TStream* output, uint32_t checkValue) {
  std::unique_ptr<TArZDecoder> decoder;
  if (item.GetEncrypted()) {
    EnsurePassword(archive);
    decoder = std::make_unique<TArZDecoder>(archive.Password, true, checkValue, archive.Stream);
    decoder->Retries = archive.PasswordRetries;
    if (archive.OnNeedPassword)
      decoder->OnNeedPassword = [&archive](TArZDecoder&, std::string& password) {
        RequestNewPassword(archive);
        password = archive.Password;
      };
  }
  TArUnzipHelper helper(archive.Stream, decoder.get(), output);
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
      UseDisk(archive, disk);
      return archive.Stream;
    };
  }
  TArItemResult result;
  result.Crc = helper.Execute();
  result.Produced = static_cast<int64_t>(helper.Produced());
  return result;
}
