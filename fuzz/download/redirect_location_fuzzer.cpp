// A Location header from the input, resolved against a request of the first input line (its
// path) on a fixed host. Whatever is followed must be a request this component can make: a
// plain host, a port, a path from "/" with no blank, control or non-ASCII byte, and written
// out as an http URL (short enough to be followed) it must lead to itself again.
#include <cstdint>
#include <cstdlib>
#include <string>
#include "download/fetch_work.h"

namespace {

void Require(bool holds) {
  if (!holds) std::abort();
}

bool Clean(const std::string& s) {
  for (char c : s) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F || c == '\\' || c == '#') return false;
  }
  return true;
}

bool SameTarget(const THttpTarget& a, const THttpTarget& b) {
  return a.Host == b.Host && a.Port == b.Port && a.Path == b.Path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t line = input.find('\n');
  THttpTarget from;
  from.Host = "files.example";
  from.Port = 8080;
  from.Path = line == std::string::npos ? "/dl/a/b.zip?x=/y" : "/" + input.substr(0, line);
  const std::string location = line == std::string::npos ? input : input.substr(line + 1);
  THttpTarget to;
  if (!ResolveRedirect(from, location, to)) return 0;
  Require(!to.Host.empty() && Clean(to.Host) && to.Port != 0);
  // The base path is the input's own, taken as it is; what comes of a clean one is clean.
  if (!Clean(from.Path)) return 0;
  Require(Clean(to.Path));
  if (to.Path == from.Path) return 0;  // the same request again, as a bare fragment asks
  Require(!to.Path.empty() && to.Path[0] == '/');
  const std::string url = "http://" + to.Host + ":" + std::to_string(to.Port) + to.Path;
  if (url.size() > FetchMaxLocationLength) return 0;
  THttpTarget again;
  Require(ResolveRedirect(from, url, again));
  Require(SameTarget(again, to));
  return 0;
}
