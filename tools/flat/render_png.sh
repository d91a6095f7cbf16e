#!/usr/bin/env bash
# Renders the demonstration windows under Xvfb and Wine: the flat controls into
# docs/img/flat-controls.png and the XP-style component's controls into
# docs/img/xpstyle-controls.png. Builds the Windows configuration's demos first if needed.
set -euo pipefail
source "$(dirname "$0")/../render_env.sh" flat_demo xp_demo
out=${1:-$here/docs/img}
mkdir -p "$out"
for demo in flat_demo:flat-controls xp_demo:xpstyle-controls; do
  exe=${demo%%:*} png=${demo##*:}
  /usr/lib/wine/wine64 "$build/tools/flat/$exe.exe" "Z:${work//\//\\}\\$png.bmp"
  python3 "$here/tools/flat/bmp_to_png.py" "$work/$png.bmp" "$out/$png.png"
  echo "written: $out/$png.png"
done
