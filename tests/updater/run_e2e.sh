#!/usr/bin/env bash
# Runs the update client's end-to-end tests under Wine beside a fresh test server on
# 127.0.0.1 that the client reaches as its proxy, so the compiled-in update address stays.
MB_TEST_VIA_PROXY=1 exec bash "$(dirname "$0")/../download/run_with_server.sh" "$@"
