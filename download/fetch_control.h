// The download component's side of a transfer: idle or busy, the start that is ignored while
// busy, the cancel, and the end notification that raises exactly one event before the
// component becomes idle again. Threads, windows and events are reached through the virtual
// hooks, so the rules can be tested without either.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include "download/fetch_work.h"

class TFetchControl {
public:
  TFetchControl();
  // Cancels a running transfer and cuts it off: its end notification will find no component.
  virtual ~TFetchControl();
  TFetchControl(const TFetchControl&) = delete;
  TFetchControl& operator=(const TFetchControl&) = delete;

  bool Busy() const { return Worker != nullptr; }

protected:
  // Starts a transfer unless one runs. With wait set, returns only when it has ended, serving
  // the calling thread's messages meanwhile (without sleeping).
  void StartTransfer(bool wait);
  // Stops the running transfer at its next test point; nothing when idle.
  void CancelTransfer();

  // A new, not yet running worker with copies of the component's settings.
  virtual TFetchWork* CreateWorker() = 0;
  // Lets the worker run. After its body it must run notify on the main thread (waiting for it)
  // and then free itself. notify may raise: the component is idle again by then, and the
  // exception belongs to the application's exception box.
  virtual void LaunchWorker(TFetchWork* worker, std::function<void()> notify) = 0;
  virtual void RaiseDoneFile(const std::string& fileName, int32_t fileSize) = 0;
  virtual void RaiseDoneString(const std::string& result) = 0;
  virtual void RaiseError() = 0;
  virtual void ServeMessages() = 0;

private:
  // Shared with the workers' notifications; main thread only, so it needs no lock.
  struct TLink {
    TFetchControl* Owner;
  };
  void DownloadFinished(TFetchWork* worker, const std::shared_ptr<TLink>& link);

  std::shared_ptr<TLink> link_;
  TFetchWork* Worker = nullptr;
};
