// Saving a zip archive, in two steps. Staging first gathers the stored data of every item
// the save keeps (its old bytes, or new bytes from the insert hooks) in one swap-to-disk
// stream, so every size is known and every hook has run before anything is written. The
// layout then runs the records and blocks through an image target twice: once counting,
// to refuse what the 32-bit format cannot hold, and once writing. One layout routine for
// both passes means the check can never disagree with what is written.
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

// An item the save writes, in list order, with the stored data staged for it.
struct TArZipStagedItem {
  TArZipItem* Item;
  bool HasBlock;         // a block of BlockLength bytes follows in the staging stream
  uint32_t BlockLength;  // always the item's packed size
};

class TArZipStaging {
public:
  explicit TArZipStaging(TArZipArchive& archive);
  TArZipStaging(const TArZipStaging&) = delete;
  TArZipStaging& operator=(const TArZipStaging&) = delete;

  // Runs every item's pending action into the staging stream and leaves it at its start.
  // Raises when an item has no data to give or data that differs from its packed size.
  void Run();

  TArVirtualMemoryStream& Blocks() { return blocks_; }
  const std::vector<TArZipStagedItem>& Written() const { return written_; }
  // Bytes the archive is expected to take, for the spanning decision.
  int64_t SizeEstimate() const { return estimate_; }

private:
  uint32_t CopyExistingData(TArZipItem& item);
  uint32_t StageNewData(int32_t index, TArZipItem& item);
  void AppendBlock(TStream& data, uint32_t length);

  TArZipArchive& archive_;
  std::string folder_;  // where the swap files go
  TArVirtualMemoryStream blocks_;
  std::vector<TArZipStagedItem> written_;
  int64_t estimate_ = 0;
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
  int64_t Position() override { return out_.Position(); }
  int64_t Room() override { return INT64_MAX; }
  int32_t SpanNumber() override { return 0; }
  void NextImage() override {}
  void Write(const void* data, int32_t count) override;
  void Copy(TStream* source, int64_t count) override;

private:
  TStream& out_;
  std::function<void(int64_t)> onWritten_;
  std::vector<uint8_t> buffer_;
};

// Writes the images of a spanned set; a new removable disk gets its volume label.
class TArZipSpanTarget : public TArZipStreamTarget {
public:
  TArZipSpanTarget(TArSpanStream& span, char labelDrive, std::function<void(int64_t bytes)> onWritten);
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
};

// What comes in front of the first local header: a self-extracting archive's program
// (its first StubLength bytes, copied from StubSource) or a spanned set's marker.
struct TArZipPrefix {
  int64_t StubLength = 0;
  TStream* StubSource = nullptr;
  bool SpanningMarker = false;
};

// Runs prefix, local headers, blocks (read from blocks when given), data descriptors,
// central directory and end record (numbers from the layout, comment from endRecord)
// through target.
TArZipLayout LayOutArchive(TArZipImageTarget& target, const TArZipPrefix& prefix,
                           const std::vector<TArZipStagedItem>& items, TStream* blocks,
                           const TArZipDirectoryFileFooter& endRecord);
// Raises when a layout needs more items than the 16-bit counts hold or (with offsets)
// larger offsets than the 32-bit fields hold.
void CheckLayoutLimits(const TArZipLayout& layout, bool offsets);
// Raises for an item whose sizes do not fit the item model's signed 32 bits.
void CheckItemSize(const TArZipItem& item);
