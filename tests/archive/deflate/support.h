// Inputs and stream helpers shared by the engine's tests.
#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <vector>
#include "base/stream.h"

using Bytes = std::vector<uint8_t>;

// Words from a small vocabulary with punctuation and line breaks: compresses like prose.
inline Bytes MakeText(size_t size, uint32_t seed = 1) {
  static const char* words[] = {"the", "archive", "window", "of",     "deflate",  "and",     "a",      "stream",
                                "zip", "Huffman", "code",   "length", "distance", "literal", "block",  "to",
                                "is",  "with",    "bits",   "über",   "Größe",    "update",  "client", "server"};
  std::mt19937 rng(seed);
  Bytes out;
  out.reserve(size + 16);
  while (out.size() < size) {
    const char* w = words[rng() % (sizeof words / sizeof *words)];
    out.insert(out.end(), w, w + std::char_traits<char>::length(w));
    const uint32_t r = rng() % 20;
    out.push_back(r == 0 ? '\n' : r == 1 ? ',' : ' ');
  }
  out.resize(size);
  return out;
}

inline Bytes MakeRandom(size_t size, uint32_t seed = 2) {
  std::mt19937 rng(seed);
  Bytes out(size);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

// Runs of one byte with random lengths up to 1000: long matches at distance 1.
inline Bytes MakeRuns(size_t size, uint32_t seed = 3) {
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) out.insert(out.end(), 1 + rng() % 1000, static_cast<uint8_t>(rng() % 4));
  out.resize(size);
  return out;
}

// Records of little-endian numbers with small deltas, like tables in executables.
inline Bytes MakeBinary(size_t size, uint32_t seed = 4) {
  std::mt19937 rng(seed);
  Bytes out;
  uint32_t v = 0;
  while (out.size() < size) {
    v += rng() % 64;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    if (rng() % 8 == 0) out.insert(out.end(), 4, 0);
  }
  out.resize(size);
  return out;
}

// Blocks of random bytes that repeat at distances far beyond 32 KiB, with long runs:
// only a 64 KiB window finds these matches.
inline Bytes MakeFarRepeats(size_t size, uint32_t seed = 5) {
  std::mt19937 rng(seed);
  Bytes block = MakeRandom(40000 + rng() % 20000, seed);
  Bytes out;
  while (out.size() < size) {
    out.insert(out.end(), block.begin(), block.end());
    out.insert(out.end(), 300 + rng() % 2000, static_cast<uint8_t>(rng()));
    if (rng() % 3 == 0) block = MakeRandom(block.size(), static_cast<uint32_t>(rng()));
  }
  out.resize(size);
  return out;
}

inline TMemoryStream MemOf(const Bytes& data) {
  TMemoryStream s;
  s.Assign(data.data(), data.size());
  return s;
}

inline Bytes BytesOf(const TMemoryStream& s) { return s.Bytes(); }

// A source that hands out at most `chunk` bytes per read.
class TTrickleStream : public TMemoryStream {
public:
  explicit TTrickleStream(int32_t chunk) : chunk_(chunk) {}
  int32_t Read(void* buffer, int32_t count) override {
    return TMemoryStream::Read(buffer, count < chunk_ ? count : chunk_);
  }

private:
  int32_t chunk_;
};

// Writes bit fields least significant bit first, for crafting streams by hand.
class BitWriter {
public:
  BitWriter& Put(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
      if (used_ == 0) bytes_.push_back(0);
      bytes_.back() |= static_cast<uint8_t>(((value >> i) & 1) << used_);
      used_ = (used_ + 1) & 7;
    }
    return *this;
  }
  // A Huffman code goes out most significant bit first.
  BitWriter& Code(uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) Put((code >> i) & 1, 1);
    return *this;
  }
  BitWriter& Align() {
    used_ = 0;
    return *this;
  }
  BitWriter& Byte(uint8_t b) {
    Align();
    bytes_.push_back(b);
    return *this;
  }
  // Fixed-code literal/length symbol.
  BitWriter& Fixed(int symbol) {
    if (symbol < 144) return Code(0x30 + symbol, 8);
    if (symbol < 256) return Code(0x190 + symbol - 144, 9);
    if (symbol < 280) return Code(symbol - 256, 7);
    return Code(0xC0 + symbol - 280, 8);
  }
  const Bytes& Data() const { return bytes_; }

private:
  Bytes bytes_;
  int used_ = 0;
};
