#include <gtest/gtest.h>
#include "tests/download/fake_transport.h"
#include "tests/download/fetch_harness.h"

namespace {

TEST(FetchUrl, DropsTheSchemeInAnyCaseAndSplitsAtTheFirstSlash) {
  using P = std::pair<std::string, std::string>;
  EXPECT_EQ(SplitUrl("HTTP://h/a/b"), P("h", "/a/b"));
  EXPECT_EQ(SplitUrl("hTtP://h/a/b?x=/y"), P("h", "/a/b?x=/y"));
  EXPECT_EQ(SplitUrl("h/a/b"), P("h", "/a/b"));
  EXPECT_EQ(SplitUrl("http://h/"), P("h", "/"));
  // No slash: the host is empty and the rest is the path.
  EXPECT_EQ(SplitUrl("http://h"), P("", "h"));
  EXPECT_EQ(SplitUrl(""), P("", ""));
  // No other scheme is known.
  EXPECT_EQ(SplitUrl("https://h/x"), P("https:", "//h/x"));
  EXPECT_EQ(SplitUrl("http://h:8080/x"), P("h:8080", "/x"));
}

TEST(FetchUrl, APortAfterTheHostIsHonouredAndAMalformedOneRefused) {
  std::string name;
  uint16_t port = 0;
  ASSERT_TRUE(SplitHostPort("h", name, port));
  EXPECT_EQ(name, "h");
  EXPECT_EQ(port, 80);
  ASSERT_TRUE(SplitHostPort("127.0.0.1:8080", name, port));
  EXPECT_EQ(name, "127.0.0.1");
  EXPECT_EQ(port, 8080);
  ASSERT_TRUE(SplitHostPort("h:65535", name, port));
  EXPECT_EQ(port, 65535);
  for (const char* bad : {"h:", "h:0", "h:65536", "h:8a", "h:-1", "h:123456", "h:80:80"}) {
    EXPECT_FALSE(SplitHostPort(bad, name, port)) << bad;
  }
}

TEST(FetchSize, OnlyA32BitDecimalIsASize) {
  EXPECT_EQ(ContentLengthValue("0"), 0);
  EXPECT_EQ(ContentLengthValue("5000000"), 5000000);
  EXPECT_EQ(ContentLengthValue("2147483647"), 2147483647);
  for (const char* bad : {"", "abc", "12 ", " 12", "0x10", "2147483648", "99999999999999999999", "-"}) {
    EXPECT_THROW(ContentLengthValue(bad), std::exception) << bad;
  }
}

THttpTarget Target(const std::string& host, uint16_t port, const std::string& path) {
  THttpTarget t;
  t.Host = host;
  t.Port = port;
  t.Path = path;
  return t;
}

std::string Shown(const THttpTarget& t) { return t.Host + ":" + std::to_string(t.Port) + t.Path; }

TEST(FetchRedirect, ALocationResolvesAgainstTheRequestItAnswered) {
  const THttpTarget from = Target("files.example", 8080, "/dl/a/b.zip?x=/y/z");
  const std::pair<const char*, const char*> table[] = {
      // Absolute URLs, any case of the scheme, with and without a port or path.
      {"http://other.example/x/y?q=1", "other.example:80/x/y?q=1"},
      {"HTTP://Other-Host_1.example:81/x", "Other-Host_1.example:81/x"},
      {"http://127.0.0.1:65535", "127.0.0.1:65535/"},
      {"http://h?q", "h:80/?q"},
      {"http://h/a/./b/../c#frag", "h:80/a/c"},
      // Without a scheme: the same scheme, another host.
      {"//cdn.example/f.zip", "cdn.example:80/f.zip"},
      // Absolute paths keep host and port.
      {"/other/path", "files.example:8080/other/path"},
      {"/a/../../b?v=../c", "files.example:8080/b?v=../c"},
      // Relative references go from the folder of the path, never from its query.
      {"c.zip", "files.example:8080/dl/a/c.zip"},
      {"./c.zip?v=2", "files.example:8080/dl/a/c.zip?v=2"},
      {"../c.zip", "files.example:8080/dl/c.zip"},
      {"../../../../c.zip", "files.example:8080/c.zip"},
      {"sub/", "files.example:8080/dl/a/sub/"},
      {"..", "files.example:8080/dl/"},
      {"?v=3", "files.example:8080/dl/a/b.zip?v=3"},
      {"#top", "files.example:8080/dl/a/b.zip?x=/y/z"},
      {"name:with/colon-is-a-scheme-of-its-own/../x", nullptr},
  };
  for (const auto& [location, expected] : table) {
    THttpTarget to = Target("unchanged", 1, "/unchanged");
    const bool ok = ResolveRedirect(from, location, to);
    if (!expected) {
      EXPECT_FALSE(ok) << location;
      continue;
    }
    ASSERT_TRUE(ok) << location;
    EXPECT_EQ(Shown(to), expected) << location;
  }
}

TEST(FetchRedirect, ALocationOutOfHttpOrWithoutASaneAddressLeadsNowhere) {
  const THttpTarget from = Target("h", 80, "/a");
  const std::string refused[] = {
      "",
      "https://h/x",
      "file:///c:/windows/win.ini",
      "javascript:alert(1)",
      "http:/x",
      "http:///x",
      "//",
      "http://h:0/x",
      "http://h:65536/x",
      "http://h:8o/x",
      "http://user:pw@h/x",
      "http://h@evil/x",
      "http://[::1]/x",
      "http://bad%20host/x",
      "/line\r\nSet-Cookie: x",
      std::string("/nul\0x", 6),
      "/caf\xc3\xa9",
      "/a\\b",
      "http://h/" + std::string(FetchMaxLocationLength - 8, 'a') + "x",
  };

  for (const std::string& location : refused) {
    THttpTarget to = Target("unchanged", 1, "/unchanged");
    EXPECT_FALSE(ResolveRedirect(from, location, to)) << location;
    EXPECT_EQ(Shown(to), "unchanged:1/unchanged") << location;
  }
  // The longest one followed.
  THttpTarget to;
  const std::string longest = "http://h/" + std::string(FetchMaxLocationLength - 9, 'a');
  ASSERT_EQ(longest.size(), FetchMaxLocationLength);
  EXPECT_TRUE(ResolveRedirect(from, longest, to));
}

// One component against a scripted exchange, served by this thread as its main thread.
class FetchRules : public ::testing::Test {
protected:
  void SetUp() override { AppExceptions.clear(); }
  void TearDown() override {
    EXPECT_TRUE(main.ServeUntil([] { return LiveTestWorkers == 0; })) << "a worker did not free itself";
  }
  void Run(TTestFetch& f) {
    f.DownloadToFile();
    ASSERT_TRUE(main.ServeUntil([&] { return !f.Busy(); }));
  }
  void Run() { Run(fetch); }

