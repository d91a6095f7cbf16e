// Zip records: byte layout, round trips, the signature rule and records cut short.
#include <gtest/gtest.h>
#include "archive/core/arerrors.h"
#include "archive/zip/ziprecords.h"

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> v) {
  std::vector<uint8_t> b;
  for (int x : v) b.push_back(static_cast<uint8_t>(x));
  return b;
}

void FillLocal(TArZipLocalFileHeader& h) {
  h.NeededVersion = 20;
  h.GpFlags = 0x0808;
  h.Method = 8;
  h.ModTime = 0x6B3C;
  h.ModDate = 0x5821;
  h.Crc32 = 0xCBF43926;
  h.PackedSize = 0x01020304;
  h.UnpackedSize = 0xA0B0C0D0;
  h.SetNameBytes("dir/name.txt");
  h.SetExtraText("UT\x05");
}

TEST(ZipRecords, LocalHeaderHasTheFixedLayoutAndRoundTrips) {
  TArZipLocalFileHeader h;
  FillLocal(h);
  h.SignatureRead = 0xDEADBEEF;  // never written
  TMemoryStream m;
  h.WriteRecord(m);
  ASSERT_EQ(m.Size(), 30 + 12 + 3);
  const auto& b = m.Bytes();
  EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 30),
            Bytes({0x50, 0x4B, 0x03, 0x04, 20, 0, 0x08, 0x08, 8,    0,    0x3C, 0x6B, 0x21, 0x58, 0x26,
                   0x39, 0xF4, 0xCB, 4,    3,  2, 1,    0xD0, 0xC0, 0xB0, 0xA0, 12,   0,    3,    0}));
  m.SetPosition(0);
  TArZipLocalFileHeader r;
  r.ReadRecord(m);
  EXPECT_EQ(m.Position(), m.Size());
  EXPECT_EQ(r.SignatureRead, kZipLocalHeaderSignature);
  EXPECT_EQ(r.NeededVersion, 20);
  EXPECT_EQ(r.GpFlags, 0x0808);
  EXPECT_EQ(r.Method, 8);
  EXPECT_EQ(r.ModTime, 0x6B3C);
  EXPECT_EQ(r.ModDate, 0x5821);
  EXPECT_EQ(r.Crc32, 0xCBF43926u);
  EXPECT_EQ(r.PackedSize, 0x01020304u);
  EXPECT_EQ(r.UnpackedSize, 0xA0B0C0D0u);
  EXPECT_EQ(r.Name(), "dir/name.txt");
  EXPECT_EQ(r.Extra(), "UT\x05");
  EXPECT_EQ(r.NameBytes[12], 0);  // zero-terminated
}

TEST(ZipRecords, CentralHeaderRoundTripsEveryField) {
  TArZipDirectoryFileHeader h;
  h.MadeByVersion = 0x0314;
  h.NeededVersion = 21;
  h.GpFlags = 1;
  h.Method = 9;
  h.ModTime = 1;
  h.ModDate = 2;
  h.Crc32 = 3;
  h.PackedSize = 4;
  h.UnpackedSize = 5;
  h.SetNameBytes("a");
  h.SetExtraText("xy");
  h.CommentLength = 3;
  h.CommentBytes.reset(new uint8_t[4]{'c', 'm', 't', 0});
  h.StartDisk = 6;
  h.InternalAttrs = 7;
  h.ExternalAttrs = 0x81A40020;
  h.LocalHeaderOffset = 0x12345678;
  TMemoryStream m;
  h.WriteRecord(m);
  ASSERT_EQ(m.Size(), 46 + 1 + 2 + 3);
  EXPECT_EQ(GetLE32(m.Memory() + 42), 0x12345678u);
  EXPECT_EQ(GetLE16(m.Memory() + 32), 3);
  m.SetPosition(0);
  TArZipDirectoryFileHeader r;
  r.ReadRecord(m);
  EXPECT_EQ(r.MadeByVersion, 0x0314);
  EXPECT_EQ(r.NeededVersion, 21);
  EXPECT_TRUE(r.HasEncryptionBit());
  EXPECT_EQ(r.Method, 9);
  EXPECT_EQ(r.ModTime, 1);
  EXPECT_EQ(r.ModDate, 2);
  EXPECT_EQ(r.Crc32, 3u);
  EXPECT_EQ(r.PackedSize, 4u);
  EXPECT_EQ(r.UnpackedSize, 5u);
  EXPECT_EQ(r.Name(), "a");
  EXPECT_EQ(r.Extra(), "xy");
  EXPECT_EQ(r.Comment(), "cmt");
  EXPECT_EQ(r.StartDisk, 6);
  EXPECT_EQ(r.InternalAttrs, 7);
  EXPECT_EQ(r.ExternalAttrs, 0x81A40020u);
  EXPECT_EQ(r.LocalHeaderOffset, 0x12345678u);
}

