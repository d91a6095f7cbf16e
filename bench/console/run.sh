#!/usr/bin/env bash
# Start-up of the console with many profiles: the time from starting morbell.exe -start (the
# x86_64 build under wine64) to the wake datagram reaching a listener on 127.0.0.1, for a
# profiles.ini of 0, 1,000, 5,000 and 10,000 profiles as the editor writes them. The start-up
# reads the whole profile list before it wakes, so this is the cost of reading it.
# MB_BENCH_BEFORE names another morbell.exe (e.g. a build of main) that runs as a second
# contender in the same run, taking turns with this tree's. Each cell is the median of RUNS
# runs (default 3), process start included; a run that has sent nothing after CAP seconds
# (default 60) is stopped and shown as "> CAP s", and that contender skips the larger files.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
B=${MB_BUILD_DIR:-$here/build}/windows
runs=${RUNS:-3}
cap=${CAP:-60}
cmake -S "$here" -B "$B" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" >/dev/null
cmake --build "$B" -j 3 --target morbell >/dev/null

work=$(mktemp -d /tmp/mb-consolebench.XXXXXX)
source "$here/tools/wine_session.sh"
trap 'wine_session_end; rm -rf "$work"' EXIT
wine_session_start "$work"
wineserver -p  # one server for every run, so no run pays for starting it

contenders=("after=$B/console/morbell.exe")
[ -n "${MB_BENCH_BEFORE:-}" ] && contenders=("before=$MB_BENCH_BEFORE" "${contenders[@]}")
# As on a German Windows, as the tests run.
LOCPATH="$here/.deps/locale" LC_ALL=de_DE.UTF-8 python3 - "$work" "$here/lang" "$runs" "$cap" "${contenders[@]}" <<'PY'
import os, random, shutil, socket, statistics, subprocess, sys, time

work, langdir, runs, cap = sys.argv[1], sys.argv[2], int(sys.argv[3]), float(sys.argv[4])
contenders = [c.split("=", 1) for c in sys.argv[5:]]
sizes = [0, 1000, 5000, 10000]
mac = "001122334455"
golden = bytes.fromhex(mac) + b"\x00\x74" + b"\xff" * 6 + bytes.fromhex(mac) * 16 + bytes.fromhex("400090904000")

listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
listener.bind(("127.0.0.1", 0))
port = listener.getsockname()[1]

def profiles_ini(n):
    rnd = random.Random(n)
    lines = ["[settings]", "wakeupport=%d" % port, "lang=eng.txt"]
    if n:
        # As the editor leaves them: the count first, then MAC, host and name of each profile.
        lines += ["[profiles]", "count=%d" % n]
    for i in range(n):
        lines += ["profilemac%d=%012X" % (i, rnd.getrandbits(48)),
                  "profilesub%d=192.168.%d.%d" % (i, i // 250 % 250, i % 250 + 1),
                  "profilename%d=Rechner %05d B\xfcro %d" % (i, i, rnd.randrange(1, 40))]
    return ("\r\n".join(lines) + "\r\n").encode("cp1252")

def winpath(p):
    return "Z:" + p.replace("/", "\\")

folders = {}
for name, exe in contenders:
    folder = os.path.join(work, name)
    os.makedirs(os.path.join(folder, "lang"))
    shutil.copy(exe, os.path.join(folder, "morbell.exe"))
    for f in ("deu.txt", "eng.txt"):
        shutil.copy(os.path.join(langdir, f), os.path.join(folder, "lang", f))
    folders[name] = folder

def once(name, ini):
    folder = folders[name]
    with open(os.path.join(folder, "profiles.ini"), "wb") as f:
        f.write(ini)
    listener.setblocking(False)
    try:
        while True:
            listener.recv(2048)  # nothing of an earlier run counts
    except BlockingIOError:
        pass
    listener.setblocking(True)
    listener.settimeout(cap)
    start = time.perf_counter()
    p = subprocess.Popen(["/usr/lib/wine/wine64", winpath(os.path.join(folder, "morbell.exe")), "-start", mac,
                          "127.0.0.1"], cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        data = listener.recv(2048)
        took = time.perf_counter() - start
        if data != golden:
            sys.exit("%s sent another datagram" % name)
    except socket.timeout:
        took = None
    try:
        p.wait(30 if took is not None else 0.1)
    except subprocess.TimeoutExpired:
        p.kill()
        p.wait()
    return took

for name, _ in contenders:
    once(name, profiles_ini(0))  # the first start of a program loads what later ones find loaded

given_up = set()
results = {}
for n in sizes:
    ini = profiles_ini(n)
    times = {name: [] for name, _ in contenders}
    for _ in range(runs):
        for name, _ in contenders:
            if name in given_up:
                continue
            t = once(name, ini)
            if t is None:
                given_up.add(name)
            times[name].append(t)
    results[n] = (len(ini), times)

names = [name for name, _ in contenders]
print("| profiles | profiles.ini KB | " + " | ".join("%s: start to datagram, s (median of %d)" % (n, runs)
                                                        for n in names) + " |")
print("|---:|---:|" + "---:|" * len(names))
for n in sizes:
    size, times = results[n]
    cells = []
    for name in names:
        t = times[name]
        if not t:
            cells.append("not run (> %g at fewer profiles)" % cap)
        elif None in t:
            cells.append("> %g (nothing sent)" % cap)
        else:
            cells.append("%.2f" % statistics.median(t))
    print("| %d | %d | %s |" % (n, size // 1024, " | ".join(cells)))
PY
