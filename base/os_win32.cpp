// Win32 backend of the OS layer, on the ANSI functions the programs use throughout.
#include <windows.h>
#include "base/os.h"

namespace os {
namespace {

DWORD ShareFlags(int share) {
  switch (share & 0x70) {
    case 0x10: return 0;
    case 0x20: return FILE_SHARE_READ;
    case 0x30: return FILE_SHARE_WRITE;
    default: return FILE_SHARE_READ | FILE_SHARE_WRITE;
  }
}

FileHandle FromHandle(HANDLE h) { return h == INVALID_HANDLE_VALUE ? kInvalidHandle : reinterpret_cast<FileHandle>(h); }
HANDLE ToHandle(FileHandle h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

uint32_t LastError() { return ::GetLastError(); }
bool LastErrorMeansExists() {
  const DWORD e = ::GetLastError();
  return e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS;
}

uint32_t GetAttributes(const std::string& path) {
  const DWORD a = ::GetFileAttributesA(path.c_str());
  return a == INVALID_FILE_ATTRIBUTES ? kNoAttributes : a;
}

bool SetAttributes(const std::string& path, uint32_t attributes) {
  return ::SetFileAttributesA(path.c_str(), attributes) != 0;
}

bool GetPermissions(const std::string& path, FilePermissions& permissions) {
  const uint32_t a = GetAttributes(path);
  if (a == kNoAttributes) return false;
  permissions = {a, 0, 0};
  return true;
}

bool MayWrite(const std::string& path) {
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    ::CloseHandle(h);
    return true;
  }
  return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

bool GetHandleIdentity(FileHandle h, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(ToHandle(h), &info)) return false;
  identity = {info.dwVolumeSerialNumber, (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  return true;
}

// Reading attributes is open to everyone who may see the file, whoever holds it open.
bool GetIdentity(const std::string& path, FileIdentity& identity) {
  HANDLE h = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool known = GetHandleIdentity(FromHandle(h), identity);
  ::CloseHandle(h);
  return known;
}

bool FileExists(const std::string& path) { return GetAttributes(path) != kNoAttributes; }

bool DirectoryExists(const std::string& path) {
  const uint32_t a = GetAttributes(path);
  return a != kNoAttributes && (a & faDirectory);
}

bool MakeDirectory(const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr) != 0; }
bool RemoveFolder(const std::string& path) { return ::RemoveDirectoryA(path.c_str()) != 0; }
bool EraseFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }
bool RenameFile(const std::string& from, const std::string& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::vector<FindEntry> ListDirectory(const std::string& folder) {
  std::vector<FindEntry> out;
  std::string mask = folder;
  if (!mask.empty() && mask.back() != '\\' && mask.back() != ':') mask += '\\';
  mask += "*";
  WIN32_FIND_DATAA fd;
  HANDLE h = ::FindFirstFileA(mask.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    const std::string name = fd.cFileName;
    if (name == "." || name == "..") continue;
    FindEntry e;
    e.Name = name;
    e.ShortName = fd.cAlternateFileName[0] ? fd.cAlternateFileName : fd.cFileName;
    e.Attributes = fd.dwFileAttributes;
    e.Size = (static_cast<int64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    e.IsLink = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    out.push_back(e);
  } while (::FindNextFileA(h, &fd));
  ::FindClose(h);
  return out;
}

std::string TempDirectory() {
  char buf[MAX_PATH + 1];
  const DWORD n = ::GetTempPathA(sizeof buf, buf);
  std::string d = (n > 0 && n < sizeof buf) ? std::string(buf, n) : std::string("C:\\");
  if (d.back() != '\\') d += '\\';
  return d;
}

std::string CurrentDirectory() {
  char buf[MAX_PATH + 1];
  const DWORD n = ::GetCurrentDirectoryA(sizeof buf, buf);
  return (n > 0 && n < sizeof buf) ? std::string(buf, n) : std::string();
}

std::string ProgramFolder() {
  char buf[MAX_PATH + 1];
  const DWORD n = ::GetModuleFileNameA(nullptr, buf, sizeof buf);
  std::string p(buf, n < sizeof buf ? n : 0);
  const size_t s = p.find_last_of('\\');
  if (s == std::string::npos) return p;
  return (s == 2 && p[1] == ':') ? p.substr(0, 3) : p.substr(0, s);
}

std::string FullPath(const std::string& path) {
  char buf[MAX_PATH * 4];
  char* part = nullptr;
  const DWORD n = ::GetFullPathNameA(path.c_str(), sizeof buf, buf, &part);
  return (n > 0 && n < sizeof buf) ? std::string(buf, n) : path;
}

// Links to files came with Vista, and so did the function that resolves them: before it
// a path names the file itself.
std::string ResolvedPath(const std::string& path) {
  // Only a link in the last step is replaced instead of its file; one further up leads the
  // rename to the right folder as it is. Left alone, a path keeps its drive letter and
  // short names, which the resolved form would trade for others.
  const uint32_t attributes = GetAttributes(path);
  if (attributes == kNoAttributes || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return FullPath(path);
  using TGetFinalPathName = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);
  static const auto getFinalPathName = reinterpret_cast<TGetFinalPathName>(
      reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
  if (!getFinalPathName) return FullPath(path);
  HANDLE h = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return FullPath(path);
  char buf[MAX_PATH * 4];
  const DWORD n = getFinalPathName(h, buf, sizeof buf, 0);  // FILE_NAME_NORMALIZED, VOLUME_NAME_DOS
  ::CloseHandle(h);
  if (n == 0 || n >= sizeof buf) return FullPath(path);
  // The result carries the prefix of paths that bypass the ANSI functions' parsing.
  const std::string p(buf, n);
  if (p.compare(0, 8, "\\\\?\\UNC\\") == 0) return "\\" + p.substr(7);
  if (p.compare(0, 4, "\\\\?\\") == 0) return p.substr(4);
  return p;
}

int64_t FreeBytes(const std::string& path) {
  ULARGE_INTEGER avail, total, free;
  if (::GetDiskFreeSpaceExA(path.c_str(), &avail, &total, &free)) return static_cast<int64_t>(avail.QuadPart);
  // A file that does not exist yet: measure its folder.
  std::string p = FullPath(path);
  const size_t s = p.find_last_of('\\');
  if (s != std::string::npos && s + 1 < p.size()) {
    p.resize(s + 1);
    if (::GetDiskFreeSpaceExA(p.c_str(), &avail, &total, &free)) return static_cast<int64_t>(avail.QuadPart);
  }
  return -1;
}

TDriveType DriveType(const std::string& root) { return static_cast<TDriveType>(::GetDriveTypeA(root.c_str())); }

uint32_t WriteVolumeLabel(const std::string& root, const std::string& label) {
  return ::SetVolumeLabelA(root.c_str(), label.c_str()) ? 0 : ::GetLastError();
}

bool FileApisAreAnsi() { return ::AreFileApisANSI() != 0; }

std::string OemTextToAnsi(const std::string& s) {
  std::string r = s;
  if (!r.empty()) ::OemToCharBuffA(s.data(), &r[0], static_cast<DWORD>(r.size()));
  return r;
}

std::string AnsiTextToOem(const std::string& s) {
  std::string r = s;
  if (!r.empty()) ::CharToOemBuffA(s.data(), &r[0], static_cast<DWORD>(r.size()));
  return r;
}

namespace {
UINT FileCodePage() { return ::AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

// Strict both ways: invalid input fails, and so does a character that comes back as
// another one (the default character or a best-fit lookalike), checked by the round trip.
bool ToWide(UINT cp, const std::string& s, std::wstring& w) {
  w.clear();
  if (s.empty()) return true;
  const int n = ::MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (n <= 0) return false;
  w.resize(static_cast<size_t>(n));
  return ::MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), &w[0], n) == n;
}

bool FromWide(UINT cp, const std::wstring& w, std::string& s) {
  s.clear();
  if (w.empty()) return true;
  const DWORD flags = cp == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* used = cp == CP_UTF8 ? nullptr : &usedDefault;
  const int n = ::WideCharToMultiByte(cp, flags, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, used);
  if (n <= 0 || usedDefault) return false;
  s.resize(static_cast<size_t>(n));
  if (::WideCharToMultiByte(cp, flags, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, used) != n ||
      usedDefault)
    return false;
  std::wstring back;
  return ToWide(cp, s, back) && back == w;
}
}  // namespace

bool Utf8ToFileText(const std::string& utf8, std::string& text) {
  std::wstring w;
  return ToWide(CP_UTF8, utf8, w) && FromWide(FileCodePage(), w, text);
}

bool FileTextToUtf8(const std::string& text, std::string& utf8) {
  std::wstring w;
  return ToWide(FileCodePage(), text, w) && FromWide(CP_UTF8, w, utf8);
}

std::string UpperCase(const std::string& s) {
  std::string r = s;
  if (!r.empty()) ::CharUpperBuffA(&r[0], static_cast<DWORD>(r.size()));
  return r;
}

std::string LocalDateTimeText() {
  char date[80], time[80];
  if (!::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, sizeof date)) date[0] = 0;
  if (!::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time, sizeof time)) time[0] = 0;
  return std::string(date) + " " + time;
}

FileHandle OpenFile(const std::string& path, int access, int share) {
  const DWORD acc = access == 1 ? GENERIC_WRITE : access == 2 ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ;
  return FromHandle(
      ::CreateFileA(path.c_str(), acc, ShareFlags(share), nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// A new file takes the access its folder passes on; the folder decides who else may open it.
FileHandle CreateNew(const std::string& path, int share, bool) {
  return FromHandle(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, ShareFlags(share), nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle CreateAlways(const std::string& path, int share) {
  return FromHandle(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, ShareFlags(share), nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

int32_t ReadFile(FileHandle h, void* buffer, int32_t count) {
  DWORD n = 0;
  if (!::ReadFile(ToHandle(h), buffer, static_cast<DWORD>(count), &n, nullptr)) return -1;
  return static_cast<int32_t>(n);
}

int32_t WriteFile(FileHandle h, const void* buffer, int32_t count) {
  DWORD n = 0;
  if (!::WriteFile(ToHandle(h), buffer, static_cast<DWORD>(count), &n, nullptr)) return -1;
  return static_cast<int32_t>(n);
}

int64_t SeekFile(FileHandle h, int64_t offset, int origin) {
  LARGE_INTEGER d, r;
  d.QuadPart = offset;
  const DWORD method = origin == 1 ? FILE_CURRENT : origin == 2 ? FILE_END : FILE_BEGIN;
  if (!::SetFilePointerEx(ToHandle(h), d, &r, method)) return -1;
  return r.QuadPart;
}

bool TruncateFile(FileHandle h) { return ::SetEndOfFile(ToHandle(h)) != 0; }

int64_t FileSize(FileHandle h) {
  LARGE_INTEGER size;
  return ::GetFileSizeEx(ToHandle(h), &size) ? size.QuadPart : -1;
}

void CloseFile(FileHandle h) {
  if (h != kInvalidHandle) ::CloseHandle(ToHandle(h));
}

uint32_t FileDosDateTime(FileHandle h) {
  FILETIME ft, local;
  WORD date = 0, time = 0;
  if (!::GetFileTime(ToHandle(h), nullptr, nullptr, &ft) || !::FileTimeToLocalFileTime(&ft, &local) ||
      !::FileTimeToDosDateTime(&local, &date, &time))
    return 0xFFFFFFFF;
  return (static_cast<uint32_t>(date) << 16) | time;
}

bool SetFileDosDateTime(FileHandle h, uint32_t dosDateTime) {
  FILETIME local, ft;
  return ::DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16), static_cast<WORD>(dosDateTime), &local) &&
         ::LocalFileTimeToFileTime(&local, &ft) && ::SetFileTime(ToHandle(h), nullptr, nullptr, &ft);
}

}  // namespace os
