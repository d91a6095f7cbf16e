// The safe target of extraction and of saving an archive: data goes to a temporary file in
// the target's own folder, which replaces the target only when everything proved good, so a
// failure leaves the old file as it was and never leaves a half-written one behind.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include "archive/core/bufstreams.h"
#include "base/filestream.h"

// A temporary file beside the target that replaces it only when told to. Destroyed without
// a Commit, it removes the temporary file and leaves the target untouched.
class TPendingFile {
public:
  explicit TPendingFile(const std::string& target);
  ~TPendingFile();
  TStream* Stream() { return writer_.get(); }
  // Gives the file its DOS date and time, renames it over the target and restores the
  // attributes the archive can carry.
  void Commit(uint32_t dosDateTime, uint32_t attributes);
  // Renames the file over the target as it was written (its date is the time of writing)
  // and gives it the attributes the target had, as a rewritten archive keeps its own.
  void CommitKeepingAttributes();

private:
  void RenameOverTarget(uint32_t attributes);
  void KeepAttributes(uint32_t attributes);

  std::string target_, temp_;
  std::unique_ptr<TFileStream> stream_;
  std::unique_ptr<TWriteBehind> writer_;
  bool committed_ = false;
};
