#include "updater/core.h"

#include <exception>
#include <utility>

#include "base/inifiles.h"
#include "base/sysutils.h"
#include "updater/client_logic.h"

using namespace skyvane;

namespace {

const char* const kQuitQuestion =
    "Wenn sie Skyvane jetzt beenden wird die Aktualisierung von Programmen nicht abgeschlossen. Möchten sie "
    "fortfahren?";

}  // namespace

TWizardCore::TWizardCore(IWizardHost& host, IWizardView& view, std::string appDir)
    : AppDir(std::move(appDir)), host_(host), view_(view) {
  ArUnZipper1.SetExtractOptions(eoCreateDirs | eoRestorePath);
  ArUnZipper1.OnArchiveProgress = [this](TArBaseBrowser* sender, uint8_t progress, bool& abort) {
    ArUnZipper1ArchiveProgress(sender, progress, abort);
  };
}

void TWizardCore::ClearLists() {
  for (TStringList* list : {&UpdateUrls, &InstallDirs, &DownloadFiles, &ProgramNames, &NewVersions, &ProgramNumbers,
                            &DescriptionUrls, &IndexSections, &DownloadSizes})
    list->Clear();
}

// --- start-up, connection, closing ---

void TWizardCore::FormShow(const std::vector<std::string>& args) {
  // Later showings (the return from the about box) change nothing.
  if (started_) return;
  started_ = true;
  WizardStep = wsWelcome;
  ClearLists();
  OwnVersion = ReadOwnVersion(AppDir);
  view_.SetCaption("Skyvane - " + OwnVersion);
  if (!args.empty() && args[0] == "-newver") {
    AdoptNewOwnVersion(AppDir);
    view_.InfoBox("Die Aktualisierung von Skyvane wurde erfolgreich abgeschlossen.");
    OwnVersion = ReadOwnVersion(AppDir);
    view_.SetCaption("Skyvane - " + OwnVersion);
  }
  CheckConnection();
  view_.ShowMedia(AppDir + "data\\logo.bmp", AppDir + "data\\world.avi");
}

void TWizardCore::CheckConnection() {
  uint32_t flags = 0;
  bool connected = false;
  try {
    connected = host_.IsInternetConnected(flags);
  } catch (const std::exception&) { connected = false; }
  if (connected) {
    view_.SetText(TWizardText::Connected, "Ja");
    view_.SetText(TWizardText::ConnectionKind, GetConnectionKind(flags));
    view_.SetOfflineNoticeVisible(false);
    view_.SetButtonVisible(TWizardButton::Refresh, false);
    view_.SetButtonVisible(TWizardButton::Next, true);
  } else {
    view_.SetText(TWizardText::Connected, "Nein");
    view_.SetButtonVisible(TWizardButton::Next, false);
    view_.SetButtonVisible(TWizardButton::Refresh, true);
    view_.SetOfflineNoticeVisible(true);
    view_.SetText(TWizardText::ConnectionKind, "---");
  }
}

void TWizardCore::Button6Click() { CheckConnection(); }

void TWizardCore::Button1Click() { view_.CloseWizard(); }

bool TWizardCore::FormCloseQuery() {
  // Every close the program makes itself shows the self-update window first.
  if (view_.SelfWindowVisible()) return true;
  return view_.Confirm(kQuitQuestion);
}

// --- the step machine ---

