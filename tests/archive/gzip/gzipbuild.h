// Gzip members as any writer may lay them out, built by hand for the header fields no
// tool sets on demand.
#pragma once
#include <cstdint>
#include <string>
#include "archive/core/arutils.h"
#include "archive/deflate/dfdeflate.h"

namespace gziptest {

inline std::string LE32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

// One member: the fields given are flagged.
inline std::string Member(const std::string& data, uint32_t mtime = 1700000000, const std::string& name = "",
                          const std::string& comment = "", const std::string& extra = "", bool headerCrc = false) {
  const uint8_t flags =
      (extra.empty() ? 0 : 4) | (name.empty() ? 0 : 8) | (comment.empty() ? 0 : 16) | (headerCrc ? 2 : 0);
  std::string m = std::string("\x1F\x8B\x08", 3) + static_cast<char>(flags) + LE32(mtime) + "\x04\x03";
  if (!extra.empty()) m += std::string(1, static_cast<char>(extra.size())) + '\0' + extra;
  if (!name.empty()) m += name + '\0';
  if (!comment.empty()) m += comment + '\0';
  if (headerCrc) m += "\xAA\xBB";
  TMemoryStream src, packed;
  src.Assign(data.data(), data.size());
  Deflate(&src, &packed);
  uint32_t crc = 0xFFFFFFFF;
  UpdateCrc32Buffer(crc, data.data(), data.size());
  return m + std::string(packed.Bytes().begin(), packed.Bytes().end()) + LE32(~crc) +
         LE32(static_cast<uint32_t>(data.size()));
}

}  // namespace gziptest