  TTestMainThread main;
  TFakeExchange x;
  TScratchDir dir;
  TTestFetch fetch{main, FakeFactory(x)};
  TEventLog log;
  std::string target = dir.File("target.bin");

  void SetUpFetch() {
    log.Attach(fetch, main);
    fetch.URL = "http://127.0.0.1/files/a.zip";
    fetch.FileName = target;
  }
};

TEST_F(FetchRules, ABodyArrivesInChunksOf1025WithOneProgressReportEachOnTheMainThread) {
  SetUpFetch();
  x.body = PatternBody(3000);
  x.contentLength = "3000";
  Run();
  ASSERT_EQ(log.progress.size(), 3u);
  const int32_t expected[] = {1025, 2050, 3000};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(log.progress[i].Readed, expected[i]);
    EXPECT_EQ(log.progress[i].TotalSize, 3000);
    EXPECT_TRUE(log.progress[i].onMain);
    // The worker reports, not the component.
    EXPECT_NE(log.progress[i].Sender, static_cast<void*>(&fetch));
    EXPECT_NE(log.progress[i].Sender, nullptr);
  }
  for (uint32_t asked : x.readSizes) EXPECT_EQ(asked, FetchChunkSize);
  EXPECT_EQ(log.events, std::vector<std::string>{"done-file"});
  EXPECT_EQ(log.doneName, target);
  EXPECT_EQ(log.doneSize, 3000);
  EXPECT_TRUE(log.busyInHandler) << "the component must stay busy until the handler returns";
  EXPECT_EQ(ReadWholeFile(target), x.body);
  EXPECT_EQ(x.closes, 1);
}

