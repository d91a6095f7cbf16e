// The span stream (see spanstream.h).
#include "archive/core/spanstream.h"
#include <algorithm>
#include <cstdio>
#include "archive/core/arerrors.h"
#include "archive/core/arutils.h"

TArSpanStream::TArSpanStream(const std::string& fileName, int32_t threshold, TArMediaKind mediaKind, uint16_t fileMode)
    : spanMode_(fileMode == fmCreate || (fileMode & 1) ? smWriting : smReading),
      mediaKind_(mediaKind),
      threshold_(threshold),
      imageName_(fileName),
      fileMode_(fileMode) {
  if (PathKind(fileName) != pkAbsolute) throw EArException("Full Path Required");
  if (!MediaIsUsable(fileName) && spanMode_ == smWriting) throw EArException("Invalid Media");
  OpenImage(fileName);
}

TArSpanStream::~TArSpanStream() = default;

void TArSpanStream::OpenImage(const std::string& name) {
  file_ = std::make_unique<TFileStream>(name, fileMode_);
  seekSize_ = -1;
}

int32_t TArSpanStream::ImageNumberFor(int32_t spanNumber) const {
  return mediaKind_ == mkRemovableDisks ? spanNumber + 1 : spanNumber;
}

bool TArSpanStream::MediaIsUsable(const std::string& name) {
  bytesAvailable_ = GetDiskFreeSpaceOfPath(name);
  if (bytesAvailable_ < -1) bytesAvailable_ = 2147483647;
  return bytesAvailable_ != -1 || !os::FileExists(name);
}

int32_t TArSpanStream::RoomOnImage() {
  if (mediaKind_ == mkImageFiles)
    return threshold_ > 0 ? threshold_ - bytesWritten_ : GetDiskFreeSpaceOfPath(imageName_);
  return std::min(threshold_ > 0 ? threshold_ : 2147483647, GetDiskFreeSpaceOfPath(imageName_));
}

std::string TArSpanStream::NextLocalImageName() const {
  const int32_t n = spanNumber_ + 1;
  if (n >= 100 || n < 1) return std::string();
  char ext[16];
  std::snprintf(ext, sizeof ext, ".z%02d", static_cast<int>(n));
  const size_t dot = imageName_.rfind('.');
  const size_t sep = imageName_.find_last_of("\\:");
  const bool hasExt = dot != std::string::npos && (sep == std::string::npos || dot > sep);
  return (hasExt ? imageName_.substr(0, dot) : imageName_) + ext;
}

bool TArSpanStream::NextWriteImage() {
  file_.reset();
  // Without anyone to supply the next image the write cannot go on.
  if (!OnRequestImage) throw EArException("Invalid Media");
  std::string name;
  int32_t number;
  if (mediaKind_ == mkImageFiles) {
    name = NextLocalImageName();
    number = (spanNumber_ + 1) & 0xFF;
  } else {
    name = imageName_;
    number = (spanNumber_ + 2) & 0xFF;
  }
  for (;;) {
    cancelled_ = false;
    OnRequestImage(this, ImageNumberFor(number), name, cancelled_);
    if (cancelled_) return false;
    if (MediaIsUsable(name)) {
      imageName_ = name;
      ++spanNumber_;
      bytesWritten_ = 0;
      TFileStream(name, fmCreate);
      OpenImage(name);
      return true;
    }
  }
}

void TArSpanStream::OpenNextImage() {
  file_.reset();
  if (!NextWriteImage()) {
    file_.reset();
    throw EArUserAbort();
  }
}

int32_t TArSpanStream::Read(void* buffer, int32_t count) {
  if (IgnoreSpanning) return file_ ? file_->Read(buffer, count) : 0;
  if (count > 0 && (!file_ || file_->Position() >= file_->Size())) {
    if (!OnRequestImage) return 0;
    file_.reset();
    ++spanNumber_;
    cancelled_ = false;
    OnRequestImage(this, ImageNumberFor(spanNumber_), imageName_, cancelled_);
    MovedByItself = true;
    if (cancelled_) throw EArUserAbort();
    if (!MediaIsUsable(imageName_)) throw EArFileNotFound();
    OpenImage(imageName_);
  }
  return file_ ? file_->Read(buffer, count) : 0;
}

int32_t TArSpanStream::Write(const void* buffer, int32_t count) {
  if (spanMode_ == smReading || count <= 0) return 0;
  const auto* p = static_cast<const uint8_t*>(buffer);
  int32_t n = 0;
  if (mediaKind_ == mkImageFiles && threshold_ <= 0) {
    n = file_ ? file_->Write(p, count) : 0;
  } else {
    int32_t room = RoomOnImage();
    if (room > count) {
      n = file_ ? file_->Write(p, count) : 0;
      bytesWritten_ += n;
    } else {
      int32_t left = count;
      int32_t chunk = std::max(room, 0);
      for (;;) {
        const int32_t done = chunk > 0 && file_ ? file_->Write(p + n, chunk) : 0;
        bytesWritten_ += done;
        n += done;
        left -= done;
        if (done < chunk) break;  // the medium took less than it had room for
        if (left == 0) break;
        if (!NextWriteImage()) throw EArUserAbort();  // the rest cannot be written
        room = RoomOnImage();
        // A fresh image without room would make the walk create images for ever.
        if (room <= 0) throw EArException("Invalid Media");
        chunk = std::min(left, room);
      }
    }
  }
  totalWritten_ += n;
  if (OnProgress) {
    bool abort = false;
    OnProgress(static_cast<uint8_t>(PercentOf(totalWritten_, TotalSize)), abort);
    if (abort) return 0;
  }
  return n;
}

int64_t TArSpanStream::Seek(int64_t offset, int origin) {
  if (!file_) return 0;
  // Asking where the stream stands moves nothing and needs no size (loading asks per item).
  if (spanMode_ == smWriting || (origin == soFromCurrent && offset == 0)) return file_->Position();
  // The size is asked again only for a target past the one last seen: an image read
  // here does not shrink under the reader.
  int64_t size = seekSize_ < 0 || origin == soFromEnd ? (seekSize_ = file_->Size()) : seekSize_;
  int64_t target = offset;
  if (origin == soFromEnd)
    target = offset + size;
  else if (origin != soFromBeginning)
    target = (origin == soFromCurrent ? offset : 0) + file_->Position();
  if (target > size) size = seekSize_ = file_->Size();
  if (IgnoreSpanning) target = std::clamp<int64_t>(target, 0, size);
  // No reader of this library seeks across images; a position outside the current
  // image is damaged input.
  if (target < 0 || target > size) throw EArReadError();
  return file_->Seek(target, soFromBeginning);
}

void TArSpanStream::SetSize(int64_t newSize) {
  if (!file_) return;
  seekSize_ = -1;
  if (newSize == 0) {
    file_->SetSize(0);
    return;
  }
  const int64_t limit = file_->Size() + std::max<int32_t>(GetDiskFreeSpaceOfPath(imageName_), 0);
  file_->SetSize(std::min(newSize, limit));
}
