// POSIX half of the file and command-line helpers: "\" paths become "/" paths here.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include "base/sysutils.h"
#include "base/sysutils_platform.h"

namespace {

std::string ToNative(const std::string& path) {
  std::string r = path;
  for (char& c : r)
    if (c == '\\') c = '/';
  return r;
}

std::string FromNative(const std::string& path) {
  std::string r = path;
  for (char& c : r)
    if (c == '/') c = '\\';
  return r;
}

}  // namespace

bool FileExists(const std::string& fileName) {
  struct stat st;
  return !fileName.empty() && stat(ToNative(fileName).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& dirName) {
  struct stat st;
  return !dirName.empty() && stat(ToNative(dirName).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const std::string& fileName) {
  return !fileName.empty() && !DirectoryExists(fileName) && unlink(ToNative(fileName).c_str()) == 0;
}

std::vector<std::string> FindFiles(const std::string& mask) {
  std::vector<std::string> names;
  std::string folder = ExtractFilePath(mask);
  const std::string pattern = ExtractFileName(mask);
  DIR* d = opendir(folder.empty() ? "." : ToNative(folder).c_str());
  if (!d) return names;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (MatchesFileMask(name, pattern)) names.push_back(name);
  }
  closedir(d);
  return names;
}

bool LoadFileBytes(const std::string& fileName, std::string& data) {
  if (!FileExists(fileName)) return false;
  std::ifstream in(ToNative(fileName), std::ios::binary);
  if (!in) return false;
  std::ostringstream buf;
  buf << in.rdbuf();
  if (in.bad()) return false;
  data = buf.str();
  return true;
}

void SaveFileBytes(const std::string& fileName, const std::string& data) {
  const std::string target = ToNative(fileName);
  // A name no other writer uses; a leftover of an earlier crash is skipped, never reused.
  static std::atomic<unsigned> counter{0};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = target + ".~" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    const int e = errno;
    throw EInOutError("Cannot create file \"" + fileName + "\". " + std::strerror(e), e);
  }
  size_t done = 0;
  bool ok = true;
  while (ok && done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      ok = false;
    else
      done += static_cast<size_t>(n);
  }
  const int err = ok ? 0 : errno;
  if (close(fd) != 0) ok = false;
  if (ok && rename(temp.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) {
    const int e = err ? err : errno;
    unlink(temp.c_str());
    throw EInOutError("Cannot write file \"" + fileName + "\". " + std::strerror(e), e);
  }
}

std::string ProgramFileName() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return std::string();
  return FromNative(std::string(buf, static_cast<size_t>(n)));
}

std::vector<std::string> PlatformArguments() {
  std::vector<std::string> args;
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string arg;
  while (std::getline(in, arg, '\0')) args.push_back(arg);
  return args;
}
