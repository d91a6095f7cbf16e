// The file is parsed into lines that remember where they sit in the original bytes, so a
// write can splice one line in or out and leave everything else exactly as it was.
#include "base/inifiles.h"
#include "base/sysutils.h"

namespace {

// Only white space counts as blank here; other control characters belong to the text.
bool IsIniSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::string IniTrim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsIniSpace(s[b])) ++b;
  while (e > b && IsIniSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

enum class LineKind { Blank, Section, Entry, Other };

struct IniLine {
  size_t begin = 0;  // first byte of the line
  size_t end = 0;    // first byte of its line break (or end of data)
  size_t next = 0;   // first byte of the following line
  LineKind kind = LineKind::Blank;
  std::string name;   // section or key name, trimmed
  std::string value;  // entry value, trimmed, quotes kept
};

std::vector<IniLine> ParseIni(const std::string& data) {
  std::vector<IniLine> lines;
  size_t pos = 0;
  const size_t n = data.size();
  while (pos < n) {
    IniLine line;
    line.begin = pos;
    size_t end = pos;
    while (end < n && data[end] != '\r' && data[end] != '\n') ++end;
    line.end = end;
    if (end < n && data[end] == '\r') ++end;
    if (end < n && data[end] == '\n') ++end;
    line.next = end;
    const std::string text = IniTrim(data.substr(line.begin, line.end - line.begin));
    if (text.empty()) {
      line.kind = LineKind::Blank;
    } else if (text[0] == '[' && text.find(']') != std::string::npos) {
      // Text after the "]" is ignored; a "[" line without "]" is no header at all.
      line.kind = LineKind::Section;
      line.name = IniTrim(text.substr(1, text.find(']') - 1));
    } else if (text[0] == ';') {
      line.kind = LineKind::Other;
    } else if (const size_t eq = text.find('='); eq != std::string::npos) {
      line.kind = LineKind::Entry;
      line.name = IniTrim(text.substr(0, eq));
      line.value = IniTrim(text.substr(eq + 1));
    } else {
      line.kind = LineKind::Other;
    }
    lines.push_back(line);
    pos = line.next;
  }
  return lines;
}

// Index range [first, last) of the lines inside the first section of that name, first
// being the header; first == lines.size() when there is none.
struct SectionSpan {
  size_t header;
  size_t end;
};

SectionSpan FindSection(const std::vector<IniLine>& lines, const std::string& section) {
  const std::string wanted = IniTrim(section);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind == LineKind::Section && SameText(lines[i].name, wanted)) {
      size_t j = i + 1;
      while (j < lines.size() && lines[j].kind != LineKind::Section) ++j;
      return {i, j};
    }
  }
  return {lines.size(), lines.size()};
}

const IniLine* FindEntry(const std::vector<IniLine>& lines, const std::string& section, const std::string& ident) {
  const SectionSpan s = FindSection(lines, section);
  for (size_t i = s.header + 1; i < s.end; ++i)
    if (lines[i].kind == LineKind::Entry && SameText(lines[i].name, IniTrim(ident))) return &lines[i];
  return nullptr;
}

std::string Unquote(const std::string& v) {
  if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) return v.substr(1, v.size() - 2);
  return v;
}

// The line break this file already uses, so added lines match it; CR LF for a new file.
std::string LineBreakOf(const std::string& data) {
  const size_t p = data.find_first_of("\r\n");
  if (p == std::string::npos) return "\r\n";
  if (data[p] == '\n') return "\n";
  return (p + 1 < data.size() && data[p + 1] == '\n') ? "\r\n" : "\r";
}

std::string LoadOrEmpty(const std::string& fileName) {
  std::string data;
  if (!LoadFileBytes(fileName, data)) data.clear();
  return data;
}

}  // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& ident,
                                 const std::string& defaultValue) const {
  const std::string data = LoadOrEmpty(fileName_);
  const std::vector<IniLine> lines = ParseIni(data);
  const IniLine* e = FindEntry(lines, section, ident);
  return e ? Unquote(e->value) : defaultValue;
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& ident, int32_t defaultValue) const {
  return StrToIntDef(ReadString(section, ident, std::string()), defaultValue);
}

void TIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  std::string data = LoadOrEmpty(fileName_);
  const std::vector<IniLine> lines = ParseIni(data);
  const std::string br = LineBreakOf(data);
  const std::string key = IniTrim(ident);
  const SectionSpan s = FindSection(lines, section);
  std::string updated;
  if (const IniLine* e = FindEntry(lines, section, key)) {
    updated = data.substr(0, e->begin) + e->name + "=" + value + data.substr(e->end);
  } else if (s.header < lines.size()) {
    // After the section's last non-blank line, so blank lines before the next section stay there.
    size_t last = s.header;
    for (size_t i = s.header + 1; i < s.end; ++i)
      if (lines[i].kind != LineKind::Blank) last = i;
    const IniLine& after = lines[last];
    const bool hasBreak = after.next > after.end;
    updated = data.substr(0, after.end) + (hasBreak ? data.substr(after.end, after.next - after.end) : br) + key + "=" +
              value + (hasBreak ? data.substr(after.end, after.next - after.end) : br) + data.substr(after.next);
  } else {
    updated = data;
    if (!updated.empty() && updated.back() != '\n' && updated.back() != '\r') updated += br;
    if (!updated.empty()) updated += br;
    updated += "[" + IniTrim(section) + "]" + br + key + "=" + value + br;
  }
  try {
    SaveFileBytes(fileName_, updated);
  } catch (const EInOutError&) { throw EIniFileException("Unable to write to " + fileName_); }
}

void TIniFile::WriteInteger(const std::string& section, const std::string& ident, int32_t value) {
  WriteString(section, ident, IntToStr(value));
}

bool TIniFile::SectionExists(const std::string& section) const {
  const std::vector<IniLine> lines = ParseIni(LoadOrEmpty(fileName_));
  return FindSection(lines, section).header < lines.size();
}

bool TIniFile::ValueExists(const std::string& section, const std::string& ident) const {
  return FindEntry(ParseIni(LoadOrEmpty(fileName_)), section, ident) != nullptr;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
  const std::vector<IniLine> lines = ParseIni(LoadOrEmpty(fileName_));
  const SectionSpan s = FindSection(lines, section);
  std::vector<std::string> keys;
  for (size_t i = s.header + 1; i < s.end; ++i)
    if (lines[i].kind == LineKind::Entry) keys.push_back(lines[i].name);
  return keys;
}

std::vector<std::pair<std::string, std::string>> TIniFile::ReadSectionValues(const std::string& section) const {
  const std::vector<IniLine> lines = ParseIni(LoadOrEmpty(fileName_));
  const SectionSpan s = FindSection(lines, section);
  std::vector<std::pair<std::string, std::string>> entries;
  for (size_t i = s.header + 1; i < s.end; ++i)
    if (lines[i].kind == LineKind::Entry) entries.emplace_back(lines[i].name, Unquote(lines[i].value));
  return entries;
}
