// The test server that run_with_server.sh starts beside a Windows test program.
#pragma once
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace testserver {

inline std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// A path of the host as the program sees it through Wine's drive Z:.
inline std::string HostPath(const std::string& unixPath) {
  std::string p = "Z:" + unixPath;
  for (char& c : p) {
    if (c == '/') c = '\\';
  }
  return p;
}

inline bool Available() { return !Env("MB_TEST_PORT").empty(); }
inline std::string Port() { return Env("MB_TEST_PORT"); }
inline std::string DeadPort() { return Env("MB_TEST_DEAD_PORT"); }
inline std::string Root() { return HostPath(Env("MB_TEST_ROOT")); }

// A URL on the server; every test tags its requests so it finds them in the log.
inline std::string Url(const std::string& pathAndQuery) { return "http://127.0.0.1:" + Port() + pathAndQuery; }

// The logged requests (one JSON text each) whose line contains the tag.
inline std::vector<std::string> Requests(const std::string& tag) {
  std::vector<std::string> found;
  std::ifstream in(HostPath(Env("MB_TEST_LOG")));
  std::string line;
  while (std::getline(in, line)) {
    const size_t end = line.find("\", \"method\"");
    if (end != std::string::npos && line.substr(0, end).find(tag) != std::string::npos) found.push_back(line);
  }
  return found;
}

}  // namespace testserver
