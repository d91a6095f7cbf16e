// Free routines of the archive library: the archive lock, "\"-path handling, wildcard
// masks, temporary names, span volumes, CRC-32, Unix and DOS time, Unix modes and the
// progress percentage. Positions in the string routines are 1-based where the names
// say so (IsWildMatch, PrefixBeforeNthBackslash counts characters).
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include "base/os.h"
#include "base/sysutils.h"  // ExtractFilePath, ExtractFileName

// Base of the library's components: only the read-only version text.
class TArBaseComponent {
public:
  virtual ~TArBaseComponent() = default;
  std::string Version() const { return "3.04"; }
  void SetVersion(const std::string&) {}  // accepted and ignored
};

// The archive lock. It may be entered again by the thread that holds it; an unlock by
// a thread that does not hold it, or with nothing locked, does nothing.
class TArPadLock {
public:
  void SetLocked(bool value);
  int32_t Count() const { return count_.load(); }

private:
  std::recursive_mutex mutex_;
  std::atomic<std::thread::id> owner_{};
  std::atomic<int32_t> count_{0};
};

// Path kinds.
enum : uint8_t { pkBareName = 0, pkRelative = 1, pkAbsolute = 2 };

std::string AddBackslash(const std::string& path);
int32_t PrefixBeforeNthBackslash(const std::string& s, int32_t n);
bool DirectoryExistsNoWild(const std::string& path);
void CreateDirectoryPath(const std::string& path);
uint8_t PathKind(const std::string& path);
void ToBackslashes(std::string& path);
void ToForwardSlashes(std::string& path);
void SplitPath(const std::string& path, std::string& root, std::string& dirs, std::string& name);
void SplitDirectories(const std::string& dirs, std::vector<std::string>& list);
void StripDriveOrShare(std::string& path);
void StripParentPrefixes(std::string& path);
std::string GetShortPath(const std::string& path);
int64_t GetFileSize64(const std::string& fileName);
// Named apart from the system's macros of the same names.
uint32_t ArGetFileAttributes(const std::string& fileName);
bool ArSetFileAttributes(const std::string& fileName, uint32_t attributes);
// ANSI text in the OEM code page, where the formats store unmarked names; false where a
// character has no exact form there (the conversion would put a substitute or a lookalike
// in its place).
bool AnsiToExactOem(const std::string& ansi, std::string& oem);
// The stored name of formats that can mark a name as UTF-8: OEM text where the name has an
// exact OEM form (false), else UTF-8 (true). Raises EArException for a name with neither.
bool OemOrUtf8Name(const std::string& ansi, std::string& stored);

bool IsWildMatch(const std::string& s, int32_t sPos, const std::string& mask, int32_t mPos);
bool MatchFileMask(const std::string& name, const std::string& mask);
void FindMatchingFiles(const std::string& mask, uint32_t attributes, std::vector<std::string>& list, bool recurse);

// A temporary name "VMS????.TMP" in directory (or in the system's temporary folder
// when directory is not an existing folder). Every call gives a name that no file has:
// with create the empty file is made, for its owner only (os::CreateNewFile), as it is
// there to hold scratch data; without it the name is only reserved in this process,
// so two saves never share a temporary file. Empty when no file can be made there (the
// first failure other than a name in use ends the search).
std::string GetTempFileNameIn(const std::string& directory, bool create);
std::string CreateTempFile(const std::string& directory);
// A new temporary file named prefix + "VMS????.TMP" (prefix: a folder with its separator,
// or empty for the current folder; never another folder), open for reading and writing
// with the share bits given, made as os::CreateNew makes it with ownerOnly. Its name goes
// to name; kInvalidHandle when none can be made.
os::FileHandle CreateTempFileIn(const std::string& prefix, int share, std::string& name, bool ownerOnly);

void MakeSpanImageName(std::string& fileName, uint16_t number);
uint32_t SetVolumeLabelOf(const std::string& label, char drive);
void WriteSpanVolumeLabel(char drive, int32_t number);
char GetDriveLetter(const std::string& path);
bool IsRemovableDrive(const std::string& path);
int32_t GetDiskFreeSpaceOfPath(const std::string& path);

// What spanning asks the system about drives, behind the three routines above. Replaceable
// as a whole, so that a machine without removable drives can stand in for one.
struct TArDriveQueries {
  std::function<bool(const std::string& path)> IsRemovable;
  std::function<int32_t(const std::string& path)> FreeSpace;
  std::function<uint32_t(const std::string& label, char drive)> SetLabel;
};
extern TArDriveQueries ArDriveQueries;
// The system's answers, the queries' defaults.
TArDriveQueries SystemDriveQueries();

// CRC-32 of zip and gzip: start from 0xFFFFFFFF, finish with the complement.
void UpdateCrc32Buffer(uint32_t& crc, const void* buffer, size_t count);
uint32_t UpdateCrc32Byte(uint8_t b, uint32_t crc);
// The standard 256-entry table of the reflected polynomial 0xEDB88320.
const uint32_t* Crc32Table();

// Days since 1899-12-30, the fraction the time of day.
using TDateTime = double;
TDateTime UnixTimeToDateTime(int32_t seconds);
int32_t DateTimeToUnixTime(TDateTime dateTime);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second);
void DecodeDateTime(TDateTime dt, int& year, int& month, int& day, int& hour, int& minute, int& second);
// DOS date-time: the date in the high 16 bits, the time (2-second steps) in the low.
TDateTime DosDateTimeToDateTime(uint32_t dosDateTime);
uint32_t DateTimeToDosDateTime(TDateTime dt);  // 0xFFFFFFFF outside 1980..2107

uint32_t AttributesToUnixMode(uint32_t attributes);
uint32_t UnixModeToAttributes(uint32_t mode);

int32_t PercentOf(int32_t part, int32_t total);
// A progress value as the hooks take it: clamped to 0..100.
uint8_t ClampPercent(int64_t value);