TEST_F(FetchRules, ShortReadsAreReportedAsTheyCome) {
  SetUpFetch();
  x.body = PatternBody(2000);
  x.contentLength = "2000";
  x.readLimit = 700;
  Run();
  ASSERT_EQ(log.progress.size(), 3u);
  EXPECT_EQ(log.progress[0].Readed, 700);
  EXPECT_EQ(log.progress[1].Readed, 1400);
  EXPECT_EQ(log.progress[2].Readed, 2000);
  EXPECT_EQ(log.events, std::vector<std::string>{"done-file"});
  EXPECT_EQ(ReadWholeFile(target), x.body);
}

TEST_F(FetchRules, ABodyOfAnotherLengthThanAnnouncedFailsAndKeepsWhatWasRead) {
  SetUpFetch();
  x.body = PatternBody(1500);
  x.contentLength = "2000";
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  EXPECT_EQ(ReadWholeFile(target), x.body);

  TEventLog longer;
  TTestFetch second(main, FakeFactory(x));
  longer.Attach(second, main);
  second.URL = fetch.URL;
  second.FileName = dir.File("longer.bin");
  x.body = PatternBody(2100);
  Run(second);
  EXPECT_EQ(longer.events, std::vector<std::string>{"error"});
  EXPECT_EQ(ReadWholeFile(second.FileName), x.body);
}

TEST_F(FetchRules, WithoutASizeBinaryDataFailsAndLeavesTheTargetAlone) {
  SetUpFetch();
  WriteWholeFile(target, "old contents");
  fetch.BinaryData = true;
  x.body = PatternBody(100);
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  EXPECT_TRUE(log.progress.empty());
  EXPECT_EQ(ReadWholeFile(target), "old contents");
  EXPECT_TRUE(x.readSizes.empty());
}

TEST_F(FetchRules, WithoutASizeAndWithoutBinaryDataOnlyAnEmptyBodySucceeds) {
  SetUpFetch();
  x.body = PatternBody(100);
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  EXPECT_EQ(ReadWholeFile(target), x.body) << "the body is stored all the same";
  ASSERT_EQ(log.progress.size(), 1u);
  EXPECT_EQ(log.progress[0].TotalSize, 0);

  x.body.clear();
  log = TEventLog();
  log.Attach(fetch, main);
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"done-file"});
  EXPECT_EQ(log.doneSize, 0);
  EXPECT_EQ(ReadWholeFile(target), "");
}

TEST_F(FetchRules, ASizeThatIsNotANumberFailsBeforeTheTargetIsTouched) {
  SetUpFetch();
  WriteWholeFile(target, "old");
  x.contentLength = "12abc";
  x.body = "abcdefghijkl";
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  EXPECT_EQ(ReadWholeFile(target), "old");
  EXPECT_EQ(x.closes, 1);
}

TEST_F(FetchRules, AFailedReadEndsTheBodyAndTheTransferFails) {
  SetUpFetch();
  x.body = PatternBody(3000);
  x.contentLength = "3000";
  x.failReadAt = 2050;
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  EXPECT_EQ(ReadWholeFile(target), x.body.substr(0, 2050));
}

TEST_F(FetchRules, OnlyA2xxStatusIsADownload) {
  SetUpFetch();
  WriteWholeFile(target, "old");
  x.status = 404;
  x.contentLength = "9";
  x.body = "Not found";
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  EXPECT_EQ(ReadWholeFile(target), "old") << "an error page must not replace the target";

  for (uint32_t status : {199u, 300u, 500u}) {
    x.status = status;
    log.events.clear();
    Run();
    EXPECT_EQ(log.events, std::vector<std::string>{"error"}) << status;
  }
  x.statusFails = true;
  x.status = 200;
  log.events.clear();
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"error"}) << "an unreadable status";

  x.statusFails = false;
  x.status = 299;
  log.events.clear();
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"done-file"});
  EXPECT_EQ(ReadWholeFile(target), "Not found");
}

