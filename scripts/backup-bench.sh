#!/usr/bin/env bash
# Cross-process calls and time per copied page of a backup run against the stand-in, for this
# checkout and, side by side in the same Wine session and against the same stand-in, for an
# earlier commit's backup_bench when one is named. Not part of the test run.
#
#   bash scripts/backup-bench.sh [--busy] [commit]
#
# With --busy, both measure instead what a busy moment of either instance adds to a run.
#
# The earlier commit is built from `git archive` in build/bench-before/<commit>.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$root/build/windows
export CMAKE_BUILD_PARALLEL_LEVEL=2

if [ "${1:-}" != --inside ]; then
    export BENCH_MODE=
    if [ "${1:-}" = --busy ]; then
        BENCH_MODE=busy
        shift
    fi
    before=${1:-}
    [ -f "$build/CMakeCache.txt" ] || cmake --preset windows >/dev/null
    cmake --build --preset windows --target backup_bench visio-standin >/dev/null
    if [ -n "$before" ]; then
        commit=$(git rev-parse --short "$before")
        old=$root/build/bench-before/$commit
        if [ ! -f "$old/build/backup_bench.exe" ]; then
            rm -rf "$old"
            mkdir -p "$old/src"
            git archive "$commit" | tar -x -C "$old/src"
            cmake -S "$old/src" -B "$old/build" -DCMAKE_BUILD_TYPE=Release \
                -DCMAKE_TOOLCHAIN_FILE="$old/src/cmake/mingw-w64.cmake" >/dev/null
            cmake --build "$old/build" --target backup_bench >/dev/null
        fi
        export BENCH_BEFORE_EXE=$old/build/backup_bench.exe BENCH_BEFORE_NAME=$commit
    fi
    . scripts/wine-env.sh "$build/benchprefix"
    wineserver -k 2>/dev/null || true
    rc=0
    bash scripts/with-display.sh bash "$0" --inside || rc=$?
    wineserver -k 2>/dev/null || true
    exit $rc
fi

wineserver -p
wine cmd /c exit >/dev/null 2>&1 </dev/null
standin=$(find "$build" -maxdepth 2 -name 'visio-standin.exe' | head -n 1)
wine "$standin" /RegServer >/dev/null 2>&1 </dev/null || true
echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(wine --version)"
if [ -n "${BENCH_BEFORE_EXE:-}" ]; then
    echo "before ($BENCH_BEFORE_NAME):"
    wine "$BENCH_BEFORE_EXE" $BENCH_MODE </dev/null 2>&1 | tr -d '\r' | sed 's/^/  /'
fi
echo "this checkout ($(git rev-parse --short HEAD)):"
wine "$build/backup_bench.exe" $BENCH_MODE </dev/null 2>&1 | tr -d '\r' | sed 's/^/  /'
