#include "archive/deflate/dfhuff.h"
#include <algorithm>
#include <cstdio>
#include <cstring>

const uint8_t ArDfLengthExtraBits[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2,  2,  2, 2,
                                         3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16, 99, 99};
const uint16_t ArDfLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                     31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t ArDfDistanceExtraBits[32] = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                           7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
const uint32_t ArDfDistanceBase[32] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,   33,
                                       49,   65,   97,   129,  193,  257,   385,   513,   769,   1025, 1537,
                                       2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
const uint8_t ArDfCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

namespace {
constexpr const char* kUnit = "ArDfHufD";

// How this tree's table links a root entry to its second-level table: the flag, the
// second level's index width in the length field, its offset in the symbol field (an
// unassigned entry has the flag too, but symbol 0xFFFF, so it is never taken for a link).
struct TTreeFormat {
  static uint32_t Link(uint32_t offset, int32_t width) {
    return ArDfSubTableFlag | (static_cast<uint32_t>(width) << 16) | offset;
  }
  static int32_t LinkOffset(uint32_t e) {
    return (e & ArDfSubTableFlag) && (e & 0xFFFF) != 0xFFFF ? static_cast<int32_t>(e & 0xFFFF) : -1;
  }
};
}  // namespace

int32_t ArDfCanonicalCodes(const uint8_t* lengths, int32_t count, uint16_t* codes) {
  int32_t blCount[16] = {};
  int32_t longest = 0;
  for (int32_t i = 0; i < count; ++i) {
    ++blCount[lengths[i]];
    longest = std::max<int32_t>(longest, lengths[i]);
  }
  uint32_t nextCode[16] = {};
  blCount[0] = 0;
  uint32_t code = 0;
  for (int32_t bits = 1; bits <= 15; ++bits) {
    code = (code + static_cast<uint32_t>(blCount[bits - 1])) << 1;
    nextCode[bits] = code;
  }
  for (int32_t i = 0; i < count; ++i) {
    const int32_t l = lengths[i];
    uint32_t c = l ? nextCode[l]++ & ((1u << l) - 1) : 0, r = 0;
    for (int32_t k = 0; k < l; ++k, c >>= 1) r = (r << 1) | (c & 1);
    codes[i] = static_cast<uint16_t>(r);
  }
  return longest;
}

TArDfDecodeHuffmanTree::TArDfDecodeHuffmanTree(int32_t alphabetSize, TArDfTreeUsage usage, int32_t codeLenLimit)
    : alphabetSize_(alphabetSize), codeLenLimit_(codeLenLimit), usage_(usage) {
  ArDfCheck(alphabetSize >= 2, "TArDfDecodeHuffmanTree.Create: a huffman tree must be for at least two symbols", kUnit);
  if (usage != tuDecode) encode_.assign(static_cast<size_t>(alphabetSize), 0);
}

void TArDfDecodeHuffmanTree::Build(const uint8_t* lengths, int32_t start, int32_t count, const uint8_t* extraBits,
                                   int32_t firstExtraSymbol) {
  ArDfCheck(count >= 0 && count <= alphabetSize_, "TArDfDecodeHuffmanTree.Build: too many code lengths", kUnit);
  const uint8_t* len = lengths + start;
  for (int32_t i = 0; i < count; ++i) {
    if (len[i] > codeLenLimit_) {
      char text[80];
      std::snprintf(text, sizeof text, "TArDfDecodeHuffmanTree.Build: a code length is greater than %d",
                    static_cast<int>(codeLenLimit_));
      ArDfAssertFailed(text, kUnit);
    }
  }
  uint16_t codes[288];
  const int32_t longest = ArDfCanonicalCodes(len, count, codes);
  lookupBitLength_ = longest;
  auto info = [&](int32_t i, int32_t l) {
    const uint32_t extra = i >= firstExtraSymbol ? extraBits[i - firstExtraSymbol] : 0;
    return (static_cast<uint32_t>(l) << 16) | (extra << 24);
  };
  if (usage_ != tuDecode) {
    for (int32_t i = 0; i < count; ++i)
      encode_[static_cast<size_t>(i)] = len[i] ? codes[i] | info(i, len[i]) : ArDfUnassigned;
  }
  if (usage_ == tuEncode) return;
  rootBits_ = std::min(longest, RootBits);
  rootMask_ = (1u << rootBits_) - 1;
  mask_ = ~((1u << longest) - 1);
  ArDfFillDecodeTable<TTreeFormat>(decode_, len, codes, count, longest, rootBits_, ArDfUnassigned,
                                   [&](int32_t i, int32_t l) { return static_cast<uint32_t>(i) | info(i, l); });
}

