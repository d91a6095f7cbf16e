// Scratch folders and small file helpers for the archive tests, over the OS layer so
// that the same tests run natively and under Wine with "\" paths.
#pragma once
#include <string>
#include <vector>
#include <algorithm>
#include "base/filestream.h"
#include "base/os.h"

namespace artest {

inline void RemoveTree(const std::string& path) {
  for (const auto& e : os::ListDirectory(path)) {
    const std::string child = path + "\\" + e.Name;
    if ((e.Attributes & os::faDirectory) && !e.IsLink)
      RemoveTree(child);
    else {
      os::SetAttributes(child, os::faNormal);
      os::EraseFile(child);
    }
  }
  os::RemoveFolder(path);
}

// A fresh, empty folder below the system's temporary folder, removed with its content.
class TempFolder {
public:
  TempFolder() {
    static int serial = 0;
    for (int i = 0;; ++i) {
      path_ = os::TempDirectory() + "artest" + std::to_string(reinterpret_cast<uintptr_t>(this) % 99991) + "_" +
              std::to_string(++serial) + "_" + std::to_string(i);
      if (os::MakeDirectory(path_)) break;
    }
  }
  ~TempFolder() { RemoveTree(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
  std::string path_;
};

inline void WriteFile(const std::string& name, const std::string& content) {
  TFileStream f(name, fmCreate);
  f.WriteBuffer(content.data(), static_cast<int32_t>(content.size()));
}

inline std::string ReadFile(const std::string& name) {
  TFileStream f(name, fmOpenRead | fmShareDenyNone);
  std::string s(static_cast<size_t>(f.Size()), '\0');
  if (!s.empty()) f.ReadBuffer(&s[0], static_cast<int32_t>(s.size()));
  return s;
}

// Every entry below folder, as relative "\" paths, sorted.
inline std::vector<std::string> ListTree(const std::string& folder, const std::string& prefix = "") {
  std::vector<std::string> out;
  for (const auto& e : os::ListDirectory(folder)) {
    out.push_back(prefix + e.Name);
    if ((e.Attributes & os::faDirectory) && !e.IsLink) {
      auto sub = ListTree(folder + "\\" + e.Name, prefix + e.Name + "\\");
      out.insert(out.end(), sub.begin(), sub.end());
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace artest
