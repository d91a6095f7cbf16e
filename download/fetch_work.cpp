#include "download/fetch_work.h"
#include <cctype>
#include <cstdio>
#include <limits>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i) {
    if (i >= s.size() || std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  }
  return true;
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
  const auto [host, path] = SplitUrl(URL);
  if (StopRequested()) {
    Succeeded = false;
    return;
  }
  std::string name;
  uint16_t port = FetchDefaultPort;
  // A failed open, connect or send is a failure at once, not an empty download.
  if (!SplitHostPort(host, name, port) || !net.Send(BuildRequest(name, port, path))) {
    Succeeded = false;
    return;
  }
  if (StopRequested()) {
    Succeeded = false;
    return;
  }
  // Only a 2xx answer is a download; an error page never reaches the target file.
  uint32_t status = 0;
  if (!net.QueryStatus(status) || status < 200 || status > 299) {
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
