// The test encoders are only worth something if they write the real formats: the
// system's unzip tools must read what they write. Native only (the tools run here).
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <fstream>
#include "tests/archive/zip/legacy_encoders.h"
#include "tests/archive/zip/zipbuilder.h"

namespace {

std::string TempName(const std::string& leaf) {
  const char* t = std::getenv("TMPDIR");
  return std::string(t ? t : "/tmp") + "/zipt_" + std::to_string(::getpid()) + "_" + leaf;
}

void WriteFile(const std::string& path, const TBytes& b) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

TZipEntry Entry(const std::string& name, const TBytes& plain, const TBytes& packed, uint16_t method, uint16_t flags) {
  TZipEntry e;
  e.Name = name;
  e.Data = packed;
  e.Method = method;
  e.Flags = flags;
  e.Version = 10;
  e.Crc = Crc32Of(plain);
  e.UnpackedSize = static_cast<uint32_t>(plain.size());
  return e;
}

}  // namespace

TEST(LegacyEncoders, UnzipToolsAcceptWhatTheTestEncodersWrite) {
  const TBytes text = SampleText(60000), bin = SampleBinary(60000, 9);
  TZipBuilder shrinkAndImplode;
  shrinkAndImplode.Add(Entry("s0.txt", text, ShrinkEncode(text), 1, 0));
  // Code widths grow from 9 to 13 bits; the table never fills (see ShrinkEncode).
  const TBytes small = SampleBinary(20000, 11);
  shrinkAndImplode.Add(Entry("s1.bin", small, ShrinkEncode(small), 1, 0));
  for (int v = 0; v < 4; ++v) {
    const bool big = v & 1, lit = v & 2;
    const uint16_t flags = static_cast<uint16_t>((big ? 2 : 0) | (lit ? 4 : 0));
    shrinkAndImplode.Add(Entry("i" + std::to_string(v) + ".txt", text, ImplodeEncode(text, big, lit), 6, flags));
    shrinkAndImplode.Add(Entry("i" + std::to_string(v) + ".bin", bin, ImplodeEncode(bin, big, lit), 6, flags));
  }
  // Neither tool here reads reduced items; those rest on round trips alone.
  const std::string a = TempName("legacy_si.zip");
  WriteFile(a, shrinkAndImplode.Build());
  EXPECT_EQ(std::system(("unzip -tqq " + a + " >/dev/null 2>&1").c_str()), 0);
  EXPECT_EQ(std::system(("7z t " + a + " >/dev/null 2>&1").c_str()), 0);
  if (!HasFailure()) { std::remove(a.c_str()); }
}
