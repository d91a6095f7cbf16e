// Skyvane's rules that need no window and no flow: its three INI files, the names of downloads
// and the texts built from data. The wizard's flow (updater/core.*) calls these, so every rule
// here is tested natively against real files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace skyvane {

// File names in the client's folder.
inline constexpr const char* VersionFile = "ver.kvr";
inline constexpr const char* ProgramList = "progs.kvr";
inline constexpr const char* UpdateIndex = "skyvane.ini";
inline constexpr const char* SelfArchive = "self.zip";
inline constexpr const char* SelfProgram = "self.exe";
inline constexpr const char* DefaultOwnVersion = "1.2.0";
inline constexpr const char* DefaultSize = "Dateigröße konnte nicht bestimmt werden.";

// progs.kvr is written by outside installers; a count beyond this is treated as this many,
// since every program costs file reads and list rows and no machine holds more.
inline constexpr int32_t MaxPrograms = 500;

// The installation modes of the update index.
enum TInstallMode : int32_t { imUnzip = 0, imVerySilent = 1, imSilent = 2, imRunAndWait = 3, imShellOpen = 4 };

// --- names and texts ---
// The text after the last "/" of url, the whole url when it has none.
std::string UrlFileName(const std::string& url);
// A name that may be written into the client's folder: not empty, "." or "..", no path or
// drive characters, no control characters or <>"|?*, and none of the client's own files.
bool IsSafeDownloadName(const std::string& name);
// Kind of the connection from the flags of the connection test; the last matching flag wins.
std::string GetConnectionKind(uint32_t flags);
// The command line of a waiting mode (1, 2 or 3) with the file path quoted; "" for others.
std::string InstallerCommandLine(const std::string& file, int32_t mode);
// "2 von 5".
std::string PositionText(int32_t position, int32_t count);

// --- client files ---
std::string ReadOwnVersion(const std::string& appDir);
// The "-newver" start: the index's own version becomes the recorded one. Returns it.
std::string AdoptNewOwnVersion(const std::string& appDir);

struct TInstalledProgram {
  int32_t Number = 0;  // n of progs.kvr
  std::string Path, Name, Version;
};

// The programs of progs.kvr, 1..count (count read with default 1, capped), existing or not.
// Empty when "count" read with default 0 is 0 or less.
std::vector<TInstalledProgram> ReadProgramList(const std::string& appDir);
// The tip of an installed-program row, read at the moment it is asked for.
std::string InstalledProgramTip(const std::string& appDir, int32_t number);
// Running-program warning: for every exe name found in processes (whole names, letter case
// ignored) a CR and the display name at the same position; "" when none runs.
std::string RunningProgramsText(const std::vector<std::string>& exeNames, const std::vector<std::string>& displayNames,
                                const std::vector<std::string>& processes);

// The index's "modus" for an update (default 4).
int32_t ReadInstallMode(const std::string& appDir, const std::string& indexSection);
// Records an installed version in progs.kvr ("ver" + number).
void RecordVersion(const std::string& appDir, const std::string& programNumber, const std::string& version);

}  // namespace skyvane
