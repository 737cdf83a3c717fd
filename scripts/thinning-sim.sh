#!/usr/bin/env bash
# A year of backups thinned after each one, at the 30-second, 5-minute and 1-hour intervals, and
# the time one thinning of 2,000 candidates takes. Builds with the native preset; not a test.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/native/CMakeCache.txt ] || cmake --preset native >/dev/null
cmake --build --preset native --target thinning_sim >/dev/null
echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(grep -m1 "model name" /proc/cpuinfo | cut -d: -f2 | sed "s/^ //")"
build/native/thinning_sim
