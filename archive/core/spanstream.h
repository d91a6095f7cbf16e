// The stream through which a zip archive reads or writes a spanned set: one image file
// (or removable disk) at a time, moving on to the next image when a read or write
// crosses the end of the current one. The owner supplies the next image through the
// request-image hook.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include "base/filestream.h"
#include "base/stream.h"

enum TArSpanMode : uint8_t { smReading = 0, smWriting = 1 };
enum TArMediaKind : uint8_t { mkRemovableDisks = 0, mkImageFiles = 1 };

// (sender, image number, var image name, var cancelled)
using TArRequestImageEvent =
    std::function<void(void* sender, int32_t imageNumber, std::string& imageName, bool& abort)>;
// (percent 0..100, var abort)
using TArProgressEvent = std::function<void(uint8_t progress, bool& abort)>;

class TArSpanStream : public TStream {
public:
  // Raises EArException "Full Path Required" for a name that is not complete, and
  // "Invalid Media" when a medium to be written has no known room.
  TArSpanStream(const std::string& fileName, int32_t threshold, TArMediaKind mediaKind, uint16_t fileMode);
  ~TArSpanStream() override;

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  void SetSize(int64_t newSize) override;
  int64_t Size() override { return file_ ? file_->Size() : 0; }

  // Records the free space of name's volume; usable when known, or when no such file
  // exists yet.
  bool MediaIsUsable(const std::string& name);
  int32_t RoomOnImage();
  // Moves to a new image for writing; False after a cancelled request.
  bool NextWriteImage();
  // Moves to a new image for the saving code; raises EArUserAbort when cancelled.
  void OpenNextImage();
  // The proposed next image file: the extension becomes ".z" and two digits; empty
  // from image 100 on.
  std::string NextLocalImageName() const;

  TArSpanMode SpanMode() const { return spanMode_; }
  TArMediaKind MediaKind() const { return mediaKind_; }
  int32_t Threshold() const { return threshold_; }
  int32_t SpanNumber() const { return spanNumber_; }
  const std::string& ImageName() const { return imageName_; }
  int32_t BytesWritten() const { return bytesWritten_; }
  int32_t BytesAvailable() const { return bytesAvailable_; }
  int32_t TotalWritten() const { return totalWritten_; }
  bool HasImage() const { return file_ != nullptr; }
  // The image file open now; kInvalidHandle between images.
  os::FileHandle ImageHandle() const { return file_ ? file_->Handle() : os::kInvalidHandle; }

  bool IgnoreSpanning = false;  // reading and seeking stay inside the current image
  bool MovedByItself = false;   // set when Read changed to another image on its own
  int32_t TotalSize = 0;        // expected total for the progress percentage
  TArRequestImageEvent OnRequestImage;
  TArProgressEvent OnProgress;

private:
  int32_t ImageNumberFor(int32_t spanNumber) const;
  void OpenImage(const std::string& name);

  TArSpanMode spanMode_;
  TArMediaKind mediaKind_;
  int32_t threshold_;
  int32_t spanNumber_ = 0;
  std::string imageName_;
  bool cancelled_ = false;
  int32_t bytesWritten_ = 0;
  int32_t bytesAvailable_ = 0;
  std::unique_ptr<TFileStream> file_;
  // The image's size when last asked of it for a seek; -1: not asked since it was opened
  // or resized. Loading and extraction seek a great many times within one image.
  int64_t seekSize_ = -1;
  uint16_t fileMode_;
  int32_t totalWritten_ = 0;
};
