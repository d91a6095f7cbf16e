// Times transfers of one URL with the download component: a run with a progress handler (as
// the update client uses it) and one without. Prints one line per run: mode, bytes, seconds.
#include <windows.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include "download/httpfetch.h"

namespace {

double FetchOnce(const std::string& url, const std::string& target, bool withProgress, int32_t& bytes) {
  THTTPFetch fetch(nullptr);
  fetch.URL = url;
  fetch.FileName = target;
  int64_t reports = 0;
  if (withProgress) fetch.OnProgress = [&](TObject*, int32_t, int32_t) { ++reports; };
  bool ok = false;
  bytes = 0;
  fetch.OnDoneFile = [&](TObject*, const std::string&, int32_t size) {
    ok = true;
    bytes = size;
  };
  const auto start = std::chrono::steady_clock::now();
  fetch.DownloadToFile();
  // An ordinary message loop: sleeps until the worker sends its next call.
  while (fetch.Busy()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!ok) {
    std::fprintf(stderr, "transfer failed\n");
    std::exit(1);
  }
  if (withProgress && reports < bytes / 1025) {
    std::fprintf(stderr, "only %lld progress reports\n", static_cast<long long>(reports));
    std::exit(1);
  }
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: fetch_bench URL TARGET RUNS\n");
    return 2;
  }
  const int runs = std::atoi(argv[3]);
  for (bool withProgress : {true, false}) {
    for (int i = 0; i < runs; ++i) {
      int32_t bytes = 0;
      const double s = FetchOnce(argv[1], argv[2], withProgress, bytes);
      std::printf("%s %d %.4f\n", withProgress ? "progress" : "noprogress", bytes, s);
      std::fflush(stdout);
    }
  }
  return 0;
}
