#include "archive/zip/ziparchive.h"
#include <algorithm>
#include <climits>
#include "archive/zip/zipfind.h"
#include "base/os.h"

TArPromptFunction ArZipPrompt = ArPlatformPrompt;

// ---- item ---------------------------------------------------------------------------

namespace {

constexpr uint16_t kUnicodePathField = 0x7075;

// The UTF-8 name of the header's Unicode path field (version 1), where its CRC-32 is the
// one of the name field as stored: a tool that renamed the item without knowing the field
// left it stale, and the name field is then the name.
bool UnicodePath(const TArZipDirectoryFileHeader& h, std::string& utf8) {
  const uint8_t* extra = h.ExtraBytes.get();
  if (!extra) return false;
  for (uint32_t at = 0; at + 4 <= h.ExtraLength;) {
    const uint16_t id = GetLE16(extra + at), size = GetLE16(extra + at + 2);
    at += 4;
    if (at + size > h.ExtraLength) return false;
    if (id == kUnicodePathField) {
      if (size <= 5 || extra[at] != 1) return false;
      uint32_t crc = 0xFFFFFFFF;
      if (h.NameBytes) UpdateCrc32Buffer(crc, h.NameBytes.get(), h.NameLength);
      if (~crc != GetLE32(extra + at + 1)) return false;
      const char* name = reinterpret_cast<const char*>(extra + at + 5);
      utf8.assign(name, std::find(name, name + (size - 5), '\0'));
      return true;
    }
    at += size;
  }
  return false;
}

}  // namespace

bool TArZipItem::DecodeName(std::string& name) const {
  const std::string raw = CentralHeader.NameBytes
                              ? std::string(reinterpret_cast<const char*>(CentralHeader.NameBytes.get()))
                              : std::string();
  std::string utf8;
  bool marked = (CentralHeader.GpFlags & kZipUtf8Flag) != 0;
  if (marked)
    utf8 = raw;
  else
    marked = UnicodePath(CentralHeader, utf8);
  if (marked && os::Utf8ToFileText(utf8, name)) return true;
  name = os::FileApisAreAnsi() ? os::OemTextToAnsi(raw) : raw;
  return !marked;
}

std::string TArZipItem::GetStoredName() const {
  std::string name;
  DecodeName(name);
  return name;
}

bool TArZipItem::NameDecodes() const {
  std::string name;
  return DecodeName(name);
}

void TArZipItem::SetFileSystemName(const std::string& name) {
  std::string stored = name;
  const bool utf8 = os::FileApisAreAnsi() && OemOrUtf8Name(name, stored);
  SetStoredName(stored);
  SetGpFlags(static_cast<uint16_t>(utf8 ? GpFlags() | kZipUtf8Flag : GpFlags() & ~kZipUtf8Flag));
  // Info-ZIP's unzip reads the name of an entry made on a FAT system as OEM text even where
  // bit 11 marks it, but it takes a Unicode path field: a UTF-8 name carries one as well. A
  // field made for an earlier name goes; an extra field that is no list of records stays
  // as it is.
  const std::string old = CentralHeader.Extra();
  const auto* bytes = reinterpret_cast<const uint8_t*>(old.data());
  std::string extra;
  size_t at = 0;
  while (at + 4 <= old.size() && at + 4 + GetLE16(bytes + at + 2) <= old.size()) {
    const size_t length = 4 + GetLE16(bytes + at + 2);
    if (GetLE16(bytes + at) != kUnicodePathField) extra += old.substr(at, length);
    at += length;
  }
  if (at != old.size()) return;
  if (utf8 && extra.size() + 9 + stored.size() <= 0xFFFF) {
    uint8_t head[9] = {0, 0, 0, 0, 1};
    uint32_t crc = 0xFFFFFFFF;
    UpdateCrc32Buffer(crc, stored.data(), stored.size());
    PutLE16(head, kUnicodePathField);
    PutLE16(head + 2, static_cast<uint16_t>(5 + stored.size()));
    PutLE32(head + 5, ~crc);
    extra += std::string(reinterpret_cast<const char*>(head), sizeof head) + stored;
  }
  CentralHeader.SetExtraBytes(extra);
}

void TArZipItem::SetStoredName(const std::string& v) {
  StoredName = v;
  CentralHeader.NameLength = static_cast<uint16_t>(v.size());
  CentralHeader.NameBytes.reset();
  if (!v.empty()) {
    CentralHeader.NameBytes.reset(new uint8_t[v.size() + 1]);
    std::copy(v.begin(), v.end(), CentralHeader.NameBytes.get());
    CentralHeader.NameBytes[v.size()] = 0;
  }
}

void TArZipItem::SetUnpackedSize(uint32_t v) {
  TArArchiveItem::SetUnpackedSize(v);
  CentralHeader.UnpackedSize = v;
}

