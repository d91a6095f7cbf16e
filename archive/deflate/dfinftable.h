// The inflater's decode tables: the same two-level lookup as the Huffman tree's decode
// table, but each entry already carries what decoding needs next, so that the hot loop
// makes one lookup and a few shifts per symbol and never looks at another table:
//
//   bits 0..5    bits to drop: the code and its extra bits together (at most 31)
//   bit 6        not a literal, length or distance (see the kind below)
//   bit 7        a literal
//   bits 8..11   the code's own length (a link: the index width of its table)
//   bits 12..13  kind when bit 6 is set: 0 link, 1 end of block, 2 invalid
//   bits 16..31  the literal byte, the length or distance base, or the link's offset
//
// A length is base + the extra bits just above the code, a distance likewise. The
// length code 285 differs between deflate (258, no extra bits) and deflate64 (3 and 16
// extra bits), and deflate's distance codes 30 and 31 are invalid, so each table is
// built for one of the two. Symbols the stream may not use (length symbols above 285,
// unreached patterns) are invalid entries; which message an invalid entry raises stays
// the decoder's business.
#pragma once
#include <cstdint>
#include <vector>

class TArDfInflateTable {
public:
  enum TKind { tkLiteralLength, tkDistance };
  static constexpr uint32_t DropMask = 0x3F;
  static constexpr uint32_t Special = 0x40;
  static constexpr uint32_t Literal = 0x80;
  static constexpr uint32_t KindEnd = 0x1000;
  static constexpr uint32_t KindInvalid = 0x2000;
  static constexpr uint32_t KindMask = 0x3000;

  // Root widths of the literal/length and the distance tables, fixed whatever the
  // longest code, so that the decoder's loop knows them as constants.
  static constexpr int32_t LiteralRootBits = 10;
  static constexpr int32_t DistanceRootBits = 8;

  // Lengths give symbols 0 .. count - 1 of the kind's alphabet (over-subscribed and
  // incomplete sets as the Huffman tree accepts them).
  void Build(const uint8_t* lengths, int32_t count, TKind kind, bool deflate64);

  // The entry for the next bits of the stream (at least LookupBitLength of them).
  uint32_t Lookup(uint64_t bits) const { return LookupIn(table_.data(), rootBits_, bits); }
  // The same through a raw table (see Entries); the decoder's loop passes the kind's
  // root bits as a constant.
  static uint32_t LookupIn(const uint32_t* table, int32_t rootBits, uint64_t bits) {
    uint32_t e = table[bits & ((1u << rootBits) - 1)];
    if ((e & (Special | KindMask)) == Special)
      e = table[(e >> 16) + ((bits >> rootBits) & ((1u << ((e >> 8) & 15)) - 1))];
    return e;
  }
  int32_t LookupBitLength() const { return longest_; }

  static int32_t Drop(uint32_t e) { return static_cast<int32_t>(e & DropMask); }
  static int32_t CodeLength(uint32_t e) { return static_cast<int32_t>((e >> 8) & 15); }
  static uint32_t Value(uint32_t e) { return e >> 16; }
  // Base plus the extra bits that follow the code in `bits` (whose first bit is the
  // code's first).
  static uint32_t BaseAndExtra(uint32_t e, uint64_t bits) {
    return (e >> 16) + ((static_cast<uint32_t>(bits) & ((1u << (e & DropMask)) - 1)) >> CodeLength(e));
  }

  // The tables of the fixed code, built once and shared read-only.
  static const TArDfInflateTable& StaticLiteralLength(bool deflate64);
  static const TArDfInflateTable& StaticDistance(bool deflate64);

  // For the decoder's loop: the raw table, its root as wide as the kind's root bits.
  const uint32_t* Entries() const { return table_.data(); }

private:
  std::vector<uint32_t> table_;
  int32_t longest_ = 0;
  int32_t rootBits_ = 0;
};
