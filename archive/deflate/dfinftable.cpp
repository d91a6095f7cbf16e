#include "archive/deflate/dfinftable.h"
#include "archive/deflate/dfhuff.h"

namespace {
struct TInflateFormat {
  static uint32_t Link(uint32_t offset, int32_t width) {
    return TArDfInflateTable::Special | (static_cast<uint32_t>(width) << 8) | (offset << 16);
  }
  static int32_t LinkOffset(uint32_t e) {
    return (e & (TArDfInflateTable::Special | TArDfInflateTable::KindMask)) == TArDfInflateTable::Special
               ? static_cast<int32_t>(e >> 16)
               : -1;
  }
};

constexpr uint32_t kInvalid = TArDfInflateTable::Special | TArDfInflateTable::KindInvalid;

uint32_t Entry(uint32_t value, int32_t codeLength, int32_t extra) {
  return (value << 16) | (static_cast<uint32_t>(codeLength) << 8) | static_cast<uint32_t>(codeLength + extra);
}
}  // namespace

void TArDfInflateTable::Build(const uint8_t* lengths, int32_t count, TKind kind, bool deflate64) {
  uint16_t codes[288];
  longest_ = ArDfCanonicalCodes(lengths, count, codes);
  rootBits_ = kind == tkDistance ? DistanceRootBits : LiteralRootBits;
  auto entryOf = [&](int32_t symbol, int32_t l) -> uint32_t {
    if (kind == tkDistance) {
      if (symbol > (deflate64 ? 31 : 29)) return kInvalid;
      return Entry(ArDfDistanceBase[symbol], l, ArDfDistanceExtraBits[symbol]);
    }
    if (symbol < 256) return Literal | Entry(static_cast<uint32_t>(symbol), l, 0);
    if (symbol == 256) return Special | KindEnd | Entry(0, l, 0);
    if (symbol > 285) return kInvalid;
    if (symbol == 285 && !deflate64) return Entry(258, l, 0);
    if (symbol == 285) return Entry(ArDfLength64Base285, l, 16);
    return Entry(ArDfLengthBase[symbol - 257], l, ArDfLengthExtraBits[symbol - 257]);
  };
  ArDfFillDecodeTable<TInflateFormat>(table_, lengths, codes, count, longest_, rootBits_, kInvalid, entryOf);
}

namespace {
struct TStaticTables {
  TArDfInflateTable literal[2], distance[2];
  TStaticTables() {
    uint8_t lengths[288];
    for (int i = 0; i < 288; ++i) lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    literal[0].Build(lengths, 288, TArDfInflateTable::tkLiteralLength, false);
    literal[1].Build(lengths, 288, TArDfInflateTable::tkLiteralLength, true);
    for (int i = 0; i < 32; ++i) lengths[i] = 5;
    distance[0].Build(lengths, 32, TArDfInflateTable::tkDistance, false);
    distance[1].Build(lengths, 32, TArDfInflateTable::tkDistance, true);
  }
};
const TStaticTables& StaticTables() {
  static const TStaticTables tables;
  return tables;
}
}  // namespace

const TArDfInflateTable& TArDfInflateTable::StaticLiteralLength(bool deflate64) {
  return StaticTables().literal[deflate64 ? 1 : 0];
}
const TArDfInflateTable& TArDfInflateTable::StaticDistance(bool deflate64) {
  return StaticTables().distance[deflate64 ? 1 : 0];
}
