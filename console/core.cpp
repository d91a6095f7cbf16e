#include "console/core.h"

#include <utility>

#include "base/sysutils.h"

std::string TimerDatText(const std::string& mac, const std::string& host, const std::string& date,
                         const std::string& time) {
  return mac + "\r\n" + host + "\r\n" + date + "\r\n" + time + "\r\n";
}

TConsoleCore::TConsoleCore(IConsoleHost& host, IConsoleView& view, std::string programDir)
    : ProgramDir(std::move(programDir)), host_(host), view_(view), wake_(host.Udp(), host.Pinger(), view) {}

void TConsoleCore::Startup(const std::vector<std::string>& args) {
  // Activation can repeat while the splash is up; the start-up belongs to the first.
  if (started_) return;
  started_ = true;
  LangLines = TLangLines();
  view_.DockStatusControls();

  LangFiles.clear();
  langNames_.clear();
  for (const std::string& name : host_.FindFiles(ProgramDir + "lang\\*.txt")) {
    std::string path = ProgramDir + "lang\\" + name;
    std::string bytes;
    std::vector<std::string> lines;
    if (host_.ReadFile(path, bytes)) lines = SplitTextLines(bytes);
    // A file without a first line is still a language; it shows under its file name.
    langNames_.push_back(lines.empty() ? name : lines[0]);
    view_.AddLanguage(langNames_.back());
    LangFiles.push_back(path);
  }

  if (profiles_.empty()) LoadProfiles();
  IIniStore& ini = host_.Profiles();
  std::string lpro = ini.ReadString("settings", "lpro", "Custom");
  int chosen = -1;
  for (size_t i = 0; i < profiles_.size() && chosen < 0; ++i)
    if (AnsiSameText(profiles_[i].Name, lpro)) chosen = static_cast<int>(i);
  view_.SelectProfile(chosen);
  // A profiles.ini that cannot be written (a read-only program folder) must not keep the
  // console from starting: the choices then just are not remembered.
  try {
    ProfileChosen(chosen);
  } catch (const std::exception&) {}

  Settings = ReadWakeSettings(ini);
  try {
    ApplyLanguage(ProgramDir + "lang\\" + ini.ReadString("settings", "lang", "eng.txt"));
  } catch (const std::exception&) {}
  for (size_t k = 0; k < langNames_.size(); ++k) {
    if (AnsiSameText(langNames_[k], LangLines[llDisplayName])) {
      view_.SelectLanguage(static_cast<int>(k));
      break;
    }
  }

  const std::string first = args.empty() ? std::string() : args[0];
  auto arg = [&](size_t i) { return i < args.size() ? args[i] : std::string(); };
  if (first == "-start") {
    wake_.SendWakeUp(arg(1), arg(2), false, Settings, LangLines, AbortWake);
    view_.CloseSplash();
  } else if (first == "-startat") {
    WriteTimerDat(arg(1), arg(2), arg(3), arg(4));
  } else if (first == "-nowait") {
    view_.SetSplashInterval(1);
  }
  view_.StartSplashTimer();
}

void TConsoleCore::ApplyLanguage(const std::string& path) {
  std::string bytes;
  // A file that cannot be read leaves the current texts and the stored choice alone.
  if (!host_.ReadFile(path, bytes)) return;
  LangLines.Assign(SplitTextLines(bytes));
  for (const TLangTarget& t : LangTargets()) view_.SetLangText(t, LangLines[t.Line]);
  host_.Profiles().WriteString("settings", "lang", ExtractFileName(path));
}

void TConsoleCore::LoadProfiles() {
  profiles_ = ReadProfiles(host_.Profiles());
  std::vector<std::string> names;
  names.reserve(profiles_.size());
  for (const TProfileEntry& p : profiles_) names.push_back(p.Name);
  view_.SetProfileNames(names);
}

int32_t TConsoleCore::ProfileIndexAt(int position) const {
  if (position < 0 || static_cast<size_t>(position) >= profiles_.size()) return -1;
  return profiles_[static_cast<size_t>(position)].Index;
}

void TConsoleCore::ProfileChosen(int position) {
  IIniStore& ini = host_.Profiles();
  const int32_t index = ProfileIndexAt(position);
  view_.SetMacHost(ini.ReadString("profiles", ProfileKey("profilemac", index), ""),
                   ini.ReadString("profiles", ProfileKey("profilesub", index), ""));
  ini.WriteString("settings", "lpro", index < 0 ? "" : profiles_[static_cast<size_t>(position)].Name);
}

