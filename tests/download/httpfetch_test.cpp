#include <gtest/gtest.h>
#include <windows.h>
#include <chrono>
#include <memory>
#include "base/exception.h"
#include "download/httpfetch.h"
#include "tests/download/fetch_harness.h"
#include "tests/download/test_server.h"
#include "winui/form.h"

namespace {

// An ordinary message loop until done() holds; false on time-out.
bool PumpUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(60)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  return true;
}

struct TReport {
  TObject* Sender;
  bool senderIsWorker;  // checked during the call: the worker frees itself at its end
  int32_t TotalSize, Readed;
  bool onMain;
};

// What a component reported; kept outside the component so it outlives it.
struct TRecorder {
  std::vector<TReport> progress;
  std::vector<std::string> events;
  TObject* doneSender = nullptr;
  std::string doneName;
  int32_t doneSize = -1;

  void Attach(THTTPFetch& f) {
    const DWORD mainId = GetCurrentThreadId();
    f.OnProgress = [this, mainId](TObject* s, int32_t t, int32_t r) {
      progress.push_back({s, dynamic_cast<THTTPFetchThread*>(s) != nullptr, t, r, GetCurrentThreadId() == mainId});
    };
    f.OnDoneFile = [this](TObject* s, const std::string& n, int32_t size) {
      events.push_back("done-file");
      doneSender = s;
      doneName = n;
      doneSize = size;
    };
    f.OnDoneString = [this](TObject*, const std::string&) { events.push_back("done-string"); };
    f.OnError = [this](TObject* s) {
      events.push_back("error");
      doneSender = s;
    };
  }
};

class HTTPFetchComponent : public ::testing::Test {
protected:
  void SetUp() override {
    if (!testserver::Available()) GTEST_SKIP() << "needs the test server (run_with_server.sh)";
    rec.Attach(fetch);
    fetch.FileName = target;
  }
  void Fetch(THTTPFetch& f, const std::string& path) {
    f.URL = testserver::Url(path);
    f.DownloadToFile();
    ASSERT_TRUE(PumpUntil([&] { return !f.Busy(); }));
  }

  TScratchDir dir;
  std::string target = dir.File("target.bin");
  THTTPFetch fetch{nullptr};
  TRecorder rec;
};

TEST(HTTPFetchDefaults, ANewComponentHasTheStoredDefaults) {
  THTTPFetch f(nullptr);
  EXPECT_EQ(f.AcceptTypes, "*/*");
  EXPECT_EQ(f.Agent, "Larkspan HTTPFetch");
  EXPECT_FALSE(f.BinaryData || f.UseCache || f.WaitThread);
  EXPECT_EQ(f.URL + f.FileName + f.UserName + f.Password + f.PostQuery + f.Referer, "");
  EXPECT_FALSE(f.OnProgress || f.OnDoneFile || f.OnDoneString || f.OnError);
  EXPECT_FALSE(f.Busy());
  EXPECT_STREQ(f.ClassName(), "THTTPFetch");
}

