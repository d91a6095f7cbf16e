#!/usr/bin/env bash
# Fetches 50 MB (50 * 2^20 bytes) from a loopback test server with the download component under
# wine64 and with the host's curl, in the same run and from the same server, and prints MB/s
# (10^6 bytes per second) and the ratio. MB_BENCH_RUNS sets the runs per client (default 3).
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
B=${MB_BUILD_DIR:-$here/build}/windows
runs=${MB_BENCH_RUNS:-3}
size=$((50 * 1024 * 1024))
cmake -S "$here" -B "$B" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" >/dev/null
cmake --build "$B" -j 3 --target download_bench >/dev/null

work=$(mktemp -d /tmp/mb-fetchbench.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -n "${own_prefix:-}" ] && { wineserver -k 2>/dev/null || true; rm -rf "$own_prefix"; }
  rm -rf "$work"
}
trap cleanup EXIT
py=/usr/bin/python3; [ -x "$py" ] || py=python3
"$py" "$here/tools/testserver/server.py" --port-file "$work/port" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")
url="http://127.0.0.1:$port/body/$size"
unset http_proxy HTTP_PROXY all_proxy ALL_PROXY

if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:$((100 + RANDOM % 800))
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
fi
if [ -z "${WINEPREFIX:-}" ]; then
  own_prefix=$(mktemp -d /tmp/mb-benchwine.XXXXXX)
  export WINEPREFIX=$own_prefix
fi
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true

curl -s -o /dev/null "$url"  # warms the server's pattern cache
: >"$work/times"
for _ in $(seq "$runs"); do
  t=$(curl -s -o "$work/curl.bin" -w '%{time_total}' "$url")
  echo "curl $(stat -c %s "$work/curl.bin") $t" >>"$work/times"
done
/usr/lib/wine/wine64 "$B/bench/download/download_bench.exe" "$url" "$(echo "Z:$work/fetch.bin" | tr / '\\')" "$runs" \
  >>"$work/times"

"$py" - "$work/times" "$size" <<'PY'
import sys, statistics
rows = [l.split() for l in open(sys.argv[1]) if l.strip()]
size = int(sys.argv[2])
by = {}
for mode, n, s in rows:
    if int(n) != size:
        sys.exit("%s moved %s bytes, expected %d" % (mode, n, size))
    by.setdefault(mode, []).append(size / float(s) / 1e6)
names = {"curl": "host curl", "progress": "component, progress handler set",
         "noprogress": "component, no progress handler"}
print("| client | median MB/s | best MB/s | runs |")
print("|---|---|---|---|")
for mode in ("curl", "progress", "noprogress"):
    v = by[mode]
    print("| %s | %.1f | %.1f | %d |" % (names[mode], statistics.median(v), max(v), len(v)))
c = statistics.median(by["curl"])
for mode in ("progress", "noprogress"):
    print("ratio %s / curl (median): %.3f" % (names[mode], statistics.median(by[mode]) / c))
PY
