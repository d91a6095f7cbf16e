// Loopback helpers for end-to-end tests: free ports and a UDP listener on 127.0.0.1.
#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mbdriver {

// A port on 127.0.0.1 that nothing listened on a moment ago (the system picks it).
int FreeUdpPort();
int FreeTcpPort();

// Collects every datagram that reaches 127.0.0.1:port on a thread of its own.
class UdpListener {
public:
  explicit UdpListener(int port = 0);  // 0: a free port, see Port()
  ~UdpListener();
  UdpListener(const UdpListener&) = delete;
  UdpListener& operator=(const UdpListener&) = delete;

  int Port() const { return port_; }
  std::vector<std::string> Datagrams() const;  // payloads in arrival order
  size_t Count() const;
  // True when at least count datagrams arrived within timeoutMs.
  bool WaitForCount(size_t count, int timeoutMs) const;

private:
  void Run();
  uintptr_t socket_;
  int port_ = 0;
  mutable std::mutex mutex_;
  std::vector<std::string> datagrams_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace mbdriver
