// LZ77 with 3-byte hash chains and lazy matching, one token buffer per block, and per
// block a choice between stored, fixed-code and dynamic-code output by computed cost.
#include "archive/deflate/dfdeflate.h"
#include <algorithm>
#include <memory>
#include "archive/deflate/dfbits.h"
#include "archive/deflate/dfencoder.h"
#include "archive/deflate/dfhuff.h"
#include "archive/deflate/zipcrypt.h"

namespace {
constexpr const char* kUnit = "ArDfEnc";
constexpr int32_t kUnlimited = 0x7FFFFFFF;

enum TBlockMode { bmStatic, bmDynamic, bmChoose };

class TArDfEncoder {
public:
  TArDfEncoder(TArDeflateHelper& h, TStream* source, TStream* out, TArLogger* logger, TBlockMode mode)
      : h_(h),
        deflate64_((h.Options() & OptDeflate64) != 0),
        mode_(mode),
        logger_(logger),
        window_(source, (h.Options() & OptAdler32) == 0, deflate64_, h.ChainSearchLimit(), h.HistorySize,
                h.ProgressTotal),
        bits_(out),
        lz_(&window_, logger, deflate64_) {
    window_.SetProgressHook(h.ProgressHook());
  }

  // The bytes encoded before an error, the partial last one included, still reach the
  // output before the error goes on; a flush that fails then gives way to the error.
  uint32_t DeflateStaticDynamic() {
    try {
      return Encode();
    } catch (...) {
      try {
        bits_.Finish();
      } catch (...) {}
      throw;
    }
  }

private:
  uint32_t Encode();
  void WriteBlock(bool final) {
    if (mode_ == bmStatic)
      WriteStaticBlock(final);
    else
      WriteDynamicBlock(final, mode_ == bmChoose);
  }
  void WriteStaticBlock(bool final);
  void WriteDynamicBlock(bool final, bool choose);
  void WriteStoredBlock(bool final);
  void WriteEndOfBlock(const TArDfDecodeHuffmanTree& litTree);
  // Bits of the dynamic block with these code lengths, header included.
  int64_t CalcDynamicBitCount(const uint8_t* lengths, int32_t hlit, int32_t hdist, const TArDfCodeLenStream& codeLens,
                              const uint8_t* clLengths, int32_t hclen) const;

