// The update wizard's flow behind its windows: the steps of the "Weiter >>" button, the nine
// per-update lists, the index evaluation, the chain of update downloads, the installation loop
// and the summary rows. The wizard window calls in from its event handlers under the same
// names; the platform comes through IWizardHost and the windows through IWizardView, so the
// whole flow runs under test with fakes (the client's files stay real files in AppDir).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "archive/unzipper.h"
#include "base/strings.h"

// The value is the page on screen; "Weiter >>" runs the step of that value and stores the next.
enum TWizardStep : int32_t {
  wsWelcome = 0,    // welcome text; next: list the installed programs
  wsPrograms = 1,   // installed programs; next: fetch the update index
  wsIndex = 2,      // index download; next (pressed by the evaluation): the offered updates
  wsOffers = 3,     // offered updates; next: download them
  wsDownloads = 4,  // downloads; next (pressed by the last download): install
  wsInstall = 5,    // installation; next (pressed by the installation): the summary
  wsSummary = 6,    // summary; next ("Fertig."): close the client
};

// The wizard's download components.
enum class TFetch { HTTPFetch1, HTTPFetch2, HTTPFetch3, HTTPFetch4 };

// The pages; Welcome is the pair Label1/Label2, the others are GroupBox3 to GroupBox8.
enum class TWizardPage { Welcome, Programs, Index, Offers, Downloads, Install, Summary };

// Button1 "Beenden", Button4 "Weiter >>", Button6 "Aktualisieren".
enum class TWizardButton { Quit, Next, Refresh };

// Label18, Label19 (connection); Label6, Label7, Label9 (download page); Label13, Label14,
// Label15 (installation page).
enum class TWizardText {
  Connected,
  ConnectionKind,
  DownloadFile,
  DownloadPosition,
  DownloadState,
  InstallFile,
  InstallPosition,
  InstallState
};

// FlatProgressBar1 (downloads), FlatProgressBar2 (unpacking), the self-update window's bar.
enum class TWizardBar { Download, Install, Self };

class IWizardHost {
public:
  virtual ~IWizardHost() = default;
  // The connection test; raises when the library that answers it cannot be loaded.
  virtual bool IsInternetConnected(uint32_t& flags) = 0;
  // Executable names of the running processes.
  virtual std::vector<std::string> RunningProcessNames() = 0;
  // The download components: their URL, and a start into a file; a busy component ignores it.
  virtual void SetURL(TFetch fetch, const std::string& url) = 0;
  virtual void DownloadToFile(TFetch fetch, const std::string& fileName) = 0;
  virtual void CancelDownload(TFetch fetch) = 0;
  virtual bool Busy(TFetch fetch) = 0;
  // Starts the command line and waits for its end; false when it could not be started.
  virtual bool RunAndWait(const std::string& commandLine) = 0;
  // Opens a file or address through the shell, shown normally, without waiting; false when
  // the shell refused.
  virtual bool ShellOpen(const std::string& file) = 0;
  // Starts the self-update program through the shell, hidden, owned by the wizard.
  virtual void StartSelfUpdate(const std::string& file) = 0;
  virtual void Sleep(int32_t ms) = 0;
};

class IWizardView {
public:
  virtual ~IWizardView() = default;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void SetPageVisible(TWizardPage page, bool visible) = 0;
  virtual void SetButtonVisible(TWizardButton button, bool visible) = 0;
  virtual void SetButtonEnabled(TWizardButton button, bool enabled) = 0;
  virtual void SetNextCaption(const std::string& text) = 0;
  // The red notice that asks the user to go online (Label20).
  virtual void SetOfflineNoticeVisible(bool visible) = 0;
  virtual void SetText(TWizardText text, const std::string& value) = 0;
  virtual void SetBarMax(TWizardBar bar, int32_t max) = 0;
  virtual void SetBarPosition(TWizardBar bar, int32_t position) = 0;
  // The status lines of the index page (FlatMemo1).
  virtual void ClearStatusLines() = 0;
  virtual void AddStatusLine(const std::string& line) = 0;
  // ListView1: a row with the program's shell icon that remembers its number in progs.kvr.
  virtual void ClearInstalledPrograms() = 0;
  virtual void AddInstalledProgram(const std::string& name, const std::string& version, const std::string& path,
                                   int32_t number) = 0;
  // ListView2: a row with the icon of the program at path.
  virtual void ClearOffers() = 0;
  virtual void AddOffer(const std::string& name, const std::string& oldVersion, const std::string& newVersion,
                        const std::string& path) = 0;
  // ListView3: a row with the icon of offer row `offer`.
  virtual void AddSummaryRow(const std::string& name, const std::string& result, int32_t offer) = 0;
  // Image1 shows the picture and Animate1 plays the animation; a file that is missing or
  // cannot be read leaves its place empty.
  virtual void ShowMedia(const std::string& picture, const std::string& animation) = 0;
  // The wizard window as a whole.
  virtual void SetEnabled(bool enabled) = 0;
  virtual void Repaint() = 0;
  virtual void ProcessMessages() = 0;
  // Closes the wizard window the way its close box does (the close query runs first).
  virtual void CloseWizard() = 0;
  // The self-update window (self1); shown, it is repainted at once.
  virtual void SetSelfWindowVisible(bool visible) = 0;
  virtual bool SelfWindowVisible() = 0;
  virtual void RepaintSelfWindow() = 0;
  // The cancel-wait dialog (Form2); showing it disables its OK button.
  virtual void SetCancelDialogVisible(bool visible) = 0;
  virtual void SetCancelDialogText(const std::string& text) = 0;
  virtual void SetCancelDialogOk(bool enabled) = 0;
  virtual void InfoBox(const std::string& text) = 0;
  virtual bool Confirm(const std::string& text) = 0;
};

