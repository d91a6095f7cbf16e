// Compression into raw deflate and deflate64 streams.
#pragma once
#include <cstdint>
#include "archive/deflate/dfbase.h"

// Compresses the rest of the source into one stream on the destination and returns the
// checksum of the bytes compressed (CRC-32 unless OptAdler32). With a helper, also
// reports CompressedCount and UncompressedCount. The source must allow seeking whenever
// stored blocks are possible; HistorySize must be a power of two up to 32768 (65536 for
// deflate64).
uint32_t Deflate(TStream* source, TStream* dest, TArDeflateHelper* helper = nullptr);
