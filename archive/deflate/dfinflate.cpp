// The inflater decodes one symbol at a time in the order the stream defines, so the
// bytes produced before any failure, the bits consumed and every error are fixed by
// the stream alone. Two paths do that work: a fast loop that runs while the byte
// buffer holds at least two more words (so a whole symbol, length and distance
// included, needs no refill check), and a careful path for the rest that asks the bit
// reader for exactly the widths a one-symbol-at-a-time decoder peeks, so the source is
// read at the same moments either way.
#include "archive/deflate/dfinflate.h"
#include <algorithm>
#include <cstring>
#include <optional>
#include "archive/deflate/dfbits.h"
#include "archive/deflate/dfhuff.h"
#include "archive/deflate/zipcrypt.h"

namespace {
constexpr const char* kUnit = "ArDfDec";
constexpr int32_t kSlack = 16;             // word-wise match copies may run this far past the end
constexpr size_t kExtraRoom = 512 * 1024;  // output between two moves of the unwritten bytes

[[noreturn]] void Fail(const char* cause) { throw EArInternalInflateError(cause); }
}  // namespace

// ---------------------------------------------------------------------------------------
// Output window

TArDfOutputWindow::TArDfOutputWindow(TStream* dest, bool deflate64, bool crc32, int32_t outputLimit, bool testOnly,
                                     TArLogger* logger)
    : checksum_(crc32 ? 0xFFFFFFFFu : 1u), logger_(logger), dest_(dest), testOnly_(testOnly), crc32_(crc32) {
  writePoint_ = deflate64 ? 98304 : 65536;
  room_ = deflate64 ? 65538 : 258;
  // Small outputs never slide: the larger buffer comes with the first slice passed on.
  const size_t size = static_cast<size_t>(writePoint_ + room_ + kSlack);
  buffer_.reset(new uint8_t[size]);
  start_ = cur_ = buffer_.get();
  end_ = buffer_.get() + size;
  outputLimit_ = outputLimit <= 0 ? 0 : std::min(outputLimit, writePoint_);
  stop_ = start_ + (outputLimit_ > 0 ? outputLimit_ : writePoint_);
}

void TArDfOutputWindow::AfterWrite() {
  if (outputLimit_ > 0 && cur_ - start_ >= outputLimit_) throw EArPartSizedInflate();
  // A deflate64 match can carry the position more than one slice past the write point.
  while (cur_ - start_ >= writePoint_) PassOn(false);
}

void TArDfOutputWindow::PassOn(bool flush) {
  const int32_t count = flush ? static_cast<int32_t>(cur_ - start_) : SlideCount;
  if (crc32_)
    UpdateCrc32(checksum_, start_, count);
  else
    UpdateAdler32(checksum_, start_, count);
  if (testOnly_)
    counted_ += count;
  else
    dest_->WriteBuffer(start_, count);
  start_ += count;
  if (flush || end_ - start_ < writePoint_ + room_ + kSlack) {
    const ptrdiff_t keep = cur_ - start_;
    const size_t big = static_cast<size_t>(writePoint_ + room_ + kSlack) + kExtraRoom;
    if (!flush && static_cast<size_t>(end_ - buffer_.get()) < big) {
      std::unique_ptr<uint8_t[]> larger(new uint8_t[big]);
      std::memcpy(larger.get(), start_, static_cast<size_t>(keep));
      buffer_ = std::move(larger);
      end_ = buffer_.get() + big;
    } else {
      std::memmove(buffer_.get(), start_, static_cast<size_t>(keep));
    }
    start_ = buffer_.get();
    cur_ = start_ + keep;
  }
  stop_ = start_ + (outputLimit_ > 0 ? outputLimit_ : writePoint_);
}

void TArDfOutputWindow::CopyMatch(int32_t length, int32_t distance) {
  if (distance > cur_ - start_) Fail("distance is farther back than the output so far [CopyMatch]");
  uint8_t* d = cur_;
  const uint8_t* s = cur_ - distance;
  if (distance >= 8) {
    // Each 8-byte step reads only bytes already in place, so overlap repeats correctly.
    uint8_t* const e = d + length;
    do {
      std::memcpy(d, s, 8);
      d += 8;
      s += 8;
    } while (d < e);
  } else if (distance == 1) {
    std::memset(d, *s, static_cast<size_t>(length));
  } else {
    for (int32_t i = 0; i < length; ++i) d[i] = s[i];
  }
  cur_ += length;
  if (cur_ >= stop_) AfterWrite();
}

