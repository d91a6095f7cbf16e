// POSIX backend of the OS layer. Library paths use "\"; they become "/" here, at the
// system call. There are no drives, short names, volume labels or code pages: those
// services answer as a single fixed volume with one code page would.
#include "base/os.h"
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace os {
namespace {

thread_local uint32_t lastError = 0;

std::string Native(const std::string& path) {
  std::string p = path;
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

std::string Library(const std::string& path) {
  std::string p = path;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

bool Fail() {
  lastError = static_cast<uint32_t>(errno);
  return false;
}

uint32_t AttributesOf(const struct stat& st, const std::string& name) {
  uint32_t a = 0;
  if (S_ISDIR(st.st_mode))
    a |= faDirectory;
  else if (S_ISREG(st.st_mode))
    a |= faArchive;
  else
    a |= faSysFile;
  if (!(st.st_mode & S_IWUSR)) a |= faReadOnly;
  if (!name.empty() && name[0] == '.') a |= faHidden;
  return a;
}

std::string BaseName(const std::string& p) {
  const size_t s = p.find_last_of('/');
  return s == std::string::npos ? p : p.substr(s + 1);
}

// The mode a file with the given mode has once it carries the attributes: only the
// write bits follow read-only, and the set-id and sticky bits are dropped.
mode_t ModeWithAttributes(mode_t mode, uint32_t attributes) {
  mode_t m = mode & 07777;
  if (attributes & faReadOnly)
    m &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  else
    m |= S_IWUSR;
  return m & ~static_cast<mode_t>(S_ISUID | S_ISGID | S_ISVTX);
}

// Seconds since 1970 of a local wall-clock time. The C library's mktime re-reads the
// zone file for every call, which costs each extracted file a file system lookup; this
// asks localtime_r instead (the zone FileDosDateTime reads back with, so the two stay
// inverses) and starts from the offset of the last conversion, which holds for all the
// files of one season. A wall time the clock skipped comes out moved forward by the gap,
// and one it showed twice takes the offset tried first, both as mktime has it.
bool LocalWallTimeToUnix(struct tm wall, time_t& result) {
  thread_local long guess = 0;
  // The fields read as UTC, normalised as mktime normalises them.
  const time_t w = ::timegm(&wall);
  if (w == static_cast<time_t>(-1)) return false;
  time_t t = w - guess, previous = t;
  for (int probe = 0; probe < 8; ++probe) {
    struct tm lt;
    if (!::localtime_r(&t, &lt)) return false;
    const time_t next = w - lt.tm_gmtoff;
    if (next == t) {
      guess = lt.tm_gmtoff;
      result = t;
      return true;
    }
    // Two moments that each point at the other: the offsets either side of a skipped hour.
    if (probe > 0 && next == previous) {
      result = std::max(t, next);
      return true;
    }
    previous = t;
    t = next;
  }
  return false;
}

// What an open gave: the descriptor, or kInvalidHandle with the error recorded.
FileHandle Opened(int fd) {
  if (fd < 0) {
    Fail();
    return kInvalidHandle;
  }
  return fd;
}

}  // namespace

uint32_t LastError() { return lastError; }
bool LastErrorMeansExists() { return lastError == EEXIST; }

uint32_t GetAttributes(const std::string& path) {
  struct stat st;
  const std::string n = Native(path);
  if (::stat(n.c_str(), &st) != 0) {
    Fail();
    return kNoAttributes;
  }
  return AttributesOf(st, BaseName(n));
}

bool SetAttributes(const std::string& path, uint32_t attributes) {
  struct stat st;
  const std::string n = Native(path);
  if (::stat(n.c_str(), &st) != 0) return Fail();
  const mode_t m = ModeWithAttributes(st.st_mode, attributes);
  if (m == (st.st_mode & 07777)) return true;
  return ::chmod(n.c_str(), m) == 0 || Fail();
}

bool SetHandleAttributes(FileHandle h, uint32_t attributes) {
  struct stat st;
  const int fd = static_cast<int>(h);
  if (::fstat(fd, &st) != 0) return Fail();
  const mode_t m = ModeWithAttributes(st.st_mode, attributes);
  if (m == (st.st_mode & 07777)) return true;
  return ::fchmod(fd, m) == 0 || Fail();
}

bool GetPermissions(const std::string& path, FilePermissions& permissions) {
  struct stat st;
  if (::stat(Native(path).c_str(), &st) != 0) return Fail();
  permissions = {static_cast<uint32_t>(st.st_mode & 07777), st.st_uid, st.st_gid};
  return true;
}

bool SetHandlePermissions(FileHandle h, const FilePermissions& permissions) {
  const int fd = static_cast<int>(h);
  bool owner = true, group = true;
  if (::fchown(fd, permissions.Owner, permissions.Group) != 0) {
    owner = permissions.Owner == ::geteuid();
    group = ::fchown(fd, static_cast<uid_t>(-1), permissions.Group) == 0;
  }
  // A set-id bit on a file of another owner or group would lend it rights the old file
  // never had; so would the group's rights, given to the group the file has now.
  mode_t mode = permissions.Mode & 07777;
  if (!owner) mode &= ~static_cast<mode_t>(S_ISUID);
  if (!group) mode &= ~static_cast<mode_t>(S_ISGID | S_IRWXG);
  return ::fchmod(fd, mode) == 0 || Fail();
}

bool MayWrite(const std::string& path) {
  return ::faccessat(AT_FDCWD, Native(path).c_str(), W_OK, AT_EACCESS) == 0 || Fail();
}

bool GetHandleIdentity(FileHandle h, FileIdentity& identity) {
  struct stat st;
  if (::fstat(static_cast<int>(h), &st) != 0) return Fail();
  identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  return true;
}

bool GetIdentity(const std::string& path, FileIdentity& identity) {
  struct stat st;
  if (::lstat(Native(path).c_str(), &st) != 0) return Fail();
  identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  return true;
}

bool FileExists(const std::string& path) { return GetAttributes(path) != kNoAttributes; }

bool DirectoryExists(const std::string& path) {
  const uint32_t a = GetAttributes(path);
  return a != kNoAttributes && (a & faDirectory);
}

bool MakeDirectory(const std::string& path) { return ::mkdir(Native(path).c_str(), 0777) == 0 || Fail(); }
bool RemoveFolder(const std::string& path) { return ::rmdir(Native(path).c_str()) == 0 || Fail(); }
bool EraseFile(const std::string& path) { return ::unlink(Native(path).c_str()) == 0 || Fail(); }
bool RenameFile(const std::string& from, const std::string& to) {
  return ::rename(Native(from).c_str(), Native(to).c_str()) == 0 || Fail();
}

std::vector<FindEntry> ListDirectory(const std::string& folder) {
  std::vector<FindEntry> out;
  std::string dir = Native(folder);
  if (dir.empty()) dir = ".";
  DIR* d = ::opendir(dir.c_str());
  if (!d) {
    Fail();
    return out;
  }
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string full = dir + (dir.back() == '/' ? "" : "/") + name;
    struct stat lst, st;
    if (::lstat(full.c_str(), &lst) != 0) continue;
    FindEntry fe;
    fe.Name = name;
    fe.ShortName = name;
    fe.IsLink = S_ISLNK(lst.st_mode);
    const struct stat& use = (fe.IsLink && ::stat(full.c_str(), &st) == 0) ? st : lst;
    fe.Attributes = AttributesOf(use, name);
    fe.Size = S_ISREG(use.st_mode) ? static_cast<int64_t>(use.st_size) : 0;
    out.push_back(fe);
  }
  ::closedir(d);
  return out;
}

std::string TempDirectory() {
  const char* t = std::getenv("TMPDIR");
  std::string d = (t && *t) ? t : "/tmp";
  d = Library(d);
  if (d.back() != '\\') d += '\\';
  return d;
}

std::string CurrentDirectory() {
  char buf[4096];
  return ::getcwd(buf, sizeof buf) ? Library(buf) : std::string();
}

std::string ProgramFolder() {
  char buf[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return CurrentDirectory();
  std::string p = Library(std::string(buf, static_cast<size_t>(n)));
  const size_t s = p.find_last_of('\\');
  return s == 0 ? std::string("\\") : p.substr(0, s);
}

std::string FullPath(const std::string& path) {
  if (!path.empty() && (path[0] == '\\' || path[0] == '/')) return Library(path);
  std::string cwd = CurrentDirectory();
  if (cwd.empty() || cwd.back() != '\\') cwd += '\\';
  return cwd + Library(path);
}

std::string ResolvedPath(const std::string& path) {
  char* resolved = ::realpath(Native(path).c_str(), nullptr);
  if (!resolved) {
    Fail();
    return FullPath(path);
  }
  const std::string p = Library(resolved);
  std::free(resolved);
  return p;
}

int64_t FreeBytes(const std::string& path) {
  // The path itself may not exist yet (an image about to be written): measure the
  // nearest folder that does.
  std::string p = Native(FullPath(path));
  struct statvfs vfs;
  while (!p.empty()) {
    if (::statvfs(p.c_str(), &vfs) == 0) return static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
    const size_t s = p.find_last_of('/');
    if (s == std::string::npos) break;
    p = s == 0 ? (p == "/" ? std::string() : std::string("/")) : p.substr(0, s);
  }
  Fail();
  return -1;
}

TDriveType DriveType(const std::string&) { return dtFixed; }
uint32_t WriteVolumeLabel(const std::string&, const std::string&) { return ENOTSUP; }

bool FileApisAreAnsi() { return true; }
std::string OemTextToAnsi(const std::string& s) { return s; }
std::string AnsiTextToOem(const std::string& s) { return s; }

namespace {
// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsUtf8(const std::string& s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const auto* end = p + s.size();
  while (p < end) {
    const unsigned c = *p++;
    if (c < 0x80) continue;
    // Lead byte: how many continuation bytes follow, and the least value that needs them.
    const int more = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 0;
    if (more == 0) return false;
    static const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    uint32_t cp = c & (0x3F >> more);
    if (end - p < more) return false;
    for (int i = 0; i < more; ++i) {
      if ((*p & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (*p++ & 0x3F);
    }
    if (cp < least[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  }
  return true;
}
}  // namespace

// The file functions here take names as UTF-8 bytes: both directions only check them.
bool Utf8ToFileText(const std::string& utf8, std::string& text) {
  if (!IsUtf8(utf8)) return false;
  text = utf8;
  return true;
}
bool FileTextToUtf8(const std::string& text, std::string& utf8) {
  if (!IsUtf8(text)) return false;
  utf8 = text;
  return true;
}

std::string UpperCase(const std::string& s) {
  std::string u = s;
  for (char& c : u)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return u;
}

std::string LocalDateTimeText() {
  const time_t now = ::time(nullptr);
  struct tm lt;
  ::localtime_r(&now, &lt);
  char buf[64];
  ::strftime(buf, sizeof buf, "%x %X", &lt);
  return buf;
}

FileHandle OpenFile(const std::string& path, int access, int) {
  const int flags = (access == 1 ? O_WRONLY : access == 2 ? O_RDWR : O_RDONLY) | O_CLOEXEC;
  return Opened(::open(Native(path).c_str(), flags));
}

FileHandle CreateNew(const std::string& path, int, bool ownerOnly) {
  return Opened(::open(Native(path).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, ownerOnly ? 0600 : 0666));
}

FileHandle OpenFolder(const std::string& path) {
  return Opened(::open(Native(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

FileHandle CreateNewIn(FileHandle folder, const std::string& name, int) {
  return Opened(::openat(static_cast<int>(folder), name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
}

FileHandle CreateAlways(const std::string& path, int) {
  return Opened(::open(Native(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
}

int32_t ReadFile(FileHandle h, void* buffer, int32_t count) {
  auto* p = static_cast<char*>(buffer);
  int32_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(static_cast<int>(h), p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return done > 0 ? done : (Fail(), -1);
    if (n == 0) break;
    done += static_cast<int32_t>(n);
  }
  return done;
}

int32_t WriteFile(FileHandle h, const void* buffer, int32_t count) {
  const auto* p = static_cast<const char*>(buffer);
  int32_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(static_cast<int>(h), p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return done > 0 ? done : (Fail(), -1);
    done += static_cast<int32_t>(n);
  }
  return done;
}

int64_t SeekFile(FileHandle h, int64_t offset, int origin) {
  const int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
  const off_t r = ::lseek(static_cast<int>(h), static_cast<off_t>(offset), whence);
  if (r < 0) {
    Fail();
    return -1;
  }
  return r;
}

bool TruncateFile(FileHandle h) {
  const off_t pos = ::lseek(static_cast<int>(h), 0, SEEK_CUR);
  return (pos >= 0 && ::ftruncate(static_cast<int>(h), pos) == 0) || Fail();
}

int64_t FileSize(FileHandle h) {
  struct stat st;
  if (::fstat(static_cast<int>(h), &st) != 0) {
    Fail();
    return -1;
  }
  return st.st_size;
}

void CloseFile(FileHandle h) {
  if (h != kInvalidHandle) ::close(static_cast<int>(h));
}

uint32_t FileDosDateTime(FileHandle h) {
  struct stat st;
  if (::fstat(static_cast<int>(h), &st) != 0) {
    Fail();
    return 0xFFFFFFFF;
  }
  struct tm lt;
  const time_t t = st.st_mtime;
  ::localtime_r(&t, &lt);
  const int year = lt.tm_year + 1900;
  if (year < 1980 || year > 2107) return 0xFFFFFFFF;
  const uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | ((lt.tm_mon + 1) << 5) | lt.tm_mday);
  const uint32_t time = static_cast<uint32_t>((lt.tm_hour << 11) | (lt.tm_min << 5) | (lt.tm_sec / 2));
  return (date << 16) | time;
}

bool SetFileDosDateTime(FileHandle h, uint32_t dosDateTime) {
  struct tm lt {};
  const uint32_t date = dosDateTime >> 16, time = dosDateTime & 0xFFFF;
  lt.tm_year = static_cast<int>((date >> 9) & 0x7F) + 80;
  lt.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
  lt.tm_mday = static_cast<int>(date & 0x1F);
  lt.tm_hour = static_cast<int>((time >> 11) & 0x1F);
  lt.tm_min = static_cast<int>((time >> 5) & 0x3F);
  lt.tm_sec = static_cast<int>((time & 0x1F) * 2);
  time_t t;
  if (!LocalWallTimeToUnix(lt, t)) return false;
  struct timespec ts[2];
  ts[0].tv_sec = ts[1].tv_sec = t;
  ts[0].tv_nsec = ts[1].tv_nsec = 0;
  return ::futimens(static_cast<int>(h), ts) == 0 || Fail();
}

}  // namespace os
