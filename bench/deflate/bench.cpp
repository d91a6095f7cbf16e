// Inflate and deflate speed of the engine against zlib and libdeflate, and compressed
// sizes of the engine's presets against zlib's levels 1, 6 and 9. Every contender's
// figure includes a CRC-32 of the uncompressed bytes, as ours always computes one. One run over the
// files named on the command line; prints a Markdown table. Times are the best of
// several repetitions of the whole file in memory.
#include <libdeflate.h>
#include <zlib.h>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>
#include "archive/deflate/dfdeflate.h"
#include "archive/deflate/dfinflate.h"

using Bytes = std::vector<uint8_t>;

namespace {
// Best times of several runs of each contender, taken in turns so that the load of a
// shared machine falls on all of them alike.
std::vector<double> BestSeconds(const std::vector<std::function<void()>>& runs, double budget = 2.0) {
  std::vector<double> best(runs.size(), 1e30);
  double spent = 0;
  for (int round = 0; round < 3 || (spent < budget && round < 30); ++round) {
    for (size_t i = 0; i < runs.size(); ++i) {
      const auto t0 = std::chrono::steady_clock::now();
      runs[i]();
      const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      best[i] = std::min(best[i], s);
      spent += s;
    }
  }
  return best;
}

Bytes ZDeflate(const Bytes& in, int level) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&z, in.size()) + 64);
  z.next_in = const_cast<uint8_t*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

uint32_t ZInflate(const Bytes& in, Bytes& out) {
  z_stream z{};
  inflateInit2(&z, -15);
  z.next_in = const_cast<uint8_t*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  inflate(&z, Z_FINISH);
  inflateEnd(&z);
  return static_cast<uint32_t>(crc32(0, out.data(), static_cast<uInt>(z.total_out)));
}

// Our calls read and write memory streams, as a zip item in memory would.
uint32_t OurInflate(const Bytes& in, TMemoryStream& out) {
  TMemoryStream src;
  src.Assign(in.data(), in.size());
  out.SetPosition(0);
  return Inflate(&src, &out);
}

Bytes OurDeflate(const Bytes& in, const TArDeflateHelper& preset) {
  TMemoryStream src, dst;
  src.Assign(in.data(), in.size());
  TArDeflateHelper h;
  h.Assign(preset);
  Deflate(&src, &dst, &h);
  return dst.Bytes();
}

double Mbps(size_t bytes, double seconds) { return bytes / seconds / 1e6; }
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s file...\n", argv[0]);
    return 2;
  }
  TArDeflateHelper fastest, normal, maximum;
  fastest.SetTargetMatchLength(4);
  fastest.SetChainSearchLimit(4);
  fastest.SetLazyMatchLimit(4);
  fastest.SetOptions(fastest.Options() & ~OptLazyMatch);
  maximum.SetTargetMatchLength(-1);
  maximum.SetChainSearchLimit(-1);
  maximum.SetLazyMatchLimit(-1);

  std::printf("## Inflate (output MB/s, CRC-32 included for all; streams made by zlib -6)\n\n");
  std::printf("| file | size | zlib | libdeflate | ours | ours/zlib time |\n|---|---:|---:|---:|---:|---:|\n");
  std::vector<Bytes> files;
  for (int i = 1; i < argc; ++i) {
    std::ifstream f(argv[i], std::ios::binary);
    files.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  for (int i = 1; i < argc; ++i) {
    const Bytes& data = files[static_cast<size_t>(i - 1)];
    const Bytes packed = ZDeflate(data, 6);
    Bytes out(data.size() + 1);
    uint32_t zc = 0, oc = 0;
    libdeflate_decompressor* dec = libdeflate_alloc_decompressor();
    TMemoryStream ours;
    const auto t =
        BestSeconds({[&] { zc = ZInflate(packed, out); },
                     [&] {
                       size_t got = 0;
                       libdeflate_deflate_decompress(dec, packed.data(), packed.size(), out.data(), out.size(), &got);
                       libdeflate_crc32(0, out.data(), got);
                     },
                     [&] { oc = OurInflate(packed, ours); }});
    libdeflate_free_decompressor(dec);
    const double tz = t[0], tl = t[1], to = t[2];
    if (oc != zc || ours.Bytes() != data) std::printf("MISMATCH in %s\n", argv[i]);
    std::printf("| %s | %zu | %.0f | %.0f | %.0f | %.2f |\n", argv[i], data.size(), Mbps(data.size(), tz),
                Mbps(data.size(), tl), Mbps(data.size(), to), to / tz);
  }

  std::printf("\n## Deflate (input MB/s and compressed size)\n\n");
  std::printf("| file | zlib -1 | ours fastest | zlib -6 | ours default | zlib -9 | ours maximum |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
  for (int i = 1; i < argc; ++i) {
    const Bytes& data = files[static_cast<size_t>(i - 1)];
    std::string row = std::string("| ") + argv[i];
    const std::pair<int, const TArDeflateHelper*> pairs[] = {{1, &fastest}, {6, &normal}, {9, &maximum}};
    for (const auto& [level, preset] : pairs) {
      Bytes z, o;
      // zlib's deflate does not checksum its input; ours does, so zlib's run adds its crc32().
      uLong zc = 0;
      const auto t = BestSeconds({[&] {
                                    z = ZDeflate(data, level);
                                    zc = crc32(0, data.data(), static_cast<uInt>(data.size()));
                                  },
                                  [&] { o = OurDeflate(data, *preset); }},
                                 4);
      const double tz = t[0], to = t[1];
      TMemoryStream check;
      if (OurInflate(o, check) != static_cast<uint32_t>(zc)) std::printf("BAD CHECKSUM %s\n", argv[i]);
      if (check.Bytes() != data) std::printf("ROUND TRIP FAILED %s\n", argv[i]);
      char cell[160];
      std::snprintf(cell, sizeof cell, " | %zu B, %.1f MB/s | %zu B (%+.2f%%), %.1f MB/s", z.size(),
                    Mbps(data.size(), tz), o.size(), 100.0 * (double(o.size()) - double(z.size())) / double(z.size()),
                    Mbps(data.size(), to));
      row += cell;
    }
    std::printf("%s |\n", row.c_str());
  }
  return 0;
}
