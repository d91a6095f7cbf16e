// One gzip member: the item over its header, and the stream helper that reads and writes
// headers, deflate data and trailers through the library's own deflate engine. A file
// may hold several members one after another; they make up one item whose data is theirs
// in order, each member checked against its own trailer, and what follows the last
// member (zero padding, garbage) is not data.
#pragma once
#include <cstdint>
#include <string>
#include "archive/core/ararchive.h"

namespace gzfmt {
constexpr uint8_t kId1 = 0x1F, kId2 = 0x8B, kDeflate = 8;
constexpr uint8_t kText = 0x01, kHeaderCrc = 0x02, kExtra = 0x04, kName = 0x08, kComment = 0x10;
constexpr int kFixedSize = 10, kTrailerSize = 8;
}  // namespace gzfmt

// ID1, ID2 and CM of a fixed header.
bool HasGzipMagic(const uint8_t* fixedHeader);
// Moves the stream just past the next NUL byte; at the end of the stream when there is
// none, which the result tells.
bool SkipZeroTerminated(TStream& stream);

class TArGzipItem : public TArArchiveItem {
public:
  // XFL 2, OS 0; no name, comment or extra field.
  TArGzipItem();

  uint32_t GetAttributes() const override { return 0; }
  void SetAttributes(uint32_t) override {}
  bool GetEncrypted() const override { return false; }
  void SetEncrypted(bool) override {}
  // FNAME is flagged exactly when the name is not empty.
  void SetStoredName(const std::string& v) override;
  uint16_t GetModDate() const override;
  uint16_t GetModTime() const override;
  void SetModDate(uint16_t v) override;
  void SetModTime(uint16_t v) override;

  // The header at the stream's position. A header that breaks off raises EArGzipInvalid.
  // Only the file-name part of FNAME becomes the name; "unknown" without one (or with
  // one that has no file-name part).
  void ReadGzipHeader(TStream& stream);
  // The header in one write: the fixed part and the flagged fields (never FHCRC).
  void WriteGzipHeader(TStream& stream);
  // The header fields of other (name, time, flags, extra field, comment, XFL, OS).
  void AssignHeader(const TArGzipItem& other);

  uint32_t MTime() const;
  void SetMTime(uint32_t seconds);

  uint32_t DataCrc = 0;  // from the trailer when loaded, else of the last inflate or deflate
  uint8_t FixedHeader[gzfmt::kFixedSize] = {};
  uint16_t HeaderCrc = 0;  // as read, never checked
  std::string Extra;
  std::string Comment;
  bool HeaderCrcFlag = false;  // nothing sets it: FHCRC is never written
};

class TArGzipStreamHelper : public TArArchiveStreamHelper {
public:
  explicit TArGzipStreamHelper(TStream* stream);

  // The first member from the start of the stream, without its trailer.
  void UnpackCurrentItem(TStream& destination) override;
  bool LocateFirstItem() override;
  bool LocateNextItem() override { return false; }
  void ReadLeadIn() override { Item.ReadGzipHeader(*FStream); }
  // The 8 bytes at the position; fewer raise EArGzipInvalid (the member was cut short).
  void ReadTrailer() override;
  bool LocateItem(int32_t index) override { return index < 1 && LocateFirstItem(); }
  void WriteLeadIn() override { Item.WriteGzipHeader(*FStream); }
  // Deflates the source from its position; Item takes the data's CRC-32 and size.
  void PackItem(TStream& source) override;
  void WriteTrailer() override;
  int32_t CountItems() override { return 1; }

  // The member at the stream's position without its trailer: Item gets its header, the
  // CRC-32 of its data and the engine's count of it (modulo 2^32). A bit-bucket
  // destination only tests.
  void UnpackMember(TStream& destination);
  // Every member from the start, each against its trailer: EArGzipBadCRC or
  // EArGzipBadFileSize on a mismatch, EArGzipInvalid when the stream holds no member.
  void UnpackMembers(TStream& destination);

  TArGzipItem Item;
  uint32_t Crc32 = 0;  // the trailer as read
  uint32_t ISize = 0;

private:
  bool AtMember();
};
