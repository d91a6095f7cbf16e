#include <gtest/gtest.h>
#include "download/wininet_transport.h"
#include "tests/download/fetch_harness.h"
#include "tests/download/test_server.h"

namespace {

TTransportFactory WinInet() {
  return [] { return std::make_unique<TWinInetTransport>(); };
}

class WinInetTransfer : public ::testing::Test {
protected:
  void SetUp() override {
    if (!testserver::Available()) GTEST_SKIP() << "needs the test server (run_with_server.sh)";
    log.Attach(fetch, main);
    fetch.FileName = target;
  }
  void TearDown() override { EXPECT_TRUE(main.ServeUntil([] { return LiveTestWorkers == 0; })); }
  void Get(const std::string& path) {
    fetch.URL = testserver::Url(path);
    fetch.DownloadToFile();
    ASSERT_TRUE(main.ServeUntil([&] { return !fetch.Busy(); }, std::chrono::seconds(40)));
  }

  TTestMainThread main;
  TScratchDir dir;
  TTestFetch fetch{main, WinInet()};
  TEventLog log;
  std::string target = dir.File("target.bin");
};

TEST_F(WinInetTransfer, BodiesArriveByteIdenticalInChunksOfAtMost1025) {
  for (size_t n : {size_t{0}, size_t{1}, size_t{1025}, size_t{1026}, size_t{5000000}}) {
    log = TEventLog();
    log.Attach(fetch, main);
    Get("/body/" + std::to_string(n) + "?id=sizes");
    EXPECT_EQ(log.events, std::vector<std::string>{"done-file"}) << n;
    EXPECT_EQ(log.doneSize, static_cast<int32_t>(n));
    const auto got = ReadWholeFile(target);
    ASSERT_TRUE(got) << n;
    EXPECT_TRUE(*got == PatternBody(n)) << n << " bytes: the file differs (" << got->size() << " bytes)";
    int32_t before = 0;
    for (const auto& p : log.progress) {
      EXPECT_GT(p.Readed, before);
      EXPECT_LE(p.Readed - before, 1025);
      EXPECT_EQ(p.TotalSize, static_cast<int32_t>(n));
      EXPECT_TRUE(p.onMain);
      before = p.Readed;
    }
    EXPECT_EQ(before, static_cast<int32_t>(n));
  }
}

TEST_F(WinInetTransfer, WithoutContentLengthBinaryDataDecidesWhetherTheBodyIsStored) {
  WriteWholeFile(target, "old contents");
  fetch.BinaryData = true;
  Get("/body/3000?nolength=1&id=nolen1");
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  EXPECT_EQ(ReadWholeFile(target), "old contents");

  fetch.BinaryData = false;
  log = TEventLog();
  log.Attach(fetch, main);
  Get("/body/3000?nolength=1&id=nolen2");
  // Stored, but with no size to compare against a non-empty body counts as a failure.
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  EXPECT_EQ(ReadWholeFile(target), PatternBody(3000));
  ASSERT_FALSE(log.progress.empty());
  EXPECT_EQ(log.progress.back().TotalSize, 0);
}

TEST_F(WinInetTransfer, ABodyCutShortByTheServerFailsAndKeepsThePartialFile) {
  Get("/body/3000?length=5000&id=short");
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  EXPECT_EQ(ReadWholeFile(target), PatternBody(3000));
}

TEST_F(WinInetTransfer, AnErrorStatusFailsAndLeavesTheTargetAlone) {
  WriteWholeFile(target, "old");
  Get("/body/500?status=404&id=404");
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  EXPECT_EQ(ReadWholeFile(target), "old");
  EXPECT_EQ(testserver::Requests("id=404").size(), 1u);
}

TEST_F(WinInetTransfer, ARefusedConnectionFails) {
  fetch.URL = "http://127.0.0.1:" + testserver::DeadPort() + "/body/10";
  fetch.DownloadToFile();
  ASSERT_TRUE(main.ServeUntil([&] { return !fetch.Busy(); }, std::chrono::seconds(40)));
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  EXPECT_FALSE(ReadWholeFile(target));
}

TEST_F(WinInetTransfer, CancelDuringASlowTransferKeepsThePartialFile) {
  const size_t total = 400 * 1025;
  int32_t readedAtCancel = 0;
  fetch.OnProgress = [&](void*, int32_t, int32_t readed) {
    if (readed >= 3 * 1025 && readedAtCancel == 0) {
      readedAtCancel = readed;
      fetch.CancelDownload();
    }
  };
  const auto started = std::chrono::steady_clock::now();
  Get("/body/" + std::to_string(total) + "?chunk=1025&delay=10&id=slow");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3)) << "the cancel did not stop the transfer";
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  const auto got = ReadWholeFile(target);
  ASSERT_TRUE(got);
  EXPECT_EQ(got->size(), static_cast<size_t>(readedAtCancel));
  EXPECT_EQ(*got, PatternBody(total).substr(0, got->size()));
}

TEST_F(WinInetTransfer, TheServerSeesTheAgentAcceptAndHttp10) {
  Get("/body/10?id=shape");
  const auto requests = testserver::Requests("id=shape");
  ASSERT_EQ(requests.size(), 1u);
  const std::string& r = requests[0];
  EXPECT_NE(r.find(R"("line": "GET /body/10?id=shape HTTP/1.0")"), std::string::npos) << r;
  EXPECT_NE(r.find(R"(["User-Agent", "Larkspan HTTPFetch"])"), std::string::npos) << r;
  EXPECT_NE(r.find(R"(["Accept", "*/*"])"), std::string::npos) << r;
  EXPECT_EQ(r.find("Referer"), std::string::npos) << "an empty referrer sends none: " << r;
  EXPECT_EQ(r.find("Authorization"), std::string::npos) << r;
}

TEST_F(WinInetTransfer, APostCarriesItsBodyAndTheFormHeader) {
  fetch.PostQuery = "name=a%20b&x=1";
  fetch.Agent = "";
  fetch.AcceptTypes = "text/plain";
  Get("/body/3?id=post");
  EXPECT_EQ(log.events, std::vector<std::string>{"done-file"});
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

TEST_F(WinInetTransfer, BrokenRepliesEndInAnError) {
  for (const char* path : {"/garbage?id=g", "/badheaders?id=b", "/stall?ms=200&id=s"}) {
    log = TEventLog();
    log.Attach(fetch, main);
    Get(path);
    EXPECT_EQ(log.events, std::vector<std::string>{"error"}) << path;
  }
}

TEST_F(WinInetTransfer, ASilentServerEndsInAnErrorWithinTheTimeOut) {
  // Silent before the reply, and silent in the middle of the body; both at once.
  TTestFetch second(main, WinInet());
  TEventLog secondLog;
  secondLog.Attach(second, main);
  second.FileName = dir.File("second.bin");
  second.URL = testserver::Url("/body/5000?chunk=1000&delay=0&hold=300000&id=hold");
  fetch.URL = testserver::Url("/stall?ms=300000&id=stall");
  const auto started = std::chrono::steady_clock::now();
  fetch.DownloadToFile();
  second.DownloadToFile();
  ASSERT_TRUE(main.ServeUntil([&] { return !fetch.Busy() && !second.Busy(); }, std::chrono::seconds(100)));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  EXPECT_EQ(secondLog.events, std::vector<std::string>{"error"});
}

}  // namespace
