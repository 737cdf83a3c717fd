#!/usr/bin/env bash
# Runs every test: formatting, the portable unit tests on Linux, and the Windows build's tests
# under Wine (with Xvfb when there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."
# Wine maps non-ASCII Windows file names (the tests make some) only in a UTF-8 locale.
export LC_ALL=C.UTF-8
bash scripts/install-deps.sh
# The last line, however the run ends: the tests that passed only when tried again.
retried=build/retried.txt
rm -f "$retried"
trap 'echo "Retried: $(cat "$retried" 2>/dev/null || echo none)"' EXIT

echo "== formatting"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "== native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

echo "== windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows

echo "== windows tests under Wine"
SV_RETRIED_FILE="$(pwd)/$retried" bash scripts/with-display.sh bash scripts/wine-tests.sh
