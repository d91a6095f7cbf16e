#include "download/wininet_transport.h"
#include <windows.h>
#include <algorithm>
#include <cstring>
#include <wininet.h>

namespace {
const DWORD FetchTimeoutMs = 30000;

void SetTimeouts(HINTERNET handle) {
  for (DWORD option :
       {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    DWORD ms = FetchTimeoutMs;
    InternetSetOptionA(handle, option, &ms, sizeof(ms));
  }
}
}  // namespace

TWinInetTransport::~TWinInetTransport() { CloseInternetHandles(); }

bool TWinInetTransport::Send(const THttpRequest& r) {
  internet_ = InternetOpenA(r.HasAgent ? r.Agent.c_str() : nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!internet_) return false;
  // A server that accepts and then stays silent must end in a failure, not hold the worker for
  // good; not every WinInet bounds its waits by default.
  SetTimeouts(internet_);
  connection_ = InternetConnectA(internet_, r.Host.c_str(), r.Port, r.UserName.c_str(), r.Password.c_str(),
                                 INTERNET_SERVICE_HTTP, 0, 0);
  if (!connection_) return false;
  const char* accept[] = {r.Accept.c_str(), nullptr};
  const DWORD flags = INTERNET_FLAG_NO_AUTO_REDIRECT | (r.Reload ? INTERNET_FLAG_RELOAD : 0);
  request_ = HttpOpenRequestA(connection_, r.Verb.c_str(), r.Path.c_str(), r.Version.c_str(), r.Referer.c_str(), accept,
                              flags, 0);
  if (!request_) return false;
  SetTimeouts(request_);
  if (r.Headers.empty()) return HttpSendRequestA(request_, nullptr, 0, nullptr, 0) != FALSE;
  return HttpSendRequestA(request_, r.Headers.c_str(), static_cast<DWORD>(r.Headers.size()),
                          const_cast<char*>(r.Body.data()), static_cast<DWORD>(r.Body.size())) != FALSE;
}

bool TWinInetTransport::QueryStatus(uint32_t& code) {
  DWORD value = 0;
  DWORD length = sizeof(value);
  if (!HttpQueryInfoA(request_, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &value, &length, nullptr))
    return false;
  code = value;
  return true;
}

bool TWinInetTransport::QueryContentLength(std::string& text) {
  char buffer[1024];
  DWORD length = sizeof(buffer);
  DWORD index = 0;
  if (!HttpQueryInfoA(request_, HTTP_QUERY_CONTENT_LENGTH, buffer, &length, &index)) return false;
  text.assign(buffer, length < sizeof(buffer) ? length : sizeof(buffer));
  return true;
}

bool TWinInetTransport::QueryLocation(std::string& text) {
  char buffer[FetchMaxLocationLength + 1];
  DWORD length = sizeof(buffer);
  DWORD index = 0;
  // A longer one fails with ERROR_INSUFFICIENT_BUFFER, which is the answer too.
  if (!HttpQueryInfoA(request_, HTTP_QUERY_LOCATION, buffer, &length, &index)) return false;
  if (length > FetchMaxLocationLength) return false;
  text.assign(buffer, length);
  return true;
}

// Hands the body out in the caller's small chunks from larger reads: each WinInet read is
// costly, and asking only for what has arrived keeps a slow server's chunks flowing at once.
bool TWinInetTransport::Read(void* buffer, uint32_t size, uint32_t& read) {
  read = 0;
  if (ahead_.empty()) ahead_.resize(64 * 1024);
  if (aheadPos_ == aheadLen_) {
    DWORD available = 0;
    if (!InternetQueryDataAvailable(request_, &available, 0, 0)) return false;
    if (available == 0) return true;  // the end of the body
    const DWORD want = available < ahead_.size() ? available : static_cast<DWORD>(ahead_.size());
    DWORD n = 0;
    if (!InternetReadFile(request_, ahead_.data(), want, &n)) return false;
    aheadPos_ = 0;
    aheadLen_ = n;
    if (n == 0) return true;
  }
  const size_t n = std::min<size_t>(size, aheadLen_ - aheadPos_);
  std::memcpy(buffer, ahead_.data() + aheadPos_, n);
  aheadPos_ += n;
  read = static_cast<uint32_t>(n);
  return true;
}

void TWinInetTransport::CloseInternetHandles() {
  for (void** h : {&request_, &connection_, &internet_}) {
    if (*h) InternetCloseHandle(*h);
    *h = nullptr;
  }
  aheadPos_ = aheadLen_ = 0;
}
