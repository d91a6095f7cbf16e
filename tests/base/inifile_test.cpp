#include <gtest/gtest.h>
#include <algorithm>
#include "base/inifiles.h"
#include "base/strings.h"
#include "base/sysutils.h"
#include "tests/base/ini_random.h"
#include "tests/base/temp_folder.h"

TEST(IniFile, MissingFileReadsAsDefaultsAndIsNotCreatedByReading) {
  TempFolder t;
  TIniFile ini(t.File("profiles.ini"));
  EXPECT_EQ(ini.ReadString("settings", "lpro", "Custom"), "Custom");
  EXPECT_EQ(ini.ReadInteger("settings", "wakeupport", 2050), 2050);
  EXPECT_FALSE(ini.SectionExists("settings"));
  EXPECT_FALSE(t.Has("profiles.ini"));
}

TEST(IniFile, FirstWritesCreateTheFileWithOneSectionHoldingTheKeys) {
  TempFolder t;
  TIniFile ini(t.File("profiles.ini"));
  ini.WriteString("settings", "lpro", "");
  ini.WriteString("settings", "lang", "eng.txt");
  EXPECT_EQ(t.Get("profiles.ini"), "[settings]\r\nlpro=\r\nlang=eng.txt\r\n");
}

TEST(IniFile, AnEmptyValueKeepsTheKeyAndReadsAsEmptyNotAsDefault) {
  TempFolder t;
  t.Put("p.ini", "[settings]\r\nlpro=pc1\r\n");
  TIniFile ini(t.File("p.ini"));
  ini.WriteString("settings", "lpro", "");
  EXPECT_EQ(t.Get("p.ini"), "[settings]\r\nlpro=\r\n");
  EXPECT_EQ(ini.ReadString("settings", "lpro", "Custom"), "");
  EXPECT_TRUE(ini.ValueExists("settings", "lpro"));
}

TEST(IniFile, SectionAndKeyNamesMatchWithoutRegardToCaseAndOnlyTheFirstSectionCounts) {
  TempFolder t;
  t.Put("p.ini", "[Settings]\r\nLPro=pc1\r\n[settings]\r\nlpro=second\r\nother=x\r\n");
  TIniFile ini(t.File("p.ini"));
  EXPECT_EQ(ini.ReadString("SETTINGS", "lpro", "d"), "pc1");
  EXPECT_EQ(ini.ReadString("settings", "other", "d"), "d");
  ini.WriteString("settings", "LPRO", "pc2");
  EXPECT_EQ(t.Get("p.ini"), "[Settings]\r\nLPro=pc2\r\n[settings]\r\nlpro=second\r\nother=x\r\n");
}

TEST(IniFile, NamesAndValuesAreTrimmedAndMatchingQuotesDropped) {
  TempFolder t;
  t.Put("p.ini",
        "  [ info ]  \r\n"
        "  name1 =  Tool One  \r\n"
        "q1=\"quoted value\"\r\n"
        "q2='single'\r\n"
        "q3=\"unmatched'\r\n"
        "q4=\"\r\n"
        "eq=a=b\r\n");
  TIniFile ini(t.File("p.ini"));
  EXPECT_EQ(ini.ReadString("info", "name1", "d"), "Tool One");
  EXPECT_EQ(ini.ReadString(" info ", " name1 ", "d"), "Tool One");
  EXPECT_EQ(ini.ReadString("info", "q1", "d"), "quoted value");
  EXPECT_EQ(ini.ReadString("info", "q2", "d"), "single");
  EXPECT_EQ(ini.ReadString("info", "q3", "d"), "\"unmatched'");
  EXPECT_EQ(ini.ReadString("info", "q4", "d"), "\"");
  EXPECT_EQ(ini.ReadString("info", "eq", "d"), "a=b");
  t.Put("c.ini", "[s]\r\nk=\x01v\x01\r\n\x01j=w\r\n");
  EXPECT_EQ(TIniFile(t.File("c.ini")).ReadString("s", "k", "d"), "\x01v\x01");  // control characters stay
  EXPECT_EQ(TIniFile(t.File("c.ini")).ReadString("s", "j", "d"), "d");
}