void TArDfOutputWindow::PutBytes(const void* buffer, int32_t count) {
  const auto* src = static_cast<const uint8_t*>(buffer);
  while (count > 0) {
    if (cur_ - start_ >= writePoint_) PassOn(false);
    const int32_t n = static_cast<int32_t>(std::min<ptrdiff_t>(count, start_ + writePoint_ - cur_));
    std::memcpy(cur_, src, static_cast<size_t>(n));
    cur_ += n;
    src += n;
    count -= n;
  }
}

int64_t TArDfOutputWindow::OutputPosition() {
  return (testOnly_ ? counted_ : dest_->Seek(0, soFromCurrent)) + (cur_ - start_);
}

void TArDfOutputWindow::Flush() {
  if (cur_ != start_) PassOn(true);
}

uint32_t TArDfOutputWindow::FinishChecksum() {
  Flush();
  return crc32_ ? ~checksum_ : checksum_;
}

// ---------------------------------------------------------------------------------------
// Block decoding

class TArDfInflater {
public:
  TArDfInflater(TArDfInBitStream& in, TArDfOutputWindow& out, bool deflate64)
      : in_(in), out_(out), deflate64_(deflate64), distTree_(deflate64 ? 32 : 30, tuDecode, 15) {
    std::copy(ArDfLengthBase, ArDfLengthBase + 29, lengthBase_);
    if (deflate64) lengthBase_[28] = ArDfLength64Base285;
  }

  void Run() {
    bool final;
    do {
      final = in_.ReadBit() != 0;
      switch (in_.ReadBits(2)) {
        case 0: InflateStoredBlock(); break;
        case 1: DecodeData(ArDfStaticLiteralTree(), ArDfStaticDistanceTree()); break;
        case 2: InflateDynamicBlock(); break;
        default: Fail("starting new block, but invalid block type [Inflate]");
      }
    } while (!final);
  }

private:
  void InflateStoredBlock();
  void InflateDynamicBlock();
  void ReadLitDistCodeLengths(int32_t count);
  void DecodeData(const TArDfDecodeHuffmanTree& litTree, const TArDfDecodeHuffmanTree& distTree);
  // Consumes bits after a peek; the data may end before them.
  void Discard(int32_t count) {
    if (!in_.Need(count)) Fail("no more compressed data in stream [TArDfInBitStream.DiscardBits]");
    in_.Drop(count);
  }
  uint64_t Peek(int32_t count) {
    in_.Need(count);
    return in_.Bits();
  }

  TArDfInBitStream& in_;
  TArDfOutputWindow& out_;
  bool deflate64_;
  uint16_t lengthBase_[29];
  TArDfDecodeHuffmanTree codeLenTree_{19, tuDecode, 7};
  TArDfDecodeHuffmanTree litTree_{286, tuDecode, 15};
  TArDfDecodeHuffmanTree distTree_;
  uint8_t lengths_[318];
};

void TArDfInflater::InflateStoredBlock() {
  in_.AlignToByte();
  uint8_t header[4];
  in_.ReadBuffer(header, 4);
  const uint32_t len = header[0] | (header[1] << 8), nlen = header[2] | (header[3] << 8);
  if (len != (~nlen & 0xFFFF)) Fail("invalid stored block (length and NOT length do not match) [InflateStoredBlock]");
  uint8_t scratch[16384];
  for (uint32_t left = len; left > 0;) {
    const int32_t n = static_cast<int32_t>(std::min<uint32_t>(left, sizeof scratch));
    in_.ReadBuffer(scratch, n);
    out_.PutBytes(scratch, n);
    left -= static_cast<uint32_t>(n);
  }
}

