#include <gtest/gtest.h>

#include "tests/console/fakes.h"

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
  EXPECT_EQ(ReadProfileNames(ini), (std::vector<std::string>{"pc1", "pc2"}));
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
  EXPECT_EQ(ReadProfileNames(ini), (std::vector<std::string>{"pc1", "pc2", "PC1"}));
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

TEST(ProfileList, ACountListsNoFurtherThanTheLastProfileInTheFileAndASaveAppendsAfterIt) {
  // count, the indexes that carry keys, the names listed; a new profile follows them.
  const struct {
    std::string count;
    std::vector<int> held;
    std::vector<std::string> listed;
  } cases[] = {
      {"2", {0, 1}, {"p0", "p1"}},               // as the program writes it
      {"2147483647", {0, 1}, {"p0", "p1"}},      // a count far above the profiles
      {"1", {0, 1}, {"p0"}},                     // a count below them still rules
      {"-1", {0}, {}},                           // a negative count lists nothing
      {"5", {0, 1, 3}, {"p0", "p1", "", "p3"}},  // a gap lists as an empty name
      {"2147483647", {0, 2000000000}, {"p0"}},   // one key far out stretches nothing
  };
  for (const auto& c : cases) {
    FakeIni ini;
    ini.values["profiles"]["count"] = c.count;
    for (int i : c.held) {
      ini.values["profiles"][ProfileKey("profilename", i)] = "p" + std::to_string(i);
      ini.values["profiles"][ProfileKey("profilemac", i)] = "m";
    }
    EXPECT_EQ(ReadProfileNames(ini), c.listed) << "count=" << c.count;
    const int added = static_cast<int>(c.listed.size());
    EXPECT_EQ(SaveProfile(ini, "new", "m", "h"), added) << "count=" << c.count;
    EXPECT_EQ(ini.values["profiles"]["count"], std::to_string(added + 1)) << "count=" << c.count;
    EXPECT_EQ(ReadProfileNames(ini).back(), "new") << "count=" << c.count;
  }
}

}  // namespace
