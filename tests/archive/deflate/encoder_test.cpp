// The encoder's pieces: code-length run-length coding, package-merge, the token buffer's
// block rules and costs, and the match search of the input window.
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <random>
#include "archive/deflate/dfencoder.h"
#include "tests/archive/deflate/support.h"

namespace {
std::vector<int> Tokens(const std::vector<uint8_t>& lengths) {
  TArDfCodeLenStream s;
  s.Build(lengths.data(), static_cast<int32_t>(lengths.size()));
  return std::vector<int>(s.Tokens().begin(), s.Tokens().end());
}

// Expands run-length tokens back to lengths.
std::vector<uint8_t> Expand(const std::vector<uint8_t>& tokens) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const int s = tokens[i];
    if (s < 16)
      out.push_back(static_cast<uint8_t>(s));
    else if (s == 16)
      out.insert(out.end(), 3 + tokens[++i], out.back());
    else if (s == 17)
      out.insert(out.end(), 3 + tokens[++i], 0);
    else
      out.insert(out.end(), 11 + tokens[++i], 0);
  }
  return out;
}

std::vector<int> Lengths(int32_t maxLength, const std::vector<int32_t>& weights) {
  std::vector<uint8_t> out(weights.size() + 3, 99);
  GenerateCodeLengths(maxLength, weights.data(), static_cast<int32_t>(weights.size()), out.data(), 3, nullptr);
  return std::vector<int>(out.begin() + 3, out.end());
}
}  // namespace

TEST(CodeLengthRuns, RunsBecomeRepeatSymbolsAndShortRestsStayLiteral) {
  EXPECT_EQ(Tokens(std::vector<uint8_t>(20, 8)), (std::vector<int>{8, 16, 3, 16, 3, 16, 3, 8}));
  EXPECT_EQ(Tokens(std::vector<uint8_t>(50, 0)), (std::vector<int>{18, 39}));
  EXPECT_EQ(Tokens(std::vector<uint8_t>(12, 0)), (std::vector<int>{18, 1}));
  EXPECT_EQ(Tokens(std::vector<uint8_t>(10, 0)), (std::vector<int>{17, 7}));
  EXPECT_EQ(Tokens(std::vector<uint8_t>(2, 0)), (std::vector<int>{0, 0}));
  EXPECT_EQ(Tokens(std::vector<uint8_t>(140, 0)), (std::vector<int>{18, 127, 0, 0}));
  EXPECT_EQ(Tokens({5, 5, 5, 5, 7}), (std::vector<int>{5, 16, 0, 7}));
  TArDfCodeLenStream s;
  const std::vector<uint8_t> l(20, 8);
  s.Build(l.data(), 20);
  EXPECT_EQ(s.Counts()[8], 2);
  EXPECT_EQ(s.Counts()[16], 3);
}

TEST(CodeLengthRuns, AnySequenceExpandsBackToItself) {
  std::mt19937 rng(4);
  for (int round = 0; round < 500; ++round) {
    std::vector<uint8_t> lengths;
    while (lengths.size() < 318)
      lengths.insert(lengths.end(), 1 + rng() % 40, static_cast<uint8_t>(rng() % 3 ? 0 : rng() % 16));
    lengths.resize(1 + rng() % 318);
    TArDfCodeLenStream s;
    s.Build(lengths.data(), static_cast<int32_t>(lengths.size()));
    ASSERT_EQ(Expand(s.Tokens()), lengths);
  }
}