void TArDfInflater::InflateDynamicBlock() {
  const int32_t hlit = static_cast<int32_t>(in_.ReadBits(5)) + 257;
  const int32_t hdist = static_cast<int32_t>(in_.ReadBits(5)) + 1;
  const int32_t hclen = static_cast<int32_t>(in_.ReadBits(4)) + 4;
  if (hlit > 286) Fail("count of literal codes in dynamic block is greater than 286 [InflateDynamicBlock]");
  if (!deflate64_ && hdist > 30)
    Fail("count of distance codes in dynamic block is greater than 30 [InflateDynamicBlock]");
  uint8_t codeLengths[19] = {};
  for (int32_t i = 0; i < hclen; ++i) codeLengths[ArDfCodeLengthOrder[i]] = static_cast<uint8_t>(in_.ReadBits(3));
  codeLenTree_.Build(codeLengths, 0, 19, nullptr, 19);
  ReadLitDistCodeLengths(hlit + hdist);
  litTree_.Build(lengths_, 0, hlit, ArDfLengthExtraBits, 257);
  distTree_.Build(lengths_, hlit, hdist, ArDfDistanceExtraBits, 0);
  DecodeData(litTree_, distTree_);
}

void TArDfInflater::ReadLitDistCodeLengths(int32_t count) {
  std::memset(lengths_, 0, sizeof lengths_);
  const int32_t lookup = codeLenTree_.LookupBitLength();
  for (int32_t n = 0; n < count;) {
    const uint64_t bits = Peek(lookup + 7);
    const uint32_t entry = codeLenTree_.Lookup(bits);
    const uint32_t symbol = entry & 0xFFFF;
    const int32_t length = static_cast<int32_t>((entry >> 16) & 0xFF);
    if (symbol > 18) Fail("decoded a symbol not between 0 and 18 {ReadLitDistCodeLengths}");
    if (length == 0 || length > lookup) Fail("decoded a code length out of range {ReadLitDistCodeLengths}");
    if (symbol < 16) {
      Discard(length);
      lengths_[n++] = static_cast<uint8_t>(symbol);
      continue;
    }
    int32_t repeat;
    uint8_t value = 0;
    if (symbol == 16) {
      if (n == 0) Fail("repeat of a previous code length without one {ReadLitDistCodeLengths}");
      repeat = 3 + static_cast<int32_t>((bits >> length) & 3);
      value = lengths_[n - 1];
      Discard(length + 2);
    } else if (symbol == 17) {
      repeat = 3 + static_cast<int32_t>((bits >> length) & 7);
      Discard(length + 3);
    } else {
      repeat = 11 + static_cast<int32_t>((bits >> length) & 0x7F);
      Discard(length + 7);
    }
    // A repeat running past the count is accepted; what lies beyond is dropped.
    repeat = std::min(repeat, count - n);
    std::memset(lengths_ + n, value, static_cast<size_t>(repeat));
    n += repeat;
  }
}

