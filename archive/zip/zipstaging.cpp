// Staging, the first step of a save (see zipsave.h). The staging stream holds blocks of a
// 32-bit length and the bytes; each item records where its block starts, so a block is
// read back for exactly the items that staged one, whatever order they were staged in.
#include <algorithm>
#include <cstring>
#include "archive/core/arutils.h"
#include "archive/deflate/dfdeflate.h"
#include "archive/zip/zipsave.h"

namespace {

constexpr uint32_t kLargestItem = 0x7FFFFFFF;  // sizes are signed 32-bit in the item model

bool StagesNewData(uint8_t action) {
  return action == aaAdd || action == aaFreshen || action == aaReplace || action == aaStreamAdd;
}

}  // namespace

void CheckItemSize(const TArZipItem& item) {
  if (item.CentralHeader.PackedSize > kLargestItem || item.CentralHeader.UnpackedSize > kLargestItem)
    throw EArZipException("Item too large for a zip archive");
}

void CopyStoredBytes(TStream& source, TStream& dest, int64_t count, std::vector<uint8_t>& buffer,
                     const std::function<void(int64_t)>& onWritten) {
  if (buffer.size() < 65536) buffer.resize(65536);
  while (count > 0) {
    const int32_t want = static_cast<int32_t>(std::min<int64_t>(count, static_cast<int64_t>(buffer.size())));
    int32_t got = 0;
    while (got < want) {
      const int32_t n = source.Read(buffer.data() + got, want - got);
      if (n <= 0) throw EArReadError();  // the data ends before its stated size
      got += n;
    }
    dest.WriteBuffer(buffer.data(), got);
    count -= got;
    if (onWritten) onWritten(got);
  }
}

// ---- read window -----------------------------------------------------------------------

int32_t TArZipReadWindow::Read(void* buffer, int32_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int32_t done = 0;
  while (done < count) {
    if (position_ >= start_ && position_ < start_ + length_) {
      const int32_t n = static_cast<int32_t>(std::min<int64_t>(count - done, start_ + length_ - position_));
      std::memcpy(out + done, buffer_.data() + (position_ - start_), static_cast<size_t>(n));
      done += n;
      position_ += n;
      continue;
    }
    inner_.SetPosition(position_);
    if (count - done >= kPiece) {  // a large read goes straight to the caller
      const int32_t n = inner_.Read(out + done, count - done);
      if (n <= 0) break;
      done += n;
      position_ += n;
      continue;
    }
    start_ = position_;
    length_ = std::max(inner_.Read(buffer_.data(), kPiece), 0);
    if (length_ == 0) break;
  }
  return done;
}

int64_t TArZipReadWindow::Seek(int64_t offset, int origin) {
  if (origin == soFromCurrent)
    position_ += offset;
  else if (origin == soFromEnd)
    position_ = inner_.Size() + offset;
  else
    position_ = offset;
  return position_;
}

// ---- staging ---------------------------------------------------------------------------

TArZipStaging::TArZipStaging(TArZipArchive& archive, TStream& oldArchive)
    : archive_(archive), old_(oldArchive), folder_(ExtractFilePath(GetTempFileNameIn(archive.TempDirectory, false))) {
  blocks_.SwapFolder = folder_;
}

