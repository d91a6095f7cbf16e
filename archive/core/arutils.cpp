// Free routines of the archive library (see arutils.h).
#include "archive/core/arutils.h"
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include "archive/core/arerrors.h"
#include "archive/core/crc32fold.h"

// ---- lock ----------------------------------------------------------------------------

void TArPadLock::SetLocked(bool value) {
  if (value) {
    mutex_.lock();
    owner_.store(std::this_thread::get_id());
    ++count_;
    return;
  }
  // Only the holder may leave: another thread's unlock would corrupt the section.
  if (count_.load() <= 0 || owner_.load() != std::this_thread::get_id()) return;
  if (--count_ == 0) owner_.store(std::thread::id());
  mutex_.unlock();
}

// ---- paths ---------------------------------------------------------------------------

std::string AddBackslash(const std::string& path) {
  if (path.empty() || path.back() == ':' || path.back() == '\\') return path;
  return path + '\\';
}

int32_t PrefixBeforeNthBackslash(const std::string& s, int32_t n) {
  int32_t seen = 0;
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i] == '\\' && ++seen == n) return static_cast<int32_t>(i);
  return static_cast<int32_t>(s.size());
}

bool DirectoryExistsNoWild(const std::string& path) {
  if (path.find_first_of("*?") != std::string::npos) return false;
  return os::DirectoryExists(path);
}

void CreateDirectoryPath(const std::string& path) {
  if (path.empty() || DirectoryExistsNoWild(path)) return;
  // The drive or share root is never created. A relative path starts with its first
  // component, which must be created like the others.
  int32_t n = 2;
  if (path.find("\\\\") != std::string::npos)
    n = 5;
  else if (path.find(':') == std::string::npos && path[0] != '\\')
    n = 1;
  for (;; ++n) {
    const int32_t len = PrefixBeforeNthBackslash(path, n);
    const std::string prefix = path.substr(0, static_cast<size_t>(len));
    if (!prefix.empty() && !DirectoryExistsNoWild(prefix)) os::MakeDirectory(prefix);
    if (len >= static_cast<int32_t>(path.size())) break;
  }
}

uint8_t PathKind(const std::string& path) {
  if (path.find("\\\\") != std::string::npos || path.find(':') != std::string::npos) return pkAbsolute;
  if (os::kRootedPathIsAbsolute && !path.empty() && (path[0] == '\\' || path[0] == '/')) return pkAbsolute;
  if (path.find_first_of("\\/") != std::string::npos) return pkRelative;
  return pkBareName;
}

void ToBackslashes(std::string& path) {
  for (char& c : path)
    if (c == '/') c = '\\';
}

void ToForwardSlashes(std::string& path) {
  for (char& c : path)
    if (c == '\\') c = '/';
}

void SplitPath(const std::string& path, std::string& root, std::string& dirs, std::string& name) {
  std::string p = path;
  ToBackslashes(p);
  const size_t last = p.rfind('\\');
  name = last == std::string::npos ? p : p.substr(last + 1);
  dirs = last == std::string::npos ? std::string() : p.substr(0, last + 1);
  root.clear();
  if (dirs.find("\\\\") != std::string::npos) {
    const size_t len = static_cast<size_t>(PrefixBeforeNthBackslash(dirs, 4));
    root = dirs.substr(0, len);
    dirs = len + 1 <= dirs.size() ? dirs.substr(len + 1) : std::string();
  } else if (const size_t colon = dirs.find(':'); colon != std::string::npos) {
    root = dirs.substr(0, colon + 1);
    dirs = dirs.substr(colon + 1);
    if (!dirs.empty() && dirs[0] == '\\') dirs.erase(0, 1);
  }
}