TEST(PackageMerge, KnownWeightsGiveKnownLengths) {
  EXPECT_EQ(Lengths(15, {1, 1, 2, 4, 8}), (std::vector<int>{4, 4, 3, 2, 1}));
  EXPECT_EQ(Lengths(3, {1, 1, 2, 4, 8}), (std::vector<int>{3, 3, 3, 3, 1}));
  std::vector<int32_t> only256(286, 0);
  only256[256] = 1;
  const auto l = Lengths(15, only256);
  EXPECT_EQ(l[256], 1);
  EXPECT_EQ(std::count(l.begin(), l.end(), 0), 285);
  EXPECT_EQ(Lengths(7, {0, 0, 0}), (std::vector<int>{1, 0, 0})) << "nothing used: the first symbol gets a code";
  EXPECT_THROW(Lengths(2, {1, 1, 1, 1}), EArDfAssertionFailed);
  EXPECT_THROW(Lengths(16, {1, 1}), EArDfAssertionFailed);
  EXPECT_THROW(Lengths(15, std::vector<int32_t>(287, 1)), EArDfAssertionFailed);
}

namespace {
// Package-merge done the plain way, with every package a tree whose leaves are counted
// one by one, and the same sort: the lengths must come out the same to the last tie,
// or the encoder's bytes would change.
struct TRefNode {
  uint64_t weight;
  int symbol;  // -1 for a package
  const TRefNode* left;
  const TRefNode* right;
};

void RefSort(std::vector<TRefNode*>& v, int low, int high) {
  do {
    int i = low, j = high;
    const uint64_t pivot = v[static_cast<size_t>((low + high) / 2)]->weight;
    do {
      while (v[static_cast<size_t>(i)]->weight < pivot) ++i;
      while (v[static_cast<size_t>(j)]->weight > pivot) --j;
      if (i <= j) std::swap(v[static_cast<size_t>(i++)], v[static_cast<size_t>(j--)]);
    } while (i <= j);
    if (low < j) RefSort(v, low, j);
    low = i;
  } while (low < high);
}

std::vector<int> RefLengths(int maxLength, const std::vector<int32_t>& w) {
  std::vector<int> out(w.size(), 0);
  std::vector<std::unique_ptr<TRefNode>> pool;
  std::vector<TRefNode*> leaves;
  for (size_t s = 0; s < w.size(); ++s)
    if (w[s] > 0) {
      pool.push_back(
          std::make_unique<TRefNode>(TRefNode{static_cast<uint64_t>(w[s]), static_cast<int>(s), nullptr, nullptr}));
      leaves.push_back(pool.back().get());
    }
  if (leaves.size() < 2) {
    out[leaves.empty() ? 0 : static_cast<size_t>(leaves[0]->symbol)] = 1;
    return out;
  }
  RefSort(leaves, 0, static_cast<int>(leaves.size()) - 1);
  std::vector<TRefNode*> list = leaves;
  for (int round = 1; round < maxLength; ++round) {
    std::vector<TRefNode*> packages, merged;
    for (size_t k = 0; k + 1 < list.size(); k += 2) {
      pool.push_back(
          std::make_unique<TRefNode>(TRefNode{list[k]->weight + list[k + 1]->weight, -1, list[k], list[k + 1]}));
      packages.push_back(pool.back().get());
    }
    size_t li = 0, pi = 0;
    while (li < leaves.size() || pi < packages.size())
      merged.push_back(pi >= packages.size() || (li < leaves.size() && leaves[li]->weight <= packages[pi]->weight)
                           ? leaves[li++]
                           : packages[pi++]);
    list = merged;
  }
  for (TRefNode* leaf : leaves) out[static_cast<size_t>(leaf->symbol)] = 1;
  std::function<void(const TRefNode*)> count = [&](const TRefNode* node) {
    if (node->symbol >= 0) {
      ++out[static_cast<size_t>(node->symbol)];
      return;
    }
    count(node->left);
    count(node->right);
  };
  for (size_t i = 0; i < 2 * leaves.size() - 2; ++i)
    if (list[i]->symbol < 0) count(list[i]);
  return out;
}
}  // namespace