std::string TArZipItem::ExtraText() const {
  if (!CentralHeader.ExtraBytes) return std::string();
  return std::string(reinterpret_cast<const char*>(CentralHeader.ExtraBytes.get()));
}

void TArZipItem::LoadFromCentralDirectory(TStream& stream) {
  CentralHeader.ReadRecord(stream);
  StoredName = CentralHeader.NameBytes ? std::string(reinterpret_cast<const char*>(CentralHeader.NameBytes.get()))
                                       : std::string();
  SourcePath = GetStoredName();
  ToBackslashes(SourcePath);
  PendingAction = aaNone;
  Marked = false;
}

// ---- archive ------------------------------------------------------------------------

namespace {

// The central directory as one run of bytes over the pieces it lies on. The stream is
// kept inside its piece; where a piece ends inside a record, nextPiece puts the stream on
// the next one, and the record goes on at its start.
class TDirectoryStream : public TStream {
public:
  TDirectoryStream(TStream*& stream, std::function<void()> nextPiece)
      : stream_(stream), nextPiece_(std::move(nextPiece)) {}
  int32_t Read(void* buffer, int32_t count) override {
    int32_t n = stream_->Read(buffer, count);
    while (n == 0 && count > 0) {
      nextPiece_();
      n = stream_->Read(buffer, count);
    }
    return n;
  }
  int32_t Write(const void*, int32_t) override { return 0; }
  int64_t Seek(int64_t offset, int origin) override { return stream_->Seek(offset, origin); }

private:
  TStream*& stream_;
  std::function<void()> nextPiece_;
};

}  // namespace

TArZipArchive::TArZipArchive(const std::string& fileName, uint16_t mode) : TArArchive(fileName, mode) {
  AddOptions |= aoStripDriveOrShare;
  PasswordRetries = 3;
  TempDirectory.clear();
  SetSpanThreshold(0);
  DiskInUse = 0xFFFF;
}

TArZipArchive::~TArZipArchive() = default;

// An unusable archive (a failed load or save) reads nothing: its stream may be gone, or
// not be its file.
void TArZipArchive::UnpackItemToFile(int32_t index, const std::string& outputName) {
  CheckUsable();
  TArZipItem* item = ZipItem(index);
  if (!OnExtractToFile) throw EArZipNoExtraction();
  OnExtractToFile(*this, *item, outputName);
}

void TArZipArchive::UnpackItemToStream(int32_t index, TStream& stream) {
  CheckUsable();
  TArZipItem* item = ZipItem(index);
  if (!OnExtractToStream) throw EArZipNoExtraction();
  OnExtractToStream(*this, *item, &stream);
}

void TArZipArchive::VerifyItem(int32_t index) {
  CheckUsable();
  TArZipItem* item = ZipItem(index);
  if (!OnTest) throw EArZipNoExtraction();
  OnTest(*this, *item);
}

uint8_t TArZipArchive::ProbeZipFile(TStream& stream) { return ::ProbeZipFile(stream); }
uint8_t TArZipArchive::ProbeSelfExtractingZip(TStream& stream) { return ::ProbeSelfExtractingZip(stream); }

int64_t TArZipArchive::FindEndRecordInStream() {
  auto* span = dynamic_cast<TArSpanStream*>(Stream);
  const bool wasIgnoring = span && span->IgnoreSpanning;
  if (span) span->IgnoreSpanning = true;
  const int64_t pos = FindEndRecord(*Stream);
  if (pos < 0 && span) span->IgnoreSpanning = wasIgnoring;
  return pos;
}