void SplitDirectories(const std::string& dirs, std::vector<std::string>& list) {
  std::string d = dirs;
  if (!d.empty() && d.back() == '\\') d.pop_back();
  size_t start = 0;
  while (start <= d.size() && !d.empty()) {
    const size_t end = d.find('\\', start);
    const std::string piece = d.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!piece.empty()) list.push_back(piece);
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

void StripDriveOrShare(std::string& path) {
  std::string root, dirs, name;
  SplitPath(path, root, dirs, name);
  path = dirs + name;
}

void StripParentPrefixes(std::string& path) {
  while (path.compare(0, 3, "..\\") == 0) path.erase(0, 3);
}

namespace {

// The entry of name in folder, compared without regard to ASCII case when the exact
// spelling is not there.
bool FindEntryIn(const std::string& folder, const std::string& name, os::FindEntry& found) {
  const auto entries = os::ListDirectory(folder);
  for (const auto& e : entries)
    if (e.Name == name) return found = e, true;
  const std::string upper = os::UpperCase(name);
  for (const auto& e : entries)
    if (os::UpperCase(e.Name) == upper) return found = e, true;
  return false;
}

}  // namespace

std::string GetShortPath(const std::string& path) {
  std::string root, dirs, name;
  SplitPath(path, root, dirs, name);
  std::string result = root;
  if (!root.empty() || (!dirs.empty() && dirs[0] == '\\')) result += '\\';
  std::vector<std::string> list;
  SplitDirectories(dirs, list);
  for (const auto& d : list) {
    os::FindEntry e;
    if (!FindEntryIn(result, d, e) || !(e.Attributes & os::faDirectory)) throw EArException("Path not found");
    result += e.ShortName + '\\';
  }
  os::FindEntry e;
  if (!FindEntryIn(result, name, e) || (e.Attributes & os::faDirectory)) throw EArFileNotFound();
  return result + e.ShortName;
}

int64_t GetFileSize64(const std::string& fileName) {
  os::FindEntry e;
  const std::string name = ExtractFileName(fileName);
  if (name.empty() || !FindEntryIn(ExtractFilePath(fileName), name, e)) return -1;
  return e.Size;
}

uint32_t ArGetFileAttributes(const std::string& fileName) { return os::GetAttributes(fileName); }
bool ArSetFileAttributes(const std::string& fileName, uint32_t attributes) {
  return os::SetAttributes(fileName, attributes);
}

// The platform's conversion puts "?" or a lookalike where OEM lacks a character: only a
// name that comes back whole has its exact form.
bool AnsiToExactOem(const std::string& ansi, std::string& oem) {
  oem = os::AnsiTextToOem(ansi);
  return os::OemTextToAnsi(oem) == ansi;
}

bool OemOrUtf8Name(const std::string& ansi, std::string& stored) {
  if (AnsiToExactOem(ansi, stored)) return false;
  if (!os::FileTextToUtf8(ansi, stored)) throw EArException("Name has neither an OEM nor a UTF-8 form");
  return true;
}

// ---- wildcards -----------------------------------------------------------------------

bool IsWildMatch(const std::string& s, int32_t sPos, const std::string& mask, int32_t mPos) {
  if (s.empty()) return mask.empty();
  if (mPos == 1 && (mask == "*.*" || mask == "*")) return true;
  const int32_t sLen = static_cast<int32_t>(s.size()), mLen = static_cast<int32_t>(mask.size());
  if (mask.empty()) return sPos > sLen;
  int32_t i = sPos, j = mPos;
  for (;;) {
    if (i > sLen && j > mLen) return true;
    if (j > mLen) return false;
    const char m = mask[static_cast<size_t>(j - 1)];
    if (m == '*') {
      if (j == mLen) return true;
      for (int32_t k = i; k <= sLen + 1; ++k)
        if (IsWildMatch(s, k, mask, j + 1)) return true;
      return false;
    }
    if (i > sLen) return false;
    if (m != '?' && m != s[static_cast<size_t>(i - 1)]) return false;
    ++i;
    ++j;
  }
}

bool MatchFileMask(const std::string& name, const std::string& mask) {
  const std::string n = os::UpperCase(name), m = os::UpperCase(mask);
  const std::string maskDir = ExtractFilePath(m);
  if (!maskDir.empty() && !IsWildMatch(ExtractFilePath(n), 1, maskDir, 1)) return false;
  return IsWildMatch(ExtractFileName(n), 1, ExtractFileName(m), 1);
}

void FindMatchingFiles(const std::string& mask, uint32_t attributes, std::vector<std::string>& list, bool recurse) {
  const std::string dir = ExtractFilePath(mask);
  const std::string fileMask = os::UpperCase(ExtractFileName(mask));
  const auto entries = os::ListDirectory(dir.empty() ? std::string(".") : dir);
  // The class library's search rule: hidden, system, volume and directory entries
  // only when asked for.
  const uint32_t special = os::faHidden | os::faSysFile | os::faVolumeID | os::faDirectory;
  for (const auto& e : entries)
    if ((e.Attributes & ~attributes & special) == 0 && IsWildMatch(os::UpperCase(e.Name), 1, fileMask, 1))
      list.push_back(dir + e.Name);
  if (!recurse) return;
  for (const auto& e : entries)
    // Links are not followed: a link back up the tree would recurse without end.
    if ((e.Attributes & os::faDirectory) && !e.IsLink && (e.Attributes & ~os::faDirectory & special) == 0)
      FindMatchingFiles(AddBackslash(dir) + e.Name + '\\' + ExtractFileName(mask), attributes, list, true);
}

// ---- temporary names and volumes -----------------------------------------------------

namespace {

// Tries the temporary names after prefix (a folder with its separator) until take makes one
// its own. A name in use is passed over; any other failure would come back for every name
// (a folder this process may not write), so it ends the search. Empty when none was taken.
std::string TakeTempName(const std::string& prefix, const std::function<bool(const std::string& name)>& take) {
  static std::atomic<uint32_t> counter{static_cast<uint32_t>(
      std::chrono::steady_clock::now().time_since_epoch().count() ^ reinterpret_cast<uintptr_t>(&counter))};
  for (int tries = 0; tries < 0x10000; ++tries) {
    uint32_t n = counter.fetch_add(1) & 0xFFFF;
    if (n == 0) n = counter.fetch_add(1) & 0xFFFF;
    char buf[16];
    std::snprintf(buf, sizeof buf, "VMS%X.TMP", static_cast<unsigned>(n));
    const std::string name = prefix + buf;
    if (os::FileExists(name)) continue;
    if (take(name)) return name;
    if (!os::LastErrorMeansExists()) break;
  }
  return std::string();
}

}  // namespace

std::string GetTempFileNameIn(const std::string& directory, bool create) {
  const std::string folder = DirectoryExistsNoWild(directory) ? AddBackslash(directory) : os::TempDirectory();
  return TakeTempName(folder, [create](const std::string& name) { return !create || os::CreateNewFile(name); });
}

std::string CreateTempFile(const std::string& directory) { return GetTempFileNameIn(directory, true); }

os::FileHandle CreateTempFileIn(const std::string& prefix, int share, std::string& name, bool ownerOnly) {
  os::FileHandle h = os::kInvalidHandle;
  name = TakeTempName(
      prefix, [&](const std::string& n) { return (h = os::CreateNew(n, share, ownerOnly)) != os::kInvalidHandle; });
  return h;
}

void MakeSpanImageName(std::string& fileName, uint16_t number) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%.2d", number % 100);
  const size_t dot = fileName.rfind('.');
  const size_t sep = fileName.find_last_of("\\:");
  const bool hasExt = dot != std::string::npos && (sep == std::string::npos || dot > sep);
  std::string ext = ".";
  if (hasExt && dot + 1 < fileName.size()) ext += fileName[dot + 1];
  ext += digits;
  ext.resize(std::min<size_t>(ext.size(), 4));
  fileName = (hasExt ? fileName.substr(0, dot) : fileName) + ext;
}

