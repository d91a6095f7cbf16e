// The tar item and the reading side of the tar archive (see tararchive.h); saving is in
// tarsave.cpp.
#include "archive/tar/tararchive.h"
#include <algorithm>
#include <cstring>
#include <vector>
#include "archive/core/pendingfile.h"

namespace {
// Items up to this size come from the read-ahead, which reads at most this much at a time.
constexpr int64_t kReadAheadItem = 1 << 16;
constexpr int64_t kReadAheadSize = 1 << 18;
}  // namespace

ArchiveTypeCode ProbeTarFile(TStream& stream) {
  const int64_t pos = stream.Position();
  uint8_t block[tarfmt::kBlockSize] = {};
  const int32_t n = stream.Read(block, tarfmt::kBlockSize);
  stream.SetPosition(pos);
  return IsTarHeader(block, n) ? atTar : atUnknown;
}

// ---- item ----------------------------------------------------------------------------

TArTarItem::TArTarItem() {
  std::memcpy(Record + tarfmt::kMagicAt, tarfmt::kGnuMagic, 8);
  SetAttributes(0744);
  SetField(tarfmt::kUidAt, 8, 0);
  SetField(tarfmt::kGidAt, 8, 0);
  Record[tarfmt::kTypeAt] = tarfmt::kRegular;
  SetField(tarfmt::kDevMajorAt, 8, 0);
  SetField(tarfmt::kDevMinorAt, 8, 0);
}

void TArTarItem::SetField(int at, int width, int64_t value) {
  const std::string text = PadOctal(IntToOctal(value), width);
  if (text.size() > static_cast<size_t>(width)) throw EArException("Value too large for a tar header");
  std::memcpy(Record + at, text.data(), text.size());
}

int32_t TArTarItem::GetPackedSize() const { return static_cast<int32_t>(std::min<int64_t>(DataSize(), INT32_MAX)); }

uint32_t TArTarItem::GetUnpackedSize() const {
  return static_cast<uint32_t>(std::min<int64_t>(DataSize(), UINT32_MAX));
}

void TArTarItem::SetDataSize(int64_t size) {
  longSize_ = -1;
  SetField(tarfmt::kSizeAt, 12, size);
}

uint32_t TArTarItem::GetAttributes() const { return static_cast<uint32_t>(OctalToInt(Record + tarfmt::kModeAt, 8)); }

void TArTarItem::SetAttributes(uint32_t v) { SetField(tarfmt::kModeAt, 8, v & 0177777); }

void TArTarItem::SetUnixTime(int64_t seconds) { SetField(tarfmt::kMtimeAt, 12, seconds); }

std::string TArTarItem::GetStoredName() const {
  if (!decodedName_.empty()) return decodedName_;
  return longName_.empty() ? FieldText(Record + tarfmt::kNameAt, tarfmt::kNameLength) : longName_;
}

void TArTarItem::SetStoredName(const std::string& v) {
  if (v.size() >= static_cast<size_t>(tarfmt::kNameLength)) throw EArException("Name too long for a tar header");
  std::memset(Record + tarfmt::kNameAt, 0, tarfmt::kNameLength);
  std::memcpy(Record + tarfmt::kNameAt, v.data(), v.size());
  longName_.clear();
  decodedName_.clear();
  StoredName = v;
  UndecodedName = false;
}

void TArTarItem::TakeName(const std::string& name) {
  StoredName = name;
  SourcePath = name;
  ToBackslashes(SourcePath);
  PendingAction = aaNone;
  Marked = false;
}

void TArTarItem::ReadTarHeader(TStream& stream) {
  const int32_t n = stream.Read(Record, tarfmt::kRecordSize);
  if (n > 0) stream.Seek(-n, soFromCurrent);
  longName_.clear();
  decodedName_.clear();
  UndecodedName = false;
  longSize_ = -1;
  sparse_ = false;
  TakeName(GetStoredName());
}