void TArZipArchive::ReadArchive() {
  AutoNamedImages = false;
  if (!Stream || Stream->Size() == 0) return;
  uint8_t head[4] = {0, 0, 0, 0};
  Stream->SetPosition(0);
  Stream->Read(head, 4);
  const bool zipStart = GetLE16(head) == kZipStart;
  StartsAsExecutable = GetLE16(head) == kExecutableStart;
  if (dynamic_cast<TArSpanStream*>(Stream)) OnRemovableDrive = IsRemovableDrive(ArchiveName);
  const uint32_t first = GetLE32(head);
  int64_t endPos = first == kZipSpanningMarker || first == kZipSingleSpanMarker ? -1 : FindEndRecordInStream();
  if (endPos < 0) {
    if (!zipStart) {
      Status = asInvalid;
      throw EArZipInvalid();
    }
    // The end record lies on the last piece. A hook that never hands it over is not
    // asked forever: a set has at most 99 pieces after the first.
    for (int requests = 0; endPos < 0; ++requests) {
      if (requests >= 99) throw EArFileNotFound();
      RequestDiskOrImage(-1);
      endPos = FindEndRecordInStream();
    }
    Spanned = true;
  }
  Stream->SetPosition(endPos);
  EndRecord.ReadRecord(*Stream);
  DiskInUse = EndRecord.ThisDisk;
  if (EndRecord.ThisDisk > 0) Spanned = true;

  // Archives beyond 4 GB or 65,535 items keep their real directory in records this
  // library does not read; loading their markers would list nothing and call it success.
  // Their locator stands between the directory and the end record; the same four bytes
  // inside the directory, or in the program stub in front of an empty one, are data. A
  // directory begun on an earlier piece fills this one up to the end record.
  uint8_t locator[4] = {0, 0, 0, 0};
  const int64_t directoryEnd = int64_t{EndRecord.DirectoryOffset} + EndRecord.DirectorySize;
  const bool directoryOnThisPiece = !Spanned || EndRecord.DirectoryDisk >= EndRecord.ThisDisk;
  if (endPos >= 20 && directoryOnThisPiece && directoryEnd <= endPos - 20) {
    Stream->SetPosition(endPos - 20);
    Stream->Read(locator, 4);
  }
  if (EndRecord.EntryCount == 0xFFFF || EndRecord.EntriesOnThisDisk == 0xFFFF ||
      EndRecord.DirectorySize == 0xFFFFFFFF || EndRecord.DirectoryOffset == 0xFFFFFFFF ||
      GetLE32(locator) == 0x07064B50) {
    Status = asInvalid;
    throw EArZipInvalid();
  }
  // A directory read from the end record's piece ends before the record, spanned or not.
  // Volumes cut from one stream count their offsets over all pieces: theirs would start
  // past the end of that piece, and the set would list nothing.
  if (directoryOnThisPiece && directoryEnd > endPos) {
    Status = asInvalid;
    throw EArZipInvalid();
  }
  // The directory's pieces are asked for here only, one after the other, so that DiskInUse
  // always names the piece the stream stands on: the span stream must not move on by
  // itself, not even inside a record that runs on into the next piece (earlier saves wrote
  // such sets).
  auto stayOnPiece = [this] {
    if (auto* span = dynamic_cast<TArSpanStream*>(Stream)) span->IgnoreSpanning = true;
  };
  int64_t pieceEnd = endPos;  // on the end record's piece the directory ends before it
  auto nextPiece = [&] {
    if (DiskInUse >= EndRecord.ThisDisk) throw EArZipInvalid();
    ++DiskInUse;
    RequestDiskOrImage(DiskInUse);
    stayOnPiece();
    pieceEnd = DiskInUse == EndRecord.ThisDisk ? FindEndRecordInStream() : Stream->Size();
    if (pieceEnd < 0) throw EArZipInvalid();
    Stream->SetPosition(0);
  };
  // A directory that starts on an earlier piece than the end record's is read from there.
  if (Spanned && EndRecord.DirectoryDisk < EndRecord.ThisDisk) {
    DiskInUse = EndRecord.DirectoryDisk;
    RequestDiskOrImage(DiskInUse);
    pieceEnd = Stream->Size();
  }
  stayOnPiece();
  Stream->SetPosition(EndRecord.DirectoryOffset);
  TDirectoryStream directory(Stream, nextPiece);
  int32_t count = 0;
  // The directory follows every local header.
  uint32_t smallest = std::min<uint32_t>(EndRecord.DirectoryOffset, 0x7FFFFFFF);
  for (;;) {
    if (Stream->Position() >= pieceEnd) {
      if (DiskInUse == EndRecord.ThisDisk) break;
      nextPiece();
      continue;
    }
    auto item = std::make_unique<TArZipItem>();
    item->LoadFromCentralDirectory(directory);
    smallest = std::min(smallest, item->LocalHeaderOffset());
    TArZipItem* added = item.release();
    Items->Add(added);
    added->PendingAction = aaNone;
    ++count;
    bool abort = false;
    ReportArchiveProgress(EndRecord.EntryCount ? std::min<int64_t>(100, count * 100LL / EndRecord.EntryCount) : 0,
                          abort);
    if (abort) {
      Status = asInvalid;
      throw EArUserAbort();
    }
  }
  bool ignored = false;
  ReportArchiveProgress(100, ignored);
  ProgramStubLength = static_cast<int32_t>(smallest);
  IsDirty = false;
}

// ---- disk and image requests -----------------------------------------------------------

namespace {

const std::string& Caption(int32_t code) {
  static std::string floppy = ArMessage(arcInsertFloppy), image = ArMessage(arcImageFileName);
  return code == arcImageFileName ? image : floppy;
}

}  // namespace

