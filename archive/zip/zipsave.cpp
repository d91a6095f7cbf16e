// Saving a zip archive (see zipsave.h): the item's records, new items and their stored
// names, the insert hooks, the image targets, the layout, and the two roads of
// WriteArchive. A plain save writes a temporary file beside the archive and puts it in
// place only when everything was written, so a failure leaves the old archive and this
// object as they were. A spanned save writes its images over the archive, as a set on
// removable disks has to; what it would need beyond the format is refused first.
#include <algorithm>
#include "archive/core/arutils.h"
#include "archive/core/pendingfile.h"
#include "archive/zip/zipsave.h"
#include "base/os.h"

namespace {

// Fields of a central record that a save fills in as it places the local header.
constexpr int32_t kCentralStartDiskField = 34;
constexpr int32_t kCentralLocalOffsetField = 42;
// 0xFFFF items and 0xFFFFFFFF offsets mark the 64-bit records this format lacks.
constexpr int32_t kMostItems = 0xFFFE;
constexpr int64_t kLargestOffset = 0xFFFFFFFE;
constexpr int32_t kMostFurtherImages = 99;  // image names run from .z01 to .z99
constexpr uint16_t kSaveMode = fmOpenWrite | fmShareDenyWrite;

// What an old item writes of its own local header; bytes are the staging's kept ones
// (none while counting).
TArZipOwnBytes OwnBytes(const TArZipKeptBytes& k, const uint8_t* bytes) {
  if (k.Start < 0) return {};
  return {true, bytes ? bytes + k.Start : nullptr, k.Length};
}

// Other tools read a set only where no record runs from one piece into the next (an
// item's data may): a record goes whole on the next image when the current one has no
// room for it. One that no image could hold whole makes the threshold unusable.
void PlaceWhole(TArZipImageTarget& target, int64_t size) {
  if (target.Room() >= size) return;
  target.NextImage();
  if (target.Room() < size) ArRaiseCoded<EArZipException>(arcInvalidThreshold);
}

// Save progress over the bytes a layout writes; an abort ends the save.
class TSaveProgress {
public:
  TSaveProgress(TArArchive& archive, int64_t total) : archive_(&archive), total_(total) {}
  void operator()(int64_t bytes) {
    written_ += bytes;
    bool abort = false;
    archive_->ReportSaveProgress(total_ > 0 ? static_cast<int32_t>(std::min<int64_t>(written_ * 100 / total_, 100)) : 0,
                                 abort);
    if (abort) throw EArUserAbort();
  }

private:
  TArArchive* archive_;
  int64_t total_;
  int64_t written_ = 0;
};

}  // namespace

// ---- item records ---------------------------------------------------------------------

void TArZipItem::WriteLocalHeader(TStream& stream, const TArZipOwnBytes& name, const TArZipOwnBytes& extra) const {
  TArZipLocalFileHeader h;
  h.NeededVersion = CentralHeader.NeededVersion;
  h.GpFlags = CentralHeader.GpFlags;
  h.Method = CentralHeader.Method;
  h.ModTime = GetModTime();
  h.ModDate = GetModDate();
  h.Crc32 = GetCrc();
  h.PackedSize = static_cast<uint32_t>(GetPackedSize());
  h.UnpackedSize = GetUnpackedSize();
  // The raw stored bytes and the whole extra field: a text view would convert the name
  // and stop the extra field at its first zero byte.
  h.NameLength = name.Kept ? name.Length : CentralHeader.NameLength;
  h.ExtraLength = extra.Kept ? extra.Length : CentralHeader.ExtraLength;
  h.WriteRecordWith(stream, name.Kept ? name.Bytes : CentralHeader.NameBytes.get(),
                    extra.Kept ? extra.Bytes : CentralHeader.ExtraBytes.get());
}

void TArZipItem::WriteCentralHeader(TStream& stream) const { CentralHeader.WriteRecord(stream); }

