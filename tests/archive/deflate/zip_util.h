// The least of the zip format the oracle tests need: read the items of an archive made by
// another tool, and wrap one compressed stream as a one-item archive for another tool.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include "tests/archive/deflate/support.h"

struct ZipItem {
  std::string name;
  uint16_t flags = 0, method = 0, time = 0;
  uint32_t crc = 0, packedSize = 0, size = 0;
  Bytes data;  // the stored data of the item, encryption header included
  // The value the encryption header proves.
  uint32_t CheckValue() const { return (flags & 8) ? static_cast<uint32_t>(time) << 16 : crc; }
};

inline uint32_t Le(const Bytes& b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<size_t>(i)];
  return v;
}

inline Bytes ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const Bytes& data) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// Items by the central directory.
inline std::vector<ZipItem> ReadZip(const Bytes& zip) {
  std::vector<ZipItem> items;
  size_t end = zip.size() - 22;
  while (end > 0 && Le(zip, end, 4) != 0x06054b50) --end;
  const uint32_t count = Le(zip, end + 10, 2);
  size_t at = Le(zip, end + 16, 4);
  for (uint32_t i = 0; i < count; ++i) {
    ZipItem it;
    it.flags = static_cast<uint16_t>(Le(zip, at + 8, 2));
    it.method = static_cast<uint16_t>(Le(zip, at + 10, 2));
    it.time = static_cast<uint16_t>(Le(zip, at + 12, 2));
    it.crc = Le(zip, at + 16, 4);
    it.packedSize = Le(zip, at + 20, 4);
    it.size = Le(zip, at + 24, 4);
    const uint32_t nameLen = Le(zip, at + 28, 2), extraLen = Le(zip, at + 30, 2), commentLen = Le(zip, at + 32, 2);
    const uint32_t local = Le(zip, at + 42, 4);
    it.name.assign(zip.begin() + static_cast<long>(at + 46), zip.begin() + static_cast<long>(at + 46 + nameLen));
    const size_t data = local + 30 + Le(zip, local + 26, 2) + Le(zip, local + 28, 2);
    it.data.assign(zip.begin() + static_cast<long>(data), zip.begin() + static_cast<long>(data + it.packedSize));
    items.push_back(it);
    at += 46 + nameLen + extraLen + commentLen;
  }
  return items;
}

// A one-item archive around data that is already compressed (and maybe encrypted).
inline Bytes MakeZip(const std::string& name, uint16_t method, uint16_t flags, uint32_t crc, const Bytes& data,
                     uint32_t size) {
  Bytes z;
  auto put = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) z.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  const uint16_t version = method == 9 ? 21 : 20, time = 0x6000, date = 0x5921;
  put(0x04034b50, 4);
  put(version, 2);
  put(flags, 2);
  put(method, 2);
  put(time, 2);
  put(date, 2);
  put(crc, 4);
  put(static_cast<uint32_t>(data.size()), 4);
  put(size, 4);
  put(static_cast<uint32_t>(name.size()), 2);
  put(0, 2);
  z.insert(z.end(), name.begin(), name.end());
  z.insert(z.end(), data.begin(), data.end());
  const uint32_t central = static_cast<uint32_t>(z.size());
  put(0x02014b50, 4);
  put(version, 2);
  put(version, 2);
  put(flags, 2);
  put(method, 2);
  put(time, 2);
  put(date, 2);
  put(crc, 4);
  put(static_cast<uint32_t>(data.size()), 4);
  put(size, 4);
  put(static_cast<uint32_t>(name.size()), 2);
  put(0, 2);
  put(0, 2);
  put(0, 2);
  put(0, 2);
  put(0, 4);
  put(0, 4);
  z.insert(z.end(), name.begin(), name.end());
  const uint32_t centralSize = static_cast<uint32_t>(z.size()) - central;
  put(0x06054b50, 4);
  put(0, 2);
  put(0, 2);
  put(1, 2);
  put(1, 2);
  put(centralSize, 4);
  put(central, 4);
  put(0, 2);
  return z;
}

// A scratch folder for the tools' files, removed afterwards.
class ScratchDir {
public:
  ScratchDir() {
    char pattern[] = "/tmp/dftest.XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~ScratchDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }

private:
  std::string path_;
};

inline bool HaveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}
inline int Sh(const std::string& cmd) { return std::system((cmd + " >/dev/null 2>&1").c_str()); }
