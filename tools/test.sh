#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
# native (plain and ASan+UBSan), the libFuzzer targets for a bounded time, and the
# 64-bit Windows build under wine64 inside Xvfb with a fresh prefix; the shipped 32-bit
# programs are built too. Ends with one summary line.
# MB_BUILDS picks configurations (default all); MB_CTEST_ARGS goes to every ctest (e.g. "-R zip").
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash tools/setup.sh || exit 1
jobs=${MB_JOBS:-$(nproc)}
B=${MB_BUILD_DIR:-$here/build}
builds=${MB_BUILDS:-native asan fuzz windows win32}
want() { [[ " $builds " == *" $1 "* ]]; }

configure_and_build() {  # name, target, extra cmake args...
  local name=$1 target=$2; shift 2
  cmake -S "$here" -B "$B/$name" -G Ninja "$@" >"$B/$name.configure.log" 2>&1 \
    || { cat "$B/$name.configure.log"; return 1; }
  cmake --build "$B/$name" -j "$jobs" --target "$target" >"$B/$name.build.log" 2>&1 \
    || { grep -E -A12 'error|FAILED' "$B/$name.build.log" | head -n 80; return 1; }
}

mkdir -p "$B"
fail=0
want native && { configure_and_build native all || fail=1; }
want asan && { configure_and_build asan all -DMB_SANITIZE=ON || fail=1; }
want fuzz && { configure_and_build fuzz all -DMB_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ || fail=1; }
want windows && { configure_and_build windows all -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" || fail=1; }
# The shipped 32-bit programs: built to prove they compile and link; this machine runs no 32-bit code.
# Only the programs and what they link: the tests run in the 64-bit build.
want win32 && { configure_and_build win32 shipped -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" || fail=1; }
[ $fail = 0 ] || { echo "build failed"; echo "0 passed, 1 failed"; exit 1; }

passed=0; failed=0
run_ctest() {  # name
  local name=$1
  echo "=== ctest: $name"
  local extra=()
  eval "extra=(${MB_CTEST_ARGS:-})"  # shell words, so a quoted -R pattern stays one argument
  ( cd "$B/$name" && ctest --output-on-failure -j "$jobs" "${extra[@]}" ) >"$B/$name.ctest.log" 2>&1
  grep -E -v '^ *(Start +[0-9]+:|[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed)' "$B/$name.ctest.log" | tail -n 60
  local line f total
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$B/$name.ctest.log" | tail -n1)
  if [ -z "$line" ]; then
    grep -q 'No tests were found' "$B/$name.ctest.log" || failed=$((failed + 1))
    return
  fi
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + total - f)); failed=$((failed + f))
}
want native && run_ctest native
want asan && run_ctest asan
want fuzz && run_ctest fuzz
if want windows; then
  # A display and a fresh Wine prefix for the Windows tests.
  disp=:$((100 + RANDOM % 800))
  Xvfb "$disp" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export WINEPREFIX=$(mktemp -d /tmp/mb-wine.XXXXXX)
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=$disp
  cleanup() { wineserver -k >/dev/null 2>&1; kill $xvfb_pid 2>/dev/null; rm -rf "$WINEPREFIX"; }
  trap cleanup EXIT
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1; wineserver -w
  # With no window manager Wine otherwise waits about two seconds whenever a window is hidden.
  /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1; wineserver -w
  run_ctest windows
fi
echo
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
