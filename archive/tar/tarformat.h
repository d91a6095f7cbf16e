// The tar header block: 512 bytes of fixed fields with numbers as octal text. This
// program writes the old GNU magic and fills only the first 345 bytes; what other writers
// put behind them (the ustar name prefix, GNU times) is read by the walk, and their
// checksum may cover the whole block, so both sums are accepted. The DOS time helpers
// serve tar's and gzip's Unix seconds alike.
#pragma once
#include <cstdint>
#include <string>

namespace tarfmt {
constexpr int32_t kBlockSize = 512;
constexpr int32_t kRecordSize = 345;  // what an item keeps and this program writes
constexpr int kNameAt = 0, kNameLength = 100;
constexpr int kModeAt = 100, kUidAt = 108, kGidAt = 116, kSizeAt = 124, kMtimeAt = 136;
constexpr int kChecksumAt = 148, kTypeAt = 156, kMagicAt = 257, kVersionAt = 263;
constexpr int kUnameAt = 265, kGnameAt = 297, kDevMajorAt = 329, kDevMinorAt = 337;
constexpr int kPrefixAt = 345, kPrefixLength = 155;
constexpr char kGnuMagic[] = "ustar  ";  // with the NUL after it: the 8-byte field
constexpr char kOldGnuMagic[] = "GNUtar ";
// Type flags of the entries this library reads something from.
constexpr uint8_t kRegular = '0', kOldRegular = 0, kGnuLongName = 'L', kGnuLongLink = 'K';
constexpr uint8_t kPaxHeader = 'x', kPaxGlobal = 'g', kOldGnuSparse = 'S';
// Hard and symbolic links, character and block devices, folders and FIFOs: the types
// from kHardLink to kFifo, which carry no data.
constexpr uint8_t kHardLink = '1', kFifo = '6';
// An old GNU sparse header is followed by extension blocks of its hole map, before its
// data, while the flag in the header and then in each extension block is set. The
// header holds the file's own size as well.
constexpr int kSparseExtendedAt = 482, kSparseRealSizeAt = 483, kExtensionExtendedAt = 504;
// Sizes from this on cannot be positions in a stream.
constexpr int64_t kMaxSize = int64_t{1} << 62;
}  // namespace tarfmt

// Leading spaces skipped, then octal digits up to the first other byte; 0 for none.
int64_t OctalToInt(const uint8_t* field, int width);
// The 12-byte size field: octal text, or base-256 as GNU tar writes sizes of 8 GiB and
// more (the first byte's top bit set, its next bit the sign). -1 for a negative size or
// one of kMaxSize or more, which no archive holds.
int64_t TarSize(const uint8_t* field);
// "0" for 0, empty for a negative value, else the digits without leading zeros.
std::string IntToOctal(int64_t value);
// Shorter text gets one space behind and spaces in front up to width; longer stays.
std::string PadOctal(const std::string& text, int width);
// The unsigned sum of the first count bytes, the checksum field counted as spaces.
uint32_t TarChecksum(const uint8_t* block, int count);
inline int64_t RoundUpToBlock(int64_t n) { return (n + 511) & ~int64_t{511}; }
// A tar header proves itself by its stored checksum (over the 345 bytes this format
// keeps, or over the whole block when count covers it) or by one of the two GNU magics.
// Fewer than 345 bytes are no header.
bool IsTarHeader(const uint8_t* block, int32_t count);
// The text of a field up to its first NUL.
std::string FieldText(const uint8_t* field, int width);

// Unix seconds (no time zone) as a DOS date-time, clamped to the years DOS can hold.
uint32_t UnixSecondsToDos(int64_t seconds);
// The seconds with the date replaced (time of day kept) or the time of day replaced.
int64_t WithDosDate(int64_t seconds, uint16_t dosDate);
int64_t WithDosTime(int64_t seconds, uint16_t dosTime);
