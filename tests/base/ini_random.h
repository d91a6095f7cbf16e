// Random INI files built from the line shapes real files show (headers, entries, comments,
// garbage, blank lines, mixed line breaks), with a fixed seed so every run sees the same.
#pragma once
#include <random>
#include <string>
#include <vector>

class RandomIni {
public:
  explicit RandomIni(unsigned seed) : rng_(seed) {}

  std::string File() {
    std::string f;
    const int lines = Pick(0, 12);
    for (int i = 0; i < lines; ++i) {
      f += Line();
      if (i + 1 < lines || Pick(0, 3) != 0) f += Break();
    }
    return f;
  }
  std::string Section() { return Choose(sections_); }
  std::string Key() { return Choose(keys_); }
  std::string Value() { return Choose(values_); }

private:
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  std::string Choose(const std::vector<std::string>& v) {
    return v[static_cast<size_t>(Pick(0, static_cast<int>(v.size()) - 1))];
  }
  std::string Break() { return Choose({"\r\n", "\r\n", "\r\n", "\n", "\r"}); }
  std::string Blanks() { return Choose({"", "", " ", "  ", "\t"}); }
  std::string Line() {
    switch (Pick(0, 9)) {
      case 0:
      case 1:
      case 2: return Blanks() + "[" + Blanks() + Section() + Blanks() + "]" + Choose({"", "", " ;c", "x"});
      case 3:
      case 4:
      case 5:
      case 6: return Blanks() + Key() + Blanks() + "=" + Blanks() + Value() + Blanks();
      case 7: return Choose({";comment", "; k=v", "garbage", "[unclosed", "a b c", "==", "\x01\x7f"});
      default: return Blanks();
    }
  }
  std::mt19937 rng_;
  const std::vector<std::string> sections_{"s", "S", "settings", "info", "Info", "t"};
  const std::vector<std::string> keys_{"k", "K", "lpro", "count", "path1", "my key"};
  const std::vector<std::string> values_{"",       "v",  "a b", "\"q\"",        "'x'",
                                         "\"half", "12", "a=b", "C:\\x\\y.exe", "\x01x"};
};
