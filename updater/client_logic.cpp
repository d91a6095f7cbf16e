#include "updater/client_logic.h"

#include <algorithm>
#include <exception>

#include "archive/core/ararchive.h"
#include "archive/unzipper.h"
#include "base/inifiles.h"
#include "base/sysutils.h"

namespace skyvane {

std::string UrlFileName(const std::string& url) {
  size_t slash = url.rfind('/');
  return slash == std::string::npos ? url : url.substr(slash + 1);
}

bool IsSafeDownloadName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return false;
    if (std::string("\\/:<>\"|?*").find(static_cast<char>(c)) != std::string::npos) return false;
  }
  // The platform ignores trailing dots and blanks, so "ver.kvr." would still name ver.kvr.
  std::string bare = name;
  while (!bare.empty() && (bare.back() == '.' || bare.back() == ' ')) bare.pop_back();
  if (bare.empty()) return false;
  for (const char* own : {kVersionFile, kProgramList, kUpdateIndex, kSelfArchive, kSelfProgram, "skyvane.exe"})
    if (SameText(bare, own)) return false;
  return true;
}

std::string ConnectionKind(uint32_t flags) {
  std::string kind;
  if (flags & 1) kind = "Modem";
  if (flags & 2) kind = "LAN";
  if (flags & 4) kind = "Proxy";
  if (flags & 8) kind = "Modem";
  return kind;
}

std::string InstallerCommandLine(const std::string& file, int32_t mode) {
  // Quoted, since the client's folder usually lies below a folder name with a blank.
  std::string quoted = "\"" + file + "\"";
  switch (mode) {
    case imVerySilent: return quoted + " /VERYSILENT";
    case imSilent: return quoted + " /SILENT";
    case imRunAndWait: return quoted;
    default: return "";
  }
}

std::string PositionText(int32_t position, int32_t count) { return IntToStr(position) + " von " + IntToStr(count); }

std::string ReadOwnVersion(const std::string& appDir) {
  return TIniFile(appDir + kVersionFile).ReadString("self", "ver", kDefaultOwnVersion);
}

std::string AdoptNewOwnVersion(const std::string& appDir) {
  std::string newest = TIniFile(appDir + kUpdateIndex).ReadString("self", "newver", kDefaultOwnVersion);
  TIniFile(appDir + kVersionFile).WriteString("self", "ver", newest);
  return newest;
}

namespace {

int32_t ProgramCount(const TIniFile& progs) {
  if (progs.ReadInteger("info", "count", 0) == 0) return 0;
  int32_t count = progs.ReadInteger("info", "count", 1);
  return std::clamp<int32_t>(count, 0, kMaxPrograms);
}

}  // namespace

std::vector<TInstalledProgram> ReadProgramList(const std::string& appDir) {
  TIniFile progs(appDir + kProgramList);
  std::vector<TInstalledProgram> list;
  int32_t count = ProgramCount(progs);
  for (int32_t n = 1; n <= count; ++n) {
    std::string k = IntToStr(n);
    list.push_back({n, progs.ReadString("info", "path" + k, ""), progs.ReadString("info", "name" + k, ""),
                    progs.ReadString("info", "ver" + k, "")});
  }
  return list;
}

std::string InstalledProgramTip(const std::string& appDir, int32_t number) {
  TIniFile progs(appDir + kProgramList);
  std::string k = IntToStr(number);
  return progs.ReadString("info", "name" + k, "") + "\r" + "Version: " + progs.ReadString("info", "ver" + k, "") +
         "\r" + "Pfad: " + progs.ReadString("info", "path" + k, "");
}

std::string RunningProgramsText(const std::vector<std::string>& exeNames, const std::vector<std::string>& displayNames,
                                const std::vector<std::string>& processes) {
  std::string text;
  for (size_t i = 0; i < exeNames.size(); ++i) {
    bool running = std::any_of(processes.begin(), processes.end(),
                               [&](const std::string& p) { return AnsiSameText(p, exeNames[i]); });
    if (running) text += "\r" + (i < displayNames.size() ? displayNames[i] : std::string());
  }
  return text;
}

