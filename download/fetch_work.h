// One HTTP transfer as the download worker runs it: the request it makes, the redirects it
// follows, the chunked read loop and the rules that decide success. Free of threads and of the
// network library: the thread around it supplies the terminate flag and the synchronous
// progress call, and a transport performs the requests, so the whole body can run against
// fakes. Redirects are followed here, one request per hop, and not inside the transport: so
// their number is bounded and a cancel is seen between two of them.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <utility>

// Size of one read; every chunk is followed by one progress report.
constexpr uint32_t FetchChunkSize = 1025;
constexpr uint16_t FetchDefaultPort = 80;
// The exact header a form post carries (no line end).
constexpr const char* FetchPostHeader = "Content-Type: application/x-www-form-urlencoded";
// Redirects one transfer follows, as browsers do; a redirect answer to the request after the
// last of them fails the transfer.
constexpr int FetchMaxRedirects = 20;
// The longest Location followed (the classic bound of a URL in the platform's browser).
constexpr size_t FetchMaxLocationLength = 2048;

// "http://" (any case) is dropped; the host ends at the first "/", the path is the rest with
// that "/". Without a "/" the host is empty and the path is the whole remaining text.
std::pair<std::string, std::string> SplitUrl(const std::string& url);

// Splits "name:port". No colon: port 80. An empty or malformed port (not 1..65535) gives false.
bool SplitHostPort(const std::string& host, std::string& name, uint16_t& port);

// A Content-Length text as a 32-bit decimal; anything else raises.
int32_t ContentLengthValue(const std::string& text);

// Where one request goes: the host name without its port, and the path with its query.
struct THttpTarget {
  std::string Host;
  uint16_t Port = FetchDefaultPort;
  std::string Path;
};

// The statuses whose Location names the resource anew: 301, 302, 303, 307 and 308. Any other
// 3xx answer is no download and no redirect.
bool IsRedirectStatus(uint32_t status);

// The request a Location header leads to from the request it answered: an http URL ("//host"
// included), an absolute path or a relative reference (resolved as RFC 3986 says, the
// fragment dropped). False when it leads nowhere this component goes: empty, longer than
// FetchMaxLocationLength, with blanks, control or non-ASCII bytes or "\", another scheme, a
// host that is missing or more than letters, digits, '.', '-' and '_', a user name in the
// address, or a port that is not 1..65535.
bool ResolveRedirect(const THttpTarget& from, const std::string& location, THttpTarget& to);

// Everything the transport needs for one request.
struct THttpRequest {
  bool HasAgent = false;  // an empty agent text is sent as no agent at all
  std::string Agent;
  std::string Host;
  uint16_t Port = FetchDefaultPort;
  std::string UserName, Password;  // empty texts, never absent ones
  std::string Verb;                // "GET" or "POST"
  std::string Path;
  std::string Version;  // always "HTTP/1.0"
  std::string Referer;
  std::string Accept;   // the single entry of the accept list
  bool Reload = false;  // bypass any cache
  std::string Headers;  // extra header of a post, else empty
  std::string Body;
};

// One request's connection. Send opens everything and sends the request; it never follows a
// redirect itself: a 3xx answer comes back as it is. CloseInternetHandles releases the
// request, connection and internet handles and may be called more than once; after it, Send
// may make the next request.
class IHttpTransport {
public:
  virtual ~IHttpTransport() = default;
  virtual bool Send(const THttpRequest& request) = 0;
  virtual bool QueryStatus(uint32_t& code) = 0;
  // The Content-Length header as text; false when the response announced none.
  virtual bool QueryContentLength(std::string& text) = 0;
  // The Location header as sent; false when there is none or it is longer than
  // FetchMaxLocationLength.
  virtual bool QueryLocation(std::string& text) = 0;
  // Reads up to size bytes; read = 0 with true marks the end of the body.
  virtual bool Read(void* buffer, uint32_t size, uint32_t& read) = 0;
  virtual void CloseInternetHandles() = 0;
};

// The fields of a download worker, in their declared order, and its body. The copies are taken
// when the transfer starts; the rest are its results, read on the main thread while the worker
// waits in a synchronous call.
class TFetchWork {
public:
  TFetchWork(const std::string& AcceptTypes, const std::string& Agent, const std::string& URL,
             const std::string& FileName, const std::string& UserName, const std::string& Password,
             const std::string& PostQuery, const std::string& Referer, bool BinaryData, bool UseCache, bool ToFile);
  virtual ~TFetchWork() = default;
  TFetchWork(const TFetchWork&) = delete;
  TFetchWork& operator=(const TFetchWork&) = delete;

  std::string AcceptTypes, Agent, URL, FileName;
  std::string ResultString;
  std::string UserName, Password, PostQuery, Referer;
  bool BinaryData, UseCache;
  std::atomic<bool> Succeeded{false};  // the main thread clears it on cancel
  int32_t FileSize = 0;
  bool ToFile;
  uint32_t BytesRead = 0;
  int32_t Readed = 0;

  // The request this worker makes to the given host and port.
  THttpRequest BuildRequest(const std::string& host, uint16_t port, const std::string& path) const;
  // The thread body: never raises; every failure leaves Succeeded false.
  void RunTransfer(IHttpTransport& net);

  // Asks the transfer to stop at its next test point and marks it failed (main thread).
  virtual void StopTransfer() = 0;

protected:
  virtual bool StopRequested() = 0;
  virtual bool HasProgressHandler() const = 0;
  // Runs the progress handler on the main thread and returns when it has returned.
  virtual void CallProgress() = 0;

private:
  void ReadBody(IHttpTransport& net);
  // Sends the request and follows up to FetchMaxRedirects redirects, testing the stop flag
  // before and after every request; true with the final answer's status, false when the
  // transfer has failed. A post is never redirected: its form goes, and a GET in its place
  // goes, nowhere the caller did not name. The user name and password go only to the host and
  // port of URL; every hop keeps the other settings.
  bool Request(IHttpTransport& net, uint32_t& status);
};
