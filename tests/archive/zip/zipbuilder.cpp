#include "tests/archive/zip/zipbuilder.h"

namespace {

void Put16(TBytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(TBytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

}  // namespace

uint32_t Crc32Of(const TBytes& data) {
  uint32_t crc = 0xFFFFFFFF;
  for (uint8_t byte : data) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

TBytes ToBytes(const std::string& s) { return TBytes(s.begin(), s.end()); }

TZipEntry Stored(const std::string& name, const std::string& data) {
  TZipEntry e;
  e.Name = name;
  e.Data = ToBytes(data);
  e.Crc = Crc32Of(e.Data);
  e.UnpackedSize = static_cast<uint32_t>(data.size());
  return e;
}

void TZipBuilder::AddStored(const std::string& name, const std::string& data) {
  entries_.push_back(Stored(name, data));
}

TBytes TZipBuilder::Build(const std::string& comment) const { return Lay(comment, false)[0]; }

std::vector<TBytes> TZipBuilder::BuildPieces() const { return Lay("", true); }

std::vector<TBytes> TZipBuilder::BuildCut(const std::vector<uint32_t>& cuts) const { return Lay("", true, cuts); }

std::vector<TBytes> TZipBuilder::Lay(const std::string& comment, bool spanned,
                                     const std::vector<uint32_t>& cuts) const {
  std::vector<TBytes> pieces(1);
  if (spanned) Put32(pieces[0], 0x08074B50);
  pieces[0].insert(pieces[0].end(), Stub.begin(), Stub.end());
  // Where a position of the piece being laid ends up: its own piece and offset, or with
  // cuts (all of the set laid as one piece) the piece and offset the cuts give it.
  auto place = [&](size_t disk, size_t at) {
    std::pair<uint16_t, uint32_t> p{static_cast<uint16_t>(disk), static_cast<uint32_t>(at)};
    for (uint32_t cut : cuts)
      if (at >= cut) p = {static_cast<uint16_t>(p.first + 1), static_cast<uint32_t>(at - cut)};
    return p;
  };
  TBytes central;
  for (const auto& e : entries_) {
    const size_t disk = spanned && cuts.empty() ? e.Disk : 0;
    if (pieces.size() <= disk) pieces.resize(disk + 1);
    TBytes& out = pieces[disk];
    const auto [headerDisk, offset] = place(disk, out.size());
    Put32(out, 0x04034B50);
    Put16(out, e.Version);
    Put16(out, e.Flags);
    Put16(out, e.Method);
    Put16(out, e.Time);
    Put16(out, e.Date);
    Put32(out, e.LocalDiffers ? e.LocalCrc : e.Crc);
    Put32(out, e.LocalDiffers ? e.LocalPacked : static_cast<uint32_t>(e.Data.size()));
    Put32(out, e.LocalDiffers ? e.LocalUnpacked : e.UnpackedSize);
    Put16(out, static_cast<uint32_t>(e.Name.size()));
    Put16(out, static_cast<uint32_t>(e.LocalExtra.size()));
    out.insert(out.end(), e.Name.begin(), e.Name.end());
    out.insert(out.end(), e.LocalExtra.begin(), e.LocalExtra.end());
    out.insert(out.end(), e.Data.begin(), e.Data.end());

    Put32(central, 0x02014B50);
    Put16(central, e.MadeBy);
    Put16(central, e.Version);
    Put16(central, e.Flags);
    Put16(central, e.Method);
    Put16(central, e.Time);
    Put16(central, e.Date);
    Put32(central, e.Crc);
    Put32(central, static_cast<uint32_t>(e.Data.size()));
    Put32(central, e.UnpackedSize);
    Put16(central, static_cast<uint32_t>(e.Name.size()));
    Put16(central, static_cast<uint32_t>(e.CentralExtra.size()));
    Put16(central, static_cast<uint32_t>(e.Comment.size()));
    Put16(central, headerDisk);
    Put16(central, 0);
    Put32(central, e.ExternalAttrs);
    Put32(central, offset);
    central.insert(central.end(), e.Name.begin(), e.Name.end());
    central.insert(central.end(), e.CentralExtra.begin(), e.CentralExtra.end());
    central.insert(central.end(), e.Comment.begin(), e.Comment.end());
  }
  TBytes& out = pieces.back();
  const auto [dirDisk, dirOffset] = place(pieces.size() - 1, out.size());
  out.insert(out.end(), central.begin(), central.end());
  const uint16_t last = place(pieces.size() - 1, out.size()).first;
  const uint16_t count = ForcedEntryCount ? ForcedEntryCount : static_cast<uint16_t>(entries_.size());
  Put32(out, 0x06054B50);
  Put16(out, last);
  Put16(out, dirDisk);
  Put16(out, count);
  Put16(out, count);
  Put32(out, static_cast<uint32_t>(central.size()));
  Put32(out, ForcedDirectoryOffset != 0xFFFFFFFE ? ForcedDirectoryOffset : dirOffset);
  Put16(out, static_cast<uint32_t>(comment.size()));
  out.insert(out.end(), comment.begin(), comment.end());
  if (cuts.empty()) return pieces;
  std::vector<TBytes> cut;
  uint32_t from = 0;
  for (const uint32_t to : cuts) {
    cut.emplace_back(out.begin() + from, out.begin() + to);
    from = to;
  }
  cut.emplace_back(out.begin() + from, out.end());
  return cut;
}
