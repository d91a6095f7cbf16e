#!/usr/bin/env bash
# Longer fuzzing of the zip record readers than CI's minute: builds the fuzz
# configuration and runs for $1 seconds (default 1800) on a scratch corpus.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-1800}
B=${MB_BUILD_DIR:-$here/build}/fuzz
cmake -S "$here" -B "$B" -G Ninja -DMB_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$B" -j "${MB_JOBS:-3}" --target archive_zip_records_fuzzer
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$here/fuzz/archive/seeds/ziprecords/." "$work/"
"$B/fuzz/archive/archive_zip_records_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 "$work"
