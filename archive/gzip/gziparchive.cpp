// The reading side of the gzip archive and its two views (see gziparchive.h); saving is
// in gzipsave.cpp.
#include "archive/gzip/gziparchive.h"
#include <optional>
#include "archive/core/pendingfile.h"
#include "archive/deflate/dfinflate.h"

ArchiveTypeCode ProbeGzipFile(TStream& stream) {
  const int64_t pos = stream.Position();
  struct TRestore {
    TStream& s;
    int64_t p;
    ~TRestore() {
      try {
        s.SetPosition(p);
      } catch (...) {}
    }
  } restore{stream, pos};
  stream.SetPosition(0);
  uint8_t fixed[gzfmt::kFixedSize] = {};
  if (stream.Read(fixed, gzfmt::kFixedSize) != gzfmt::kFixedSize || !HasGzipMagic(fixed)) return atUnknown;
  stream.SetPosition(0);
  TArGzipStreamHelper helper(&stream);
  helper.ReadLeadIn();
  TMemoryStream head;
  TArDeflateHelper options;
  options.OutputLimit = tarfmt::kBlockSize;
  Inflate(&stream, &head, &options);
  head.SetPosition(0);
  return ProbeTarFile(head) == atTar ? atGzippedTar : atGzip;
}

TArGzipArchive::TArGzipArchive(const std::string& fileName, uint16_t mode)
    : TArTarArchive(fileName, mode),
      otherList_(std::make_unique<TArArchiveList>()),
      tarImage_(std::make_unique<TArVirtualMemoryStream>()) {}

TArGzipArchive::~TArGzipArchive() {
  ShowGzipView();
  otherList_.reset();
  tarImage_.reset();
}

void TArGzipArchive::ShowTarView() {
  if (tarViewActive_) return;
  gzipStream_ = Stream;
  Stream = tarImage_.get();
  std::swap(Items, otherList_);
  tarViewActive_ = true;
}

void TArGzipArchive::ShowGzipView() {
  if (!tarViewActive_) return;
  Stream = gzipStream_;
  gzipStream_ = nullptr;
  std::swap(Items, otherList_);
  tarViewActive_ = false;
}

void TArGzipArchive::SetAutoUnpackTar(bool value) {
  if (value)
    ShowTarView();
  else
    ShowGzipView();
  autoUnpackTar_ = value;
}

void TArGzipArchive::RequestImage(void*, int32_t, std::string& imageName, bool& abort) {
  abort = false;
  imageName.clear();
}

TArGzipItem& TArGzipArchive::Member() const {
  if (Count() == 0) throw Exception("Index out of range");
  auto* item = dynamic_cast<TArGzipItem*>(Items->Get(0));
  if (!item) throw EArException("Invalid Item");
  return *item;
}

std::string TArGzipArchive::NormalizeStoredName(const std::string& name) {
  AddOptions |= aoStripDriveOrShare | aoStripPath;
  std::string n = name;
  ToBackslashes(n);
  return ExtractFileName(n);
}

TArArchiveItem* TArGzipArchive::NewItem(const std::string& fileName) {
  if (TarMode()) {
    ShowTarView();
    return TArTarArchive::NewItem(fileName);
  }
  ShowGzipView();
  auto item = std::make_unique<TArGzipItem>();
  item->SetPackedSize(0);
  item->DataCrc = 0;
  item->SourcePath = os::FullPath(fileName);
  item->SetStoredName(NormalizeStoredName(fileName));
  return item.release();
}

void TArGzipArchive::ReadArchive() {
  TStream* gzip = GzipStream();
  if (!gzip || gzip->Size() == 0) return;
  if (TarMode()) {
    if (tarLoaded_) return;
    tarImage_->SwapFolder = SwapFolder();
    tarImage_->SetSize(0);
    tarImage_->SetPosition(0);
    // Checked against the trailers: a damaged member lists no entries from damaged data.
    TArGzipStreamHelper(gzip).UnpackMembers(*tarImage_);
    ShowTarView();
    TArTarArchive::ReadArchive();
    tarLoaded_ = true;
    return;
  }
  ShowGzipView();
  TArGzipStreamHelper helper(Stream);
  const int32_t total = helper.CountItems();
  if (helper.LocateFirstItem()) {
    auto item = std::make_unique<TArGzipItem>();
    item->ReadGzipHeader(*Stream);
    const int64_t size = Stream->Size();
    uint8_t trailer[gzfmt::kTrailerSize] = {};
    if (size >= gzfmt::kTrailerSize) {
      Stream->SetPosition(size - gzfmt::kTrailerSize);
      Stream->Read(trailer, gzfmt::kTrailerSize);
    }
    item->DataCrc = static_cast<uint32_t>(trailer[0] | trailer[1] << 8 | trailer[2] << 16) |
                    static_cast<uint32_t>(trailer[3]) << 24;
    item->SetUnpackedSize(static_cast<uint32_t>(trailer[4] | trailer[5] << 8 | trailer[6] << 16) |
                          static_cast<uint32_t>(trailer[7]) << 24);
    item->PendingAction = aaNone;
    Items->FreeAll();
    Items->Add(item.release());
    bool abort = false;
    ReportArchiveProgress(100 / total, abort);
    if (abort) {
      Status = asInvalid;
      throw EArUserAbort();
    }
  }
  bool ignored = false;
  ReportArchiveProgress(100, ignored);
  IsDirty = false;
}

void TArGzipArchive::UnpackItemToStream(int32_t index, TStream& stream) {
  CheckUsable();  // as a tar archive: an unusable one reads nothing
  if (TarMode()) {
    ShowTarView();
    TArTarArchive::UnpackItemToStream(index, stream);
    return;
  }
  ShowGzipView();
  TArGzipStreamHelper(Stream).UnpackMembers(stream);
}

void TArGzipArchive::UnpackItemToFile(int32_t index, const std::string& outputName) {
  CheckUsable();
  if (TarMode()) {
    ShowTarView();
    TArTarArchive::UnpackItemToFile(index, outputName);
    return;
  }
  ShowGzipView();
  const TArGzipItem& item = Member();  // whatever the index: there is one
  std::string path = outputName;
  ToBackslashes(path);
  path = ExtractFileName(path);
  if (path.empty() || !IsConfinedName(path, eoRestorePath)) throw EArException("Invalid stored name");
  if (!PrepareOutputPath(BaseDirectory(), path, ExtractOptions, OnConfirmOverwrite, WalkFolders())) return;
  try {
    TPendingFile file(path, WalkFolders());
    UnpackItemToStream(0, *file.Stream());
    // MTIME 0 says the member has no time: the file keeps the time it was written.
    std::optional<uint32_t> time;
    if (item.MTime() != 0) time = static_cast<uint32_t>(item.GetModDate()) << 16 | item.GetModTime();
    file.Commit(time, 0);
  } catch (const EArUserAbort&) {
    Status = asInvalid;
    throw;
  }
}

void TArGzipArchive::VerifyItem(int32_t index) {
  CheckUsable();
  if (TarMode()) {
    ShowTarView();
    TArTarArchive::VerifyItem(index);
    return;
  }
  TStream* gzip = GzipStream();
  const int64_t pos = gzip->Position();
  const ArchiveTypeCode type = ProbeGzipFile(*gzip);
  if (type != atGzip && type != atGzippedTar) throw EArGzipInvalid();
  TArBitBucketStream bucket(1024);
  TArGzipStreamHelper(gzip).UnpackMembers(bucket);
  gzip->SetPosition(pos);
}
