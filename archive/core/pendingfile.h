// The safe target of extraction and of saving an archive: data goes to a temporary file in
// the target's own folder, which replaces the target only when everything proved good, so a
// failure leaves the old file as it was and never leaves a half-written one behind. Where
// no file has the target's name yet, the target is made afresh and written directly, and
// removed on failure. A new version of an archive replaces the file a symbolic link names,
// only when that is the file the archive was loaded from, and takes over the old file's
// permissions once it is written: until then only its owner may open it.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include "archive/core/bufstreams.h"
#include "archive/core/knownfolders.h"
#include "base/filestream.h"
#include "base/os.h"

// Chooses the constructor for a new version of an archive.
struct TArReplaceArchive {};
inline constexpr TArReplaceArchive arReplaceArchive{};

// Raises EFOpenError when path names a file that is marked read-only or that this process
// may not write; nothing there is no obstacle.
void CheckMayReplace(const std::string& path);
// Raises EFCreateError naming archive unless the file a save of it would replace is the
// one loaded: a link turned elsewhere since, or another file put in its place, would lead
// the save to a file this process never read. A loaded file that is gone is refused too:
// a new one could be made in whatever folder a turned link now names. An archive loaded
// from no file has nothing to check.
void CheckIsLoadedFile(const std::string& archive, const std::optional<os::FileIdentity>& loaded);
// Raises EFOpenError naming archive unless opened, the file a save opened again by the
// archive's name after its commit (or its refusal), is the one loaded: the one the save
// wrote, or the old one where nothing replaced it. Another file put there meanwhile must
// not be read as the archive's own.
void CheckOpenedIsLoadedFile(const std::string& archive, os::FileHandle opened,
                             const std::optional<os::FileIdentity>& loaded);

// A file that becomes the target only when told to. Destroyed without a Commit, it removes
// what it wrote and leaves an existing target untouched.
class TPendingFile {
public:
  // folders, when given, are the output folders of the running extraction walk. Raises
  // EFCreateError where the target is a file the walk wrote for another entry.
  explicit TPendingFile(const std::string& target, TArKnownFolders* folders = nullptr);
  // A new version of archive, put in place by CommitKeepingAttributes. The file a symbolic
  // link there names is replaced, beside it. Raises as CheckMayReplace does, and, given
  // the file archive was loaded from, as CheckIsLoadedFile does (here and again right
  // before the old file is replaced). Cabinet pieces and new archives have none.
  TPendingFile(const std::string& archive, TArReplaceArchive, const std::optional<os::FileIdentity>& loaded = {});
  ~TPendingFile();
  TStream* Stream() { return writer_.get(); }
  // Gives the file its DOS date and time (without one it keeps the time it was written),
  // puts it in the target's place and restores the attributes the archive can carry.
  void Commit(std::optional<uint32_t> dosDateTime, uint32_t attributes);
  // Writes out what is still held back and closes the file, so that the files of a set can
  // all be written before the first replaces its target. Only CommitKeepingAttributes (or
  // the destructor) may follow.
  void Close();
  // Puts a new version of an archive in its place as it was written (its date is the time
  // of writing), with the old file's permissions. Closes it first where Close has not.
  void CommitKeepingAttributes();
  // The file written, once committed: the one a later save may replace. After a rename it
  // is the file at the target's name as the rename left it: some file systems (FAT, exFAT)
  // derive a file's identity from its directory entry, which a rename moves.
  const std::optional<os::FileIdentity>& Written() const { return written_; }

private:
  bool MakeFresh(TArKnownFolders* folders);
  void MakeTemporary(bool ownerOnly);
  void PutInPlace();
  static uint32_t KeptAttributes(uint32_t attributes);

  std::string target_, temp_;                // temp_ is target_ when the target was made afresh
  std::string archive_;                      // the name a new version of an archive was asked for
  std::optional<os::FilePermissions> kept_;  // the old archive's, for a new version of one
  std::optional<os::FileIdentity> loaded_;   // the file that archive was loaded from
  std::optional<os::FileIdentity> closedAs_;  // the file as Close left it
  std::optional<os::FileIdentity> written_;   // the same, once it took the target's place
  std::unique_ptr<TFileStream> stream_;
  std::unique_ptr<TWriteBehind> writer_;
  TArKnownFolders* folders_ = nullptr;  // the extraction walk's, which learns what was written
  bool committed_ = false;
};
