#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest, with the loader that matches the program:
# a 32-bit program needs wine32's loader, a 64-bit one wine64's. The prefix and display come
# from the environment that tools/test.sh prepares (a fresh prefix per run, Xvfb).
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# The machine field of the PE header, whose offset the DOS header holds at byte 60.
pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
machine=$([ -n "$pe" ] && od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' ')
loader=/usr/lib/wine/wine64
[ "$machine" = 014c ] && loader=/usr/lib/wine/wine
# The output goes through a file: Wine's server and the services it starts inherit the output
# of the program that started them and outlive it, and ctest waits for its pipe to close.
out=$(mktemp "${TMPDIR:-/tmp}/mb-winerun.XXXXXX") || exit 1
# A time-out kills this script outright; the program is made to die with it.
setpriv --pdeathsig KILL "$loader" "$@" >"$out" 2>&1
rc=$?
cat "$out"
rm -f "$out"
exit $rc
