#!/usr/bin/env bash
# Builds the Windows packages: build/dist/Stenvault-<version>-x64.msi (a per-user Windows
# Installer package, made with wixl) and build/dist/Stenvault-<version>-x64.zip (stenvault.exe
# and the README). The version is the CMake project's.
set -euo pipefail
cd "$(dirname "$0")/.."
missing=()
command -v cmake >/dev/null || missing+=("cmake (package cmake)")
command -v make >/dev/null || missing+=("make (package make)")
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=("mingw-w64 (package g++-mingw-w64-x86-64)")
command -v wixl >/dev/null || missing+=("wixl (package wixl)")
if [ ${#missing[@]} -gt 0 ]; then
    echo "package.sh: cannot build the packages; missing:" >&2
    printf '  %s\n' "${missing[@]}" >&2
    echo "Install them with: bash scripts/install-deps.sh" >&2
    exit 1
fi
for file in README.md packaging/stenvault.wxs src/app/res/stenvault.ico cmake/package.cmake; do
    if [ ! -f "$file" ]; then
        echo "package.sh: cannot build the packages; a file they need is missing: $file" >&2
        exit 1
    fi
done
cmake --preset windows >/dev/null
if ! cmake --build --preset windows --target dist; then
    echo "package.sh: building the packages failed (see the messages above)." >&2
    exit 1
fi
version=$(sed -n 's/^project(Stenvault VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
for file in "build/dist/Stenvault-$version-x64.msi" "build/dist/Stenvault-$version-x64.zip"; do
    if [ ! -s "$file" ]; then
        echo "package.sh: $file was not made." >&2
        exit 1
    fi
    echo "$file ($(stat -c %s "$file") bytes)"
done