class TWizardCore {
public:
  // appDir ends with "\".
  TWizardCore(IWizardHost& host, IWizardView& view, std::string appDir);

  // --- handlers of the wizard window, its components and its dialogs ---
  // The start-up of the first showing; args are the command-line arguments after the program.
  void FormShow(const std::vector<std::string>& args);
  // Whether the window may close: asks unless the self-update window is up.
  bool FormCloseQuery();
  void Button1Click();
  void Button4Click();
  void Button6Click();
  void Button7Click();
  void HTTPFetch1Progress();
  void HTTPFetch1Error();
  void HTTPFetch1DoneFile();
  void HTTPFetch2Progress(int32_t TotalSize, int32_t Readed);
  void HTTPFetch3Progress(int32_t TotalSize, int32_t Readed);
  void HTTPFetch2DoneFile();
  void HTTPFetch3DoneFile();
  void HTTPFetch2Error();
  void HTTPFetch3Error();
  void HTTPFetch4Progress(int32_t TotalSize, int32_t Readed);
  void HTTPFetch4DoneFile();
  void HTTPFetch4Error();
  void ArUnZipper1ArchiveProgress(TArBaseBrowser* Sender, uint8_t Progress, bool& Abort);
  void Label12Click();
  std::string ListView1InfoTip(int32_t programNumber) const;
  std::string ListView2InfoTip(int32_t row) const;
  void ListView3SelectItem(int32_t row);
  void ListView3Click();
  // The cancel-wait dialog's OK (and a failed self-update) start over from the welcome page.
  void ResetWizard();

  // --- routines of the steps ---
  void LoadInstalledPrograms();
  std::string FindRunningPrograms(const std::vector<std::string>& exeNames,
                                  const std::vector<std::string>& displayNames);
  void StartIndexDownload();
  void EvaluateUpdateIndex();
  void StartUpdateDownload(int32_t i, TFetch component);
  void InstallUpdates();
  bool InstallFromZip(const std::string& file, const std::string& folder);
  bool RunInstallerVerySilent(const std::string& file);
  bool RunInstallerSilent(const std::string& file);
  bool RunInstallerAndWait(const std::string& file);
  bool OpenWithShell(const std::string& file);

  const std::string AppDir;
  std::string SelectedDescriptionUrl;
  std::string OwnVersion;
  // Entry i of each of the nine lists belongs to the i-th offered update; DownloadFiles gets
  // its entry when download i starts.
  TStringList UpdateUrls, InstallDirs, DownloadFiles, ProgramNames, NewVersions, ProgramNumbers, DescriptionUrls,
      IndexSections, DownloadSizes;
  int32_t DownloadIndex = 0;
  int32_t LastDownloadIndex = -1;
  TWizardStep WizardStep = wsWelcome;
  TArUnZipper ArUnZipper1;

private:
  void CheckConnection();
  void EndWithoutUpdates();
  void UpdateDownloadProgress(int32_t total, int32_t readed);
  void UpdateDownloadDone(TFetch component);
  void UpdateDownloadFailed(TFetch component);
  bool InstallByMode(int32_t mode, const std::string& file, const std::string& folder);
  bool RunInstaller(const std::string& file, int32_t mode);
  void ClearLists();

  IWizardHost& host_;
  IWizardView& view_;
  bool started_ = false;
  // The download chain's state beside DownloadIndex: which positions arrived complete (only
  // those are installed), whether it stopped on a failure, and whether the user cancelled (a
  // cancel that arrives after a transfer's last read ends in its done handler).
  std::vector<bool> downloaded_;
  bool chainStopped_ = false;
  bool cancelRequested_ = false;
  // The file each component writes, "" when a refused name left it nothing to write.
  std::string fetchFiles_[4];
};
