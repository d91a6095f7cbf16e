#include "archive/typedetect.h"
#include <algorithm>
#include <cstring>
#include "archive/core/arerrors.h"
#include "archive/core/arutils.h"
#include "archive/zip/zipfind.h"
#include "archive/zip/zipinflate.h"
#include "base/filestream.h"

namespace {

constexpr int32_t kTarRecord = 345;
constexpr int32_t kTarChecksumAt = 148;
constexpr int32_t kTarMagicAt = 257;

uint32_t OctalField(const uint8_t* p, int width) {
  int i = 0;
  while (i < width && p[i] == ' ') ++i;
  uint32_t v = 0;
  for (; i < width && p[i] >= '0' && p[i] <= '7'; ++i) v = v * 8 + static_cast<uint32_t>(p[i] - '0');
  return v;
}

std::string UpperExtension(const std::string& fileName) {
  const std::string name = ExtractFileName(fileName);
  const size_t dot = name.rfind('.');
  std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
  for (char& c : ext)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return ext;
}

}  // namespace

// A tar header proves itself by its checksum (over the 345 bytes the format keeps, or
// over the whole block as other writers count it) or by one of the two old magics.
ArchiveTypeCode ProbeTarStream(TStream& stream) {
  const int64_t pos = stream.Position();
  uint8_t block[512] = {};
  const int32_t n = stream.Read(block, 512);
  stream.SetPosition(pos);
  if (n < kTarRecord) return atUnknown;
  const uint32_t stored = OctalField(block + kTarChecksumAt, 8);
  uint32_t sum = 0, whole = 0;
  for (int i = 0; i < 512; ++i) {
    const uint32_t b = i >= kTarChecksumAt && i < kTarChecksumAt + 8 ? ' ' : block[i];
    if (i < kTarRecord) sum += b;
    whole += b;
  }
  if (stored == sum || (n == 512 && stored == whole)) return atTar;
  const char* magic = reinterpret_cast<const char*>(block + kTarMagicAt);
  if (std::strncmp(magic, "ustar  ", 8) == 0 || std::strncmp(magic, "GNUtar ", 8) == 0) return atTar;
  return atUnknown;
}

// A gzip member whose first 512 unpacked bytes are a tar header holds a tar archive.
ArchiveTypeCode ProbeGzipStream(TStream& stream) {
  const int64_t pos = stream.Position();
  struct TRestore {
    TStream& s;
    int64_t p;
    ~TRestore() {
      try {
        s.SetPosition(p);
      } catch (...) {}
    }
  } restore{stream, pos};
  uint8_t head[10] = {};
  stream.SetPosition(0);
  if (stream.Read(head, 10) < 3 || head[0] != 0x1F || head[1] != 0x8B || head[2] != 8) return atUnknown;
  const uint8_t flags = head[3];
  if (flags & 0x04) {  // extra field
    uint8_t len[2] = {};
    stream.Read(len, 2);
    stream.Seek(len[0] | len[1] << 8, soFromCurrent);
  }
  for (uint8_t bit : {0x08, 0x10}) {  // name, comment: zero-terminated
    if (!(flags & bit)) continue;
    uint8_t c = 1;
    while (stream.Read(&c, 1) == 1 && c != 0) {}
  }
  if (flags & 0x02) stream.Seek(2, soFromCurrent);  // header CRC
  TMemoryStream head512;
  TArZipInflateCall call;
  call.Source = &stream;
  call.Output = &head512;
  call.PackedSize = static_cast<uint32_t>(std::max<int64_t>(0, stream.Size() - stream.Position()));
  call.UnpackedSize = 512;
  ZipInflate(call);
  head512.SetPosition(0);
  return ProbeTarStream(head512) == atTar ? atGzippedTar : atGzip;
}

ArchiveTypeCode DetectArchiveType(const std::string& fileName) {
  const std::string ext = UpperExtension(fileName);
  const int64_t size = os::FileExists(fileName) && !os::DirectoryExists(fileName) ? GetFileSize64(fileName) : -1;
  if (size > 0) {
    if (ext == ".CAB") return ProbeCabinetFile(fileName);
    TFileStream f(fileName, fmOpenRead | fmShareDenyNone);
    if (ext == ".EXE") return ProbeSelfExtractingZip(f);
    if (ext == ".ZIP") return ProbeZipFile(f);
    if (ext == ".TAR") return ProbeTarStream(f);
    if (ext == ".GZ" || ext == ".TGZ") return ProbeGzipStream(f);
    return atUnknown;
  }
  if (ext == ".ZIP") return atZip;
  if (ext == ".TAR") return atTar;
  if (ext == ".GZ") return atGzip;
  if (ext == ".TGZ") return atGzippedTar;
  if (ext == ".CAB") return atCabinet;
  return atUnknown;
}
