// The output folders of one extraction walk. Each is looked up on the disk once per walk
// rather than once per file; between walks anything may have changed there. Where the
// platform makes files by bare name in a folder held open, a folder that takes a second
// file is held open for the rest of the walk, which spares every later file the lookup
// of the folder's whole path (a folder of one file is not worth the opening).
// The walk also knows the files it wrote, by what the file system holds them as, so that
// no entry replaces another one's file: names that land without their folders, or differ
// only in letter case where the file system ignores it, can lead two entries to one file.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>
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

  // The stored name of the entry whose file is made next.
  void BeginEntry(const std::string& storedName) { entry_ = storedName; }
  // Raises EFCreateError when the file at path, which is there, is one this walk wrote
  // for an entry of another name. A later entry of the same name may replace it: in a tar
  // file that is the file's newer version.
  void CheckNotWritten(const std::string& path);
  // The entry's file is in place at path.
  void Wrote(const std::string& path);

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
  struct THashIdentity {
    size_t operator()(const os::FileIdentity& f) const {
      return std::hash<uint64_t>()(f.Index * 0x9E3779B97F4A7C15u ^ f.Volume);
    }
  };
  // A file is told by its identity, which takes a question to the file system. An update
  // replaces every file it brings; asking about each would add two lookups to every file
  // written. So a file that is there is asked about only where its name, in a form that
  // every name of the same file shares (LeafKey), is that of a file the walk wrote, and the
  // files written are asked about only then, each once.
  static std::string LeafKey(const std::string& path);
  std::unordered_set<std::string> leaves_;
  std::vector<std::pair<std::string, std::string>> unasked_;                  // path, stored name
  std::unordered_map<os::FileIdentity, std::string, THashIdentity> written_;  // stored name
  std::string entry_;
};