TEST(ZipRecords, EndRecordAndDataDescriptorHaveTheirSizes) {
  TArZipDirectoryFileFooter f;
  f.ThisDisk = 1;
  f.DirectoryDisk = 2;
  f.EntriesOnThisDisk = 3;
  f.EntryCount = 4;
  f.DirectorySize = 5;
  f.DirectoryOffset = 6;
  TMemoryStream m;
  f.WriteRecord(m);
  ASSERT_EQ(m.Size(), 22);
  f.SetComment("hello");
  f.WriteRecord(m);
  ASSERT_EQ(m.Size(), 22 + 22 + 5);
  m.SetPosition(0);
  TArZipDirectoryFileFooter r;
  r.ReadRecord(m);
  EXPECT_EQ(r.CommentBytes, nullptr);
  EXPECT_EQ(r.EntryCount, 4);
  r.ReadRecord(m);
  EXPECT_EQ(r.Comment(), "hello");
  EXPECT_EQ(r.DirectoryOffset, 6u);
  EXPECT_EQ(r.EntriesOnThisDisk, 3);

  TArZipDataDescriptor d;
  d.Crc32 = 0x11223344;
  d.PackedSize = 2;
  d.UnpackedSize = 3;
  TMemoryStream dm;
  d.WriteRecord(dm);
  EXPECT_EQ(dm.Bytes(), Bytes({0x44, 0x33, 0x22, 0x11, 2, 0, 0, 0, 3, 0, 0, 0}));
}

TEST(ZipRecords, EmptyNameIsAllocatedEmptyExtraAndCommentStayAbsent) {
  TArZipDirectoryFileHeader h;
  h.SetNameBytes("");
  h.SetExtraText("");
  ASSERT_NE(h.NameBytes, nullptr);
  EXPECT_EQ(h.ExtraBytes, nullptr);
  TMemoryStream m;
  h.WriteRecord(m);
  EXPECT_EQ(m.Size(), 46);
  m.SetPosition(0);
  TArZipDirectoryFileHeader r;
  r.ReadRecord(m);
  ASSERT_NE(r.NameBytes, nullptr);
  EXPECT_EQ(r.NameBytes[0], 0);
  EXPECT_EQ(r.ExtraBytes, nullptr);
  EXPECT_EQ(r.CommentBytes, nullptr);
}

TEST(ZipRecords, WrongSignatureRaisesOnlyAfterTheWholeRecordWasConsumed) {
  TArZipDirectoryFileHeader h;
  h.SetNameBytes("name");
  h.SetExtraText("ex");
  h.CommentLength = 2;
  h.CommentBytes.reset(new uint8_t[3]{'c', 'c', 0});
  TMemoryStream m;
  h.WriteRecord(m);
  m.Memory()[2] = 0x03;  // now the local header signature
  m.SetPosition(0);
  TArZipDirectoryFileHeader r;
  EXPECT_THROW(r.ReadRecord(m), EArZipInvalid);
  EXPECT_EQ(m.Position(), 46 + 4 + 2 + 2);
  m.SetPosition(0);
  TArZipLocalFileHeader l;
  EXPECT_THROW(l.ReadRecord(m), EArZipInvalid);  // a central header is no local one
}

TEST(ZipRecords, ARecordCutAnywhereRaisesTheZipError) {
  TArZipDirectoryFileHeader h;
  h.SetNameBytes("some/name");
  h.SetExtraText("extra");
  h.CommentLength = 4;
  h.CommentBytes.reset(new uint8_t[5]{'a', 'b', 'c', 'd', 0});
  TMemoryStream full;
  h.WriteRecord(full);
  for (int64_t cut = 0; cut < full.Size(); ++cut) {
    TMemoryStream m;
    m.Assign(full.Memory(), static_cast<size_t>(cut));
    TArZipDirectoryFileHeader r;
    EXPECT_THROW(r.ReadRecord(m), EArZipInvalid) << cut;
  }
  TArZipLocalFileHeader lh;
  FillLocal(lh);
  TMemoryStream lfull;
  lh.WriteRecord(lfull);
  for (int64_t cut = 0; cut < lfull.Size(); ++cut) {
    TMemoryStream m;
    m.Assign(lfull.Memory(), static_cast<size_t>(cut));
    TArZipLocalFileHeader r;
    EXPECT_THROW(r.ReadRecord(m), EArZipInvalid) << cut;
  }
  TArZipDirectoryFileFooter f;
  f.SetComment("zz");
  TMemoryStream ffull;
  f.WriteRecord(ffull);
  for (int64_t cut = 0; cut < ffull.Size(); ++cut) {
    TMemoryStream m;
    m.Assign(ffull.Memory(), static_cast<size_t>(cut));
    TArZipDirectoryFileFooter r;
    EXPECT_THROW(r.ReadRecord(m), EArZipInvalid) << cut;
  }
}

TEST(ZipRecords, MethodByteAndImplodeViews) {
  TArZipLocalFileHeader h;
  h.SetMethodByte(8);
  EXPECT_EQ(h.Method, 8);
  h.SetMethodByte(0x88);
  EXPECT_EQ(h.Method, 8);
  for (uint16_t flags : {0, 2, 4, 6}) {
    h.GpFlags = flags;
    h.Method = 8;
    EXPECT_EQ(h.ImplodeDictionarySize(), 0);
    EXPECT_EQ(h.ImplodeTreeCount(), 0);
    h.Method = 6;
    EXPECT_EQ(h.ImplodeDictionarySize(), (flags & 2) ? 2 : 1);
    EXPECT_EQ(h.ImplodeTreeCount(), (flags & 4) ? 3 : 2);
  }
  h.Method = 0x0106;  // only the low byte is the method view
  EXPECT_EQ(h.MethodByte(), 6);
  EXPECT_EQ(h.ImplodeDictionarySize(), 0);
}

}  // namespace
