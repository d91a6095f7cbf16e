#include <gtest/gtest.h>
#include <windows.h>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include "winui/thread.h"

namespace {

// Serves window messages on the main thread until done() or a time-out.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }
  return true;
}

// A thread whose body is a lambda, so each test states its body where it is used.
class LambdaThread : public TThread {
public:
  explicit LambdaThread(std::function<void(LambdaThread&)> body, std::atomic<bool>* destroyed = nullptr)
      : body_(std::move(body)), destroyed_(destroyed) {}
  ~LambdaThread() override {
    if (destroyed_) *destroyed_ = true;
  }
  using TThread::Synchronize;

protected:
  void Execute() override { body_(*this); }

private:
  std::function<void(LambdaThread&)> body_;
  std::atomic<bool>* destroyed_;
};

}  // namespace

TEST(Thread, SynchronizeRunsOnTheMainThreadWhileTheWorkerWaits) {
  const DWORD mainId = GetCurrentThreadId();
  DWORD ranOn = 0;
  bool seenByWorkerAfterReturn = false;
  LambdaThread t([&](LambdaThread& self) {
    bool done = false;
    self.Synchronize([&] {
      ranOn = GetCurrentThreadId();
      Sleep(50);  // the worker must still be waiting when this returns
      done = true;
    });
    seenByWorkerAfterReturn = done;
    self.ReturnValue = 5;
  });
  t.Start();
  EXPECT_EQ(t.WaitFor(), 5);
  EXPECT_EQ(ranOn, mainId);
  EXPECT_TRUE(seenByWorkerAfterReturn);
  EXPECT_TRUE(t.Finished());
}

TEST(Thread, AnExceptionInASynchronizedMethodIsRaisedAgainInTheWorker) {
  std::string caught;
  LambdaThread t([&](LambdaThread& self) {
    try {
      self.Synchronize([] { throw std::runtime_error("from the main thread"); });
    } catch (const std::runtime_error& e) { caught = e.what(); }
  });
  t.Start();
  t.WaitFor();
  EXPECT_EQ(caught, "from the main thread");
}

TEST(Thread, SynchronizeCalledOnTheMainThreadRunsAtOnce) {
  bool ran = false;
  TThread::Synchronize([&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_TRUE(TThread::IsMainThread());
}

TEST(Thread, OnTerminateRunsOnTheMainThreadAfterExecuteThenFreeOnTerminateDeletes) {
  std::atomic<bool> destroyed{false};
  std::atomic<bool> executed{false};
  DWORD terminateThread = 0;
  bool executedBeforeTerminate = false;
  TThread* seenSender = nullptr;
  auto* t = new LambdaThread([&](LambdaThread&) { executed = true; }, &destroyed);
  t->FreeOnTerminate = true;
  t->OnTerminate = [&](TThread* sender) {
    terminateThread = GetCurrentThreadId();
    executedBeforeTerminate = executed;
    seenSender = sender;
    EXPECT_FALSE(destroyed);
  };
  TThread* const expected = t;
  t->Start();
  ASSERT_TRUE(PumpUntil([&] { return destroyed.load(); }));
  EXPECT_EQ(terminateThread, GetCurrentThreadId());
  EXPECT_TRUE(executedBeforeTerminate);
  EXPECT_EQ(seenSender, expected);
}

TEST(Thread, AnExceptionEscapingExecuteIsKeptAndTheEndHandlerStillRuns) {
  bool terminated = false;
  LambdaThread t([](LambdaThread&) { throw std::runtime_error("body failed"); });
  t.OnTerminate = [&](TThread*) { terminated = true; };
  t.Start();
  t.WaitFor();
  EXPECT_TRUE(terminated);
  ASSERT_TRUE(t.FatalException());
  try {
    std::rethrow_exception(t.FatalException());
  } catch (const std::runtime_error& e) { EXPECT_STREQ(e.what(), "body failed"); }
}

TEST(Thread, AnEndHandlerThatThrowsStillLetsTheThreadFinish) {
  LambdaThread t([](LambdaThread&) {});
  t.OnTerminate = [](TThread*) { throw std::runtime_error("handler failed"); };
  t.Start();
  t.WaitFor();
  EXPECT_TRUE(t.Finished());
}

TEST(Thread, DestroyingARunningThreadTerminatesAndWaitsForIt) {
  std::atomic<bool> sawTerminate{false};
  std::atomic<bool> running{false};
  {
    LambdaThread t([&](LambdaThread& self) {
      running = true;
      while (!self.Terminated()) Sleep(5);
      sawTerminate = true;
    });
    t.Start();
    ASSERT_TRUE(PumpUntil([&] { return running.load(); }));
  }
  EXPECT_TRUE(sawTerminate);
}

TEST(Thread, SynchronizeIsServedInsideAModalMessageBoxLoop) {
  // The worker's method closes the box the main thread is showing: it can only run if the
  // box's own loop delivers it.
  bool boxWasOpen = false;
  LambdaThread t([&](LambdaThread& self) {
    HWND box = nullptr;
    for (int i = 0; i < 500 && !box; ++i, Sleep(10)) box = FindWindowA("#32770", "Sync test");
    self.Synchronize([&] {
      boxWasOpen = box && IsWindowVisible(box);
      if (box) PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
  });
  t.Start();
  MessageBoxA(nullptr, "waiting for the worker", "Sync test", MB_OK);
  t.WaitFor();
  EXPECT_TRUE(boxWasOpen);
}

TEST(Thread, AHandlerClearedWhileTheThreadRunsIsNotCalled) {
  std::atomic<bool> release{false};
  bool called = false;
  LambdaThread t([&](LambdaThread&) {
    while (!release) Sleep(5);
  });
  t.OnTerminate = [&](TThread*) { called = true; };
  t.Start();
  t.OnTerminate = nullptr;
  release = true;
  t.WaitFor();
  EXPECT_FALSE(called);
}

TEST(Thread, ACreatedSuspendedThreadRunsOnlyAfterStart) {
  std::atomic<bool> ran{false};
  LambdaThread t([&](LambdaThread&) { ran = true; });
  Sleep(30);
  EXPECT_FALSE(ran);
  t.Start();
  t.Start();  // a second start changes nothing
  t.WaitFor();
  EXPECT_TRUE(ran);
}
