// The zip format of the archive model: the item over its central directory record, the
// loading of the central directory (plain, self-extracting and spanned archives), and
// the requests for further disks or image files of a spanned set. Unpacking is handed
// to the hooks the unzipper installs (zipextract.h); new data comes in through the insert
// hooks of a compressing component, and saving (zipsave.cpp) writes the archive anew.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include "archive/core/ararchive.h"
#include "archive/zip/ziprecords.h"

class TArZipArchive;
class TArZipStaging;
struct TArZipLayout;

// An old item's own local header name or extra field, which a save writes in place of the
// central record's (Kept false: the central record's serve).
struct TArZipOwnBytes {
  bool Kept = false;
  const uint8_t* Bytes = nullptr;  // none while a save only counts: zeros
  uint16_t Length = 0;
};

class TArZipItem : public TArArchiveItem {
public:
  TArZipItem() = default;

  int32_t GetPackedSize() const override { return static_cast<int32_t>(CentralHeader.PackedSize); }
  uint32_t GetCrc() const override { return CentralHeader.Crc32; }
  uint32_t GetAttributes() const override { return CentralHeader.ExternalAttrs; }
  // The stored name in the code page of the file functions: UTF-8 where bit 11 marks it,
  // or where a Unicode path field made for this very name field holds it (bit 11 clear),
  // else OEM text.
  std::string GetStoredName() const override;
  bool NameDecodes() const override;
  bool GetEncrypted() const override { return CentralHeader.HasEncryptionBit(); }
  uint16_t GetModDate() const override { return CentralHeader.ModDate; }
  uint16_t GetModTime() const override { return CentralHeader.ModTime; }
  uint32_t GetUnpackedSize() const override { return CentralHeader.UnpackedSize; }
  void SetPackedSize(int32_t v) override { CentralHeader.PackedSize = static_cast<uint32_t>(v); }
  void SetCrc(uint32_t v) override { CentralHeader.Crc32 = v; }
  void SetAttributes(uint32_t v) override { CentralHeader.ExternalAttrs = v; }
  void SetStoredName(const std::string& v) override;
  void SetModDate(uint16_t v) override { CentralHeader.ModDate = v; }
  void SetModTime(uint16_t v) override { CentralHeader.ModTime = v; }
  void SetUnpackedSize(uint32_t v) override;

  uint8_t MethodByte() const { return CentralHeader.MethodByte(); }
  uint8_t ImplodeDictionarySize() const { return CentralHeader.ImplodeDictionarySize(); }
  uint8_t ImplodeTreeCount() const { return CentralHeader.ImplodeTreeCount(); }
  uint16_t GpFlags() const { return CentralHeader.GpFlags; }
  uint16_t StartDisk() const { return CentralHeader.StartDisk; }
  uint32_t LocalHeaderOffset() const { return CentralHeader.LocalHeaderOffset; }
  uint16_t NeededVersion() const { return CentralHeader.NeededVersion; }
  // The extra field up to its first zero byte.
  std::string ExtraText() const;
  void SetMethodByte(uint8_t v) { CentralHeader.SetMethodByte(v); }
  void SetGpFlags(uint16_t v) { CentralHeader.GpFlags = v; }
  void SetStartDisk(uint16_t v) { CentralHeader.StartDisk = v; }
  void SetLocalHeaderOffset(uint32_t v) { CentralHeader.LocalHeaderOffset = v; }
  void SetExtraText(const std::string& v) { CentralHeader.SetExtraText(v); }
  // Names an item after a file-system name (in the code page of the file functions) as
  // the format's writers do: OEM text where the name has an exact OEM form, else UTF-8
  // marked by bit 11. Raises EArException for a name that has neither.
  void SetFileSystemName(const std::string& name) override;

  // Reads the central directory record at the stream's position.
  void LoadFromCentralDirectory(TStream& stream);

  // The records of a save. The local header takes its name and extra field byte for byte
  // from the central record, or where kept from the item's old local header; the data
  // descriptor follows the data of every item with bit 3.
  void WriteLocalHeader(TStream& stream, const TArZipOwnBytes& name = {}, const TArZipOwnBytes& extra = {}) const;
  void WriteCentralHeader(TStream& stream) const;
  void WriteDataDescriptor(TStream& stream) const;

  TArZipDirectoryFileHeader CentralHeader;

private:
  // The name as GetStoredName gives it; false for a marked name that does not decode,
  // which then reads as an unmarked one.
  bool DecodeName(std::string& name) const;
};

