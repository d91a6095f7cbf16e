// INI files with the rules of the Windows profile functions, in one portable implementation
// so that the native tests cover the code the programs run. The file is read anew for every
// call and every write goes to disk at once; nothing is cached between calls.
//
// Rules: "[name]" starts a section, "key=value" is an entry; section and key names are
// compared without regard to ASCII letter case (other letters must match exactly) and
// only the first section of a name counts;
// names and values are trimmed of blanks, and a value enclosed in matching single or
// double quotes loses them on reading. Lines that are neither (comments, garbage) are
// kept untouched by writes and never match a key. A missing file reads as empty.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>
#include "base/errors.h"

class TIniFile {
public:
  explicit TIniFile(const std::string& fileName) : fileName_(fileName) {}

  const std::string& FileName() const { return fileName_; }

  std::string ReadString(const std::string& section, const std::string& ident, const std::string& defaultValue) const;
  // Decimal text (blanks and a sign allowed); anything else gives the default.
  int32_t ReadInteger(const std::string& section, const std::string& ident, int32_t defaultValue) const;

  // Sets the key, adding it to the end of its section or a new section to the end of the
  // file; every other line stays byte for byte. An empty value keeps the key ("key=").
  // The file is replaced whole through a temporary file; a failure raises EIniFileException.
  void WriteString(const std::string& section, const std::string& ident, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& ident, int32_t value);

  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& ident) const;
  // Key names of the section in file order.
  std::vector<std::string> ReadSection(const std::string& section) const;
  // The section's keys with their values as ReadString reads them, in file order, from one
  // read of the file. A key that appears twice is listed twice; ReadString gives the first.
  std::vector<std::pair<std::string, std::string>> ReadSectionValues(const std::string& section) const;

private:
  std::string fileName_;
};