void TArZipArchive::RequestLastDisk(bool& abort) {
  abort = false;
  if (OnRequestLastDisk)
    OnRequestLastDisk(this, abort);
  else
    abort = !ArZipPrompt(ArMessage(arcInsertLastDisk), Caption(arcInsertFloppy));
}

void TArZipArchive::RequestDiskNumber(uint8_t n, bool& abort) {
  abort = false;
  if (OnRequestNthDisk)
    OnRequestNthDisk(this, n, abort);
  else
    abort = !ArZipPrompt(ArFormat(ArMessage(arcInsertDiskNumber), {static_cast<int>(n)}), Caption(arcInsertFloppy));
}

void TArZipArchive::RequestBlankDisk(bool& abort) {
  abort = false;
  Spanned = true;
  if (OnRequestBlankDisk)
    OnRequestBlankDisk(this, abort);
  else
    abort = !ArZipPrompt(ArMessage(arcInsertBlankFloppy), Caption(arcInsertFloppy));
}

void TArZipArchive::AskImageName(bool writing, int32_t imageNumber, std::string& imageName, bool& abort) {
  if (OnRequestImage) {
    OnRequestImage(this, imageNumber, imageName, abort);
  } else if (AutoNamedImages) {
    imageName = ArchiveName;
    MakeSpanImageName(imageName, static_cast<uint16_t>(imageNumber));
  } else if (!writing) {
    abort = !ArZipPrompt(ArFormat(ArMessage(arcInsertSpanNumber), {imageNumber}), Caption(arcImageFileName));
  }
}

void TArZipArchive::RequestImage(void* sender, int32_t imageNumber, std::string& imageName, bool& abort) {
  auto* span = static_cast<TArSpanStream*>(sender);
  const bool writing = span && span->SpanMode() == smWriting;
  const bool removable = span && span->MediaKind() == mkRemovableDisks;
  if (writing && removable) {
    RequestBlankDisk(abort);
    // A disk the user refused keeps its label.
    if (!abort) WriteSpanVolumeLabel(GetDriveLetter(ArchiveName), imageNumber - 1);
  } else if (removable) {
    RequestDiskNumber(static_cast<uint8_t>(imageNumber), abort);
  } else {
    AskImageName(writing, imageNumber, imageName, abort);
  }
}

// A span stream counts the pieces from the one it was opened on; the pieces it asks for
// when a read runs on are numbered from there.
void TArZipArchive::ReplaceStream(const std::string& name, TArMediaKind kind, int32_t piece) {
  if (OwnsStream) delete Stream;
  Stream = nullptr;
  auto stream = std::make_unique<TArSpanStream>(name, SpanThreshold, kind, fmOpenRead);
  stream->OnRequestImage = [this, piece](void* sender, int32_t number, std::string& n, bool& abort) {
    RequestImage(sender, number + piece, n, abort);
  };
  stream->OnProgress = [this](uint8_t progress, bool& abort) { ReportSaveProgress(progress, abort); };
  Stream = stream.release();
  OwnsStream = true;
}

// A numbered piece is always opened, also from the piece that holds the end record:
// extraction goes back to earlier pieces for the items stored there.
void TArZipArchive::RequestDiskOrImage(int32_t d) {
  bool abort = false;
  std::string name = ArchiveName;
  if (OnRemovableDrive) {
    if (d >= 0) {
      RequestDiskNumber(static_cast<uint8_t>(d + 1), abort);
      if (abort) throw EArUserAbort();
    }
    ReplaceStream(name, mkRemovableDisks, d >= 0 ? d : 0);
    if (DiskInUse == 0xFFFF && FindEndRecordInStream() < 0) {
      RequestLastDisk(abort);
      if (abort) throw EArUserAbort();
    }
    return;
  }
  if (d < 0 && Stream && FindEndRecordInStream() >= 0) return;
  if (OnRequestImage) {
    OnRequestImage(this, d, name, abort);
    if (abort) throw EArUserAbort();
    ReplaceStream(name, mkImageFiles, d >= 0 ? d : 0);
    return;
  }
  if (d < 0) {
    if (OwnsStream) delete Stream;
    Stream = nullptr;
    AutoNamedImages = true;
    for (uint16_t i = 1; i <= 99; ++i) {
      name = ArchiveName;
      MakeSpanImageName(name, i);
      if (!os::FileExists(name)) throw EArFileNotFound();
      ReplaceStream(name, mkImageFiles, i);
      if (FindEndRecordInStream() >= 0) {
        DiskInUse = 0xFFFF;
        return;
      }
      delete Stream;
      Stream = nullptr;
    }
    throw EArFileNotFound();
  }
  if (d > 0) MakeSpanImageName(name, static_cast<uint16_t>(d));
  if (!os::FileExists(name)) throw EArFileNotFound();
  ReplaceStream(name, mkImageFiles, d);
}
