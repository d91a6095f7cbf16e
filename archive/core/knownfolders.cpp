// The known folders of an extraction walk (see knownfolders.h).
#include "archive/core/knownfolders.h"
#include "base/exception.h"

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

// The file-name part as Windows compares it, or coarser: letter case, trailing dots and
// blanks, which it drops, do not count, and all characters outside ASCII count as one
// (their case pairs depend on the code page). Names that differ in folders only, or
// whose short form names a long one, are left to the identity.
std::string TArKnownFolders::LeafKey(const std::string& path) {
  std::string key = path.substr(path.find_last_of("\\/") + 1);
  while (!key.empty() && (key.back() == '.' || key.back() == ' ')) key.pop_back();
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (static_cast<unsigned char>(c) >= 0x80) c = '\x80';
  }
  return key;
}

void TArKnownFolders::Wrote(const std::string& path) {
  leaves_.insert(LeafKey(path));
  unasked_.emplace_back(path, entry_);
}

void TArKnownFolders::CheckNotWritten(const std::string& path) {
  os::FileIdentity there;
  if (leaves_.count(LeafKey(path)) == 0 || !os::GetIdentity(path, there)) return;
  for (const auto& [file, entry] : unasked_)
    if (os::FileIdentity id; os::GetIdentity(file, id)) written_[id] = entry;
  unasked_.clear();
  const auto w = written_.find(there);
  if (w != written_.end() && w->second != entry_)
    throw EFCreateError("Cannot create file \"" + path + "\": this extraction wrote it for " + w->second);
}
