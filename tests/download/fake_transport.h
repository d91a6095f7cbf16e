// A scripted HTTP exchange for the transfer body. The script is read and the record written
// on the worker thread; the test looks at them after the worker has ended.
#pragma once
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include "download/fetch_work.h"
#include "tests/download/fetch_harness.h"

// A redirect answer to one request: its status and its Location header, if any.
struct TFakeRedirect {
  uint32_t status = 302;
  std::optional<std::string> location;
};

struct TFakeExchange {
  // The answers to a transfer's first requests, in order; the request after them gets the
  // answer below.
  std::vector<TFakeRedirect> redirects;
  std::function<void(size_t request)> beforeSend;  // the request's number within its transfer
  bool sendFails = false;
  bool statusFails = false;
  uint32_t status = 200;
  std::optional<std::string> contentLength;
  std::string body;
  uint32_t readLimit = 0xFFFFFFFF;        // most bytes one read returns
  size_t failReadAt = std::string::npos;  // a read at this offset fails
  std::function<void(size_t offset)> beforeRead;

  std::vector<THttpRequest> requests;
  std::vector<uint32_t> readSizes;  // what each read asked for
  int closes = 0;
  int locationQueries = 0;
  bool queriedAfterFailedSend = false;
  bool sentOnOpenHandles = false;  // a request after another without closing the handles
};

class TFakeTransport : public IHttpTransport {
public:
  explicit TFakeTransport(TFakeExchange& x) : x_(x) {}
  bool Send(const THttpRequest& request) override {
    if (sends_ > 0 && closesSinceSend_ == 0) x_.sentOnOpenHandles = true;
    closesSinceSend_ = 0;
    hop_ = sends_++;
    if (x_.beforeSend) x_.beforeSend(hop_);
    x_.requests.push_back(request);
    sent_ = !x_.sendFails;
    return sent_;
  }
  bool QueryStatus(uint32_t& code) override {
    if (!sent_) x_.queriedAfterFailedSend = true;
    if (Redirected()) {
      code = x_.redirects[hop_].status;
      return true;
    }
    code = x_.status;
    return !x_.statusFails;
  }
  bool QueryLocation(std::string& text) override {
    if (!sent_) x_.queriedAfterFailedSend = true;
    ++x_.locationQueries;
    if (!Redirected() || !x_.redirects[hop_].location) return false;
    text = *x_.redirects[hop_].location;
    return true;
  }
  bool QueryContentLength(std::string& text) override {
    if (!sent_) x_.queriedAfterFailedSend = true;
    if (!x_.contentLength) return false;
    text = *x_.contentLength;
    return true;
  }
  bool Read(void* buffer, uint32_t size, uint32_t& read) override {
    if (!sent_) x_.queriedAfterFailedSend = true;
    x_.readSizes.push_back(size);
    if (x_.beforeRead) x_.beforeRead(pos_);
    read = 0;
    if (pos_ == x_.failReadAt) return false;
    const size_t n = std::min<size_t>({size, x_.readLimit, x_.body.size() - pos_});
    std::memcpy(buffer, x_.body.data() + pos_, n);
    pos_ += n;
    read = static_cast<uint32_t>(n);
    return true;
  }
  void CloseInternetHandles() override {
    ++x_.closes;
    ++closesSinceSend_;
  }

private:
  bool Redirected() const { return hop_ < x_.redirects.size(); }

  TFakeExchange& x_;
  size_t pos_ = 0;
  bool sent_ = false;
  size_t sends_ = 0, hop_ = 0;
  int closesSinceSend_ = 0;
};

inline TTransportFactory FakeFactory(TFakeExchange& x) {
  return [&x] { return std::make_unique<TFakeTransport>(x); };
}
