#include "console/settings.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>

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

std::vector<TProfileEntry> ReadProfiles(IIniStore& ini) {
  int32_t count = 0;
  bool counted = false;
  // Per index the name of its first name key, as a read of that key finds it; an index
  // with only a MAC or host key lists with an empty name.
  std::map<int32_t, std::optional<std::string>> held;
  for (const auto& [key, value] : ini.ReadSectionValues("profiles")) {
    if (SameText(key, "count")) {
      if (!counted) count = StrToIntDef(value, 0);
      counted = true;
      continue;
    }
    bool isName = false;
    const int32_t index = ProfileKeyIndex(key, isName);
    if (index < 0) continue;
    std::optional<std::string>& name = held[index];
    if (isName && !name) name = value;
  }
  std::vector<TProfileEntry> profiles;
  for (const auto& [index, name] : held) {
    if (index >= count) break;
    profiles.push_back({index, name.value_or("")});
  }
  return profiles;
}

int32_t SaveProfile(IIniStore& ini, const std::string& name, const std::string& mac, const std::string& host) {
  const std::vector<TProfileEntry> profiles = ReadProfiles(ini);
  for (const TProfileEntry& p : profiles) {
    if (p.Name == name) {
      ini.WriteString("profiles", ProfileKey("profilemac", p.Index), mac);
      ini.WriteString("profiles", ProfileKey("profilesub", p.Index), host);
      return p.Index;
    }
  }
  // Every listed index lies below a 32-bit count, so the one after the highest still fits.
  const int32_t highest = profiles.empty() ? -1 : profiles.back().Index;
  int32_t index = highest + 1;
  if (index == INT32_MAX) {
    // No count could cover it: the lowest index that holds no key takes the profile.
    index = 0;
    while (static_cast<size_t>(index) < profiles.size() && profiles[static_cast<size_t>(index)].Index == index) ++index;
  }
  ini.WriteString("profiles", "count", std::to_string(std::max(highest, index) + 1));
  ini.WriteString("profiles", ProfileKey("profilemac", index), mac);
  ini.WriteString("profiles", ProfileKey("profilesub", index), host);
  ini.WriteString("profiles", ProfileKey("profilename", index), name);
  return index;
}
