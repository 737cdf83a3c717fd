#!/usr/bin/env bash
# The Windows build's tests under Wine, in a fresh prefix of their own. Needs a display.
# Ends with "Retried: <names>" (or "Retried: none"): the tests that failed and then passed
# when tried again. With SV_RETRIED_FILE set, the names go into that file instead.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh build/windows/wineprefix fresh
# A server that stays up spares every test program a cold Wine start. Wine's own services
# start with the first program and outlive it: start them here, away from ctest's output
# pipes, which they would otherwise hold open.
wineserver -p
wine cmd /c exit >/dev/null 2>&1 </dev/null
logs=build/windows/Testing/Temporary
retried=()
rc=0
ctest --preset windows "$@" || rc=$?
# Whatever failed gets two more tries, and is named if one of them passed: a retry must never
# hide a race.
if [ $rc -ne 0 ] && [ -s "$logs/LastTestsFailed.log" ]; then
    cp "$logs/LastTest.log" "$logs/FirstTry.log"
    mapfile -t failed < <(cut -d: -f2- "$logs/LastTestsFailed.log")
    rc=0
    ctest --preset windows --rerun-failed --repeat until-pass:2 || rc=$?
    still=()
    if [ $rc -ne 0 ] && [ -f "$logs/LastTestsFailed.log" ]; then
        mapfile -t still < <(cut -d: -f2- "$logs/LastTestsFailed.log")
    fi
    for test in "${failed[@]}"; do
        if printf '%s\n' "${still[@]}" | grep -qxF -- "$test"; then
            continue
        fi
        # The test cases that failed on the first try, from that test program's output.
        cases=$(awk -v t="$test" '
            $2 == "Testing:" { inside = ($3 == t) }
            inside && /^\[  FAILED  \] [A-Za-z0-9_\/.]+/ && !/tests?, listed below/ {
                sub(/,$/, "", $4)
                print $4
            }
        ' "$logs/FirstTry.log" | sort -u | paste -sd, -)
        retried+=("$test${cases:+ ($cases)}")
    done
fi
wineserver -k 2>/dev/null || true
names=none
if [ ${#retried[@]} -gt 0 ]; then
    names=$(printf '%s; ' "${retried[@]}")
    names=${names%; }
fi
if [ -n "${SV_RETRIED_FILE:-}" ]; then
    printf '%s\n' "$names" >"$SV_RETRIED_FILE"
else
    echo "Retried: $names"
fi
exit $rc
