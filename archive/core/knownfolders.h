// The output folders of one extraction walk. Each is looked up on the disk once per walk
// rather than once per file; between walks anything may have changed there. Where the
// platform makes files by bare name in a folder held open, a folder that takes a second
// file is held open for the rest of the walk, which spares every later file the lookup
// of the folder's whole path (a folder of one file is not worth the opening).
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include "base/os.h"

class TArKnownFolders {
public:
  TArKnownFolders() = default;
  TArKnownFolders(const TArKnownFolders&) = delete;
  TArKnownFolders& operator=(const TArKnownFolders&) = delete;
  ~TArKnownFolders();

  bool Has(const std::string& folder) const { return folders_.count(folder) != 0; }
  // folder was found in place.
  void Add(const std::string& folder) { folders_.try_emplace(folder); }
  // As os::CreateNew: a file that did not exist, read and write.
  os::FileHandle CreateNew(const std::string& path, int share);

private:
  // Handles held at once at most: an archive may have more folders than a process may
  // have files open.
  static constexpr int32_t kMaxHeld = 32;
  struct TFolder {
    int32_t files = 0;                         // files made in it through this walk
    os::FileHandle held = os::kInvalidHandle;  // opened when it takes a second file
  };
  std::unordered_map<std::string, TFolder> folders_;
  int32_t held_ = 0;
};
