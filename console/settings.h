// The console's settings and profiles file profiles.ini: sections [settings] and [profiles].
// Every key is read with its default and written at once; nothing is ever deleted.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// One INI file, read with a default for every key and written one key at a time.
class IIniStore {
public:
  virtual ~IIniStore() = default;
  virtual std::string ReadString(const std::string& section, const std::string& key, const std::string& def) = 0;
  virtual void WriteString(const std::string& section, const std::string& key, const std::string& value) = 0;
  // The section's keys and their values as ReadString reads them, in file order, in one read
  // of the file; a key listed twice reads as its first.
  virtual std::vector<std::pair<std::string, std::string>> ReadSectionValues(const std::string& section) = 0;
};

// An integer key: a text that is not a decimal number reads as the default, and so does a
// number outside 32 bits.
int32_t ReadIniInteger(IIniStore& ini, const std::string& section, const std::string& key, int32_t def);

struct TWakeSettings {
  int32_t WakePort = 2050;  // outside 1..65535 the wake-up fails before sending
  int32_t WakeTimes = 1;  // at least 1
  int32_t WakeWait = 50;  // not bounded here; the wake-up refuses a negative pause
};
TWakeSettings ReadWakeSettings(IIniStore& ini);

// Profile keys: the key name and the profile index in decimal ("profilemac0").
std::string ProfileKey(const char* name, int index);

// A listed profile: its name and the index its keys carry in profiles.ini.
struct TProfileEntry {
  int32_t Index;
  std::string Name;
  bool operator==(const TProfileEntry&) const = default;
};
// The listed profiles, by index: every index below profiles/count (a negative count none)
// that holds a profilename, profilemac or profilesub key. Indexes whose keys a user deleted
// are left out, so a position in the list is not an index. One read of the file, and the
// list is never longer than the file, whatever the count claims.
std::vector<TProfileEntry> ReadProfiles(IIniStore& ini);
// Stores a profile: the first listed profile whose name equals the name exactly (letter
// case included) gets the new MAC and host texts; with no such profile a new one is
// appended after the highest listed index, and the count covers it. Returns the index.
int32_t SaveProfile(IIniStore& ini, const std::string& name, const std::string& mac, const std::string& host);
