#include "tools/driver/net.h"
#include <winsock2.h>
#include <ws2tcpip.h>
#include <chrono>
#include <stdexcept>
#include "tools/driver/driver.h"

namespace mbdriver {

namespace {

void StartWinsock() {
  static const bool started = [] {
    WSADATA d;
    return WSAStartup(MAKEWORD(2, 2), &d) == 0;
  }();
  if (!started) throw DriverError("Winsock does not start");
}

sockaddr_in Loopback(int port) {
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<u_short>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

// Binds a socket of the type to 127.0.0.1:port and returns it with the port it got.
SOCKET BindLoopback(int type, int port, int& boundPort) {
  StartWinsock();
  SOCKET s = socket(AF_INET, type, 0);
  if (s == INVALID_SOCKET) throw DriverError("no socket");
  sockaddr_in a = Loopback(port);
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
    closesocket(s);
    throw DriverError("cannot bind 127.0.0.1:" + std::to_string(port));
  }
  int len = sizeof(a);
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  boundPort = ntohs(a.sin_port);
  return s;
}

int FreePort(int type) {
  int port = 0;
  closesocket(BindLoopback(type, 0, port));
  return port;
}

}  // namespace

int FreeUdpPort() { return FreePort(SOCK_DGRAM); }
int FreeTcpPort() { return FreePort(SOCK_STREAM); }

UdpListener::UdpListener(int port) {
  socket_ = static_cast<uintptr_t>(BindLoopback(SOCK_DGRAM, port, port_));
  thread_ = std::thread([this] { Run(); });
}

UdpListener::~UdpListener() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  thread_.join();
  closesocket(static_cast<SOCKET>(socket_));
}

void UdpListener::Run() {
  const SOCKET s = static_cast<SOCKET>(socket_);
  std::vector<char> buf(65536);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stop_) return;
    }
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv = {0, 20000};  // wake up now and then to see whether to stop
    if (select(0, &set, nullptr, nullptr, &tv) <= 0) continue;
    const int n = recv(s, buf.data(), static_cast<int>(buf.size()), 0);
    if (n < 0) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    datagrams_.emplace_back(buf.data(), static_cast<size_t>(n));
  }
}

std::vector<std::string> UdpListener::Datagrams() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return datagrams_;
}

size_t UdpListener::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return datagrams_.size();
}

bool UdpListener::WaitForCount(size_t count, int timeoutMs) const {
  return WaitUntil([&] { return Count() >= count; }, timeoutMs);
}

}  // namespace mbdriver
