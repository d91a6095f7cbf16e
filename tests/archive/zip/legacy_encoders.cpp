#include "tests/archive/zip/legacy_encoders.h"
#include <algorithm>
#include <functional>
#include <map>
#include <queue>
#include <random>
#include <string>
#include <unordered_map>

void TBitWriter::Put(uint32_t value, int bits) {
  for (int i = 0; i < bits; ++i) {
    acc_ |= static_cast<uint64_t>((value >> i) & 1) << n_;
    if (++n_ == 8) {
      out_.push_back(static_cast<uint8_t>(acc_));
      acc_ = 0;
      n_ = 0;
    }
  }
}

TBytes TBitWriter::Finish() {
  if (n_ > 0) out_.push_back(static_cast<uint8_t>(acc_));
  acc_ = 0;
  n_ = 0;
  return out_;
}

TBytes SampleText(size_t size) {
  static const char* words[] = {"Morgen ", "wird ",   "das ", "Update ",    "installiert", ". ",
                                "Archiv ", "aaaaaaa", "\r\n", "Quillmoor ", "0123456789 ", "zip "};
  std::mt19937 rng(7);
  TBytes out;
  while (out.size() < size) {
    const std::string w = words[rng() % 12];
    out.insert(out.end(), w.begin(), w.end());
  }
  out.resize(size);
  return out;
}

TBytes SampleBinary(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  TBytes out;
  while (out.size() < size) {
    const uint32_t kind = rng() % 4;
    const size_t n = 1 + rng() % 300;
    if (kind == 0 && out.size() > 10) {  // repeat something seen before
      const size_t from = rng() % out.size();
      for (size_t i = 0; i < n; ++i) out.push_back(out[from + (i % (out.size() - from))]);
    } else if (kind == 1) {
      out.insert(out.end(), n, static_cast<uint8_t>(rng()));
    } else {
      for (size_t i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(rng() % (kind == 2 ? 256 : 16)));
    }
  }
  out.resize(size);
  return out;
}

// ---- shrink -------------------------------------------------------------------------
// The encoder mirrors the decoder's table exactly: it emits only codes whose string the
// decoder will know, plus the code being defined (the previous string and its first
// byte), and partial clears only right after a literal so every new entry's prefix lives.

TBytes ShrinkEncode(const TBytes& data, int clearEvery) {
  TBitWriter w;
  if (data.empty()) return w.Finish();
  std::vector<int> prefix(8192, -1), suffix(8192, 0);
  for (int c = 0; c < 257; ++c) prefix[c] = 0, suffix[c] = c & 255;
  std::unordered_map<uint32_t, int> map;
  int width = 9, nextFree = 257, sinceClear = 0;
  auto stringOf = [&](int c, TBytes& s) -> bool {
    s.clear();
    int steps = 0;
    while (c >= 257) {
      if (prefix[c] < 0 || ++steps > 8192) return false;
      s.push_back(static_cast<uint8_t>(suffix[c]));
      c = prefix[c];
    }
    s.push_back(static_cast<uint8_t>(c));
    std::reverse(s.begin(), s.end());
    return true;
  };
  auto emit = [&](int code) {
    while (code >= (1 << width)) {
      w.Put(256, width);
      w.Put(1, width);
      ++width;
    }
    w.Put(static_cast<uint32_t>(code), width);
  };
  auto partialClear = [&]() {
    w.Put(256, width);
    w.Put(2, width);
    std::vector<bool> marked(8192, false);
    for (int c = 257; c < nextFree; ++c) marked[c] = true;
    for (int c = 257; c < nextFree; ++c)
      if (prefix[c] >= 257) marked[prefix[c]] = false;
    for (int c = 257; c < nextFree; ++c)
      if (marked[c]) prefix[c] = -1;
    nextFree = 257;
    while (nextFree < 8192 && prefix[nextFree] != -1) ++nextFree;
    map.clear();
    TBytes s;
    for (int c = 257; c < 8192; ++c)
      if (prefix[c] >= 0 && stringOf(c, s)) map[static_cast<uint32_t>(prefix[c]) << 8 | suffix[c]] = c;
    sinceClear = 0;
  };
  emit(data[0]);
  int prev = data[0];
  size_t pos = 1;
  TBytes s;
  while (pos < data.size()) {
    if (prev < 256 && ((clearEvery > 0 && sinceClear >= clearEvery) || nextFree >= 8192)) partialClear();
    int code = data[pos];
    size_t len = 1;
    while (pos + len < data.size()) {
      auto it = map.find(static_cast<uint32_t>(code) << 8 | data[pos + len]);
      if (it == map.end()) break;
      code = it->second;
      ++len;
    }
    if (nextFree < 8192 && stringOf(prev, s)) {
      s.push_back(s[0]);
      if (s.size() > len && pos + s.size() <= data.size() && std::equal(s.begin(), s.end(), data.begin() + pos)) {
        code = nextFree;
        len = s.size();
      }
    }
    emit(code);
    ++sinceClear;
    if (nextFree < 8192) {
      prefix[nextFree] = prev;
      suffix[nextFree] = data[pos];
      map[static_cast<uint32_t>(prev) << 8 | data[pos]] = nextFree;
      while (nextFree < 8192 && prefix[nextFree] != -1) ++nextFree;
    }
    prev = code;
    pos += len;
  }
  return w.Finish();
}

