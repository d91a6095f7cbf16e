// The inflater decodes one symbol at a time in the order the stream defines, so the
// bytes produced before any failure, the bits consumed and every error are fixed by
// the stream alone. Two paths do that work: a fast loop that runs while the byte
// buffer holds a few more words (so that its refills never need the source), and a
// careful path for the rest that asks the bit reader for exactly the widths a
// one-symbol-at-a-time decoder peeks, so the source is read at the same moments either
// way. Both decode through tables whose entries carry the literal, or the length or
// distance base with its extra bits (dfinftable.h).
#include "archive/deflate/dfinflate.h"
#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>
#include "archive/deflate/dfbits.h"
#include "archive/deflate/dfhuff.h"
#include "archive/deflate/dfinftable.h"
#include "archive/deflate/zipcrypt.h"

namespace {
constexpr const char* kUnit = "ArDfDec";
constexpr int32_t kSlack = 16;             // match copies may run this far past the end
constexpr size_t kExtraRoom = 512 * 1024;  // output between two moves of the unwritten bytes

// Bytes the fast loop needs in the byte buffer: each of the three refills of one
// iteration reads eight bytes and takes at most seven.
constexpr ptrdiff_t kFastMargin = 24;

[[noreturn]] void Fail(const char* cause) { throw EArInternalInflateError(cause); }

// Copies a match of `length` bytes from `from` (below `to`) and returns its end. Works
// in steps of sixteen or eight bytes and may write up to fifteen bytes past the end,
// which the window keeps room for (kSlack). Each step reads only bytes already in
// place, so a match that overlaps itself repeats as it must: a distance below eight
// first writes eight bytes one at a time and then copies from the nearest multiple of
// the distance that is at least eight bytes back.
inline uint8_t* CopyBytes(uint8_t* to, const uint8_t* from, uint32_t length) {
  uint8_t* const end = to + length;
  const size_t distance = static_cast<size_t>(to - from);
  if (distance >= 16) {
    do {
      std::memcpy(to, from, 16);
      to += 16;
      from += 16;
    } while (to < end);
  } else if (distance >= 8) {
    do {
      std::memcpy(to, from, 8);
      to += 8;
      from += 8;
    } while (to < end);
  } else if (distance == 1) {
    const uint64_t v = 0x0101010101010101ull * *from;
    do {
      std::memcpy(to, &v, 8);
      to += 8;
    } while (to < end);
  } else {
    for (int i = 0; i < 8; ++i) to[i] = from[i];
    const size_t back = (8 + distance - 1) / distance * distance;
    for (to += 8; to < end; to += 8) std::memcpy(to, to - back, 8);
  }
  return end;
}
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

void TArDfOutputWindow::PassOn(bool flush, int32_t carry) {
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
      std::memcpy(larger.get(), start_, static_cast<size_t>(keep + carry));
      buffer_ = std::move(larger);
      end_ = buffer_.get() + big;
    } else {
      std::memmove(buffer_.get(), start_, static_cast<size_t>(keep + carry));
    }
    start_ = buffer_.get();
    cur_ = start_ + keep;
  }
  stop_ = start_ + (outputLimit_ > 0 ? outputLimit_ : writePoint_);
}

