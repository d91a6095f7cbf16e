// The thin operating-system layer under the portable libraries: files, folders,
// attributes, temporary names, volumes and code pages. Paths use "\" as separator on
// every platform; the POSIX backend turns them into "/" at the system call and treats a
// leading "\" as the file system's root. Nothing here raises: failures come back as
// values, and LastError() gives the system's code of the last one.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace os {

// File attribute bits as the archive formats store them.
enum : uint32_t {
  faReadOnly = 0x01,
  faHidden = 0x02,
  faSysFile = 0x04,
  faVolumeID = 0x08,
  faDirectory = 0x10,
  faArchive = 0x20,
  faNormal = 0x80,
};
constexpr uint32_t kNoAttributes = 0xFFFFFFFF;

// Whether a path that starts with a single "\" is complete on this platform (the
// POSIX root) rather than relative to the current drive.
#ifdef _WIN32
constexpr bool kRootedPathIsAbsolute = false;
#else
constexpr bool kRootedPathIsAbsolute = true;
#endif

uint32_t LastError();
// Whether the last failure was a name that exists already (making a new file).
bool LastErrorMeansExists();

uint32_t GetAttributes(const std::string& path);  // kNoAttributes when missing
bool SetAttributes(const std::string& path, uint32_t attributes);
bool FileExists(const std::string& path);  // any entry, folder or file
bool DirectoryExists(const std::string& path);
bool MakeDirectory(const std::string& path);
bool RemoveFolder(const std::string& path);
bool EraseFile(const std::string& path);
// Renames, replacing an existing target file.
bool RenameFile(const std::string& from, const std::string& to);

struct FindEntry {
  std::string Name;
  std::string ShortName;  // the 8.3 name where the file system has one, else Name
  uint32_t Attributes = 0;
  int64_t Size = 0;
  bool IsLink = false;  // a symbolic link or junction; never followed by recursive walks
};
// Entries of one folder, without "." and "..". Empty when the folder is missing.
std::vector<FindEntry> ListDirectory(const std::string& folder);

std::string TempDirectory();  // ends with "\"
std::string CurrentDirectory();
std::string ProgramFolder();  // folder of the running program, without a trailing "\"
std::string FullPath(const std::string& path);
// The full path of the file path names, its symbolic links resolved, so that the file can
// be replaced rather than a link; FullPath where path names no file or the platform has no
// file links.
std::string ResolvedPath(const std::string& path);

// Free bytes available to the caller on the volume holding path; -1 when unknown.
int64_t FreeBytes(const std::string& path);
enum TDriveType {
  dtUnknown = 0,
  dtNoRootDir = 1,
  dtRemovable = 2,
  dtFixed = 3,
  dtRemote = 4,
  dtCDRom = 5,
  dtRamDisk = 6
};
TDriveType DriveType(const std::string& root);
// 0 or the system's error code.
uint32_t WriteVolumeLabel(const std::string& root, const std::string& label);

// Code pages of names: identity where the platform has only one.
bool FileApisAreAnsi();
std::string OemTextToAnsi(const std::string& s);
std::string AnsiTextToOem(const std::string& s);
// UTF-8, in which formats mark some of their names, from and to the code page of the file
// functions (ANSI where FileApisAreAnsi, else OEM). False where the bytes are no valid UTF-8
// or a character has no exact form on the other side: no substitute character is ever made.
bool Utf8ToFileText(const std::string& utf8, std::string& text);
bool FileTextToUtf8(const std::string& text, std::string& utf8);
std::string UpperCase(const std::string& s);

// Current local date and time in the user's short date and long time format.
std::string LocalDateTimeText();

