#!/usr/bin/env bash
# Renders every page of Skyvane's wizard under Xvfb and Wine into docs/img/skyvane-step0.png ..
# skyvane-step6.png: runs the client's end-to-end runs that pass each page (the normal run and
# the cancelled download) with MB_SHOT_DIR set, so they photograph the pages on their way.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${MB_BUILD_DIR:-$here/build}/windows
out=${1:-$here/docs/img}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" >/dev/null
fi
cmake --build "$build" --target skyvane_e2e_test -j "${MB_JOBS:-3}" >/dev/null
work=$(mktemp -d /tmp/skyvane-render.XXXXXX)
disp=:$((100 + RANDOM % 800))
Xvfb "$disp" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$disp WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k >/dev/null 2>&1 || true; kill $xvfb_pid 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
wineserver -w
mkdir -p "$work/shots" "$out"
MB_SHOT_DIR="$work/shots" bash "$here/tests/updater/run_e2e.sh" "$build/tests/updater/skyvane_e2e_test.exe" \
  --gtest_filter='*NormalRun*:*CancelDuring*' >/dev/null || echo "warning: a run failed; some pages may be missing"
for bmp in "$work"/shots/*.bmp; do
  [ -f "$bmp" ] || continue
  python3 "$here/tools/flat/bmp_to_png.py" "$bmp" "$out/$(basename "${bmp%.bmp}").png"
  echo "written: $out/$(basename "${bmp%.bmp}").png"
done
