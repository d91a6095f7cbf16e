#!/usr/bin/env bash
# Makes the programs as a Windows user unpacks them: dist/Morrowbell/ and dist/Skyvane/, each the
# program with the folders it reads beside it, and dist/Morrowbell.zip and dist/Skyvane.zip. The
# programs come from the 32-bit build as shipped (optimised, stripped); what goes beside each is
# said by the install rules next to its build rules, so a file added to a program's lang\, doc\
# or data\ folder ships without a change here.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash tools/setup.sh
B=${MB_BUILD_DIR:-$here/build}/win32
out=$here/dist
cmake -S "$here" -B "$B" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$B" -j "${MB_JOBS:-$(nproc)}" --target shipped >/dev/null
rm -rf "$out"
cmake --install "$B" --prefix "$out" >/dev/null
for app in Morrowbell Skyvane; do
  compgen -G "$out/$app/*.exe" >/dev/null || { echo "dist: no program in $out/$app"; exit 1; }
  (cd "$out" && zip -q -r -X "$app.zip" "$app")
done
(cd "$out" && find . -type f | sort | sed 's|^\./||' | while read -r f; do printf '%10d  %s\n' "$(stat -c %s "$f")" "$f"; done)