TEST(IniFile, IntegersAreDecimalAndAnythingElseGivesTheDefault) {
  TempFolder t;
  t.Put("p.ini", "[s]\r\na= 42 \r\nb=-3\r\nc=12abc\r\nd=\r\ne=0x10\r\nf=99999999999\r\n");
  TIniFile ini(t.File("p.ini"));
  EXPECT_EQ(ini.ReadInteger("s", "a", 7), 42);
  EXPECT_EQ(ini.ReadInteger("s", "b", 7), -3);
  for (const char* k : {"c", "d", "e", "f", "missing"}) EXPECT_EQ(ini.ReadInteger("s", k, 7), 7) << k;
  ini.WriteInteger("s", "g", -2050);
  EXPECT_EQ(ini.ReadInteger("s", "g", 0), -2050);
}

TEST(IniFile, WritingAKeyChangesOnlyItsLineAndKeepsCommentsAndGarbage) {
  TempFolder t;
  const std::string before =
      "; maker's file\r\n"
      "[settings]\r\n"
      "garbage without equals\r\n"
      "wakeupport = 2050\r\n"
      "\r\n"
      "[profiles]\r\n"
      "count=1\r\n";
  t.Put("p.ini", before);
  TIniFile ini(t.File("p.ini"));
  ini.WriteInteger("settings", "wakeupport", 4000);
  EXPECT_EQ(t.Get("p.ini"),
            "; maker's file\r\n[settings]\r\ngarbage without equals\r\nwakeupport=4000\r\n\r\n"
            "[profiles]\r\ncount=1\r\n");
  EXPECT_EQ(ini.ReadString("settings", "garbage without equals", "d"), "d");
}

TEST(IniFile, NewKeyGoesAfterTheSectionsLastLineNewSectionToTheEnd) {
  TempFolder t;
  t.Put("p.ini", "[settings]\r\nlang=eng.txt\r\n\r\n[profiles]\r\ncount=0");
  TIniFile ini(t.File("p.ini"));
  ini.WriteString("settings", "lpro", "Custom");
  ini.WriteString("profiles", "profilename0", "pc1");
  ini.WriteString("extra", "k", "v");
  EXPECT_EQ(t.Get("p.ini"),
            "[settings]\r\nlang=eng.txt\r\nlpro=Custom\r\n\r\n[profiles]\r\ncount=0\r\nprofilename0=pc1\r\n"
            "\r\n[extra]\r\nk=v\r\n");
}

TEST(IniFile, AddedLinesUseTheLineBreakTheFileAlreadyHas) {
  TempFolder t;
  t.Put("p.ini", "[info]\ncount=1\n");
  TIniFile ini(t.File("p.ini"));
  ini.WriteString("info", "ver1", "2.0");
  ini.WriteString("new", "a", "b");
  EXPECT_EQ(t.Get("p.ini"), "[info]\ncount=1\nver1=2.0\n\n[new]\na=b\n");
}

TEST(IniFile, LinesBeforeAnySectionAndUnclosedHeadersOpenNoSection) {
  TempFolder t;
  t.Put("p.ini", "lpro=outside\r\n[profiles]\r\ncount=2\r\n[settings\r\nlpro=pc1\r\n[]\r\nx=1\r\n\x01\xff[junk]=\r\n");
  TIniFile ini(t.File("p.ini"));
  EXPECT_EQ(ini.ReadString("", "lpro", "d"), "d");
  EXPECT_EQ(ini.ReadString("settings", "lpro", "d"), "d");
  EXPECT_EQ(ini.ReadString("profiles", "lpro", "d"), "pc1");  // the broken header is just a line
  EXPECT_EQ(ini.ReadString("", "x", "d"), "1");
  EXPECT_EQ(ini.ReadSection("profiles"), (std::vector<std::string>{"count", "lpro"}));
  ini.WriteString("settings", "lpro", "pc2");
  EXPECT_EQ(ini.ReadString("settings", "lpro", "d"), "pc2");
  EXPECT_EQ(ini.ReadString("profiles", "lpro", "d"), "pc1");
}