TEST(PackageMerge, LengthsAreThoseOfThePlainAlgorithmToTheLastTie) {
  std::mt19937 rng(21);
  for (int round = 0; round < 2000; ++round) {
    const int n = 1 + static_cast<int>(rng() % 286);
    std::vector<int32_t> w(static_cast<size_t>(n));
    // Few distinct weights make many ties; skewed ones push lengths to the limit.
    const uint32_t kinds = 1 + rng() % 12;
    for (auto& x : w)
      x = rng() % 3 == 0 ? 0 : static_cast<int32_t>(1 + (rng() % kinds) * (round % 2 ? 1 : rng() % 5000 + 1));
    const int32_t maxLen = round % 4 == 0 ? 7 : 15;
    if (n >= (1 << maxLen)) continue;
    ASSERT_EQ(Lengths(maxLen, w), RefLengths(maxLen, w)) << "round " << round;
  }
}

TEST(PackageMerge, LengthsFormACompleteCodeWithinTheLimitAtMinimalCost) {
  std::mt19937 rng(8);
  for (int round = 0; round < 300; ++round) {
    const int n = 2 + static_cast<int>(rng() % 285);
    std::vector<int32_t> w(static_cast<size_t>(n));
    for (auto& x : w)
      x = rng() % 4 == 0 ? 0 : static_cast<int32_t>(1 + (rng() % 1000) * (rng() % 1000 == 0 ? 1000 : 1));
    w[0] = std::max(w[0], 1);
    w[1] = std::max(w[1], 1);
    const int32_t maxLen = round % 3 == 0 ? 7 : 15;
    if (n >= (1 << maxLen)) continue;
    const auto l = Lengths(maxLen, w);
    double kraft = 0;
    int64_t cost = 0;
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(l[static_cast<size_t>(i)] == 0, w[static_cast<size_t>(i)] == 0);
      ASSERT_LE(l[static_cast<size_t>(i)], maxLen);
      if (l[static_cast<size_t>(i)]) kraft += std::ldexp(1.0, -l[static_cast<size_t>(i)]);
      cost += static_cast<int64_t>(w[static_cast<size_t>(i)]) * l[static_cast<size_t>(i)];
    }
    ASSERT_DOUBLE_EQ(kraft, 1.0);
    if (maxLen == 15 && n < 40) {
      // Plain Huffman cost, which no length limit of 15 can beat for so few symbols.
      std::vector<int64_t> heap;
      for (int32_t x : w)
        if (x) heap.push_back(x);
      int64_t huffman = 0;
      std::sort(heap.begin(), heap.end(), std::greater<>());
      while (heap.size() > 1) {
        const int64_t a = heap.back();
        heap.pop_back();
        const int64_t b = heap.back();
        heap.pop_back();
        huffman += a + b;
        heap.insert(std::upper_bound(heap.begin(), heap.end(), a + b, std::greater<>()), a + b);
      }
      ASSERT_EQ(cost, huffman);
    }
  }
}

TEST(LZStream, ABlockEndsAtItsTokenLimitOrEarlierWhenItCompressesWell) {
  TArDfLZStream lz(nullptr, nullptr, false);
  int full = 0;
  for (int i = 0; i < 40000 && !full; ++i)
    if (lz.AppendLiteral(static_cast<uint8_t>(i * 7))) full = i + 1;
  EXPECT_EQ(full, 32768) << "literals only: the block is full at its 32768th token";
  // Long matches far ahead of their cost: the first check after 8192 tokens ends the block.
  lz.ResetBlock(0);
  full = 0;
  for (int i = 0; i < 20000 && !full; ++i) {
    const bool f = i % 3 == 2 ? lz.AppendMatch(200, 10) : lz.AppendLiteral('a');
    if (f) full = i + 1;
  }
  EXPECT_EQ(full, 8192);
}

