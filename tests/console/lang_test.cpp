#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

#include "console/lang.h"

namespace {

using Lines = std::vector<std::string>;

TEST(LangLines, AlwaysHoldsEveryLineTheProgramReads) {
  TLangLines lang;
  EXPECT_EQ(lang.Count(), LangLineCount);
  for (int i = 0; i < LangLineCount; ++i) EXPECT_FALSE(lang[i].empty()) << "line " << i;
  lang.Assign({});
  EXPECT_EQ(lang.Count(), LangLineCount);
  EXPECT_EQ(lang[-1], "");
  EXPECT_EQ(lang[LangLineCount], "");
}

TEST(LangLines, AShortFileKeepsTheBuiltInWordingOfTheLinesItLacks) {
  TLangLines lang;
  lang.Assign({"English", "readme.txt", "help.txt", "Wake computer"});
  EXPECT_EQ(lang[0], "English");
  EXPECT_EQ(lang[3], "Wake computer");
  EXPECT_EQ(lang[4], BuiltinLangLines()[4]);
  EXPECT_EQ(lang[57], "Morrowbell is now loading...");
  // A later, longer file replaces every line, and a shorter one after it does not keep the
  // longer file's lines.
  Lines full(LangLineCount, "x");
  lang.Assign(full);
  lang.Assign({"Deutsch"});
  EXPECT_EQ(lang[5], BuiltinLangLines()[5]);
}

TEST(LangLines, BuiltInWindowTextsAreTheStoredOnes) {
  const Lines& b = BuiltinLangLines();
  ASSERT_EQ(b.size(), static_cast<size_t>(LangLineCount));
  EXPECT_EQ(b[3], "Computer wecken");
  EXPECT_EQ(b[16], "Hier die Subnetmaske oder die IP-Adresse des zu weckenden PCs eingeben.");
  EXPECT_EQ(b[36], "Wecksignal wurde gesendet. Warte auf Antwort...");
  EXPECT_EQ(b[37], "Abbrechen");
  EXPECT_EQ(b[58], "Just a moment please...");
#ifdef _WIN32
  // The Windows programs speak the ANSI code page: "Über..." starts with the byte 0xDC.
  EXPECT_EQ(static_cast<unsigned char>(b[17][0]), 0xDC);
  EXPECT_EQ(b[17].size(), 7u);
#endif
}

TEST(LangTargets, CoverLines3To37And57And58WithHintsOnlyFor14To16) {
  std::set<int> lines;
  int previous = 2;
  for (const TLangTarget& t : LangTargets()) {
    EXPECT_GT(t.Line, previous) << "applied in line order";
    previous = t.Line;
    lines.insert(t.Line);
    bool hint = t.Line >= 14 && t.Line <= 16;
    EXPECT_EQ(t.Property == TLangProperty::Hint, hint) << "line " << t.Line;
    EXPECT_EQ(std::string(t.Window), t.Line <= 16   ? "Form1"
                                     : t.Line >= 57 ? "splash"
                                     : t.Line <= 20 ? "about"
                                     : t.Line <= 26 ? "clock1"
                                     : t.Line <= 34 ? "pro1"
                                                    : "wait1")
        << "line " << t.Line;
  }
  std::set<int> expected;
  for (int i = 3; i <= 37; ++i) expected.insert(i);
  expected.insert(57);
  expected.insert(58);
  EXPECT_EQ(lines, expected);
  // The window captions of the secondary windows.
  for (const TLangTarget& t : LangTargets())
    EXPECT_EQ(std::string(t.Control).empty(), t.Line == 17 || t.Line == 21 || t.Line == 27 || t.Line == 35);
}

}  // namespace

namespace {

std::string ReadShipped(const std::string& relative) {
  std::ifstream in(std::string(MB_SOURCE_DIR) + "/" + relative, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ShippedLanguages, HoldEveryLineAndNameDocumentsThatExist) {
  for (const char* file : {"lang/deu.txt", "lang/eng.txt"}) {
    std::string bytes = ReadShipped(file);
    std::vector<std::string> lines = SplitTextLines(bytes);
    ASSERT_EQ(lines.size(), static_cast<size_t>(LangLineCount)) << file;
    for (int i = 0; i < LangLineCount; ++i) EXPECT_FALSE(lines[i].empty()) << file << " line " << i;
    EXPECT_FALSE(ReadShipped("doc/" + lines[llReadmeFile]).empty()) << file;
    EXPECT_FALSE(ReadShipped("doc/" + lines[llHelpFile]).empty()) << file;
    EXPECT_EQ(bytes.find('\n'), bytes.find("\r\n") + 1) << "CR LF line ends";
  }
  // German texts are Windows-1252 bytes, not UTF-8.
  std::vector<std::string> deu = SplitTextLines(ReadShipped("lang/deu.txt"));
  EXPECT_EQ(deu[4], "Profil w\xE4hlen:");
  EXPECT_EQ(deu[13],
            "\xDC"
            "ber... Morrowbell");
  EXPECT_FALSE(ReadShipped("doc/history.txt").empty());
}

}  // namespace
