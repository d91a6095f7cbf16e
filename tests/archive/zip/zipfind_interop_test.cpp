// The end-record search on archives that Info-ZIP makes here: the record is found
// whatever the length of the comment behind it, also where it lies across a seam
// between two of the search's backward windows. Native only (the tool runs here).
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include "archive/zip/zipfind.h"
#include "tests/archive/artestutil.h"

namespace {

using TBytes = std::vector<uint8_t>;

TBytes ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return TBytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const TBytes& b, size_t count) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(count));
}

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// The library names files with "\"; the shell and the tools with "/".
std::string Slashed(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// The first bytes of a buffer as a read-only stream, so that thousands of comment
// lengths need no copies.
class TPrefixStream : public TStream {
public:
  TPrefixStream(const TBytes& data, int64_t size) : data_(data), size_(size) {}
  int32_t Read(void* buffer, int32_t count) override {
    const int64_t n = std::clamp<int64_t>(size_ - pos_, 0, count);
    std::copy_n(data_.data() + pos_, n, static_cast<uint8_t*>(buffer));
    pos_ += n;
    return static_cast<int32_t>(n);
  }
  int32_t Write(const void*, int32_t) override { return 0; }
  int64_t Seek(int64_t offset, int origin) override {
    pos_ = (origin == soFromBeginning ? 0 : origin == soFromCurrent ? pos_ : size_) + offset;
    return pos_;
  }

private:
  const TBytes& data_;
  int64_t size_;
  int64_t pos_ = 0;
};

// Info-ZIP's archive plain.zip in dir ("/" path) of one file of `size` bytes (stored),
// without a comment.
TBytes MakeArchive(const std::string& dir, size_t size, unsigned seed) {
  const std::string file = dir + "/data.bin", zip = dir + "/plain.zip";
  TBytes data(size);
  for (auto& b : data) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
  WriteBytes(file, data, data.size());
  std::remove(zip.c_str());
  EXPECT_TRUE(Shell("cd '" + dir + "' && zip -q -0 -X plain.zip data.bin"));
  return ReadBytes(zip);
}

}  // namespace

// Every comment length up to 4 KB, and around each place where one backward window
// meets the next (the sums of the doubling window sizes, shifted by however much the
// windows overlap) up to the longest comment, for archives smaller than the first
// window, a little larger, and larger than the whole search span.
TEST(EndRecordSearch, EveryCommentLengthAcrossEverySeamIsFound) {
  artest::TempFolder temp;
  std::vector<int> lengths;
  for (int l = 0; l <= 4096; ++l) lengths.push_back(l);
  for (int seam : {7680, 15872, 32256, 65024})
    for (int l = seam - 200; l <= std::min(seam + 40, 65535); ++l) lengths.push_back(l);
  for (int l = 65400; l <= 65535; ++l) lengths.push_back(l);
  for (size_t size : {10u, 20000u, 100000u}) {
    TBytes zip = MakeArchive(Slashed(temp.Path()), size, static_cast<unsigned>(size));
    ASSERT_GE(zip.size(), 22u);
    const size_t record = zip.size() - 22;
    ASSERT_EQ(zip[record], 'P');
    ASSERT_EQ(zip[record + 3], 6);
    zip.resize(zip.size() + 65535, 'k');
    int missed = 0;
    for (int length : lengths) {
      zip[record + 20] = static_cast<uint8_t>(length);
      zip[record + 21] = static_cast<uint8_t>(length >> 8);
      TPrefixStream s(zip, static_cast<int64_t>(record + 22 + static_cast<size_t>(length)));
      s.SetPosition(5);
      const int64_t found = FindEndRecord(s);
      if (found == static_cast<int64_t>(record)) {
        EXPECT_EQ(s.Position(), found);
      } else if (++missed <= 5) {
        ADD_FAILURE() << "archive of " << size << " bytes, comment of " << length << ": found at " << found;
      }
    }
    EXPECT_EQ(missed, 0) << size;
  }
}
