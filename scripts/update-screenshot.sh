#!/usr/bin/env bash
# Runs the demo and copies its screenshot over the README's picture, docs/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/demo.sh
if [ ! -f build/demo/screenshot.png ]; then
    echo "The demo took no screenshot (is ImageMagick's import installed?)." >&2
    exit 1
fi
cp build/demo/screenshot.png docs/screenshot.png
echo "Updated docs/screenshot.png"
