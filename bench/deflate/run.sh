#!/usr/bin/env bash
# Builds the native benchmark and runs it once over a corpus made here from files every
# Debian machine with g++ has: a tar of /usr/include (its first 32 MiB), the C++ runtime
# library, several MB of text from the package database and licence texts, and the two
# ends of the scale made here: 20 MB of random bytes and 20 MB of zeros.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${MB_BENCH_BUILD:-$here/build/native}
cmake -S "$here" -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j "${MB_JOBS:-3}" --target deflate_bench >/dev/null
corpus=$(mktemp -d /tmp/deflate-corpus.XXXXXX)
trap 'rm -rf "$corpus"' EXIT
tar cf - -C /usr include 2>/dev/null | head -c 33554432 >"$corpus/usr-include.tar" || true
lib=$(ls /usr/lib/*/libstdc++.so.6.* 2>/dev/null | head -n1)
cp "$lib" "$corpus/libstdc++.so"
{ cat /var/lib/dpkg/status /usr/share/common-licenses/*; find /usr/share/doc -name copyright -exec cat {} +; } 2>/dev/null \
  | head -c 8388608 >"$corpus/text.txt" || true
head -c 20000000 /dev/urandom >"$corpus/random-20M"
head -c 20000000 /dev/zero >"$corpus/zeros-20M"
cd "$corpus"
echo "load: $(uptime | sed 's/.*load average: //')"
"$build/bench/deflate/deflate_bench" usr-include.tar libstdc++.so text.txt random-20M zeros-20M
echo "load: $(uptime | sed 's/.*load average: //')"
