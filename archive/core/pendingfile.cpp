#include "archive/core/pendingfile.h"
#include "archive/core/arutils.h"

namespace {

bool IsFile(const std::string& path, const os::FileIdentity& file) {
  os::FileIdentity there;
  return os::GetIdentity(path, there) && there == file;
}

[[noreturn]] void RefuseAsNotLoaded(const std::string& archive) {
  throw EFCreateError("Cannot create file \"" + archive + "\": it is not the file that was loaded");
}

}  // namespace

TPendingFile::TPendingFile(const std::string& target, TArKnownFolders* folders) : target_(target), folders_(folders) {
  // It becomes the extracted file and keeps the mode it was made with, as a fresh one does.
  // Only a file that is there already can be one the walk wrote.
  if (!MakeFresh(folders)) {
    if (folders) folders->CheckNotWritten(target_);
    MakeTemporary(false);
  }
  writer_ = std::make_unique<TWriteBehind>(stream_.get());
}

TPendingFile::TPendingFile(const std::string& archive, TArReplaceArchive,
                           const std::optional<os::FileIdentity>& loaded)
    : target_(os::ResolvedPath(archive)), archive_(archive), loaded_(loaded) {
  CheckMayReplace(archive);
  if (loaded_ && !IsFile(target_, *loaded_)) RefuseAsNotLoaded(archive);
  if (os::FilePermissions old; os::GetPermissions(target_, old)) kept_ = old;
  // The archive's content, perhaps no one else's to read, goes into it before the old
  // file's permissions do.
  if (kept_ || !MakeFresh(nullptr)) MakeTemporary(true);
  writer_ = std::make_unique<TWriteBehind>(stream_.get());
}

// A rename would replace a file this process may not change: another user's, or one marked
// read-only (which an administrator could open for writing all the same).
void CheckMayReplace(const std::string& path) {
  const uint32_t attributes = os::GetAttributes(path);
  if (attributes != os::kNoAttributes && ((attributes & os::faReadOnly) || !os::MayWrite(path)))
    throw EFOpenError("Cannot open file \"" + path + "\"");
}

void CheckIsLoadedFile(const std::string& archive, const std::optional<os::FileIdentity>& loaded) {
  if (loaded && !IsFile(os::ResolvedPath(archive), *loaded)) RefuseAsNotLoaded(archive);
}

void CheckOpenedIsLoadedFile(const std::string& archive, os::FileHandle opened,
                             const std::optional<os::FileIdentity>& loaded) {
  if (!loaded) return;
  os::FileIdentity there;
  if (!os::GetHandleIdentity(opened, there) || there != *loaded)
    throw EFOpenError("Cannot open file \"" + archive + "\": it is not the file that was loaded");
}

// With no file there to keep, the target itself is written: made here, so it is nobody
// else's, and removed again unless committed. That spares each new file a rename.
bool TPendingFile::MakeFresh(TArKnownFolders* folders) {
  const os::FileHandle fresh =
      folders ? folders->CreateNew(target_, fmShareDenyWrite) : os::CreateNew(target_, fmShareDenyWrite);
  if (fresh == os::kInvalidHandle) return false;
  temp_ = target_;
  stream_ = std::make_unique<TFileStream>(fresh, target_);
  return true;
}

// Only a file in the target's own folder can be renamed over it.
void TPendingFile::MakeTemporary(bool ownerOnly) {
  const size_t sep = target_.find_last_of("\\/");
  const std::string folder = sep == std::string::npos ? std::string() : target_.substr(0, sep + 1);
  const os::FileHandle h = CreateTempFileIn(folder, fmShareDenyWrite, temp_, ownerOnly);
  if (h == os::kInvalidHandle) throw EFCreateError("Cannot create file \"" + target_ + "\"");
  stream_ = std::make_unique<TFileStream>(h, temp_);
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
  if (folders_) folders_->Wrote(target_);
}

// The old file's permissions come only now, with the content all written.
void TPendingFile::Close() {
  if (!stream_) return;
  writer_->Flush();
  if constexpr (os::kHandleTakesAttributes) {
    if (kept_) os::SetHandlePermissions(stream_->Handle(), *kept_);
  }
  if (os::FileIdentity written; os::GetHandleIdentity(stream_->Handle(), written)) closedAs_ = written;
  writer_.reset();
  stream_.reset();
}

// The old file steps aside before the new one takes its name, and comes back when the new
// one cannot: a rename over an existing file makes some file systems write all of the new
// file out at once, which costs a large archive more than the whole rest of its save.
void TPendingFile::CommitKeepingAttributes() {
  Close();
  if (temp_ == target_) {  // there was no old file
    committed_ = true;
    written_ = closedAs_;
    return;
  }
  // As late as the renames allow. Only who may change the folder, and so the file, could
  // put another there in between; a folder turned elsewhere would not hold the new file.
  if (loaded_ && !IsFile(target_, *loaded_)) RefuseAsNotLoaded(archive_);
  std::string aside;
  if (os::FileExists(target_)) {
    aside = GetTempFileNameIn(ExtractFilePath(temp_), false);
    if (!os::RenameFile(target_, aside)) throw EFCreateError("Cannot create file \"" + target_ + "\"");
  }
  if (!os::RenameFile(temp_, target_)) {
    if (!aside.empty()) os::RenameFile(aside, target_);
    throw EFCreateError("Cannot create file \"" + target_ + "\"");
  }
  committed_ = true;
  // Asked of the file at the name now, not of the file as it was closed: where the
  // platform derives the identity from the directory entry (FAT, exFAT), the rename has
  // moved that. Should the name give nothing, the old identity stands, which can only make
  // a later save refuse.
  written_ = closedAs_;
  if (os::FileIdentity renamed; os::GetIdentity(target_, renamed)) written_ = renamed;
  // A read-only old file may not be erased as it is.
  if (!aside.empty() && !os::EraseFile(aside)) {
    os::SetAttributes(aside, 0);
    os::EraseFile(aside);
  }
  // Where an open file takes no attributes, the new one gets the old one's by name.
  if constexpr (!os::kHandleTakesAttributes) {
    if (kept_) os::SetAttributes(target_, KeptAttributes(kept_->Mode));
  }
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
