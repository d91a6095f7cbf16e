// Portable half of the helpers; the file system and the command line are in
// sysutils_win32.cpp and sysutils_posix.cpp.
#include "base/sysutils.h"
#include "base/sysutils_platform.h"

std::string IntToStr(int64_t value) { return std::to_string(value); }

bool TryStrToInt(const std::string& text, int32_t& value) {
  size_t i = 0, end = text.size();
  while (i < end && (text[i] == ' ' || text[i] == '\t')) ++i;
  while (end > i && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  bool negative = false;
  if (i < end && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == end) return false;
  int64_t v = 0;
  for (; i < end; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > 2147483648LL) return false;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  value = static_cast<int32_t>(v);
  return true;
}

int32_t StrToInt(const std::string& text) {
  int32_t v;
  if (!TryStrToInt(text, v)) throw EConvertError("'" + text + "' is not a valid integer value");
  return v;
}

int32_t StrToIntDef(const std::string& text, int32_t defaultValue) {
  int32_t v;
  return TryStrToInt(text, v) ? v : defaultValue;
}

static bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string TrimLeft(const std::string& s) {
  size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return s.substr(b);
}

std::string TrimRight(const std::string& s) {
  size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return s.substr(0, e);
}

std::string Trim(const std::string& s) { return TrimRight(TrimLeft(s)); }

std::string UpperCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
}

std::string LowerCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

bool SameText(const std::string& a, const std::string& b) { return LowerCase(a) == LowerCase(b); }

char AnsiLowerChar(char ch) {
  const unsigned char c = static_cast<unsigned char>(ch);
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c + 32);
  // Windows-1252: À..Þ fold to à..þ except the multiplication sign; Š Œ Ž Ÿ have their own pairs.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char>(c + 32);
  if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<char>(c + 16);
  if (c == 0x9F) return static_cast<char>(0xFF);
  return ch;
}

int AnsiCompareText(const std::string& a, const std::string& b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = static_cast<unsigned char>(AnsiLowerChar(a[i]));
    const unsigned char y = static_cast<unsigned char>(AnsiLowerChar(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool AnsiSameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && AnsiCompareText(a, b) == 0;
}

// Index just after the last "\" or ":", i.e. where the name part starts.
static size_t NameStart(const std::string& path) {
  const size_t p = path.find_last_of("\\:");
  return p == std::string::npos ? 0 : p + 1;
}

std::string ExtractFileName(const std::string& path) { return path.substr(NameStart(path)); }

std::string ExtractFilePath(const std::string& path) { return path.substr(0, NameStart(path)); }

std::string ExtractFileDir(const std::string& path) {
  size_t n = NameStart(path);
  // Keep the separator of a root ("\" or "C:\") so the result still names that root.
  if (n > 1 && path[n - 1] == '\\' && path[n - 2] != ':' && path[n - 2] != '\\') --n;
  return path.substr(0, n);
}

std::string ExtractFileExt(const std::string& path) {
  const size_t start = NameStart(path);
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < start) return std::string();
  return path.substr(dot);
}

std::string IncludeTrailingBackslash(const std::string& path) {
  if (!path.empty() && path.back() == '\\') return path;
  return path + "\\";
}

std::string ExcludeTrailingBackslash(const std::string& path) {
  if (!path.empty() && path.back() == '\\') return path.substr(0, path.size() - 1);
  return path;
}

static bool MaskMatch(const char* n, const char* m) {
  for (;;) {
    if (*m == '\0') return *n == '\0';
    if (*m == '*') {
      while (*m == '*') ++m;
      if (*m == '\0') return true;
      for (; *n; ++n)
        if (MaskMatch(n, m)) return true;
      return false;
    }
    if (*n == '\0') return false;
    if (*m != '?' && AnsiLowerChar(*m) != AnsiLowerChar(*n)) return false;
    ++m;
    ++n;
  }
}

bool MatchesFileMask(const std::string& name, const std::string& mask) {
  // "*.*" is every name, also one without a dot, as on Windows.
  if (mask == "*.*") return true;
  return MaskMatch(name.c_str(), mask.c_str());
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> args;
  size_t i = 0;
  const size_t n = commandLine.size();
  for (;;) {
    while (i < n && IsBlank(commandLine[i])) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    for (; i < n; ++i) {
      const char c = commandLine[i];
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && IsBlank(c)) {
        break;
      } else {
        arg += c;
      }
    }
    args.push_back(arg);
  }
  return args;
}

std::string ProgramFolder() { return ExtractFilePath(ProgramFileName()); }

int ParamCount() {
  const std::vector<std::string> args = PlatformArguments();
  return args.empty() ? 0 : static_cast<int>(args.size()) - 1;
}

std::string ParamStr(int index) {
  if (index == 0) return ProgramFileName();
  const std::vector<std::string> args = PlatformArguments();
  if (index < 0 || index >= static_cast<int>(args.size())) return std::string();
  return args[static_cast<size_t>(index)];
}
