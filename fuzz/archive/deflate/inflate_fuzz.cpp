#include "fuzz/archive/deflate/inflate_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return InflateFuzzOne(data, size, false); }
