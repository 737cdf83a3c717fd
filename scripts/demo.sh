#!/usr/bin/env bash
# The main job: build Stenvault, start it under Wine beside the stand-in drawing application
# holding a three-page drawing, wait for the first timed backup (the 30-second row), print the
# backup's path and the history log, and save a screenshot of the main window under build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C.UTF-8
bash scripts/install-deps.sh demo
cmake --preset windows >/dev/null
cmake --build --preset windows --target stenvault visio-standin
bash scripts/with-display.sh bash scripts/demo-run.sh