void TWizardCore::Button4Click() {
  switch (WizardStep) {
    case wsWelcome:
      view_.SetPageVisible(TWizardPage::Programs, true);
      view_.SetPageVisible(TWizardPage::Welcome, false);
      view_.SetEnabled(false);
      view_.Repaint();
      try {
        LoadInstalledPrograms();
      } catch (...) {
        view_.SetEnabled(true);
        throw;
      }
      view_.SetEnabled(true);
      WizardStep = wsPrograms;
      break;
    case wsPrograms:
      view_.SetPageVisible(TWizardPage::Programs, false);
      view_.SetPageVisible(TWizardPage::Index, true);
      WizardStep = wsIndex;
      StartIndexDownload();
      break;
    case wsIndex:
      view_.SetPageVisible(TWizardPage::Index, false);
      view_.SetPageVisible(TWizardPage::Offers, true);
      WizardStep = wsOffers;
      break;
    case wsOffers:
      view_.SetPageVisible(TWizardPage::Offers, false);
      view_.SetPageVisible(TWizardPage::Downloads, true);
      WizardStep = wsDownloads;
      // Reachable with nothing offered only after a failed index download.
      if (UpdateUrls.Count() == 0) {
        EndWithoutUpdates();
        break;
      }
      DownloadIndex = 0;
      LastDownloadIndex = UpdateUrls.Count() - 1;
      downloaded_.assign(static_cast<size_t>(UpdateUrls.Count()), false);
      chainStopped_ = false;
      cancelRequested_ = false;
      DownloadFiles.Clear();
      StartUpdateDownload(0, TFetch::HTTPFetch2);
      break;
    case wsDownloads:
      WizardStep = wsInstall;
      view_.SetPageVisible(TWizardPage::Downloads, false);
      view_.SetPageVisible(TWizardPage::Install, true);
      view_.Repaint();
      host_.Sleep(2500);
      InstallUpdates();
      break;
    case wsInstall:
      view_.SetNextCaption("Fertig.");
      view_.SetPageVisible(TWizardPage::Install, false);
      view_.SetPageVisible(TWizardPage::Summary, true);
      WizardStep = wsSummary;
      break;
    case wsSummary:
      view_.SetSelfWindowVisible(true);
      view_.CloseWizard();
      break;
    default: break;
  }
}

void TWizardCore::ResetWizard() {
  view_.SetEnabled(false);
  ClearLists();
  downloaded_.clear();
  chainStopped_ = false;
  cancelRequested_ = false;
  WizardStep = wsWelcome;
  view_.SetPageVisible(TWizardPage::Welcome, true);
  view_.ClearInstalledPrograms();
  view_.ClearOffers();
  view_.SetPageVisible(TWizardPage::Downloads, false);
  view_.SetText(TWizardText::DownloadPosition, "");
  view_.SetText(TWizardText::DownloadFile, "");
  view_.SetText(TWizardText::DownloadState, "");
  view_.SetBarPosition(TWizardBar::Download, 0);
  view_.ClearStatusLines();
  view_.SetEnabled(true);
  view_.SetCancelDialogVisible(false);
}

// --- installed programs and the update index ---

void TWizardCore::LoadInstalledPrograms() {
  std::vector<TInstalledProgram> programs = ReadProgramList(AppDir);
  if (programs.empty()) {
    view_.InfoBox(
        "Skyvane konnte keine Programme von Quillmoor, die Skyvane in dieser Version unterstützen, finden. "
        "Skyvane wird nun beendet.\rSollten sie dennoch Programme von Quillmoor installiert haben, welche  "
        "Skyvane unterstützen, installieren sie dieses Programm bitte erneut.");
    view_.SetSelfWindowVisible(true);
    view_.CloseWizard();
    return;
  }
  std::vector<std::string> exeNames, displayNames;
  for (const TInstalledProgram& p : programs) {
    if (p.Path.empty() || !FileExists(p.Path)) continue;
    view_.Repaint();
    view_.AddInstalledProgram(p.Name, p.Version, p.Path, p.Number);
    exeNames.push_back(ExtractFileName(p.Path));
    displayNames.push_back(p.Name);
  }
  std::string running = FindRunningPrograms(exeNames, displayNames);
  if (!running.empty())
    view_.InfoBox("Bitte beenden sie folgende Programme, bevor sie mit Skyvane fortfahren:\r" + running);
}

std::string TWizardCore::FindRunningPrograms(const std::vector<std::string>& exeNames,
                                             const std::vector<std::string>& displayNames) {
  return RunningProgramsText(exeNames, displayNames, host_.RunningProcessNames());
}

std::string TWizardCore::ListView1InfoTip(int32_t programNumber) const {
  return InstalledProgramTip(AppDir, programNumber);
}

std::string TWizardCore::ListView2InfoTip(int32_t row) const {
  if (row < 0 || row >= DownloadSizes.Count()) return "";
  return "Downloadgröße: " + DownloadSizes[row];
}

void TWizardCore::StartIndexDownload() {
  view_.ClearStatusLines();
  view_.AddStatusLine("Verbindung wird aufgebaut...");
  // Nothing may advance the wizard before the index has arrived.
  view_.SetButtonEnabled(TWizardButton::Quit, false);
  view_.SetButtonEnabled(TWizardButton::Next, false);
  fetchFiles_[static_cast<int>(TFetch::HTTPFetch1)] = AppDir + UpdateIndex;
  host_.DownloadToFile(TFetch::HTTPFetch1, AppDir + UpdateIndex);
}

