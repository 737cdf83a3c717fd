#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks for building, testing and packaging Stenvault.
# Usage: install-deps.sh [demo|package]
set -euo pipefail
need=()
command -v cmake >/dev/null || need+=(cmake)
# The presets use the Makefile generator; cmake only recommends make.
command -v make >/dev/null || need+=(make)
command -v g++ >/dev/null || need+=(g++)
command -v git >/dev/null || need+=(git)
command -v clang-format >/dev/null || need+=(clang-format)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64)
command -v wine >/dev/null || need+=(wine wine64)
command -v wineboot >/dev/null || need+=(wine)
command -v xvfb-run >/dev/null || need+=(xvfb)
command -v xauth >/dev/null || need+=(xauth)
# Wine draws the caption buttons with Marlett and dialogs in Tahoma, both from fonts-wine.
[ -f /usr/share/wine/fonts/marlett.ttf ] || need+=(fonts-wine)
# The installer tests and package.sh build packages with wixl.
command -v wixl >/dev/null || need+=(wixl)
# The demo's screenshot needs ImageMagick's import.
if [ "${1:-}" = demo ]; then
    command -v import >/dev/null || need+=(imagemagick)
fi
[ -d /usr/src/googletest ] || need+=(googletest)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev libgmock-dev)
if [ ${#need[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    echo "Installing: ${need[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
