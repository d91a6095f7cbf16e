#include "download/fetch_work.h"
#include <cctype>
#include <cstdio>
#include <limits>
#include <memory>
#include <stdexcept>
#include <vector>
#include "base/sysutils.h"

namespace {

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i) {
    if (i >= s.size() || std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  }
  return true;
}

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSchemeChar(char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '+' || c == '-' || c == '.'; }

// A host name as a connect call may take it: letters, digits, '.', '-', '_' (IPv4 included).
bool IsPlainHostName(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '.' && c != '-' && c != '_') return false;
  }
  return true;
}

// RFC 3986, 5.2.4: "." and ".." segments of a path taken out.
std::string RemoveDotSegments(std::string in) {
  std::string out;
  auto dropLastSegment = [&out] {
    const size_t slash = out.rfind('/');
    out.erase(slash == std::string::npos ? 0 : slash);
  };
  while (!in.empty()) {
    if (in.rfind("../", 0) == 0) {
      in.erase(0, 3);
    } else if (in.rfind("./", 0) == 0) {
      in.erase(0, 2);
    } else if (in.rfind("/./", 0) == 0) {
      in.erase(0, 2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.rfind("/../", 0) == 0) {
      in.erase(0, 3);
      dropLastSegment();
    } else if (in == "/..") {
      in = "/";
      dropLastSegment();
    } else if (in == "." || in == "..") {
      in.clear();
    } else {
      const size_t end = in.find('/', 1);
      out += in.substr(0, end);
      in.erase(0, end == std::string::npos ? in.size() : end);
    }
  }
  return out;
}

// A path with its query: dot segments out of the path part only.
std::string NormalPath(const std::string& pathAndQuery) {
  const size_t q = pathAndQuery.find('?');
  std::string path = RemoveDotSegments(pathAndQuery.substr(0, q));
  if (path.empty() || path[0] != '/') path.insert(0, "/");
  return q == std::string::npos ? path : path + pathAndQuery.substr(q);
}

// The target file. A large buffer keeps the many small chunk writes cheap; every failure
// raises, so a short write or a failed close ends the transfer as a failure.
class TTargetFile {
public:
  explicit TTargetFile(const std::string& name) : file_(std::fopen(name.c_str(), "wb")) {
    if (!file_) throw std::runtime_error("Cannot create file " + name);
    buffer_.resize(256 * 1024);
    std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
  }
  ~TTargetFile() {
    if (file_) std::fclose(file_);
  }
  void Write(const void* data, size_t count) {
    if (std::fwrite(data, 1, count, file_) != count) throw std::runtime_error("File write error");
  }
  void Close() {
    FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0) throw std::runtime_error("File close error");
  }

private:
  std::FILE* file_;
  std::vector<char> buffer_;
};

}  // namespace

std::pair<std::string, std::string> SplitUrl(const std::string& url) {
  std::string rest = StartsWithNoCase(url, "http://") ? url.substr(7) : url;
  const size_t slash = rest.find('/');
  if (slash == std::string::npos) return {std::string(), rest};
  return {rest.substr(0, slash), rest.substr(slash)};
}

bool SplitHostPort(const std::string& host, std::string& name, uint16_t& port) {
  const size_t colon = host.find(':');
  if (colon == std::string::npos) {
    name = host;
    port = FetchDefaultPort;
    return true;
  }
  name = host.substr(0, colon);
  const std::string digits = host.substr(colon + 1);
  if (digits.empty() || digits.size() > 5) return false;
  uint32_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value == 0 || value > 65535) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

int32_t ContentLengthValue(const std::string& text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) throw std::runtime_error("'" + text + "' is not a valid integer value");
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') throw std::runtime_error("'" + text + "' is not a valid integer value");
    value = value * 10 + (c - '0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1)
      throw std::runtime_error("'" + text + "' is not a valid integer value");
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) throw std::runtime_error("'" + text + "' is out of range");
  return static_cast<int32_t>(value);
}

bool IsRedirectStatus(uint32_t status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool ResolveRedirect(const THttpTarget& from, const std::string& location, THttpTarget& to) {
  if (location.empty() || location.size() > FetchMaxLocationLength) return false;
  for (char c : location) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F || c == '\\') return false;
  }
  std::string ref = location.substr(0, location.find('#'));
  // A scheme is a letter, then letters, digits, '+', '-', '.', up to a ':' before any '/' or '?'.
  if (!ref.empty() && IsAsciiLetter(ref[0])) {
    size_t i = 1;
    while (i < ref.size() && IsSchemeChar(ref[i])) ++i;
    if (i < ref.size() && ref[i] == ':') {
      if (!StartsWithNoCase(ref, "http:")) return false;
      ref.erase(0, 5);
      if (ref.rfind("//", 0) != 0) return false;  // "http:path" names no host
    }
  }
  THttpTarget next;
  if (ref.rfind("//", 0) == 0) {
    const size_t end = ref.find_first_of("/?", 2);
    const std::string authority = ref.substr(2, end == std::string::npos ? std::string::npos : end - 2);
    if (authority.find('@') != std::string::npos) return false;
    if (!SplitHostPort(authority, next.Host, next.Port) || !IsPlainHostName(next.Host)) return false;
    next.Path = NormalPath(end == std::string::npos ? "" : ref.substr(end));
  } else {
    next.Host = from.Host;
    next.Port = from.Port;
    const std::string basePath = from.Path.substr(0, from.Path.find('?'));
    if (ref.empty()) {
      next.Path = from.Path;
    } else if (ref[0] == '/') {
      next.Path = NormalPath(ref);
    } else if (ref[0] == '?') {
      next.Path = NormalPath(basePath + ref);
    } else {
      const size_t slash = basePath.rfind('/');
      next.Path = NormalPath((slash == std::string::npos ? "/" : basePath.substr(0, slash + 1)) + ref);
    }
  }
  to = next;
  return true;
}