void TWizardCore::HTTPFetch1Progress() {
  view_.AddStatusLine("Informationen wird abgerufen...");
  view_.SetButtonEnabled(TWizardButton::Quit, false);
  view_.SetButtonEnabled(TWizardButton::Next, false);
}

void TWizardCore::HTTPFetch1Error() {
  view_.AddStatusLine("Fehler beim Übertragen der Daten!");
  view_.SetButtonEnabled(TWizardButton::Quit, true);
  view_.SetButtonEnabled(TWizardButton::Next, true);
}

void TWizardCore::HTTPFetch1DoneFile() {
  view_.AddStatusLine("Informationen werden ausgewertet...");
  view_.SetButtonEnabled(TWizardButton::Quit, true);
  view_.SetButtonEnabled(TWizardButton::Next, true);
  EvaluateUpdateIndex();
}

void TWizardCore::EndWithoutUpdates() {
  view_.AddStatusLine("Keine Updates gefunden.");
  view_.AddStatusLine("Skyvane wird nun beendet...");
  view_.Repaint();
  view_.InfoBox("Es wurden keine Updates gefunden. Skyvane wird nun beendet.");
  view_.SetSelfWindowVisible(true);
  view_.CloseWizard();
}

void TWizardCore::EvaluateUpdateIndex() {
  ClearLists();
  TIniFile index(AppDir + UpdateIndex);
  if (ReadOwnVersion(AppDir) != index.ReadString("self", "newver", DefaultOwnVersion)) {
    view_.InfoBox(
        "Es wurde eine neue Version von Skyvane gefunden. Diese muss als erstes heruntergeladen und installiert "
        "werden, damit die Programme von Quillmoor zuverlässig aktualisiert werden können.");
    view_.SetEnabled(false);
    view_.SetSelfWindowVisible(true);
    view_.RepaintSelfWindow();
    host_.SetURL(TFetch::HTTPFetch4, index.ReadString("self", "updurl", ""));
    fetchFiles_[static_cast<int>(TFetch::HTTPFetch4)] = AppDir + SelfArchive;
    host_.DownloadToFile(TFetch::HTTPFetch4, AppDir + SelfArchive);
    return;
  }
  // Every registered program, on disk or not, is compared as text with the index.
  for (const TInstalledProgram& p : ReadProgramList(AppDir)) {
    const std::string exe = ExtractFileName(p.Path);
    const std::string newver = index.ReadString(exe, "newver", "1.0");
    if (p.Version == newver) continue;
    UpdateUrls.Add(index.ReadString(exe, "updurl", ""));
    InstallDirs.Add(ExtractFilePath(p.Path));
    ProgramNames.Add(p.Name);
    IndexSections.Add(exe);
    NewVersions.Add(newver);
    ProgramNumbers.Add(IntToStr(p.Number));
    DownloadSizes.Add(index.ReadString(exe, "size", DefaultSize));
    DescriptionUrls.Add(index.ReadString(exe, "desurl", ""));
    view_.AddOffer(p.Name, p.Version, newver, p.Path);
  }
  view_.AddStatusLine("Überprüfung abgeschlossen.");
  if (UpdateUrls.Count() == 0) {
    EndWithoutUpdates();
    return;
  }
  view_.Repaint();
  host_.Sleep(500);
  Button4Click();
}

// --- update downloads ---

namespace {

// Position i runs on HTTPFetch2 when even, HTTPFetch3 when odd: a component ignores a start
// made from its own done handler, so consecutive downloads alternate.
TFetch FetchFor(int32_t position) { return position % 2 == 0 ? TFetch::HTTPFetch2 : TFetch::HTTPFetch3; }

}  // namespace

void TWizardCore::StartUpdateDownload(int32_t i, TFetch component) {
  const std::string name = UrlFileName(UpdateUrls[i]);
  view_.SetText(TWizardText::DownloadFile, name);
  DownloadFiles.Add(name);
  view_.SetText(TWizardText::DownloadPosition, PositionText(i + 1, LastDownloadIndex + 1));
  view_.SetText(TWizardText::DownloadState, "Lade Update...");
  view_.SetButtonEnabled(TWizardButton::Quit, false);
  view_.SetButtonEnabled(TWizardButton::Next, false);
  view_.Repaint();
  std::string& file = fetchFiles_[static_cast<int>(component)];
  if (!IsSafeDownloadName(name)) {
    // A name that would leave the folder or replace the client's own files is never written.
    file.clear();
    UpdateDownloadFailed(component);
    return;
  }
  file = AppDir + name;
  host_.SetURL(component, UpdateUrls[i]);
  host_.DownloadToFile(component, file);
}

