// The console's own logic behind its windows: start-up, language and profile choice, the
// wake-up, host-name resolution, the profile editor, the timed wake and the outside
// programs. The windows call in here from their event handlers; everything the logic
// needs from the platform comes through IConsoleHost, everything it shows through
// IConsoleView, so the same logic runs under test with fakes.
#pragma once
#include <string>
#include <vector>

#include "console/lang.h"
#include "console/settings.h"
#include "console/wake.h"

// Platform services. Paths use "\" as the folder separator.
class IConsoleHost {
public:
  virtual ~IConsoleHost() = default;
  virtual IIniStore& Profiles() = 0;  // profiles.ini in the program folder
  // Names (without folder) of the files matching a pattern, in file-system order.
  virtual std::vector<std::string> FindFiles(const std::string& pattern) = 0;
  virtual bool ReadFile(const std::string& path, std::string& bytes) = 0;
  // Replaces the file whole; raises with a text that names the file and the reason.
  virtual void WriteFile(const std::string& path, const std::string& bytes) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // Opens a document or starts a program through the shell, shown normally.
  virtual void ShellOpen(const std::string& file) = 0;
  // Local-machine registry, 32-bit view, read only. A missing value reads as "".
  virtual bool RegKeyExists(const std::string& key) = 0;
  virtual std::string RegReadString(const std::string& key, const std::string& value) = 0;
  // Host-name look-up: the socket library's start, the first IPv4 address of a name in
  // dotted form ("" when not found), and the library's release.
  virtual bool SocketsStartup() = 0;
  virtual std::string LookupHost(const std::string& name) = 0;
  virtual void SocketsCleanup() = 0;
  virtual IUdpSender& Udp() = 0;
  virtual IPinger& Pinger() = 0;
};

class IConsoleView : public IWakeUi {
public:
  // Moves the help button, the language box and the about button into the status bar.
  virtual void DockStatusControls() = 0;
  virtual void SetLangText(const TLangTarget& target, const std::string& text) = 0;
  // Fills the console's and the editor's profile boxes; the console's box has no
  // selection afterwards and its MAC and host fields are empty.
  virtual void SetProfileNames(const std::vector<std::string>& names) = 0;
  virtual void SelectProfile(int index) = 0;
  virtual void SetMacHost(const std::string& mac, const std::string& host) = 0;
  virtual std::string MacText() = 0;
  virtual std::string HostText() = 0;
  // Sets the console's host field and repaints the console window at once.
  virtual void SetHostText(const std::string& text) = 0;
  virtual void AddLanguage(const std::string& name) = 0;
  virtual void SelectLanguage(int index) = 0;
  virtual void SetSplashInterval(int ms) = 0;
  // Repaints the splash window and enables its timer.
  virtual void StartSplashTimer() = 0;
  virtual void CloseSplash() = 0;
  virtual bool Confirm(const std::string& text) = 0;
  // The profile editor's name, MAC and host fields.
  virtual void SetEditorFields(const std::string& name, const std::string& mac, const std::string& host) = 0;
};

// The four lines of timer.dat, each ended by CR LF.
std::string TimerDatText(const std::string& mac, const std::string& host, const std::string& date,
                         const std::string& time);

constexpr const char* ShutdownToolKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Penhollow Shutdown";
constexpr const char* CurrentVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr int MaxHostNameLength = 255;

class TConsoleCore {
public:
  // programDir ends with "\".
  TConsoleCore(IConsoleHost& host, IConsoleView& view, std::string programDir);

  // The start-up, once per run; args are the command-line arguments after the program.
  void Startup(const std::vector<std::string>& args);
  void ApplyLanguage(const std::string& path);
  void LoadProfiles();
  void ProfileChosen(int position);  // the console's profile box changed
  void LanguageChosen(int index);  // the language box changed
  void ExitClicked();
  void WakeClicked();
  void CancelWake() { AbortWake = true; }
  // The resolve button and Enter in the host field: the host field gets ResolveHostName of it.
  void ResolveClicked();
  // The dotted address of a host name, or the text itself (after an error box) when it cannot
  // be resolved; "" when the socket library does not start.
  std::string ResolveHostName(const std::string& text);
  void EditorChosen(const std::string& text, int position);
  void EditorSave(const std::string& name, const std::string& mac, const std::string& host);
  void ArmTimer(const std::string& mac, const std::string& host, const std::string& date, const std::string& time);
  void ShutdownClicked();
  std::string ReadShutdownToolDir();
  std::string ReadProgramFilesDir();
  void UpdateClientClicked();
  void OpenHistory();
  void OpenReadme();
  void OpenHelp();

  const std::string ProgramDir;
  TWakeSettings Settings;
  bool AbortWake = false;
  TLangLines LangLines;
  std::vector<std::string> LangFiles;

private:
  void WriteTimerDat(const std::string& mac, const std::string& host, const std::string& date, const std::string& time);
  // The index in profiles.ini of a position in the profile boxes; -1 for none listed there,
  // an index whose keys the program never writes.
  int32_t ProfileIndexAt(int position) const;

  IConsoleHost& host_;
  IConsoleView& view_;
  TWakeUp wake_;
  std::vector<TProfileEntry> profiles_;
  std::vector<std::string> langNames_;
  bool started_ = false;
};
