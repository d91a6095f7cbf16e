// The library's CRC-32 against zlib's on random buffers up to 1 MiB, fed whole and in
// pieces of random size.
#include <gtest/gtest.h>
#include <zlib.h>
#include <random>
#include <vector>
#include "archive/core/arutils.h"

TEST(Crc32Oracle, EqualsZlibOnRandomBuffersUpTo1MiB) {
  std::mt19937 rng(1234);
  std::vector<uint8_t> buf(1 << 20);
  for (auto& b : buf) b = static_cast<uint8_t>(rng());
  std::vector<size_t> sizes = {0, 1, 7, 8, 9, 65535, 65536, 65537, buf.size()};
  for (int i = 0; i < 300; ++i) sizes.push_back(rng() % (buf.size() + 1));
  for (size_t n : sizes) {
    const size_t start = rng() % 8;
    const size_t len = std::min(n, buf.size() - start);
    uint32_t crc = 0xFFFFFFFF;
    UpdateCrc32Buffer(crc, buf.data() + start, len);
    const uLong ref = crc32(0L, buf.data() + start, static_cast<uInt>(len));
    ASSERT_EQ(~crc, ref) << "length " << len;
    uint32_t pieces = 0xFFFFFFFF;
    for (size_t at = 0; at < len;) {
      const size_t step = std::min<size_t>(len - at, rng() % 3000 + 1);
      UpdateCrc32Buffer(pieces, buf.data() + start + at, step);
      at += step;
    }
    ASSERT_EQ(~pieces, ref) << "pieces of length " << len;
  }
}