uint32_t TArDfDecodeHuffmanTree::Decode(uint32_t bits) const {
  ArDfCheck((bits & mask_) == 0,
            "TArDfDecodeHuffmanTree.Decode: trying to decode too many bits, use LookupBitLength property", kUnit);
  return Lookup(bits);
}

uint32_t TArDfDecodeHuffmanTree::Encode(int32_t symbol) const {
  ArDfCheck(symbol >= 0 && symbol < alphabetSize_,
            "TArDfDecodeHuffmanTree.Encode: trying to encode a symbol that is not in the alphabet", kUnit);
  const uint32_t e = encode_[static_cast<size_t>(symbol)];
  ArDfCheck(e != ArDfUnassigned, "TArDfDecodeHuffmanTree.Encode: trying to encode a symbol that was not used", kUnit);
  return e;
}

namespace {
struct TStaticTrees {
  TArDfDecodeHuffmanTree literal{288, tuBoth, 15};
  TArDfDecodeHuffmanTree distance{32, tuBoth, 15};
  TStaticTrees() {
    uint8_t lengths[288];
    for (int i = 0; i < 288; ++i) lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    literal.Build(lengths, 0, 288, ArDfLengthExtraBits, 257);
    for (int i = 0; i < 32; ++i) lengths[i] = 5;
    distance.Build(lengths, 0, 32, ArDfDistanceExtraBits, 0);
  }
};
const TStaticTrees& StaticTrees() {
  static const TStaticTrees trees;
  return trees;
}
}  // namespace

const TArDfDecodeHuffmanTree& ArDfStaticLiteralTree() { return StaticTrees().literal; }
const TArDfDecodeHuffmanTree& ArDfStaticDistanceTree() { return StaticTrees().distance; }

TArDfTranslator::TArDfTranslator() {
  // Each symbol at the position of its base, then the gaps take the symbol before them.
  auto fill = [](uint8_t* table, int32_t size) {
    for (int32_t i = 1; i < size; ++i)
      if (table[i] == 0xFF) table[i] = table[i - 1];
  };
  std::memset(lengthSymbols_, 0xFF, sizeof lengthSymbols_);
  for (int32_t s = 0; s < 28; ++s) lengthSymbols_[ArDfLengthBase[s] - 3] = static_cast<uint8_t>(s);
  lengthSymbols_[255] = 28;
  fill(lengthSymbols_, 256);
  std::memset(shortSymbols_, 0xFF, sizeof shortSymbols_);
  std::memset(mediumSymbols_, 0xFF, sizeof mediumSymbols_);
  for (int32_t s = 0; s < 32; ++s) {
    const uint32_t base = ArDfDistanceBase[s];
    if (base <= 256)
      shortSymbols_[base - 1] = static_cast<uint8_t>(s);
    else if (base <= 32768)
      mediumSymbols_[(base - 1) / 128 - 2] = static_cast<uint8_t>(s);
    else
      longSymbols_[(base - 1) / 16384 - 2] = static_cast<uint8_t>(s);
  }
  fill(shortSymbols_, 256);
  fill(mediumSymbols_, 256);
}

const TArDfTranslator& ArDfTranslator() {
  static const TArDfTranslator translator;
  return translator;
}