TEST(IniFile, NonAsciiLettersInNamesMustMatchExactly) {
  TempFolder t;
  t.Put("p.ini",
        "[\xC4nderung]\r\n\xFC"
        "ber=1\r\n");
  TIniFile ini(t.File("p.ini"));
  EXPECT_EQ(ini.ReadString("\xC4NDERUNG",
                           "\xFC"
                           "BER",
                           "d"),
            "1");
  EXPECT_EQ(ini.ReadString("\xE4nderung",
                           "\xFC"
                           "ber",
                           "d"),
            "d");
}

TEST(IniFile, AFailedWriteRaisesAndLeavesNoFileBehind) {
  TempFolder t;
  TIniFile ini(t.File("missing\\p.ini"));
  EXPECT_THROW(ini.WriteString("s", "k", "v"), EIniFileException);
  EXPECT_EQ(t.EntryCount(), 0u);
}

TEST(IniFile, AFileWrittenByOthersWithoutFinalLineBreakGetsOneBeforeTheNewKey) {
  TempFolder t;
  t.Put("progs.kvr", "[info]\r\ncount=1\r\npath1=C:\\T\\tool.exe");
  TIniFile ini(t.File("progs.kvr"));
  ini.WriteString("info", "ver1", "1.1");
  EXPECT_EQ(t.Get("progs.kvr"), "[info]\r\ncount=1\r\npath1=C:\\T\\tool.exe\r\nver1=1.1\r\n");
  EXPECT_EQ(ini.ReadString("info", "path1", ""), "C:\\T\\tool.exe");
}

TEST(IniFile, OnAnyFileAWriteChangesExactlyTheWrittenKey) {
  TempFolder t;
  RandomIni gen(2050);
  const std::vector<std::string> sections{"s", "settings", "info", "t", "none"};
  const std::vector<std::string> keys{"k", "lpro", "count", "path1", "my key", "none"};
  for (int round = 0; round < 300; ++round) {
    const std::string content = gen.File();
    t.Put("r.ini", content);
    TIniFile ini(t.File("r.ini"));
    std::vector<std::string> before;
    for (const std::string& s : sections)
      for (const std::string& k : keys) before.push_back(ini.ReadString(s, k, "<d>"));
    const std::string ws = gen.Section(), wk = gen.Key(), wv = gen.Value();
    ini.WriteString(ws, wk, wv);
    const std::string expected =
        (wv.size() >= 2 && (wv[0] == '"' || wv[0] == '\'') && wv.back() == wv[0]) ? wv.substr(1, wv.size() - 2) : wv;
    ASSERT_EQ(ini.ReadString(ws, wk, "<d>"), expected) << content;
    size_t i = 0;
    for (const std::string& s : sections)
      for (const std::string& k : keys) {
        const bool written = SameText(s, ws) && SameText(k, wk);
        if (!written) { EXPECT_EQ(ini.ReadString(s, k, "<d>"), before[i]) << content << " / " << s << "/" << k; }
        ++i;
      }
    // Every line of the old file is still there, in order, but for at most the written one.
    TStringList oldLines, newLines;
    oldLines.SetText(content);
    newLines.SetText(t.Get("r.ini"));
    int missing = 0, j = 0;
    for (const std::string& line : oldLines) {
      int k = j;
      while (k < newLines.Count() && newLines[k] != line) ++k;
      if (k == newLines.Count())
        ++missing;
      else
        j = k + 1;
    }
    EXPECT_LE(missing, 1) << content;
  }
}

TEST(IniFile, ASectionReadWholeGivesTheKeysAndTheValuesEachReadAloneGives) {
  TempFolder t;
  RandomIni gen(1101);
  for (int round = 0; round < 300; ++round) {
    const std::string content = gen.File();
    t.Put("r.ini", content);
    TIniFile ini(t.File("r.ini"));
    for (const std::string s : {"s", "settings", "info", "t", "none"}) {
      const std::vector<std::pair<std::string, std::string>> entries = ini.ReadSectionValues(s);
      std::vector<std::string> keys;
      for (const auto& [key, value] : entries) {
        // A repeated key reads as its first.
        if (std::none_of(keys.begin(), keys.end(), [&](const std::string& k) { return SameText(k, key); })) {
          EXPECT_EQ(value, ini.ReadString(s, key, "<d>")) << content << " / " << s << "/" << key;
        }
        keys.push_back(key);
      }
      EXPECT_EQ(keys, ini.ReadSection(s)) << content << " / " << s;
    }
  }
}
