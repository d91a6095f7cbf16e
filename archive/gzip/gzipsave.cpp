// Saving a gzip archive. A gzip file holds one item: a save with more is refused before
// anything is written, and one with none (or whose only add failed) leaves the file as it
// was. A kept item is unpacked from every member of the old file and packed again as one
// member, so no member's data is lost. The new file replaces the old one only when it
// was written completely.
#include <algorithm>
#include "archive/core/vmstream.h"
#include "archive/gzip/gziparchive.h"

namespace {

bool IsWritten(uint8_t action) { return action != 0 && action != aaDelete; }

// Items that failed or were deleted go; the others are saved as they are now.
void SettleActions(TArArchiveList& items) {
  for (int32_t i = items.Count() - 1; i >= 0; --i) {
    TArArchiveItem* item = items.Get(i);
    if (item->PendingAction == aaDelete)
      items.Delete(i);
    else if (item->PendingAction != 0)
      item->PendingAction = aaNone;
  }
}

}  // namespace

void TArGzipArchive::WriteTarMode() {
  ShowTarView();
  TArTarArchive::WriteArchive();
  // The member keeps the name, time, extra field, comment, XFL and OS it had.
  TArGzipStreamHelper old(gzipStream_);
  if (gzipStream_->Size() > 0) {
    gzipStream_->SetPosition(0);
    old.ReadLeadIn();
  }
  TArVirtualMemoryStream image;
  image.SwapFolder = SwapFolder();
  TArGzipStreamHelper out(&image);
  out.Item.AssignHeader(old.Item);
  out.WriteLeadIn();
  tarImage_->SetPosition(0);
  out.PackItem(*tarImage_);
  out.WriteTrailer();
  ReplaceArchiveImage(gzipStream_, image);
}

void TArGzipArchive::WriteArchive() {
  if (TarMode()) {
    WriteTarMode();
    return;
  }
  ShowGzipView();
  int32_t kept = 0;
  for (int32_t i = 0; i < Count(); ++i)
    if (IsWritten(Items->Get(i)->PendingAction)) ++kept;
  if (kept > 1) throw EArException("A gzip file holds one item only");
  TArVirtualMemoryStream image;
  image.SwapFolder = SwapFolder();
  TArGzipStreamHelper out(&image);
  TArGzipItem* written = nullptr;
  int64_t dataStart = 0;
  for (int32_t i = 0; i < Count(); ++i) {
    auto* item = dynamic_cast<TArGzipItem*>(Items->Get(i));
    if (!item || !IsWritten(item->PendingAction)) continue;
    CurrentItem = item;
    if (item->PendingAction == aaNone || item->PendingAction == aaMove) {
      TArVirtualMemoryStream copy;
      copy.SwapFolder = image.SwapFolder;
      TArGzipStreamHelper(Stream).UnpackMembers(copy);
      copy.SetPosition(0);
      item->WriteGzipHeader(image);
      dataStart = image.Position();
      out.PackItem(copy);
      written = item;
      continue;
    }
    try {
      if (item->PendingAction == aaStreamAdd) {
        if (!SourceStream) throw EArBadStream();
        item->WriteGzipHeader(image);
        dataStart = image.Position();
        SourceStream->SetPosition(0);
        out.PackItem(*SourceStream);
      } else {
        TFileStream file(SourceFileName(*item), fmOpenRead | fmShareDenyWrite);
        const uint32_t age = os::FileDosDateTime(file.Handle());
        if (age == 0xFFFFFFFF) {
          item->SetMTime(0);
        } else {
          item->SetModTime(static_cast<uint16_t>(age));
          item->SetModDate(static_cast<uint16_t>(age >> 16));
        }
        item->WriteGzipHeader(image);
        dataStart = image.Position();
        out.PackItem(file);
      }
      written = item;
    } catch (...) {
      image.SetSize(0);
      image.SetPosition(0);
      item->PendingAction = aaDelete;
      ReportItemFailure(item, ptAdd, ecFileOpenError, 0);
    }
  }
  if (written) {
    const int64_t packed = image.Position() - dataStart;
    out.WriteTrailer();
    ReplaceArchiveImage(Stream, image);
    written->DataCrc = out.Item.DataCrc;
    written->SetUnpackedSize(out.Item.GetUnpackedSize());
    written->PackedSize = static_cast<int32_t>(std::min<int64_t>(packed, INT32_MAX));
  }
  SettleActions(*Items);
  bool ignored = false;
  ReportSaveProgress(100, ignored);
  ReportArchiveProgress(100, ignored);
}
