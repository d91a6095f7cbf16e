#include "archive/core/pendingfile.h"
#include "archive/core/arutils.h"
#include "base/os.h"

TPendingFile::TPendingFile(const std::string& target, TArKnownFolders* folders) : target_(target) {
  // With no file there to keep, the target itself is written: made here, so it is nobody
  // else's, and removed again unless committed. That spares each new file a rename.
  const os::FileHandle fresh =
      folders ? folders->CreateNew(target, fmShareDenyWrite) : os::CreateNew(target, fmShareDenyWrite);
  if (fresh != os::kInvalidHandle) {
    temp_ = target;
    stream_ = std::make_unique<TFileStream>(fresh, target);
  } else {
    // Only a file in the target's own folder can be renamed over it.
    const size_t sep = target.find_last_of("\\/");
    const std::string folder = sep == std::string::npos ? std::string() : target.substr(0, sep + 1);
    const os::FileHandle h = CreateTempFileIn(folder, fmShareDenyWrite, temp_);
    if (h == os::kInvalidHandle) throw EFCreateError("Cannot create file \"" + target + "\"");
    stream_ = std::make_unique<TFileStream>(h, temp_);
  }
  writer_ = std::make_unique<TWriteBehind>(stream_.get());
}

TPendingFile::~TPendingFile() {
  writer_.reset();
  stream_.reset();
  if (!committed_) os::EraseFile(temp_);
}

void TPendingFile::Commit(std::optional<uint32_t> dosDateTime, uint32_t attributes) {
  writer_->Flush();
  if (dosDateTime) os::SetFileDosDateTime(stream_->Handle(), *dosDateTime);
  if constexpr (os::kHandleTakesAttributes) {
    // The rename keeps them: the file is the same.
    os::SetHandleAttributes(stream_->Handle(), KeptAttributes(attributes));
    PutInPlace();
  } else {
    PutInPlace();
    os::SetAttributes(target_, KeptAttributes(attributes));
  }
}

// The old file steps aside before the new one takes its name, and comes back when the new
// one cannot: a rename over an existing file makes some file systems write all of the new
// file out at once, which costs a large archive more than the whole rest of its save.
void TPendingFile::CommitKeepingAttributes() {
  writer_->Flush();
  stream_.reset();
  if (temp_ == target_) {  // there was no old file
    committed_ = true;
    return;
  }
  const uint32_t attributes = os::GetAttributes(target_);
  std::string aside;
  if (attributes != os::kNoAttributes) {
    aside = GetTempFileNameIn(ExtractFilePath(temp_), false);
    if (!os::RenameFile(target_, aside)) throw EFCreateError("Cannot create file \"" + target_ + "\"");
  }
  if (!os::RenameFile(temp_, target_)) {
    if (!aside.empty()) os::RenameFile(aside, target_);
    throw EFCreateError("Cannot create file \"" + target_ + "\"");
  }
  committed_ = true;
  if (!aside.empty()) os::EraseFile(aside);
  os::SetAttributes(target_, KeptAttributes(attributes == os::kNoAttributes ? 0 : attributes));
}

void TPendingFile::PutInPlace() {
  stream_.reset();
  if (temp_ != target_ && !os::RenameFile(temp_, target_))
    throw EFCreateError("Cannot create file \"" + target_ + "\"");
  committed_ = true;
}

// Read-only, hidden, system and archive: the other bits (a Unix mode in the high word,
// folder flags) are no file attributes of this system.
uint32_t TPendingFile::KeptAttributes(uint32_t attributes) {
  return attributes & (os::faReadOnly | os::faHidden | os::faSysFile | os::faArchive);
}