// ---- matches shared by reduce and implode ----------------------------------------------

namespace {

struct TToken {
  bool Match;
  uint8_t Literal;
  uint32_t Length;
  uint32_t Distance;  // the stored field: the source lies Distance + 1 bytes back
};

std::vector<TToken> FindTokens(const TBytes& data, uint32_t minLen, uint32_t maxLen, uint32_t maxField,
                               const std::function<bool(uint32_t, uint32_t)>& allowed) {
  std::vector<TToken> tokens;
  std::unordered_map<uint32_t, std::vector<size_t>> heads;
  for (size_t pos = 0; pos < data.size();) {
    uint32_t bestLen = 0, bestField = 0;
    if (pos + 3 <= data.size()) {
      const uint32_t key = data[pos] | data[pos + 1] << 8 | data[pos + 2] << 16;
      auto& chain = heads[key];
      int tries = 0;
      for (auto it = chain.rbegin(); it != chain.rend() && tries < 32; ++it, ++tries) {
        const size_t from = *it;
        if (pos - from - 1 > maxField) break;
        uint32_t l = 0;
        while (l < maxLen && pos + l < data.size() && data[from + l] == data[pos + l]) ++l;
        const uint32_t field = static_cast<uint32_t>(pos - from - 1);
        if (l >= minLen && l > bestLen && allowed(l, field)) bestLen = l, bestField = field;
      }
    }
    const size_t step = bestLen ? bestLen : 1;
    for (size_t k = 0; k < step && pos + k + 3 <= data.size(); ++k)
      heads[data[pos + k] | data[pos + k + 1] << 8 | data[pos + k + 2] << 16].push_back(pos + k);
    if (bestLen)
      tokens.push_back({true, 0, bestLen, bestField});
    else
      tokens.push_back({false, data[pos], 0, 0});
    pos += step;
  }
  return tokens;
}

}  // namespace

// ---- reduce ---------------------------------------------------------------------------

TBytes ReduceEncode(const TBytes& data, int factor, bool followers) {
  static const uint32_t kMasks[5] = {0, 127, 63, 31, 15};
  const uint32_t mask = kMasks[factor];
  const uint32_t maxField = ((255u >> (8 - factor)) << 8) | 255u;
  // A length-3 match with a distance below 256 would encode as 144 0, a literal 144.
  auto allowed = [](uint32_t len, uint32_t field) { return !(len == 3 && field < 256); };
  const auto tokens = FindTokens(data, 3, mask + 255 + 3, maxField, allowed);
  TBytes mid;
  for (const auto& t : tokens) {
    if (!t.Match) {
      mid.push_back(t.Literal);
      if (t.Literal == 144) mid.push_back(0);
      continue;
    }
    const uint32_t len = t.Length - 3;
    mid.push_back(144);
    mid.push_back(static_cast<uint8_t>(((t.Distance >> 8) << (8 - factor)) | std::min(len, mask)));
    if (len >= mask) mid.push_back(static_cast<uint8_t>(len - mask));
    mid.push_back(static_cast<uint8_t>(t.Distance & 255));
  }
  std::vector<TBytes> sets(256);
  if (followers) {
    std::vector<std::map<uint8_t, int>> counts(256);
    uint8_t last = 0;
    for (uint8_t b : mid) counts[last][b]++, last = b;
    for (int b = 0; b < 256; ++b) {
      std::vector<std::pair<int, uint8_t>> v;
      for (auto& [k, n] : counts[b]) v.push_back({-n, k});
      std::sort(v.begin(), v.end());
      const size_t keep = std::min<size_t>(v.size(), 1 + static_cast<size_t>(b) % 32);
      for (size_t i = 0; i < keep; ++i) sets[b].push_back(v[i].second);
    }
  }
  TBitWriter w;
  for (int b = 255; b >= 0; --b) {
    w.Put(static_cast<uint32_t>(sets[b].size()), 6);
    for (uint8_t x : sets[b]) w.Put(x, 8);
  }
  uint8_t last = 0;
  for (uint8_t b : mid) {
    const auto& set = sets[last];
    if (set.empty()) {
      w.Put(b, 8);
    } else {
      auto it = std::find(set.begin(), set.end(), b);
      if (it == set.end()) {
        w.Put(1, 1);
        w.Put(b, 8);
      } else {
        int width = 1;
        while ((1u << width) < set.size()) ++width;
        w.Put(0, 1);
        w.Put(static_cast<uint32_t>(it - set.begin()), width);
      }
    }
    last = b;
  }
  return w.Finish();
}

