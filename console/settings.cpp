#include "console/settings.h"

#include <cstdlib>

int32_t ReadIniInteger(IIniStore& ini, const std::string& section, const std::string& key,
                       int32_t def) {
  std::string text = ini.ReadString(section, key, "");
  size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return def;
  size_t e = text.find_last_not_of(" \t");
  text = text.substr(b, e - b + 1);
  size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (i == text.size() || text.size() - i > 10) return def;
  for (size_t k = i; k < text.size(); ++k)
    if (text[k] < '0' || text[k] > '9') return def;
  long long v = std::strtoll(text.c_str(), nullptr, 10);
  if (v < INT32_MIN || v > INT32_MAX) return def;
  return static_cast<int32_t>(v);
}

TWakeSettings ReadWakeSettings(IIniStore& ini) {
  TWakeSettings s;
  s.WakePort = ReadIniInteger(ini, "settings", "wakeupport", 2050);
  s.WakeTimes = ReadIniInteger(ini, "settings", "waketimes", 1);
  if (s.WakeTimes < 1) s.WakeTimes = 1;
  s.WakeWait = ReadIniInteger(ini, "settings", "wakewait", 50);
  return s;
}

std::string ProfileKey(const char* name, int index) {
  return std::string(name) + std::to_string(index);
}

std::vector<std::string> ReadProfileNames(IIniStore& ini) {
  std::vector<std::string> names;
  int32_t count = ReadIniInteger(ini, "profiles", "count", 0);
  for (int32_t i = 0; i < count; ++i)
    names.push_back(ini.ReadString("profiles", ProfileKey("profilename", i), ""));
  return names;
}

int SaveProfile(IIniStore& ini, const std::string& name, const std::string& mac,
                const std::string& host) {
  int32_t count = ReadIniInteger(ini, "profiles", "count", 0);
  for (int32_t i = 0; i < count; ++i) {
    if (ini.ReadString("profiles", ProfileKey("profilename", i), "") == name) {
      ini.WriteString("profiles", ProfileKey("profilemac", i), mac);
      ini.WriteString("profiles", ProfileKey("profilesub", i), host);
      return i;
    }
  }
  ini.WriteString("profiles", "count", std::to_string(static_cast<int64_t>(count) + 1));
  ini.WriteString("profiles", ProfileKey("profilemac", count), mac);
  ini.WriteString("profiles", ProfileKey("profilesub", count), host);
  ini.WriteString("profiles", ProfileKey("profilename", count), name);
  return count;
}

static unsigned char FoldAnsi(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
  return c;
}

bool SameTextAnsi(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAnsi(static_cast<unsigned char>(a[i])) != FoldAnsi(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string ExtractFileNamePart(const std::string& path) {
  size_t p = path.find_last_of("\\/");
  return p == std::string::npos ? path : path.substr(p + 1);
}
