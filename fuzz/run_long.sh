#!/usr/bin/env bash
# Longer fuzzing than CI's minute: run_long.sh [seconds per fuzzer, default 600] [ctest regex].
# Builds a fuzz configuration of its own (build/fuzz-long) with that time and runs the chosen
# fuzzers side by side; crash inputs land in that build's fuzz folders as crash-*.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
pattern=${2:-.}
B=${MB_BUILD_DIR:-$here/build}/fuzz-long
cmake -S "$here" -B "$B" -G Ninja -DMB_FUZZ=ON -DMB_FUZZ_SECONDS="$seconds" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$B" -j "${MB_JOBS:-$(nproc)}" >/dev/null
cd "$B" && ctest --output-on-failure -L fuzz -R "$pattern" -j "${MB_JOBS:-$(nproc)}"
