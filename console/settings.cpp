#include "console/settings.h"

#include <algorithm>
#include <cstring>
#include <set>

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

namespace {

const char* const ProfileKeyNames[] = {"profilename", "profilemac", "profilesub"};

// The profile index of a key as ProfileKey forms it ("profilemac12" gives 12, any letter
// case, as the file's keys are matched); -1 for every other key.
int32_t ProfileKeyIndex(const std::string& key, bool& isName) {
  for (const char* name : ProfileKeyNames) {
    const size_t n = std::strlen(name);
    if (key.size() <= n || !SameText(key.substr(0, n), name)) continue;
    const std::string digits = key.substr(n);
    if (digits.size() > 10 || (digits.size() > 1 && digits[0] == '0') ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return -1;
    const int64_t index = std::stoll(digits);
    if (index > INT32_MAX) return -1;
    isName = name == ProfileKeyNames[0];
    return static_cast<int32_t>(index);
  }
  return -1;
}

}  // namespace

std::vector<std::string> ReadProfileNames(IIniStore& ini) {
  const int32_t count = ReadIniInteger(ini, "profiles", "count", 0);
  const std::vector<std::string> keys = ini.ReadSection("profiles");
  // An index past the number of keys cannot belong to a list the file really holds; taken
  // as one, a single key could stretch the list without bound.
  int64_t last = -1;
  std::set<int32_t> named;
  for (const std::string& key : keys) {
    bool isName = false;
    const int32_t index = ProfileKeyIndex(key, isName);
    if (index < 0 || static_cast<size_t>(index) >= keys.size()) continue;
    last = std::max<int64_t>(last, index);
    if (isName) named.insert(index);
  }
  const int64_t listed = std::min<int64_t>(std::max<int32_t>(count, 0), last + 1);
  std::vector<std::string> names(static_cast<size_t>(listed));
  for (int32_t i : named)
    if (i < listed) names[static_cast<size_t>(i)] = ini.ReadString("profiles", ProfileKey("profilename", i), "");
  return names;
}

int SaveProfile(IIniStore& ini, const std::string& name, const std::string& mac, const std::string& host) {
  const std::vector<std::string> names = ReadProfileNames(ini);
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) {
      const int index = static_cast<int>(i);
      ini.WriteString("profiles", ProfileKey("profilemac", index), mac);
      ini.WriteString("profiles", ProfileKey("profilesub", index), host);
      return index;
    }
  }
  const int index = static_cast<int>(names.size());
  ini.WriteString("profiles", "count", std::to_string(int64_t{index} + 1));
  ini.WriteString("profiles", ProfileKey("profilemac", index), mac);
  ini.WriteString("profiles", ProfileKey("profilesub", index), host);
  ini.WriteString("profiles", ProfileKey("profilename", index), name);
  return index;
}
