// zlib as a test oracle: raw streams and checksums made by another implementation.
#pragma once
#include <zlib.h>
#include <stdexcept>
#include "tests/archive/deflate/support.h"

inline Bytes ZlibDeflate(const Bytes& in, int level, int strategy = Z_DEFAULT_STRATEGY, int windowBits = 15,
                         int memLevel = 8) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -windowBits, memLevel, strategy) != Z_OK)
    throw std::runtime_error("deflateInit2");
  Bytes out(deflateBound(&z, in.size()) + 64);
  z.next_in = const_cast<Bytes::value_type*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&z, Z_FINISH);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(z.total_out);
  return out;
}

// Returns false when zlib rejects the stream.
inline bool ZlibInflate(const Bytes& in, Bytes& out, size_t expected) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  out.assign(expected + 1, 0);
  z.next_in = const_cast<Bytes::value_type*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = inflate(&z, Z_FINISH);
  inflateEnd(&z);
  out.resize(z.total_out);
  return rc == Z_STREAM_END;
}

inline uint32_t ZlibCrc(const Bytes& b) {
  return static_cast<uint32_t>(crc32(0, b.data(), static_cast<uInt>(b.size())));
}
inline uint32_t ZlibAdler(const Bytes& b) {
  return static_cast<uint32_t>(adler32(1, b.data(), static_cast<uInt>(b.size())));
}