void TConsoleCore::LanguageChosen(int index) {
  if (index >= 0 && index < static_cast<int>(LangFiles.size())) ApplyLanguage(LangFiles[static_cast<size_t>(index)]);
}

void TConsoleCore::ExitClicked() {
  if (view_.Confirm(LangLines[llExitQuestion])) view_.CloseSplash();
}

void TConsoleCore::WakeClicked() {
  std::string host = view_.HostText();
  wake_.SendWakeUp(view_.MacText(), host, WakeButtonWaits(host), Settings, LangLines, AbortWake);
}

std::string TConsoleCore::ResolveHostName(const std::string& text) {
  view_.SetHostText(LangLines[llResolving]);
  if (!host_.SocketsStartup()) return "";
  // The look-up takes at most 255 characters; a longer text is no host name and is not
  // cut down to one.
  std::string address;
  if (text.size() <= MaxHostNameLength) address = host_.LookupHost(text);
  host_.SocketsCleanup();
  if (!address.empty()) return address;
  view_.ErrorBox(LangLines[llResolveFailed]);
  return text;
}

void TConsoleCore::ResolveClicked() { view_.SetHostText(ResolveHostName(view_.HostText())); }

void TConsoleCore::EditorChosen(const std::string& text, int position) {
  IIniStore& ini = host_.Profiles();
  const int32_t index = ProfileIndexAt(position);
  view_.SetEditorFields(text, ini.ReadString("profiles", ProfileKey("profilemac", index), ""),
                        ini.ReadString("profiles", ProfileKey("profilesub", index), ""));
}

void TConsoleCore::EditorSave(const std::string& name, const std::string& mac, const std::string& host) {
  SaveProfile(host_.Profiles(), name, mac, host);
  view_.InfoBox(LangLines[llSavedBeforeName] + name + LangLines[llSavedAfterName]);
  LoadProfiles();
}

void TConsoleCore::WriteTimerDat(const std::string& mac, const std::string& host, const std::string& date,
                                 const std::string& time) {
  // Without a new timer.dat, timer.exe would arm whatever an earlier run left there; the
  // user has to learn that no timer was set.
  try {
    host_.WriteFile(ProgramDir + "timer.dat", TimerDatText(mac, host, date, time));
  } catch (const std::exception& e) {
    view_.ErrorBox(e.what());
    return;
  }
  host_.ShellOpen(ProgramDir + "timer.exe");
}

void TConsoleCore::ArmTimer(const std::string& mac, const std::string& host, const std::string& date,
                            const std::string& time) {
  WriteTimerDat(mac, host, date, time);
}

std::string TConsoleCore::ReadShutdownToolDir() {
  if (!host_.RegKeyExists(ShutdownToolKey)) return "no";
  return host_.RegReadString(ShutdownToolKey, "userdir");
}

void TConsoleCore::ShutdownClicked() {
  std::string dir = ReadShutdownToolDir();
  if (dir != "no")
    host_.ShellOpen(dir + "\\shutdown.exe");
  else
    view_.InfoBox(LangLines[llShutdownMissing1] + "\r" + LangLines[llShutdownMissing2] + "\r" +
                  LangLines[llShutdownMissing3]);
}

std::string TConsoleCore::ReadProgramFilesDir() { return host_.RegReadString(CurrentVersionKey, "ProgramFilesDir"); }

void TConsoleCore::UpdateClientClicked() {
  const char* client = "\\Quillmoor\\Skyvane\\skyvane.exe";
  if (host_.FileExists(ReadProgramFilesDir() + client))
    host_.ShellOpen(ReadProgramFilesDir() + client);
  else
    view_.InfoBox(LangLines[llUpdaterMissing]);
}

void TConsoleCore::OpenHistory() { host_.ShellOpen(ProgramDir + "doc\\history.txt"); }
void TConsoleCore::OpenReadme() { host_.ShellOpen(ProgramDir + "doc\\" + LangLines[llReadmeFile]); }
void TConsoleCore::OpenHelp() { host_.ShellOpen(ProgramDir + "doc\\" + LangLines[llHelpFile]); }
