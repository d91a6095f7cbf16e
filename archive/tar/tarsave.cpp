// Saving a tar archive: every kept entry is copied and every added file packed into a
// swap-to-disk scratch stream, which then takes the archive's place. A file that cannot be
// added is reported and left out without a trace of it in the new archive; any other
// failure ends the save with the archive as it was. A kept sparse file would lose its map
// under this program's header and become a wrong regular file: such a save is refused
// before anything is written.
#include <exception>
#include <vector>
#include "archive/core/pendingfile.h"
#include "archive/core/vmstream.h"
#include "archive/tar/tararchive.h"

namespace {

// Reading again after a save needs read access; a mode that created the file would empty it.
uint16_t ReopenMode(uint16_t mode) {
  return mode == fmCreate || (mode & 3) == fmOpenWrite ? fmOpenReadWrite | fmShareDenyWrite : mode;
}

}  // namespace

std::string TArTarArchive::SwapFolder() const { return ExtractFilePath(GetTempFileNameIn(TempDirectory, false)); }

void TArTarArchive::ReplaceArchiveImage(TStream*& current, TStream& image) {
  DropReadAhead();
  const int64_t size = image.Size();
  image.SetPosition(0);
  if (!dynamic_cast<TArSpanStream*>(current)) {
    // A memory or swap-to-disk stream takes the image in place.
    current->SetSize(0);
    current->SetPosition(0);
    if (size > 0) current->CopyFrom(image, size);
    current->SetPosition(0);
    return;
  }
  TPendingFile pending(ArchiveName, arReplaceArchive, LoadedFile);
  if (size > 0) pending.Stream()->CopyFrom(image, size);
  // The file can be replaced only while nobody holds it open.
  if (OwnsStream) delete current;
  current = nullptr;
  OwnsStream = true;
  std::exception_ptr failure;  // the commit's refusal, or the reopen's
  try {
    pending.CommitKeepingAttributes();
    LoadedFile = pending.Written();
  } catch (...) {
    failure = std::current_exception();  // the old file stays, unless another took its name
  }
  // Read again by name, only where the name still leads to the file this object knows: the
  // one just written, or the old one where the commit failed. Otherwise the archive is
  // unusable rather than reading another file as its own.
  try {
    auto stream = std::make_unique<TArSpanStream>(ArchiveName, SpanThreshold, mkImageFiles, ReopenMode(Mode));
    CheckOpenedIsLoadedFile(ArchiveName, stream->ImageHandle(), LoadedFile);
    stream->IgnoreSpanning = true;
    stream->OnRequestImage = [this](void* sender, int32_t number, std::string& name, bool& abort) {
      RequestImage(sender, number, name, abort);
    };
    stream->OnProgress = [this](uint8_t progress, bool& abort) { ReportSaveProgress(progress, abort); };
    current = stream.release();
  } catch (...) {
    Status = asInvalid;
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

void TArTarArchive::WriteArchive() {
  for (int32_t i = 0; i < Count(); ++i) {
    const TArTarItem& item = TarItem(i);
    if ((item.PendingAction == aaNone || item.PendingAction == aaMove) && item.Sparse())
      throw EArException("Sparse files cannot be saved");
  }
  TArVirtualMemoryStream image;
  image.SwapFolder = SwapFolder();
  TArTarStreamHelper out(&image);
  std::vector<int64_t> offsets(static_cast<size_t>(Count()), -1);
  for (int32_t i = 0; i < Count(); ++i) {
    TArTarItem& item = TarItem(i);
    CurrentItem = &item;
    const int64_t start = image.Position();
    switch (item.PendingAction) {
      case aaNone:
      case aaMove: {
        // The entry's data where the archive holds it now, under the item's (new) header.
        const int64_t from = StoredItem(i).HeaderOffset + tarfmt::kBlockSize;
        item.WriteTarHeader(image);
        Stream->SetPosition(from);
        out.PackData(*Stream, item.DataSize());
        break;
      }
      case aaAdd:
      case aaFreshen:
      case aaReplace:
      case aaStreamAdd:
        try {
          if (item.PendingAction == aaStreamAdd) {
            if (!SourceStream) throw EArBadStream();
            const int64_t size = SourceStream->Size();
            item.SetDataSize(size);
            item.WriteTarHeader(image);
            SourceStream->SetPosition(0);
            out.PackData(*SourceStream, size);
          } else {
            const std::string path = SourceFileName(item);
            TFileStream file(path, fmOpenRead | fmShareDenyWrite);
            item.SetAttributes(AttributesToUnixMode(ArGetFileAttributes(path)));
            const int64_t size = file.Size();
            item.SetDataSize(size);
            const uint32_t age = os::FileDosDateTime(file.Handle());
            if (age == 0xFFFFFFFF) {
              item.SetUnixTime(0);
            } else {
              item.SetModTime(static_cast<uint16_t>(age));
              item.SetModDate(static_cast<uint16_t>(age >> 16));
            }
            item.WriteTarHeader(image);
            out.PackData(file, size);
          }
        } catch (...) {
          image.SetSize(start);
          image.SetPosition(start);
          item.PendingAction = aaDelete;
          ReportItemFailure(&item, ptAdd, ecFileOpenError, 0);
          continue;
        }
        break;
      default: continue;  // failed or deleted: not written
    }
    offsets[static_cast<size_t>(i)] = start;
  }
  out.WriteTrailer();
  ReplaceArchiveImage(Stream, image);
  for (int32_t i = Count() - 1; i >= 0; --i) {
    TArTarItem& item = TarItem(i);
    item.HeaderOffset = offsets[static_cast<size_t>(i)];
    if (item.PendingAction == aaDelete)
      Items->Delete(i);
    else if (item.PendingAction != 0)
      item.PendingAction = aaNone;
  }
  bool ignored = false;
  ReportSaveProgress(100, ignored);
  ReportArchiveProgress(100, ignored);
}
