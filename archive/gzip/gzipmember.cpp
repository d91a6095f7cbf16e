#include "archive/gzip/gzipmember.h"
#include <algorithm>
#include <cstring>
#include "archive/core/vmstream.h"
#include "archive/deflate/dfdeflate.h"
#include "archive/deflate/dfinflate.h"
#include "archive/tar/tarformat.h"

namespace {

// A name or comment beyond this is no header anyone writes.
constexpr int64_t kMaxText = 1 << 20;

uint32_t GetLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

void PutLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void ReadExactly(TStream& stream, void* buffer, int32_t count) {
  if (count > 0 && stream.Read(buffer, count) != count) throw EArGzipInvalid();
}

std::string ReadZeroTerminated(TStream& stream) {
  const int64_t start = stream.Position();
  if (!SkipZeroTerminated(stream)) throw EArGzipInvalid();
  const int64_t n = stream.Position() - start - 1;
  if (n > kMaxText) throw EArGzipInvalid();
  std::string text(static_cast<size_t>(n), '\0');
  stream.SetPosition(start);
  ReadExactly(stream, text.data(), static_cast<int32_t>(n));
  stream.Seek(1, soFromCurrent);
  return text;
}

}  // namespace

bool HasGzipMagic(const uint8_t* fixedHeader) {
  return fixedHeader[0] == gzfmt::kId1 && fixedHeader[1] == gzfmt::kId2 && fixedHeader[2] == gzfmt::kDeflate;
}

bool SkipZeroTerminated(TStream& stream) {
  uint8_t chunk[1023];
  for (;;) {
    const int64_t start = stream.Position();
    const int32_t n = stream.Read(chunk, sizeof chunk);
    if (n <= 0) return false;
    if (const void* nul = std::memchr(chunk, 0, static_cast<size_t>(n))) {
      stream.SetPosition(start + (static_cast<const uint8_t*>(nul) - chunk) + 1);
      return true;
    }
  }
}

// ---- item ----------------------------------------------------------------------------

TArGzipItem::TArGzipItem() {
  FixedHeader[8] = 2;
  FixedHeader[9] = 0;
}

void TArGzipItem::SetStoredName(const std::string& v) {
  StoredName = v;
  if (v.empty())
    FixedHeader[3] &= static_cast<uint8_t>(~gzfmt::kName);
  else
    FixedHeader[3] |= gzfmt::kName;
}

uint32_t TArGzipItem::MTime() const { return GetLE32(FixedHeader + 4); }

void TArGzipItem::SetMTime(uint32_t seconds) { PutLE32(FixedHeader + 4, seconds); }

uint16_t TArGzipItem::GetModDate() const { return static_cast<uint16_t>(UnixSecondsToDos(MTime()) >> 16); }

uint16_t TArGzipItem::GetModTime() const { return static_cast<uint16_t>(UnixSecondsToDos(MTime())); }

void TArGzipItem::SetModDate(uint16_t v) { SetMTime(static_cast<uint32_t>(WithDosDate(MTime(), v))); }

void TArGzipItem::SetModTime(uint16_t v) { SetMTime(static_cast<uint32_t>(WithDosTime(MTime(), v))); }

void TArGzipItem::ReadGzipHeader(TStream& stream) {
  ReadExactly(stream, FixedHeader, gzfmt::kFixedSize);
  const uint8_t flags = FixedHeader[3];
  Extra.clear();
  if (flags & gzfmt::kExtra) {
    uint8_t length[2];
    ReadExactly(stream, length, 2);
    Extra.assign(static_cast<size_t>(length[0] | length[1] << 8), '\0');
    ReadExactly(stream, Extra.data(), static_cast<int32_t>(Extra.size()));
  }
  std::string name;
  if (flags & gzfmt::kName) {
    // A name is a file's name, never a path: what a writer put in front of it stays out.
    name = ReadZeroTerminated(stream);
    ToBackslashes(name);
    name = ExtractFileName(name);
  }
  // An empty name, or a folder's, names no file that could be written: the member is one
  // without a name, also when it is saved again.
  if (name.empty()) {
    FixedHeader[3] &= static_cast<uint8_t>(~gzfmt::kName);
    name = "unknown";
  }
  Comment = flags & gzfmt::kComment ? ReadZeroTerminated(stream) : std::string();
  if (flags & gzfmt::kHeaderCrc) {
    uint8_t crc[2];
    ReadExactly(stream, crc, 2);
    HeaderCrc = static_cast<uint16_t>(crc[0] | crc[1] << 8);
  }
  PackedSize =
      static_cast<int32_t>(std::clamp<int64_t>(stream.Size() - stream.Position() - gzfmt::kTrailerSize, 0, INT32_MAX));
  StoredName = name;
  SourcePath = name;
  PendingAction = aaNone;
  Marked = false;
}

