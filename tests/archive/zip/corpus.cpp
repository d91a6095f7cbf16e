#include "tests/archive/zip/corpus.h"
#ifndef MB_ZIP_CORPUS
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>
#endif

#ifdef MB_ZIP_CORPUS
const std::string& CorpusFolder() {
  static const std::string folder = MB_ZIP_CORPUS;
  return folder;
}
#else
// Every test case runs as a process of its own: the first one makes the corpus under a
// lock folder, the others wait for its done mark. A changed script makes it anew.
const std::string& CorpusFolder() {
  static const std::string folder = [] {
    namespace fs = std::filesystem;
    const fs::path dir = MB_ZIP_CORPUS_DIR, done = dir / "done", lock = fs::path(MB_ZIP_CORPUS_DIR ".lock");
    auto fresh = [&] {
      std::error_code ec;
      return fs::exists(done, ec) && fs::last_write_time(done, ec) >= fs::last_write_time(MB_ZIP_SCRIPT, ec);
    };
    for (int waited = 0; !fresh(); ++waited) {
      std::error_code ec;
      if (fs::create_directory(lock, ec)) {
        const std::string cmd =
            "bash '" MB_ZIP_SCRIPT "' '" + dir.string() + "' >/dev/null 2>&1 && touch '" + done.string() + "'";
        const int rc = std::system(cmd.c_str());
        fs::remove(lock, ec);
        if (rc != 0) throw std::runtime_error("corpus script failed: " + cmd);
        break;
      }
      if (waited > 1200) throw std::runtime_error("corpus lock stuck: " + lock.string());
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::string s = dir.string();
    for (char& c : s)
      if (c == '/') c = '\\';
    return s;
  }();
  return folder;
}
#endif