void TArTarItem::ReadEntry(const TArTarStreamHelper& helper) {
  std::memcpy(Record, helper.Header(), tarfmt::kRecordSize);
  const std::string field = FieldText(Record + tarfmt::kNameAt, tarfmt::kNameLength);
  longName_ = helper.EntryName() == field ? std::string() : helper.EntryName();
  // A save writes the name bytes as read; only the listing and extraction take the
  // decoded name.
  decodedName_.clear();
  UndecodedName = false;
  if (helper.EntryNameIsUtf8()) {
    std::string decoded;
    if (!os::Utf8ToFileText(helper.EntryName(), decoded))
      UndecodedName = true;
    else if (decoded != helper.EntryName())
      decodedName_ = decoded;
  }
  longSize_ = helper.EntrySize() == OctalToInt(Record + tarfmt::kSizeAt, 12) ? -1 : helper.EntrySize();
  HeaderOffset = helper.EntryOffset();
  sparse_ = helper.EntrySparse();
  TakeName(GetStoredName());
}

void TArTarItem::WriteTarHeader(TStream& stream) {
  if (!longName_.empty()) throw EArException("Name too long for a tar header");
  if (longSize_ >= 0) SetDataSize(longSize_);
  std::memset(Record + tarfmt::kChecksumAt, ' ', 8);
  SetField(tarfmt::kChecksumAt, 8, TarChecksum(Record, tarfmt::kRecordSize));
  uint8_t block[tarfmt::kBlockSize] = {};
  std::memcpy(block, Record, tarfmt::kRecordSize);
  stream.WriteBuffer(block, tarfmt::kBlockSize);
}

// ---- archive: reading ----------------------------------------------------------------

TArTarArchive::TArTarArchive(const std::string& fileName, uint16_t mode) : TArArchive(fileName, mode) {
  if (auto* span = dynamic_cast<TArSpanStream*>(Stream)) span->IgnoreSpanning = true;
}

void TArTarArchive::Load() {
  try {
    TArArchive::Load();
  } catch (...) {
    Status = asInvalid;
    throw;
  }
}

TArTarItem& TArTarArchive::TarItem(int32_t index) const {
  auto* item = dynamic_cast<TArTarItem*>(Items->Get(index));
  if (!item) throw EArException("Invalid Item");
  return *item;
}

TArTarItem& TArTarArchive::StoredItem(int32_t index) const {
  if (index < 0 || index >= Count() || TarItem(index).HeaderOffset < 0) throw Exception("Index out of range");
  return TarItem(index);
}

const TArTarItem& TArTarArchive::ExtractableItem(int32_t index) const {
  const TArTarItem& item = StoredItem(index);
  if (item.Sparse()) throw EArException(kSparseNotExtracted);
  return item;
}

std::string TArTarArchive::NormalizeStoredName(const std::string& name) {
  AddOptions |= aoStripDriveOrShare;
  std::string n = TArArchive::NormalizeStoredName(name);
  ToForwardSlashes(n);
  if (n.size() >= static_cast<size_t>(tarfmt::kNameLength)) throw EArException("Name too long for a tar header");
  return n;
}

TArArchiveItem* TArTarArchive::NewItem(const std::string& fileName) {
  auto item = std::make_unique<TArTarItem>();
  item->SetPackedSize(0);
  item->SetCrc(0);
  // The path is opened through the file functions' own code page; only the stored name
  // takes the archive's. This format's headers have no mark for another one.
  item->SourcePath = os::FullPath(fileName);
  std::string stored;
  if (!AnsiToExactOem(NormalizeStoredName(fileName), stored))
    throw EArException("Name has no OEM form for a tar header");
  item->SetStoredName(stored);
  return item.release();
}

// One walk lists the entries; they then join the list with a progress report each.
void TArTarArchive::ReadArchive() {
  DropReadAhead();
  TArTarStreamHelper helper(Stream);
  std::vector<std::unique_ptr<TArTarItem>> entries;
  bool broken = false;
  try {
    for (bool found = helper.LocateFirstItem(); found; found = helper.LocateNextItem()) {
      entries.push_back(std::make_unique<TArTarItem>());
      entries.back()->ReadEntry(helper);
    }
  } catch (...) { broken = true; }
  // Damage ends the listing there; the items before it stay listed.
  broken = broken || helper.Damaged();
  const int64_t total = static_cast<int64_t>(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    Items->Add(entries[i].release());
    bool abort = false;
    ReportArchiveProgress(static_cast<int32_t>(static_cast<int64_t>(i + 1) * 100 / total), abort);
    if (abort) {
      Status = asInvalid;
      throw EArUserAbort();
    }
  }
  if (broken) throw EArException("Invalid Item");
  bool ignored = false;
  ReportArchiveProgress(100, ignored);
  IsDirty = false;
}

