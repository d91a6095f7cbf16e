// A fresh folder per test, removed afterwards; paths are handed out "\" separated, the way
// the programs build them, so the same tests exercise the path conversion of the POSIX build.
#pragma once
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

class TempFolder {
public:
  TempFolder() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() / ("mbtest-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Full name of a file inside, with "\" separators.
  std::string File(const std::string& name) const {
    std::string s = (path_ / name).string();
    for (char& c : s)
      if (c == '/') c = '\\';
    return s;
  }
  std::filesystem::path Native(const std::string& name) const { return path_ / name; }

  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(Native(name), std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ifstream in(Native(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool Has(const std::string& name) const { return std::filesystem::exists(Native(name)); }
  size_t EntryCount() const {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(path_)) ++n;
    return n;
  }

private:
  std::filesystem::path path_;
};
