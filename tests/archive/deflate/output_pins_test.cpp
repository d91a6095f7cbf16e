// The encoder's exact output, pinned: a change that makes the engine faster must not
// change one compressed byte. Each case is the 64-bit FNV-1a hash and the length of the
// stream for one benchmark preset (fastest, default, maximum; deflate and deflate64,
// never encrypted, whose header is random) over inputs made here by a generator of its
// own, so that nothing outside this file can move them. The pins were taken once and are
// never regenerated: a changed hash is a failure to explain, not a number to update.
#include <gtest/gtest.h>
#include <cstdint>
#include <string>
#include <vector>
#include "archive/deflate/dfdeflate.h"
#include "archive/deflate/dfinflate.h"
#include "base/stream.h"

namespace {

using Bytes = std::vector<uint8_t>;

// xorshift32: the same numbers on every compiler and pointer size.
class TGen {
public:
  explicit TGen(uint32_t seed) : s_(seed) {}
  uint32_t Next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return s_;
  }
  uint32_t Below(uint32_t n) { return Next() % n; }

private:
  uint32_t s_;
};

// 400 KB of words with punctuation: long hash chains and matches of every length; well
// past the window, so the input window slides many times and blocks fill. Bytes above
// 127 are written out, so that every build's character set makes the same input.
Bytes Text() {
  static const char* words[] = {"the",    "archive", "window",  "of",   "deflate", "and",    "a",
                                "stream", "zip",     "Huffman", "code", "length",  "update", "distance",
                                "client", "literal", "block",   "to",   "server",  "bits",   "\303\274ber"};
  TGen g(0x1234567);
  Bytes out;
  while (out.size() < 400000) {
    const std::string w = words[g.Below(sizeof words / sizeof *words)];
    out.insert(out.end(), w.begin(), w.end());
    const uint32_t r = g.Below(24);
    out.push_back(r == 0 ? '\n' : r == 1 ? ',' : ' ');
  }
  out.resize(400000);
  return out;
}

// Tables of little-endian numbers with small steps and zero padding, as in executables.
Bytes Binary() {
  TGen g(0x89ABCDE);
  Bytes out;
  uint32_t v = 0;
  while (out.size() < 300000) {
    v += g.Below(48);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    if (g.Below(6) == 0) out.insert(out.end(), g.Below(12), 0);
  }
  out.resize(300000);
  return out;
}

// Runs of a few byte values, from single bytes to 1,200: matches at distance 1 and
// chains full of equal hashes.
Bytes Runs() {
  TGen g(0x5EED);
  Bytes out;
  while (out.size() < 300000) out.insert(out.end(), 1 + g.Below(g.Below(4) == 0 ? 1200 : 20), 'a' + g.Below(5));
  out.resize(300000);
  return out;
}

// Random bytes with a stretch of text in the middle: stored blocks around coded ones.
Bytes Incompressible() {
  TGen g(0xC0FFEE);
  Bytes out(250000);
  for (auto& b : out) b = static_cast<uint8_t>(g.Next() >> 11);
  const Bytes text = Text();
  std::copy(text.begin(), text.begin() + 40000, out.begin() + 100000);
  return out;
}

uint64_t Fnv1a64(const Bytes& b) {
  uint64_t h = 0xCBF29CE484222325ull;
  for (uint8_t c : b) {
    h ^= c;
    h *= 0x100000001B3ull;
  }
  return h;
}

// The presets of bench/deflate.
enum TPreset { psFastest, psDefault, psMaximum };

TArDeflateHelper PresetOf(TPreset preset, bool deflate64) {
  TArDeflateHelper h;
  if (preset == psFastest) {
    h.SetTargetMatchLength(4);
    h.SetChainSearchLimit(4);
    h.SetLazyMatchLimit(4);
    h.SetOptions(h.Options() & ~OptLazyMatch);
  } else if (preset == psMaximum) {
    h.SetTargetMatchLength(-1);
    h.SetChainSearchLimit(-1);
    h.SetLazyMatchLimit(-1);
  }
  if (deflate64) {
    h.SetOptions(h.Options() | OptDeflate64);
    h.HistorySize = 65536;
  }
  return h;
}

