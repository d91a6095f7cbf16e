// Finding a zip archive in a stream: the end-of-central-directory search and the two
// content probes that archive-type detection uses.
#pragma once
#include <cstdint>
#include "archive/zip/ziprecords.h"
#include "base/stream.h"

// The end record with the longest comment possible: no search reaches further back.
constexpr int64_t kZipEndSearchSpan = kZipEndRecordSize + 65535;

// Position of the end record, with the stream left there; -1 with the stream where it was.
int64_t FindEndRecord(TStream& stream);
uint8_t ProbeZipFile(TStream& stream);            // 0, 1 zip, 2 spanned
uint8_t ProbeSelfExtractingZip(TStream& stream);  // 0 or 3

inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
