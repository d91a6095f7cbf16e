#!/usr/bin/env bash
# Runs a Windows test program under Wine beside a fresh test server on 127.0.0.1.
# The program finds the server in MB_TEST_PORT, its request log in MB_TEST_LOG, a folder the
# server serves in MB_TEST_ROOT and a port nobody listens on in MB_TEST_DEAD_PORT.
# With MB_TEST_VIA_PROXY=1 the program's http_proxy names the server, which then serves
# absolute-URL requests for any host like its own.
set -u
here=$(cd "$(dirname "$0")/../.." && pwd)
py=/usr/bin/python3; [ -x "$py" ] || py=python3
work=$(mktemp -d /tmp/mb-fetchsrv.XXXXXX)
mkdir -p "$work/root"
"$py" "$here/tools/testserver/server.py" --port-file "$work/port" --log "$work/requests.log" \
  --root "$work/root" >"$work/server.out" 2>&1 &
server=$!
cleanup() { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
[ -s "$work/port" ] || { echo "test server did not start"; cat "$work/server.out"; exit 1; }
# Requests to 127.0.0.1 must not take a detour through a proxy of the machine.
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY
export MB_TEST_PORT=$(cat "$work/port") MB_TEST_LOG="$work/requests.log" MB_TEST_ROOT="$work/root"
[ "${MB_TEST_VIA_PROXY:-}" = 1 ] && export http_proxy="http://127.0.0.1:$MB_TEST_PORT" no_proxy=
export MB_TEST_DEAD_PORT=$("$py" -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$here/tools/winerun.sh" "$@"
rc=$?
[ $rc = 0 ] || { echo "--- server output"; tail -n 20 "$work/server.out"; }
exit $rc