void TWizardCore::UpdateDownloadProgress(int32_t total, int32_t readed) {
  view_.SetBarMax(TWizardBar::Download, total);
  view_.SetBarPosition(TWizardBar::Download, readed);
  view_.Repaint();
  view_.ProcessMessages();
  view_.SetButtonEnabled(TWizardButton::Quit, false);
  view_.SetButtonEnabled(TWizardButton::Next, false);
}

void TWizardCore::UpdateDownloadDone(TFetch component) {
  const bool current = DownloadIndex >= 0 && DownloadIndex < static_cast<int32_t>(downloaded_.size());
  if (cancelRequested_ || chainStopped_ || !current) {
    // Cancelled after its last read: handled like any cancelled transfer.
    UpdateDownloadFailed(component);
    return;
  }
  downloaded_[static_cast<size_t>(DownloadIndex)] = true;
  if (DownloadIndex == LastDownloadIndex) {
    view_.SetButtonEnabled(TWizardButton::Quit, true);
    view_.SetButtonEnabled(TWizardButton::Next, true);
    Button4Click();
    return;
  }
  view_.SetBarPosition(TWizardBar::Download, 0);
  ++DownloadIndex;
  StartUpdateDownload(DownloadIndex, FetchFor(DownloadIndex));
}

void TWizardCore::UpdateDownloadFailed(TFetch component) {
  chainStopped_ = true;
  view_.SetButtonEnabled(TWizardButton::Quit, true);
  view_.SetButtonEnabled(TWizardButton::Next, true);
  view_.SetText(TWizardText::DownloadState, "Vorgang wird abgebrochen...");
  view_.SetCancelDialogText("Vorgang erfolgreich abgebrochen.");
  view_.SetCancelDialogOk(true);
  const std::string& file = fetchFiles_[static_cast<int>(component)];
  if (!file.empty()) DeleteFile(file);
}

void TWizardCore::HTTPFetch2Progress(int32_t TotalSize, int32_t Readed) { UpdateDownloadProgress(TotalSize, Readed); }
void TWizardCore::HTTPFetch3Progress(int32_t TotalSize, int32_t Readed) { UpdateDownloadProgress(TotalSize, Readed); }
void TWizardCore::HTTPFetch2DoneFile() { UpdateDownloadDone(TFetch::HTTPFetch2); }
void TWizardCore::HTTPFetch3DoneFile() { UpdateDownloadDone(TFetch::HTTPFetch3); }
void TWizardCore::HTTPFetch2Error() { UpdateDownloadFailed(TFetch::HTTPFetch2); }
void TWizardCore::HTTPFetch3Error() { UpdateDownloadFailed(TFetch::HTTPFetch3); }

void TWizardCore::Button7Click() {
  cancelRequested_ = true;
  view_.SetEnabled(false);
  view_.SetCancelDialogText("Vorgang wird abgebrochen...");
  view_.SetCancelDialogVisible(true);
  host_.CancelDownload(TFetch::HTTPFetch2);
  host_.CancelDownload(TFetch::HTTPFetch3);
  // Nothing left to stop: the dialog must not wait for an end that never comes.
  if (!host_.Busy(TFetch::HTTPFetch2) && !host_.Busy(TFetch::HTTPFetch3)) {
    view_.SetCancelDialogText("Vorgang erfolgreich abgebrochen.");
    view_.SetCancelDialogOk(true);
  }
}

void TWizardCore::HTTPFetch4Progress(int32_t TotalSize, int32_t Readed) {
  view_.SetBarMax(TWizardBar::Self, TotalSize);
  view_.SetBarPosition(TWizardBar::Self, Readed);
  view_.RepaintSelfWindow();
}

void TWizardCore::HTTPFetch4DoneFile() {
  host_.StartSelfUpdate(AppDir + SelfProgram);
  view_.CloseWizard();
}

void TWizardCore::HTTPFetch4Error() {
  view_.SetEnabled(true);
  view_.SetSelfWindowVisible(false);
  ResetWizard();
  // The reset hides only the download page; back at the start, the index page would still
  // cover the welcome text.
  for (TWizardPage page :
       {TWizardPage::Programs, TWizardPage::Index, TWizardPage::Offers, TWizardPage::Install, TWizardPage::Summary})
    view_.SetPageVisible(page, false);
}

