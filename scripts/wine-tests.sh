#!/usr/bin/env bash
# The Windows build's tests under Wine, in a fresh prefix of their own. Needs a display.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh build/windows/wineprefix fresh
# A server that stays up spares every test program a cold Wine start. Wine's own services
# start with the first program and outlive it: start them here, away from ctest's output
# pipes, which they would otherwise hold open.
wineserver -p
wine cmd /c exit >/dev/null 2>&1 </dev/null
rc=0
# GUI tests under Xvfb meet the odd timing hiccup, and Wine's COM now and then leaves a server
# behind that no client reached, which the fault sweep counts: a test must pass once in three
# tries.
ctest --preset windows --repeat until-pass:3 "$@" || rc=$?
wineserver -k 2>/dev/null || true
exit $rc
