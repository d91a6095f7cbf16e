// Extraction's safe target: data goes to a temporary file in the target's own folder, which
// replaces the target only when the item proved good, so a failed item leaves the old file
// as it was and never leaves a half-written one behind.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
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
  // Gives the file its DOS date and time (without one it keeps the time it was written),
  // renames it over the target and restores the attributes the archive can carry.
  void Commit(std::optional<uint32_t> dosDateTime, uint32_t attributes);

private:
  std::string target_, temp_;
  std::unique_ptr<TFileStream> stream_;
  std::unique_ptr<TWriteBehind> writer_;
  bool committed_ = false;
};