void TArDfOutputWindow::CopyMatch(int32_t length, int32_t distance) {
  if (distance > cur_ - start_) Fail("distance is farther back than the output so far [CopyMatch]");
  cur_ = CopyBytes(cur_, cur_ - distance, static_cast<uint32_t>(length));
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

void TArDfOutputWindow::Accept(int32_t count) {
  while (count > 0) {
    if (cur_ - start_ >= writePoint_) PassOn(false, count);
    const int32_t n = static_cast<int32_t>(std::min<ptrdiff_t>(count, start_ + writePoint_ - cur_));
    cur_ += n;
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
      : in_(in), out_(out), deflate64_(deflate64) {}

  void Run() {
    bool final;
    do {
      final = in_.ReadBit() != 0;
      switch (in_.ReadBits(2)) {
        case 0: InflateStoredBlock(); break;
        case 1:
          DecodeData(TArDfInflateTable::StaticLiteralLength(deflate64_), TArDfInflateTable::StaticDistance(deflate64_));
          break;
        case 2: InflateDynamicBlock(); break;
        default: Fail("starting new block, but invalid block type [Inflate]");
      }
    } while (!final);
  }

private:
  void InflateStoredBlock();
  void InflateDynamicBlock();
  void ReadLitDistCodeLengths(int32_t count);
  void DecodeData(const TArDfInflateTable& litTable, const TArDfInflateTable& distTable);
  template <bool Deflate64>
  bool DecodeFast(const TArDfInflateTable& litTable, const TArDfInflateTable& distTable);
  void SyncFast(uint64_t bb, int32_t bc, const uint8_t* ip, uint8_t* op, const uint8_t* wordBase);
  [[noreturn]] void InvalidDistance() const {
    if (!deflate64_) Fail("decoded an invalid distance symbol: greater than 29 [DecodeData]");
    Fail("decoded an invalid distance symbol: not assigned [DecodeData]");
  }
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
  TArDfDecodeHuffmanTree codeLenTree_{19, tuDecode, 7};
  TArDfInflateTable litTable_;
  TArDfInflateTable distTable_;
  uint8_t lengths_[318];
};

void TArDfInflater::InflateStoredBlock() {
  in_.AlignToByte();
  uint8_t header[4];
  in_.ReadBuffer(header, 4);
  const uint32_t len = header[0] | (header[1] << 8), nlen = header[2] | (header[3] << 8);
  if (len != (~nlen & 0xFFFF)) Fail("invalid stored block (length and NOT length do not match) [InflateStoredBlock]");
  // Piece by piece, each read in full before any of it is passed on. A piece goes
  // straight into the output buffer where it fits (once the buffer has grown, nearly
  // always), saving a copy of every stored byte.
  uint8_t scratch[16384];
  for (uint32_t left = len; left > 0;) {
    const int32_t n = static_cast<int32_t>(std::min<uint32_t>(left, sizeof scratch));
    if (uint8_t* const to = out_.Space(n)) {
      in_.ReadBuffer(to, n);
      out_.Accept(n);
    } else {
      in_.ReadBuffer(scratch, n);
      out_.PutBytes(scratch, n);
    }
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
  litTable_.Build(lengths_, hlit, TArDfInflateTable::tkLiteralLength, deflate64_);
  distTable_.Build(lengths_ + hlit, hdist, TArDfInflateTable::tkDistance, deflate64_);
  DecodeData(litTable_, distTable_);
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

void TArDfInflater::DecodeData(const TArDfInflateTable& litTable, const TArDfInflateTable& distTable) {
  using T = TArDfInflateTable;
  const int32_t litPeek = litTable.LookupBitLength() + (deflate64_ ? 16 : 5);
  const int32_t distPeek = distTable.LookupBitLength() + 14;
  for (;;) {
    if (in_.Unread() >= kFastMargin &&
        (deflate64_ ? DecodeFast<true>(litTable, distTable) : DecodeFast<false>(litTable, distTable)))
      return;

    // Careful path: one symbol, peeking the widths the format allows for.
    uint64_t bits = Peek(litPeek);
    uint32_t entry = litTable.Lookup(bits);
    if (entry & T::Literal) {
      out_.PutLiteral(static_cast<uint8_t>(T::Value(entry)));
      Discard(T::Drop(entry));
      continue;
    }
    if (entry & T::Special) {
      if (entry & T::KindEnd) {
        Discard(T::Drop(entry));
        return;
      }
      Fail("decoded an invalid length symbol: greater than 285 [DecodeData]");
    }
    const int32_t length = static_cast<int32_t>(T::BaseAndExtra(entry, bits));
    Discard(T::Drop(entry));
    bits = Peek(distPeek);
    entry = distTable.Lookup(bits);
    if (entry & T::Special) InvalidDistance();
    const int32_t distance = static_cast<int32_t>(T::BaseAndExtra(entry, bits));
    Discard(T::Drop(entry));
    out_.CopyMatch(length, distance);
  }
}

// The fast loop: runs while the byte buffer holds at least kFastMargin more bytes, so
// that every refill can load eight bytes and none needs the source. Its state lives in
// locals (never captured, so that they stay in registers) and goes back to the reader
// and the window before anything that may throw or look at it.
//
// Refills are branch-free and take whole bytes: eight bytes are or-ed in above the held
// bits and the count grows by the whole bytes that fit, to 56..63 bits. That is enough
// for three literals, or a length code with its extra bits followed by a distance code
// with its extra bits (deflate64 refills in between). The bits above the count are the
// stream's following bits; the next refill or-s the same bits in again at the same
// place.
//
// The reader itself takes bytes only as whole words, and where its word boundaries lie
// decides when the source is read. So the state handed back is the word-aligned one
// for the same consumed bits: the bytes taken beyond the last word boundary go back to
// the byte buffer, or, when bits of the word they start were already consumed, the
// rest of that word is taken too (see SyncFast).
namespace {
using T = TArDfInflateTable;

inline void Refill(uint64_t& bb, int32_t& bc, const uint8_t*& ip) {
  uint64_t w;
  std::memcpy(&w, ip, 8);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
  bb |= w << bc;  // bc is at most 63 here: every refill follows a consumed code
  ip += (63 - bc) >> 3;
  bc |= 56;
}

inline void Consume(uint64_t& bb, int32_t& bc, uint32_t e) {
  bb >>= e & T::DropMask;
  bc -= static_cast<int32_t>(e & T::DropMask);
}
}  // namespace

void TArDfInflater::SyncFast(uint64_t bb, int32_t bc, const uint8_t* ip, uint8_t* op, const uint8_t* wordBase) {
  const int32_t beyond = static_cast<int32_t>((ip - wordBase) & 3);
  if (bc >= 8 * beyond) {
    ip -= beyond;
    bc -= 8 * beyond;
  } else {
    uint64_t w;
    std::memcpy(&w, ip, 8);
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
    bb = (bb & ((uint64_t(1) << bc) - 1)) | (w << bc);
    ip += 4 - beyond;
    bc += 8 * (4 - beyond);
  }
  in_.bitBuf_ = bc < 64 ? bb & ((uint64_t(1) << bc) - 1) : bb;
  in_.bitCount_ = bc;
  in_.ptr_ = const_cast<uint8_t*>(ip);
  out_.cur_ = op;
}

template <bool Deflate64>
bool TArDfInflater::DecodeFast(const TArDfInflateTable& litTable, const TArDfInflateTable& distTable) {
  uint64_t bb = in_.bitBuf_;
  int32_t bc = in_.bitCount_;
  const uint8_t* ip = in_.ptr_;
  const uint8_t* const wordBase = ip;
  const uint8_t* const ilimit = in_.end_ - kFastMargin;
  uint8_t* op = out_.cur_;
  const uint8_t* stop = out_.stop_;
  const uint8_t* outStart = out_.start_;
  const uint32_t* const lit = litTable.Entries();
  const uint32_t* const dist = distTable.Entries();
  // The output limit and the slides are rare: the window's own code does them.
#define MB_AFTER_WRITE()                \
  if (op >= stop) {                     \
    SyncFast(bb, bc, ip, op, wordBase); \
    out_.AfterWrite();                  \
    op = out_.cur_;                     \
    stop = out_.stop_;                  \
    outStart = out_.start_;             \
  }
  // A literal's bits go only after the output limit test, as in the careful path.
#define MB_LITERAL()                         \
  *op++ = static_cast<uint8_t>(T::Value(e)); \
  MB_AFTER_WRITE()                           \
  Consume(bb, bc, e);

  while (ip <= ilimit) {
    Refill(bb, bc, ip);
    uint32_t e = T::LookupIn(lit, T::LiteralRootBits, bb);
    if (e & T::Literal) {
      MB_LITERAL()
      e = T::LookupIn(lit, T::LiteralRootBits, bb);
      if (e & T::Literal) {
        MB_LITERAL()
        e = T::LookupIn(lit, T::LiteralRootBits, bb);
        if (e & T::Literal) {
          MB_LITERAL()
          continue;
        }
      }
      Refill(bb, bc, ip);
    }
    if (e & T::Special) {
      if (e & T::KindEnd) {
        Consume(bb, bc, e);
        SyncFast(bb, bc, ip, op, wordBase);
        return true;
      }
      SyncFast(bb, bc, ip, op, wordBase);
      Fail("decoded an invalid length symbol: greater than 285 [DecodeData]");
    }
    const uint32_t length = T::BaseAndExtra(e, bb);
    Consume(bb, bc, e);
    if (Deflate64) Refill(bb, bc, ip);
    e = T::LookupIn(dist, T::DistanceRootBits, bb);
    if (e & T::Special) {
      SyncFast(bb, bc, ip, op, wordBase);
      InvalidDistance();
    }
    const uint32_t distance = T::BaseAndExtra(e, bb);
    Consume(bb, bc, e);
    if (distance > static_cast<uint32_t>(op - outStart)) {
      SyncFast(bb, bc, ip, op, wordBase);
      Fail("distance is farther back than the output so far [CopyMatch]");
    }
    op = CopyBytes(op, op - distance, length);
    MB_AFTER_WRITE()
  }
#undef MB_LITERAL
#undef MB_AFTER_WRITE
  SyncFast(bb, bc, ip, op, wordBase);
  return false;
}

// ---------------------------------------------------------------------------------------

uint32_t Inflate(TStream* source, TStream* dest, TArDeflateHelper* helper) {
  ArDfCheck(source != nullptr, "Deflate: aSource stream cannot be nil", kUnit);
  ArDfCheck(dest != nullptr, "Deflate: aDest stream cannot be nil", kUnit);
  auto h = std::make_unique<TArDeflateHelper>();
  if (helper) h->Assign(*helper);
  const int64_t sourceStart = source->Seek(0, soFromCurrent);
  const int64_t destStart = dest->Seek(0, soFromCurrent);
  h->ResolveProgressTotal(*source);
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
