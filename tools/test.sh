#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test: native (plain and
# ASan+UBSan), the libFuzzer targets for a bounded time, the 64-bit Windows build under wine64
# and, where this machine runs 32-bit code, the shipped 32-bit build under wine32. The two
# Windows suites run side by side, each inside its own Xvfb with a fresh prefix. Ends with one
# summary line.
# MB_BUILDS picks configurations (default all); MB_CTEST_ARGS goes to every ctest (e.g. "-R zip").
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash tools/setup.sh || exit 1
jobs=${MB_JOBS:-$(nproc)}
B=${MB_BUILD_DIR:-$here/build}
builds=${MB_BUILDS:-native asan fuzz windows win32}
want() { [[ " $builds " == *" $1 "* ]]; }

# The shipped programs are 32-bit. Where they can run here, the whole Windows suite is built
# for them too and runs under wine32; elsewhere only the programs are built.
run32=no
if want win32; then
  if ! bash tools/runs32bit.sh; then
    echo "32-bit: this machine runs no 32-bit code: the i686 programs are built, not run"
  elif [ ! -x /usr/lib/wine/wine ]; then
    echo "32-bit: this machine runs 32-bit code but wine32 is missing: the i686 programs are built, not run"
  else
    run32=yes
    echo "32-bit: this machine runs 32-bit code: the whole Windows suite, the console and update client" \
      "end to end among it, runs on the i686 build under wine32"
  fi
fi

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
# The 32-bit build is built as shipped (optimised, stripped); its tests only where they can run.
win32_target=shipped; [ $run32 = yes ] && win32_target=all
want win32 && { configure_and_build win32 $win32_target -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" || fail=1; }
[ $fail = 0 ] || { echo "build failed"; echo "0 passed, 1 failed"; exit 1; }

ctest_env=()
run_ctest() {  # name: runs the configuration's tests into its log
  local extra=()
  eval "extra=(${MB_CTEST_ARGS:-})"  # shell words, so a quoted -R pattern stays one argument
  ( cd "$B/$1" && env "${ctest_env[@]}" ctest --output-on-failure -j "$jobs" "${extra[@]}" ) >"$B/$1.ctest.log" 2>&1
}

# Runs a configuration's tests under Wine on a display and in a prefix of their own, so that two
# suites can run at once. The prefix is 64-bit: 32-bit programs run in it as on 64-bit Windows,
# with the registry and folder views they get there.
source "$here/tools/wine_session.sh"
run_wine_ctest() {  # name
  local work
  work=$(mktemp -d /tmp/mb-wine.XXXXXX)
  (
    # Temporary files of the run, a killed test's among them, go with the run's folder.
    export TMPDIR=$work
    trap 'wine_session_end; rm -rf "$work"' EXIT
    wine_session_start "$work"
    # As on a German Windows: ANSI code page 1252, OEM code page 850 (the locale setup.sh made).
    ctest_env=(LOCPATH="$here/.deps/locale" LC_ALL=de_DE.UTF-8)
    run_ctest "$1"
  )
}

passed=0; failed=0
report_ctest() {  # name: shows ctest's summary and adds its counts
  local name=$1 line f total
  echo "=== ctest: $name"
  grep -E -v '^ *(Start +[0-9]+:|[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed)' "$B/$name.ctest.log" | tail -n 60
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$B/$name.ctest.log" | tail -n1)
  if [ -z "$line" ]; then
    grep -q 'No tests were found' "$B/$name.ctest.log" || failed=$((failed + 1))
    return
  fi
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + total - f)); failed=$((failed + f))
}
for name in native asan fuzz; do
  want $name && { run_ctest $name; report_ctest $name; }
done
pids=()
want windows && { run_wine_ctest windows & pids+=($!); }
[ $run32 = yes ] && { run_wine_ctest win32 & pids+=($!); }
[ ${#pids[@]} = 0 ] || wait "${pids[@]}"
want windows && report_ctest windows
[ $run32 = yes ] && report_ctest win32
echo
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