namespace {

uint32_t SystemSetLabel(const std::string& label, char drive) {
  return os::WriteVolumeLabel(std::string(1, drive) + ":\\", label.substr(0, 11));
}

bool SystemIsRemovable(const std::string& path) {
  const std::string full = os::FullPath(path);
  const size_t colon = full.find(':');
  if (colon == std::string::npos) return false;
  return os::DriveType(full.substr(0, colon + 1) + '\\') == os::dtRemovable;
}

int32_t SystemFreeSpace(const std::string& path) {
  if (PathKind(path) != pkAbsolute) return -1;
  int64_t bytes = -1;
  if (path.compare(0, 2, "\\\\") == 0) {
    bytes = os::FreeBytes(path.substr(0, static_cast<size_t>(PrefixBeforeNthBackslash(path, 4))) + '\\');
  } else if (path.find(':') != std::string::npos) {
    const std::string drive =
        path.size() > 1 && path[1] == ':' ? path.substr(0, 2) : os::CurrentDirectory().substr(0, 2);
    const std::string root = drive + '\\';
    switch (os::DriveType(root)) {
      case os::dtUnknown:
      case os::dtNoRootDir:
      case os::dtRamDisk: return -1;
      default: bytes = os::FreeBytes(root);
    }
  } else {
    bytes = os::FreeBytes(path);
  }
  if (bytes < -1 || bytes > 2147483647) return 2147483647;
  return static_cast<int32_t>(bytes);
}

}  // namespace

