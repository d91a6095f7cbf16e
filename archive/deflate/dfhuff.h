// Canonical Huffman codes given by code lengths alone, in both directions: a one-level
// decode table indexed by the next LookupBitLength bits of the stream, and a table of
// bit-reversed codes for writing least significant bit first. Also the engine's fixed
// tables (length and distance bases and extra bits, the code-length order), the two
// trees of the fixed code and the translator from match lengths and distances to
// symbols.
//
// Entry format of both tables: bits 0..15 the symbol (decode) or the reversed code
// (encode), bits 16..23 the code length, bits 24..31 the extra bits after the code.
// Decode entries that no code reaches, and encode entries of unused symbols, are
// 0xFFFFFFFF.
//
// The decode table is kept in two levels so that it stays small and cheap to build: a
// root indexed by the first RootBits bits, whose entries for longer codes point to a
// second-level table indexed by the following bits (bit 22 set, symbol field = offset
// of that table, low six bits of the length field = its index width). A lookup through
// both levels gives for every bit pattern exactly the entry a one-level table of
// 2^LookupBitLength entries would hold.
#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>
#include "archive/deflate/dfbase.h"

enum TArDfTreeUsage : uint8_t { tuEncode = 0, tuDecode = 1, tuBoth = 2 };

// The canonical code of each symbol, bit-reversed for reading least significant bit
// first: codes[i] for lengths[i] (0 for unused symbols). An over-subscribed set runs
// past the codes of a length; the low bits are kept, so every code still has its
// length. Returns the longest length.
int32_t ArDfCanonicalCodes(const uint8_t* lengths, int32_t count, uint16_t* codes);

// Fills a two-level decode table for codes of at most `longest` bits: a root indexed by
// the first rootBits bits (codes shorter than that fill every entry they start), and behind it, for each root pattern
// that starts longer codes, a second-level table indexed by the following bits. A lookup through both levels gives for
// every bit pattern what a one-level table of 2^longest entries would: the entry of the last symbol (in symbol order)
// whose code the pattern starts with, or `unassigned`. The format supplies the link entries: F::Link(offset, width) and
// F::LinkOffset(entry), which is negative for every entry that is not a link.
template <class F, class EntryOf>
void ArDfFillDecodeTable(std::vector<uint32_t>& table, const uint8_t* lengths, const uint16_t* codes, int32_t count,
                         int32_t longest, int32_t rootBits, uint32_t unassigned, EntryOf entryOf) {
  const uint32_t rootMask = (1u << rootBits) - 1;
  const int32_t subBits = std::max(longest - rootBits, 0);
  const uint32_t subSize = 1u << subBits;
  table.assign(size_t(1) << rootBits, unassigned);
  for (int32_t i = 0; i < count; ++i) {
    const int32_t l = lengths[i];
    if (l == 0) continue;
    const uint32_t reversed = codes[i];
    const uint32_t entry = entryOf(i, l);
    if (l <= rootBits) {
      // Every pattern that starts with this code, second-level tables included.
      for (uint32_t j = reversed; j <= rootMask; j += 1u << l) {
        const int32_t offset = F::LinkOffset(table[j]);
        if (offset >= 0)
          std::fill_n(table.begin() + offset, subSize, entry);
        else
          table[j] = entry;
      }
      continue;
    }
    const uint32_t root = reversed & rootMask;
    int32_t offset = F::LinkOffset(table[root]);
    if (offset < 0) {
      // A new second-level table inherits what the root entry held for its patterns.
      offset = static_cast<int32_t>(table.size());
      table.resize(table.size() + subSize, table[root]);
      table[root] = F::Link(static_cast<uint32_t>(offset), subBits);
    }
    uint32_t* sub = table.data() + offset;
    for (uint32_t j = reversed >> rootBits; j < subSize; j += 1u << (l - rootBits)) sub[j] = entry;
  }
}

constexpr uint32_t ArDfUnassigned = 0xFFFFFFFFu;
constexpr uint32_t ArDfSubTableFlag = 0x400000u;

class TArDfDecodeHuffmanTree {
public:
  TArDfDecodeHuffmanTree(int32_t alphabetSize, TArDfTreeUsage usage, int32_t codeLenLimit);