TEST_F(FetchRules, AFailedSendFailsAtOnceEvenWithoutBinaryData) {
  SetUpFetch();
  WriteWholeFile(target, "old");
  x.sendFails = true;
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  EXPECT_FALSE(x.queriedAfterFailedSend);
  EXPECT_EQ(ReadWholeFile(target), "old");
  EXPECT_EQ(x.closes, 1) << "whatever was opened is closed";
}

TEST_F(FetchRules, AMalformedPortFailsWithoutARequest) {
  SetUpFetch();
  fetch.URL = "http://127.0.0.1:http/a";
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  EXPECT_TRUE(x.requests.empty());
}

TEST_F(FetchRules, TheRequestCarriesTheComponentsSettings) {
  SetUpFetch();
  fetch.URL = "HTTP://files.example:8123/dl/a.zip?v=2";
  fetch.Referer = "http://ref/";
  fetch.AcceptTypes = "application/zip";
  x.contentLength = "0";
  Run();
  ASSERT_EQ(x.requests.size(), 1u);
  const THttpRequest& r = x.requests[0];
  EXPECT_TRUE(r.HasAgent);
  EXPECT_EQ(r.Agent, "Larkspan HTTPFetch");
  EXPECT_EQ(r.Host, "files.example");
  EXPECT_EQ(r.Port, 8123);
  EXPECT_EQ(r.Verb, "GET");
  EXPECT_EQ(r.Path, "/dl/a.zip?v=2");
  EXPECT_EQ(r.Version, "HTTP/1.0");
  EXPECT_EQ(r.Referer, "http://ref/");
  EXPECT_EQ(r.Accept, "application/zip");
  EXPECT_TRUE(r.Reload) << "UseCache is off";
  EXPECT_EQ(r.Headers, "");
  EXPECT_EQ(r.Body, "");
  EXPECT_EQ(r.UserName, "");
  EXPECT_EQ(r.Password, "");

  fetch.Agent.clear();
  fetch.UseCache = true;
  fetch.PostQuery = "a=1&b=%20";
  fetch.UserName = "u";
  fetch.Password = "p";
  Run();
  ASSERT_EQ(x.requests.size(), 2u);
  const THttpRequest& p = x.requests[1];
  EXPECT_FALSE(p.HasAgent);
  EXPECT_FALSE(p.Reload);
  EXPECT_EQ(p.Verb, "POST");
  EXPECT_EQ(p.Headers, "Content-Type: application/x-www-form-urlencoded");
  EXPECT_EQ(p.Headers.size(), 47u);
  EXPECT_EQ(p.Body, "a=1&b=%20");
  EXPECT_EQ(p.UserName, "u");
  EXPECT_EQ(p.Password, "p");
}

TEST_F(FetchRules, StringModeCollectsTheBodyAndNeedsAtLeastOneByte) {
  SetUpFetch();
  fetch.ToFile = false;
  x.body = std::string("a\0b", 3) + PatternBody(2000);
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"done-string"});
  EXPECT_EQ(log.doneString, x.body);
  EXPECT_FALSE(ReadWholeFile(target)) << "string mode writes no file";

  x.body.clear();
  log.events.clear();
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
}