  TArDeflateHelper& h_;
  bool deflate64_;
  TBlockMode mode_;
  TArLogger* logger_;
  TArDfInputWindow window_;
  TArDfOutBitStream bits_;
  TArDfLZStream lz_;
};

uint32_t TArDfEncoder::Encode() {
  TArDfMatch pending, found;
  bool havePending = false, armed = true, full = false;
  // The tuning in locals: the loop's stores could otherwise alias the helper's fields.
  int32_t targetLength = h_.TargetMatchLength(), lazyLimit = h_.LazyMatchLimit();
  while (window_.LookAheadCount() == 3) {
    if (armed && lz_.CoveredBytes() == 1024) {
      // Text-like input (no zero byte in the first KiB) is worth a longer search.
      if (h_.PresetCode() == 'n' && lz_.LitCounts()[0] == 0) {
        h_.SetTargetMatchLength(h_.TargetMatchLength() * 2);
        h_.SetLazyMatchLimit(h_.LazyMatchLimit() * 2);
        h_.SetChainSearchLimit(h_.ChainSearchLimit() * 2);
        window_.SetChainLimit(h_.ChainSearchLimit());
        targetLength = h_.TargetMatchLength();
        lazyLimit = h_.LazyMatchLimit();
      }
      armed = false;
    }
    if (full) {
      WriteBlock(false);
      // A pending match starts one byte back: the next block covers it.
      lz_.ResetBlock(window_.StreamOffset() - (havePending ? 1 : 0));
      full = false;
    }
    bool isMatch = window_.FindLongestMatch(targetLength, found, havePending ? pending.Length : 0);
    if (isMatch && found.Length == 3 && found.Distance > 4096) isMatch = false;
    if (isMatch) {
      if (havePending) full = lz_.AppendLiteral(pending.Literal);
      pending = found;
      havePending = true;
      window_.AdvanceOne();
      if (pending.Length >= lazyLimit) {
        full = lz_.AppendMatch(pending.Length, pending.Distance) || full;
        window_.Advance(pending.Length - 1, pending.Length - 1);
        havePending = false;
      }
    } else if (havePending) {
      full = lz_.AppendMatch(pending.Length, pending.Distance);
      window_.Advance(pending.Length - 1, pending.Length - 2);
      havePending = false;
    } else {
      full = lz_.AppendLiteral(found.Literal);
      window_.AdvanceOne();
    }
  }
  if (havePending) {
    ArDfCheck(pending.Length == 3, "DeflateStaticDynamic: previous match should be length 3", kUnit);
    lz_.AppendMatch(pending.Length, pending.Distance);
  } else {
    while (window_.LookAheadCount() > 0) lz_.AppendLiteral(window_.TakeLiteral());
  }
  WriteBlock(true);
  bits_.Finish();
  return window_.InputChecksum();
}

void TArDfEncoder::WriteStaticBlock(bool final) {
  bits_.WriteBits(final ? 3 : 2, 3);
  const auto& lit = ArDfStaticLiteralTree();
  lz_.Encode(bits_, lit, deflate64_, ArDfStaticDistanceTree());
  WriteEndOfBlock(lit);
}

void TArDfEncoder::WriteEndOfBlock(const TArDfDecodeHuffmanTree& litTree) {
  const uint32_t eob = litTree.Encode(256);
  bits_.Put(eob & 0xFFFF, static_cast<int32_t>((eob >> 16) & 0xFF));
}

int64_t TArDfEncoder::CalcDynamicBitCount(const uint8_t* lengths, int32_t hlit, int32_t hdist,
                                          const TArDfCodeLenStream& codeLens, const uint8_t* clLengths,
                                          int32_t hclen) const {
  const int32_t* cl = codeLens.Counts();
  int64_t bits = 14 + 3 * hclen;
  bits += static_cast<int64_t>(cl[16]) * (clLengths[16] + 2) + static_cast<int64_t>(cl[17]) * (clLengths[17] + 3) +
          static_cast<int64_t>(cl[18]) * (clLengths[18] + 7);
  for (int32_t i = 3; i < hclen; ++i) {
    const int32_t s = ArDfCodeLengthOrder[i];
    ArDfCheck(s <= 15, "CalcDynamicBitCount: the index array of codelengths is corrupted", kUnit);
    bits += static_cast<int64_t>(cl[s]) * clLengths[s];
  }
  const int32_t* lit = lz_.LitCounts();
  for (int32_t s = 0; s < std::min(hlit, 285); ++s)
    bits += static_cast<int64_t>(lit[s]) * (lengths[s] + (s >= 257 ? ArDfLengthExtraBits[s - 257] : 0));
  if (hlit == 286) bits += static_cast<int64_t>(lit[285]) * (lengths[285] + (deflate64_ ? 16 : 0));
  const int32_t* dist = lz_.DistCounts();
  for (int32_t d = 0; d < hdist; ++d)
    bits += static_cast<int64_t>(dist[d]) * (lengths[hlit + d] + ArDfDistanceExtraBits[d]);
  return bits;
}

void TArDfEncoder::WriteDynamicBlock(bool final, bool choose) {
  uint8_t lengths[286 + 32];
  GenerateCodeLengths(15, lz_.LitCounts(), 286, lengths, 0, logger_);
  int32_t hlit = 286;
  while (hlit > 257 && lengths[hlit - 1] == 0) --hlit;
  GenerateCodeLengths(15, lz_.DistCounts(), 32, lengths, hlit, logger_);
  int32_t hdist = 32;
  while (hdist > 1 && lengths[hlit + hdist - 1] == 0) --hdist;
  TArDfCodeLenStream codeLens;
  codeLens.Build(lengths, hlit + hdist);
  uint8_t clLengths[19];
  GenerateCodeLengths(7, codeLens.Counts(), 19, clLengths, 0, logger_);
  int32_t hclen = 19;
  while (hclen > 4 && clLengths[ArDfCodeLengthOrder[hclen - 1]] == 0) --hclen;

  if (choose) {
    const int64_t dynamicBits = CalcDynamicBitCount(lengths, hlit, hdist, codeLens, clLengths, hclen);
    const int64_t staticBits = lz_.StaticBitCount();
    const int64_t storedBits = (static_cast<int64_t>(lz_.CoveredBytes()) + 4) * 8;
    if (staticBits < dynamicBits) {
      if (storedBits < staticBits)
        WriteStoredBlock(final);
      else
        WriteStaticBlock(final);
      return;
    }
    if (storedBits < dynamicBits) {
      WriteStoredBlock(final);
      return;
    }
  }

  TArDfDecodeHuffmanTree clTree(19, tuEncode, 7);
  clTree.Build(clLengths, 0, 19, nullptr, 19);
  TArDfDecodeHuffmanTree litTree(286, tuEncode, 15);
  litTree.Build(lengths, 0, hlit, ArDfLengthExtraBits, 257);
  TArDfDecodeHuffmanTree distTree(deflate64_ ? 32 : 30, tuEncode, 15);
  distTree.Build(lengths, hlit, hdist, ArDfDistanceExtraBits, 0);
  bits_.WriteBits(final ? 5 : 4, 3);
  bits_.WriteBits(static_cast<uint32_t>((hlit - 257) + (hdist - 1) * 32 + (hclen - 4) * 1024), 14);
  for (int32_t i = 0; i < hclen; ++i) bits_.WriteBits(clLengths[ArDfCodeLengthOrder[i]], 3);
  codeLens.Encode(bits_, clTree);
  lz_.Encode(bits_, litTree, deflate64_, distTree);
  WriteEndOfBlock(litTree);
}

void TArDfEncoder::WriteStoredBlock(bool final) {
  int32_t left = lz_.CoveredBytes();
  // An empty block still has to carry the final flag when it is the last.
  do {
    const int32_t n = std::min(left, 65535);
    left -= n;
    bits_.WriteBits(final && left == 0 ? 1 : 0, 3);
    bits_.AlignToByte();
    const uint8_t header[4] = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(~n),
                               static_cast<uint8_t>(~n >> 8)};
    bits_.WriteBuffer(header, 4);
    bits_.WriteBuffer(lz_.TakeStoredBytes(n), n);
  } while (left > 0);
}

