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

// Into a buffer of deflateBound's size made once per file; returns the compressed size.
size_t ZDeflate(const Bytes& in, int level, Bytes& out) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  if (out.size() < deflateBound(&z, in.size()) + 64) out.resize(deflateBound(&z, in.size()) + 64);
  z.next_in = const_cast<uint8_t*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  deflateEnd(&z);
  return z.total_out;
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

// Our calls read and write memory streams, as a zip item in memory would. Like zlib's
// buffers, the streams are made once per file and only rewound for each run, so that
// no contender's time includes copying its input or growing its output.
uint32_t OurInflate(TMemoryStream& in, TMemoryStream& out) {
  in.SetPosition(0);
  out.SetPosition(0);
  return Inflate(&in, &out);
}

// Returns the compressed size; the stream holds the bytes.
size_t OurDeflate(TMemoryStream& in, TMemoryStream& out, const TArDeflateHelper& preset) {
  in.SetPosition(0);
  out.SetPosition(0);
  TArDeflateHelper h;
  h.Assign(preset);
  Deflate(&in, &out, &h);
  return static_cast<size_t>(out.Position());
}

Bytes Prefix(const TMemoryStream& s, size_t n) { return Bytes(s.Bytes().begin(), s.Bytes().begin() + n); }

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
    Bytes packed;
    packed.resize(ZDeflate(data, 6, packed));
    Bytes out(data.size() + 1);
    uint32_t zc = 0, oc = 0;
    libdeflate_decompressor* dec = libdeflate_alloc_decompressor();
    TMemoryStream ours, source;
    source.Assign(packed.data(), packed.size());
    const auto t =
        BestSeconds({[&] { zc = ZInflate(packed, out); },
                     [&] {
                       size_t got = 0;
                       libdeflate_deflate_decompress(dec, packed.data(), packed.size(), out.data(), out.size(), &got);
                       libdeflate_crc32(0, out.data(), got);
                     },
                     [&] { oc = OurInflate(source, ours); }});
    libdeflate_free_decompressor(dec);
    const double tz = t[0], tl = t[1], to = t[2];
    if (oc != zc || ours.Position() != static_cast<int64_t>(data.size()) || Prefix(ours, data.size()) != data)
      std::printf("MISMATCH in %s\n", argv[i]);
    std::printf("| %s | %zu | %.0f | %.0f | %.0f | %.2f |\n", argv[i], data.size(), Mbps(data.size(), tz),
                Mbps(data.size(), tl), Mbps(data.size(), to), to / tz);
  }

  std::printf("\n## Deflate (input MB/s and compressed size)\n\n");
  std::printf("| file | zlib -1 | ours fastest | zlib -6 | ours default | zlib -9 | ours maximum |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
  for (int i = 1; i < argc; ++i) {
    const Bytes& data = files[static_cast<size_t>(i - 1)];
    std::string row = std::string("| ") + argv[i];
    TMemoryStream source;
    source.Assign(data.data(), data.size());
    const std::pair<int, const TArDeflateHelper*> pairs[] = {{1, &fastest}, {6, &normal}, {9, &maximum}};
    for (const auto& [level, preset] : pairs) {
      Bytes z, o;
      TMemoryStream packedByUs;
      size_t zn = 0, on = 0;
      // zlib's deflate does not checksum its input; ours does, so zlib's run adds its crc32().
      uLong zc = 0;
      const auto t = BestSeconds({[&] {
                                    zn = ZDeflate(data, level, z);
                                    zc = crc32(0, data.data(), static_cast<uInt>(data.size()));
                                  },
                                  [&] { on = OurDeflate(source, packedByUs, *preset); }},
                                 4);
      const double tz = t[0], to = t[1];
      z.resize(zn);
      o = Prefix(packedByUs, on);
      TMemoryStream check, packedSource;
      packedSource.Assign(o.data(), o.size());
      if (OurInflate(packedSource, check) != static_cast<uint32_t>(zc)) std::printf("BAD CHECKSUM %s\n", argv[i]);
      if (Prefix(check, static_cast<size_t>(check.Position())) != data) std::printf("ROUND TRIP FAILED %s\n", argv[i]);
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
