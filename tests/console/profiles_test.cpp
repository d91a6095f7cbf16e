#include <gtest/gtest.h>

#include <algorithm>

#include "tests/console/fakes.h"

void PrintTo(const TProfileEntry& p, std::ostream* os) { *os << p.Index << ":" << p.Name; }

namespace {

TEST(IniInteger, OnlyDecimalNumbersCountTheRestReadsAsTheDefault) {
  FakeIni ini;
  auto read = [&](const std::string& text) {
    ini.values["s"]["k"] = text;
    return ReadIniInteger(ini, "s", "k", 77);
  };
  EXPECT_EQ(read("40950"), 40950);
  EXPECT_EQ(read(" -3"), -3);
  EXPECT_EQ(read("+8"), 8);
  EXPECT_EQ(read("20x"), 77);
  EXPECT_EQ(read("0x10"), 77);
  EXPECT_EQ(read(""), 77);
  EXPECT_EQ(read("-"), 77);
  EXPECT_EQ(read("2147483647"), 2147483647);
  EXPECT_EQ(read("2147483648"), 77);
  EXPECT_EQ(read("99999999999999999999"), 77);
  ini.values.clear();
  EXPECT_EQ(ReadIniInteger(ini, "s", "k", 5), 5);
}

TEST(WakeSettings, DefaultsAndAtLeastOneDatagram) {
  FakeIni ini;
  TWakeSettings s = ReadWakeSettings(ini);
  EXPECT_EQ(s.WakePort, 2050);
  EXPECT_EQ(s.WakeTimes, 1);
  EXPECT_EQ(s.WakeWait, 50);
  for (const char* times : {"0", "-3", "abc"}) {
    ini.values["settings"]["waketimes"] = times;
    EXPECT_EQ(ReadWakeSettings(ini).WakeTimes, 1) << times;
  }
  ini.values["settings"]["wakewait"] = "0";
  ini.values["settings"]["wakeupport"] = "20x";
  EXPECT_EQ(ReadWakeSettings(ini).WakeWait, 0);
  EXPECT_EQ(ReadWakeSettings(ini).WakePort, 2050);
  ini.values["settings"]["wakewait"] = "-50";
  EXPECT_EQ(ReadWakeSettings(ini).WakeWait, -50) << "the wake-up itself refuses it";
  EXPECT_TRUE(ini.writes.empty()) << "the wake keys are only ever read";
}

TEST(SaveProfile, ANewNameIsAppendedAsProfileCountAndRaisesCount) {
  FakeIni ini;
  EXPECT_EQ(SaveProfile(ini, "pc1", "001122334455", "10.0.0.1"), 0);
  EXPECT_EQ(ini.writes, (std::vector<std::string>{"profiles/count=1", "profiles/profilemac0=001122334455",
                                                  "profiles/profilesub0=10.0.0.1", "profiles/profilename0=pc1"}));
  EXPECT_EQ(SaveProfile(ini, "pc2", "AA", "h2"), 1);
  EXPECT_EQ(ini.values["profiles"]["count"], "2");
  EXPECT_EQ(ReadProfiles(ini), (std::vector<TProfileEntry>{{0, "pc1"}, {1, "pc2"}}));
}

TEST(SaveProfile, TheExactNameUpdatesOnlyMacAndHostWhileOtherCaseAppends) {
  FakeIni ini;
  SaveProfile(ini, "pc1", "m1", "h1");
  SaveProfile(ini, "pc2", "m2", "h2");
  ini.writes.clear();
  EXPECT_EQ(SaveProfile(ini, "pc2", "m2new", "h2new"), 1);
  EXPECT_EQ(ini.writes, (std::vector<std::string>{"profiles/profilemac1=m2new", "profiles/profilesub1=h2new"}));
  EXPECT_EQ(SaveProfile(ini, "PC1", "m3", "h3"), 2);
  EXPECT_EQ(ini.values["profiles"]["profilemac0"], "m1");
  EXPECT_EQ(ReadProfiles(ini), (std::vector<TProfileEntry>{{0, "pc1"}, {1, "pc2"}, {2, "PC1"}}));
}

TEST(SaveProfile, AnEmptyNameUpdatesTheFirstEmptyNamedProfileElseAppends) {
  FakeIni ini;
  EXPECT_EQ(SaveProfile(ini, "", "m0", "h0"), 0);
  EXPECT_EQ(SaveProfile(ini, "pc", "m1", "h1"), 1);
  EXPECT_EQ(SaveProfile(ini, "", "m0b", "h0b"), 0);
  EXPECT_EQ(ini.values["profiles"]["profilemac0"], "m0b");
  EXPECT_EQ(ini.values["profiles"]["count"], "2");
}

TEST(SaveProfile, ACountThatIsNotANumberStartsOver) {
  FakeIni ini;
  ini.values["profiles"]["count"] = "many";
  ini.values["profiles"]["profilename0"] = "old";
  EXPECT_EQ(SaveProfile(ini, "old", "m", "h"), 0);
  EXPECT_EQ(ini.values["profiles"]["count"], "1");
  EXPECT_EQ(ini.values["profiles"]["profilemac0"], "m");
}

TEST(ProfileList, EveryProfileHeldBelowTheCountIsListedAndASaveAppendsAfterTheHighest) {
  // count, the indexes that carry keys, the indexes listed, where a new profile goes and the
  // count after it; the last listed profile saved again keeps its index.
  const int32_t Max = INT32_MAX;
  const struct {
    std::string count;
    std::vector<int32_t> held, listed;
    int32_t added;
    std::string countAfter;
  } cases[] = {
      {"2", {0, 1}, {0, 1}, 2, "3"},           // as the program writes it
      {"2147483647", {0, 1}, {0, 1}, 2, "3"},  // a count far above the profiles
      {"1", {0, 1}, {0}, 1, "2"},              // a count below them still rules
      {"-1", {0}, {}, 0, "1"},                 // a negative count lists nothing
      {"5", {4}, {4}, 5, "6"},                 // the others deleted by hand
      {"5", {0, 1, 3}, {0, 1, 3}, 4, "5"},     // a gap is no profile
      {"2147483647", {0, 2000000000}, {0, 2000000000}, 2000000001, "2000000002"},
      {"2147483647", {0, Max - 1}, {0, Max - 1}, 1, "2147483647"},  // no index after the last
  };
  for (const auto& c : cases) {
    FakeIni ini;
    ini.values["profiles"]["count"] = c.count;
    for (int32_t i : c.held) {
      ini.values["profiles"][ProfileKey("profilename", i)] = "p" + std::to_string(i);
      ini.values["profiles"][ProfileKey("profilemac", i)] = "m";
    }
    std::vector<TProfileEntry> listed;
    for (int32_t i : c.listed) listed.push_back({i, "p" + std::to_string(i)});
    EXPECT_EQ(ReadProfiles(ini), listed) << "count=" << c.count;
    EXPECT_EQ(SaveProfile(ini, "new", "m", "h"), c.added) << "count=" << c.count;
    EXPECT_EQ(ini.values["profiles"]["count"], c.countAfter) << "count=" << c.count;
    listed.push_back({c.added, "new"});
    std::sort(listed.begin(), listed.end(), [](const auto& a, const auto& b) { return a.Index < b.Index; });
    EXPECT_EQ(ReadProfiles(ini), listed) << "count=" << c.count;
    if (c.listed.empty()) continue;
    const int32_t last = c.listed.back();
    EXPECT_EQ(SaveProfile(ini, "p" + std::to_string(last), "m2", "h2"), last) << "count=" << c.count;
    EXPECT_EQ(ini.values["profiles"][ProfileKey("profilemac", last)], "m2") << "count=" << c.count;
  }
}

}  // namespace
