// The tar format of the archive model: an item over one header record, the archive that
// lists, extracts, tests and saves regular-file entries, and the content probe. Tar
// archives are never spanned: their stream stays inside the one file, and a read at its
// end just ends. Saves build the new archive aside and replace the file only when all of
// it was written.
#pragma once
#include <cstdint>
#include <string>
#include <memory>
#include "archive/core/ararchive.h"
#include "archive/tar/tarformat.h"
#include "archive/tar/tarhelper.h"
#include "archive/typedetect.h"

// 4 when the stream holds a tar header at its position, else 0; the position is kept.
ArchiveTypeCode ProbeTarFile(TStream& stream);

class TArTarItem : public TArArchiveItem {
public:
  // Magic, mode 744, zero ids and type "0"; size, time and checksum empty.
  TArTarItem();

  int32_t GetPackedSize() const override;
  uint32_t GetUnpackedSize() const override;
  void SetPackedSize(int32_t v) override { SetDataSize(v); }
  void SetUnpackedSize(uint32_t v) override { SetDataSize(v); }
  uint32_t GetAttributes() const override;
  // The Unix mode; only its permission and type bits fit the field.
  void SetAttributes(uint32_t v) override;
  // A name from a pax record in the code page of the file functions.
  std::string GetStoredName() const override;
  // A name of more than 99 bytes does not fit the header: EArException, nothing changed.
  void SetStoredName(const std::string& v) override;
  bool GetEncrypted() const override { return false; }
  void SetEncrypted(bool) override {}
  uint16_t GetModDate() const override { return static_cast<uint16_t>(UnixSecondsToDos(UnixTime()) >> 16); }
  uint16_t GetModTime() const override { return static_cast<uint16_t>(UnixSecondsToDos(UnixTime())); }
  void SetModDate(uint16_t v) override { SetUnixTime(WithDosDate(UnixTime(), v)); }
  void SetModTime(uint16_t v) override { SetUnixTime(WithDosTime(UnixTime(), v)); }

  // The 345 record bytes at the stream's position, which is kept.
  void ReadTarHeader(TStream& stream);
  // The entry the helper stands at, with the name and size its extension records gave.
  void ReadEntry(const TArTarStreamHelper& helper);
  // The record with its checksum, then zeros to a whole block. A name that does not fit
  // raises EArException.
  void WriteTarHeader(TStream& stream);

  int64_t DataSize() const { return longSize_ >= 0 ? longSize_ : OctalToInt(Record + tarfmt::kSizeAt, 12); }
  // A sparse file: listed under its own name and size, never extracted or saved.
  bool Sparse() const { return sparse_; }
  void SetDataSize(int64_t size);
  int64_t UnixTime() const { return OctalToInt(Record + tarfmt::kMtimeAt, 12); }
  void SetUnixTime(int64_t seconds);

  uint8_t Record[tarfmt::kRecordSize] = {};
  int64_t HeaderOffset = -1;  // where its header starts in the archive stream; -1: not there

private:
  void SetField(int at, int width, int64_t value);
  void TakeName(const std::string& name);

  std::string longName_;   // the whole name when the name field holds only its tail
  std::string decodedName_;  // a UTF-8 name in the code page of the file functions, where that differs
  int64_t longSize_ = -1;  // a size the field's octal text does not hold (a pax or base-256 one); -1: the field's
  bool sparse_ = false;
};

class TArTarArchive : public TArArchive {
public:
  TArTarArchive(const std::string& fileName, uint16_t mode);

  // The stored name is OEM text; a name with no exact OEM form raises EArException, as
  // the header has no mark for another code page.
  TArArchiveItem* NewItem(const std::string& fileName) override;
  void UnpackItemToFile(int32_t index, const std::string& outputName) override;
  void UnpackItemToStream(int32_t index, TStream& stream) override;
  void ReadArchive() override;
  void WriteArchive() override;
  void VerifyItem(int32_t index) override;
  bool HoldsItsFile() const override { return Stream != nullptr; }
  // Names are kept with "/" and never hold a drive; one of more than 99 bytes raises
  // EArException.
  std::string NormalizeStoredName(const std::string& name) override;
  // A failed or aborted load leaves the archive unusable.
  void Load() override;

protected:
  // The item at index; EArException "Invalid Item" for an item of another format.
  TArTarItem& TarItem(int32_t index) const;
  // The same, Exception "Index out of range" when it is not in the stream (yet).
  TArTarItem& StoredItem(int32_t index) const;
  // The same, EArException when it is a sparse file, whose stored data is not the file.
  const TArTarItem& ExtractableItem(int32_t index) const;
  // The folder the save's scratch stream swaps to.
  std::string SwapFolder() const;
  // Forgets the data read ahead for extraction: the archive's content changed.
  void DropReadAhead() { readAhead_.Source = nullptr; }
  // Where the read-ahead for the small item at index ends in the stream.
  int64_t ReadAheadEnd(int32_t index) const;
  // Puts image (from its start) in place of the archive that current holds. A memory
  // stream is refilled. A file is written anew beside itself and takes the old one's
  // place only when complete; current is then closed and set to a new stream over the
  // file. When the file cannot be replaced, the error that refused it is raised and
  // current is the old file again. Whenever the file at the archive's name is not the
  // one written (or, after a refusal, the one loaded), current is null and the archive
  // unusable: it never reads another file as its own.
  void ReplaceArchiveImage(TStream*& current, TStream& image);

private:
  // Small items are extracted in archive order: their data is read in large pieces and
  // handed out from here. Valid while Source is the archive's stream and its content the
  // same.
  // The buffer is made once, at its largest, and never cleared: each read fills what it
  // hands out.
  struct TReadAhead {
    const TStream* Source = nullptr;
    int64_t At = 0;
    int64_t Length = 0;
    std::unique_ptr<uint8_t[]> Bytes;
  } readAhead_;
};