using TArZipExtractToFileHook = std::function<void(TArZipArchive& archive, TArZipItem& item, const std::string& name)>;
using TArZipExtractToStreamHook = std::function<void(TArZipArchive& archive, TArZipItem& item, TStream* stream)>;
using TArZipTestHook = std::function<void(TArZipArchive& archive, TArZipItem& item)>;
// The new data of an item to be added: the hook writes the item's stored bytes (encryption
// header and compressed data) to output and sets the item's method, flags, CRC, sizes,
// version, date, time and attributes. The packed size it sets must be the bytes it wrote.
using TArZipInsertHook = std::function<void(TArZipArchive& archive, TArZipItem& item, TStream* output)>;
// The same for an item whose data is the archive's SourceStream.
using TArZipInsertFromStreamHook =
    std::function<void(TArZipArchive& archive, TArZipItem& item, TStream* output, TStream* source)>;
using TArNeedPasswordHook = std::function<void(void* sender, std::string& newPassword)>;
using TArRequestDiskEvent = std::function<void(void* sender, bool& abort)>;
using TArRequestNthDiskEvent = std::function<void(void* sender, uint8_t diskNumber, bool& abort)>;

// The OK/Cancel prompt of the disk and image requests (a task-modal message box on
// Windows; no prompt anywhere else, which answers Cancel). True for OK. Replaceable.
using TArPromptFunction = std::function<bool(const std::string& text, const std::string& caption)>;
extern TArPromptFunction ArZipPrompt;
bool ArPlatformPrompt(const std::string& text, const std::string& caption);

class TArZipArchive : public TArArchive {
public:
  TArZipArchive(const std::string& fileName, uint16_t mode);
  ~TArZipArchive() override;

  TArArchiveItem* NewItem(const std::string& fileName) override;
  void UnpackItemToFile(int32_t index, const std::string& outputName) override;
  void UnpackItemToStream(int32_t index, TStream& stream) override;
  void ReadArchive() override;
  void WriteArchive() override;
  void VerifyItem(int32_t index) override;
  bool HoldsItsFile() const override { return Stream != nullptr; }
  // The generic stored name with "/" as the separator.
  std::string NormalizeStoredName(const std::string& name) override;
  void RequestImage(void* sender, int32_t imageNumber, std::string& imageName, bool& abort) override;

  virtual void RequestLastDisk(bool& abort);
  virtual void RequestDiskNumber(uint8_t n, bool& abort);
  virtual void RequestBlankDisk(bool& abort);
  void AskImageName(bool writing, int32_t imageNumber, std::string& imageName, bool& abort);
  // Opens piece d of the set (-1: the piece that holds the end record) as Stream;
  // raises EArUserAbort when the request is cancelled, EArFileNotFound for a missing piece.
  void RequestDiskOrImage(int32_t d);

  // New data through the insert hooks; EArZipNoInsertion when the hook is unassigned.
  void InsertItem(int32_t index, TStream& output);
  void InsertItemFromStream(int32_t index, TStream& output);

  static uint8_t ProbeZipFile(TStream& stream);
  static uint8_t ProbeSelfExtractingZip(TStream& stream);
  // The end-record search on the archive's own stream: a span stream is kept inside its
  // current image (and stays so when the record was found).
  int64_t FindEndRecordInStream();

  TArZipItem* ZipItem(int32_t index) const { return static_cast<TArZipItem*>(Items->Get(index)); }

  uint8_t CompressionMethod = 2;
  uint16_t DiskInUse = 0xFFFF;
  uint8_t DeflationOption = 1;
  bool OnRemovableDrive = false;
  TArZipDirectoryFileFooter EndRecord;
  bool StartsAsExecutable = false;  // the file begins with "MZ"
  std::string Password;
  uint8_t PasswordRetries = 3;
  // Bytes in front of the first local header, whatever they begin with: a self-extracting
  // archive's program, or what else a tool put there. A save keeps them.
  int32_t ProgramStubLength = 0;
  bool AutoNamedImages = false;

  TArZipExtractToFileHook OnExtractToFile;
  TArZipExtractToStreamHook OnExtractToStream;
  TArZipTestHook OnTest;
  TArZipInsertHook OnInsert;
  TArZipInsertFromStreamHook OnInsertFromStream;
  TArNeedPasswordHook OnNeedPassword;
  TArRequestDiskEvent OnRequestLastDisk;
  TArRequestNthDiskEvent OnRequestNthDisk;
  TArRequestDiskEvent OnRequestBlankDisk;

private:
  void ReplaceStream(const std::string& name, TArMediaKind kind, int32_t piece);
  // The two roads of a save (zipsave.cpp), and what follows a written archive.
  void WriteReplacingArchive(TArZipStaging& staging, TStream& oldArchive, int64_t stubLength, TArMediaKind kind);
  void WriteSpannedSet(TArZipStaging& staging, TArMediaKind kind);
  // Opens name (the set's piece) again after a save. Where loaded is given, the file
  // opened must be that one (see CheckOpenedIsLoadedFile); any failure leaves the archive
  // unusable, with no stream.
  void ReopenAfterSave(const std::string& name, TArMediaKind kind, int32_t piece,
                       const std::optional<os::FileIdentity>& loaded);
  void ApplySavedLayout(const TArZipLayout& layout);
};
