#include "console/settings.h"

#include "base/sysutils.h"

int32_t ReadIniInteger(IIniStore& ini, const std::string& section, const std::string& key, int32_t def) {
  return StrToIntDef(ini.ReadString(section, key, ""), def);
}

TWakeSettings ReadWakeSettings(IIniStore& ini) {
  TWakeSettings s;
  s.WakePort = ReadIniInteger(ini, "settings", "wakeupport", 2050);
  s.WakeTimes = ReadIniInteger(ini, "settings", "waketimes", 1);
  if (s.WakeTimes < 1) s.WakeTimes = 1;
  s.WakeWait = ReadIniInteger(ini, "settings", "wakewait", 50);
  return s;
}

std::string ProfileKey(const char* name, int index) { return std::string(name) + std::to_string(index); }

std::vector<std::string> ReadProfileNames(IIniStore& ini) {
  std::vector<std::string> names;
  int32_t count = ReadIniInteger(ini, "profiles", "count", 0);
  for (int32_t i = 0; i < count; ++i) names.push_back(ini.ReadString("profiles", ProfileKey("profilename", i), ""));
  return names;
}

int SaveProfile(IIniStore& ini, const std::string& name, const std::string& mac, const std::string& host) {
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
