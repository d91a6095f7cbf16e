// Which kind of archive a file is, from its name and, for an existing non-empty file,
// from its content. The unzipper asks this each time it is given a file name.
#pragma once
#include <cstdint>
#include <string>
#include "base/stream.h"

enum : uint8_t {
  atUnknown = 0,
  atZip = 1,
  atSpannedZip = 2,
  atSelfExtractingZip = 3,
  atTar = 4,
  atGzip = 5,
  atGzippedTar = 6,
  atCabinet = 7,
};
using ArchiveTypeCode = uint8_t;

ArchiveTypeCode DetectArchiveType(const std::string& fileName);
// 7 for a cabinet file; raises EArInvalidCabFile for anything else.
ArchiveTypeCode ProbeCabinetFile(const std::string& fileName);