void TArDfInflater::DecodeData(const TArDfDecodeHuffmanTree& litTree, const TArDfDecodeHuffmanTree& distTree) {
  const int32_t litPeek = litTree.LookupBitLength() + (deflate64_ ? 16 : 5);
  const int32_t distPeek = distTree.LookupBitLength() + 14;
  const uint32_t maxDistSymbol = deflate64_ ? 31 : 29;

  for (;;) {
    // Fast loop: the state lives in locals and goes back to the reader and the window
    // before anything that may throw or look at it.
    if (in_.Unread() >= 8) {
      uint64_t bb = in_.bitBuf_;
      int32_t bc = in_.bitCount_;
      const uint8_t* ip = in_.ptr_;
      const uint8_t* const ie = in_.end_;
      uint8_t* op = out_.cur_;
      const uint8_t* stop = out_.stop_;
      const uint8_t* outStart = out_.start_;
      auto load = [&] {
        uint32_t w;
        std::memcpy(&w, ip, 4);
        if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap32(w);
        ip += 4;
        bb |= static_cast<uint64_t>(w) << bc;
        bc += 32;
      };
      auto sync = [&] {
        in_.bitBuf_ = bb;
        in_.bitCount_ = bc;
        in_.ptr_ = const_cast<uint8_t*>(ip);
        out_.cur_ = op;
      };
      auto resume = [&] {
        bb = in_.bitBuf_;
        bc = in_.bitCount_;
        op = out_.cur_;
        stop = out_.stop_;
        outStart = out_.start_;
      };
      while (ie - ip >= 8) {
        if (bc <= 32) load();
        uint32_t entry = litTree.Lookup(bb);
        uint32_t symbol = entry & 0xFFFF;
        int32_t codeLen = static_cast<int32_t>((entry >> 16) & 0xFF);
        if (symbol < 256) {
          *op++ = static_cast<uint8_t>(symbol);
          if (op >= stop) {
            sync();
            out_.AfterWrite();
            resume();
          }
          bb >>= codeLen;
          bc -= codeLen;
          // A second literal without going round the loop when the bits are there.
          if (bc < 15) continue;
          entry = litTree.Lookup(bb);
          symbol = entry & 0xFFFF;
          codeLen = static_cast<int32_t>((entry >> 16) & 0xFF);
          if (symbol >= 256 || codeLen > bc) continue;
          *op++ = static_cast<uint8_t>(symbol);
          if (op >= stop) {
            sync();
            out_.AfterWrite();
            resume();
          }
          bb >>= codeLen;
          bc -= codeLen;
          continue;
        }
        if (symbol == 256) {
          bb >>= codeLen;
          bc -= codeLen;
          sync();
          return;
        }
        if (symbol > 285) {
          sync();
          Fail("decoded an invalid length symbol: greater than 285 [DecodeData]");
        }
        int32_t length;
        if (symbol == 285 && !deflate64_) {
          length = 258;
          bb >>= codeLen;
          bc -= codeLen;
        } else {
          const int32_t extra = static_cast<int32_t>(entry >> 24);
          length = lengthBase_[symbol - 257] + static_cast<int32_t>((bb >> codeLen) & ((1u << extra) - 1));
          bb >>= codeLen + extra;
          bc -= codeLen + extra;
        }
        if (bc <= 32) load();
        entry = distTree.Lookup(bb);
        symbol = entry & 0xFFFF;
        if (symbol > maxDistSymbol) {
          sync();
          if (!deflate64_) Fail("decoded an invalid distance symbol: greater than 29 [DecodeData]");
          Fail("decoded an invalid distance symbol: not assigned [DecodeData]");
        }
        codeLen = static_cast<int32_t>((entry >> 16) & 0xFF);
        const int32_t extra = static_cast<int32_t>(entry >> 24);
        const int32_t distance =
            static_cast<int32_t>(ArDfDistanceBase[symbol] + ((bb >> codeLen) & ((1u << extra) - 1)));
        bb >>= codeLen + extra;
        bc -= codeLen + extra;
        if (distance > op - outStart) {
          sync();
          Fail("distance is farther back than the output so far [CopyMatch]");
        }
        const uint8_t* s = op - distance;
        if (distance >= 8) {
          uint8_t* const e = op + length;
          do {
            std::memcpy(op, s, 8);
            op += 8;
            s += 8;
          } while (op < e);
          op = e;
        } else if (distance == 1) {
          std::memset(op, *s, static_cast<size_t>(length));
          op += length;
        } else {
          for (int32_t i = 0; i < length; ++i) op[i] = s[i];
          op += length;
        }
        if (op >= stop) {
          sync();
          out_.AfterWrite();
          resume();
        }
      }
      sync();
    }

    // Careful path: one symbol, peeking the widths the format allows for.
    uint64_t bits = Peek(litPeek);
    uint32_t entry = litTree.Lookup(bits);
    uint32_t symbol = entry & 0xFFFF;
    int32_t codeLen = static_cast<int32_t>((entry >> 16) & 0xFF);
    if (symbol < 256) {
      out_.PutLiteral(static_cast<uint8_t>(symbol));
      Discard(codeLen);
      continue;
    }
    if (symbol == 256) {
      Discard(codeLen);
      return;
    }
    if (symbol > 285) Fail("decoded an invalid length symbol: greater than 285 [DecodeData]");
    int32_t length;
    if (symbol == 285 && !deflate64_) {
      length = 258;
      Discard(codeLen);
    } else {
      const int32_t extra = static_cast<int32_t>(entry >> 24);
      length = lengthBase_[symbol - 257] + static_cast<int32_t>((bits >> codeLen) & ((1u << extra) - 1));
      Discard(codeLen + extra);
    }
    bits = Peek(distPeek);
    entry = distTree.Lookup(bits);
    symbol = entry & 0xFFFF;
    if (symbol > maxDistSymbol) {
      if (!deflate64_) Fail("decoded an invalid distance symbol: greater than 29 [DecodeData]");
      Fail("decoded an invalid distance symbol: not assigned [DecodeData]");
    }
    codeLen = static_cast<int32_t>((entry >> 16) & 0xFF);
    const int32_t extra = static_cast<int32_t>(entry >> 24);
    const int32_t distance = static_cast<int32_t>(ArDfDistanceBase[symbol] + ((bits >> codeLen) & ((1u << extra) - 1)));
    Discard(codeLen + extra);
    out_.CopyMatch(length, distance);
  }
}

