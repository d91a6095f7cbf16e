// Staging, the first step of a save (see zipsave.h): one block per item that has stored
// data, a 32-bit length and the bytes, in list order. Which item staged a block is kept
// beside the stream, so the writing step reads a block back for exactly those items.
#include <algorithm>
#include "archive/core/arutils.h"
#include "archive/zip/zipsave.h"

namespace {

constexpr uint32_t kLargestItem = 0x7FFFFFFF;  // sizes are signed 32-bit in the item model
constexpr uint16_t kDataDescriptorFlag = 0x0008;

bool StagesNewData(uint8_t action) {
  return action == aaAdd || action == aaFreshen || action == aaReplace || action == aaStreamAdd;
}

}  // namespace

void CheckItemSize(const TArZipItem& item) {
  if (item.CentralHeader.PackedSize > kLargestItem || item.CentralHeader.UnpackedSize > kLargestItem)
    throw EArZipException("Item too large for a zip archive");
}

void CopyStoredBytes(TStream& source, TStream& dest, int64_t count, std::vector<uint8_t>& buffer,
                     const std::function<void(int64_t)>& onWritten) {
  if (buffer.size() < 65536) buffer.resize(65536);
  while (count > 0) {
    const int32_t want = static_cast<int32_t>(std::min<int64_t>(count, static_cast<int64_t>(buffer.size())));
    int32_t got = 0;
    while (got < want) {
      const int32_t n = source.Read(buffer.data() + got, want - got);
      if (n <= 0) throw EArReadError();  // the data ends before its stated size
      got += n;
    }
    dest.WriteBuffer(buffer.data(), got);
    count -= got;
    if (onWritten) onWritten(got);
  }
}

TArZipStaging::TArZipStaging(TArZipArchive& archive)
    : archive_(archive), folder_(ExtractFilePath(GetTempFileNameIn(archive.TempDirectory, false))) {
  blocks_.SwapFolder = folder_;
}

void TArZipStaging::Run() {
  TArArchiveList& items = *archive_.Items;
  for (int32_t i = 0; i < items.Count(); ++i) {
    auto& item = static_cast<TArZipItem&>(*items.Get(i));
    archive_.CurrentItem = &item;
    const uint8_t action = item.PendingAction;
    if (action == aaDelete) continue;
    uint32_t length = 0;
    if (action == aaNone || action == aaMove) {
      length = CopyExistingData(item);
    } else if (StagesNewData(action)) {
      length = StageNewData(i, item);
    } else if (item.CentralHeader.PackedSize != 0) {
      // An action that brings no data cannot give an item the bytes its header promises.
      throw EArBadStream();
    }
    written_.push_back({&item, length > 0, length});
    const TArZipDirectoryFileHeader& h = item.CentralHeader;
    estimate_ += int64_t{length} + 2 * int64_t{h.NameLength} + 2 * int64_t{h.ExtraLength} + 76;
    if (h.GpFlags & kDataDescriptorFlag) estimate_ += 16;
  }
  blocks_.SetPosition(0);
}

void TArZipStaging::AppendBlock(TStream& data, uint32_t length) {
  uint8_t prefix[4];
  PutLE32(prefix, length);
  blocks_.WriteBuffer(prefix, 4);
  std::vector<uint8_t> buffer;
  CopyStoredBytes(data, blocks_, length, buffer, nullptr);
}

// The stored data (encryption header and compressed bytes) begins after the old local
// header, whose name and extra field may differ in length from the central record's.
uint32_t TArZipStaging::CopyExistingData(TArZipItem& item) {
  CheckItemSize(item);
  const uint32_t length = item.CentralHeader.PackedSize;
  if (length == 0) return 0;
  TStream& old = *archive_.Stream;
  old.SetPosition(item.LocalHeaderOffset());
  TArZipLocalFileHeader local;
  try {
    local.ReadRecord(old);
  } catch (const EArZipInvalid&) { throw EArZipInvalidLFH(); }
  AppendBlock(old, length);
  return length;
}

uint32_t TArZipStaging::StageNewData(int32_t index, TArZipItem& item) {
  TArVirtualMemoryStream data;
  data.SwapFolder = folder_;
  if (item.PendingAction == aaStreamAdd)
    archive_.InsertItemFromStream(index, data);
  else
    archive_.InsertItem(index, data);
  CheckItemSize(item);
  // A packed size that differs from the bytes written would shift every later item.
  if (data.Size() != int64_t{item.CentralHeader.PackedSize}) throw EArBadStream();
  const uint32_t length = item.CentralHeader.PackedSize;
  if (length > 0) {
    data.SetPosition(0);
    AppendBlock(data, length);
  }
  return length;
}
