// In-memory images of the zip format's records (local header, central header, end of
// central directory, data descriptor) and their reading from and writing to a stream.
// Everything above goes through these classes and never parses record bytes itself.
// Integers are little-endian; a record cut short by the end of the stream is refused.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include "base/stream.h"

// Signatures as little-endian 32-bit values; the comment gives the bytes in file order.
constexpr uint32_t kZipLocalHeaderSignature = 0x04034B50;    // 50 4B 03 04
constexpr uint32_t kZipCentralHeaderSignature = 0x02014B50;  // 50 4B 01 02
constexpr uint32_t kZipEndRecordSignature = 0x06054B50;      // 50 4B 05 06
constexpr uint32_t kZipSpanningMarker = 0x08074B50;          // 50 4B 07 08
constexpr uint32_t kZipSingleSpanMarker = 0x30304B50;        // 50 4B 30 30
constexpr uint16_t kZipStart = 0x4B50;                       // 50 4B
constexpr uint16_t kExecutableStart = 0x5A4D;                // 4D 5A
constexpr uint32_t kElfStart = 0x464C457F;                   // 7F 45 4C 46

constexpr int32_t kZipLocalHeaderSize = 30;
constexpr int32_t kZipCentralHeaderSize = 46;
constexpr int32_t kZipEndRecordSize = 22;
constexpr int32_t kZipDataDescriptorSize = 12;

// General purpose flag bit 3: the CRC and sizes follow the item's data in a descriptor.
constexpr uint16_t kZipDataDescriptorFlag = 0x0008;
// General purpose flag bit 11: the name (and comment) are UTF-8.
constexpr uint16_t kZipUtf8Flag = 0x0800;

// A zero-terminated byte buffer of a record, or absent.
using TArZipBytes = std::unique_ptr<uint8_t[]>;

// Common part of the local and central file headers.
class TArZipFileHeader {
public:
  virtual ~TArZipFileHeader() = default;
  TArZipFileHeader(const TArZipFileHeader&) = delete;
  TArZipFileHeader& operator=(const TArZipFileHeader&) = delete;

  virtual void ReadRecord(TStream& stream) = 0;
  virtual void WriteRecord(TStream& stream) const = 0;

  bool SignatureMatches() const { return SignatureRead == ExpectedSignature; }
  uint8_t MethodByte() const { return static_cast<uint8_t>(Method); }
  bool HasEncryptionBit() const { return (GpFlags & 1) != 0; }
  // Dictionary of an imploded item: 2 (8 KB) or 1 (4 KB); 0 for other methods.
  uint8_t ImplodeDictionarySize() const;
  // Shannon-Fano trees of an imploded item: 3 or 2; 0 for other methods.
  uint8_t ImplodeTreeCount() const;

  void SetMethodByte(uint8_t value) { Method = value & 0x7F; }
  // Always leaves a buffer, empty for an empty text.
  void SetNameBytes(const std::string& text);
  // Leaves the buffer absent for an empty text.
  void SetExtraText(const std::string& text);
  // The whole field, zero bytes included (at most 65,535 bytes); absent when empty.
  void SetExtraBytes(const std::string& bytes);
  std::string Name() const;   // the name bytes as a string
  std::string Extra() const;  // the extra field's bytes

  uint32_t ExpectedSignature = 0;
  uint32_t SignatureRead = 0;
  uint16_t NeededVersion = 0;
  uint16_t GpFlags = 0;
  uint16_t Method = 0;
  uint16_t ModTime = 0;
  uint16_t ModDate = 0;
  uint32_t Crc32 = 0;
  uint32_t PackedSize = 0;
  uint32_t UnpackedSize = 0;
  uint16_t NameLength = 0;
  uint16_t ExtraLength = 0;
  TArZipBytes NameBytes;
  TArZipBytes ExtraBytes;

protected:
  TArZipFileHeader() = default;
};

class TArZipLocalFileHeader : public TArZipFileHeader {
public:
  TArZipLocalFileHeader() { ExpectedSignature = kZipLocalHeaderSignature; }
  // Raises EArZipInvalid for a wrong signature (after the whole record was consumed)
  // or a record cut short.
  void ReadRecord(TStream& stream) override;
  void WriteRecord(TStream& stream) const override;
  // WriteRecord with NameLength and ExtraLength bytes from elsewhere (zeros where absent):
  // a save writes each item's local header from bytes it already holds.
  void WriteRecordWith(TStream& stream, const uint8_t* name, const uint8_t* extra) const;
};

class TArZipDirectoryFileHeader : public TArZipFileHeader {
public:
  TArZipDirectoryFileHeader() { ExpectedSignature = kZipCentralHeaderSignature; }
  void ReadRecord(TStream& stream) override;
  void WriteRecord(TStream& stream) const override;
  std::string Comment() const;

  uint16_t MadeByVersion = 0;
  uint16_t CommentLength = 0;
  uint16_t StartDisk = 0;
  uint16_t InternalAttrs = 0;
  uint32_t ExternalAttrs = 0;
  uint32_t LocalHeaderOffset = 0;
  TArZipBytes CommentBytes;
};

// The end of central directory record.
class TArZipDirectoryFileFooter {
public:
  TArZipDirectoryFileFooter() = default;
  TArZipDirectoryFileFooter(const TArZipDirectoryFileFooter&) = delete;
  TArZipDirectoryFileFooter& operator=(const TArZipDirectoryFileFooter&) = delete;
  void ReadRecord(TStream& stream);
  void WriteRecord(TStream& stream) const;
  bool SignatureMatches() const { return SignatureRead == ExpectedSignature; }
  std::string Comment() const;
  void SetComment(const std::string& text);

  uint32_t ExpectedSignature = kZipEndRecordSignature;
  uint32_t SignatureRead = 0;
  uint16_t ThisDisk = 0;
  uint16_t DirectoryDisk = 0;
  uint16_t EntriesOnThisDisk = 0;
  uint16_t EntryCount = 0;
  uint32_t DirectorySize = 0;
  uint32_t DirectoryOffset = 0;
  uint16_t CommentLength = 0;
  TArZipBytes CommentBytes;
};

// Written after an item's data when its sizes were not known in advance; no signature.
class TArZipDataDescriptor {
public:
  void WriteRecord(TStream& stream) const;
  uint32_t Crc32 = 0;
  uint32_t PackedSize = 0;
  uint32_t UnpackedSize = 0;
};

// Little-endian field access for the zip side.
inline uint16_t GetLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetLE32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void PutLE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
