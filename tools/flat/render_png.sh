#!/usr/bin/env bash
# Renders the demonstration windows under Xvfb and Wine: the flat controls into
# docs/img/flat-controls.png and the XP-style component's controls into
# docs/img/xpstyle-controls.png. Builds the Windows configuration's demos first if needed.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${MB_BUILD_DIR:-$here/build}/windows
out=${1:-$here/docs/img}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" >/dev/null
fi
cmake --build "$build" --target flat_demo xp_demo -j "${MB_JOBS:-3}" >/dev/null
work=$(mktemp -d /tmp/flat-render.XXXXXX)
disp=:$((100 + RANDOM % 800))
Xvfb "$disp" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$disp WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k >/dev/null 2>&1 || true; kill $xvfb_pid 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
wineserver -w
mkdir -p "$out"
for demo in flat_demo:flat-controls xp_demo:xpstyle-controls; do
  exe=${demo%%:*} png=${demo##*:}
  /usr/lib/wine/wine64 "$build/tools/flat/$exe.exe" "Z:${work//\//\\}\\$png.bmp"
  python3 "$here/tools/flat/bmp_to_png.py" "$work/$png.bmp" "$out/$png.png"
  echo "written: $out/$png.png"
done
