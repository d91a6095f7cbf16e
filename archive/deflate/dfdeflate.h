// Compression into raw deflate and deflate64 streams.
#pragma once
#include <cstdint>
#include <memory>
#include "archive/deflate/dfbase.h"

// Compresses the rest of the source into one stream on the destination and returns the
// checksum of the bytes compressed (CRC-32 unless OptAdler32). With a helper, also
// reports CompressedCount and UncompressedCount. The source must allow seeking whenever
// stored blocks are possible; HistorySize must be a power of two up to 32768 (65536 for
// deflate64).
uint32_t Deflate(TStream* source, TStream* dest, TArDeflateHelper* helper = nullptr);

// While one lives, the encoders this thread runs hand their hash heads (the tables whose
// size is the hash's, not the input's) on to the next one, emptied, instead of each
// allocating and clearing its own: a save of many small items sets them up once.
// Keepers nest (the innermost is current) and end in reverse order, each freeing what it
// holds; the encoders run while one lives must end before it.
class TArDeflateTableKeeper {
public:
  TArDeflateTableKeeper();
  ~TArDeflateTableKeeper();
  TArDeflateTableKeeper(const TArDeflateTableKeeper&) = delete;
  TArDeflateTableKeeper& operator=(const TArDeflateTableKeeper&) = delete;

  static TArDeflateTableKeeper* Current();  // null when none lives on this thread

  // Between two encoders, every slot of a head held here is empty.
  std::unique_ptr<uint32_t[]> Head, DeepHead;

private:
  TArDeflateTableKeeper* outer_;
};
