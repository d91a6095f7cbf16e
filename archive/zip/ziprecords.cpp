// Zip records (see ziprecords.h).
#include "archive/zip/ziprecords.h"
#include <algorithm>
#include <cstring>
#include "archive/core/arerrors.h"

namespace {

// Reads exactly count bytes or refuses the record: a short read must never leave
// fields from an earlier record or bytes nobody read.
void ReadExactly(TStream& stream, void* buffer, int32_t count) {
  int32_t done = 0;
  auto* p = static_cast<uint8_t*>(buffer);
  while (done < count) {
    const int32_t n = stream.Read(p + done, count - done);
    if (n <= 0) throw EArZipInvalid();
    done += n;
  }
}

// A zero-terminated buffer of length + 1 bytes filled from the stream.
TArZipBytes ReadBytes(TStream& stream, uint16_t length) {
  TArZipBytes b(new uint8_t[static_cast<size_t>(length) + 1]());
  ReadExactly(stream, b.get(), length);
  return b;
}

TArZipBytes CopyBytes(const std::string& text) {
  TArZipBytes b(new uint8_t[text.size() + 1]());
  std::memcpy(b.get(), text.data(), text.size());
  return b;
}

// Writes length bytes of b (zeros where the buffer is absent).
void WriteBytes(TStream& stream, const uint8_t* b, uint16_t length) {
  if (length == 0) return;
  if (b) {
    stream.WriteBuffer(b, length);
  } else {
    const std::string zeros(length, '\0');
    stream.WriteBuffer(zeros.data(), length);
  }
}

std::string AsString(const TArZipBytes& b, uint16_t length) {
  return b ? std::string(reinterpret_cast<const char*>(b.get()), length) : std::string();
}

}  // namespace

uint8_t TArZipFileHeader::ImplodeDictionarySize() const {
  if (Method != 6) return 0;
  return (GpFlags & 2) ? 2 : 1;
}

uint8_t TArZipFileHeader::ImplodeTreeCount() const {
  if (Method != 6) return 0;
  return (GpFlags & 4) ? 3 : 2;
}

void TArZipFileHeader::SetNameBytes(const std::string& text) {
  const std::string t = text.substr(0, std::min<size_t>(text.find('\0'), 0xFFFF));
  NameLength = static_cast<uint16_t>(t.size());
  NameBytes = CopyBytes(t);
}

void TArZipFileHeader::SetExtraText(const std::string& text) {
  const std::string t = text.substr(0, std::min<size_t>(text.find('\0'), 0xFFFF));
  ExtraLength = static_cast<uint16_t>(t.size());
  ExtraBytes.reset();
  if (!t.empty()) ExtraBytes = CopyBytes(t);
}

void TArZipFileHeader::SetExtraBytes(const std::string& bytes) {
  const std::string t = bytes.substr(0, 0xFFFF);
  ExtraLength = static_cast<uint16_t>(t.size());
  ExtraBytes.reset();
  if (!t.empty()) ExtraBytes = CopyBytes(t);
}

std::string TArZipFileHeader::Name() const { return AsString(NameBytes, NameLength); }
std::string TArZipFileHeader::Extra() const { return AsString(ExtraBytes, ExtraLength); }

void TArZipLocalFileHeader::ReadRecord(TStream& stream) {
  uint8_t f[kZipLocalHeaderSize];
  ReadExactly(stream, f, sizeof f);
  SignatureRead = GetLE32(f);
  NeededVersion = GetLE16(f + 4);
  GpFlags = GetLE16(f + 6);
  Method = GetLE16(f + 8);
  ModTime = GetLE16(f + 10);
  ModDate = GetLE16(f + 12);
  Crc32 = GetLE32(f + 14);
  PackedSize = GetLE32(f + 18);
  UnpackedSize = GetLE32(f + 22);
  NameLength = GetLE16(f + 26);
  ExtraLength = GetLE16(f + 28);
  ExtraBytes.reset();
  NameBytes = ReadBytes(stream, NameLength);
  if (ExtraLength != 0) ExtraBytes = ReadBytes(stream, ExtraLength);
  if (!SignatureMatches()) throw EArZipInvalid();
}

void TArZipLocalFileHeader::WriteRecord(TStream& stream) const {
  WriteRecordWith(stream, NameBytes.get(), ExtraBytes.get());
}

void TArZipLocalFileHeader::WriteRecordWith(TStream& stream, const uint8_t* name, const uint8_t* extra) const {
  uint8_t f[kZipLocalHeaderSize];
  PutLE32(f, ExpectedSignature);
  PutLE16(f + 4, NeededVersion);
  PutLE16(f + 6, GpFlags);
  PutLE16(f + 8, Method);
  PutLE16(f + 10, ModTime);
  PutLE16(f + 12, ModDate);
  PutLE32(f + 14, Crc32);
  PutLE32(f + 18, PackedSize);
  PutLE32(f + 22, UnpackedSize);
  PutLE16(f + 26, NameLength);
  PutLE16(f + 28, ExtraLength);
  stream.WriteBuffer(f, sizeof f);
  WriteBytes(stream, name, NameLength);
  WriteBytes(stream, extra, ExtraLength);
}

