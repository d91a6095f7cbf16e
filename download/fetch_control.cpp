#include "download/fetch_control.h"

TFetchControl::TFetchControl() : link_(std::make_shared<TLink>(TLink{this})) {}

TFetchControl::~TFetchControl() {
  CancelTransfer();
  link_->Owner = nullptr;
}

void TFetchControl::StartTransfer(bool wait) {
  if (Worker) return;
  TFetchWork* worker = CreateWorker();
  Worker = worker;
  std::shared_ptr<TLink> link = link_;
  try {
    LaunchWorker(worker, [worker, link] {
      if (link->Owner) link->Owner->DownloadFinished(worker, link);
    });
  } catch (...) {
    Worker = nullptr;  // no thread: the component stays usable
    throw;
  }
  if (!wait) return;
  // A handler may destroy the component while we serve messages.
  while (link->Owner && link->Owner->Worker) link->Owner->ServeMessages();
}

void TFetchControl::CancelTransfer() {
  if (Worker) Worker->StopTransfer();
}

void TFetchControl::DownloadFinished(TFetchWork* worker, const std::shared_ptr<TLink>& link) {
  // The handler may start, cancel or destroy this component; the worker's own fields stay valid
  // until this returns. The component becomes idle whatever the handler does.
  try {
    if (!worker->Succeeded)
      RaiseError();
    else if (worker->ToFile)
      RaiseDoneFile(worker->FileName, worker->FileSize);
    else
      RaiseDoneString(worker->ResultString);
  } catch (...) {
    if (link->Owner && link->Owner->Worker == worker) link->Owner->Worker = nullptr;
    throw;
  }
  if (link->Owner && link->Owner->Worker == worker) link->Owner->Worker = nullptr;
}
