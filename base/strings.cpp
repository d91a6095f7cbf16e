#include "base/strings.h"
#include "base/sysutils.h"

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + IntToStr(index) + ")");
}

const std::string& TStringList::operator[](int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)];
}

std::string& TStringList::operator[](int index) {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)];
}

int TStringList::Add(const std::string& s) {
  items_.push_back(s);
  return Count() - 1;
}

void TStringList::Insert(int index, const std::string& s) {
  if (index < 0 || index > Count()) throw EListError("List index out of bounds (" + IntToStr(index) + ")");
  items_.insert(items_.begin() + index, s);
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  items_.erase(items_.begin() + index);
}

int TStringList::IndexOf(const std::string& s) const {
  for (int i = 0; i < Count(); ++i)
    if (AnsiSameText(items_[static_cast<size_t>(i)], s)) return i;
  return -1;
}

std::string TStringList::Text() const {
  std::string r;
  for (const std::string& s : items_) {
    r += s;
    r += "\r\n";
  }
  return r;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  const size_t n = text.size();
  while (start < n) {
    size_t end = start;
    while (end < n && text[end] != '\r' && text[end] != '\n') ++end;
    lines.push_back(text.substr(start, end - start));
    if (end < n && text[end] == '\r') {
      ++end;
      if (end < n && text[end] == '\n') ++end;
    } else if (end < n) {
      ++end;
    }
    start = end;
  }
  return lines;
}

void TStringList::SetText(const std::string& text) { items_ = SplitLines(text); }

void TStringList::LoadFromFile(const std::string& fileName) {
  std::string data;
  if (!LoadFileBytes(fileName, data)) throw EFOpenError("Cannot open file \"" + fileName + "\"");
  SetText(data);
}

void TStringList::SaveToFile(const std::string& fileName) const {
  try {
    SaveFileBytes(fileName, Text());
  } catch (const EInOutError& e) { throw EFCreateError(e.Message()); }
}
