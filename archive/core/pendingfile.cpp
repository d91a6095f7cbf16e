#include "archive/core/pendingfile.h"
#include "archive/core/arutils.h"
#include "base/os.h"

TPendingFile::TPendingFile(const std::string& target) : target_(target) {
  const size_t sep = target.rfind('\\');
  const std::string folder = sep == std::string::npos ? std::string(".") : target.substr(0, sep);
  temp_ = CreateTempFile(folder);
  // Only a name in the target's own folder can be renamed over it.
  if (sep != std::string::npos && ExtractFilePath(temp_) != target.substr(0, sep + 1)) {
    os::EraseFile(temp_);
    throw EFCreateError("Cannot create file \"" + target + "\"");
  }
  stream_ = std::make_unique<TFileStream>(temp_, fmOpenReadWrite | fmShareDenyWrite);
  writer_ = std::make_unique<TWriteBehind>(stream_.get());
}

TPendingFile::~TPendingFile() {
  writer_.reset();
  stream_.reset();
  if (!committed_) os::EraseFile(temp_);
}

void TPendingFile::Commit(uint32_t dosDateTime, uint32_t attributes) {
  writer_->Flush();
  os::SetFileDosDateTime(stream_->Handle(), dosDateTime);
  RenameOverTarget(attributes);
}

// The old file steps aside before the new one takes its name, and comes back when the new
// one cannot: a rename over an existing file makes some file systems write all of the new
// file out at once, which costs a large archive more than the whole rest of its save.
void TPendingFile::CommitKeepingAttributes() {
  writer_->Flush();
  const uint32_t attributes = os::GetAttributes(target_);
  stream_.reset();
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
  KeepAttributes(attributes == os::kNoAttributes ? 0 : attributes);
}

void TPendingFile::RenameOverTarget(uint32_t attributes) {
  stream_.reset();
  if (!os::RenameFile(temp_, target_)) throw EFCreateError("Cannot create file \"" + target_ + "\"");
  committed_ = true;
  KeepAttributes(attributes);
}

// Read-only, hidden, system and archive: the other bits (a Unix mode in the high word,
// folder flags) are no file attributes of this system.
void TPendingFile::KeepAttributes(uint32_t attributes) {
  os::SetAttributes(target_, attributes & (os::faReadOnly | os::faHidden | os::faSysFile | os::faArchive));
}
