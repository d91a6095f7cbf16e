// Recording fakes for the console logic: an in-memory profiles.ini, the platform host and
// the windows. Each records what the logic did, in order, so tests can check sequences.
#pragma once
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "console/core.h"

class FakeIni : public IIniStore {
public:
  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) override {
    auto s = values.find(section);
    if (s == values.end()) return def;
    auto k = s->second.find(key);
    return k == s->second.end() ? def : k->second;
  }
  void WriteString(const std::string& section, const std::string& key, const std::string& value) override {
    if (readOnly) throw std::runtime_error("profiles.ini cannot be written");
    values[section][key] = value;
    writes.push_back(section + "/" + key + "=" + value);
  }
  std::vector<std::pair<std::string, std::string>> ReadSectionValues(const std::string& section) override {
    const auto& keys = values[section];
    return {keys.begin(), keys.end()};
  }
  std::map<std::string, std::map<std::string, std::string>> values;
  std::vector<std::string> writes;
  bool readOnly = false;
};

class FakeUdp : public IUdpSender {
public:
  void Send(const std::string& host, int32_t port, const uint8_t* data, int size) override {
    if (log) log->push_back("send");
    if (failSend) throw std::runtime_error("host not found");
    sent.push_back({host, port, std::vector<uint8_t>(data, data + size)});
  }
  struct Datagram {
    std::string host;
    int32_t port;
    std::vector<uint8_t> bytes;
  };
  std::vector<Datagram> sent;
  bool failSend = false;
  std::vector<std::string>* log = nullptr;
};

class FakePinger : public IPinger {
public:
  TPingStatus Ping(const std::string& host) override {
    hosts.push_back(host);
    if (log) log->push_back("ping");
    if (failAt == static_cast<int>(hosts.size())) throw std::runtime_error("icmp failed");
    if (answers.empty()) {
      // A host that never answers keeps a wait going for good; the test is to fail, not hang.
      if (++unanswered > MaxUnanswered) {
        ADD_FAILURE() << "waited through " << MaxUnanswered << " unanswered echo requests";
        throw std::runtime_error("no answer ever");
      }
      return TPingStatus::TimedOut;
    }
    TPingStatus s = answers.front();
    answers.erase(answers.begin());
    return s;
  }
  static constexpr int MaxUnanswered = 100;
  std::vector<TPingStatus> answers;  // in turn; timed out once they run out, up to MaxUnanswered
  int unanswered = 0;
  std::vector<std::string> hosts;
  int failAt = 0;  // the call (from 1) that raises
  std::vector<std::string>* log = nullptr;
};

class FakeView : public IConsoleView {
public:
  // Wake UI
  void BeginWait() override { log.push_back("begin"); }
  void KeepAlive() override {
    log.push_back("alive");
    if (++keepAlives == abortOnKeepAlive && abortFlag) *abortFlag = true;
  }
  void EndWait() override { log.push_back("end"); }
  void SetStatus(const std::string& text) override {
    status = text;
    log.push_back("status");
  }
  void InfoBox(const std::string& text) override {
    infos.push_back(text);
    log.push_back("info");
  }
  void ErrorBox(const std::string& text) override {
    errors.push_back(text);
    log.push_back("error");
  }
  void Sleep(int32_t ms) override { log.push_back("sleep " + std::to_string(ms)); }
  // Windows
  void DockStatusControls() override { log.push_back("dock"); }
  void SetLangText(const TLangTarget& t, const std::string& text) override {
    texts[std::string(t.Window) + "." + t.Control + (t.Property == TLangProperty::Hint ? ".hint" : "")] = text;
  }
  void SetProfileNames(const std::vector<std::string>& names) override {
    profiles = names;
    selected = -1;
    mac.clear();
    host.clear();
  }
  void SelectProfile(int index) override { selected = index; }
  void SetMacHost(const std::string& m, const std::string& h) override {
    mac = m;
    host = h;
  }
  std::string MacText() override { return mac; }
  std::string HostText() override { return host; }
  void SetHostText(const std::string& text) override {
    host = text;
    hostHistory.push_back(text);
  }
  void AddLanguage(const std::string& name) override { languages.push_back(name); }
  void SelectLanguage(int index) override { language = index; }
  void SetSplashInterval(int ms) override { interval = ms; }
  void StartSplashTimer() override { log.push_back("timer"); }
  void CloseSplash() override { log.push_back("close"); }
  bool Confirm(const std::string& text) override {
    questions.push_back(text);
    return confirmAnswer;
  }
  void SetEditorFields(const std::string& n, const std::string& m, const std::string& h) override {
    editor = {n, m, h};
  }

  std::vector<std::string> log, infos, errors, questions, languages, profiles, hostHistory;
  std::map<std::string, std::string> texts;
  std::vector<std::string> editor;
  std::string status, mac, host;
  int selected = -2, language = -1, interval = 4000;
  bool confirmAnswer = true;
  int keepAlives = 0, abortOnKeepAlive = 0;
  bool* abortFlag = nullptr;
};

class FakeHost : public IConsoleHost {
public:
  IIniStore& Profiles() override { return ini; }
  std::vector<std::string> FindFiles(const std::string& pattern) override {
    patterns.push_back(pattern);
    return found;
  }
  bool ReadFile(const std::string& path, std::string& bytes) override {
    auto f = files.find(path);
    if (f == files.end()) return false;
    bytes = f->second;
    return true;
  }
  void WriteFile(const std::string& path, const std::string& bytes) override {
    if (writeFails) throw std::runtime_error("cannot write " + path);
    files[path] = bytes;
  }
  bool FileExists(const std::string& path) override { return files.count(path) != 0; }
  void ShellOpen(const std::string& file) override { opened.push_back(file); }
  bool RegKeyExists(const std::string& key) override { return registry.count(key) != 0; }
  std::string RegReadString(const std::string& key, const std::string& value) override {
    auto k = registry.find(key);
    if (k == registry.end()) return "";
    auto v = k->second.find(value);
    return v == k->second.end() ? "" : v->second;
  }
  bool SocketsStartup() override { return socketsWork; }
  std::string LookupHost(const std::string& name) override {
    lookedUp.push_back(name);
    auto a = addresses.find(name);
    return a == addresses.end() ? "" : a->second;
  }
  void SocketsCleanup() override { ++cleanups; }
  IUdpSender& Udp() override { return udp; }
  IPinger& Pinger() override { return pinger; }

  FakeIni ini;
  FakeUdp udp;
  FakePinger pinger;
  std::vector<std::string> found, patterns, opened, lookedUp;
  std::map<std::string, std::string> files, addresses;
  std::map<std::string, std::map<std::string, std::string>> registry;
  bool socketsWork = true;
  bool writeFails = false;
  int cleanups = 0;
};
