// The walk over a tar archive's entries. Only regular files, sparse ones among them, are
// items; every other entry is stepped over, but the extension records other writers put
// in front of an entry (a GNU long name, a pax path or size, GNU sparse records) are read
// first, so that an item always carries its whole name and true size. Links, devices,
// folders and FIFOs carry no data whatever their size field says, as other readers take
// them; a body is stepped over only where one does follow. The walk runs in 64 bits and
// only forward: a header past the end, an empty name or a short read ends it; a block
// that is no tar header, a size no file can hold, or extension data that runs past the
// end ends it as damaged. An item's own data may be cut short: that fails the item, not
// the walk.
#pragma once
#include <cstdint>
#include <string>
#include <memory>
#include "archive/core/ararchive.h"
#include "archive/tar/tarformat.h"

// Sparse data stays out of this library: what a sparse item raises instead of coming out.
inline constexpr char kSparseNotExtracted[] = "Sparse files are not extracted";

class TArTarStreamHelper : public TArArchiveStreamHelper {
public:
  explicit TArTarStreamHelper(TStream* stream);

  void UnpackCurrentItem(TStream& destination) override;
  bool LocateFirstItem() override;
  bool LocateNextItem() override;
  void ReadLeadIn() override {}
  void ReadTrailer() override {}
  bool LocateItem(int32_t index) override;
  void WriteLeadIn() override {}
  // The whole source, padded with zeros to a whole block.
  void PackItem(TStream& source) override;
  // One block of zeros.
  void WriteTrailer() override;
  int32_t CountItems() override;

  // As LocateItem, and the stream then stands at the entry's data (stored data for a
  // sparse one).
  bool GotoItemData(int32_t index);
  // size bytes from the source's position, then the padding.
  void PackData(TStream& source, int64_t size);

  // The entry the helper stands at (valid after a successful Locate...).
  const uint8_t* Header() const { return block_; }
  const std::string& EntryName() const { return name_; }
  // The name came from a pax record whose values are UTF-8, as pax has them unless a
  // hdrcharset record says they are raw bytes.
  bool EntryNameIsUtf8() const { return nameIsUtf8_; }
  int64_t EntrySize() const { return size_; }
  int64_t EntryOffset() const { return entry_; }
  // A sparse file (an old GNU sparse entry or one with GNU sparse pax records): its name
  // and size are the file's, its stored data is not.
  bool EntrySparse() const { return sparse_; }
  // The last walk ended at a block that is not a tar header, or at a broken extension.
  bool Damaged() const { return damaged_; }

private:
  bool WalkFrom(int64_t position);
  bool Stop(bool damaged);
  // For an entry that carries no data: whether a body of size bytes at position follows
  // all the same (it is no header, and it fits in the file).
  bool BodyFollows(int64_t position, int64_t size);
  bool ReadBlockAt(int64_t position);
  bool ReadExtension(int64_t position, int64_t size, std::string& data);
  // Moves position (just behind an old GNU sparse header) past the extension blocks that
  // follow it; false when they run past the end of the file.
  bool SkipSparseExtensions(int64_t& position);

  uint8_t block_[tarfmt::kBlockSize] = {};
  // Headers are read through a cache. Its reads follow how densely the headers lie: one
  // that served a single header makes the next a quarter as long, one that served four
  // or more makes it twice as long, between one block and 64 KiB. A walk over small
  // entries so reads the archive in large pieces, one over large entries little more
  // than their headers.
  std::unique_ptr<uint8_t[]> cache_;  // the stream from cacheAt_, cacheLength_ bytes; never cleared
  int64_t cacheAt_ = 0;
  int32_t cacheLength_ = 0;
  int32_t chunk_ = 0;   // the length of the next read
  int32_t served_ = 0;  // headers the current read has served
  int64_t entry_ = -1;  // header offset of the current entry; -1: none
  int64_t data_ = 0;    // where its stored data starts (behind an old sparse entry's extension blocks)
  int64_t next_ = 0;    // where the entry after it starts
  int64_t size_ = 0;    // its data size, an extension's size when one gave it; a sparse file's own size
  std::string name_;    // its whole name
  bool nameIsUtf8_ = false;
  int8_t globalBinary_ = -1;  // the hdrcharset of the last global pax records, as TEntryRecords has it
  bool sparse_ = false;
  bool damaged_ = false;
  int64_t streamSize_ = 0;
};