void TArZipItem::WriteDataDescriptor(TStream& stream) const {
  TArZipDataDescriptor d;
  d.Crc32 = GetCrc();
  d.PackedSize = static_cast<uint32_t>(GetPackedSize());
  d.UnpackedSize = GetUnpackedSize();
  d.WriteRecord(stream);
}

// ---- new items ------------------------------------------------------------------------

TArArchiveItem* TArZipArchive::NewItem(const std::string& fileName) {
  auto item = std::make_unique<TArZipItem>();
  item->SetMethodByte(8);
  item->SetGpFlags(0);
  item->SetPackedSize(0);
  item->SetCrc(0);
  item->SetExtraText(std::string());
  // The source stays in the code page of the file functions, in which it can be opened;
  // only the stored name takes the format's.
  item->SourcePath = os::FullPath(fileName);
  item->SetFileSystemName(NormalizeStoredName(fileName));
  item->SetLocalHeaderOffset(0);
  return item.release();
}

std::string TArZipArchive::NormalizeStoredName(const std::string& name) {
  std::string stored = TArArchive::NormalizeStoredName(name);
  ToForwardSlashes(stored);
  return stored;
}

void TArZipArchive::InsertItem(int32_t index, TStream& output) {
  TArZipItem* item = ZipItem(index);
  if (!OnInsert) throw EArZipNoInsertion();
  OnInsert(*this, *item, &output);
}

void TArZipArchive::InsertItemFromStream(int32_t index, TStream& output) {
  TArZipItem* item = ZipItem(index);
  if (!OnInsertFromStream) throw EArZipNoInsertion();
  OnInsertFromStream(*this, *item, &output, SourceStream);
}

// ---- image targets ---------------------------------------------------------------------

int64_t TArZipCountingTarget::Room() { return threshold_ > 0 ? threshold_ - position_ : INT64_MAX; }

void TArZipCountingTarget::NextImage() {
  if (span_ < INT32_MAX) ++span_;
  position_ = 0;
}

void TArZipCountingTarget::Advance(int64_t count) {
  total_ += count;
  if (threshold_ <= 0 || Room() > count) {
    position_ += count;
    return;
  }
  count -= Room();
  position_ = threshold_;
  if (count == 0) return;
  // Whole images at a time: a tiny threshold must not make the count walk byte by byte.
  const int64_t images = (count + threshold_ - 1) / threshold_;
  span_ = static_cast<int32_t>(std::min<int64_t>(span_ + images, INT32_MAX));
  position_ = count - (images - 1) * threshold_;
}

TArZipStreamTarget::TArZipStreamTarget(TStream& out, std::function<void(int64_t)> onWritten)
    : out_(out), onWritten_(std::move(onWritten)), position_(out.Position()) {}

void TArZipStreamTarget::Write(const void* data, int32_t count) {
  out_.WriteBuffer(data, count);
  position_ += count;
  if (onWritten_) onWritten_(count);
}

void TArZipStreamTarget::Copy(TStream* source, int64_t count) {
  CopyStoredBytes(*source, out_, count, buffer_, onWritten_);
  position_ += count;
}

TArZipSpanTarget::TArZipSpanTarget(TArSpanStream& span, char labelDrive, std::function<void(int64_t)> onWritten)
    : TArZipStreamTarget(span, std::move(onWritten)), span_(span), labelDrive_(labelDrive) {}

void TArZipSpanTarget::NextImage() {
  span_.OpenNextImage();
  if (labelDrive_) WriteSpanVolumeLabel(labelDrive_, span_.SpanNumber() + 1);
}

// ---- layout ----------------------------------------------------------------------------

