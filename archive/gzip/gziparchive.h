// The gzip format of the archive model: a gzip file as an archive of one item, which can
// also be seen as the tar archive its data holds. Two views share the model's Stream and
// Items: the gzip view (the file and its one item) and the tar view (the unpacked tar
// image and its entries). The tar view is used only when the member holds a tar and
// automatic tar handling is on; the unzipper never turns that on.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include "archive/core/vmstream.h"
#include "archive/gzip/gzipmember.h"
#include "archive/tar/tararchive.h"

// 5 for a gzip member, 6 for one whose first 512 unpacked bytes begin a tar, else 0; the
// position is kept. Inflate errors pass on.
ArchiveTypeCode ProbeGzipFile(TStream& stream);

class TArGzipArchive : public TArTarArchive {
public:
  TArGzipArchive(const std::string& fileName, uint16_t mode);
  ~TArGzipArchive() override;

  TArArchiveItem* NewItem(const std::string& fileName) override;
  void UnpackItemToFile(int32_t index, const std::string& outputName) override;
  void UnpackItemToStream(int32_t index, TStream& stream) override;
  void ReadArchive() override;
  // In the gzip view one item at most: more raise EArException before anything is
  // written, none leaves the file as it was.
  void WriteArchive() override;
  void VerifyItem(int32_t index) override;
  // The file's stream, also while the tar view shows the unpacked image.
  bool HoldsItsFile() const override { return (tarViewActive_ ? gzipStream_ : Stream) != nullptr; }
  // The file-name part only.
  std::string NormalizeStoredName(const std::string& name) override;
  // No abort, no name: a gzip file is never spanned.
  void RequestImage(void* sender, int32_t imageNumber, std::string& imageName, bool& abort) override;

  bool AutoUnpackTar() const { return autoUnpackTar_; }
  // Shows the tar view for True, the gzip view for False.
  void SetAutoUnpackTar(bool value);
  bool TarMode() const { return HoldsTar && autoUnpackTar_; }
  void ShowTarView();
  void ShowGzipView();
  TArVirtualMemoryStream& TarImage() { return *tarImage_; }

  bool HoldsTar = false;  // the member holds a tar archive

private:
  TStream*& GzipStream() { return tarViewActive_ ? gzipStream_ : Stream; }
  // The one item of the gzip view; Exception "Index out of range" when there is none.
  TArGzipItem& Member() const;
  void WriteTarMode();

  TStream* gzipStream_ = nullptr;              // the file's stream while the tar view shows
  std::unique_ptr<TArArchiveList> otherList_;  // the list of the view not shown
  std::unique_ptr<TArVirtualMemoryStream> tarImage_;
  bool autoUnpackTar_ = false;
  bool tarLoaded_ = false;
  bool tarViewActive_ = false;
};