struct TPin {
  const char* Input;
  TPreset Preset;
  bool Deflate64;
  uint64_t Hash;
  size_t Length;
};

// clang-format off
const TPin kPins[] = {
    {"text", psFastest, false, 0xE462755EA42BD2D5ull, 96622},
    {"text", psDefault, false, 0x92E49C0B504E54E3ull, 81172},
    {"text", psMaximum, false, 0x634B11D3629CA9A3ull, 70442},
    {"text", psFastest, true, 0xBDCA7086C0FD1E01ull, 96689},
    {"text", psDefault, true, 0xAE376BB02B66281Eull, 84383},
    {"text", psMaximum, true, 0x9B28B9A43A087D44ull, 68532},
    {"binary", psFastest, false, 0xFF61A96DA5C60835ull, 123225},
    {"binary", psDefault, false, 0x9F41578CF9AF09D8ull, 122493},
    {"binary", psMaximum, false, 0x829D1A61C6FB724Dull, 121580},
    {"binary", psFastest, true, 0xFC8BB61358DBB290ull, 123233},
    {"binary", psDefault, true, 0xF732EFF8B83B532Cull, 122523},
    {"binary", psMaximum, true, 0xDD96BA3EE208542Aull, 121681},
    {"runs", psFastest, false, 0x29B5F7DA81A80D4Bull, 4656},
    {"runs", psDefault, false, 0xC6245C04855E1286ull, 3281},
    {"runs", psMaximum, false, 0x281AAF5DBD115517ull, 3417},
    {"runs", psFastest, true, 0x89DD5142372C7D0Eull, 4620},
    {"runs", psDefault, true, 0x1351DA792593C0BCull, 3291},
    {"runs", psMaximum, true, 0x0F9C524DF031B080ull, 3242},
    {"incompressible", psFastest, false, 0x8AB63E05761A6257ull, 221711},
    {"incompressible", psDefault, false, 0xA595E83D6010EB0Dull, 219554},
    {"incompressible", psMaximum, false, 0xB82470A58960F366ull, 218595},
    {"incompressible", psFastest, true, 0x8AB63E05761A6257ull, 221711},
    {"incompressible", psDefault, true, 0x15EA5B140E896979ull, 219556},
    {"incompressible", psMaximum, true, 0xFA7DA09108183E5Eull, 218602},
};
// clang-format on

const Bytes& InputNamed(const std::string& name) {
  static const Bytes text = Text(), binary = Binary(), runs = Runs(), incompressible = Incompressible();
  return name == "text" ? text : name == "binary" ? binary : name == "runs" ? runs : incompressible;
}

}  // namespace

TEST(EncoderOutput, EveryBenchmarkPresetWritesExactlyThePinnedBytes) {
  for (const TPin& pin : kPins) {
    const Bytes& input = InputNamed(pin.Input);
    TMemoryStream src, dst;
    src.Assign(input.data(), input.size());
    TArDeflateHelper h = PresetOf(pin.Preset, pin.Deflate64);
    Deflate(&src, &dst, &h);
    const Bytes packed = dst.Bytes();
    const std::string what =
        std::string(pin.Input) + " preset " + std::to_string(pin.Preset) + (pin.Deflate64 ? " deflate64" : " deflate");
    EXPECT_EQ(packed.size(), pin.Length) << what;
    EXPECT_EQ(Fnv1a64(packed), pin.Hash) << what;
    // The pinned stream is also a valid one.
    TMemoryStream back, again;
    back.Assign(packed.data(), packed.size());
    TArDeflateHelper options;
    if (pin.Deflate64) options.SetOptions(options.Options() | OptDeflate64);
    Inflate(&back, &again, &options);
    EXPECT_TRUE(again.Bytes() == input) << what;
  }
}
