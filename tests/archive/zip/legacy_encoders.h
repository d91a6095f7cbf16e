// Encoders of the legacy zip methods, for tests only: no tool here writes them, so the
// decoders are checked by round trips through these and, where the system's unzip tools
// read the method, by those tools accepting what these write.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

using TBytes = std::vector<uint8_t>;

// Method 1. clearEvery > 0 forces a partial clear after that many codes (at a point where
// the decoder's table stays consistent); a full table triggers one too. Streams that fill
// the table or clear it follow the decoder's rule and are refused by unzip, which
// handles a full table differently; streams that do neither are read by both.
TBytes ShrinkEncode(const TBytes& data, int clearEvery = 0);
// Methods 2..5 (factor 1..4). With followers, follower sets are built from the data.
TBytes ReduceEncode(const TBytes& data, int factor, bool followers);
// Method 6. bigDictionary: 8 KB (general purpose bit 1); literalTree: 3 trees (bit 2).
TBytes ImplodeEncode(const TBytes& data, bool bigDictionary, bool literalTree);

// Plain LSB-first bit writer shared by the encoders and by tests that hand-craft streams.
class TBitWriter {
public:
  void Put(uint32_t value, int bits);
  TBytes Finish();

private:
  TBytes out_;
  uint64_t acc_ = 0;
  int n_ = 0;
};

// Sample inputs: repetitive text and mixed binary.
TBytes SampleText(size_t size);
TBytes SampleBinary(size_t size, uint32_t seed);
