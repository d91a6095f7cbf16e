#!/usr/bin/env bash
# Runs a Windows program under wine64 for ctest. The prefix and display come from the
# environment that tools/test.sh prepares (a fresh prefix per run, Xvfb).
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec /usr/lib/wine/wine64 "$@"
