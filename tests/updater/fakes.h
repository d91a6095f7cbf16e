// Recording fakes for the update wizard's flow: the platform (download components that stay
// busy through their own done and error handlers, as the real ones do, installers and the
// shell) and the windows, whose state the fake keeps so tests can look at what is on screen.
#pragma once
#include <deque>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "updater/core.h"

class FakeWizardHost : public IWizardHost {
public:
  bool IsInternetConnected(uint32_t& outFlags) override {
    if (connectionFails) throw std::runtime_error("no wininet.dll");
    outFlags = flags;
    return connected;
  }
  std::vector<std::string> RunningProcessNames() override { return processes; }
  void SetURL(TFetch fetch, const std::string& url) override { urls[Slot(fetch)] = url; }
  void DownloadToFile(TFetch fetch, const std::string& fileName) override {
    // A busy component ignores the start, so a flow that reuses the finishing one stalls.
    if (busy[Slot(fetch)]) return;
    busy[Slot(fetch)] = true;
    starts.push_back({fetch, urls[Slot(fetch)], fileName});
  }
  void CancelDownload(TFetch fetch) override { cancels.push_back(fetch); }
  bool Busy(TFetch fetch) override { return busy[Slot(fetch)]; }
  bool RunAndWait(const std::string& commandLine) override {
    commands.push_back(commandLine);
    if (onRun) onRun();
    return startable;
  }
  bool ShellOpen(const std::string& file) override {
    opened.push_back(file);
    return shellWorks;
  }
  void StartSelfUpdate(const std::string& file) override { selfStarts.push_back(file); }
  void Sleep(int32_t ms) override { sleeps.push_back(ms); }

  static int Slot(TFetch fetch) { return static_cast<int>(fetch); }

  struct Start {
    TFetch fetch;
    std::string url, file;
  };
  bool connected = true, connectionFails = false;
  uint32_t flags = 2;  // LAN
  std::vector<std::string> processes;
  std::string urls[4];
  bool busy[4] = {};
  std::vector<Start> starts;
  std::vector<TFetch> cancels;
  std::vector<std::string> commands, opened, selfStarts;
  bool startable = true, shellWorks = true;
  std::function<void()> onRun;  // while an installer runs
  std::vector<int32_t> sleeps;
};

class FakeWizardView : public IWizardView {
public:
  struct Row {
    std::string name, a, b, path;
    int32_t number = 0;
  };

  void SetCaption(const std::string& text) override { caption = text; }
  void SetPageVisible(TWizardPage page, bool visible) override { pages[page] = visible; }
  void SetButtonVisible(TWizardButton button, bool visible) override { buttonVisible[button] = visible; }
  void SetButtonEnabled(TWizardButton button, bool enabled) override { buttonEnabled[button] = enabled; }
  void SetNextCaption(const std::string& text) override { nextCaption = text; }
  void SetOfflineNoticeVisible(bool visible) override { offlineNotice = visible; }
  void SetText(TWizardText text, const std::string& value) override { texts[text] = value; }
  void SetBarMax(TWizardBar bar, int32_t max) override { barMax[bar] = max; }
  void SetBarPosition(TWizardBar bar, int32_t position) override {
    barPosition[bar] = position;
    if (bar == TWizardBar::Install) unzipProgress.push_back(position);
  }
  void ClearStatusLines() override { statusLines.clear(); }
  void AddStatusLine(const std::string& line) override { statusLines.push_back(line); }
  void ClearInstalledPrograms() override { installed.clear(); }
  void AddInstalledProgram(const std::string& name, const std::string& version, const std::string& path,
                           int32_t number) override {
    installed.push_back({name, version, "", path, number});
  }
  void ClearOffers() override { offers.clear(); }
  void AddOffer(const std::string& name, const std::string& oldVersion, const std::string& newVersion,
                const std::string& path) override {
    offers.push_back({name, oldVersion, newVersion, path});
  }
  void AddSummaryRow(const std::string& name, const std::string& result, int32_t offer) override {
    summary.push_back({name, result, "", "", offer});
  }
  void ShowMedia(const std::string& picture, const std::string& animation) override {
    media = picture + "|" + animation;
  }
  void SetEnabled(bool on) override { enabled = on; }
  void Repaint() override { ++repaints; }
  void ProcessMessages() override {
    if (onProcessMessages) onProcessMessages();
  }
  // As the window's close: the close query first, then the window is gone.
  void CloseWizard() override {
    if (core->FormCloseQuery()) closed = true;
  }
  void SetSelfWindowVisible(bool visible) override { selfVisible = visible; }
  bool SelfWindowVisible() override { return selfVisible; }
  void RepaintSelfWindow() override {}
  void SetCancelDialogVisible(bool visible) override {
    cancelDialog = visible;
    if (visible) cancelOk = false;  // the dialog's own show handler
  }
  void SetCancelDialogText(const std::string& text) override { cancelText = text; }
  void SetCancelDialogOk(bool on) override { cancelOk = on; }
  void InfoBox(const std::string& text) override { infos.push_back(text); }
  bool Confirm(const std::string& text) override {
    questions.push_back(text);
    if (answers.empty()) throw std::logic_error("unexpected question: " + text);
    bool answer = answers.front();
    answers.pop_front();
    return answer;
  }

  // The pages on screen, in the order of the enum.
  std::vector<TWizardPage> VisiblePages() const {
    std::vector<TWizardPage> shown;
    for (const auto& [page, visible] : pages)
      if (visible) shown.push_back(page);
    return shown;
  }
  bool Usable(TWizardButton button) { return buttonVisible[button] && buttonEnabled[button]; }

  TWizardCore* core = nullptr;
  std::string caption, nextCaption = "Weiter >>", media;
  std::map<TWizardPage, bool> pages = {{TWizardPage::Welcome, true}};
  std::map<TWizardButton, bool> buttonVisible = {
      {TWizardButton::Quit, true}, {TWizardButton::Next, true}, {TWizardButton::Refresh, false}};
  std::map<TWizardButton, bool> buttonEnabled = {
      {TWizardButton::Quit, true}, {TWizardButton::Next, true}, {TWizardButton::Refresh, true}};
  bool offlineNotice = false;
  std::map<TWizardText, std::string> texts;
  std::map<TWizardBar, int32_t> barMax, barPosition;
  std::vector<int32_t> unzipProgress;
  std::vector<std::string> statusLines;
  std::vector<Row> installed, offers, summary;
  bool enabled = true, closed = false, selfVisible = false;
  int repaints = 0;
  std::function<void()> onProcessMessages;
  bool cancelDialog = false, cancelOk = false;
  std::string cancelText = "Der Downloadvorgang wird abgebrochen...";
  std::vector<std::string> infos, questions;
  std::deque<bool> answers;
};
