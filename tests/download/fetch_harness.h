// Test doubles for the download component's rules: a main thread that the test thread serves,
// workers on plain threads, a component with the real properties and events, and a scripted
// transport that records what was asked of it.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>
#include "download/fetch_control.h"

// Calls queued by workers run on the test thread when it serves them; the worker waits.
class TTestMainThread {
public:
  void Invoke(const std::function<void()>& fn) {
    Item item{fn};
    std::unique_lock<std::mutex> lock(mutex_);
    queue_.push_back(&item);
    changed_.notify_all();
    changed_.wait(lock, [&] { return item.done; });
  }
  // Runs what is queued; waits up to a millisecond for something to arrive.
  void Serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (queue_.empty()) changed_.wait_for(lock, std::chrono::milliseconds(1));
    while (!queue_.empty()) {
      Item* item = queue_.front();
      queue_.pop_front();
      lock.unlock();
      item->fn();
      lock.lock();
      item->done = true;
      changed_.notify_all();
    }
  }
  bool ServeUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(30)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      Serve();
    }
    return true;
  }
  std::thread::id Id() const { return id_; }

private:
  struct Item {
    std::function<void()> fn;
    bool done = false;
  };
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Item*> queue_;
  std::thread::id id_ = std::this_thread::get_id();
};

using TTestProgress = std::function<void(void* Sender, int32_t TotalSize, int32_t Readed)>;
using TTransportFactory = std::function<std::unique_ptr<IHttpTransport>()>;

inline std::atomic<int> LiveTestWorkers{0};

class TTestWorker : public TFetchWork {
public:
  TTestWorker(TTestMainThread& main, TTransportFactory transport, TTestProgress progress,
              const std::string& AcceptTypes, const std::string& Agent, const std::string& URL,
              const std::string& FileName, const std::string& UserName, const std::string& Password,
              const std::string& PostQuery, const std::string& Referer, bool BinaryData, bool UseCache, bool ToFile)
      : TFetchWork(AcceptTypes, Agent, URL, FileName, UserName, Password, PostQuery, Referer, BinaryData, UseCache,
                   ToFile),
        main_(main),
        transport_(std::move(transport)),
        OnProgress(std::move(progress)) {
    ++LiveTestWorkers;
  }
  ~TTestWorker() override { --LiveTestWorkers; }

  // Runs the body on its own thread, then the end notification on the main thread, then frees itself.
  void Run(std::function<void()> notify) {
    std::thread([this, notify] {
      auto net = transport_();
      RunTransfer(*net);
      net.reset();
      main_.Invoke(notify);
      delete this;
    }).detach();
  }

  void StopTransfer() override {
    stop_ = true;
    Succeeded = false;
  }

protected:
  bool StopRequested() override { return stop_; }
  bool HasProgressHandler() const override { return static_cast<bool>(OnProgress); }
  void CallProgress() override {
    main_.Invoke([this] { OnProgress(this, FileSize, Readed); });
  }

private:
  TTestMainThread& main_;
  TTransportFactory transport_;
  TTestProgress OnProgress;
  std::atomic<bool> stop_{false};
};

// What the application's exception box received.
inline std::vector<std::string> AppExceptions;

class TTestFetch : public TFetchControl {
public:
  TTestFetch(TTestMainThread& main, TTransportFactory transport) : main_(main), transport_(std::move(transport)) {}
  ~TTestFetch() override = default;

  std::string AcceptTypes = "*/*";
  std::string Agent = "Larkspan HTTPFetch";
  bool BinaryData = false;
  std::string URL;
  bool UseCache = false;
  std::string FileName;
  std::string UserName, Password, PostQuery, Referer;
  bool WaitThread = false;
  bool ToFile = true;  // the test's way into string mode
  TTestProgress OnProgress;
  std::function<void(void* Sender, const std::string& FileName, int32_t FileSize)> OnDoneFile;
  std::function<void(void* Sender, const std::string& Result)> OnDoneString;
  std::function<void(void* Sender)> OnError;

  void DownloadToFile() { StartTransfer(WaitThread); }
  void CancelDownload() { CancelTransfer(); }

protected:
  TFetchWork* CreateWorker() override {
    return new TTestWorker(main_, transport_, OnProgress, AcceptTypes, Agent, URL, FileName, UserName, Password,
                           PostQuery, Referer, BinaryData, UseCache, ToFile);
  }
  void LaunchWorker(TFetchWork* worker, std::function<void()> notify) override {
    static_cast<TTestWorker*>(worker)->Run([notify] {
      try {
        notify();
      } catch (const std::exception& e) { AppExceptions.push_back(e.what()); }
    });
  }
  void RaiseDoneFile(const std::string& fileName, int32_t fileSize) override {
    if (OnDoneFile) OnDoneFile(this, fileName, fileSize);
  }
  void RaiseDoneString(const std::string& result) override {
    if (OnDoneString) OnDoneString(this, result);
  }
  void RaiseError() override {
    if (OnError) OnError(this);
  }
  void ServeMessages() override { main_.Serve(); }

private:
  TTestMainThread& main_;
  TTransportFactory transport_;
};

// Everything one component reported, in order.
struct TEventLog {
  struct Progress {
    void* Sender;
    int32_t TotalSize, Readed;
    bool onMain;
  };
  std::vector<Progress> progress;
  std::vector<std::string> events;  // "done-file", "done-string", "error"
  std::string doneName, doneString;
  int32_t doneSize = -1;
  bool busyInHandler = false;

  void Attach(TTestFetch& f, TTestMainThread& main) {
    TTestFetch* fp = &f;
    f.OnProgress = [this, &main](void* s, int32_t t, int32_t r) {
      progress.push_back({s, t, r, std::this_thread::get_id() == main.Id()});
    };
    f.OnDoneFile = [this, fp](void*, const std::string& n, int32_t s) {
      events.push_back("done-file");
      doneName = n;
      doneSize = s;
      busyInHandler = fp->Busy();
    };
    f.OnDoneString = [this, fp](void*, const std::string& r) {
      events.push_back("done-string");
      doneString = r;
      busyInHandler = fp->Busy();
    };
    f.OnError = [this, fp](void*) {
      events.push_back("error");
      busyInHandler = fp->Busy();
    };
  }
};

// A fresh folder per test for target files.
class TScratchDir {
public:
  TScratchDir() {
    static std::atomic<int> n{0};
    path_ = std::filesystem::temp_directory_path() /
            ("mbfetch-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
             std::to_string(n++));
    std::filesystem::create_directories(path_);
  }
  ~TScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
  std::filesystem::path path_;
};

inline std::optional<std::string> ReadWholeFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::string& name, const std::string& data) {
  std::ofstream(name, std::ios::binary) << data;
}

// The body pattern the test server serves: byte i is i mod 251, so a lost, doubled or
// misplaced chunk of 1025 bytes shows.
inline std::string PatternBody(size_t length) {
  std::string s(length, '\0');
  for (size_t i = 0; i < length; ++i) s[i] = static_cast<char>(i % 251);
  return s;
}