TEST(LZStream, CostsCountFixedCodeBitsAndEstimatedBytes) {
  for (bool d64 : {false, true}) {
    TArDfLZStream lz(nullptr, nullptr, d64);
    lz.AppendLiteral(0);         // 8 bits
    lz.AppendLiteral(200);       // 9
    lz.AppendMatch(3, 1);        // 7 + 5
    lz.AppendMatch(13, 5);       // 265: 7 + 1, distance 4: 5 + 1
    lz.AppendMatch(258, 300);    // 285: 8 (24 in deflate64), distance 16: 5 + 7
    lz.AppendMatch(200, 40000);  // 284: 8 + 5, distance 30: 5 + 14 (deflate64 only in practice)
    const int64_t expect = 8 + 9 + 7 + 12 + 8 + 6 + (d64 ? 24 : 8) + 12 + 13 + 19;
    EXPECT_EQ(lz.StaticBitCount(), expect) << d64;
    EXPECT_EQ(lz.EstimatedSize(), (13 * 4 + 8 * 2 + 1 + 7 + 14) / 8);
    EXPECT_EQ(lz.CoveredBytes(), 2 + 3 + 13 + 258 + 200);
  }
}

TEST(InputWindow, TheSearchStopsAtTheTargetAndNeedsToBeatThePreviousMatch) {
  // "abcdefghij" twice: at the second copy the only candidate matches 10 bytes.
  Bytes data;
  const std::string s = "abcdefghijXYZ-abcdefghij-tail";
  data.assign(s.begin(), s.end());
  TMemoryStream src = MemOf(data);
  TArDfInputWindow w(&src, true, false, 32, 32768, 0);
  TArDfMatch m;
  for (int i = 0; i < 14; ++i) {
    ASSERT_FALSE(w.FindLongestMatch(8, m, 0)) << i;
    w.AdvanceOne();
  }
  ASSERT_TRUE(w.FindLongestMatch(8, m, 0));
  EXPECT_EQ(m.Length, 10) << "the candidate that reaches the target ends the walk";
  EXPECT_EQ(m.Distance, 14);
  EXPECT_EQ(m.Literal, 'a');
  w.AdvanceOne();
  // At the next position a previous match of 9 is not beaten by the 9 found here.
  EXPECT_FALSE(w.FindLongestMatch(100, m, 9));
  w.AdvanceOne();
  EXPECT_TRUE(w.FindLongestMatch(100, m, 7));
  EXPECT_EQ(m.Length, 8);
  EXPECT_THROW(w.Advance(100, 100), EArDfAssertionFailed);
  EXPECT_THROW(w.Advance(4, 2), EArDfAssertionFailed);
}

TEST(InputWindow, TwoBytesAreNeverSearchedAndTheChecksumCoversWhatWasRead) {
  TMemoryStream src = MemOf(Bytes{'h', 'i'});
  TArDfInputWindow w(&src, false, false, 32, 32768, 0);
  EXPECT_EQ(w.LookAheadCount(), 2);
  EXPECT_EQ(w.TakeLiteral(), 'h');
  EXPECT_EQ(w.TakeLiteral(), 'i');
  EXPECT_EQ(w.LookAheadCount(), 0);
  uint32_t adler = 1;
  UpdateAdler32(adler, "hi", 2);
  EXPECT_EQ(w.InputChecksum(), adler);
}

TEST(InputWindow, MatchesNeverReachFartherBackThanTheHistory) {
  // A block that repeats after 5000 bytes: found with a history of 8192, never with 4096.
  Bytes data = MakeRandom(5000, 1);
  const Bytes again(data.begin(), data.begin() + 300);
  data.insert(data.end(), again.begin(), again.end());
  for (int32_t history : {4096, 8192}) {
    TMemoryStream src = MemOf(data);
    TArDfInputWindow w(&src, true, false, 1 << 20, history, 0);
    TArDfMatch m;
    int32_t longest = 0;
    while (w.LookAheadCount() == 3) {
      if (w.FindLongestMatch(258, m, 0)) longest = std::max(longest, m.Length);
      w.AdvanceOne();
    }
    EXPECT_EQ(longest >= 258, history == 8192) << history;
  }
}
