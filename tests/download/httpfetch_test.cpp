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

TEST_F(HTTPFetchComponent, BodiesArriveByteIdenticalWithReportsFromTheWorkerOnTheMainThread) {
  for (int32_t n : {0, 1, 1025, 1026, 5000000}) {
    rec = TRecorder();
    rec.Attach(fetch);
    Fetch(fetch, "/body/" + std::to_string(n) + "?id=size" + std::to_string(n));
    EXPECT_EQ(rec.events, std::vector<std::string>{"done-file"}) << n;
    EXPECT_EQ(rec.doneSender, &fetch);
    EXPECT_EQ(rec.doneName, target);
    EXPECT_EQ(rec.doneSize, n);
    const auto got = ReadWholeFile(target);
    ASSERT_TRUE(got) << n;
    EXPECT_TRUE(*got == PatternBody(n)) << n << " bytes asked, " << got->size() << " stored or differing";
    int32_t before = 0;
    for (const TReport& r : rec.progress) {
      ASSERT_TRUE(r.senderIsWorker) << "the worker reports, not the component";
      ASSERT_TRUE(r.onMain);
      ASSERT_EQ(r.TotalSize, n);
      ASSERT_GT(r.Readed, before);
      ASSERT_LE(r.Readed - before, 1025);
      before = r.Readed;
    }
    EXPECT_EQ(before, n);
  }
  // The component's own defaults and HTTP/1.0 reached the server, on the port of the URL.
  const auto requests = testserver::Requests("id=size1025");
  ASSERT_EQ(requests.size(), 1u);
  const std::string& r = requests[0];
  EXPECT_NE(r.find(R"("line": "GET /body/1025?id=size1025 HTTP/1.0")"), std::string::npos) << r;
  EXPECT_NE(r.find(R"(["User-Agent", "Larkspan HTTPFetch"])"), std::string::npos) << r;
  EXPECT_NE(r.find(R"(["Accept", "*/*"])"), std::string::npos) << r;
  EXPECT_EQ(r.find("Referer"), std::string::npos) << "an empty referrer sends none: " << r;
  EXPECT_EQ(r.find("Authorization"), std::string::npos) << r;
}

TEST_F(HTTPFetchComponent, APostCarriesItsBodyAndTheFormHeader) {
  fetch.PostQuery = "name=a%20b&x=1";
  fetch.Agent = "";
  fetch.AcceptTypes = "text/plain";
  Fetch(fetch, "/body/3?id=post");
  EXPECT_EQ(rec.events, std::vector<std::string>{"done-file"});
  const auto requests = testserver::Requests("id=post");
  ASSERT_EQ(requests.size(), 1u);
  const std::string& r = requests[0];
  EXPECT_NE(r.find(R"("line": "POST /body/3?id=post HTTP/1.0")"), std::string::npos) << r;
  EXPECT_NE(r.find(R"(["Content-Type", "application/x-www-form-urlencoded"])"), std::string::npos) << r;
  EXPECT_NE(r.find(R"(["Content-Length", "14"])"), std::string::npos) << r;
  EXPECT_NE(r.find(R"("body": "name=a%20b&x=1")"), std::string::npos) << r;
  EXPECT_NE(r.find(R"(["Accept", "text/plain"])"), std::string::npos) << r;
  EXPECT_EQ(r.find("Larkspan"), std::string::npos) << "an empty agent sends no agent text: " << r;
}

TEST_F(HTTPFetchComponent, AConfiguredProxyIsHonoured) {
  // WinInet reads the preconfigured proxy once per process, so this runs in a process of its
  // own whose http_proxy names the test server; the server answers a proxy's request too.
  if (testserver::Env("http_proxy").empty()) GTEST_SKIP() << "runs with MB_TEST_VIA_PROXY=1";
  fetch.URL = "http://update.quillmoor.invalid/body/1026?id=proxied";
  fetch.DownloadToFile();
  ASSERT_TRUE(PumpUntil([&] { return !fetch.Busy(); }));
  EXPECT_EQ(rec.events.back(), "done-file");
  EXPECT_EQ(ReadWholeFile(target), PatternBody(1026));
  const auto requests = testserver::Requests("id=proxied");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].find(R"("target": "http://update.quillmoor.invalid)"), std::string::npos) << requests[0];
}

TEST_F(HTTPFetchComponent, ARedirectBehindAProxyIsFollowedThroughTheProxy) {
  if (testserver::Env("http_proxy").empty()) GTEST_SKIP() << "runs with MB_TEST_VIA_PROXY=1";
  fetch.URL = "http://update.quillmoor.invalid/redirect/2/body/1026?style=rel&id=proxyredir";
  fetch.DownloadToFile();
  ASSERT_TRUE(PumpUntil([&] { return !fetch.Busy(); }));
  EXPECT_EQ(rec.events.back(), "done-file");
  EXPECT_EQ(ReadWholeFile(target), PatternBody(1026));
  const auto requests = testserver::Requests("id=proxyredir");
  ASSERT_EQ(requests.size(), 3u);
  for (const std::string& r : requests)
    EXPECT_NE(r.find(R"("target": "http://update.quillmoor.invalid)"), std::string::npos) << r;
  EXPECT_NE(requests[2].find("/redirect/0/body/1026?"), std::string::npos) << requests[2];
}

// A query value with every byte outside the unreserved set escaped.
std::string QueryEscaped(const std::string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

TEST_F(HTTPFetchComponent, RedirectsAreFollowedUpToTwenty) {
  // Every redirect status, its Location written as a path, a relative reference or a URL.
  for (const char* code : {"301", "302", "303", "307", "308"}) {
    for (const char* style : {"path", "rel", "abs"}) {
      const std::string id = std::string("id=r") + code + style;
      rec = TRecorder();
      rec.Attach(fetch);
      Fetch(fetch, std::string("/redirect/2/body/3000?code=") + code + "&style=" + style + "&" + id);
      EXPECT_EQ(rec.events, std::vector<std::string>{"done-file"}) << id;
      EXPECT_TRUE(ReadWholeFile(target) == PatternBody(3000)) << id;
      EXPECT_EQ(testserver::Requests(id).size(), 3u) << id;
    }
  }
  rec = TRecorder();
  rec.Attach(fetch);
  Fetch(fetch, "/redirect/20/body/1026?style=rel&id=r20");
  EXPECT_EQ(rec.events, std::vector<std::string>{"done-file"});
  EXPECT_EQ(ReadWholeFile(target), PatternBody(1026));
  EXPECT_EQ(testserver::Requests("id=r20").size(), 21u);
  // One more and the download fails without touching the target.
  WriteWholeFile(target, "old");
  Fetch(fetch, "/redirect/21/body/1026?id=r21");
  EXPECT_EQ(rec.events, (std::vector<std::string>{"done-file", "error"}));
  EXPECT_EQ(testserver::Requests("id=r21").size(), 21u);
  EXPECT_EQ(ReadWholeFile(target), "old");
}

TEST_F(HTTPFetchComponent, ARedirectOutOfHttpOrToNoSaneAddressEndsInOnError) {
  const std::string here = "127.0.0.1:" + testserver::Port();
  const std::vector<std::string> locations = {
      "https://" + here + "/body/10?id=followed-https",
      "http:/body/10?id=followed-noslashes",
      "http://127.0.0.1:99999/body/10",
      "http://user:secret@" + here + "/body/10?id=followed-userinfo",
      "/body/10?id=followed-control\x01",
      "http://" + here + "/body/10?id=followed-long&pad=" + std::string(3000, 'a'),
      "",
  };
  WriteWholeFile(target, "old");
  int n = 0;
  for (const std::string& location : locations) {
    Fetch(fetch, "/redirect-to?location=" + QueryEscaped(location) + "&id=badloc" + std::to_string(n++));
  }
  Fetch(fetch, "/redirect-to?id=nolocation");
  Fetch(fetch, "/body/10?status=302&id=nolocation2");
  EXPECT_EQ(rec.events, std::vector<std::string>(locations.size() + 2, "error"));
  EXPECT_EQ(testserver::Requests("/body/10?id=followed").size(), 0u) << "a refused Location was asked for";
  EXPECT_EQ(ReadWholeFile(target), "old");
}

TEST_F(HTTPFetchComponent, WithoutContentLengthBinaryDataDecidesWhetherTheBodyIsStored) {
  WriteWholeFile(target, "old contents");
  fetch.BinaryData = true;
  Fetch(fetch, "/body/3000?nolength=1&id=nolen1");
  EXPECT_EQ(rec.events, std::vector<std::string>{"error"});
  EXPECT_TRUE(rec.progress.empty());
  EXPECT_EQ(ReadWholeFile(target), "old contents");

  fetch.BinaryData = false;
  Fetch(fetch, "/body/3000?nolength=1&id=nolen2");
  // Stored, but with no size to hold it against, a non-empty body counts as a failure.
  EXPECT_EQ(rec.events, (std::vector<std::string>{"error", "error"}));
  EXPECT_EQ(ReadWholeFile(target), PatternBody(3000));
  ASSERT_FALSE(rec.progress.empty());
  EXPECT_EQ(rec.progress.back().TotalSize, 0);
  EXPECT_EQ(rec.progress.back().Readed, 3000);
}

TEST_F(HTTPFetchComponent, FailuresEndInOnErrorWithTheComponentAsSender) {
  // A body cut short by the server: the part that came stays.
  Fetch(fetch, "/body/3000?length=5000&id=short");
  EXPECT_EQ(ReadWholeFile(target), PatternBody(3000));
  // An error page, a refused connection and replies that are not HTTP leave the target alone.
  WriteWholeFile(target, "old");
  Fetch(fetch, "/body/100?status=404&id=e404");
  EXPECT_EQ(testserver::Requests("id=e404").size(), 1u);
  Fetch(fetch, "/badheaders?id=badheaders");
  fetch.BinaryData = true;  // else a reply without a size is stored, as any unsized body
  Fetch(fetch, "/garbage?id=garbage");
  fetch.URL = "http://127.0.0.1:" + testserver::DeadPort() + "/x";
  fetch.DownloadToFile();
  ASSERT_TRUE(PumpUntil([&] { return !fetch.Busy(); }));
  EXPECT_EQ(rec.events, std::vector<std::string>(5, "error"));
  EXPECT_EQ(rec.doneSender, &fetch);
  EXPECT_EQ(ReadWholeFile(target), "old");
}

TEST_F(HTTPFetchComponent, ASilentServerEndsInOnErrorWithinTheTimeOut) {
  // Silent before the reply, and silent after the headers; both at once.
  THTTPFetch second(nullptr);
  TRecorder secondRec;
  secondRec.Attach(second);
  second.FileName = dir.File("second.bin");
  second.URL = testserver::Url("/body/5000?hold=300000&id=hold");
  fetch.URL = testserver::Url("/stall?ms=300000&id=stall");
  const auto started = std::chrono::steady_clock::now();
  fetch.DownloadToFile();
  second.DownloadToFile();
  ASSERT_TRUE(PumpUntil([&] { return !fetch.Busy() && !second.Busy(); }, std::chrono::seconds(100)));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
  EXPECT_EQ(rec.events, std::vector<std::string>{"error"});
  EXPECT_EQ(secondRec.events, std::vector<std::string>{"error"});
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
  auto* worker = new THTTPFetchThread("*/*", "Larkspan HTTPFetch", testserver::Url("/body/3000?id=string"), "", "", "",
                                      "", "", false, false, nullptr, false);
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
