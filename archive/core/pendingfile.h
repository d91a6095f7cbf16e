// Extraction's safe target: data goes to a temporary file in the target's own folder, which
// replaces the target only when the item proved good, so a failed item leaves the old file
// as it was and never leaves a half-written one behind. Where no file has the target's
// name yet, the target is made afresh and written directly, and removed on failure.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include "archive/core/bufstreams.h"
#include "base/filestream.h"

// A file that becomes the target only when told to. Destroyed without a Commit, it removes
// what it wrote and leaves an existing target untouched.
class TPendingFile {
public:
  explicit TPendingFile(const std::string& target);
  ~TPendingFile();
  TStream* Stream() { return writer_.get(); }
  // Gives the file its DOS date and time (without one it keeps the time it was written),
  // puts it in the target's place and restores the attributes the archive can carry.
  void Commit(std::optional<uint32_t> dosDateTime, uint32_t attributes);

private:
  std::string target_, temp_;
  std::unique_ptr<TFileStream> stream_;
  std::unique_ptr<TWriteBehind> writer_;
  bool committed_ = false;
};