TArDriveQueries SystemDriveQueries() { return {SystemIsRemovable, SystemFreeSpace, SystemSetLabel}; }
TArDriveQueries ArDriveQueries = SystemDriveQueries();

uint32_t SetVolumeLabelOf(const std::string& label, char drive) { return ArDriveQueries.SetLabel(label, drive); }

void WriteSpanVolumeLabel(char drive, int32_t number) { SetVolumeLabelOf(ArFormat("PKBACK# %3.3d", {number}), drive); }

char GetDriveLetter(const std::string& path) {
  const std::string full = os::FullPath(path);
  return full.find(':') != std::string::npos ? full[0] : 'A';
}

bool IsRemovableDrive(const std::string& path) { return ArDriveQueries.IsRemovable(path); }

int32_t GetDiskFreeSpaceOfPath(const std::string& path) { return ArDriveQueries.FreeSpace(path); }

// ---- CRC-32 --------------------------------------------------------------------------

namespace {

// Table 0 is the standard one; table k advances a byte k further, so sixteen bytes
// fold into the value per step (the engine's hottest loop after decoding itself).
struct TCrcTables {
  uint32_t t[16][256];
  constexpr TCrcTables() : t() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t v = i;
      for (int k = 0; k < 8; ++k) v = (v & 1) ? (v >> 1) ^ 0xEDB88320u : v >> 1;
      t[0][i] = v;
    }
    for (int k = 1; k < 16; ++k)
      for (uint32_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 255];
  }
};

constexpr TCrcTables kCrc;

inline uint32_t LoadLE32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

const uint32_t* Crc32Table() { return kCrc.t[0]; }

namespace {
uint32_t TableCrc32(uint32_t c, const uint8_t* p, size_t count) {
  while (count >= 16) {
    const uint32_t a = c ^ LoadLE32(p), b = LoadLE32(p + 4), d = LoadLE32(p + 8), e = LoadLE32(p + 12);
    c = kCrc.t[15][a & 255] ^ kCrc.t[14][(a >> 8) & 255] ^ kCrc.t[13][(a >> 16) & 255] ^ kCrc.t[12][a >> 24] ^
        kCrc.t[11][b & 255] ^ kCrc.t[10][(b >> 8) & 255] ^ kCrc.t[9][(b >> 16) & 255] ^ kCrc.t[8][b >> 24] ^
        kCrc.t[7][d & 255] ^ kCrc.t[6][(d >> 8) & 255] ^ kCrc.t[5][(d >> 16) & 255] ^ kCrc.t[4][d >> 24] ^
        kCrc.t[3][e & 255] ^ kCrc.t[2][(e >> 8) & 255] ^ kCrc.t[1][(e >> 16) & 255] ^ kCrc.t[0][e >> 24];
    p += 16;
    count -= 16;
  }
  while (count--) c = kCrc.t[0][(c ^ *p++) & 255] ^ (c >> 8);
  return c;
}
}  // namespace

void UpdateCrc32Buffer(uint32_t& crc, const void* buffer, size_t count) {
  const auto* p = static_cast<const uint8_t*>(buffer);
  uint32_t c = crc;
  // Long buffers go through the processor's carry-less multiply where it has one; the
  // table finishes its 16-byte remainder and the tail.
  if (count >= 64 && Crc32FoldSupported()) {
    const size_t folded = count & ~size_t(15);
    uint8_t remainder[16];
    FoldCrc32(c, p, folded, remainder);
    c = TableCrc32(0, remainder, 16);
    p += folded;
    count -= folded;
  }
  crc = TableCrc32(c, p, count);
}

uint32_t UpdateCrc32Byte(uint8_t b, uint32_t crc) { return kCrc.t[0][(crc ^ b) & 255] ^ (crc >> 8); }

