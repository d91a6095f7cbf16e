#!/usr/bin/env bash
# Renders the flat controls' demonstration window under Xvfb and Wine into
# docs/img/flat-controls.png. Builds the Windows configuration's flat_demo first if needed.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${MB_BUILD_DIR:-$here/build}/windows
out=${1:-$here/docs/img/flat-controls.png}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" >/dev/null
fi
cmake --build "$build" --target flat_demo -j "${MB_JOBS:-3}" >/dev/null
work=$(mktemp -d /tmp/flat-render.XXXXXX)
disp=:$((100 + RANDOM % 800))
Xvfb "$disp" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$disp WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k >/dev/null 2>&1 || true; kill $xvfb_pid 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
wineserver -w
/usr/lib/wine/wine64 "$build/tools/flat/flat_demo.exe" "$(winepath -w "$work/shot.bmp" 2>/dev/null || echo Z:${work//\//\\}\\shot.bmp)"
mkdir -p "$(dirname "$out")"
python3 "$here/tools/flat/bmp_to_png.py" "$work/shot.bmp" "$out"
echo "written: $out"