TEST_F(HTTPFetchComponent, ABodyArrivesWithReportsFromTheWorkerOnTheMainThread) {
  Fetch(fetch, "/body/5000000?id=big");
  EXPECT_EQ(rec.events, std::vector<std::string>{"done-file"});
  EXPECT_EQ(rec.doneSender, &fetch);
  EXPECT_EQ(rec.doneName, target);
  EXPECT_EQ(rec.doneSize, 5000000);
  const auto got = ReadWholeFile(target);
  ASSERT_TRUE(got);
  EXPECT_TRUE(*got == PatternBody(5000000));
  ASSERT_GE(rec.progress.size(), 5000000u / 1025);
  int32_t before = 0;
  for (const TReport& r : rec.progress) {
    ASSERT_NE(r.Sender, &fetch);
    ASSERT_TRUE(r.senderIsWorker) << "the worker reports";
    ASSERT_TRUE(r.onMain);
    ASSERT_EQ(r.TotalSize, 5000000);
    ASSERT_GT(r.Readed, before);
    ASSERT_LE(r.Readed - before, 1025);
    before = r.Readed;
  }
  // The component's own defaults reached the server.
  const auto requests = testserver::Requests("id=big");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].find(R"(HTTP/1.0", "method")"), std::string::npos) << requests[0];
  EXPECT_NE(requests[0].find(R"(["User-Agent", "Larkspan HTTPFetch"])"), std::string::npos) << requests[0];
  EXPECT_NE(requests[0].find(R"(["Accept", "*/*"])"), std::string::npos) << requests[0];
}

TEST_F(HTTPFetchComponent, FailuresEndInOnErrorWithTheComponentAsSender) {
  WriteWholeFile(target, "old");
  Fetch(fetch, "/body/100?status=404&id=e404");
  fetch.BinaryData = true;
  Fetch(fetch, "/body/100?nolength=1&id=enolen");
  fetch.URL = "http://127.0.0.1:" + testserver::DeadPort() + "/x";
  fetch.DownloadToFile();
  ASSERT_TRUE(PumpUntil([&] { return !fetch.Busy(); }));
  EXPECT_EQ(rec.events, (std::vector<std::string>{"error", "error", "error"}));
  EXPECT_EQ(rec.doneSender, &fetch);
  EXPECT_EQ(ReadWholeFile(target), "old");
}

TEST_F(HTTPFetchComponent, CancelEndsASlowTransferInOnErrorAndKeepsThePartialFile) {
  fetch.CancelDownload();  // idle: nothing happens
  EXPECT_FALSE(fetch.Busy());
  int32_t readedAtCancel = 0;
  fetch.OnProgress = [&](TObject*, int32_t, int32_t readed) {
    if (readed >= 2 * 1025 && readedAtCancel == 0) {
      readedAtCancel = readed;
      fetch.CancelDownload();
    }
  };
  Fetch(fetch, "/body/409600?chunk=1025&delay=10&id=cancel");
  EXPECT_EQ(rec.events, std::vector<std::string>{"error"});
  const auto got = ReadWholeFile(target);
  ASSERT_TRUE(got);
  EXPECT_EQ(got->size(), static_cast<size_t>(readedAtCancel));
  EXPECT_EQ(*got, PatternBody(got->size()));
}

TEST_F(HTTPFetchComponent, StartsWhileBusyAndFromTheOwnDoneHandlerAreIgnored) {
  THTTPFetch other(nullptr);
  TRecorder otherRec;
  otherRec.Attach(other);
  other.FileName = dir.File("other.bin");
  other.URL = testserver::Url("/body/10?id=second");
  fetch.OnProgress = [&](TObject*, int32_t, int32_t) {
    const std::string url = fetch.URL;
    fetch.URL = testserver::Url("/body/10?id=ignored");
    fetch.DownloadToFile();
    fetch.URL = url;
  };
  fetch.OnDoneFile = [&](TObject*, const std::string&, int32_t) {
    rec.events.push_back("done-file");
    fetch.URL = testserver::Url("/body/10?id=ignored");
    fetch.DownloadToFile();
    other.DownloadToFile();  // the next download goes to the other component
  };
  Fetch(fetch, "/body/3000?id=first");
  ASSERT_TRUE(PumpUntil([&] { return !other.Busy(); }));
  EXPECT_EQ(rec.events, std::vector<std::string>{"done-file"});
  EXPECT_EQ(otherRec.events, std::vector<std::string>{"done-file"});
  EXPECT_EQ(testserver::Requests("id=ignored").size(), 0u);
  EXPECT_EQ(testserver::Requests("id=second").size(), 1u);
  EXPECT_EQ(ReadWholeFile(target), PatternBody(3000));
}

TEST_F(HTTPFetchComponent, AThrowingHandlerLeavesTheComponentIdleAndReachesTheExceptionBox) {
  std::vector<std::string> box;
  ASSERT_NE(Application, nullptr);
  Application->OnException = [&](TObject*, const std::string& message) { box.push_back(message); };
  fetch.OnError = [](TObject*) { throw Exception("error handler failed"); };
  Fetch(fetch, "/body/10?status=500&id=throw1");
  fetch.OnDoneFile = [](TObject*, const std::string&, int32_t) { throw Exception("done handler failed"); };
  Fetch(fetch, "/body/10?id=throw2");
  Application->OnException = nullptr;
  EXPECT_FALSE(fetch.Busy());
  EXPECT_EQ(box, (std::vector<std::string>{"error handler failed", "done handler failed"}));
  EXPECT_EQ(testserver::Requests("id=throw2").size(), 1u) << "the component started again";
}

TEST_F(HTTPFetchComponent, DestroyingABusyComponentStopsItsWorkerWithoutLaterEvents) {
  auto doomed = std::make_unique<THTTPFetch>(nullptr);
  TRecorder doomedRec;
  doomedRec.Attach(*doomed);
  doomed->FileName = dir.File("doomed.bin");
  doomed->URL = testserver::Url("/body/409600?chunk=1025&delay=10&id=doomed");
  int reports = 0;
  doomed->OnProgress = [&](TObject*, int32_t, int32_t) { ++reports; };
  doomed->DownloadToFile();
  ASSERT_TRUE(PumpUntil([&] { return reports >= 2; }));
  doomed.reset();
  const int reportsAtDestruction = reports;
  // Give a worker that was not stopped time to show itself.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(800);
  PumpUntil([&] { return std::chrono::steady_clock::now() > until; });
  EXPECT_TRUE(doomedRec.events.empty());
  EXPECT_LE(reports, reportsAtDestruction + 1) << "the worker went on after its component was destroyed";
  const auto got = ReadWholeFile(dir.File("doomed.bin"));
  ASSERT_TRUE(got);
  EXPECT_LT(got->size(), 409600u / 4);
}

TEST_F(HTTPFetchComponent, WaitThreadReturnsOnlyAfterTheEndEventWithProgressMeanwhile) {
  fetch.WaitThread = true;
  fetch.URL = testserver::Url("/body/20000?chunk=4000&delay=20&id=wait");
  fetch.DownloadToFile();
  EXPECT_FALSE(fetch.Busy());
  EXPECT_EQ(rec.events, std::vector<std::string>{"done-file"});
  ASSERT_FALSE(rec.progress.empty());
  EXPECT_EQ(rec.progress.back().Readed, 20000);
  EXPECT_EQ(ReadWholeFile(target), PatternBody(20000));
}

TEST_F(HTTPFetchComponent, AWorkerCreatedForStringModeCollectsTheBody) {
  struct Outcome {
    bool ended = false, succeeded = false;
    std::string result;
    int32_t readed = 0;
  } out;
  auto* worker = new THTTPFetchThread("*/*", "Larkspan HTTPFetch", testserver::Url("/body/3000?id=string"), "",
                                      "", "", "", "", false, false, nullptr, false);
  worker->OnTerminate = [&out](TThread* t) {
    auto* w = static_cast<THTTPFetchThread*>(t);
    out.succeeded = w->Succeeded;
    out.result = w->ResultString;
    out.readed = w->Readed;
    out.ended = true;
  };
  worker->Start();
  ASSERT_TRUE(PumpUntil([&] { return out.ended; }));
  EXPECT_TRUE(out.succeeded);
  EXPECT_EQ(out.readed, 3000);
  EXPECT_TRUE(out.result == PatternBody(3000));
}

}  // namespace