// An unusable archive (a failed load or save) reads nothing: its stream may be gone, or
// not be its file.
void TArTarArchive::UnpackItemToStream(int32_t index, TStream& stream) {
  CheckUsable();
  const TArTarItem& item = ExtractableItem(index);
  const int64_t start = item.HeaderOffset + tarfmt::kBlockSize, size = item.DataSize();
  if (size == 0) return;
  TReadAhead& r = readAhead_;
  if (!r.Bytes) r.Bytes = std::make_unique_for_overwrite<uint8_t[]>(kReadAheadSize);
  if (size > kReadAheadItem) {
    // Copied through the read-ahead's buffer, in its large pieces, dropping what it held.
    r.Source = nullptr;
    Stream->SetPosition(start);
    for (int64_t left = size; left > 0;) {
      const auto n = static_cast<int32_t>(std::min(left, kReadAheadSize));
      Stream->ReadBuffer(r.Bytes.get(), n);
      stream.WriteBuffer(r.Bytes.get(), n);
      left -= n;
    }
    return;
  }
  if (r.Source != Stream || start < r.At || start + size > r.At + r.Length) {
    r.Source = nullptr;
    const int64_t end = ReadAheadEnd(index);
    Stream->SetPosition(start);
    r.Length = std::max(Stream->Read(r.Bytes.get(), static_cast<int32_t>(end - start)), 0);
    r.At = start;
    r.Source = Stream;
    if (size > r.Length) throw EReadError("Stream read error");
  }
  stream.WriteBuffer(r.Bytes.get() + (start - r.At), static_cast<int32_t>(size));
}

// The read-ahead reaches over the small items that follow in the stream and stops short
// of a large one, whose data is copied on its own: no byte is read twice.
int64_t TArTarArchive::ReadAheadEnd(int32_t index) const {
  const TArTarItem& first = StoredItem(index);
  const int64_t start = first.HeaderOffset + tarfmt::kBlockSize;
  int64_t end = start + first.DataSize();
  for (int32_t i = index + 1; i < Count(); ++i) {
    const auto* next = dynamic_cast<const TArTarItem*>(Items->Get(i));
    if (!next || next->Sparse() || next->HeaderOffset < end) break;
    const int64_t size = next->DataSize(), nextEnd = next->HeaderOffset + tarfmt::kBlockSize + size;
    if (size > kReadAheadItem || nextEnd - start > kReadAheadSize) break;
    end = nextEnd;
  }
  return end;
}

void TArTarArchive::UnpackItemToFile(int32_t index, const std::string& outputName) {
  CheckUsable();
  // Tar names reach the disk from any writer: one that climbs out or names a root or a
  // drive is refused whatever the options keep of it.
  if (!IsConfinedName(outputName, eoRestorePath)) throw EArException("Invalid stored name");
  const TArTarItem& item = ExtractableItem(index);
  std::string path = outputName;
  if (!PrepareOutputPath(BaseDirectory(), path, ExtractOptions, OnConfirmOverwrite, WalkFolders())) return;
  try {
    TPendingFile file(path, WalkFolders());
    UnpackItemToStream(index, *file.Stream());
    file.Commit(UnixSecondsToDos(item.UnixTime()), UnixModeToAttributes(item.GetAttributes()));
  } catch (const EArUserAbort&) {
    Status = asInvalid;
    throw;
  }
}

void TArTarArchive::VerifyItem(int32_t index) {
  CheckUsable();
  Stream->SetPosition(StoredItem(index).HeaderOffset);
  if (ProbeTarFile(*Stream) != atTar) throw EArException("Invalid Tar");
}