// --- installation and summary ---

void TWizardCore::InstallUpdates() {
  view_.SetButtonVisible(TWizardButton::Quit, false);
  view_.SetButtonEnabled(TWizardButton::Next, false);
  const int32_t count = InstallDirs.Count();
  for (int32_t i = 0; i < count; ++i) {
    const std::string name = UrlFileName(UpdateUrls[i]);
    view_.SetText(TWizardText::InstallFile, i < DownloadFiles.Count() ? DownloadFiles[i] : name);
    view_.SetText(TWizardText::InstallPosition, PositionText(i + 1, count));
    view_.SetText(TWizardText::InstallState, "Installiere Update..." + ProgramNames[i]);
    view_.Repaint();
    bool ok = false;
    // Only a complete download under a safe name is installed.
    const bool downloaded = i < static_cast<int32_t>(downloaded_.size()) && downloaded_[static_cast<size_t>(i)];
    if (downloaded && IsSafeDownloadName(name))
      ok = InstallByMode(ReadInstallMode(AppDir, IndexSections[i]), AppDir + name, InstallDirs[i]);
    if (ok) {
      // A version that is not recorded is offered again next time; the row must say so.
      try {
        RecordVersion(AppDir, ProgramNumbers[i], NewVersions[i]);
      } catch (const std::exception&) { ok = false; }
    }
    view_.AddSummaryRow(ProgramNames[i], ok ? "Erfolgreich" : "Fehler!", i);
  }
  // The press shows the summary; run again from the "Status:" label after that, it must not
  // become the press of "Fertig." that closes the client.
  if (WizardStep == wsInstall) Button4Click();
  view_.SetButtonEnabled(TWizardButton::Next, true);
}

void TWizardCore::Label12Click() { InstallUpdates(); }

bool TWizardCore::InstallByMode(int32_t mode, const std::string& file, const std::string& folder) {
  // Errors are caught per update, so the rest still get their turn.
  try {
    switch (mode) {
      case imUnzip: return InstallFromZip(file, folder);
      case imVerySilent: return RunInstallerVerySilent(file);
      case imSilent: return RunInstallerSilent(file);
      case imRunAndWait: return RunInstallerAndWait(file);
      case imShellOpen: return OpenWithShell(file);
      default: return false;
    }
  } catch (const std::exception&) { return false; }
}

bool TWizardCore::InstallFromZip(const std::string& file, const std::string& folder) {
  if (folder.empty() || !DirectoryExists(folder) || !FileExists(file)) return false;
  bool complete = false;
  try {
    ArUnZipper1.OpenArchiveFile(file);
    ArUnZipper1.SetBaseDirectory(folder);
    ArUnZipper1.ExtractMatchingFiles("*.*");
    complete = ArUnZipper1.FailedItems() == 0;
  } catch (const std::exception&) { complete = false; }
  try {
    ArUnZipper1.CloseArchiveFile();
  } catch (const std::exception&) {}
  // A partly unpacked update keeps its archive, so the files are not lost with it.
  if (complete) DeleteFile(file);
  return complete;
}

bool TWizardCore::RunInstaller(const std::string& file, int32_t mode) {
  return FileExists(file) && host_.RunAndWait(InstallerCommandLine(file, mode));
}

bool TWizardCore::RunInstallerVerySilent(const std::string& file) { return RunInstaller(file, imVerySilent); }
bool TWizardCore::RunInstallerSilent(const std::string& file) { return RunInstaller(file, imSilent); }
bool TWizardCore::RunInstallerAndWait(const std::string& file) { return RunInstaller(file, imRunAndWait); }
bool TWizardCore::OpenWithShell(const std::string& file) { return host_.ShellOpen(file); }

void TWizardCore::ArUnZipper1ArchiveProgress(TArBaseBrowser*, uint8_t Progress, bool&) {
  view_.SetBarPosition(TWizardBar::Install, Progress);
}

void TWizardCore::ListView3SelectItem(int32_t row) {
  if (row >= 0 && row < DescriptionUrls.Count()) SelectedDescriptionUrl = DescriptionUrls[row];
}

void TWizardCore::ListView3Click() { host_.ShellOpen(SelectedDescriptionUrl); }