TArZipLayout LayOutArchive(TArZipImageTarget& target, const TArZipPrefix& prefix,
                           const std::vector<TArZipStagedItem>& items, const TArZipDataSources* sources,
                           const TArZipDirectoryFileFooter& endRecord) {
  TArZipLayout layout;
  TMemoryStream record;
  auto put = [&] { target.Write(record.Memory(), static_cast<int32_t>(record.Size())); };
  if (prefix.StubLength > 0) {
    if (sources) sources->OldArchive->SetPosition(0);
    target.Copy(sources ? sources->OldArchive : nullptr, prefix.StubLength);
  }
  if (prefix.SpanningMarker) {
    uint8_t marker[4];
    PutLE32(marker, kZipSpanningMarker);
    target.Write(marker, 4);
  }

  layout.Places.reserve(items.size());
  for (const TArZipStagedItem& s : items) {
    record.Clear();
    const uint8_t* kept = sources ? sources->KeptLocal : nullptr;
    s.Item->WriteLocalHeader(record, OwnBytes(s.LocalName, kept), OwnBytes(s.LocalExtra, kept));
    PlaceWhole(target, record.Size());
    layout.Places.push_back({s.Item, target.SpanNumber(), target.Position()});
    layout.Largest = std::max(layout.Largest, target.Position());
    put();
    if (s.Source == TArZipStagedItem::dsStaged) {
      TStream* blocks = sources ? sources->Blocks : nullptr;
      if (blocks) {
        uint8_t length[4];
        blocks->SetPosition(s.Position);
        blocks->ReadBuffer(length, 4);
        if (GetLE32(length) != s.Length) throw EArBadStream();
      }
      target.Copy(blocks, s.Length);
    } else if (s.Source == TArZipStagedItem::dsOldArchive) {
      if (sources) sources->OldArchive->SetPosition(s.Position);
      target.Copy(sources ? sources->OldArchive : nullptr, s.Length);
    }
    if (s.Item->GpFlags() & kZipDataDescriptorFlag) {
      record.Clear();
      s.Item->WriteDataDescriptor(record);
      put();
    }
  }

  layout.DirectoryOffset = target.Position();
  layout.DirectoryDisk = target.SpanNumber();
  int32_t countedDisk = layout.DirectoryDisk, onDisk = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    record.Clear();
    items[i].Item->WriteCentralHeader(record);
    PutLE16(record.Memory() + kCentralStartDiskField, static_cast<uint16_t>(layout.Places[i].Disk));
    PutLE32(record.Memory() + kCentralLocalOffsetField, static_cast<uint32_t>(layout.Places[i].Offset));
    PlaceWhole(target, record.Size());
    // The directory starts where its first record goes, also when that is a new image.
    if (i == 0) {
      layout.DirectoryOffset = target.Position();
      layout.DirectoryDisk = countedDisk = target.SpanNumber();
    }
    if (target.SpanNumber() != countedDisk) {
      countedDisk = target.SpanNumber();
      onDisk = 0;
    }
    put();
    layout.DirectorySize += record.Size();
    ++onDisk;
  }
  layout.EntryCount = static_cast<int32_t>(items.size());
  layout.Largest = std::max(layout.Largest, layout.DirectoryOffset + layout.DirectorySize);

  // The end record stays whole on the last image, comment included: the search for it
  // looks at one image only.
  TArZipDirectoryFileFooter footer;
  footer.SetComment(endRecord.Comment());
  PlaceWhole(target, kZipEndRecordSize + footer.CommentLength);
  layout.ThisDisk = target.SpanNumber();
  layout.EntriesOnThisDisk = countedDisk == layout.ThisDisk ? onDisk : 0;
  layout.NumberEndRecord(footer);
  record.Clear();
  footer.WriteRecord(record);
  put();
  return layout;
}

void TArZipLayout::NumberEndRecord(TArZipDirectoryFileFooter& footer) const {
  footer.ThisDisk = static_cast<uint16_t>(ThisDisk);
  footer.DirectoryDisk = static_cast<uint16_t>(DirectoryDisk);
  footer.EntriesOnThisDisk = static_cast<uint16_t>(EntriesOnThisDisk);
  footer.EntryCount = static_cast<uint16_t>(EntryCount);
  footer.DirectorySize = static_cast<uint32_t>(DirectorySize);
  footer.DirectoryOffset = static_cast<uint32_t>(DirectoryOffset);
}

