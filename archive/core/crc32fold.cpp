// CRC-32 by folding with carry-less multiplication.
//
// A 16-byte block A of the reflected stream stands for a polynomial of degree < 128;
// moving it D bits further down the stream multiplies it by x^D modulo the CRC
// polynomial P. Split A into its halves (L = first eight bytes, H = last eight): then
// A * x^D = L' * x^(D + 64) + H' * x^D, and each half times a 32-bit constant is one
// 64 x 64 carry-less product. Reflected operands make the product come out one degree
// short, so the constants are x^(D + 63) and x^(D - 1) modulo P. Four blocks are folded
// side by side, 64 bytes apart, so that the multiplies of one do not wait for another;
// at the end they are folded onto each other and the caller reduces the last 16 bytes
// with the table. The constants are computed here, at compile time, by the table
// code's own step (a multiplication by x in reflected form).
#include "archive/core/crc32fold.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace {

// x^n modulo P in reflected form (x^0 is bit 31), placed where a 64-bit multiplicand
// of the fold expects it.
constexpr uint64_t PowerOfX(int n) {
  uint32_t r = 0x80000000u;
  for (int i = 0; i < n; ++i) r = (r >> 1) ^ ((r & 1) ? 0xEDB88320u : 0u);
  return static_cast<uint64_t>(r) << 32;
}

struct TFoldConstants {
  uint64_t lo, hi;
};
constexpr TFoldConstants FoldBy(int bits) { return {PowerOfX(bits + 63), PowerOfX(bits - 1)}; }

constexpr TFoldConstants kFold512 = FoldBy(512), kFold384 = FoldBy(384), kFold256 = FoldBy(256), kFold128 = FoldBy(128);

__attribute__((target("sse2,pclmul"))) inline __m128i Constants(const TFoldConstants& k) {
  return _mm_set_epi64x(static_cast<long long>(k.hi), static_cast<long long>(k.lo));
}

// a moved forward by the distance the constants stand for.
__attribute__((target("sse2,pclmul"))) inline __m128i Fold(__m128i a, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(a, k, 0x00), _mm_clmulepi64_si128(a, k, 0x11));
}

__attribute__((target("sse2,pclmul"))) inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

bool Crc32FoldSupported() {
  static const bool supported = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2") && __builtin_cpu_supports("pclmul");
  }();
  return supported;
}

__attribute__((target("sse2,pclmul"))) void FoldCrc32(uint32_t crc, const uint8_t* data, size_t count,
                                                      uint8_t remainder[16]) {
  // The running value joins the first four bytes: the code is linear.
  __m128i a0 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i a1 = Load(data + 16), a2 = Load(data + 32), a3 = Load(data + 48);
  const uint8_t* p = data + 64;
  const uint8_t* const end = data + count;
  const __m128i k512 = Constants(kFold512);
  for (; end - p >= 64; p += 64) {
    a0 = _mm_xor_si128(Fold(a0, k512), Load(p));
    a1 = _mm_xor_si128(Fold(a1, k512), Load(p + 16));
    a2 = _mm_xor_si128(Fold(a2, k512), Load(p + 32));
    a3 = _mm_xor_si128(Fold(a3, k512), Load(p + 48));
  }
  __m128i a = _mm_xor_si128(_mm_xor_si128(Fold(a0, Constants(kFold384)), Fold(a1, Constants(kFold256))),
                            _mm_xor_si128(Fold(a2, Constants(kFold128)), a3));
  const __m128i k128 = Constants(kFold128);
  for (; p < end; p += 16) a = _mm_xor_si128(Fold(a, k128), Load(p));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(remainder), a);
}

#else

bool Crc32FoldSupported() { return false; }
void FoldCrc32(uint32_t, const uint8_t*, size_t, uint8_t*) {}

#endif