// ---- implode --------------------------------------------------------------------------

namespace {

std::vector<int> CodeLengths(const std::vector<uint32_t>& freq, int flat) {
  const size_t n = freq.size();
  std::vector<int> parent(2 * n, -1);
  using Node = std::pair<uint64_t, int>;
  std::priority_queue<Node, std::vector<Node>, std::greater<Node>> q;
  for (size_t i = 0; i < n; ++i) q.push({freq[i] + 1ull, static_cast<int>(i)});
  int next = static_cast<int>(n);
  while (q.size() > 1) {
    auto a = q.top();
    q.pop();
    auto b = q.top();
    q.pop();
    parent[a.second] = parent[b.second] = next;
    q.push({a.first + b.first, next++});
  }
  std::vector<int> len(n);
  for (size_t i = 0; i < n; ++i) {
    int d = 0;
    for (int p = static_cast<int>(i); parent[p] >= 0; p = parent[p]) ++d;
    len[i] = d;
    if (d > 16) return std::vector<int>(n, flat);
  }
  return len;
}

struct TCode {
  uint32_t Bits;
  int Length;
};

// The code assignment the format prescribes, as the decoder computes it.
std::vector<TCode> AssignCodes(const std::vector<int>& lengths) {
  const int n = static_cast<int>(lengths.size());
  std::vector<int> order(n);
  for (int i = 0; i < n; ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](int a, int b) { return lengths[a] != lengths[b] ? lengths[a] < lengths[b] : a < b; });
  std::vector<TCode> codes(n);
  uint32_t code = 0, inc = 0;
  int last = 0;
  for (int i = n - 1; i >= 0; --i) {
    code += inc;
    if (lengths[order[i]] != last) {
      last = lengths[order[i]];
      inc = 1u << (16 - last);
    }
    uint32_t rev = 0;
    for (int b = 0; b < 16; ++b)
      if (code & (1u << b)) rev |= 1u << (15 - b);
    codes[order[i]] = {rev, last};
  }
  return codes;
}

void WriteTree(TBitWriter& w, const std::vector<int>& lengths) {
  TBytes runs;
  for (size_t i = 0; i < lengths.size();) {
    size_t j = i;
    while (j < lengths.size() && lengths[j] == lengths[i] && j - i < 16) ++j;
    runs.push_back(static_cast<uint8_t>(((j - i - 1) << 4) | (lengths[i] - 1)));
    i = j;
  }
  w.Put(static_cast<uint32_t>(runs.size() - 1), 8);
  for (uint8_t r : runs) w.Put(r, 8);
}

}  // namespace

TBytes ImplodeEncode(const TBytes& data, bool bigDictionary, bool literalTree) {
  const int lowBits = bigDictionary ? 7 : 6;
  const uint32_t minLen = literalTree ? 3 : 2;
  const uint32_t maxField = (63u << lowBits) | ((1u << lowBits) - 1);
  const auto tokens = FindTokens(data, minLen, minLen + 63 + 255, maxField, [](uint32_t, uint32_t) { return true; });
  std::vector<uint32_t> litFreq(256), lenFreq(64), distFreq(64);
  for (const auto& t : tokens) {
    if (!t.Match) {
      litFreq[t.Literal]++;
    } else {
      lenFreq[std::min<uint32_t>(t.Length - minLen, 63)]++;
      distFreq[t.Distance >> lowBits]++;
    }
  }
  const auto litLen = CodeLengths(litFreq, 8), lenLen = CodeLengths(lenFreq, 6), distLen = CodeLengths(distFreq, 6);
  const auto litCodes = AssignCodes(litLen), lenCodes = AssignCodes(lenLen), distCodes = AssignCodes(distLen);
  TBitWriter w;
  if (literalTree) WriteTree(w, litLen);
  WriteTree(w, lenLen);
  WriteTree(w, distLen);
  for (const auto& t : tokens) {
    if (!t.Match) {
      w.Put(1, 1);
      if (literalTree)
        w.Put(litCodes[t.Literal].Bits, litCodes[t.Literal].Length);
      else
        w.Put(t.Literal, 8);
      continue;
    }
    w.Put(0, 1);
    w.Put(t.Distance & ((1u << lowBits) - 1), lowBits);
    const auto& d = distCodes[t.Distance >> lowBits];
    w.Put(d.Bits, d.Length);
    const uint32_t l = t.Length - minLen;
    const auto& lc = lenCodes[std::min<uint32_t>(l, 63)];
    w.Put(lc.Bits, lc.Length);
    if (l >= 63) w.Put(l - 63, 8);
  }
  return w.Finish();
}
