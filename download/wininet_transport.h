// The transport of the Windows builds: one request through WinInet, with the internet handle
// opened with the preconfigured proxy settings, so a configured proxy is honoured (on every
// hop of a redirect too). WinInet's own following of redirects is switched off: it follows
// them inside the send call, without end and out of reach of a cancel.
#pragma once
#include <vector>
#include "download/fetch_work.h"

class TWinInetTransport : public IHttpTransport {
public:
  TWinInetTransport() = default;
  ~TWinInetTransport() override;
  TWinInetTransport(const TWinInetTransport&) = delete;
  TWinInetTransport& operator=(const TWinInetTransport&) = delete;

  bool Send(const THttpRequest& request) override;
  bool QueryStatus(uint32_t& code) override;
  bool QueryContentLength(std::string& text) override;
  bool QueryLocation(std::string& text) override;
  bool Read(void* buffer, uint32_t size, uint32_t& read) override;
  void CloseInternetHandles() override;

private:
  void* internet_ = nullptr;  // HINTERNET, kept out of the header
  void* connection_ = nullptr;
  void* request_ = nullptr;
  std::vector<char> ahead_;  // body bytes read but not yet handed out
  size_t aheadPos_ = 0, aheadLen_ = 0;
};
