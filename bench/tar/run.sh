#!/usr/bin/env bash
# Wall time of unpacking tar and gzip files: the unzipper (as the update client drives it,
# bench/zip's unzip_bench) against tar -xf and bsdtar -xf for a 30 MB tar of files with
# unique base names, and against gzip -dc > file for a 30 MB .gz and a 30 MB .tar.gz (the
# unzipper opens a gzipped tar in its gzip view, so both give the one unpacked file).
# Same files, same run, the contenders taking turns; each cell is the median of RUNS runs
# into a fresh folder, process start included. TMPDIR chooses the file system. The inputs
# are made here from the machine's own libraries and headers.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${MB_BENCH_BUILD:-$root/build/native}
runs=${RUNS:-9}
cmake --build "$build" --target unzip_bench -j3 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work" <<'PY'
import gzip, io, os, sys, tarfile
work = sys.argv[1]
target = 30 * 1024 * 1024

def sources():
    for top in ("/usr/include", "/usr/lib/x86_64-linux-gnu", "/usr/lib", "/usr/share"):
        for folder, _, names in os.walk(top):
            for n in sorted(names):
                p = os.path.join(folder, n)
                if os.path.isfile(p) and not os.path.islink(p) and os.access(p, os.R_OK):
                    yield p

# 30 MB of files, each under a base name of its own.
tree = os.path.join(work, "tree")
os.makedirs(tree)
total = 0
with tarfile.open(os.path.join(work, "files.tar"), "w", format=tarfile.GNU_FORMAT) as t:
    for i, p in enumerate(sources()):
        data = open(p, "rb").read()[: 4 << 20]
        entry = 512 + (len(data) + 511) // 512 * 512
        if total + entry > target - 1024:
            break
        name = "f%05d_%s" % (i, os.path.basename(p))
        info = tarfile.TarInfo(name)
        info.size = len(data)
        info.mtime = 1700000000
        t.addfile(info, io.BytesIO(data))
        total += entry

# Gzip files whose compressed size is 30 MB.
class Counter(io.RawIOBase):
    def __init__(self, f): self.f, self.n = f, 0
    def writable(self): return True
    def write(self, b): self.n += len(b); return self.f.write(b)

with open(os.path.join(work, "data.gz"), "wb") as raw:
    out = Counter(raw)
    with gzip.GzipFile("data", "wb", 6, out, mtime=1700000000) as g:
        for p in sources():
            data = open(p, "rb").read()
            for at in range(0, len(data), 1 << 16):
                g.write(data[at : at + (1 << 16)])
                if out.n >= target:
                    break
            if out.n >= target:
                break
with open(os.path.join(work, "files.tar.gz"), "wb") as raw:
    out = Counter(raw)
    with gzip.GzipFile("files.tar", "wb", 6, out, mtime=1700000000) as g, tarfile.open(fileobj=g, mode="w") as t:
        for i, p in enumerate(reversed(list(sources()))):
            if os.path.getsize(p) > 256 << 10:
                continue  # small steps, so the file ends close to the target
            t.add(p, arcname="g%05d_%s" % (i, os.path.basename(p)))
            if out.n >= target:
                break
PY
python3 - "$build/bench/zip/unzip_bench" "$work" "$runs" <<'PY'
import os, shutil, statistics, subprocess, sys, time
bench, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
def unzipper(a, d): return [bench, a, d]
def gunzip(a, d): return ["sh", "-c", 'gzip -dc "$0" > "$1/out"', a, d]
rows = [
    ("files.tar", {"unzipper": unzipper, "tar -xf": lambda a, d: ["tar", "-xf", a, "-C", d],
                   "bsdtar -xf": lambda a, d: ["bsdtar", "-xf", a, "-C", d]}),
    ("data.gz", {"unzipper": unzipper, "gzip -dc > file": gunzip}),
    ("files.tar.gz", {"unzipper": unzipper, "gzip -dc > file": gunzip}),
]
def once(cmd, out):
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    os.sync()  # the last run's files reach the disk before this one is timed
    t = time.perf_counter()
    r = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    dt = time.perf_counter() - t
    return dt if r.returncode == 0 else None
print("| file | size MB | contender | wall ms (median of %d) |" % runs)
print("|---|---:|---|---:|")
out = os.path.join(work, "out")
for name, tools in rows:
    path = os.path.join(work, name)
    # The contenders take turns, so a busy spell of the machine falls on all of them alike.
    times = {tool: [] for tool in tools}
    for _ in range(runs):
        for tool, mk in tools.items():
            times[tool].append(once(mk(path, out), out))
    for tool, t in times.items():
        cell = "failed" if None in t else "%.1f" % (statistics.median(t) * 1000)
        print("| %s | %.1f | %s | %s |" % (name, os.path.getsize(path) / 1048576, tool, cell))
PY
