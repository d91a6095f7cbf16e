#!/usr/bin/env bash
# Installs what is missing, builds the Windows configuration and runs the console.
# With a display: the Morrowbell window under wine64.
# Without one: inside Xvfb, a command-line wake ("-start") of 00:11:22:33:44:55 to
# 127.0.0.1, with a UDP listener on 127.0.0.1 that prints every datagram it received.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash tools/setup.sh
B=${MB_BUILD_DIR:-$here/build}/windows
cmake -S "$here" -B "$B" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" >/dev/null
cmake --build "$B" -j "${MB_JOBS:-3}" --target morbell
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64

if [ -n "${DISPLAY:-}" ]; then
  export WINEPREFIX=${WINEPREFIX:-$HOME/.wine-morrowbell}
  [ -d "$WINEPREFIX" ] || { "$wine" wineboot -i >/dev/null 2>&1; wineserver -w; }
  cd "$B/console"
  exec "$wine" morbell.exe "$@"
fi

work=$(mktemp -d /tmp/mb-run.XXXXXX)
disp=:$((100 + RANDOM % 800))
Xvfb "$disp" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$disp WINEPREFIX=$work/prefix
listener=
cleanup() {
  [ -n "$listener" ] && kill "$listener" 2>/dev/null
  wineserver -k >/dev/null 2>&1 || true
  kill $xvfb 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
echo "Preparing a Wine prefix (no display: running inside Xvfb $disp)..."
"$wine" wineboot -i >/dev/null 2>&1; wineserver -w

# The listener picks a free port on 127.0.0.1 and reports it through a file.
python3 - "$work/port" >"$work/received.txt" <<'PY' &
import socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", 0))
open(sys.argv[1], "w").write(str(s.getsockname()[1]))
s.settimeout(0.5)
end, got = time.time() + 30, []
while time.time() < end and len(got) < 3:
    try:
        got.append(s.recvfrom(2048)[0])
    except socket.timeout:
        pass
magic = b"\xff" * 6 + bytes.fromhex("001122334455") * 16
for n, d in enumerate(got, 1):
    print(f"datagram {n}: {len(d)} bytes, magic packet at offset 8: {'yes' if d[8:110] == magic else 'no'}")
    for i in range(0, len(d), 16):
        print(f"  {i:04x}  " + " ".join(f"{b:02x}" for b in d[i:i + 16]))
print(f"{len(got)} datagram(s) received on 127.0.0.1")
PY
listener=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")

app=$work/app
mkdir -p "$app"
cp "$B/console/morbell.exe" "$app/"
cp -r "$here/lang" "$here/doc" "$app/"
printf '[settings]\r\nwakeupport=%s\r\nwaketimes=3\r\nwakewait=20\r\n' "$port" >"$app/profiles.ini"
echo "Running: morbell.exe -start 001122334455 127.0.0.1   (wakeupport=$port, waketimes=3, wakewait=20)"
(cd "$app" && timeout 60 "$wine" morbell.exe -start 001122334455 127.0.0.1) || true
wait "$listener" || true
listener=
cat "$work/received.txt"