void CheckLayoutLimits(const TArZipLayout& layout, bool offsets) {
  if (layout.EntryCount > kMostItems) throw EArZipException("Too many items for a zip archive");
  if (offsets && layout.Largest > kLargestOffset) throw EArZipException("Archive too large for the zip format");
}

// ---- WriteArchive ----------------------------------------------------------------------

void TArZipArchive::WriteArchive() {
  if (Spanned) {
    for (int32_t i = 0; i < Count(); ++i)
      if (Items->Get(i)->PendingAction != 0) Items->Get(i)->PendingAction = aaNone;
    IsDirty = false;
    throw EArZipSpanOverwrite();
  }
  // A file that may not be written, or is not the one loaded, is refused before a hook runs.
  CheckMayReplace(ArchiveName);
  CheckIsLoadedFile(ArchiveName, LoadedFile);
  auto* span = dynamic_cast<TArSpanStream*>(Stream);
  const TArMediaKind kind = span ? span->MediaKind() : mkImageFiles;
  // The old archive is one file: reading its items never asks for another image.
  if (span) span->IgnoreSpanning = true;
  const int64_t stub = std::clamp<int64_t>(ProgramStubLength, 0, int64_t{EndRecord.DirectoryOffset});

  TArZipReadWindow old(*Stream);
  TArZipStaging staging(*this, old);
  staging.Plan();
  // What is known before the hooks run is checked before they run: the item count, and
  // the old items' sizes (their sum too, when the archive is certain to stay one file).
  TArZipCountingTarget counter(0);
  CheckLayoutLimits(LayOutArchive(counter, {stub, false}, staging.Written(), nullptr, EndRecord),
                    SpanThreshold <= 0 && kind != mkRemovableDisks);
  staging.StageNewData();

  const int64_t estimate = staging.SizeEstimate();
  bool spanning = SpanThreshold > 0 && SpanThreshold < estimate;
  if (kind == mkRemovableDisks) spanning = spanning || GetDiskFreeSpaceOfPath(ArchiveName) < estimate;
  if (!spanning) {
    WriteReplacingArchive(staging, old, stub, kind);
    return;
  }
  // The program stub would have to stand in front of the spanning marker.
  if (stub > 0) ArRaiseCoded<EArZipException>(arcSelfExtractingSpan);
  staging.StageOldData();  // the set is written over the archive
  WriteSpannedSet(staging, kind);
}

void TArZipArchive::WriteReplacingArchive(TArZipStaging& staging, TStream& oldArchive, int64_t stub,
                                          TArMediaKind kind) {
  const TArZipPrefix prefix{stub, false};
  TArZipCountingTarget counter(0);
  CheckLayoutLimits(LayOutArchive(counter, prefix, staging.Written(), nullptr, EndRecord), true);

  TPendingFile out(ArchiveName, arReplaceArchive, LoadedFile);
  TArZipStreamTarget target(*out.Stream(), TSaveProgress(*this, counter.Total()));
  const TArZipDataSources sources{&staging.Blocks(), &oldArchive, staging.KeptLocalBytes()};
  const TArZipLayout layout = LayOutArchive(target, prefix, staging.Written(), &sources, EndRecord);

  // The archive's own stream lets go of the file first, or the file could not be replaced.
  if (OwnsStream) delete Stream;
  Stream = nullptr;
  // Read again by name only where the name still leads to the file this object knows: the
  // one just written, or the old one where the commit failed; else the archive is unusable.
  try {
    out.CommitKeepingAttributes();
  } catch (...) {
    try {
      ReopenAfterSave(ArchiveName, kind, 0, LoadedFile);
    } catch (...) {}  // the commit's error says what went wrong
    throw;
  }
  LoadedFile = out.Written();
  ReopenAfterSave(ArchiveName, kind, 0, LoadedFile);
  ApplySavedLayout(layout);
}

