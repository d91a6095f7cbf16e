#include "archive/typedetect.h"
#include "archive/core/arerrors.h"
#include "archive/core/arutils.h"
#include "archive/gzip/gziparchive.h"
#include "archive/tar/tararchive.h"
#include "archive/zip/zipfind.h"
#include "base/filestream.h"

namespace {

std::string UpperExtension(const std::string& fileName) {
  const std::string name = ExtractFileName(fileName);
  const size_t dot = name.rfind('.');
  std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
  for (char& c : ext)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return ext;
}

}  // namespace

ArchiveTypeCode DetectArchiveType(const std::string& fileName) {
  const std::string ext = UpperExtension(fileName);
  const int64_t size = os::FileExists(fileName) && !os::DirectoryExists(fileName) ? GetFileSize64(fileName) : -1;
  if (size > 0) {
    if (ext == ".CAB") return ProbeCabinetFile(fileName);
    TFileStream f(fileName, fmOpenRead | fmShareDenyNone);
    if (ext == ".EXE") return ProbeSelfExtractingZip(f);
    if (ext == ".ZIP") return ProbeZipFile(f);
    if (ext == ".TAR") return ProbeTarFile(f);
    if (ext == ".GZ" || ext == ".TGZ") return ProbeGzipFile(f);
    return atUnknown;
  }
  if (ext == ".ZIP") return atZip;
  if (ext == ".TAR") return atTar;
  if (ext == ".GZ") return atGzip;
  if (ext == ".TGZ") return atGzippedTar;
  if (ext == ".CAB") return atCabinet;
  return atUnknown;
}
