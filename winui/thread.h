// Worker threads with a synchronous call into the main thread.
//
// Synchronize hands a method to the main thread through a hidden message-only window
// that the main thread owns, with SendMessage: the method runs whenever the main thread
// takes messages (its own loop, a modal box's loop, ProcessMessages, WaitFor), and the
// worker blocks until it has returned. An exception thrown by the method is raised again
// in the worker. OnTerminate runs the same way after Execute, so it is on the main thread.
#pragma once
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>

class TThread {
public:
  using TThreadMethod = std::function<void()>;
  using TTerminateEvent = std::function<void(TThread* Sender)>;

  // The thread runs only after Start: a constructor cannot start it, since Execute belongs to
  // a derived class that is not built yet. createSuspended is there for code written
  // against the class library's signature and must be true (false raises invalid_argument).
  TThread() = default;
  explicit TThread(bool createSuspended);
  // A running thread is told to terminate and waited for (unless it is the calling thread,
  // which happens when FreeOnTerminate deletes it at its end). Execute is a member of the
  // derived class, so a derived class whose Execute uses its own fields terminates and
  // waits in its own destructor.
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  void Start();  // starts a suspended thread; does nothing on a started one
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  bool Finished() const { return finished_; }
  // Waits for the end of the thread and returns ReturnValue. On the main thread it keeps
  // serving Synchronize calls meanwhile (only sent messages; posted ones stay queued).
  // Not to be used on a FreeOnTerminate thread, which may be gone by then.
  int WaitFor();
  uint32_t ThreadID() const { return threadId_; }
  // The exception that escaped Execute, if any.
  std::exception_ptr FatalException() const { return fatal_; }

  // Read when Execute has returned: the object deletes itself after OnTerminate.
  std::atomic<bool> FreeOnTerminate{false};
  // Set before Start; it runs on the main thread, which may also clear it meanwhile
  // (a handler cleared while the thread runs is not called).
  TTerminateEvent OnTerminate;
  int ReturnValue = 0;

  // Runs method on the main thread and waits for it; called on the main thread it simply runs.
  static void Synchronize(const TThreadMethod& method);
  static bool IsMainThread();

protected:
  virtual void Execute() = 0;

private:
  static unsigned __stdcall ThreadProc(void* self);
  void* handle_ = nullptr;
  uint32_t threadId_ = 0;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  bool started_ = false;
  bool hadTerminateHandler_ = false;  // OnTerminate was set at Start; the worker reads only this
  std::exception_ptr fatal_;
};