TEST_F(FetchRules, RedirectsAreFollowedUpToTwentyWithTheSettingsOfTheFirstRequest) {
  SetUpFetch();
  fetch.URL = "http://files.example:8123/dl/a.zip?v=1";
  fetch.Referer = "http://ref/";
  fetch.AcceptTypes = "application/zip";
  const char* locations[] = {"/moved/a.zip", "b.zip?v=2", "http://mirror.example/m/c.zip", "//m2.example:81/d.zip"};
  const uint32_t codes[] = {301, 302, 303, 307, 308};
  for (int i = 0; i < FetchMaxRedirects; ++i) x.redirects.push_back({codes[i % 5], locations[i % 4]});
  x.body = PatternBody(3000);
  x.contentLength = "3000";
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"done-file"});
  EXPECT_EQ(ReadWholeFile(target), x.body);
  ASSERT_EQ(x.requests.size(), 21u);
  // Each hop goes where its Location leads from the hop before.
  EXPECT_EQ(Shown(Target(x.requests[2].Host, x.requests[2].Port, x.requests[2].Path)),
            "files.example:8123/moved/b.zip?v=2");
  EXPECT_EQ(Shown(Target(x.requests[4].Host, x.requests[4].Port, x.requests[4].Path)), "m2.example:81/d.zip");
  for (const THttpRequest& r : x.requests) {
    EXPECT_EQ(r.Verb, "GET");
    EXPECT_EQ(r.Version, "HTTP/1.0");
    EXPECT_EQ(r.Referer, "http://ref/");
    EXPECT_EQ(r.Accept, "application/zip");
    EXPECT_EQ(r.Agent, "Larkspan HTTPFetch");
    EXPECT_TRUE(r.Reload);
  }
  // Each hop's handles are closed before the next request; the last ones at the end.
  EXPECT_FALSE(x.sentOnOpenHandles);
  EXPECT_EQ(x.closes, 21);
}

TEST_F(FetchRules, TheTwentyFirstRedirectFailsWithoutTouchingTheTarget) {
  SetUpFetch();
  WriteWholeFile(target, "old");
  x.redirects.assign(FetchMaxRedirects + 1, TFakeRedirect{302, std::string("/again")});
  x.contentLength = "5";
  x.body = "hello";
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  EXPECT_EQ(x.requests.size(), 21u) << "the first request and 20 redirects";
  EXPECT_EQ(x.locationQueries, 20) << "the last redirect is not even read";
  EXPECT_TRUE(x.readSizes.empty());
  EXPECT_TRUE(log.progress.empty());
  EXPECT_EQ(ReadWholeFile(target), "old");
}

TEST_F(FetchRules, ACancelBetweenRedirectsStopsBeforeTheNextRequest) {
  SetUpFetch();
  x.redirects.assign(100, TFakeRedirect{302, std::string("/again")});
  x.beforeSend = [&](size_t request) {
    if (request == 3) fetch.CancelDownload();  // while the fourth request is on its way
  };
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  EXPECT_EQ(x.requests.size(), 4u) << "the stop flag is tested after every request";
  EXPECT_EQ(x.locationQueries, 3);
}

TEST_F(FetchRules, TheUserNameAndPasswordGoOnlyToTheHostAndPortOfTheUrl) {
  SetUpFetch();
  fetch.URL = "http://Files.Example/a";
  fetch.UserName = "u";
  fetch.Password = "p";
  x.redirects = {{302, std::string("http://files.example:80/b")},
                 {302, std::string("http://files.example:8080/c")},
                 {302, std::string("http://mirror.example/d")},
                 {302, std::string("http://FILES.example/e")}};
  x.contentLength = "0";
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"done-file"});
  ASSERT_EQ(x.requests.size(), 5u);
  const bool withCredentials[] = {true, true, false, false, true};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(x.requests[i].UserName, withCredentials[i] ? "u" : "") << i;
    EXPECT_EQ(x.requests[i].Password, withCredentials[i] ? "p" : "") << i;
  }
}

// A post is never redirected: its form goes, and a GET in its place goes, nowhere the caller
// named. Other 3xx answers are neither downloads nor redirects.
TEST_F(FetchRules, RedirectsOfAPostAndOtherThreeHundredsFailWithoutAnotherRequest) {
  SetUpFetch();
  x.contentLength = "5";
  x.body = "hello";
  const struct {
    bool post;
    uint32_t code;
  } cases[] = {{true, 301},  {true, 302},  {true, 303},  {true, 307}, {true, 308},
               {false, 300}, {false, 304}, {false, 305}, {false, 306}};
  for (const auto& c : cases) {
    fetch.PostQuery = c.post ? "a=1" : "";
    x.redirects = {TFakeRedirect{c.code, std::string("/elsewhere")}};
    x.requests.clear();
    log.events.clear();
    Run();
    EXPECT_EQ(log.events, std::vector<std::string>{"error"}) << c.code;
    ASSERT_EQ(x.requests.size(), 1u) << c.code;
    EXPECT_EQ(x.requests[0].Verb, c.post ? "POST" : "GET");
  }
  EXPECT_EQ(x.locationQueries, 0);
}