void TArZipArchive::WriteSpannedSet(TArZipStaging& staging, TArMediaKind kind) {
  const bool removable = kind == mkRemovableDisks;
  const TArZipPrefix prefix{0, true};
  int64_t total = staging.SizeEstimate();
  if (!removable) {
    TArZipCountingTarget counter(SpanThreshold);
    const TArZipLayout planned = LayOutArchive(counter, prefix, staging.Written(), nullptr, EndRecord);
    if (counter.SpanNumber() > kMostFurtherImages) ArRaiseCoded<EArZipException>(arcInvalidThreshold);
    CheckLayoutLimits(planned, true);
    total = counter.Total();
  }

  // The set is written over the file itself, which from here on is lost with any failure.
  CheckIsLoadedFile(ArchiveName, LoadedFile);
  if (OwnsStream) delete Stream;
  Stream = nullptr;
  Spanned = true;
  try {
    auto stream = std::make_unique<TArSpanStream>(ArchiveName, SpanThreshold, kind, kSaveMode);
    stream->OnRequestImage = [this](void* sender, int32_t number, std::string& name, bool& abort) {
      RequestImage(sender, number, name, abort);
    };
    TArSpanStream& set = *stream;
    Stream = stream.release();
    OwnsStream = true;
    try {
      set.SetSize(0);  // everything it held is staged
    } catch (const EStreamError&) { ArRaiseCoded<EArZipException>(arcZipTruncate); }
    const char drive = removable ? GetDriveLetter(ArchiveName) : 0;
    if (removable) WriteSpanVolumeLabel(drive, set.SpanNumber() + 1);
    TArZipSpanTarget target(set, drive, TSaveProgress(*this, total));
    const TArZipDataSources sources{&staging.Blocks(), nullptr, staging.KeptLocalBytes()};
    const TArZipLayout layout = LayOutArchive(target, prefix, staging.Written(), &sources, EndRecord);
    // Readers find the set from its last image, as a load leaves it.
    const std::string last = removable ? ArchiveName : set.ImageName();
    ReopenAfterSave(last, kind, layout.ThisDisk, std::nullopt);
    OnRemovableDrive = removable;
    AutoNamedImages = !removable && !OnRequestImage;
    ApplySavedLayout(layout);
  } catch (...) {
    // The file no longer holds what the items describe.
    Status = asInvalid;
    try {
      ReplaceStream(ArchiveName, kind, 0);
    } catch (...) {}
    throw;
  }
}

void TArZipArchive::ReopenAfterSave(const std::string& name, TArMediaKind kind, int32_t piece,
                                    const std::optional<os::FileIdentity>& loaded) {
  try {
    ReplaceStream(name, kind, piece);
    CheckOpenedIsLoadedFile(name, static_cast<TArSpanStream*>(Stream)->ImageHandle(), loaded);
  } catch (...) {
    Status = asInvalid;
    if (OwnsStream) delete Stream;
    Stream = nullptr;
    throw;
  }
  FindEndRecordInStream();
}

void TArZipArchive::ApplySavedLayout(const TArZipLayout& layout) {
  for (const TArZipLayout::TPlace& p : layout.Places) {
    p.Item->SetStartDisk(static_cast<uint16_t>(p.Disk));
    p.Item->SetLocalHeaderOffset(static_cast<uint32_t>(p.Offset));
  }
  layout.NumberEndRecord(EndRecord);
  DiskInUse = static_cast<uint16_t>(layout.ThisDisk);
  CurrentItem = nullptr;  // it may be one of the deleted items
  for (int32_t i = Count() - 1; i >= 0; --i) {
    TArArchiveItem* item = Items->Get(i);
    if (item->PendingAction == aaDelete)
      Items->Delete(i);
    else if (item->PendingAction != 0)
      item->PendingAction = aaNone;
  }
}
