// Saving a zip archive, in two steps. Staging gathers stored data in one swap-to-disk
// stream, so that every hook has run and every size is known before anything is
// written. The layout then runs the records and data through an image target twice:
// once counting, to refuse what the 32-bit format cannot hold, and once writing. One
// layout routine for both passes means the check can never disagree with the writing.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>
#include "archive/core/spanstream.h"
#include "archive/core/vmstream.h"
#include "archive/zip/ziparchive.h"

// Copies exactly count bytes in large pieces, telling onWritten (when set) after each;
// a source that ends early raises EArReadError.
void CopyStoredBytes(TStream& source, TStream& dest, int64_t count, std::vector<uint8_t>& buffer,
                     const std::function<void(int64_t bytes)>& onWritten);
// Raises for an item whose sizes do not fit the item model's signed 32 bits.
void CheckItemSize(const TArZipItem& item);

// Reads the old archive in large pieces. A save visits the items in file order, so most
// positions it asks for lie in the piece already read and cost no system call.
class TArZipReadWindow : public TStream {
public:
  explicit TArZipReadWindow(TStream& inner) : inner_(inner), buffer_(kPiece) {}
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void*, int32_t) override { return 0; }
  int64_t Seek(int64_t offset, int origin) override;

private:
  static constexpr int32_t kPiece = 256 * 1024;
  TStream& inner_;
  std::vector<uint8_t> buffer_;
  int64_t start_ = 0;   // where the piece in buffer_ begins
  int32_t length_ = 0;  // bytes of the piece
  int64_t position_ = 0;
};

// A stretch of the staging's kept local header bytes; Start -1 where the central record's
// bytes serve.
struct TArZipKeptBytes {
  int64_t Start = -1;
  uint16_t Length = 0;
};

// An item the save writes, in list order, and where its stored data comes from.
struct TArZipStagedItem {
  enum TSource : uint8_t { dsNone, dsStaged, dsOldArchive };
  TArZipItem* Item;
  int32_t Index;  // in the archive's list
  TSource Source;
  int64_t Position;  // of its block in the staging stream, or of its data in the old archive
  uint32_t Length;   // the item's packed size
  // An old item's own local header name and extra field where they differ from its
  // central record's (Info-ZIP keeps access and creation times in the local one alone).
  // New items take the central record's, and so does a moved item's name.
  TArZipKeptBytes LocalName, LocalExtra;
};

// Staging, the first step of a save. New data has to be staged before the archive is
// written: every hook has run and every size is known when the writing starts. Old data
// is staged only for a save that overwrites the archive (a spanned set); a plain save
// writes a new file and copies old items straight from the old one.
class TArZipStaging {
public:
  TArZipStaging(TArZipArchive& archive, TStream& oldArchive);
  TArZipStaging(const TArZipStaging&) = delete;
  TArZipStaging& operator=(const TArZipStaging&) = delete;

  // Lists the items the save writes and finds each old item's data behind its local header.
  void Plan();
  // Runs the insert hooks. Raises when an item has no data to give or data that differs
  // from its packed size.
  void StageNewData();
  void StageOldData();

  TArVirtualMemoryStream& Blocks() { return blocks_; }
  const std::vector<TArZipStagedItem>& Written() const { return written_; }
  const uint8_t* KeptLocalBytes() const { return keptLocal_.data(); }
  // Bytes the archive is expected to take, for the spanning decision.
  int64_t SizeEstimate() const;

private:
  void AppendBlock(TArZipStagedItem& s, TStream& data);
  TArZipKeptBytes KeepLocal(const uint8_t* own, uint16_t length, const TArZipBytes& central, uint16_t centralLength);

  TArZipArchive& archive_;
  TStream& old_;
  std::string folder_;  // where the swap files go
  TArVirtualMemoryStream blocks_;
  std::vector<TArZipStagedItem> written_;
  std::vector<uint8_t> buffer_;
  std::vector<uint8_t> keptLocal_;  // see TArZipStagedItem
  int64_t oldSize_ = 0;
};