TIndexEvaluation EvaluateUpdateIndex(const std::string& appDir) {
  TIniFile index(appDir + kUpdateIndex);
  TIndexEvaluation result;
  std::string own = ReadOwnVersion(appDir);
  if (own != index.ReadString("self", "newver", kDefaultOwnVersion)) {
    result.SelfUpdate = true;
    result.SelfUpdateUrl = index.ReadString("self", "updurl", "");
    return result;
  }
  for (const TInstalledProgram& p : ReadProgramList(appDir)) {
    std::string exe = ExtractFileName(p.Path);
    std::string newver = index.ReadString(exe, "newver", "1.0");
    if (p.Version == newver) continue;
    TOffer offer;
    offer.UpdateUrl = index.ReadString(exe, "updurl", "");
    offer.InstallDir = ExtractFilePath(p.Path);
    offer.ProgramName = p.Name;
    offer.IndexSection = exe;
    offer.NewVersion = newver;
    offer.ProgramNumber = IntToStr(p.Number);
    offer.DownloadSize = index.ReadString(exe, "size", kDefaultSize);
    offer.DescriptionUrl = index.ReadString(exe, "desurl", "");
    offer.OldVersion = p.Version;
    offer.ProgramPath = p.Path;
    result.Offers.push_back(std::move(offer));
  }
  return result;
}

void TDownloadChain::Start(int32_t count) {
  index_ = 0;
  done_.assign(std::max<int32_t>(count, 0), false);
  stopped_ = false;
  cancel_ = false;
}

void TDownloadChain::Reset() { Start(0); }

bool TDownloadChain::Downloaded(int32_t position) const {
  return position >= 0 && position < static_cast<int32_t>(done_.size()) && done_[position];
}

TDownloadChain::TNext TDownloadChain::Done() {
  if (cancel_ || stopped_ || index_ < 0 || index_ >= static_cast<int32_t>(done_.size())) {
    stopped_ = true;
    return dnStopped;
  }
  done_[index_] = true;
  if (index_ == LastIndex()) return dnInstall;
  ++index_;
  return dnStartNext;
}

bool InstallFromZip(const std::string& file, const std::string& folder, IInstallPlatform& platform) {
  if (folder.empty() || !DirectoryExists(folder) || !FileExists(file)) return false;
  TArUnZipper unzipper;
  unzipper.SetExtractOptions(eoCreateDirs | eoRestorePath);
  unzipper.OnArchiveProgress = [&](TArBaseBrowser*, uint8_t progress, bool&) { platform.UnzipProgress(progress); };
  bool complete = false;
  try {
    unzipper.OpenArchiveFile(file);
    unzipper.SetBaseDirectory(folder);
    unzipper.ExtractMatchingFiles("*.*");
    complete = unzipper.FailedItems() == 0;
  } catch (const std::exception&) { complete = false; }
  try {
    unzipper.CloseArchiveFile();
  } catch (const std::exception&) {}
  // A partly unpacked update keeps its archive, so the files are not lost with it.
  if (complete) DeleteFile(file);
  return complete;
}

bool InstallUpdate(int32_t mode, const std::string& file, const std::string& folder, IInstallPlatform& platform) {
  try {
    switch (mode) {
      case imUnzip: return InstallFromZip(file, folder, platform);
      case imVerySilent:
      case imSilent:
      case imRunAndWait: return FileExists(file) && platform.RunAndWait(InstallerCommandLine(file, mode));
      case imShellOpen: return platform.ShellOpen(file);
      default: return false;
    }
  } catch (const std::exception&) { return false; }
}

int32_t ReadInstallMode(const std::string& appDir, const std::string& indexSection) {
  return TIniFile(appDir + kUpdateIndex).ReadInteger(indexSection, "modus", imShellOpen);
}

void RecordVersion(const std::string& appDir, const std::string& programNumber, const std::string& version) {
  TIniFile(appDir + kProgramList).WriteString("info", "ver" + programNumber, version);
}

}  // namespace skyvane