TFetchWork::TFetchWork(const std::string& AcceptTypes, const std::string& Agent, const std::string& URL,
                       const std::string& FileName, const std::string& UserName, const std::string& Password,
                       const std::string& PostQuery, const std::string& Referer, bool BinaryData, bool UseCache,
                       bool ToFile)
    : AcceptTypes(AcceptTypes),
      Agent(Agent),
      URL(URL),
      FileName(FileName),
      UserName(UserName),
      Password(Password),
      PostQuery(PostQuery),
      Referer(Referer),
      BinaryData(BinaryData),
      UseCache(UseCache),
      ToFile(ToFile) {}

THttpRequest TFetchWork::BuildRequest(const std::string& host, uint16_t port, const std::string& path) const {
  THttpRequest r;
  r.HasAgent = !Agent.empty();
  r.Agent = Agent;
  r.Host = host;
  r.Port = port;
  r.UserName = UserName;
  r.Password = Password;
  r.Verb = PostQuery.empty() ? "GET" : "POST";
  r.Path = path;
  r.Version = "HTTP/1.0";
  r.Referer = Referer;
  r.Accept = AcceptTypes;
  r.Reload = !UseCache;
  if (!PostQuery.empty()) {
    r.Headers = FetchPostHeader;
    r.Body = PostQuery;
  }
  return r;
}

void TFetchWork::RunTransfer(IHttpTransport& net) {
  try {
    ReadBody(net);
  } catch (...) { Succeeded = false; }
  try {
    net.CloseInternetHandles();
  } catch (...) { Succeeded = false; }
}

// Steps up to the end of the body. The file is closed on every way out (by its destructor
// when an exception passes); the caller closes the handles.
void TFetchWork::ReadBody(IHttpTransport& net) {
  // Only a 2xx answer is a download; an error page never reaches the target file.
  uint32_t status = 0;
  if (!Request(net, status) || status < 200 || status > 299) {
    Succeeded = false;
    return;
  }
  std::string lengthText;
  const bool sized = net.QueryContentLength(lengthText);
  Succeeded = sized;
  if (StopRequested()) {
    Succeeded = false;
    return;
  }
  if (!sized && BinaryData) return;
  if (sized) FileSize = ContentLengthValue(lengthText);

  Readed = 0;
  std::unique_ptr<TTargetFile> file;
  if (ToFile)
    file = std::make_unique<TTargetFile>(FileName);
  else
    ResultString.clear();
  char chunk[FetchChunkSize];
  for (;;) {
    if (StopRequested()) {
      if (file) file->Close();  // the partial file stays
      Succeeded = false;
      return;
    }
    uint32_t n = 0;
    if (!net.Read(chunk, FetchChunkSize, n) || n == 0) break;
    if (n > FetchChunkSize) throw std::runtime_error("Read past the chunk");
    BytesRead = n;
    if (file)
      file->Write(chunk, n);
    else
      ResultString.append(chunk, n);
    if (int64_t{Readed} + n > std::numeric_limits<int32_t>::max()) throw std::runtime_error("Body too long");
    Readed += static_cast<int32_t>(n);
    if (HasProgressHandler()) CallProgress();
  }
  Succeeded = ToFile ? FileSize == Readed : Readed > 0;
  if (file) file->Close();
}

bool TFetchWork::Request(IHttpTransport& net, uint32_t& status) {
  const auto [host, path] = SplitUrl(URL);
  THttpTarget origin;
  origin.Path = path;
  if (!SplitHostPort(host, origin.Host, origin.Port)) return false;
  THttpTarget at = origin;
  for (int redirects = 0;; ++redirects) {
    if (StopRequested()) return false;
    if (redirects > 0) net.CloseInternetHandles();
    THttpRequest request = BuildRequest(at.Host, at.Port, at.Path);
    if (!SameText(at.Host, origin.Host) || at.Port != origin.Port) {
      request.UserName.clear();
      request.Password.clear();
    }
    // A failed open, connect or send is a failure at once, not an empty download.
    if (!net.Send(request)) return false;
    if (StopRequested()) return false;
    if (!net.QueryStatus(status)) return false;
    if (!IsRedirectStatus(status)) return true;
    if (!PostQuery.empty() || redirects == FetchMaxRedirects) return false;
    std::string location;
    if (!net.QueryLocation(location) || !ResolveRedirect(at, location, at)) return false;
  }
}