// Where the bytes of a save go: one plain file, or the images of a spanned set.
class TArZipImageTarget {
public:
  virtual ~TArZipImageTarget() = default;
  virtual int64_t Position() = 0;  // inside the current image
  virtual int64_t Room() = 0;      // bytes that still fit on the current image
  virtual int32_t SpanNumber() = 0;
  virtual void NextImage() = 0;
  virtual void Write(const void* data, int32_t count) = 0;
  // count bytes from source's position; counting targets get no source.
  virtual void Copy(TStream* source, int64_t count) = 0;
};

// Counts what a set cut at threshold bytes per image (0: one image without limit) would
// receive, cutting writes as the span stream does.
class TArZipCountingTarget : public TArZipImageTarget {
public:
  explicit TArZipCountingTarget(int32_t threshold) : threshold_(threshold) {}
  int64_t Position() override { return position_; }
  int64_t Room() override;
  int32_t SpanNumber() override { return span_; }
  void NextImage() override;
  void Write(const void*, int32_t count) override { Advance(count); }
  void Copy(TStream*, int64_t count) override { Advance(count); }
  int64_t Total() const { return total_; }

private:
  void Advance(int64_t count);
  int32_t threshold_;
  int64_t position_ = 0, total_ = 0;
  int32_t span_ = 0;
};

// Writes to one stream; onWritten hears the bytes of every write (save progress).
class TArZipStreamTarget : public TArZipImageTarget {
public:
  TArZipStreamTarget(TStream& out, std::function<void(int64_t bytes)> onWritten);
  int64_t Position() override { return position_; }  // counted, not asked of the stream
  int64_t Room() override { return INT64_MAX; }
  int32_t SpanNumber() override { return 0; }
  void NextImage() override {}
  void Write(const void* data, int32_t count) override;
  void Copy(TStream* source, int64_t count) override;

private:
  TStream& out_;
  std::function<void(int64_t)> onWritten_;
  std::vector<uint8_t> buffer_;
  int64_t position_;
};

// Writes the images of a spanned set; a new removable disk gets its volume label.
class TArZipSpanTarget : public TArZipStreamTarget {
public:
  TArZipSpanTarget(TArSpanStream& span, char labelDrive, std::function<void(int64_t bytes)> onWritten);
  int64_t Position() override { return span_.Position(); }
  int64_t Room() override { return span_.RoomOnImage(); }
  int32_t SpanNumber() override { return span_.SpanNumber(); }
  void NextImage() override;

private:
  TArSpanStream& span_;
  char labelDrive_;  // 0 for image files
};

// Where each written item's local header went, and the end record's numbers.
struct TArZipLayout {
  struct TPlace {
    TArZipItem* Item;
    int32_t Disk;
    int64_t Offset;
  };
  std::vector<TPlace> Places;  // one per written item, in order
  int32_t ThisDisk = 0, DirectoryDisk = 0;
  int32_t EntriesOnThisDisk = 0, EntryCount = 0;
  int64_t DirectoryOffset = 0, DirectorySize = 0;
  int64_t Largest = 0;  // the largest offset or directory end the records must hold
  // The end record's numbers (its comment stays).
  void NumberEndRecord(TArZipDirectoryFileFooter& footer) const;
};

// What comes in front of the first local header: the old archive's first StubLength bytes
// (a self-extracting archive's program, or whatever else stood there) or a spanned set's
// marker.
struct TArZipPrefix {
  int64_t StubLength = 0;
  bool SpanningMarker = false;
};

// Where the layout reads stored data from; none while it only counts.
struct TArZipDataSources {
  TStream* Blocks;           // the staging stream
  TStream* OldArchive;       // the archive as it was
  const uint8_t* KeptLocal;  // the staging's kept local header bytes
};

// Runs prefix, local headers, stored data, data descriptors, central directory and end
// record (numbers from the layout, comment from endRecord) through target.
TArZipLayout LayOutArchive(TArZipImageTarget& target, const TArZipPrefix& prefix,
                           const std::vector<TArZipStagedItem>& items, const TArZipDataSources* sources,
                           const TArZipDirectoryFileFooter& endRecord);
// Raises when a layout needs more items than the 16-bit counts hold or (with offsets)
// larger offsets than the 32-bit fields hold.
void CheckLayoutLimits(const TArZipLayout& layout, bool offsets);
