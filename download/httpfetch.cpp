#include "download/httpfetch.h"
#include <windows.h>
#include "download/wininet_transport.h"
#include "winui/form.h"

THTTPFetchThread::THTTPFetchThread(const std::string& AcceptTypes, const std::string& Agent, const std::string& URL,
                                   const std::string& FileName, const std::string& UserName,
                                   const std::string& Password, const std::string& PostQuery,
                                   const std::string& Referer, bool BinaryData, bool UseCache,
                                   TOnProgressEvent OnProgress, bool ToFile)
    : TThread(true),
      TFetchWork(AcceptTypes, Agent, URL, FileName, UserName, Password, PostQuery, Referer, BinaryData, UseCache,
                 ToFile),
      OnProgress(std::move(OnProgress)) {
  FreeOnTerminate = true;
}

void THTTPFetchThread::StopTransfer() {
  Terminate();
  Succeeded = false;
}

void THTTPFetchThread::Execute() {
  TWinInetTransport net;
  RunTransfer(net);
}

void THTTPFetchThread::CallProgress() {
  Synchronize([this] { ReportProgress(); });
}

void THTTPFetchThread::ReportProgress() { OnProgress(this, FileSize, Readed); }

THTTPFetch::THTTPFetch(TComponent* AOwner) : TComponent(AOwner) {
  AcceptTypes = "*/*";
  Agent = "Larkspan HTTPFetch";
}

THTTPFetch::~THTTPFetch() { CancelDownload(); }

void THTTPFetch::DownloadToFile() { StartTransfer(WaitThread); }

void THTTPFetch::CancelDownload() { CancelTransfer(); }

TFetchWork* THTTPFetch::CreateWorker() {
  return new THTTPFetchThread(AcceptTypes, Agent, URL, FileName, UserName, Password, PostQuery, Referer, BinaryData,
                              UseCache, OnProgress, true);
}

void THTTPFetch::LaunchWorker(TFetchWork* worker, std::function<void()> notify) {
  auto* thread = static_cast<THTTPFetchThread*>(worker);
  // The end notification runs on the main thread while the worker waits to free itself. An
  // exception from a handler would otherwise die in the worker unseen.
  thread->OnTerminate = [notify](TThread*) {
    try {
      notify();
    } catch (...) {
      if (Application) Application->HandleException(nullptr);
    }
  };
  try {
    thread->Start();
  } catch (...) {
    delete thread;
    throw;
  }
}

void THTTPFetch::RaiseDoneFile(const std::string& fileName, int32_t fileSize) {
  if (OnDoneFile) OnDoneFile(this, fileName, fileSize);
}

void THTTPFetch::RaiseDoneString(const std::string& result) {
  if (OnDoneString) OnDoneString(this, result);
}

void THTTPFetch::RaiseError() {
  if (OnError) OnError(this);
}

// Serves every pending message of this thread, the worker's synchronous calls among them.
void THTTPFetch::ServeMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}
