// Our INI reader and writer against the Windows profile functions on the same files: the
// platform's behaviour is the reference for every rule of TIniFile.
#include <gtest/gtest.h>
#include <windows.h>
#include "base/inifiles.h"
#include "tests/base/ini_random.h"
#include "tests/base/temp_folder.h"

namespace {

const char kDefault[] = "<default>";

std::string PlatformRead(const std::string& file, const std::string& section, const std::string& key) {
  char buf[4096] = {};
  GetPrivateProfileStringA(section.c_str(), key.c_str(), kDefault, buf, sizeof(buf), file.c_str());
  return buf;
}

struct ReadCase {
  const char* name;
  const char* content;
  const char* section;
  const char* key;
};

const ReadCase kReadCases[] = {
    {"plain", "[s]\r\nk=v\r\n", "s", "k"},
    {"missing key", "[s]\r\nk=v\r\n", "s", "x"},
    {"missing section", "[s]\r\nk=v\r\n", "t", "k"},
    {"case of section and key", "[SeTTings]\r\nLPRO=pc1\r\n", "settings", "lpro"},
    {"blanks around names and value", "  [ s ]  \r\n  k  =  v w  \r\n", "s", "k"},
    {"tabs around value", "[s]\r\nk=\tv\t\r\n", "s", "k"},
    {"empty value", "[s]\r\nk=\r\n", "s", "k"},
    {"double quotes", "[s]\r\nk=\"a b\"\r\n", "s", "k"},
    {"single quotes", "[s]\r\nk='a b'\r\n", "s", "k"},
    {"unmatched quotes", "[s]\r\nk=\"a b'\r\n", "s", "k"},
    {"quote inside", "[s]\r\nk=a\"b\"\r\n", "s", "k"},
    {"second equals sign", "[s]\r\nk=a=b\r\n", "s", "k"},
    {"first of two keys", "[s]\r\nk=1\r\nk=2\r\n", "s", "k"},
    {"key of the second same-named section", "[s]\r\na=1\r\n[S]\r\nb=2\r\n", "s", "b"},
    {"key in both same-named sections", "[s]\r\na=1\r\n[S]\r\na=2\r\n", "s", "a"},
    {"LF line ends", "[s]\nk=v\nj=w\n", "s", "j"},
    {"CR line ends", "[s]\rk=v\rj=w\r", "s", "j"},
    {"no final line break", "[s]\r\nk=v", "s", "k"},
    {"comment line is no key", "[s]\r\n;k=v\r\n", "s", "k"},
    {"comment after value stays", "[s]\r\nk=v ;note\r\n", "s", "k"},
    {"garbage line before key", "[s]\r\ngarbage\r\nk=v\r\n", "s", "k"},
    {"unclosed section header", "[s\r\nk=v\r\n", "s", "k"},
    {"text after the header", "[s] trailing\r\nk=v\r\n", "s", "k"},
    {"key before any section", "k=v\r\n[s]\r\nj=w\r\n", "s", "k"},
    {"blank lines inside", "[s]\r\n\r\n\r\nk=v\r\n", "s", "k"},
    {"key with inner blank", "[s]\r\nmy key=v\r\n", "s", "my key"},
    {"non-ASCII letters in names are not folded",
     "[\xC4nderung]\r\n\xFC"
     "ber=1\r\n",
     "\xE4NDERUNG",
     "\xDC"
     "BER"},
    {"unclosed header stays in the previous section", "[a]\r\nx=1\r\n[s\r\nk=v\r\n", "a", "k"},
    {"unclosed header opens no section", "[a]\r\nx=1\r\n[s\r\nk=v\r\n", "s", "k"},
    {"unclosed header is no key", "[a]\r\nx=1\r\n[s\r\nk=v\r\n", "[s", "k"},
    {"non-ASCII names match exactly", "[\xC4]\r\n\xFC=1\r\n", "\xC4", "\xFC"},
    {"non-ASCII value bytes", "[a]\r\nk=\xFC\r\n", "a", "k"},
    {"bracket starting a key", "[a]\r\n]x=1\r\n", "a", "]x"},
    {"garbage line read as a key", "[s]\r\ngarbage\r\nk=v\r\n", "s", "garbage"},
    {"blanks around the asked names", "[s]\r\nk=v\r\n", " s ", " k "},
    {"empty key name", "[s]\r\n=v\r\n", "s", ""},
    {"tab inside the header", "[\ts\t]\r\nk=v\r\n", "s", "k"},
    {"comment line with a section name", "[s]\r\n;[t]\r\nk=v\r\n", "s", "k"},
    {"control characters are no blanks", "[s]\r\nk=\x01v\x01\r\n", "s", "k"},
    {"no-break space is no blank", "[s]\r\nk=\xA0v\xA0\r\n", "s", "k"},
    {"vertical tab and form feed are blanks", "[s]\r\nk=\x0Bv\x0C\r\n", "s", "k"},
    {"control character before a key", "[s]\r\n\x01k=v\r\n", "s", "k"},
    {"integer text", "[settings]\r\nwakeupport= 4000 \r\n", "settings", "wakeupport"},
    {"empty file", "", "s", "k"},
};

class IniAgainstPlatform : public ::testing::TestWithParam<ReadCase> {};

}  // namespace

