// The safe target of extraction and of saving an archive: data goes to a temporary file in
// the target's own folder, which replaces the target only when everything proved good, so a
// failure leaves the old file as it was and never leaves a half-written one behind. Where
// no file has the target's name yet, the target is made afresh and written directly, and
// removed on failure.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include "archive/core/bufstreams.h"
#include "archive/core/knownfolders.h"
#include "base/filestream.h"

// A file that becomes the target only when told to. Destroyed without a Commit, it removes
// what it wrote and leaves an existing target untouched.
class TPendingFile {
public:
  // folders, when given, are the output folders of the running extraction walk.
  explicit TPendingFile(const std::string& target, TArKnownFolders* folders = nullptr);
  ~TPendingFile();
  TStream* Stream() { return writer_.get(); }
  // Gives the file its DOS date and time (without one it keeps the time it was written),
  // puts it in the target's place and restores the attributes the archive can carry.
  void Commit(std::optional<uint32_t> dosDateTime, uint32_t attributes);
  // Puts the file in the target's place as it was written (its date is the time of
  // writing) and gives it the attributes the target had, as a rewritten archive keeps its
  // own.
  void CommitKeepingAttributes();

private:
  void PutInPlace();
  static uint32_t KeptAttributes(uint32_t attributes);

  std::string target_, temp_;  // temp_ is target_ when the target was made afresh
  std::unique_ptr<TFileStream> stream_;
  std::unique_ptr<TWriteBehind> writer_;
  bool committed_ = false;
};
