#!/usr/bin/env bash
# Runs the update client's end-to-end tests under Wine beside a fresh test server on
# 127.0.0.1 that the client reaches as its proxy, so the compiled-in update address stays.
set -u
here=$(cd "$(dirname "$0")/../.." && pwd)
py=/usr/bin/python3; [ -x "$py" ] || py=python3
work=$(mktemp -d /tmp/mb-skysrv.XXXXXX)
mkdir -p "$work/root"
"$py" "$here/tools/testserver/server.py" --port-file "$work/port" --log "$work/requests.log" \
  --root "$work/root" >"$work/server.out" 2>&1 &
server=$!
cleanup() { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
[ -s "$work/port" ] || { echo "test server did not start"; cat "$work/server.out"; exit 1; }
port=$(cat "$work/port")
unset https_proxy HTTPS_PROXY all_proxy ALL_PROXY HTTP_PROXY
export http_proxy="http://127.0.0.1:$port" no_proxy=
export MB_TEST_PORT=$port MB_TEST_LOG="$work/requests.log" MB_TEST_ROOT="$work/root"
"$here/tools/winerun.sh" "$@"
rc=$?
[ $rc = 0 ] || { echo "--- server output"; tail -n 20 "$work/server.out"; }
exit $rc
