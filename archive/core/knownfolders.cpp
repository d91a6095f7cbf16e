// The known folders of an extraction walk (see knownfolders.h).
#include "archive/core/knownfolders.h"

TArKnownFolders::~TArKnownFolders() {
  if constexpr (os::kFoldersHeldOpen)
    for (auto& f : folders_) os::CloseFile(f.second.held);
}

os::FileHandle TArKnownFolders::CreateNew(const std::string& path, int share) {
  if constexpr (os::kFoldersHeldOpen) {
    // The name within the folder holds no separator of either kind, so it cannot reach
    // beyond the folder.
    const size_t sep = path.find_last_of("\\/");
    const auto f = sep == std::string::npos ? folders_.end() : folders_.find(path.substr(0, sep));
    if (f != folders_.end()) {
      TFolder& folder = f->second;
      if (folder.files == 1 && held_ < kMaxHeld) {
        folder.held = os::OpenFolder(f->first);
        if (folder.held != os::kInvalidHandle) ++held_;
      }
      ++folder.files;
      if (folder.held != os::kInvalidHandle) return os::CreateNewIn(folder.held, path.substr(sep + 1), share);
    }
  }
  return os::CreateNew(path, share);
}