TEST_F(FetchRules, ASecondStartWhileBusyIsIgnored) {
  SetUpFetch();
  x.body = PatternBody(3000);
  x.contentLength = "3000";
  bool restarted = false;
  fetch.OnProgress = [&](void*, int32_t, int32_t readed) {
    if (readed == 1025) {
      fetch.URL = "http://other/x";
      fetch.DownloadToFile();
      restarted = true;
    }
    log.progress.push_back({nullptr, 0, readed, true});
  };
  Run();
  EXPECT_TRUE(restarted);
  EXPECT_EQ(x.requests.size(), 1u);
  EXPECT_EQ(log.progress.size(), 3u) << "the running transfer goes on untouched";
  EXPECT_EQ(log.events, std::vector<std::string>{"done-file"});
  EXPECT_EQ(ReadWholeFile(target), x.body);
}

TEST_F(FetchRules, AStartFromTheOwnDoneHandlerIsIgnoredButAnotherComponentRuns) {
  SetUpFetch();
  x.contentLength = "0";
  TTestFetch other(main, FakeFactory(x));
  TEventLog otherLog;
  otherLog.Attach(other, main);
  other.URL = "http://127.0.0.1/second";
  other.FileName = dir.File("second.bin");
  fetch.OnDoneFile = [&](void*, const std::string&, int32_t) {
    log.events.push_back("done-file");
    fetch.DownloadToFile();
    other.DownloadToFile();
  };
  Run();
  ASSERT_TRUE(main.ServeUntil([&] { return !other.Busy(); }));
  EXPECT_EQ(log.events, std::vector<std::string>{"done-file"});
  EXPECT_EQ(otherLog.events, std::vector<std::string>{"done-file"});
  ASSERT_EQ(x.requests.size(), 2u);
  EXPECT_EQ(x.requests[1].Path, "/second");
}

TEST_F(FetchRules, CancelStopsAtTheNextChunkAndKeepsThePartialFile) {
  SetUpFetch();
  x.body = PatternBody(10 * 1025);
  x.contentLength = std::to_string(x.body.size());
  fetch.OnProgress = [&](void*, int32_t, int32_t readed) {
    log.progress.push_back({nullptr, 0, readed, true});
    if (readed == 2050) fetch.CancelDownload();
  };
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  EXPECT_EQ(log.progress.size(), 2u);
  EXPECT_EQ(x.readSizes.size(), 2u) << "no read after the cancel";
  EXPECT_EQ(ReadWholeFile(target), x.body.substr(0, 2050));
  EXPECT_EQ(x.closes, 1);
}

TEST_F(FetchRules, CancelOnAnIdleComponentDoesNothing) {
  SetUpFetch();
  fetch.CancelDownload();
  x.contentLength = "5";
  x.body = "hello";
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"done-file"});
}

TEST_F(FetchRules, ACancelAfterTheFinalReadLosesToTheResult) {
  SetUpFetch();
  x.body = "hello";
  x.contentLength = "5";
  x.beforeRead = [&](size_t offset) {
    if (offset == 5) fetch.CancelDownload();
  };
  Run();
  EXPECT_EQ(log.events, std::vector<std::string>{"done-file"});
}

// A transport that cancels its component while the worker asks for the status.
struct TCancelOnStatus : TFakeTransport {
  TCancelOnStatus(TFakeExchange& e, TTestFetch*& f) : TFakeTransport(e), fetch(f) {}
  bool QueryStatus(uint32_t& code) override {
    fetch->CancelDownload();
    return TFakeTransport::QueryStatus(code);
  }
  TTestFetch*& fetch;
};

TEST_F(FetchRules, ACancelBeforeTheSizeQueryFailsWithoutTouchingTheTarget) {
  WriteWholeFile(target, "old");
  x.contentLength = "5";
  x.body = "hello";
  TTestFetch* self = nullptr;
  TTestFetch cancelling(main, [&] { return std::make_unique<TCancelOnStatus>(x, self); });
  self = &cancelling;
  log.Attach(cancelling, main);
  cancelling.URL = "http://127.0.0.1/a";
  cancelling.FileName = target;
  Run(cancelling);
  EXPECT_EQ(log.events, std::vector<std::string>{"error"});
  EXPECT_EQ(ReadWholeFile(target), "old");
  EXPECT_TRUE(x.readSizes.empty());
}

