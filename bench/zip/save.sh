#!/usr/bin/env bash
# Wall time of saving zip archives: the library (through save_bench) against Info-ZIP zip,
# same files, same run. The files are the first 30 MB of /usr/include (many small text
# files). "delete" removes one item from their 30 MB zip (stored, so that the archive is
# 30 MB; a fresh copy each time, against zip -d); "add" makes a new archive of them through a deflating insert hook at the
# default setting (against zip -6 -r). A second "add" takes 1,000 files of 10-100 bytes
# (cut from the same headers), where what each item costs apart from its bytes shows.
# Each cell is the median of RUNS, process start included; the machine's load is printed
# with the table.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${MB_BENCH_BUILD:-$root/build/native}
runs=${RUNS:-9}
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target save_bench -j "${MB_JOBS:-3}" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/files"
python3 - "$work/files" <<'PY'
import os, shutil, sys
total, out = 0, sys.argv[1]
for d, dirs, names in sorted(os.walk("/usr/include")):
    dirs.sort()
    for n in sorted(names):
        src = os.path.join(d, n)
        if total >= 30 * 2**20 or not os.path.isfile(src) or os.path.islink(src): continue
        dst = os.path.join(out, os.path.relpath(src, "/usr"))
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        shutil.copyfile(src, dst)
        total += os.path.getsize(dst)
PY
python3 - "$work/files" "$work/small" <<'PY'
import os, random, sys
src, out = sys.argv[1], sys.argv[2]
headers = sorted(p for p in (os.path.join(d, n) for d, _, names in os.walk(src) for n in names)
                 if os.path.getsize(p) >= 100)
rng = random.Random(1000)
for i in range(1000):
    data = open(headers[rng.randrange(len(headers))], "rb").read()
    size = rng.randint(10, 100)
    start = rng.randrange(len(data) - size + 1)
    folder = os.path.join(out, "dir%02d" % (i // 100))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "file%04d.txt" % i), "wb") as f:
        f.write(data[start:start + size])
PY
(cd "$work/files" && zip -q -0 -r ../big.zip .)
victim=$(cd "$work/files" && find . -type f | sed 's|^\./||' | sort | sed -n '1000p')
python3 - "$build/bench/zip/save_bench" "$work" "$runs" "$victim" <<'PY'
import os, shutil, statistics, subprocess, sys, time
bench, work, runs, victim = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
files, big, small = os.path.join(work, "files"), os.path.join(work, "big.zip"), os.path.join(work, "small")
def timed(cmd, prepare, cwd=None):
    times = []
    for _ in range(runs):
        prepare()
        t = time.perf_counter()
        r = subprocess.run(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        times.append(time.perf_counter() - t)
        if r.returncode != 0: sys.exit("%s failed: %s" % (cmd, r.stderr.decode()))
    return statistics.median(times) * 1000
copy = os.path.join(work, "copy.zip")
new = os.path.join(work, "new.zip")
def fresh_copy(): shutil.copyfile(big, copy)
def no_new():
    if os.path.exists(new): os.remove(new)
rows = [
    ("delete one item of %d KB" % (os.path.getsize(big) // 1024),
     timed([bench, "delete", copy, victim], fresh_copy), timed(["zip", "-q", "-d", copy, victim], fresh_copy), 1.5),
    ("add %d MB of files, default setting" % (sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(files) for f in fs) // 2**20),
     timed([bench, "add", new, files], no_new), timed(["zip", "-q", "-6", "-r", new, "."], no_new, files), 1.0),
    ("add 1,000 files of 10-100 bytes, default setting",
     timed([bench, "add", new, small], no_new), timed(["zip", "-q", "-6", "-r", new, "."], no_new, small), 1.5),
]
print("load: " + open("/proc/loadavg").read().split()[0] + " (1 min)")
print()
print("| save | ours ms | Info-ZIP ms | ours / Info-ZIP | goal |")
print("|---|---:|---:|---:|---:|")
for name, ours, theirs, goal in rows:
    print("| %s | %.0f | %.0f | %.2f | <= %.1f |" % (name, ours, theirs, ours / theirs, goal))
PY