// The stored data (encryption header and compressed bytes) begins after the old local
// header, whose name and extra field may differ in length from the central record's.
void TArZipStaging::Plan() {
  TArArchiveList& items = *archive_.Items;
  oldSize_ = old_.Size();
  TArZipLocalFileHeader local;
  for (int32_t i = 0; i < items.Count(); ++i) {
    auto& item = static_cast<TArZipItem&>(*items.Get(i));
    const uint8_t action = item.PendingAction;
    if (action == aaDelete) continue;
    TArZipStagedItem s{&item, i, TArZipStagedItem::dsNone, 0, 0};
    if (action == aaNone || action == aaMove) {
      CheckItemSize(item);
      s.Length = item.CentralHeader.PackedSize;
      old_.SetPosition(item.LocalHeaderOffset());
      try {
        local.ReadRecord(old_);
      } catch (const EArZipInvalid&) { throw EArZipInvalidLFH(); }
      const TArZipDirectoryFileHeader& central = item.CentralHeader;
      if (action == aaNone)
        s.LocalName = KeepLocal(local.NameBytes.get(), local.NameLength, central.NameBytes, central.NameLength);
      s.LocalExtra = KeepLocal(local.ExtraBytes.get(), local.ExtraLength, central.ExtraBytes, central.ExtraLength);
      if (s.Length > 0) {
        s.Source = TArZipStagedItem::dsOldArchive;
        s.Position = old_.Position();
      }
    } else if (!StagesNewData(action) && item.CentralHeader.PackedSize != 0) {
      // An action that brings no data cannot give an item the bytes its header promises.
      throw EArBadStream();
    }
    written_.push_back(s);
  }
}

// Local headers never overlap, so the bytes kept of them cannot outgrow the archive,
// unless many records name one header: a crafted archive that would make a save hold
// gigabytes of copies.
TArZipKeptBytes TArZipStaging::KeepLocal(const uint8_t* own, uint16_t length, const TArZipBytes& central,
                                         uint16_t centralLength) {
  if (length == centralLength && (length == 0 || (central && std::memcmp(own, central.get(), length) == 0))) return {};
  const int64_t start = static_cast<int64_t>(keptLocal_.size());
  if (start + length > oldSize_) throw EArZipInvalidLFH();
  keptLocal_.insert(keptLocal_.end(), own, own + length);
  return {start, length};
}

void TArZipStaging::StageNewData() {
  // The insert hooks deflate one item after another: their encoders share one set of hash
  // heads, where a set of their own for each small item would cost more than its bytes.
  TArDeflateTableKeeper keeper;
  for (TArZipStagedItem& s : written_) {
    TArZipItem& item = *s.Item;
    if (!StagesNewData(item.PendingAction)) continue;
    archive_.CurrentItem = &item;
    TArVirtualMemoryStream data;
    data.SwapFolder = folder_;
    // The hook sets the flags of its data; bit 11 says how the name is stored, which the
    // hook does not change.
    const uint16_t nameFlag = item.GpFlags() & kZipUtf8Flag;
    if (item.PendingAction == aaStreamAdd)
      archive_.InsertItemFromStream(s.Index, data);
    else
      archive_.InsertItem(s.Index, data);
    item.SetGpFlags(static_cast<uint16_t>((item.GpFlags() & ~kZipUtf8Flag) | nameFlag));
    CheckItemSize(item);
    // A packed size that differs from the bytes written would shift every later item.
    if (data.Size() != int64_t{item.CentralHeader.PackedSize}) throw EArBadStream();
    s.Length = item.CentralHeader.PackedSize;
    if (s.Length > 0) {
      data.SetPosition(0);
      AppendBlock(s, data);
    }
  }
}

void TArZipStaging::StageOldData() {
  for (TArZipStagedItem& s : written_) {
    if (s.Source != TArZipStagedItem::dsOldArchive) continue;
    archive_.CurrentItem = s.Item;
    old_.SetPosition(s.Position);
    AppendBlock(s, old_);
  }
}

void TArZipStaging::AppendBlock(TArZipStagedItem& s, TStream& data) {
  s.Source = TArZipStagedItem::dsStaged;
  s.Position = blocks_.Seek(0, soFromEnd);
  uint8_t length[4];
  PutLE32(length, s.Length);
  blocks_.WriteBuffer(length, 4);
  CopyStoredBytes(data, blocks_, s.Length, buffer_, nullptr);
}

int64_t TArZipStaging::SizeEstimate() const {
  int64_t estimate = 0;
  for (const TArZipStagedItem& s : written_) {
    const TArZipDirectoryFileHeader& h = s.Item->CentralHeader;
    estimate += int64_t{s.Length} + 2 * int64_t{h.NameLength} + 2 * int64_t{h.ExtraLength} + 76;
    if (h.GpFlags & kZipDataDescriptorFlag) estimate += 16;
  }
  return estimate;
}
