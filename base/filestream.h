// File stream of the class library over the OS layer. The 16-bit mode is the class
// library's: 0xFFFF creates (truncates) the file; otherwise the low bits give the access
// (0 read, 1 write, 2 both) and bits 4-6 the sharing (0x10 exclusive, 0x20 deny write,
// 0x30 deny read, 0x40 deny none). Sharing is enforced only where the system has it.
#pragma once
#include <cstdint>
#include <string>
#include "base/os.h"
#include "base/stream.h"

enum : uint16_t {
  fmCreate = 0xFFFF,
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareCompat = 0x0000,
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030,
  fmShareDenyNone = 0x0040,
};

class TFileStream : public TStream {
public:
  // Raises EFCreateError or EFOpenError when the file cannot be had.
  TFileStream(const std::string& fileName, uint16_t mode);
  // Takes over a handle the OS layer opened for fileName.
  TFileStream(os::FileHandle handle, const std::string& fileName) : fileName_(fileName), handle_(handle) {}
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  // Truncates or extends the file; the position stays unless it lay beyond the new end.
  void SetSize(int64_t newSize) override;
  // Asked of the file, without moving the position there and back.
  int64_t Size() override;

  const std::string& FileName() const { return fileName_; }
  os::FileHandle Handle() const { return handle_; }

private:
  std::string fileName_;
  os::FileHandle handle_ = os::kInvalidHandle;
};
