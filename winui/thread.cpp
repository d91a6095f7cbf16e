#include "winui/thread.h"
#include <windows.h>
#include <process.h>
#include <stdexcept>

namespace {

const UINT WM_SYNCHRONIZE = WM_APP + 0x3A1;
const char kSyncClass[] = "MbThreadSyncWindow";

struct SyncRequest {
  const TThread::TThreadMethod* method;
  std::exception_ptr error;
};

LRESULT CALLBACK SyncWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SYNCHRONIZE) {
    SyncRequest* r = reinterpret_cast<SyncRequest*>(lp);
    try {
      (*r->method)();
    } catch (...) { r->error = std::current_exception(); }
    return 1;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

// The main thread is the one that runs the static initialisers; the window must belong to it.
struct MainThreadDispatcher {
  DWORD threadId = GetCurrentThreadId();
  HWND window = nullptr;
  MainThreadDispatcher() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = SyncWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kSyncClass;
    RegisterClassA(&wc);
    window = CreateWindowExA(0, kSyncClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  }
};

MainThreadDispatcher& Dispatcher() {
  static MainThreadDispatcher d;
  return d;
}

// Makes sure the dispatcher is built during start-up, on the main thread.
const bool kDispatcherReady = Dispatcher().window != nullptr;

}  // namespace

bool TThread::IsMainThread() { return GetCurrentThreadId() == Dispatcher().threadId; }

void TThread::Synchronize(const TThreadMethod& method) {
  (void)kDispatcherReady;
  if (IsMainThread()) {
    method();
    return;
  }
  SyncRequest r{&method, nullptr};
  if (!SendMessageA(Dispatcher().window, WM_SYNCHRONIZE, 0, reinterpret_cast<LPARAM>(&r)))
    throw std::runtime_error("Synchronize: the main thread is not reachable");
  if (r.error) std::rethrow_exception(r.error);
}

TThread::TThread(bool createSuspended) {
  if (!createSuspended) throw std::invalid_argument("TThread: start the thread with Start()");
}

TThread::~TThread() {
  if (handle_) {
    if (GetCurrentThreadId() != threadId_ && !finished_) {
      Terminate();
      WaitFor();
    }
    CloseHandle(handle_);
  }
}

void TThread::Start() {
  if (started_) return;
  started_ = true;
  hadTerminateHandler_ = static_cast<bool>(OnTerminate);
  unsigned id = 0;
  handle_ = reinterpret_cast<void*>(_beginthreadex(nullptr, 0, &TThread::ThreadProc, this, 0, &id));
  if (!handle_) {
    started_ = false;
    throw std::runtime_error("Thread creation error");
  }
  threadId_ = id;
}

unsigned __stdcall TThread::ThreadProc(void* self) {
  TThread* t = static_cast<TThread*>(self);
  try {
    t->Execute();
  } catch (...) { t->fatal_ = std::current_exception(); }
  const bool freeIt = t->FreeOnTerminate;
  const int result = t->ReturnValue;
  if (t->hadTerminateHandler_) {
    try {
      Synchronize([t] {
        if (t->OnTerminate) t->OnTerminate(t);
      });
    } catch (...) {
      // A failing end handler must not keep the thread alive; the object has no caller to tell.
    }
  }
  t->finished_ = true;
  if (freeIt) delete t;
  return static_cast<unsigned>(result);
}

int TThread::WaitFor() {
  if (!handle_) return ReturnValue;
  HANDLE h = static_cast<HANDLE>(handle_);
  if (IsMainThread()) {
    for (;;) {
      const DWORD r = MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_SENDMESSAGE);
      if (r == WAIT_OBJECT_0) break;
      MSG m;
      PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  } else {
    WaitForSingleObject(h, INFINITE);
  }
  DWORD code = 0;
  GetExitCodeThread(h, &code);
  return static_cast<int>(code);
}
