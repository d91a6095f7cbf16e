#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest, with the loader that matches the program:
# a 32-bit program needs wine32's loader, a 64-bit one wine64's. The prefix and display come
# from the environment that tools/test.sh prepares (a fresh prefix per run, Xvfb).
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# The machine field of the PE header, whose offset the DOS header holds at byte 60.
pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
machine=$( [ -n "$pe" ] && od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' ')
if [ "$machine" = 014c ]; then
  exec /usr/lib/wine/wine "$@"
fi
exec /usr/lib/wine/wine64 "$@"
