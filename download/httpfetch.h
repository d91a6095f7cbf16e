// THTTPFetch: a non-visual component that fetches one URL into a file on a worker thread of
// its own and reports progress, completion and failure as events on the main thread.
// THTTPFetchThread is that worker: one request, the body in 1025-byte chunks, each followed by
// a synchronous progress report, then its end notification; it frees itself afterwards.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include "download/fetch_control.h"
#include "download/fetch_work.h"
#include "winui/component.h"
#include "winui/thread.h"

using TOnProgressEvent = std::function<void(TObject* Sender, int32_t TotalSize, int32_t Readed)>;
using TOnDoneFileEvent = std::function<void(TObject* Sender, const std::string& FileName, int32_t FileSize)>;
using TOnDoneStringEvent = std::function<void(TObject* Sender, const std::string& Result)>;

class THTTPFetchThread : public TObject, public TThread, public TFetchWork {
public:
  // Created suspended and freeing itself at its end; Start lets it run.
  THTTPFetchThread(const std::string& AcceptTypes, const std::string& Agent, const std::string& URL,
                   const std::string& FileName, const std::string& UserName, const std::string& Password,
                   const std::string& PostQuery, const std::string& Referer, bool BinaryData, bool UseCache,
                   TOnProgressEvent OnProgress, bool ToFile);
  const char* ClassName() const override { return "THTTPFetchThread"; }

  TOnProgressEvent OnProgress;

  void StopTransfer() override;

protected:
  void Execute() override;
  bool StopRequested() override { return Terminated(); }
  bool HasProgressHandler() const override { return static_cast<bool>(OnProgress); }
  void CallProgress() override;

private:
  void ReportProgress();
};

class THTTPFetch : public TComponent, private TFetchControl {
public:
  explicit THTTPFetch(TComponent* AOwner);
  ~THTTPFetch() override;
  const char* ClassName() const override { return "THTTPFetch"; }

  // Starts a transfer of URL into FileName unless one runs; returns at once unless WaitThread.
  void DownloadToFile();
  // Stops a running transfer at its next test point; it then ends in OnError.
  void CancelDownload();
  // True from DownloadToFile until the end event's handler has returned.
  using TFetchControl::Busy;

  std::string AcceptTypes;
  std::string Agent;
  bool BinaryData = false;
  std::string URL;
  bool UseCache = false;
  std::string FileName;
  std::string UserName;
  std::string Password;
  std::string PostQuery;
  std::string Referer;
  bool WaitThread = false;
  TOnProgressEvent OnProgress;
  TOnDoneFileEvent OnDoneFile;
  TOnDoneStringEvent OnDoneString;
  TNotifyEvent OnError;

private:
  TFetchWork* CreateWorker() override;
  void LaunchWorker(TFetchWork* worker, std::function<void()> notify) override;
  void RaiseDoneFile(const std::string& fileName, int32_t fileSize) override;
  void RaiseDoneString(const std::string& result) override;
  void RaiseError() override;
  void ServeMessages() override;
};
