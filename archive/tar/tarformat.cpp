#include "archive/tar/tarformat.h"
#include <algorithm>
#include <cmath>
#include <cstring>
#include "archive/core/arutils.h"

int64_t OctalToInt(const uint8_t* field, int width) {
  int i = 0;
  while (i < width && field[i] == ' ') ++i;
  int64_t v = 0;
  // At most 12 digits fit a field: no overflow.
  for (; i < width && field[i] >= '0' && field[i] <= '7'; ++i) v = v * 8 + (field[i] - '0');
  return v;
}

int64_t TarSize(const uint8_t* field) {
  if (!(field[0] & 0x80)) return OctalToInt(field, 12);
  if (field[0] & 0x40) return -1;
  int64_t v = field[0] & 0x3F;
  for (int i = 1; i < 12; ++i) {
    if (v >= tarfmt::kMaxSize >> 8) return -1;
    v = v << 8 | field[i];
  }
  return v;
}

std::string IntToOctal(int64_t value) {
  if (value < 0) return std::string();
  if (value == 0) return "0";
  std::string s;
  for (; value > 0; value /= 8) s.insert(s.begin(), static_cast<char>('0' + value % 8));
  return s;
}

std::string PadOctal(const std::string& text, int width) {
  if (static_cast<int>(text.size()) >= width) return text;
  const std::string t = text + ' ';
  return std::string(static_cast<size_t>(width) - t.size(), ' ') + t;
}

uint32_t TarChecksum(const uint8_t* block, int count) {
  // Every byte first, then the checksum field's own bytes traded for blanks: a loop
  // without a test in it, as every header of a listing is summed.
  uint32_t sum = 0;
  for (int i = 0; i < count; ++i) sum += block[i];
  for (int i = tarfmt::kChecksumAt; i < std::min(count, tarfmt::kChecksumAt + 8); ++i) sum += ' ' - block[i];
  return sum;
}

std::string FieldText(const uint8_t* field, int width) {
  const auto* end = static_cast<const uint8_t*>(std::memchr(field, 0, static_cast<size_t>(width)));
  return std::string(reinterpret_cast<const char*>(field), end ? static_cast<size_t>(end - field) : width);
}

bool IsTarHeader(const uint8_t* block, int32_t count) {
  if (count < tarfmt::kRecordSize) return false;
  const int64_t stored = OctalToInt(block + tarfmt::kChecksumAt, 8);
  if (stored == TarChecksum(block, tarfmt::kRecordSize)) return true;
  if (count >= tarfmt::kBlockSize && stored == TarChecksum(block, tarfmt::kBlockSize)) return true;
  const std::string magic = FieldText(block + tarfmt::kMagicAt, 8);
  return magic == tarfmt::kGnuMagic || magic == tarfmt::kOldGnuMagic;
}

// ---- DOS time ------------------------------------------------------------------------

namespace {

constexpr int64_t kDosFirst = 315532800;  // 1980-01-01 00:00:00
constexpr int64_t kDosLast = 4354819198;  // 2107-12-31 23:59:58
const TDateTime kEpoch = EncodeDateTime(1970, 1, 1, 0, 0, 0);

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b < 0 ? 1 : 0); }

}  // namespace

uint32_t UnixSecondsToDos(int64_t seconds) {
  const int64_t s = std::clamp(seconds, kDosFirst, kDosLast);
  const int64_t days = s / 86400;
  return DateTimeToDosDateTime(kEpoch + static_cast<double>(days) + static_cast<double>(s - days * 86400) / 86400.0);
}

int64_t WithDosDate(int64_t seconds, uint16_t dosDate) {
  const int month = std::clamp((dosDate >> 5) & 15, 1, 12);
  const int day = std::max(1, dosDate & 31);
  const int64_t days = std::llround(EncodeDateTime((dosDate >> 9) + 1980, month, day, 0, 0, 0) - kEpoch);
  return days * 86400 + (seconds - FloorDiv(seconds, 86400) * 86400);
}

int64_t WithDosTime(int64_t seconds, uint16_t dosTime) {
  const int64_t timeOfDay = (dosTime >> 11) * 3600 + ((dosTime >> 5) & 63) * 60 + 2 * (dosTime & 31);
  return FloorDiv(seconds, 86400) * 86400 + timeOfDay;
}
