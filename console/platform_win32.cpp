#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>
#include <shellapi.h>

#include "console/platform_win32.h"

#include <stdexcept>

#include "base/sysutils.h"
#include "winui/registry.h"

std::string TProfilesIni::ReadString(const std::string& section, const std::string& key, const std::string& def) {
  return TIniFile(fileName_).ReadString(section, key, def);
}

void TProfilesIni::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  TIniFile(fileName_).WriteString(section, key, value);
}

std::vector<std::pair<std::string, std::string>> TProfilesIni::ReadSectionValues(const std::string& section) {
  return TIniFile(fileName_).ReadSectionValues(section);
}

namespace {

// Winsock for the UDP and ICMP clients, started on first use for the rest of the run.
void EnsureWinsock() {
  static bool started = false;
  if (started) return;
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("socket library unavailable");
  started = true;
}

in_addr ResolveIPv4(const std::string& host) {
  EnsureWinsock();
  in_addr addr{};
  addr.s_addr = inet_addr(host.c_str());
  if (addr.s_addr != INADDR_NONE || host == "255.255.255.255") return addr;
  if (host.size() > MaxHostNameLength) throw std::runtime_error("host name too long");
  hostent* entry = gethostbyname(host.c_str());
  if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0])
    throw std::runtime_error("host not found: " + host);
  memcpy(&addr, entry->h_addr_list[0], sizeof(addr));
  return addr;
}

TPingStatus StatusOf(DWORD status) {
  switch (status) {
    case IP_SUCCESS: return TPingStatus::EchoReply;
    case IP_REQ_TIMED_OUT: return TPingStatus::TimedOut;
    case IP_DEST_NET_UNREACHABLE:
    case IP_DEST_HOST_UNREACHABLE:
    case IP_DEST_PROT_UNREACHABLE:
    case IP_DEST_PORT_UNREACHABLE: return TPingStatus::Unreachable;
    case IP_TTL_EXPIRED_TRANSIT:
    case IP_TTL_EXPIRED_REASSEM: return TPingStatus::TtlExceeded;
    default: throw std::runtime_error("echo request failed: " + std::to_string(status));
  }
}

}  // namespace

void TUdpSender::Send(const std::string& host, int32_t port, const uint8_t* data, int size) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr = ResolveIPv4(host);
  to.sin_port = htons(static_cast<u_short>(port));
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) throw std::runtime_error("no UDP socket");
  BOOL on = TRUE;
  setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof(on));
  int sent =
      sendto(s, reinterpret_cast<const char*>(data), size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
  closesocket(s);
  if (sent != size) throw std::runtime_error("sending the wake datagram failed");
}

TPingStatus TIcmpPinger::Ping(const std::string& host) {
  in_addr addr = ResolveIPv4(host);
  HANDLE icmp = IcmpCreateFile();
  if (icmp == INVALID_HANDLE_VALUE) throw std::runtime_error("no echo client");
  char request[32] = {};
  char reply[sizeof(ICMP_ECHO_REPLY) + sizeof(request) + 8 + 64];
  DWORD n = IcmpSendEcho(icmp, addr.s_addr, request, sizeof(request), nullptr, reply, sizeof(reply), 5000);
  DWORD error = GetLastError();
  IcmpCloseHandle(icmp);
  if (n == 0) return StatusOf(error);
  return StatusOf(reinterpret_cast<ICMP_ECHO_REPLY*>(reply)->Status);
}

std::vector<std::string> TWin32ConsoleHost::FindFiles(const std::string& pattern) { return ::FindFiles(pattern); }

bool TWin32ConsoleHost::ReadFile(const std::string& path, std::string& bytes) { return LoadFileBytes(path, bytes); }

void TWin32ConsoleHost::WriteFile(const std::string& path, const std::string& bytes) { SaveFileBytes(path, bytes); }

bool TWin32ConsoleHost::FileExists(const std::string& path) { return ::FileExists(path); }

void TWin32ConsoleHost::ShellOpen(const std::string& file) {
  ShellExecuteA(nullptr, nullptr, file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool TWin32ConsoleHost::RegKeyExists(const std::string& key) {
  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  return reg.KeyExists(key);
}

std::string TWin32ConsoleHost::RegReadString(const std::string& key, const std::string& value) {
  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  if (!reg.OpenKeyReadOnly(key)) return "";
  return reg.ReadString(value);
}

bool TWin32ConsoleHost::SocketsStartup() {
  WSADATA data;
  return WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

std::string TWin32ConsoleHost::LookupHost(const std::string& name) {
  hostent* entry = gethostbyname(name.c_str());
  if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0]) return "";
  in_addr addr;
  memcpy(&addr, entry->h_addr_list[0], sizeof(addr));
  return inet_ntoa(addr);
}

void TWin32ConsoleHost::SocketsCleanup() { WSACleanup(); }
