// Extracts one archive with the unzipper the way the update client does: open, set the
// folder, extract "*.*", close. Exits non-zero when an item failed.
#include <cstdio>
#include <string>
#include "archive/unzipper.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s archive folder\n", argv[0]);
    return 2;
  }
  auto path = [](std::string p) {
    for (char& c : p)
      if (c == '/') c = '\\';
    return p;
  };
  try {
    TArUnZipper u;
    u.SetExtractOptions(eoCreateDirs | eoRestorePath);
    u.OpenArchiveFile(path(argv[1]));
    u.SetBaseDirectory(path(argv[2]));
    u.ExtractMatchingFiles("*.*");
    const int failed = u.FailedItems();
    u.CloseArchiveFile();
    return failed == 0 ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
