// Skyvane's own logic, free of the window system: its three INI files, the evaluation of the
// update index against the installed programs, the download chain of the wizard and the
// installation of one update by its mode. The windows call these and only show the results,
// so every rule here is tested natively against real files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace skyvane {

// File names in the client's folder.
inline constexpr const char* kVersionFile = "ver.kvr";
inline constexpr const char* kProgramList = "progs.kvr";
inline constexpr const char* kUpdateIndex = "skyvane.ini";
inline constexpr const char* kSelfArchive = "self.zip";
inline constexpr const char* kSelfProgram = "self.exe";
inline constexpr const char* kDefaultOwnVersion = "1.2.0";
inline constexpr const char* kDefaultSize = "Dateigröße konnte nicht bestimmt werden.";

// progs.kvr is written by outside installers; a count beyond this is treated as this many,
// since every program costs file reads and list rows and no machine holds more.
inline constexpr int32_t kMaxPrograms = 500;

// The installation modes of the update index.
enum TInstallMode : int32_t { imUnzip = 0, imVerySilent = 1, imSilent = 2, imRunAndWait = 3, imShellOpen = 4 };

// --- names and texts ---
// The text after the last "/" of url, the whole url when it has none.
std::string UrlFileName(const std::string& url);
// A name that may be written into the client's folder: not empty, "." or "..", no path or
// drive characters, no control characters or <>"|?*, and none of the client's own files.
bool IsSafeDownloadName(const std::string& name);
// Kind of the connection from the flags of the connection test; the last matching flag wins.
std::string ConnectionKind(uint32_t flags);
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

// One offered update: the parallel per-update lists of the wizard as one record.
struct TOffer {
  std::string UpdateUrl, InstallDir, ProgramName, IndexSection, NewVersion, ProgramNumber, DownloadSize, DescriptionUrl;
  std::string OldVersion, ProgramPath;
};

struct TIndexEvaluation {
  bool SelfUpdate = false;
  std::string SelfUpdateUrl;
  std::vector<TOffer> Offers;
};

// Compares the index in the client's folder with ver.kvr and progs.kvr. A differing own
// version asks for the self-update and offers nothing else.
TIndexEvaluation EvaluateUpdateIndex(const std::string& appDir);

// --- downloads ---
// The wizard's chain of update downloads. Two components take turns (position i runs on
// component i % 2); each download's outcome is kept, so only complete files are installed,
// and a cancel that arrives after a transfer's last read still stops the chain.
class TDownloadChain {
public:
  enum TNext { dnStartNext, dnInstall, dnStopped };

  void Start(int32_t count);
  void Reset();
  int32_t Index() const { return index_; }
  int32_t LastIndex() const { return static_cast<int32_t>(done_.size()) - 1; }
  static int32_t ComponentFor(int32_t position) { return position % 2; }
  bool Downloaded(int32_t position) const;
  bool Stopped() const { return stopped_; }
  bool CancelRequested() const { return cancel_; }

  // A transfer of the current position ended well: what the wizard does next.
  TNext Done();
  // A transfer ended in failure or cancel, or its name was refused.
  void Failed() { stopped_ = true; }
  void RequestCancel() { cancel_ = true; }

private:
  int32_t index_ = 0;
  std::vector<bool> done_;
  bool stopped_ = false;
  bool cancel_ = false;
};

// --- installation ---
// What an installation needs of the platform.
class IInstallPlatform {
public:
  virtual ~IInstallPlatform() = default;
  // Starts the command line and waits for its end; false when it could not be started.
  virtual bool RunAndWait(const std::string& commandLine) = 0;
  // Opens the file through the shell without waiting; false when the shell refused.
  virtual bool ShellOpen(const std::string& file) = 0;
  // Unzip progress, 0..100.
  virtual void UnzipProgress(uint8_t percent) = 0;
};

// Unpacks the zip archive into folder (its subfolders recreated) and deletes it. False, with
// the archive kept, when it cannot be opened, the folder is missing or any item failed.
bool InstallFromZip(const std::string& file, const std::string& folder, IInstallPlatform& platform);

// Installs one update by its mode; an unknown mode or any failure gives false. Never raises.
bool InstallUpdate(int32_t mode, const std::string& file, const std::string& folder, IInstallPlatform& platform);

// The index's "modus" for an update (default 4).
int32_t ReadInstallMode(const std::string& appDir, const std::string& indexSection);
// Records an installed version in progs.kvr ("ver" + number).
void RecordVersion(const std::string& appDir, const std::string& programNumber, const std::string& version);

}  // namespace skyvane
