#include "archive/tar/tarhelper.h"
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Extension data beyond this is no name or size record anyone writes.
constexpr int64_t kMaxExtension = 1 << 20;
// Headers are read through a cache of at most this size (see tarhelper.h).
constexpr int32_t kCacheSize = 1 << 16;

bool IsRegular(uint8_t type) { return type == tarfmt::kRegular || type == tarfmt::kOldRegular; }

bool CarriesNoData(uint8_t type) { return type >= tarfmt::kHardLink && type <= tarfmt::kFifo; }

bool IsExtension(uint8_t type) {
  return type == tarfmt::kGnuLongName || type == tarfmt::kGnuLongLink || type == tarfmt::kPaxHeader ||
         type == tarfmt::kPaxGlobal;
}

bool ParseDecimal(const std::string& s, int64_t& value) {
  if (s.empty() || s.size() > 18) return false;
  value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// What the extension records in front of an entry say about it.
struct TEntryRecords {
  std::string Name;        // a GNU long name or a pax path; empty: none
  bool NameIsPax = false;  // Name is a pax path, UTF-8 unless the header's charset says otherwise
  int8_t Binary = -1;      // a pax hdrcharset: 1 BINARY (values are raw bytes), 0 any other; -1: none
  int64_t Size = -1;       // a pax size; -1: none
  bool Sparse = false;     // any GNU sparse record
  std::string SparseName;  // the sparse file's own name, where the header holds a made-up one
  int64_t RealSize = -1;   // the sparse file's own size; -1: none that could be read
};

bool IsPrefix(const std::string& prefix, const std::string& s) { return s.compare(0, prefix.size(), prefix) == 0; }

// Records "<length> <key>=<value>\n"; the length counts the whole record. Only path, size,
// hdrcharset and the GNU sparse records matter here. False for a malformed record.
bool ParsePax(const std::string& data, TEntryRecords& records) {
  size_t p = 0;
  while (p < data.size()) {
    const size_t space = data.find(' ', p);
    int64_t length = 0;
    if (space == std::string::npos || !ParseDecimal(data.substr(p, space - p), length)) return false;
    if (length <= static_cast<int64_t>(space - p + 1) || static_cast<int64_t>(data.size() - p) < length) return false;
    const std::string record = data.substr(space + 1, static_cast<size_t>(length) - (space - p) - 1);
    if (record.empty() || record.back() != '\n') return false;
    const size_t eq = record.find('=');
    if (eq == std::string::npos) return false;
    const std::string key = record.substr(0, eq), value = record.substr(eq + 1, record.size() - eq - 2);
    if (key == "path") {
      records.Name = value;
      records.NameIsPax = true;
    }
    if (key == "hdrcharset") records.Binary = value == "BINARY" ? 1 : 0;
    if (key == "size" && (!ParseDecimal(value, records.Size) || records.Size >= tarfmt::kMaxSize)) return false;
    if (IsPrefix("GNU.sparse.", key)) {
      // The sparse formats 0.x give the size, 1.0 the real size; a name only where the
      // header's is made up.
      records.Sparse = true;
      int64_t real = 0;
      if (key == "GNU.sparse.name") records.SparseName = value;
      if ((key == "GNU.sparse.size" || key == "GNU.sparse.realsize") && ParseDecimal(value, real) &&
          real < tarfmt::kMaxSize)
        records.RealSize = real;
    }
    p += static_cast<size_t>(length);
  }
  return true;
}

// The name fields of a header: a POSIX header's prefix goes in front of its name.
std::string HeaderName(const uint8_t* block) {
  std::string name = FieldText(block + tarfmt::kNameAt, tarfmt::kNameLength);
  const bool posix = std::memcmp(block + tarfmt::kMagicAt, "ustar", 6) == 0;
  if (posix && block[tarfmt::kPrefixAt] != 0)
    name = FieldText(block + tarfmt::kPrefixAt, tarfmt::kPrefixLength) + "/" + name;
  return name;
}

void WriteZeros(TStream& stream, int64_t count) {
  static const uint8_t zeros[tarfmt::kBlockSize] = {};
  for (; count > 0; count -= tarfmt::kBlockSize)
    stream.WriteBuffer(zeros, static_cast<int32_t>(std::min<int64_t>(count, tarfmt::kBlockSize)));
}

}  // namespace

TArTarStreamHelper::TArTarStreamHelper(TStream* stream) : TArArchiveStreamHelper(stream) {}

bool TArTarStreamHelper::ReadBlockAt(int64_t position) {
  if (position + tarfmt::kBlockSize > streamSize_) return false;
  if (position < cacheAt_ || position + tarfmt::kBlockSize > cacheAt_ + cacheLength_) {
    if (served_ <= 1)
      chunk_ = std::max(chunk_ / 4, tarfmt::kBlockSize);
    else if (served_ >= 4)
      chunk_ = std::min(chunk_ * 2, kCacheSize);
    served_ = 0;
    if (!cache_) cache_ = std::make_unique_for_overwrite<uint8_t[]>(kCacheSize);
    FStream->SetPosition(position);
    cacheAt_ = position;
    cacheLength_ = std::max(FStream->Read(cache_.get(), chunk_), 0);
    if (cacheLength_ < tarfmt::kBlockSize) return false;
  }
  ++served_;
  std::memcpy(block_, cache_.get() + (position - cacheAt_), tarfmt::kBlockSize);
  return true;
}

bool TArTarStreamHelper::ReadExtension(int64_t position, int64_t size, std::string& data) {
  if (size > kMaxExtension) return false;
  data.assign(static_cast<size_t>(size), '\0');
  FStream->SetPosition(position);
  return size == 0 || FStream->Read(&data[0], static_cast<int32_t>(size)) == size;
}

