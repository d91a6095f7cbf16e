// One save of the zip library per run, for timing against Info-ZIP: "delete ARCHIVE NAME"
// removes one item from an archive, "add ARCHIVE FOLDER" makes a new archive of every file
// below FOLDER through a deflating insert hook at the default setting.
#include <cstdio>
#include <string>
#include "archive/zip/ziparchive.h"
#include "base/filestream.h"
#include "tests/archive/zip/insert_hook.h"

namespace {

std::string LibraryPath(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

void AddTree(TArZipArchive& archive, const std::string& folder, const std::string& prefix) {
  for (const os::FindEntry& e : os::ListDirectory(folder)) {
    const std::string path = folder + "\\" + e.Name;
    if (e.Attributes & os::faDirectory) {
      if (!e.IsLink) AddTree(archive, path, prefix + e.Name + "/");
      continue;
    }
    // Named below the folder, as the library names a file it adds.
    auto* item = static_cast<TArZipItem*>(archive.NewItem(path));
    item->SetFileSystemName(prefix + e.Name);
    archive.Add(std::unique_ptr<TArArchiveItem>(item));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s delete ARCHIVE NAME | add ARCHIVE FOLDER\n", argv[0]);
    return 2;
  }
  const std::string mode = argv[1], archiveName = LibraryPath(argv[2]);
  try {
    if (mode == "add") TFileStream(archiveName, fmCreate);
    TArZipArchive archive(archiveName, fmOpenRead | fmShareDenyNone);
    archive.Load();
    if (mode == "delete") {
      const int32_t index = archive.Items->Find(argv[3]);
      if (index < 0) throw std::runtime_error(std::string("no item ") + argv[3]);
      archive.Items->Get(index)->PendingAction = aaDelete;
      archive.IsDirty = true;
    } else {
      InstallInsertHooks(archive, [](const TArZipItem&) { return TInsertSettings(); });
      AddTree(archive, LibraryPath(argv[3]), "");
    }
    archive.Save();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
