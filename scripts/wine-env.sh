# Sourced: a Wine prefix of our own under the build folder, made fresh when asked.
# Usage: . scripts/wine-env.sh <prefix-dir> [fresh]
export WINEPREFIX="$(realpath -m "$1")"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ "${2:-}" = fresh ] || [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    wineboot --init >/dev/null 2>&1
    # Without a window manager every dialog close waits ~2 s unless Wine manages its windows.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
fi