void TArZipDirectoryFileHeader::ReadRecord(TStream& stream) {
  uint8_t f[kZipCentralHeaderSize];
  ReadExactly(stream, f, sizeof f);
  SignatureRead = GetLE32(f);
  MadeByVersion = GetLE16(f + 4);
  NeededVersion = GetLE16(f + 6);
  GpFlags = GetLE16(f + 8);
  Method = GetLE16(f + 10);
  ModTime = GetLE16(f + 12);
  ModDate = GetLE16(f + 14);
  Crc32 = GetLE32(f + 16);
  PackedSize = GetLE32(f + 20);
  UnpackedSize = GetLE32(f + 24);
  NameLength = GetLE16(f + 28);
  ExtraLength = GetLE16(f + 30);
  CommentLength = GetLE16(f + 32);
  StartDisk = GetLE16(f + 34);
  InternalAttrs = GetLE16(f + 36);
  ExternalAttrs = GetLE32(f + 38);
  LocalHeaderOffset = GetLE32(f + 42);
  ExtraBytes.reset();
  CommentBytes.reset();
  NameBytes = ReadBytes(stream, NameLength);
  if (ExtraLength != 0) ExtraBytes = ReadBytes(stream, ExtraLength);
  if (CommentLength != 0) CommentBytes = ReadBytes(stream, CommentLength);
  if (!SignatureMatches()) throw EArZipInvalid();
}

void TArZipDirectoryFileHeader::WriteRecord(TStream& stream) const {
  uint8_t f[kZipCentralHeaderSize];
  PutLE32(f, ExpectedSignature);
  PutLE16(f + 4, MadeByVersion);
  PutLE16(f + 6, NeededVersion);
  PutLE16(f + 8, GpFlags);
  PutLE16(f + 10, Method);
  PutLE16(f + 12, ModTime);
  PutLE16(f + 14, ModDate);
  PutLE32(f + 16, Crc32);
  PutLE32(f + 20, PackedSize);
  PutLE32(f + 24, UnpackedSize);
  PutLE16(f + 28, NameLength);
  PutLE16(f + 30, ExtraLength);
  PutLE16(f + 32, CommentLength);
  PutLE16(f + 34, StartDisk);
  PutLE16(f + 36, InternalAttrs);
  PutLE32(f + 38, ExternalAttrs);
  PutLE32(f + 42, LocalHeaderOffset);
  stream.WriteBuffer(f, sizeof f);
  WriteBytes(stream, NameBytes.get(), NameLength);
  WriteBytes(stream, ExtraBytes.get(), ExtraLength);
  WriteBytes(stream, CommentBytes.get(), CommentLength);
}

std::string TArZipDirectoryFileHeader::Comment() const { return AsString(CommentBytes, CommentLength); }

void TArZipDirectoryFileFooter::ReadRecord(TStream& stream) {
  uint8_t f[kZipEndRecordSize];
  ReadExactly(stream, f, sizeof f);
  SignatureRead = GetLE32(f);
  ThisDisk = GetLE16(f + 4);
  DirectoryDisk = GetLE16(f + 6);
  EntriesOnThisDisk = GetLE16(f + 8);
  EntryCount = GetLE16(f + 10);
  DirectorySize = GetLE32(f + 12);
  DirectoryOffset = GetLE32(f + 16);
  CommentLength = GetLE16(f + 20);
  CommentBytes.reset();
  if (CommentLength != 0) CommentBytes = ReadBytes(stream, CommentLength);
  if (!SignatureMatches()) throw EArZipInvalid();
}

void TArZipDirectoryFileFooter::WriteRecord(TStream& stream) const {
  uint8_t f[kZipEndRecordSize];
  PutLE32(f, ExpectedSignature);
  PutLE16(f + 4, ThisDisk);
  PutLE16(f + 6, DirectoryDisk);
  PutLE16(f + 8, EntriesOnThisDisk);
  PutLE16(f + 10, EntryCount);
  PutLE32(f + 12, DirectorySize);
  PutLE32(f + 16, DirectoryOffset);
  PutLE16(f + 20, CommentLength);
  stream.WriteBuffer(f, sizeof f);
  WriteBytes(stream, CommentBytes.get(), CommentLength);
}

std::string TArZipDirectoryFileFooter::Comment() const { return AsString(CommentBytes, CommentLength); }

void TArZipDirectoryFileFooter::SetComment(const std::string& text) {
  const std::string t = text.substr(0, std::min<size_t>(text.size(), 0xFFFF));
  CommentLength = static_cast<uint16_t>(t.size());
  CommentBytes.reset();
  if (!t.empty()) CommentBytes = CopyBytes(t);
}

void TArZipDataDescriptor::WriteRecord(TStream& stream) const {
  uint8_t f[kZipDataDescriptorSize];
  PutLE32(f, Crc32);
  PutLE32(f + 4, PackedSize);
  PutLE32(f + 8, UnpackedSize);
  stream.WriteBuffer(f, sizeof f);
}
