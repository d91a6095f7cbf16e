#!/usr/bin/env bash
# Renders PNG screenshots of the console's windows (splash, console, profile editor, timed
# wake, about box) into docs/img/console-*.png. Runs the windows build of morbell.exe under
# wine64 inside its own Xvfb, in a Wine virtual desktop so that the windows get their frames.
# Needs a built build/windows (tools/test.sh or tools/run.sh makes it).
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
B=${MB_BUILD_DIR:-$here/build}/windows
[ -x "$B/console/morbell.exe" ] && [ -x "$B/tools/console/mb_console_shots.exe" ] || {
  echo "build the windows configuration first (cmake --build build/windows)"; exit 1; }

work=$(mktemp -d /tmp/mb-shots.XXXXXX)
disp=:$((100 + RANDOM % 800))
Xvfb "$disp" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$disp WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k >/dev/null 2>&1 || true; kill $xvfb 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1; wineserver -w

# A program folder with the German interface and two stored profiles.
app=$work/app
mkdir -p "$app" "$work/out"
cp "$B/console/morbell.exe" "$app/"
cp -r "$here/lang" "$here/doc" "$app/"
printf '[settings]\r\nlpro=Büro\r\nlang=deu.txt\r\n[profiles]\r\ncount=2\r\nprofilename0=Büro\r\nprofilemac0=00112233445\r\nprofilesub0=192.168.1.20\r\nprofilename1=Keller\r\nprofilemac1=AABBCCDDEEFF\r\nprofilesub1=keller-pc\r\n' \
  | iconv -f UTF-8 -t CP1252 >"$app/profiles.ini"
sed -i 's/profilemac0=00112233445/profilemac0=001122334455/' "$app/profiles.ini"

/usr/lib/wine/wine64 explorer /desktop=shots,900x500 \
  "$B/tools/console/mb_console_shots.exe" "Z:${app//\//\\}" "Z:${work//\//\\}\\out" >/dev/null 2>&1 &
shots=$!
for _ in $(seq 600); do kill -0 $shots 2>/dev/null || break; sleep 0.1; done
mkdir -p "$here/docs/img"
n=0
for bmp in "$work"/out/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" -strip "$here/docs/img/$(basename "${bmp%.bmp}").png"
  n=$((n + 1))
done
echo "$n screenshots in docs/img"
[ "$n" = 5 ]
