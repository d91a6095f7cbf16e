// The console's platform services on Win32: profiles.ini through the INI file class, the
// file system, the shell, the registry (32-bit view), Winsock for the wake datagram and
// host-name look-ups, and the ICMP echo client.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "base/inifiles.h"
#include "console/core.h"

class TProfilesIni : public IIniStore {
public:
  explicit TProfilesIni(const std::string& fileName) : fileName_(fileName) {}
  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) override;
  void WriteString(const std::string& section, const std::string& key, const std::string& value) override;
  std::vector<std::pair<std::string, std::string>> ReadSectionValues(const std::string& section) override;

private:
  std::string fileName_;
};

// Broadcast-enabled UDP; the host is resolved for every datagram.
class TUdpSender : public IUdpSender {
public:
  void Send(const std::string& host, int32_t port, const uint8_t* data, int size) override;
};

class TIcmpPinger : public IPinger {
public:
  TPingStatus Ping(const std::string& host) override;
};

class TWin32ConsoleHost : public IConsoleHost {
public:
  explicit TWin32ConsoleHost(const std::string& programDir) : profiles_(programDir + "profiles.ini") {}
  IIniStore& Profiles() override { return profiles_; }
  std::vector<std::string> FindFiles(const std::string& pattern) override;
  bool ReadFile(const std::string& path, std::string& bytes) override;
  void WriteFile(const std::string& path, const std::string& bytes) override;
  bool FileExists(const std::string& path) override;
  void ShellOpen(const std::string& file) override;
  bool RegKeyExists(const std::string& key) override;
  std::string RegReadString(const std::string& key, const std::string& value) override;
  bool SocketsStartup() override;
  std::string LookupHost(const std::string& name) override;
  void SocketsCleanup() override;
  IUdpSender& Udp() override { return udp_; }
  IPinger& Pinger() override { return pinger_; }

private:
  TProfilesIni profiles_;
  TUdpSender udp_;
  TIcmpPinger pinger_;
};