// Stored-only mode: blocks of up to 65,535 bytes straight to the output. The count is
// what the source really holds; the progress total only scales the percentages.
uint32_t DeflateStored(TStream* source, TStream* out, const TArDeflateHelper& h) {
  const int64_t here = source->Seek(0, soFromCurrent);
  const int64_t count = source->Seek(0, soFromEnd) - here;
  source->Seek(here, soFromBeginning);
  const bool crc = (h.Options() & OptAdler32) == 0;
  uint32_t checksum = crc ? 0xFFFFFFFFu : 1u;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[65535]);
  static const uint8_t emptyFinal[5] = {1, 0, 0, 0xFF, 0xFF};
  int64_t done = 0;
  if (count <= 0) out->WriteBuffer(emptyFinal, 5);
  while (done < count) {
    const int32_t want = static_cast<int32_t>(std::min<int64_t>(65535, count - done));
    int32_t n = 0;
    while (n < want) {
      const int32_t got = source->Read(buffer.get() + n, want - n);
      if (got <= 0) break;
      n += got;
    }
    if (n == 0) {
      out->WriteBuffer(emptyFinal, 5);  // the source ended before its size said
      break;
    }
    done += n;
    if (h.ProgressHook() && h.ProgressTotal > 0) h.ProgressHook()(ArDfPercent(done, h.ProgressTotal));
    if (crc)
      UpdateCrc32(checksum, buffer.get(), n);
    else
      UpdateAdler32(checksum, buffer.get(), n);
    const bool final = done >= count;
    const uint8_t header[5] = {static_cast<uint8_t>(final ? 1 : 0), static_cast<uint8_t>(n),
                               static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(~n), static_cast<uint8_t>(~n >> 8)};
    out->WriteBuffer(header, 5);
    out->WriteBuffer(buffer.get(), n);
    if (n < want) {
      if (!final) out->WriteBuffer(emptyFinal, 5);
      break;
    }
  }
  return crc ? ~checksum : checksum;
}
}  // namespace

