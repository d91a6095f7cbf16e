// Hand-made zip files for tests: every header field is set by the test, so hostile and
// unusual archives (legacy methods, lying sizes, traversal names) can be built exactly.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

using TBytes = std::vector<uint8_t>;

struct TZipEntry {
  std::string Name;
  TBytes Data;  // the stored bytes (compressed, encrypted)
  uint16_t Method = 0;
  uint16_t Flags = 0;
  uint16_t Version = 20;
  uint32_t Crc = 0;
  uint32_t UnpackedSize = 0;
  uint16_t Time = 0x6000;  // 12:00:00
  uint16_t Date = 0x5A21;  // 2025-01-01
  uint32_t ExternalAttrs = 0x20;
  uint16_t MadeBy = 20;  // host 0: attributes are DOS attributes
  uint16_t Disk = 0;     // the piece of a spanned set that holds the entry (BuildPieces)
  TBytes LocalExtra;     // the local header's extra field
  TBytes CentralExtra;   // the central record's extra field
  std::string Comment;   // the central record's comment
  // Values the local header says when they differ from the central one.
  bool LocalDiffers = false;
  uint32_t LocalCrc = 0, LocalPacked = 0, LocalUnpacked = 0;
};

class TZipBuilder {
public:
  void Add(const TZipEntry& e) { entries_.push_back(e); }
  // A stored entry of plain data.
  void AddStored(const std::string& name, const std::string& data);
  TBytes Build(const std::string& comment = "") const;
  // A spanned set: piece 0 starts with the spanning marker, each entry lies on its Disk
  // (in non-decreasing order), the directory and end record on the last piece.
  std::vector<TBytes> BuildPieces() const;
  // A spanned set cut at the given positions (ascending) of the whole set, spanning marker
  // included, wherever they fall: records may run on from one piece into the next. Disk
  // numbers and offsets count where each cut leaves them.
  std::vector<TBytes> BuildCut(const std::vector<uint32_t>& cuts) const;
  // Central directory offset field overridden (past the end, for instance).
  uint32_t ForcedDirectoryOffset = 0xFFFFFFFE;
  uint16_t ForcedEntryCount = 0;
  // Bytes in front of the first local header (a self-extracting archive's program), counted
  // in the offsets as zip -A leaves them.
  TBytes Stub;

private:
  std::vector<TBytes> Lay(const std::string& comment, bool spanned, const std::vector<uint32_t>& cuts = {}) const;
  std::vector<TZipEntry> entries_;
};

uint32_t Crc32Of(const TBytes& data);
TBytes ToBytes(const std::string& s);
// A stored entry of plain data.
TZipEntry Stored(const std::string& name, const std::string& data);
