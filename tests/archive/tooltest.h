// For the tests that hold the archive formats against the system's own tools, which exist
// on the build machine only: shell commands over native paths, the unzipper's update road
// as the client drives it, and the regular files of a tree by their base names.
#pragma once
#include <gtest/gtest.h>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include "archive/unzipper.h"
#include "tests/archive/artestutil.h"

namespace tooltest {

inline std::string Native(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

// Runs a bash script with the folder as its working folder; its exit status.
inline int Run(const std::string& folder, const std::string& script) {
  const std::string file = Native(folder) + "/.script.sh";
  std::ofstream(file) << "set -e\ncd '" << Native(folder) << "'\n" << script << "\n";
  const int rc = std::system(("bash '" + file + "' >/dev/null 2>&1").c_str());
  std::filesystem::remove(file);
  return rc;
}

inline std::string Output(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    pclose(p);
  }
  return out;
}

// OpenArchiveFile, SetBaseDirectory, ExtractMatchingFiles("*.*"), CloseArchiveFile; the
// number of failed items. The archive file must be the same afterwards.
inline int32_t UnpackAsTheClientDoes(const std::string& archive, const std::string& folder) {
  const std::string before = artest::ReadFile(archive);
  os::MakeDirectory(folder);
  TArUnZipper u;
  u.SetExtractOptions(eoCreateDirs | eoRestorePath);  // the client's stored setting
  u.OpenArchiveFile(archive);
  u.SetBaseDirectory(folder + "\\");
  u.ExtractMatchingFiles("*.*");
  const int32_t failed = u.FailedItems();
  u.CloseArchiveFile();
  EXPECT_TRUE(artest::ReadFile(archive) == before) << archive << " changed";
  return failed;
}

// Regular files below folder (symbolic links not followed), by base name.
inline std::map<std::string, std::string> FlatFiles(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(Native(folder)))
    if (e.is_regular_file() && !e.is_symlink()) {
      std::ifstream in(e.path(), std::ios::binary);
      std::ostringstream s;
      s << in.rdbuf();
      files[e.path().filename().string()] = s.str();
    }
  return files;
}

}  // namespace tooltest
