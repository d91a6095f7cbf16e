// Canonical codes from code lengths, the fixed code and the length/distance translator.
#include <gtest/gtest.h>
#include <random>
#include "archive/deflate/dfhuff.h"
#include "archive/deflate/dfinftable.h"
#include "tests/archive/deflate/support.h"

TEST(HuffmanTree, TheFixedLiteralCodeDecodesAndEncodesAsDefined) {
  const auto& t = ArDfStaticLiteralTree();
  EXPECT_EQ(t.LookupBitLength(), 9);
  for (uint32_t i = 0; i < 512; i += 128) EXPECT_EQ(t.Decode(i), 256u | (7u << 16)) << i;
  EXPECT_EQ(t.Encode(143), (8u << 16) | 0xFDu) << "code 10111111 reversed";
  EXPECT_EQ(t.Encode(0), (8u << 16) | 0x0Cu) << "code 00110000 reversed";
  EXPECT_EQ(t.Encode(265) >> 24, 1u) << "length symbol 265 has one extra bit";
  EXPECT_EQ(t.Encode(285) >> 24, 16u);
  EXPECT_EQ(ArDfStaticDistanceTree().Encode(31) >> 24, 14u);
  EXPECT_THROW(t.Decode(512), EArDfAssertionFailed);
  EXPECT_THROW(t.Encode(288), EArDfAssertionFailed);
}

TEST(HuffmanTree, OneUsedSymbolAndNoUsedSymbolGiveTablesWithUnassignedEntries) {
  TArDfDecodeHuffmanTree one(19, tuBoth, 7);
  uint8_t lengths[19] = {};
  lengths[5] = 1;
  one.Build(lengths, 0, 19, nullptr, 19);
  EXPECT_EQ(one.LookupBitLength(), 1);
  EXPECT_EQ(one.Decode(0), 5u | (1u << 16));
  EXPECT_EQ(one.Decode(1), ArDfUnassigned);
  EXPECT_THROW(one.Encode(4), EArDfAssertionFailed) << "encoding an unused symbol";
  TArDfDecodeHuffmanTree none(19, tuDecode, 7);
  lengths[5] = 0;
  none.Build(lengths, 0, 19, nullptr, 19);
  EXPECT_EQ(none.LookupBitLength(), 0);
  EXPECT_EQ(none.Decode(0), ArDfUnassigned);
  lengths[3] = 8;
  EXPECT_THROW(none.Build(lengths, 0, 19, nullptr, 19), EArDfAssertionFailed) << "length above the limit";
  EXPECT_THROW(TArDfDecodeHuffmanTree(1, tuBoth, 7), EArDfAssertionFailed);
}

TEST(HuffmanTree, EveryCodeOfACompleteSetDecodesToItsSymbolWhateverBitsFollow) {
  std::mt19937 rng(3);
  for (int round = 0; round < 200; ++round) {
    // Lengths of a complete code: split leaves at random until the wanted count.
    const int n = 2 + static_cast<int>(rng() % 280);
    std::vector<int> depth = {1, 1};
    while (static_cast<int>(depth.size()) < n) {
      const size_t i = rng() % depth.size();
      if (depth[i] >= 15) continue;
      ++depth[i];
      depth.push_back(depth[i]);
    }
    std::shuffle(depth.begin(), depth.end(), rng);
    std::vector<uint8_t> lengths(depth.begin(), depth.end());
    TArDfDecodeHuffmanTree t(286, tuBoth, 15);
    t.Build(lengths.data(), 0, n, ArDfLengthExtraBits, 257);
    for (int s = 0; s < n; ++s) {
      const uint32_t e = t.Encode(s);
      const int len = static_cast<int>((e >> 16) & 0xFF);
      ASSERT_EQ(len, lengths[static_cast<size_t>(s)]);
      const uint32_t high = (rng() << len) & ((1u << t.LookupBitLength()) - 1);
      const uint32_t d = t.Decode((e & 0xFFFF) | high);
      ASSERT_EQ(d & 0xFFFF, static_cast<uint32_t>(s));
      ASSERT_EQ(d >> 24, s >= 257 ? ArDfLengthExtraBits[s - 257] : 0u);
    }
  }
}

TEST(HuffmanTree, OverSubscribedLengthsStayInsideTheTable) {
  TArDfDecodeHuffmanTree t(286, tuBoth, 15);
  std::vector<uint8_t> lengths(286, 1);
  t.Build(lengths.data(), 0, 286, ArDfLengthExtraBits, 257);
  EXPECT_EQ(t.LookupBitLength(), 1);
  std::vector<uint8_t> mixed(286, 15);
  mixed[0] = mixed[1] = mixed[2] = 1;
  t.Build(mixed.data(), 0, 286, ArDfLengthExtraBits, 257);
  EXPECT_EQ(t.LookupBitLength(), 15);
  EXPECT_NE(t.Decode(0), ArDfUnassigned);
}

