// JPEG decoding through libjpeg. The library reports fatal errors by calling error_exit, which
// must not return; we jump back to the decode call and turn the error into an exception there,
// after the library has released its memory. Nothing with a destructor lives between the jump
// and its target.
#include <csetjmp>
#include <cstdio>
#include <vector>

#include "base/exception.h"
#include "base/stream.h"
#include "winui/graphics.h"

extern "C" {
#include <jpeglib.h>
}

namespace {

// Pictures larger than this are refused before any pixel memory is taken: a damaged or hostile
// header must not make us allocate gigabytes (or overflow the size on 32-bit builds).
constexpr uint64_t kMaxPixels = 64ull * 1024 * 1024;

struct ErrorManager {
  jpeg_error_mgr pub;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  longjmp(err->jump, 1);
}

void SilentMessage(j_common_ptr) {}

// Returns false with the library's message on failure.
bool Decode(const unsigned char* data, unsigned long size, std::vector<uint32_t>& pixels, int& width, int& height,
            char* message) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.output_message = SilentMessage;
  err.message[0] = 0;
  std::vector<unsigned char> row;  // before the jump target: its destructor must not be skipped
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.message);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, size);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  if (static_cast<uint64_t>(cinfo.output_width) * cinfo.output_height > kMaxPixels) {
    jpeg_destroy_decompress(&cinfo);
    std::snprintf(message, JMSG_LENGTH_MAX, "picture too large (%ux%u)", cinfo.output_width, cinfo.output_height);
    return false;
  }
  width = static_cast<int>(cinfo.output_width);
  height = static_cast<int>(cinfo.output_height);
  pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  row.resize(static_cast<size_t>(width) * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW rows[1] = {row.data()};
    const size_t y = cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, rows, 1);
    uint32_t* out = pixels.data() + y * static_cast<size_t>(width);
    for (int x = 0; x < width; ++x) {
      const unsigned char* p = row.data() + static_cast<size_t>(x) * 3;
      out[x] = (static_cast<uint32_t>(p[0]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[2];
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

}  // namespace

void TJPEGImage::LoadFromMemory(const void* data, size_t size) {
  if (!data || size < 4) throw Exception("JPEG error: not a JPEG picture");
  std::vector<uint32_t> pixels;
  int width = 0, height = 0;
  char message[JMSG_LENGTH_MAX] = {0};
  if (!Decode(static_cast<const unsigned char*>(data), static_cast<unsigned long>(size), pixels, width, height,
              message))
    throw Exception(std::string("JPEG error: ") + message);
  if (width <= 0 || height <= 0) throw Exception("JPEG error: empty picture");
  bitmap_.LoadFromBits(width, height, pixels.data());
  Changed();
}

void TJPEGImage::LoadFromStream(TStream& stream) {
  const int64_t left = stream.Size() - stream.Position();
  if (left <= 0) throw Exception("JPEG error: not a JPEG picture");
  std::vector<unsigned char> bytes(static_cast<size_t>(left));
  stream.ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  LoadFromMemory(bytes.data(), bytes.size());
}

void TJPEGImage::LoadFromFile(const std::string& fileName) {
  FILE* f = std::fopen(fileName.c_str(), "rb");
  if (!f) throw Exception("Cannot open file \"" + fileName + "\"");
  std::vector<unsigned char> bytes;
  unsigned char buf[8192];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
  std::fclose(f);
  LoadFromMemory(bytes.data(), bytes.size());
}
