// CRC-32 by carry-less multiplication: the processor folds the data 64 bytes at a time
// into a 128-bit remainder that the table code then finishes. Used by UpdateCrc32Buffer
// where the processor has the instruction (checked once at run time); the values are
// those of the table code.
#pragma once
#include <cstddef>
#include <cstdint>

// Whether this processor can run FoldCrc32.
bool Crc32FoldSupported();
// Folds count bytes (a multiple of 16, at least 64) with the running value crc into 16
// bytes whose CRC-32 from 0 equals the running value after the whole buffer.
void FoldCrc32(uint32_t crc, const uint8_t* data, size_t count, uint8_t remainder[16]);