// The inflater decodes through its own tables; for every bit pattern they must say what
// the Huffman tree says, for complete, incomplete and over-subscribed sets alike.
TEST(InflateTable, EveryPatternDecodesAsTheHuffmanTreeDecodesIt) {
  using T = TArDfInflateTable;
  std::mt19937 rng(11);
  for (int round = 0; round < 120; ++round) {
    const bool distance = round % 2 == 1, d64 = round % 4 >= 2;
    const int count = distance ? 1 + static_cast<int>(rng() % (d64 ? 32 : 30)) : 257 + static_cast<int>(rng() % 30);
    std::vector<uint8_t> lengths(static_cast<size_t>(count));
    const uint32_t spread = 1 + rng() % 15;
    for (auto& l : lengths) l = static_cast<uint8_t>(rng() % 3 == 0 ? 0 : 1 + rng() % spread);
    TArDfDecodeHuffmanTree tree(distance ? 32 : 286, tuDecode, 15);
    tree.Build(lengths.data(), 0, count, distance ? ArDfDistanceExtraBits : ArDfLengthExtraBits, distance ? 0 : 257);
    T table;
    table.Build(lengths.data(), count, distance ? T::tkDistance : T::tkLiteralLength, d64);
    ASSERT_EQ(table.LookupBitLength(), tree.LookupBitLength());
    for (uint32_t bits = 0; bits < (1u << tree.LookupBitLength()); ++bits) {
      const uint32_t t = tree.Decode(bits), f = table.Lookup(bits), symbol = t & 0xFFFF;
      const int32_t length = static_cast<int32_t>((t >> 16) & 0xFF), extra = static_cast<int32_t>(t >> 24);
      const bool invalid = t == ArDfUnassigned || (distance ? symbol > (d64 ? 31u : 29u) : symbol > 285);
      if (invalid) {
        ASSERT_EQ(f & (T::Special | T::KindMask), T::Special | T::KindInvalid) << bits;
        continue;
      }
      ASSERT_EQ(T::CodeLength(f), length) << bits;
      if (!distance && symbol < 256) {
        ASSERT_TRUE((f & T::Literal) && T::Value(f) == symbol && T::Drop(f) == length) << bits;
      } else if (!distance && symbol == 256) {
        ASSERT_TRUE((f & T::Special) && (f & T::KindEnd) && T::Drop(f) == length) << bits;
      } else if (!distance && symbol == 285 && !d64) {
        ASSERT_TRUE(!(f & (T::Literal | T::Special)) && T::Value(f) == 258 && T::Drop(f) == length) << bits;
      } else {
        const uint32_t base = distance ? ArDfDistanceBase[symbol] : symbol == 285 ? 3u : ArDfLengthBase[symbol - 257];
        ASSERT_TRUE(!(f & (T::Literal | T::Special)) && T::Value(f) == base && T::Drop(f) == length + extra) << bits;
      }
    }
  }
}

TEST(Translator, EveryLengthAndDistanceMapsToTheSymbolWithTheLargestBaseNotAbove) {
  const auto& x = ArDfTranslator();
  for (int len = 3; len <= 65536; ++len) {
    int expect = 257;
    for (int s = 0; s < 28; ++s)
      if (ArDfLengthBase[s] <= len) expect = 257 + s;
    if (len >= 258) expect = 285;
    ASSERT_EQ(x.TranslateLength(len), expect) << len;
  }
  for (int d = 1; d <= 65536; ++d) {
    int expect = 0;
    for (int s = 0; s < 32; ++s)
      if (ArDfDistanceBase[s] <= static_cast<uint32_t>(d)) expect = s;
    ASSERT_EQ(x.TranslateDistance(d), expect) << d;
  }
  EXPECT_EQ(x.TranslateLength(3), 257);
  EXPECT_EQ(x.TranslateLength(257), 284);
  EXPECT_EQ(x.TranslateDistance(5), 4);
  EXPECT_EQ(x.TranslateDistance(32769), 30);
  EXPECT_THROW(x.TranslateLength(2), EArDfAssertionFailed);
  EXPECT_THROW(x.TranslateLength(65537), EArDfAssertionFailed);
  EXPECT_THROW(x.TranslateDistance(0), EArDfAssertionFailed);
  EXPECT_THROW(x.TranslateDistance(65537), EArDfAssertionFailed);
}

TEST(HuffmanTree, LookupsAgreeWithAPlainTableForAnyLengthsEvenBrokenOnes) {
  // The plain table: every code written at all its indices, later codes over earlier.
  std::mt19937 rng(12);
  for (int round = 0; round < 400; ++round) {
    const int n = 2 + static_cast<int>(rng() % 285);
    std::vector<uint8_t> lengths(static_cast<size_t>(n));
    const int maxLen = 1 + static_cast<int>(rng() % 15);
    for (auto& l : lengths) l = rng() % 3 == 0 ? 0 : static_cast<uint8_t>(1 + rng() % maxLen);
    int longest = 0, count[16] = {};
    for (uint8_t l : lengths) {
      longest = std::max<int>(longest, l);
      ++count[l];
    }
    std::vector<uint32_t> plain(size_t(1) << longest, ArDfUnassigned);
    uint32_t next[16] = {}, code = 0;
    count[0] = 0;
    for (int b = 1; b <= 15; ++b) next[b] = code = (code + static_cast<uint32_t>(count[b - 1])) << 1;
    for (int s = 0; s < n; ++s) {
      const int l = lengths[static_cast<size_t>(s)];
      if (!l) continue;
      const uint32_t c = next[l]++ & ((1u << l) - 1);
      uint32_t r = 0;
      for (int i = 0; i < l; ++i) r |= ((c >> i) & 1) << (l - 1 - i);
      for (uint32_t j = r; j < plain.size(); j += 1u << l)
        plain[j] = static_cast<uint32_t>(s) | (static_cast<uint32_t>(l) << 16) |
                   (static_cast<uint32_t>(s >= 257 ? ArDfLengthExtraBits[s - 257] : 0) << 24);
    }
    TArDfDecodeHuffmanTree t(286, tuDecode, 15);
    t.Build(lengths.data(), 0, n, ArDfLengthExtraBits, 257);
    ASSERT_EQ(t.LookupBitLength(), longest);
    for (uint32_t i = 0; i < plain.size(); ++i) ASSERT_EQ(t.Decode(i), plain[i]) << round << " " << i;
  }
}