TEST_P(IniAgainstPlatform, ReadsTheSameValueAsTheProfileFunctions) {
  const ReadCase& c = GetParam();
  TempFolder t;
  t.Put("r.ini", c.content);
  TIniFile ini(t.File("r.ini"));
  EXPECT_EQ(ini.ReadString(c.section, c.key, kDefault), PlatformRead(t.File("r.ini"), c.section, c.key)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, IniAgainstPlatform, ::testing::ValuesIn(kReadCases));

namespace {

struct WriteCase {
  const char* name;
  const char* content;  // nullptr: no file
  const char* section;
  const char* key;
  const char* value;
};

const WriteCase kWriteCases[] = {
    {"new file", nullptr, "settings", "lpro", ""},
    {"new key in section", "[settings]\r\nlang=eng.txt\r\n", "settings", "lpro", "pc1"},
    {"replace value", "[settings]\r\nlpro=pc1\r\n", "settings", "LPRO", "pc2"},
    {"empty value keeps key", "[settings]\r\nlpro=pc1\r\n", "settings", "lpro", ""},
    {"new section at the end", "[settings]\r\nlang=eng.txt\r\n", "profiles", "count", "1"},
    {"section case kept", "[Settings]\r\nx=1\r\n", "SETTINGS", "y", "2"},
    {"garbage around", "junk\r\n[s]\r\n;c\r\nbad line\r\nk=1\r\n\r\n[t]\r\nu=1\r\n", "s", "k", "2"},
    {"no final line break", "[info]\r\ncount=1", "info", "ver1", "2.0"},
    {"duplicate sections", "[s]\r\na=1\r\n[s]\r\nb=2\r\n", "s", "b", "3"},
    {"value with blanks", "[s]\r\n", "s", "k", "a b"},
};

class IniWriteAgainstPlatform : public ::testing::TestWithParam<WriteCase> {};

std::vector<std::pair<std::string, std::string>> Probes(const WriteCase& c) {
  return {{c.section, c.key}, {"settings", "lang"}, {"settings", "lpro"}, {"s", "a"},       {"s", "b"},
          {"s", "k"},         {"t", "u"},           {"info", "count"},    {"info", "ver1"}, {"profiles", "count"},
          {"settings", "x"},  {"settings", "y"}};
}

}  // namespace

TEST_P(IniWriteAgainstPlatform, AfterTheSameWriteBothReadersAgreeOnEveryKey) {
  const WriteCase& c = GetParam();
  TempFolder t;
  if (c.content) {
    t.Put("ours.ini", c.content);
    t.Put("theirs.ini", c.content);
  }
  TIniFile ours(t.File("ours.ini"));
  ours.WriteString(c.section, c.key, c.value);
  ASSERT_TRUE(WritePrivateProfileStringA(c.section, c.key, c.value, t.File("theirs.ini").c_str()));
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, t.File("theirs.ini").c_str());  // flush
  TIniFile theirsViaOurs(t.File("theirs.ini"));
  for (const auto& [section, key] : Probes(c)) {
    const std::string expected = PlatformRead(t.File("theirs.ini"), section, key);
    EXPECT_EQ(ours.ReadString(section, key, kDefault), expected) << c.name << ": " << section << "/" << key;
    EXPECT_EQ(PlatformRead(t.File("ours.ini"), section, key), expected) << c.name << ": " << section << "/" << key;
    EXPECT_EQ(theirsViaOurs.ReadString(section, key, kDefault), expected) << c.name << ": " << section << "/" << key;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, IniWriteAgainstPlatform, ::testing::ValuesIn(kWriteCases));

namespace {

std::vector<std::string> PlatformKeys(const std::string& file, const std::string& section) {
  char buf[8192] = {};
  const DWORD n = GetPrivateProfileStringA(section.c_str(), nullptr, "", buf, sizeof(buf), file.c_str());
  std::vector<std::string> keys;
  for (DWORD i = 0; i < n; i += static_cast<DWORD>(std::string(buf + i).size()) + 1) keys.push_back(buf + i);
  return keys;
}

}  // namespace

TEST(IniAgainstPlatformKeys, ASectionListsTheSameKeysAsTheProfileFunctions) {
  TempFolder t;
  const char* files[] = {
      "[info]\r\ncount=2\r\npath1=a\r\n\r\nname1 = b\r\ngarbage\r\n[other]\r\nx=1\r\n",
      "[info]\r\n;comment\r\ncount=2\r\n[INFO]\r\nlate=1\r\n",
      "[info]\r\n",
  };
  int n = 0;
  for (const char* content : files) {
    const std::string name = "k" + std::to_string(n++) + ".ini";
    t.Put(name, content);
    EXPECT_EQ(TIniFile(t.File(name)).ReadSection("info"), PlatformKeys(t.File(name), "info")) << content;
  }
}

TEST(IniAgainstPlatformRandom, RandomFilesReadTheSameAndStayInAgreementAfterWrites) {
  TempFolder t;
  RandomIni gen(1502);
  for (int round = 0; round < 150; ++round) {
    const std::string content = gen.File();
    const std::string ours = "o" + std::to_string(round) + ".ini";
    const std::string theirs = "p" + std::to_string(round) + ".ini";
    t.Put(ours, content);
    t.Put(theirs, content);
    TIniFile ini(t.File(ours));
    for (int q = 0; q < 6; ++q) {
      const std::string s = gen.Section(), k = gen.Key();
      ASSERT_EQ(ini.ReadString(s, k, kDefault), PlatformRead(t.File(theirs), s, k)) << content << "|" << s << "/" << k;
    }
    const std::string ws = gen.Section(), wk = gen.Key(), wv = gen.Value();
    ini.WriteString(ws, wk, wv);
    WritePrivateProfileStringA(ws.c_str(), wk.c_str(), wv.c_str(), t.File(theirs).c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, t.File(theirs).c_str());
    for (int q = 0; q < 6; ++q) {
      const std::string s = q == 0 ? ws : gen.Section(), k = q == 0 ? wk : gen.Key();
      ASSERT_EQ(ini.ReadString(s, k, kDefault), PlatformRead(t.File(theirs), s, k))
          << content << "| after " << ws << "/" << wk << "=" << wv << " | " << s << "/" << k;
    }
  }
}