// ---- time ----------------------------------------------------------------------------

namespace {

constexpr int64_t kUnixEpochDays = 25569;  // 1970-01-01 counted from 1899-12-30

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {  // days since 1970-01-01
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
}

// Whole days and seconds of the day, the seconds rounded to the nearest one.
void SplitDateTime(TDateTime dt, int64_t& days, int64_t& secs) {
  days = static_cast<int64_t>(std::floor(dt));
  secs = std::llround((dt - static_cast<double>(days)) * 86400.0);
  if (secs >= 86400) {
    ++days;
    secs -= 86400;
  }
}

}  // namespace

TDateTime UnixTimeToDateTime(int32_t seconds) {
  // Floor division: a second before the epoch is 1969-12-31 23:59:59, not a negative time.
  int64_t days = seconds / 86400, rem = seconds % 86400;
  if (rem < 0) {
    rem += 86400;
    --days;
  }
  return static_cast<double>(kUnixEpochDays + days) + static_cast<double>(rem) / 86400.0;
}

int32_t DateTimeToUnixTime(TDateTime dateTime) {
  int64_t days, secs;
  SplitDateTime(dateTime, days, secs);
  days -= kUnixEpochDays;
  const int64_t total = (days < 0 ? 0 : days) * 86400 + secs;
  return total > 2147483647 ? 2147483647 : static_cast<int32_t>(total);
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second) {
  const int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + kUnixEpochDays;
  return static_cast<double>(days) + (hour * 3600 + minute * 60 + second) / 86400.0;
}

void DecodeDateTime(TDateTime dt, int& year, int& month, int& day, int& hour, int& minute, int& second) {
  int64_t days, secs;
  SplitDateTime(dt, days, secs);
  CivilFromDays(days - kUnixEpochDays, year, month, day);
  hour = static_cast<int>(secs / 3600);
  minute = static_cast<int>(secs / 60 % 60);
  second = static_cast<int>(secs % 60);
}

TDateTime DosDateTimeToDateTime(uint32_t dosDateTime) {
  const uint32_t date = dosDateTime >> 16, time = dosDateTime & 0xFFFF;
  const int month = std::clamp(static_cast<int>((date >> 5) & 15), 1, 12);
  const int day = std::max(1, static_cast<int>(date & 31));
  return EncodeDateTime(static_cast<int>(date >> 9) + 1980, month, day, static_cast<int>(time >> 11),
                        static_cast<int>((time >> 5) & 63), static_cast<int>(time & 31) * 2);
}

uint32_t DateTimeToDosDateTime(TDateTime dt) {
  int y, mo, d, h, mi, s;
  DecodeDateTime(dt, y, mo, d, h, mi, s);
  if (y < 1980 || y > 2107) return 0xFFFFFFFF;
  const uint32_t date = static_cast<uint32_t>(((y - 1980) << 9) | (mo << 5) | d);
  const uint32_t time = static_cast<uint32_t>((h << 11) | (mi << 5) | (s / 2));
  return (date << 16) | time;
}

// ---- modes and progress --------------------------------------------------------------

uint32_t AttributesToUnixMode(uint32_t attributes) { return (attributes & os::faReadOnly) ? 0444 : 0744; }

uint32_t UnixModeToAttributes(uint32_t mode) {
  uint32_t a = 0;
  switch (mode & 0170000) {
    case 0040000: a = os::faDirectory; break;
    case 0010000:
    case 0020000:
    case 0060000:
    case 0120000:
    case 0140000: a = os::faSysFile; break;
    default: break;
  }
  if (!(mode & 0200)) a |= os::faReadOnly;
  return a;
}

int32_t PercentOf(int32_t part, int32_t total) {
  int64_t p = part, t = total;
  if (total > 16384000) {
    p = (static_cast<uint32_t>(part) + 128u) >> 8;
    t = (static_cast<uint32_t>(total) + 128u) >> 8;
  }
  if (t <= 0) return 0;
  if (p < t) return ClampPercent(p * 100 / t);
  return 100;
}

uint8_t ClampPercent(int64_t value) { return static_cast<uint8_t>(value < 0 ? 0 : value > 100 ? 100 : value); }