void TArGzipItem::WriteGzipHeader(TStream& stream) {
  const std::string name = GetStoredName();
  uint8_t flags = 0;
  if (!Extra.empty()) flags |= gzfmt::kExtra;
  if ((FixedHeader[3] & gzfmt::kName) && !name.empty()) flags |= gzfmt::kName;
  if (!Comment.empty()) flags |= gzfmt::kComment;
  if (Extra.size() > 0xFFFF) throw EArException("Extra field too long for a gzip header");
  FixedHeader[0] = gzfmt::kId1;
  FixedHeader[1] = gzfmt::kId2;
  FixedHeader[2] = gzfmt::kDeflate;
  FixedHeader[3] = flags;
  std::string header(reinterpret_cast<const char*>(FixedHeader), gzfmt::kFixedSize);
  if (flags & gzfmt::kExtra) {
    header += static_cast<char>(Extra.size() & 0xFF);
    header += static_cast<char>(Extra.size() >> 8);
    header += Extra;
  }
  if (flags & gzfmt::kName) header += name + '\0';
  if (flags & gzfmt::kComment) header += Comment + '\0';
  stream.WriteBuffer(header.data(), static_cast<int32_t>(header.size()));
}

void TArGzipItem::AssignHeader(const TArGzipItem& other) {
  std::memcpy(FixedHeader, other.FixedHeader, sizeof FixedHeader);
  HeaderCrc = other.HeaderCrc;
  Extra = other.Extra;
  Comment = other.Comment;
  StoredName = other.StoredName;
}

// ---- stream helper -------------------------------------------------------------------

TArGzipStreamHelper::TArGzipStreamHelper(TStream* stream) : TArArchiveStreamHelper(stream) {}

bool TArGzipStreamHelper::LocateFirstItem() {
  FStream->SetPosition(0);
  uint8_t fixed[gzfmt::kFixedSize];
  const bool found = FStream->Read(fixed, gzfmt::kFixedSize) == gzfmt::kFixedSize && HasGzipMagic(fixed);
  if (found) std::memcpy(Item.FixedHeader, fixed, sizeof fixed);
  FStream->SetPosition(0);
  return found;
}

bool TArGzipStreamHelper::AtMember() {
  const int64_t pos = FStream->Position();
  uint8_t magic[3] = {};
  const bool member = FStream->Read(magic, 3) == 3 && HasGzipMagic(magic);
  FStream->SetPosition(pos);
  return member;
}

void TArGzipStreamHelper::ReadTrailer() {
  uint8_t trailer[gzfmt::kTrailerSize];
  ReadExactly(*FStream, trailer, gzfmt::kTrailerSize);
  Crc32 = GetLE32(trailer);
  ISize = GetLE32(trailer + 4);
}

void TArGzipStreamHelper::WriteTrailer() {
  uint8_t trailer[gzfmt::kTrailerSize];
  PutLE32(trailer, Item.DataCrc);
  PutLE32(trailer + 4, Item.GetUnpackedSize());
  FStream->WriteBuffer(trailer, gzfmt::kTrailerSize);
}

void TArGzipStreamHelper::UnpackMember(TStream& destination) {
  Item.ReadGzipHeader(*FStream);
  TArDeflateHelper options;
  if (dynamic_cast<TArBitBucketStream*>(&destination)) options.SetOptions(options.Options() | OptTestOnly);
  Item.DataCrc = Inflate(FStream, &destination, &options);
  Item.SetUnpackedSize(options.UncompressedCount);
}

void TArGzipStreamHelper::UnpackCurrentItem(TStream& destination) {
  FStream->SetPosition(0);
  UnpackMember(destination);
}

void TArGzipStreamHelper::UnpackMembers(TStream& destination) {
  FStream->SetPosition(0);
  for (bool first = true;; first = false) {
    if (!AtMember()) {
      if (first) throw EArGzipInvalid();
      return;
    }
    UnpackMember(destination);
    ReadTrailer();
    if (Item.DataCrc != Crc32) throw EArGzipBadCRC();
    if (Item.GetUnpackedSize() != ISize) throw EArGzipBadFileSize();
  }
}

void TArGzipStreamHelper::PackItem(TStream& source) {
  TArDeflateHelper options;
  Item.DataCrc = Deflate(&source, FStream, &options);
  Item.SetUnpackedSize(options.UncompressedCount);
}
