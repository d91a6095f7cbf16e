// The string list: an ordered list of texts with checked indexes and line-based file I/O.
// Files are read as bytes and split at CR LF, LF or a lone CR; they are written with CR LF.
#pragma once
#include <string>
#include <vector>
#include "base/errors.h"

// The lines of text, split at CR LF, LF or a lone CR; a final line break adds no empty line.
std::vector<std::string> SplitLines(const std::string& text);

class TStringList {
public:
  TStringList() = default;

  int Count() const { return static_cast<int>(items_.size()); }
  // Index outside 0..Count()-1 raises EListError.
  const std::string& operator[](int index) const;
  std::string& operator[](int index);
  const std::string& Strings(int index) const { return (*this)[index]; }

  int Add(const std::string& s);                 // returns the new entry's index
  void Insert(int index, const std::string& s);  // 0..Count() allowed
  void Delete(int index);
  void Clear() { items_.clear(); }
  // First entry equal to s without regard to letter case; -1 when none.
  int IndexOf(const std::string& s) const;

  // Every entry followed by CR LF.
  std::string Text() const;
  // Replaces the entries by the lines of text; a final line break adds no empty entry.
  void SetText(const std::string& text);

  // A file that cannot be opened raises EFOpenError and leaves the list unchanged.
  void LoadFromFile(const std::string& fileName);
  // A file that cannot be written raises EFCreateError; the old file stays as it was.
  void SaveToFile(const std::string& fileName) const;

  std::vector<std::string>::const_iterator begin() const { return items_.begin(); }
  std::vector<std::string>::const_iterator end() const { return items_.end(); }

private:
  void CheckIndex(int index) const;
  std::vector<std::string> items_;
};
