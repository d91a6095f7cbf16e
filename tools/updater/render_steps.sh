#!/usr/bin/env bash
# Renders every page of Skyvane's wizard under Xvfb and Wine into docs/img/skyvane-step0.png ..
# skyvane-step6.png: runs the client's end-to-end runs that pass each page (the normal run and
# the cancelled download) with MB_SHOT_DIR set, so they photograph the pages on their way.
set -euo pipefail
source "$(dirname "$0")/../render_env.sh" skyvane_e2e_test
out=${1:-$here/docs/img}
mkdir -p "$work/shots" "$out"
MB_SHOT_DIR="$work/shots" bash "$here/tests/updater/run_e2e.sh" "$build/tests/updater/skyvane_e2e_test.exe" \
  --gtest_filter='*NormalRun*:*CancelDuring*' >/dev/null || echo "warning: a run failed; some pages may be missing"
for bmp in "$work"/shots/*.bmp; do
  [ -f "$bmp" ] || continue
  python3 "$here/tools/flat/bmp_to_png.py" "$bmp" "$out/$(basename "${bmp%.bmp}").png"
  echo "written: $out/$(basename "${bmp%.bmp}").png"
done