uint32_t Deflate(TStream* source, TStream* dest, TArDeflateHelper* helper) {
  ArDfCheck(source != nullptr, "Deflate: aSource stream cannot be nil", kUnit);
  ArDfCheck(dest != nullptr, "Deflate: aDest stream cannot be nil", kUnit);
  ArDfCheck(!helper || (helper->Options() & 7) != 0, "Deflate: aHelper.Options must enable some kind of archiving",
            kUnit);
  auto h = std::make_unique<TArDeflateHelper>();
  if (helper) h->Assign(*helper);
  const bool deflate64 = (h->Options() & OptDeflate64) != 0;
  const int32_t history = h->HistorySize;
  ArDfCheck(history > 0 && (history & (history - 1)) == 0 && history <= (deflate64 ? 65536 : 32768),
            "Deflate: aHelper.HistorySize must be a power of two up to 32768 (65536 for Deflate64)", kUnit);
  const int64_t sourceStart = source->Seek(0, soFromCurrent);
  const int64_t destStart = dest->Seek(0, soFromCurrent);
  h->ResolveProgressTotal(*source);
  if ((h->Options() & OptLazyMatch) == 0) h->SetLazyMatchLimit(0);
  if (h->TargetMatchLength() == -1) h->SetTargetMatchLength(kUnlimited);
  if (h->LazyMatchLimit() == -1) h->SetLazyMatchLimit(kUnlimited);
  if (h->ChainSearchLimit() == -1) h->SetChainSearchLimit(kUnlimited);
  std::unique_ptr<TArLogger> logger;
  if (!h->LogPath.empty()) {
    logger = std::make_unique<TArLogger>(h->LogPath);
    logger->WriteLine("DEFLATING STREAM...");
    logger->WriteLine("Need to recompile the app with UseLogging turned on");
  }
  std::unique_ptr<TArDfEncryptStream> encrypt;
  TStream* out = dest;
  if (!h->CryptPassword().empty()) {
    encrypt = std::make_unique<TArDfEncryptStream>(dest, h->CryptPassword(), h->CryptHeaderCheck());
    out = encrypt.get();
  }
  uint32_t result;
  try {
    switch (h->Options() & 7) {
      case 1: result = DeflateStored(source, out, *h); break;
      case 2: result = TArDfEncoder(*h, source, out, logger.get(), bmStatic).DeflateStaticDynamic(); break;
      case 4: result = TArDfEncoder(*h, source, out, logger.get(), bmDynamic).DeflateStaticDynamic(); break;
      default: result = TArDfEncoder(*h, source, out, logger.get(), bmChoose).DeflateStaticDynamic(); break;
    }
  } catch (const EArInternalDeflateError& e) { throw EArDeflateError(e.what()); }
  if (helper) {
    helper->UncompressedCount = static_cast<uint32_t>(source->Seek(0, soFromCurrent) - sourceStart);
    helper->CompressedCount = static_cast<uint32_t>(dest->Seek(0, soFromCurrent) - destStart);
  }
  return result;
}
