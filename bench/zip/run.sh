#!/usr/bin/env bash
# Wall time of extracting the interoperability archives: the unzipper (as the update
# client drives it) against Info-ZIP unzip -o -qq and bsdtar -xf, same files, same run.
# Each cell is the median of RUNS extractions into a fresh folder, process start included.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${MB_BENCH_BUILD:-$root/build/native}
runs=${RUNS:-15}
cmake --build "$build" --target unzip_bench -j3 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bash "$root/tests/archive/zip/make_corpus.sh" "$work/corpus" >/dev/null
# A larger tree too, so the decoding and not the process start dominates.
mkdir -p "$work/big"
for i in 1 2 3 4 5 6 7 8; do cp -r "$work/corpus/src" "$work/big/copy$i"; done
(cd "$work/big" && zip -q -r ../corpus/big_deflate.zip . && zip -q -r -0 ../corpus/big_store.zip .)
python3 - "$build/bench/zip/unzip_bench" "$work" "$runs" <<'PY'
import os, shutil, statistics, subprocess, sys, time
bench, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
corpus = os.path.join(work, "corpus")
archives = ["zip_deflate.zip", "zip_store.zip", "7z_deflate.zip", "7z_deflate64.zip", "py_stream.zip",
            "big_deflate.zip", "big_store.zip"]
tools = {
    "unzipper": lambda a, d: [bench, a, d],
    "unzip -o -qq": lambda a, d: ["unzip", "-o", "-qq", a, "-d", d],
    "bsdtar -xf": lambda a, d: ["bsdtar", "-xf", a, "-C", d],
}
def once(cmd, out):
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    t = time.perf_counter()
    r = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    dt = time.perf_counter() - t
    return dt if r.returncode == 0 else None
print("| archive | size KB | " + " | ".join(f"{t} ms" for t in tools) + " |")
print("|---|---:|" + "---:|" * len(tools))
for a in archives:
    path = os.path.join(corpus, a)
    cells = []
    for name, mk in tools.items():
        out = os.path.join(work, "out")
        times = [once(mk(path, out), out) for _ in range(runs)]
        cells.append("failed" if None in times else f"{statistics.median(times) * 1000:.1f}")
    print(f"| {a} | {os.path.getsize(path) // 1024} | " + " | ".join(cells) + " |")
PY