bool TArTarStreamHelper::Stop(bool damaged) {
  damaged_ = damaged;
  entry_ = -1;
  return false;
}

bool TArTarStreamHelper::WalkFrom(int64_t position) {
  TEntryRecords records;  // for the next entry
  for (;;) {
    if (!ReadBlockAt(position) || block_[tarfmt::kNameAt] == 0) return Stop(false);
    if (!IsTarHeader(block_, tarfmt::kBlockSize)) return Stop(true);
    const uint8_t type = block_[tarfmt::kTypeAt];
    const bool extension = IsExtension(type);
    int64_t size = !extension && records.Size >= 0 ? records.Size : TarSize(block_ + tarfmt::kSizeAt);
    if (size < 0) return Stop(true);
    int64_t dataAt = position + tarfmt::kBlockSize;
    if (IsRegular(type) || type == tarfmt::kOldGnuSparse) {
      const bool oldSparse = type == tarfmt::kOldGnuSparse;
      const int64_t realSize = oldSparse ? TarSize(block_ + tarfmt::kSparseRealSizeAt) : records.RealSize;
      if (oldSparse) {
        // The extension blocks pass through the header's buffer.
        uint8_t header[tarfmt::kBlockSize];
        std::memcpy(header, block_, sizeof header);
        if (!SkipSparseExtensions(dataAt)) return Stop(true);
        std::memcpy(block_, header, sizeof header);
      }
      entry_ = position;
      data_ = dataAt;
      next_ = dataAt + RoundUpToBlock(size);
      sparse_ = oldSparse || records.Sparse;
      size_ = sparse_ && realSize >= 0 ? realSize : size;
      name_ = records.SparseName.empty() ? records.Name : records.SparseName;
      const int8_t binary = records.Binary >= 0 ? records.Binary : globalBinary_;
      nameIsUtf8_ = !name_.empty() && (records.NameIsPax || !records.SparseName.empty()) && binary != 1;
      if (name_.empty()) name_ = HeaderName(block_);
      return true;
    }
    // Any other entry is stepped over whole. Where data that must be there would run past
    // the end of the file, what follows it cannot be found: that is damage, not the end of
    // the archive.
    if (CarriesNoData(type)) {
      if (!BodyFollows(dataAt, size)) size = 0;
    } else if (dataAt + size > streamSize_) {
      return Stop(true);
    }
    if (type == tarfmt::kGnuLongName || type == tarfmt::kPaxHeader) {
      std::string data;
      if (!ReadExtension(dataAt, size, data)) return Stop(true);
      if (type == tarfmt::kGnuLongName) {
        records.Name = FieldText(reinterpret_cast<const uint8_t*>(data.data()), static_cast<int>(data.size()));
        records.NameIsPax = false;
      } else if (!ParsePax(data, records)) {
        return Stop(true);
      }
    } else if (type == tarfmt::kPaxGlobal) {
      // Of the records for every later entry only the charset of their values matters;
      // global records were never needed to walk on, so broken ones are passed over.
      std::string data;
      TEntryRecords global;
      if (ReadExtension(dataAt, size, data) && ParsePax(data, global) && global.Binary >= 0)
        globalBinary_ = global.Binary;
    } else if (!extension) {
      records = TEntryRecords();  // they belonged to this entry, which is no item
    }
    position = dataAt + RoundUpToBlock(size);
  }
}

bool TArTarStreamHelper::BodyFollows(int64_t position, int64_t size) {
  if (size == 0 || position + size > streamSize_) return false;
  return ReadBlockAt(position) && !IsTarHeader(block_, tarfmt::kBlockSize);
}

bool TArTarStreamHelper::SkipSparseExtensions(int64_t& position) {
  for (bool more = block_[tarfmt::kSparseExtendedAt] != 0; more; position += tarfmt::kBlockSize) {
    if (!ReadBlockAt(position)) return false;
    more = block_[tarfmt::kExtensionExtendedAt] != 0;
  }
  return true;
}

bool TArTarStreamHelper::LocateFirstItem() {
  damaged_ = false;
  globalBinary_ = -1;
  streamSize_ = FStream->Size();
  cacheLength_ = 0;
  chunk_ = kCacheSize;
  served_ = 2;  // the first read keeps the full size
  return WalkFrom(0);
}

bool TArTarStreamHelper::LocateNextItem() {
  if (entry_ < 0) return false;
  return WalkFrom(next_);
}

bool TArTarStreamHelper::LocateItem(int32_t index) {
  if (index < 0 || !LocateFirstItem()) return false;
  for (int32_t i = 0; i < index; ++i)
    if (!LocateNextItem()) return false;
  return true;
}

bool TArTarStreamHelper::GotoItemData(int32_t index) {
  if (!LocateItem(index)) return false;
  FStream->SetPosition(data_);
  return true;
}

int32_t TArTarStreamHelper::CountItems() {
  int32_t n = 0;
  for (bool found = LocateFirstItem(); found; found = LocateNextItem()) ++n;
  return n;
}

void TArTarStreamHelper::UnpackCurrentItem(TStream& destination) {
  if (entry_ < 0) throw EArException("Invalid Item");
  if (sparse_) throw EArException(kSparseNotExtracted);
  FStream->SetPosition(data_);
  if (size_ > 0) destination.CopyFrom(*FStream, size_);
  FStream->SetPosition(entry_);
}

void TArTarStreamHelper::PackData(TStream& source, int64_t size) {
  if (size > 0) FStream->CopyFrom(source, size);
  WriteZeros(*FStream, RoundUpToBlock(size) - size);
}

void TArTarStreamHelper::PackItem(TStream& source) {
  source.SetPosition(0);
  PackData(source, source.Size());
}

void TArTarStreamHelper::WriteTrailer() { WriteZeros(*FStream, tarfmt::kBlockSize); }