TEST_F(FetchRules, PropertyChangesDoNotReachARunningTransfer) {
  SetUpFetch();
  x.body = PatternBody(3000);
  x.contentLength = "3000";
  int lateCalls = 0;
  fetch.OnProgress = [&](void*, int32_t, int32_t readed) {
    log.progress.push_back({nullptr, 0, readed, true});
    fetch.OnProgress = [&](void*, int32_t, int32_t) { ++lateCalls; };
    fetch.FileName = dir.File("elsewhere.bin");
  };
  Run();
  EXPECT_EQ(log.progress.size(), 3u);
  EXPECT_EQ(lateCalls, 0);
  EXPECT_EQ(log.doneName, target);
  EXPECT_EQ(ReadWholeFile(target), x.body);
}

TEST_F(FetchRules, AThrowingHandlerLeavesTheComponentIdleAndReachesTheExceptionBox) {
  SetUpFetch();
  x.contentLength = "0";
  fetch.OnDoneFile = [](void*, const std::string&, int32_t) { throw std::runtime_error("handler failed"); };
  Run();
  EXPECT_FALSE(fetch.Busy());
  EXPECT_EQ(AppExceptions, std::vector<std::string>{"handler failed"});

  x.sendFails = true;
  fetch.OnError = [](void*) { throw std::runtime_error("error handler failed"); };
  Run();
  EXPECT_FALSE(fetch.Busy());
  ASSERT_EQ(AppExceptions.size(), 2u);
  EXPECT_EQ(AppExceptions[1], "error handler failed");
  EXPECT_EQ(x.requests.size(), 2u) << "the component started again after the first failure";
}

TEST_F(FetchRules, DestroyingABusyComponentStopsItsWorkerWithoutLaterEvents) {
  x.body = PatternBody(5000);
  x.contentLength = "5000";
  int events = 0;
  int progress = 0;
  auto doomed = std::make_unique<TTestFetch>(main, FakeFactory(x));
  doomed->URL = "http://127.0.0.1/a";
  doomed->FileName = target;
  doomed->OnProgress = [&](void*, int32_t, int32_t) {
    ++progress;
    doomed.reset();  // the component goes away while its worker waits in this report
  };
  doomed->OnDoneFile = [&](void*, const std::string&, int32_t) { ++events; };
  doomed->OnError = [&](void*) { ++events; };
  doomed->DownloadToFile();
  ASSERT_TRUE(main.ServeUntil([] { return LiveTestWorkers == 0; }));
  EXPECT_EQ(progress, 1);
  EXPECT_EQ(events, 0);
  EXPECT_EQ(x.readSizes.size(), 1u) << "the worker stopped at its next test point";
}

TEST_F(FetchRules, AHandlerMayDestroyItsOwnComponent) {
  x.contentLength = "0";
  auto owned = std::make_unique<TTestFetch>(main, FakeFactory(x));
  owned->URL = "http://127.0.0.1/a";
  owned->FileName = target;
  bool ran = false;
  owned->OnDoneFile = [&](void*, const std::string&, int32_t) {
    ran = true;
    owned.reset();
  };
  owned->DownloadToFile();
  ASSERT_TRUE(main.ServeUntil([&] { return ran && LiveTestWorkers == 0; }));
  EXPECT_FALSE(owned);
}

TEST_F(FetchRules, WaitThreadReturnsOnlyAfterTheEndEventWithProgressMeanwhile) {
  SetUpFetch();
  x.body = PatternBody(4000);
  x.contentLength = "4000";
  fetch.WaitThread = true;
  fetch.DownloadToFile();
  EXPECT_FALSE(fetch.Busy());
  EXPECT_EQ(log.progress.size(), 4u);
  EXPECT_EQ(log.events, std::vector<std::string>{"done-file"});
}

}  // namespace
