// Tar entries as other writers lay them out (POSIX prefix, GNU long names, pax records),
// built by hand for the cases no tool makes on demand: damaged sizes, hostile names.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace tartest {

// The block with its checksum made anew, as GNU tar writes it.
inline std::string Sealed(std::string b) {
  unsigned sum = 0;
  for (int i = 0; i < 512; ++i) sum += i >= 148 && i < 156 ? ' ' : static_cast<uint8_t>(b[i]);
  char num[16];
  std::snprintf(num, sizeof num, "%06o", sum);
  b.replace(148, 8, std::string(num, 6) + std::string("\0 ", 2));
  return b;
}

// The header with bytes from at replaced (a size in base-256, a flag), sealed again.
inline std::string Patched(const std::string& block, size_t at, const std::string& bytes) {
  return Sealed(std::string(block).replace(at, bytes.size(), bytes));
}

// One header block; size is written as given, whatever data follows.
inline std::string Block(const std::string& name, char type, uint64_t size, const std::string& prefix = "") {
  std::string b(512, '\0');
  b.replace(0, std::min<size_t>(name.size(), 100), name.substr(0, 100));
  char num[16];
  std::snprintf(num, sizeof num, "%07o", 0644u);
  b.replace(100, 8, std::string(num, 8));
  std::snprintf(num, sizeof num, "%011llo", static_cast<unsigned long long>(size));
  b.replace(124, 12, std::string(num, 12));
  b.replace(136, 12, std::string("14500000000", 12));
  b[156] = type;
  if (prefix.empty()) {
    b.replace(257, 8, std::string("ustar  \0", 8));
  } else {
    b.replace(257, 8,
              std::string("ustar\0"
                          "00",
                          8));
    b.replace(345, prefix.size(), prefix);
  }
  return Sealed(b);
}

inline std::string Padded(const std::string& data) { return data + std::string((512 - data.size() % 512) % 512, '\0'); }

inline std::string Entry(const std::string& name, char type, const std::string& data, const std::string& prefix = "") {
  return Block(name, type, data.size(), prefix) + Padded(data);
}

// pax records "<length> <key>=<value>\n", the length counting itself.
inline std::string Pax(const std::vector<std::pair<std::string, std::string>>& records) {
  std::string out;
  for (const auto& [key, value] : records) {
    const size_t body = key.size() + value.size() + 3;
    size_t length = body + 1;
    while (std::to_string(length).size() + body != length) ++length;
    out += std::to_string(length) + " " + key + "=" + value + "\n";
  }
  return out;
}

}  // namespace tartest