// ---------------------------------------------------------------------------------------

uint32_t Inflate(TStream* source, TStream* dest, TArDeflateHelper* helper) {
  ArDfCheck(source != nullptr, "Deflate: aSource stream cannot be nil", kUnit);
  ArDfCheck(dest != nullptr, "Deflate: aDest stream cannot be nil", kUnit);
  auto h = std::make_unique<TArDeflateHelper>();
  if (helper) h->Assign(*helper);
  const int64_t sourceStart = source->Seek(0, soFromCurrent);
  const int64_t destStart = dest->Seek(0, soFromCurrent);
  if (!h->ProgressHook()) {
    h->SetProgressHook(nullptr);
    h->ProgressTotal = 0;
  } else if (h->ProgressTotal == -1) {
    h->ProgressTotal = static_cast<int32_t>(source->Size());
  }
  std::unique_ptr<TArLogger> logger;
  if (!h->LogPath.empty()) {
    logger = std::make_unique<TArLogger>(h->LogPath);
    logger->WriteLine("INFLATING STREAM...");
    logger->WriteLine("Need to recompile the app with UseLogging turned on");
  }
  const bool testOnly = (h->Options() & OptTestOnly) != 0;
  std::unique_ptr<TArDfDecryptStream> decrypt;
  std::optional<TArDfInBitStream> in;
  std::optional<TArDfOutputWindow> out;
  uint32_t result = 0;
  int64_t testOnlyCount = 0;

  // Clean-up in a fixed order: the window passes on what it holds, then the reader
  // gives back its read-ahead. While an exception is already on its way, failures here
  // give way to it.
  auto cleanUp = [&](bool quiet) {
    h.reset();
    try {
      if (out) {
        out->Flush();
        testOnlyCount = out->OutputPosition();
      }
    } catch (...) {
      if (!quiet) {
        try {
          if (in) in->GiveBack();
        } catch (...) {}
        throw;
      }
    }
    try {
      if (in) in->GiveBack();
    } catch (...) {
      if (!quiet) throw;
    }
  };

  try {
    TStream* input = source;
    if (!h->CryptPassword().empty()) {
      decrypt = std::make_unique<TArDfDecryptStream>(source, h->CryptPassword(), h->CryptHeaderCheck());
      if (!decrypt->VerifyStreamHeader()) throw EArInflatePasswordError();
      input = decrypt.get();
    }
    in.emplace(input, h->ProgressTotal, h->ProgressHook());
    out.emplace(dest, (h->Options() & OptDeflate64) != 0, (h->Options() & OptAdler32) == 0, h->OutputLimit, testOnly,
                logger.get());
    TArDfInflater inflater(*in, *out, (h->Options() & OptDeflate64) != 0);
    inflater.Run();
    result = out->FinishChecksum();
  } catch (const EArPartSizedInflate&) { result = 0; } catch (const EArAbortProgress&) {
    result = 0;
  } catch (const EArInternalInflateError& e) {
    if (logger) logger->WriteLine(std::string("Internal exception raised: ") + e.what());
    cleanUp(true);
    throw EArInflateError(e.what());
  } catch (...) {
    cleanUp(true);
    throw;
  }
  cleanUp(false);
  if (helper) {
    if (testOnly)
      helper->UncompressedCount = static_cast<uint32_t>(testOnlyCount);
    else
      helper->UncompressedCount = static_cast<uint32_t>(dest->Seek(0, soFromCurrent) - destStart);
    helper->CompressedCount = static_cast<uint32_t>(source->Seek(0, soFromCurrent) - sourceStart);
  }
  return result;
}