  // Lengths lengths[start .. start + count - 1] give symbols 0 .. count - 1; symbols from
  // firstExtraSymbol on take their extra bits from extraBits[symbol - firstExtraSymbol].
  // Over-subscribed and incomplete sets are accepted: later codes overwrite earlier ones
  // and unreached entries stay unassigned. Building again replaces the code.
  void Build(const uint8_t* lengths, int32_t start, int32_t count, const uint8_t* extraBits, int32_t firstExtraSymbol);
  uint32_t Decode(uint32_t bits) const;
  // Decode without the width check: the low LookupBitLength bits of `bits` count.
  uint32_t Lookup(uint64_t bits) const {
    uint32_t e = decode_[bits & rootMask_];
    if ((e & ArDfSubTableFlag) && (e & 0xFFFF) != 0xFFFF)
      e = decode_[(e & 0xFFFF) + ((bits >> rootBits_) & ((1u << ((e >> 16) & 0x3F)) - 1))];
    return e;
  }
  static constexpr int32_t RootBits = 10;
  uint32_t Encode(int32_t symbol) const;
  int32_t LookupBitLength() const { return lookupBitLength_; }
  int32_t AlphabetSize() const { return alphabetSize_; }

  const uint32_t* DecodeTable() const { return decode_.data(); }
  const uint32_t* EncodeTable() const { return encode_.data(); }

private:
  int32_t alphabetSize_;
  std::vector<uint32_t> decode_;
  int32_t codeLenLimit_;
  std::vector<uint32_t> encode_;
  uint32_t mask_ = 0;
  int32_t lookupBitLength_ = 0;
  int32_t rootBits_ = 0;
  uint32_t rootMask_ = 0;
  TArDfTreeUsage usage_;
};

// Fixed tables.
extern const uint8_t ArDfLengthExtraBits[31];  // symbols 257..287
extern const uint16_t ArDfLengthBase[29];      // symbols 257..285 (285: deflate's 258)
constexpr uint16_t ArDfLength64Base285 = 3;    // symbol 285 in deflate64
extern const uint8_t ArDfDistanceExtraBits[32];
extern const uint32_t ArDfDistanceBase[32];
extern const uint8_t ArDfCodeLengthOrder[19];

// The trees of the fixed code, built once on first use and shared read-only.
const TArDfDecodeHuffmanTree& ArDfStaticLiteralTree();
const TArDfDecodeHuffmanTree& ArDfStaticDistanceTree();

class TArDfTranslator {
public:
  TArDfTranslator();
  // 3..65536; 285 for every length from 258.
  int32_t TranslateLength(int32_t length) const {
    ArDfCheck(length >= 3 && length <= 65536, "TArDfTranslator.Translate: length should be 3..65536", "ArDfXlat");
    return length >= 258 ? 285 : 257 + lengthSymbols_[length - 3];
  }
  // 1..65536.
  int32_t TranslateDistance(int32_t distance) const {
    ArDfCheck(distance >= 1 && distance <= 65536, "TArDfTranslator.Translate: distance should be 1..65536", "ArDfXlat");
    if (distance <= 256) return shortSymbols_[distance - 1];
    if (distance <= 32768) return mediumSymbols_[(distance - 1) / 128 - 2];
    return longSymbols_[(distance - 1) / 16384 - 2];
  }
  // Unchecked forms for the encoder's loops (length 3..258, distance 1..65536).
  int32_t LengthSymbol(int32_t length) const { return 257 + lengthSymbols_[length - 3]; }
  int32_t DistanceSymbol(int32_t distance) const {
    return distance <= 256     ? shortSymbols_[distance - 1]
           : distance <= 32768 ? mediumSymbols_[(distance - 1) / 128 - 2]
                               : longSymbols_[(distance - 1) / 16384 - 2];
  }

private:
  uint8_t lengthSymbols_[256];
  uint8_t longSymbols_[2];
  uint8_t mediumSymbols_[256];
  uint8_t shortSymbols_[256];
};

const TArDfTranslator& ArDfTranslator();
