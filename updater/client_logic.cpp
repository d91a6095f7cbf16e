#include "updater/client_logic.h"

#include <algorithm>

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
  for (const char* own : {VersionFile, ProgramList, UpdateIndex, SelfArchive, SelfProgram, "skyvane.exe"})
    if (SameText(bare, own)) return false;
  return true;
}

std::string GetConnectionKind(uint32_t flags) {
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
  return TIniFile(appDir + VersionFile).ReadString("self", "ver", DefaultOwnVersion);
}

std::string AdoptNewOwnVersion(const std::string& appDir) {
  std::string newest = TIniFile(appDir + UpdateIndex).ReadString("self", "newver", DefaultOwnVersion);
  TIniFile(appDir + VersionFile).WriteString("self", "ver", newest);
  return newest;
}

namespace {

int32_t ProgramCount(const TIniFile& progs) {
  if (progs.ReadInteger("info", "count", 0) == 0) return 0;
  int32_t count = progs.ReadInteger("info", "count", 1);
  return std::clamp<int32_t>(count, 0, MaxPrograms);
}

}  // namespace

std::vector<TInstalledProgram> ReadProgramList(const std::string& appDir) {
  TIniFile progs(appDir + ProgramList);
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
  TIniFile progs(appDir + ProgramList);
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

int32_t ReadInstallMode(const std::string& appDir, const std::string& indexSection) {
  return TIniFile(appDir + UpdateIndex).ReadInteger(indexSection, "modus", imShellOpen);
}

void RecordVersion(const std::string& appDir, const std::string& programNumber, const std::string& version) {
  TIniFile(appDir + ProgramList).WriteString("info", "ver" + programNumber, version);
}

}  // namespace skyvane