// Open files. Access: 0 read, 1 write, 2 read and write. Share bits as in the stream
// modes (0x10 exclusive, 0x20 deny write, 0x30 deny read, 0x40 deny none; 0 = deny none).
using FileHandle = intptr_t;
constexpr FileHandle kInvalidHandle = -1;
FileHandle OpenFile(const std::string& path, int access, int share);
FileHandle CreateAlways(const std::string& path, int share);  // truncates, read and write
// A file that did not exist, read and write; kInvalidHandle when it existed or failed.
// ownerOnly: no other user may open it (POSIX mode 0600), for a file that holds another
// file's content before it takes that file's permissions. Windows gives a new file the
// access its folder passes on, whatever is asked here.
FileHandle CreateNew(const std::string& path, int share, bool ownerOnly = false);
int32_t ReadFile(FileHandle h, void* buffer, int32_t count);  // -1 on failure
int32_t WriteFile(FileHandle h, const void* buffer, int32_t count);
int64_t SeekFile(FileHandle h, int64_t offset, int origin);  // -1 on failure
bool TruncateFile(FileHandle h);                             // at the current position
int64_t FileSize(FileHandle h);                              // -1 on failure
void CloseFile(FileHandle h);
// An empty file that did not exist, made owner-only to hold scratch data; false when it
// existed or failed.
inline bool CreateNewFile(const std::string& path) {
  const FileHandle h = CreateNew(path, 0, true);
  if (h != kInvalidHandle) CloseFile(h);
  return h != kInvalidHandle;
}
// kHandleTakesAttributes: whether an open file takes its attributes through its handle
// with the result SetAttributes gives by name, sparing a lookup of the name. Where it does
// not, they are set by name once the file is closed, and SetHandleAttributes is not
// defined. kFoldersHeldOpen: whether a folder can be held open to make files in it by bare
// name, sparing the lookup of its path; where not, OpenFolder and CreateNewIn are not
// defined.
#ifdef _WIN32
constexpr bool kHandleTakesAttributes = false;
constexpr bool kFoldersHeldOpen = false;
#else
constexpr bool kHandleTakesAttributes = true;
constexpr bool kFoldersHeldOpen = true;
#endif
bool SetHandleAttributes(FileHandle h, uint32_t attributes);
// What a file that replaces another takes over from it: the POSIX mode, owner and group;
// the Windows attributes (in Mode, given by name with SetAttributes once the file is
// closed). SetHandlePermissions gives them to an open file where kHandleTakesAttributes:
// the owner and group where the process may set them, the set-id bits only with them, and
// the group's rights only with the group (they would go to another group).
struct FilePermissions {
  uint32_t Mode = 0;
  uint32_t Owner = 0, Group = 0;
};
bool GetPermissions(const std::string& path, FilePermissions& permissions);  // false when missing
bool SetHandlePermissions(FileHandle h, const FilePermissions& permissions);
// Whether this process may write the existing file. POSIX asks with the effective ids
// without opening it: an open would be refused for a running program, whose file a rename
// replaces all the same, and would wake whoever watches the file. Windows opens and closes
// it; a file others hold open without sharing it counts as writable (that is no matter of
// permission).
bool MayWrite(const std::string& path);
// Which file an open file or a name is: the same pair is the same file for as long as it
// exists (POSIX device and inode, Windows volume serial number and file index).
struct FileIdentity {
  uint64_t Volume = 0, Index = 0;
  bool operator==(const FileIdentity&) const = default;
};
bool GetHandleIdentity(FileHandle h, FileIdentity& identity);
// Of the entry path names: a symbolic link at its end is the link, as a rename over path
// would replace the link. False when there is none.
bool GetIdentity(const std::string& path, FileIdentity& identity);
FileHandle OpenFolder(const std::string& path);  // closed by CloseFile; kInvalidHandle on failure
// CreateNew for name (no separator in it) in the folder held open.
FileHandle CreateNewIn(FileHandle folder, const std::string& name, int share);
// Last-modification time as a local DOS date-time (date high, time low); 0xFFFFFFFF
// when it cannot be told or lies outside 1980..2107.
uint32_t FileDosDateTime(FileHandle h);
bool SetFileDosDateTime(FileHandle h, uint32_t dosDateTime);

}  // namespace os
