#!/usr/bin/env bash
# Runs the engine's fuzzers for as long as asked: run-long.sh [seconds per fuzzer] [jobs].
# Builds the clang libFuzzer configuration first; findings land in build/fuzz/findings.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-600}
jobs=${2:-1}
build=${MB_FUZZ_BUILD:-$here/build/fuzz}
cmake -S "$here" -B "$build" -G Ninja -DMB_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j "${MB_JOBS:-3}" --target fuzz_inflate fuzz_inflate64 fuzz_deflate_roundtrip >/dev/null
mkdir -p "$build/findings"
for target in fuzz_inflate fuzz_inflate64 fuzz_deflate_roundtrip; do
  case $target in
    fuzz_inflate) seeds=inflate ;;
    fuzz_inflate64) seeds=inflate64 ;;
    *) seeds=roundtrip ;;
  esac
  corpus="$build/long-corpus/$target"
  mkdir -p "$corpus"
  cp -n "$here/fuzz/deflate/seeds/$seeds"/* "$corpus"/ 2>/dev/null || true
  echo "== $target for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1 "$build/fuzz/deflate/$target" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -jobs="$jobs" -workers="$jobs" -print_final_stats=1 \
    -artifact_prefix="$build/findings/$target-" "$corpus"
done
